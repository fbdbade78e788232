// The program, run as users run it (a batch file in a temporary home), opens
// what the outside tools write in every format it reads, and writes every
// format and compression it offers in a form the outside tools accept.
// Whatever the program fails to set up at start (a coder, a setting) fails here.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/batch/batch_escapes.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

#ifdef KV_PROGRAM_DIR

namespace kv {
namespace {

class ProgramFormats : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    for (const char* tool : {"convert", "compare", "identify", "tiffcp", "tiffinfo", "pngcheck", "cjpeg", "djpeg",
                             "pnmtopng", "ppmtobmp", "ppmtotga", "pamtogif", "pnmfile", "giftext"})
      if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    // Few colours, so that the palette formats keep every pixel.
    const auto colour = test::Make24(40, 24, [](int32_t x, int32_t y) {
      return TBGRPixel{uint8_t(x / 5 % 4 * 85), uint8_t(y / 4 % 3 * 120), uint8_t((x + y) / 7 % 2 * 200)};
    });
    test::WritePnm(Dir + "src.ppm", *colour);
    TBitmap bw(40, 24, pf1bit);
    for (int32_t y = 0; y < 24; ++y) {
      auto* row = static_cast<uint8_t*>(bw.ScanLine(y));
      for (int32_t x = 0; x < 40; ++x)
        if ((x / 3 + y / 2) % 3 == 0) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
        else row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
    }
    test::WritePnm(Dir + "src.pbm", bw);
    ASSERT_EQ(test::Run("cd " + Dir + " && ppmtopgm src.ppm > src.pgm"), 0);
  }

  struct TResult {
    int Exit = -1;
    std::string Output;
  };
  // Runs the lines as a batch file named on the command line, then quits. A
  // failing line stops the batch before its QUIT, and a blocked open never
  // returns: the deadline ends such a run, and the test fails.
  TResult RunBatch(const std::vector<std::string>& Lines) {
    std::string text;
    for (const std::string& l : Lines) text += EscapeBatchLine(l) + "\r\n";
    test::WriteText(Dir + "job.atp", text + "QUIT\r\n");
    const test::TToolRun r = test::RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                                           Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir + " " +
                                           "timeout -k 10 300 " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
    return {WIFEXITED(r.Status) ? WEXITSTATUS(r.Status) : -1, r.Output};
  }
  // Pixels that differ by more than Fuzz percent, as ImageMagick counts them ("" when it cannot tell).
  std::string Differing(const std::string& A, const std::string& B, int Fuzz) {
    return test::RunCapture("cd " + Dir + " && compare -metric AE -fuzz " + std::to_string(Fuzz) + "% '" + A + "' '" +
                            B + "' null: 2>&1");
  }
};

