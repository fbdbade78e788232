// Printing for real: the dialog's settings give the command line, the
// interpreter's "Print" with it writes a PDF through Qt whose page, as
// pdftoppm rasterises it, is the dialog's preview; and the program itself
// prints a batch's "Print" through a CUPS queue whose PDF shows the same page.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/batch/batch_escapes.h"
#include "app/child/child_window.h"
#include "app/params/param_strings.h"
#include "app/workflows/print_dialog.h"
#include "command_fixture.h"
#include "platform/system/printer.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

// Blocks of colour: the edges between them are all a nearest-pixel and an
// averaging scaler may disagree on.
TBGRPixel Blocks(int32_t X, int32_t Y) {
  const int32_t i = X / 10 + 4 * (Y / 10);
  return TBGRPixel{uint8_t(40 * (i % 6)), uint8_t(200 - 30 * (i % 5)), uint8_t(255 - 50 * (i % 4))};
}

// Share of pixels of Expect (at its size, from Left, Top of Page) off by more than Tolerance in a channel.
double MismatchShare(TBitmap& Page, int32_t Left, int32_t Top, TBitmap& Expect, int Tolerance) {
  int64_t off = 0, all = 0;
  for (int32_t y = 0; y < Expect.Height() && y + Top < Page.Height(); ++y) {
    const auto* e = static_cast<const uint8_t*>(Expect.ScanLine(y));
    const auto* p = static_cast<const uint8_t*>(Page.ScanLine(y + Top)) + size_t(Left) * 3;
    for (int32_t x = 0; x < Expect.Width() && x + Left < Page.Width(); ++x, ++all)
      for (int c = 0; c < 3; ++c)
        if (std::abs(int(e[x * 3 + c]) - int(p[x * 3 + c])) > Tolerance) {
          ++off;
          break;
        }
  }
  return all ? double(off) / double(all) : 1.0;
}

// The first page of a PDF at Dpi, or an empty bitmap.
void Rasterise(const std::string& Pdf, int32_t Dpi, const std::string& Prefix, TBitmap& Out) {
  RunTool("pdftoppm -r " + std::to_string(Dpi) + " -f 1 -l 1 -singlefile '" + Pdf + "' '" + Prefix + "' 2>&1");
  ReadPnm(Prefix + ".ppm", Out);
  fs::remove(Prefix + ".ppm");
}

class PrintOutput : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    if (!HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    TPrinter& p = Printer();
    p.SetOutputFileName(Dir + "out.pdf");
    p.SetPaper(pkA4);
    p.SetOrientation(poPortrait);
    p.SetMarginsMM(5, 8, 5, 8);
    p.SetResolution(100);
  }
  void TearDown() override {
    Printer().SetOutputFileName("");
    CommandTest::TearDown();
  }
};

TEST_F(PrintOutput, DialogLineThroughTheInterpreterPrintsThePreviewedPage) {
  Tchild& child = MakeChild(40, 30, Blocks);
  Tprintform dialog(nullptr, 0, child.imager1, nullptr);
  dialog.printFrame1->SetBounds(0, 0, 400, 600);
  dialog.FormShow(nullptr);
  dialog.FitButton->Click();
  dialog.CutLinesBox->SetChecked(true);
  dialog.InfoList->SetChecked(5, true);  // picture width
  dialog.InfoList->SetChecked(6, true);  // and height
  dialog.printFrame1->QualityBox->Select(pqMax);
  dialog.PrintButton->Click();
  const std::string line = dialog.Command();
  // The keys in their order, with the choices made.
  size_t at = 0;
  for (const char* key : {"Print ", " Mode=0", " Specialsize=1", " DirectionPos=10", " NumPrints=1", " Withoffset=0",
                          " left=", " vleft=0", " top=", " vtop=0", " width=", " vwidth=0", " height=", " vheight=0",
                          " cutlines=1", " FontColor=", " ImageInfoSet=96"}) {
    const size_t found = line.find(key, at);
    ASSERT_NE(found, std::string::npos) << key << " in " << line;
    at = found;
  }
  TPrinter& p = Printer();
  // Fitted: as wide as the printable area, the edits show the layout.
  EXPECT_NEAR(ReadParamFloat(line, "width", 0), p.PageWidth(), 0.01);
  EXPECT_NEAR(ReadParamFloat(line, "height", 0), p.PageWidth() * 30.0 / 40.0, 0.01);
  TprintFrame& frame = *dialog.printFrame1;
  ASSERT_TRUE(frame.LayoutError.empty()) << frame.LayoutError;
  ASSERT_DOUBLE_EQ(frame.PreviewScale, 1.0);
  TBitmap& preview = frame.Image1->Bitmap();
  ASSERT_EQ(preview.Width(), p.PageWidth());

  ASSERT_TRUE(Line(line)) << line;
  TBitmap page;
  Rasterise(Dir + "out.pdf", 100, Dir + "page", page);
  ASSERT_FALSE(page.Empty());
  EXPECT_NEAR(page.Width(), p.PhysicalWidth(), 1);  // the paper in whole pixels, rounded either way
  EXPECT_LT(MismatchShare(page, p.PhysicalOffsetX(), p.PhysicalOffsetY(), preview, 40), 0.02);
  // The same picture, scaled: not a blank or shifted page.
  TBitmap blank(preview.Width(), preview.Height());
  FillFlat24(blank, Gray(255));
  EXPECT_GT(MismatchShare(page, p.PhysicalOffsetX(), p.PhysicalOffsetY(), blank, 40), 0.5);
}

