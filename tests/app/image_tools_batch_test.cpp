// The image tools' lines as their windows build them, run in the main window
// and then from a batch file by the program itself: both runs must make the
// same files. The inputs (eye pictures, a mesh, tile pictures, a scan, a
// memory card) are generated here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "app/batch/batch_escapes.h"
#include "app/catalog/image_source_frame.h"
#include "components/controls/file_dir_edit.h"
#include "app/tools/lossless_jpeg.h"
#include "app/tools/mosaic_tool.h"
#include "app/tools/numbered_copies.h"
#include "app/tools/stereo_tool.h"
#include "components/controls/kv_spin.h"
#include "app/tools/stuck_pixel_tool.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "imaging/processing/mesh3d.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/button.h"
#include "platform/ui/memo.h"
#include "platform/ui/std_controls.h"
#include "platform/rtl/file_utils.h"
#include "support/display_session.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

using namespace kv::test;

namespace fs = std::filesystem;

class ImageToolsBatch : public CommandTest {
 protected:
  void MakeInputs() {
    fs::remove_all(Dir + "in");
    fs::create_directories(Dir + "in/pics");
    fs::create_directories(Dir + "in/card/DCIM");
    auto save = [&](const std::string& Name, int32_t W, int32_t H, const TPixelAt& C) {
      SaveToolPicture(Dir + "in/" + Name, *Make24(W, H, C));
    };
    save("left.png", 60, 40, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 4), uint8_t(y * 6), 90}; });
    save("right.png", 64, 42, [](int32_t x, int32_t y) { return TBGRPixel{40, uint8_t(x * 3), uint8_t(y * 5)}; });
    save("photo.jpg", 64, 48, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x + y)}; });
    for (int i = 0; i < 6; ++i)
      save("pics/p" + std::to_string(i) + ".png", 30 + i, 20, [i](int32_t x, int32_t) { return Gray(uint8_t(i * 40 + x)); });
    save("card/DCIM/DSC0001.JPG", 16, 16, [](int32_t, int32_t) { return Gray(5); });
    WriteText(Dir + "in/card/DCIM/DSC0001.WAV", "memo");
    // A scan turned by 12 degrees, with stuck pixels.
    save("scan.png", 220, 200, [](int32_t x, int32_t y) {
      const double a = 12 * M_PI / 180, dx = x + 0.5 - 110, dy = y + 0.5 - 100;
      const double u = dx * std::cos(a) - dy * std::sin(a), v = dx * std::sin(a) + dy * std::cos(a);
      if (std::fabs(u) <= 60 && std::fabs(v) <= 40) return TBGRPixel{uint8_t(80 + int(u + 60) % 50), 60, 120};
      return Gray(255);
    });
    std::ofstream(Dir + "in/cube.asc", std::ios::binary) << WriteAscMesh("cube", MakeCubeMesh(60));
    // A scanned sheet at 127 dpi (0.5 cm is 25 pixels) holding three photos on white.
    SaveToolPicture(Dir + "in/sheet.png", *Make24(420, 220, [](int32_t x, int32_t y) {
      const bool photo = (x >= 30 && x < 130 && y >= 30 && y < 130) || (x >= 180 && x < 280 && y >= 40 && y < 170) ||
                         (x >= 330 && x < 390 && y >= 50 && y < 190);
      return photo ? TBGRPixel{uint8_t(120 + y % 50), 80, uint8_t(40 + x % 60)} : Gray(255);
    }), 127);
  }

  // The lines, built by the windows where there is one.
  std::vector<std::string> Lines() {
    const std::string in = Dir + "in/", out = Dir + "out/";
    std::vector<std::string> lines;
    {
      Tanaglyphform w(nullptr, 0, "Auge Links / Rechts -> 3D-Bild ...");
      w.LeftEdit->SetText(in + "left.png");
      w.RightEdit->SetText(in + "right.png");
      w.mycombobox1->SetItemIndex(2);
      w.MoveX->SetText("3");
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
      lines.push_back("SAVEAS FileName=\"" + out + "make3d.bmp\"");
    }
    lines.push_back("MAKE3D left=\"" + in + "left.png\" right=\"" + in + "right.png\" Mode=4");
    lines.push_back("SAVEAS FileName=\"" + out + "pair.bmp\"");
    {
      Tanaglyphform w(nullptr, 1, "3D-Bild -> Auge Links / Rechts ...");
      w.Pic3DEdit->SetText(out + "pair.bmp");
      w.mycombobox1->SetItemIndex(4);
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
      lines.push_back("SAVEAS FileName=\"" + out + "lefteye.bmp\"");
      // The right eye's window comes to the front when the left eye's closes.
      lines.push_back("CLOSE");
      lines.push_back("SAVEAS FileName=\"" + out + "righteye.bmp\"");
    }
    {
      Tanaglyphform w(nullptr, 2, "3D-Gitter ...");
      w.MeshEdit->SetText(in + "cube.asc");
      w.OutWidth->SetText("160");
      w.OutHeight->SetText("120");
      w.TurnY->SetText("30");
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
      lines.push_back("SAVEAS FileName=\"" + out + "mesh.bmp\"");
    }
    // Each photo of the sheet becomes a window of its own; the sheet stays behind them.
    lines.push_back("OPEN FileName=\"" + in + "sheet.png\"");
    lines.push_back("EFFECT Name=Seperate Param1=20 Param2=0.5 Param3=16777215");
    for (const char* piece : {"piece3", "piece2", "piece1"}) {
      lines.push_back("SAVEAS FileName=\"" + out + piece + ".bmp\"");
      lines.push_back("CLOSE");
    }
    lines.push_back("SAVEAS FileName=\"" + out + "sheet.bmp\"");
    lines.push_back("OPEN FileName=\"" + in + "scan.png\"");
    lines.push_back("EFFECT Name=StraightenBorder Param1=20 Param2=16777215");
    lines.push_back("SAVEAS FileName=\"" + out + "straight.bmp\"");
    lines.push_back("EFFECT Name=CutBorder Param1=30 Param2=16777215 Param3=0");
    lines.push_back("EFFECT Name=HotPixel Param1=38 Param2=1");
    {
      Tdefpixform w(nullptr, Form.get());
      TStringList p;
      p.Add("3,3");
      p.Add("4, 3");
      w.Memo1->SetLines(p);
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
      lines.push_back("SAVEAS FileName=\"" + out + "repaired.bmp\"");
    }
    {
      Tmosaicform w(nullptr, 220, 200);
      w.ProportionalBox->SetChecked(false);
      w.ColumnsEdit->SetText("5");
      w.RowsEdit->SetText("4");
      w.CellWidthEdit->SetText("16");
      w.CellHeightEdit->SetText("12");
      w.AdjustEdit->SetText("50");
      w.BorderBox->SetChecked(true);
      w.imageSourceframe1->DirectoryEdit1->SetText(in + "pics");
      w.ThumbDirEdit->SetText(in + "tiles");
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
      lines.push_back("SAVEAS FileName=\"" + out + "mosaic.bmp\"");
    }
    {
      Tlosslessjpgform w(nullptr);
      w.FileEdit->SetText(in + "photo.jpg");
      w.OpenBox->SetChecked(false);
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
    }
    {
      Tdiginform w(nullptr);
      w.TargetEdit->SetText(out + "copies");
      w.imageSourceframe1->DirectoryEdit1->SetText(in + "card");
      w.imageSourceframe1->CheckBox6->SetChecked(true);
      w.BrowserBox->SetChecked(false);
      w.RunButton->Click();
      lines.push_back(w.ResultLine);
    }
    return lines;
  }

  std::map<std::string, std::vector<uint8_t>> Outputs() {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(Dir + "out"))
      if (e.is_regular_file()) files[e.path().lexically_relative(Dir + "out").string()] = ReadBytes(e.path().string());
    files["photo.jpg"] = ReadBytes(Dir + "in/photo.jpg");
    fs::remove_all(Dir + "out");
    fs::create_directories(Dir + "out");
    return files;
  }
};