TEST_F(ProgramFormats, OpensWhatTheToolsWriteAndSavesWhatTheyRead) {
  // Made by the outside tools from src.ppm, src.pgm or src.pbm; opened by the
  // program and saved as a plain PPM, which must show the source's pixels.
  struct TRead {
    const char* File;
    std::string Make;
    const char* Source;
    int Fuzz;  // percent; lossy formats only
  };
  const std::vector<TRead> reads = {
      {"plain.tif", "convert src.ppm -compress none plain.tif", "src.ppm", 0},
      {"lzw.tif", "tiffcp -c lzw plain.tif lzw.tif", "src.ppm", 0},
      {"lzw-predictor.tif", "tiffcp -c lzw:2 plain.tif lzw-predictor.tif", "src.ppm", 0},
      {"packbits.tif", "tiffcp -c packbits plain.tif packbits.tif", "src.ppm", 0},
      {"deflate.tif", "tiffcp -c zip plain.tif deflate.tif", "src.ppm", 0},
      {"gray-lzw.tif", "convert src.pgm -compress lzw gray-lzw.tif", "src.pgm", 0},
      {"bw.tif", "convert src.pbm -compress none bw.tif", "src.pbm", 0},
      {"g3.tif", "tiffcp -c g3 bw.tif g3.tif", "src.pbm", 0},
      {"g3-2d.tif", "tiffcp -c g3:2d bw.tif g3-2d.tif", "src.pbm", 0},
      {"g4.tif", "tiffcp -c g4 bw.tif g4.tif", "src.pbm", 0},
      // JPEG against djpeg's decoding of the same file.
      {"photo.jpg", "cjpeg -outfile photo.jpg src.ppm && djpeg -outfile photo.ref.ppm photo.jpg", "photo.ref.ppm", 1},
      {"progressive.jpg", "cjpeg -progressive -outfile progressive.jpg src.ppm && djpeg -outfile progressive.ref.ppm progressive.jpg",
       "progressive.ref.ppm", 1},
      {"gray.jpg", "cjpeg -grayscale -outfile gray.jpg src.ppm && djpeg -outfile gray.ref.pgm gray.jpg", "gray.ref.pgm", 1},
      {"rgb.png", "pnmtopng src.ppm > rgb.png", "src.ppm", 0},
      {"interlaced.png", "pnmtopng -interlace src.ppm > interlaced.png", "src.ppm", 0},
      {"gray.png", "pnmtopng src.pgm > gray.png", "src.pgm", 0},
      {"bw.png", "pnmtopng src.pbm > bw.png", "src.pbm", 0},
      {"palette.gif", "pamtogif src.ppm > palette.gif", "src.ppm", 0},
      {"plain.bmp", "ppmtobmp src.ppm > plain.bmp", "src.ppm", 0},
      {"rle8.bmp", "convert src.ppm -type Palette -compress RLE BMP3:rle8.bmp", "src.ppm", 0},
      {"copy.ppm", "cp src.ppm copy.ppm", "src.ppm", 0},
      {"copy.pgm", "cp src.pgm copy.pgm", "src.pgm", 0},
      {"copy.pbm", "cp src.pbm copy.pbm", "src.pbm", 0},
      {"icon.ico", "convert src.ppm icon.ico", "src.ppm", 0},
      // Bottom-up TGAs, packed and plain. ImageMagick's own TGAs are not used:
      // it stores the top row first under a bottom-up header, which netpbm
      // and other readers show upside down, as we do.
      {"netpbm-rle.tga", "ppmtotga src.ppm > netpbm-rle.tga", "src.ppm", 0},
      {"netpbm.tga", "ppmtotga -norle src.ppm > netpbm.tga", "src.ppm", 0},
      {"netpbm-gray.tga", "ppmtotga -norle src.pgm > netpbm-gray.tga", "src.pgm", 0},
      // ppmtopcx puts the picture's size in the resolution fields, which the
      // resolution adjustment would take at its word; ImageMagick writes none.
      {"rgb.pcx", "convert src.ppm rgb.pcx", "src.ppm", 0},
      {"palette.pcx", "convert src.ppm -type Palette palette.pcx", "src.ppm", 0},
  };
  // Opened from src.ppm or src.pbm and saved with the keys; the tool's
  // report on the file must hold Says, and its pixels those of the source.
  struct TWrite {
    const char* Source;
    const char* File;
    const char* Keys;
    std::string Check;
    const char* Says;
    int Fuzz;  // percent; -1: compared by its signal-to-noise ratio (lossy, or gray by other weights)
  };
  const std::vector<TWrite> writes = {
      {"src.ppm", "none.tif", "BPS=8 SPP=3 Compression=0", "tiffinfo", "Compression Scheme: None", 0},
      {"src.ppm", "lzw.tif", "BPS=8 SPP=3 Compression=5", "tiffinfo", "Compression Scheme: LZW", 0},
      {"src.ppm", "packbits.tif", "BPS=8 SPP=3 Compression=8", "tiffinfo", "Compression Scheme: PackBits", 0},
      {"src.ppm", "palette.tif", "BPS=8 SPP=1 Compression=5", "tiffinfo", "palette color", 0},
      {"src.pbm", "huffman.tif", "BPS=1 SPP=1 Compression=1", "tiffinfo", "CCITT RLE", 0},
      {"src.pbm", "g3.tif", "BPS=1 SPP=1 Compression=2", "tiffinfo", "CCITT Group 3", 0},
      {"src.pbm", "g3-2d.tif", "BPS=1 SPP=1 Compression=3", "tiffinfo", "2-d encoding", 0},
      {"src.pbm", "g4.tif", "BPS=1 SPP=1 Compression=4", "tiffinfo", "CCITT Group 4", 0},
      {"src.ppm", "q90.jpg", "Quality=90", "identify -format %Q", "90", -1},
      {"src.ppm", "progressive.jpg", "Quality=95 Prog=1", "identify -format %[interlace]", "JPEG", -1},
      {"src.ppm", "plain.png", "BPS=8 SPP=3 Interlaced=0 Compression=9", "pngcheck -v", "non-interlaced", 0},
      {"src.ppm", "interlaced.png", "BPS=8 SPP=3 Interlaced=1", "pngcheck -v", ", interlaced", 0},
      {"src.ppm", "plain.gif", "Interlaced=0", "giftext", "Image is Non Interlaced", 0},
      {"src.ppm", "interlaced.gif", "Interlaced=1", "giftext", "Image is Interlaced", 0},
      {"src.ppm", "plain.bmp", "BPS=8 SPP=3 Compression=0", "identify -format %C", "None", 0},
      {"src.ppm", "rle8.bmp", "BPS=8 SPP=1 Compression=1", "identify -format %C", "RLE", 0},
      {"src.ppm", "rle.pcx", "Compression=1", "od -An -tu1 -j2 -N1", " 1", 0},  // the encoding byte
      {"src.ppm", "plain.tga", "Compressed=0", "identify -format %C", "None", 0},
      {"src.ppm", "rle.tga", "Compressed=1", "identify -format %C", "RLE", 0},
      {"src.ppm", "out.ppm", "BPS=8 SPP=3", "pnmfile", "PPM raw, 40 by 24", 0},
      {"src.ppm", "out.pgm", "BPS=8 SPP=1", "pnmfile", "PGM raw, 40 by 24", -1},  // its own gray weights
      {"src.pbm", "out.pbm", "BPS=1 SPP=1", "pnmfile", "PBM raw, 40 by 24", 0},
  };

  std::vector<std::string> lines;
  for (const TRead& r : reads) {
    ASSERT_EQ(test::Run("cd " + Dir + " && " + r.Make + " 2>/dev/null"), 0) << r.Make;
    lines.push_back("OPEN FileName=\"" + Dir + r.File + "\"");
    lines.push_back("SAVEAS FileName=\"" + Dir + r.File + ".ppm\" BPS=8 SPP=3");  // not the depth it was read with
    lines.push_back("CLOSE");
  }
  for (const TWrite& w : writes) {
    lines.push_back("OPEN FileName=\"" + Dir + w.Source + "\"");
    lines.push_back(std::string("SAVEAS FileName=\"") + Dir + "out-" + w.File + "\" " + w.Keys);
    lines.push_back("CLOSE");
  }
  const TResult run = RunBatch(lines);
  EXPECT_EQ(run.Exit, 0) << run.Output;
  // A failing line shows its box on standard error; none may fail.
  EXPECT_EQ(run.Output.find("nicht laden"), std::string::npos) << run.Output;
  EXPECT_EQ(run.Output.find("Fehler"), std::string::npos) << run.Output;

  for (const TRead& r : reads) {
    const std::string out = Dir + r.File + ".ppm";
    if (!std::filesystem::exists(out)) {
      ADD_FAILURE() << r.File << " was not opened";
      continue;
    }
    EXPECT_EQ(Differing(r.Source, out, r.Fuzz), "0") << r.File;
  }
  for (const TWrite& w : writes) {
    const std::string out = Dir + "out-" + w.File;
    if (!std::filesystem::exists(out)) {
      ADD_FAILURE() << w.File << " was not written";
      continue;
    }
    const std::string report = test::RunCapture(w.Check + " '" + out + "' 2>&1");
    EXPECT_NE(report.find(w.Says), std::string::npos) << w.File << ": " << w.Check << " says\n" << report;
    // The gray file is compared with the gray source; a PGM of a colour picture is its gray.
    const std::string source = std::string(w.File) == "out.pgm" ? "src.pgm" : w.Source;
    if (w.Fuzz >= 0) {
      EXPECT_EQ(Differing(source, out, w.Fuzz), "0") << w.File;
    } else {
      const std::string psnr = test::RunCapture("cd " + Dir + " && compare -metric PSNR " + source + " '" + out + "' null: 2>&1");
      EXPECT_GE(std::atof(psnr.c_str()), 15.0) << w.File << ": " << psnr;
    }
  }
}

