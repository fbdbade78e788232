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

}  // namespace
}  // namespace kv