TEST_F(ImageToolsBatch, WindowLinesAndTheProgramsBatchMakeTheSameFiles) {
  MakeInputs();
  fs::create_directories(Dir + "out");
  const std::vector<std::string> lines = Lines();
  for (const std::string& l : lines) {
    ASSERT_FALSE(l.empty());
    ASSERT_TRUE(CommandTest::Line(l)) << l;
    Pump();
  }
  EXPECT_TRUE(Shown().empty()) << Shown().back().Text;
  const auto first = Outputs();
  for (const char* name : {"make3d.bmp", "pair.bmp", "lefteye.bmp", "righteye.bmp", "mesh.bmp", "straight.bmp", "repaired.bmp",
                           "mosaic.bmp", "copies/DSC0001.JPG", "copies/DSC0001.JPG.wav"})
    EXPECT_TRUE(first.count(name)) << name;
  // Three pieces side by side, one photo each, and then the sheet itself.
  auto size = [&](const std::string& Name) {
    WriteBytes(Dir + "size.bmp", first.at(Name));
    TBitmap b;
    LoadToolPicture(Dir + "size.bmp", b);
    return std::pair{b.Width(), b.Height()};
  };
  EXPECT_EQ(size("sheet.bmp"), std::pair(420, 220));
  int32_t widths = 0;
  for (const char* piece : {"piece1.bmp", "piece2.bmp", "piece3.bmp"}) {
    ASSERT_TRUE(first.count(piece)) << piece;
    const auto [w, h] = size(piece);
    EXPECT_TRUE(w >= 60 && w < 200 && h >= 100 && h <= 220) << piece << " " << w << " x " << h;
    widths += w;
  }
  EXPECT_LE(widths, 420);

#ifdef KV_PROGRAM_DIR
  MakeInputs();
  std::string job;
  for (const std::string& l : lines) job += EscapeBatchLine(l) + "\r\n";
  WriteText(Dir + "job.atp", job + "QUIT\r\n");
  const TToolRun run = RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                               Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir + " timeout 300 " + KV_PROGRAM_DIR +
                               "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  const auto again = Outputs();
  ASSERT_EQ(again.size(), first.size());
  for (const auto& [name, bytes] : first) {
    ASSERT_TRUE(again.count(name)) << name;
    EXPECT_TRUE(again.at(name) == bytes) << name << " differs";
  }
#endif
}