// A file the program cannot open says why, in the program's language, on the
// line below the message; a FIFO named like a picture is refused at once
// rather than waited on. A failing save line says why as well.
TEST_F(ProgramFormats, FilesThatCannotBeOpenedOrSavedSayWhyInGerman) {
  ASSERT_EQ(::mkfifo((Dir + "fifo.png").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((Dir + "folder.png").c_str(), 0700), 0);
  ASSERT_EQ(test::Run("cd " + Dir + " && convert src.ppm -compress none plain.tif && head -c 300 plain.tif > cut.tif"
                      " && tiffcp -c jpeg plain.tif jpeg.tif"
                      " && convert -size 400x400 xc:gray +noise Random noise.png && head -c 400 noise.png > cut.png"),
            0);
  struct TCase {
    const char* File;
    const char* Reason;
  };
  const TCase cases[] = {
      {"fifo.png", "Ist keine gewöhnliche Datei"},
      {"missing.png", "Datei oder Ordner nicht gefunden"},
      {"folder.png", "Ist ein Ordner"},
      {"cut.tif", "TIFF-Datei ist beschädigt oder unvollständig"},
      {"jpeg.tif", "TIFF-Komprimierung 7 wird nicht unterstützt"},
      {"cut.png", "Unerwartetes Dateiende"},
  };
  std::vector<std::string> lines;
  for (const TCase& c : cases) lines.push_back("OPEN FileName=\"" + Dir + c.File + "\"");
  const TResult run = RunBatch(lines);
  EXPECT_EQ(run.Exit, 0) << run.Output;
  for (const TCase& c : cases) {
    const std::string message = "Kann Datei " + Dir + c.File + " nicht laden.";
    const size_t at = run.Output.find(message);
    ASSERT_NE(at, std::string::npos) << c.File << "\n" << run.Output;
    const size_t next = run.Output.find_first_not_of("\r\n", at + message.size());
    ASSERT_NE(next, std::string::npos) << c.File;
    EXPECT_GT(next, at + message.size()) << c.File << ": the reason is not on a line of its own";
    const std::string reason = run.Output.substr(next, run.Output.find_first_of("\r\n", next) - next);
    EXPECT_NE(reason.find(c.Reason), std::string::npos) << c.File << ": " << reason;
  }

  // A save into a folder that does not exist stops the batch with the reason.
  const std::string target = Dir + "none/out.bmp";
  const TResult save = RunBatch({"OPEN FileName=\"" + Dir + "src.ppm\"", "SAVEAS FileName=\"" + target + "\""});
  const size_t at = save.Output.find("Datei \"" + target + "\" kann nicht angelegt werden. Datei oder Ordner nicht gefunden");
  EXPECT_NE(at, std::string::npos) << save.Output;
}

}  // namespace
}  // namespace kv

#endif