TEST_F(PrintOutput, PosterAndCopiesMakeTheirPagesAndBadLinesMakeNoJob) {
  MakeChild(50, 20, Blocks);
  const int32_t w = Printer().PageWidth(), h = Printer().PageHeight();
  // 2.5 pages wide, one high: three pages, each its part of the picture.
  ASSERT_TRUE(Line("Print Mode=2" + WriteParamFloat("width", 2.5 * w) + WriteParamFloat("height", h)));
  if (HaveTool("pdfinfo")) {
    EXPECT_NE(RunCapture("pdfinfo '" + Dir + "out.pdf'").find("Pages:           3"), std::string::npos);
  }
  ASSERT_TRUE(Line("Print NumPrints=2 width=100 height=100"));
  if (HaveTool("pdfinfo")) {
    EXPECT_NE(RunCapture("pdfinfo '" + Dir + "out.pdf'").find("Pages:           2"), std::string::npos);
  }
  fs::remove(Dir + "out.pdf");
  EXPECT_FALSE(Line("Print width=0 height=100"));
  EXPECT_FALSE(Line("Print Mode=2 width=100000000 height=100"));
  EXPECT_FALSE(fs::exists(Dir + "out.pdf"));
  EXPECT_FALSE(Printer().Printing());
}

// The program prints a batch's line through a real CUPS queue (set up by
// .ci/run: CUPS_SERVER and KV_CUPS_QUEUE), whose PDF printer writes the file.
TEST_F(PrintOutput, ProgramPrintsThroughTheCupsQueue) {
#ifndef KV_PROGRAM_DIR
  GTEST_SKIP() << "the program is not built";
#else
  const char* queue = std::getenv("KV_CUPS_QUEUE");
  if (!queue || !*queue || !std::getenv("CUPS_SERVER")) GTEST_SKIP() << "no CUPS queue (.ci/run starts one)";
  // cups-pdf writes into the submitting user's home.
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  const std::string outDir = std::string(pw->pw_dir) + "/PDF/";
  const std::string base = "kvprint" + std::to_string(getpid());
  MakeChild(40, 30, Blocks);
  ASSERT_TRUE(Line("SAVEAS FileName=\"" + Dir + base + ".png\""));
  const std::string line = "Print Specialsize=1 DirectionPos=0 cutlines=1 ImageInfoSet=1";
  WriteText(Dir + "job.atp", "OPEN FileName=\"" + Dir + base + ".png\"\r\n" + EscapeBatchLine(line) + "\r\nQUIT\r\n");
  const TToolRun run = RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PRINTER=" +
                               queue + " XDG_RUNTIME_DIR=" + Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir +
                               " timeout 300 " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  // The queue works on its own time: wait for the file with a deadline.
  std::string pdf;
  for (int i = 0; i < 600 && pdf.empty(); ++i) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(outDir, ec))
      if (e.path().filename().string().find(base) != std::string::npos && e.path().extension() == ".pdf") {
        // cups-pdf renames the finished file into place.
        pdf = e.path().string();
      }
    if (pdf.empty()) RunTool("sleep 0.1");
  }
  ASSERT_FALSE(pdf.empty()) << "no PDF from the queue in " << outDir;
  // The page as the program laid it out for that queue.
  TPrinter p;
  p.SetPrinterName(queue);
  TBitmap expect(p.PageWidth(), p.PageHeight());
  FillFlat24(expect, Gray(255));
  {
    TCanvas c(expect);
    TPrintDevice dev = PrintDeviceOf(p);
    dev.Printer = nullptr;
    PrintWithLayout(PrintSourceOf(*Form->getimager()), &c, p.PageWidth(), p.PageHeight(), 1, true, line, dev);
  }
  // The file may show before the printer has finished writing it.
  TBitmap page;
  for (int i = 0; i < 300 && page.Empty(); ++i) {
    Rasterise(pdf, p.Resolution(), Dir + "queue", page);
    if (page.Empty()) RunTool("sleep 0.1");
  }
  fs::remove(pdf);
  ASSERT_FALSE(page.Empty());
  EXPECT_LT(MismatchShare(page, p.PhysicalOffsetX(), p.PhysicalOffsetY(), expect, 48), 0.03);
#endif
}

}  // namespace
}  // namespace kv