#ifdef KV_PROGRAM_DIR
// SHOWMESHDEMO from a batch, run by the program on the test display: the
// demo window comes up and draws the sample mesh while the batch waits, and
// the batch goes on once the window is closed with Escape.
class MeshDemoProgram : public TDisplaySessionTest {
 protected:
  // The first visible window whose title matches Pattern; empty when none
  // shows by the deadline or the program has ended meanwhile.
  std::string WaitWindow(const std::string& Pattern, pid_t Pid) {
    std::string id;
    WaitFor(
        [&] {
          id = Xdo("search --onlyvisible --name '" + Pattern + "'");
          if (const size_t nl = id.find('\n'); nl != std::string::npos) id.resize(nl);
          return !id.empty() || !Running(Pid);
        },
        60000);
    return id;
  }
  // Whether the window shows a line of the red-blue picture: full red with no
  // green over the purple of the grey drawing (the glasses ramps have no blue).
  bool ShowsRedLine(const std::string& Window) {
    const std::string shot = Dir + "shot.png";
    std::filesystem::remove(shot);
    RunCapture("DISPLAY=" + Display + " import -window " + Window + " '" + shot + "' 2>/dev/null");
    if (!FileExists(shot)) return false;
    TBitmap b;
    LoadToolPicture(shot, b);
    for (int32_t y = 0; y < b.Height(); ++y)
      for (int32_t x = 0; x < b.Width(); ++x) {
        const TBGRPixel p = static_cast<const TBGRPixel*>(b.ScanLine(y))[x];
        if (p.r >= 230 && p.g <= 30 && p.b >= 100) return true;
      }
    return false;
  }
};

TEST_F(MeshDemoProgram, BatchWaitsForTheDemoWindow) {
  if (!HaveTool("import")) GTEST_SKIP() << "ImageMagick's import is not installed";
  WriteText(Dir + "job.atp", "SHOWMESHDEMO\r\nHIDDEN NEWIMAGE Width=7 Height=5 FillColor=0\r\nSAVEAS FileName=\"" + Dir +
                                 "after.bmp\"\r\nQUIT\r\n");
  const std::string log = Dir + "kavrelin.log";
  const pid_t pid = StartCommand(std::string(KV_PROGRAM_DIR) + "kavrelin job.atp", log);
  ASSERT_GT(pid, 0);
  const std::string demo = WaitWindow("^3D-Gitter", pid);
  ASSERT_FALSE(demo.empty()) << ReadText(log);
  EXPECT_TRUE(WaitFor([&] { return ShowsRedLine(demo); }, 60000)) << "the demo draws no mesh";
  EXPECT_FALSE(FileExists(Dir + "after.bmp")) << "the batch went on past the demo";
  const bool closed = WaitFor(
      [&] {
        Xdo("windowfocus --sync " + demo);
        Xdo("key --clearmodifiers Escape");
        return ("\n" + Xdo("search --onlyvisible --name '.'")).find("\n" + demo + "\n") == std::string::npos;
      },
      30000);
  ASSERT_TRUE(closed) << "Escape did not close the demo";
  const std::optional<int> exit = WaitExit(pid, 60000);
  ASSERT_TRUE(exit.has_value()) << "the program did not end: " << ReadText(log);
  EXPECT_EQ(*exit, 0) << ReadText(log);
  EXPECT_TRUE(FileExists(Dir + "after.bmp")) << ReadText(log);
}
#endif

}  // namespace
}  // namespace kv
