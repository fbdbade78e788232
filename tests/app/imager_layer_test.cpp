// The program's image control: walking the undo history back and forth,
// the fit zoom, the cursor by mouse mode, filling, fitting by resampling and
// the image-information texts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/layer/imager_layer.h"
#include "app/params/file_kinds.h"
#include "imaging/formats/file_types.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/cursors.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class ImagerLayer : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 240, 240);
    Layer = new timagerlayer(Form.get());
    Layer->SetBorderStyle(bsNone);
    Layer->SetParent(Form.get());
    Layer->SetBounds(0, 0, 200, 200);
    Layer->SetUndoLimit(10);
    Form->Show();
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  void TearDown() override {
    Form.reset();
    TTempFolderTest::TearDown();
  }
  // A picture of one gray level, the state's name in the undo tests.
  void Show(uint8_t Level, int32_t W = 8, int32_t H = 6) {
    test::Paint24(Layer->Bitmap(), W, H, [&](int32_t, int32_t) { return test::Gray(Level); });
    Layer->PictureEdited();
  }
  int Level() { return static_cast<const uint8_t*>(Layer->Bitmap().ScanLine(0))[0]; }
  // The change a command makes: a snapshot first, as every caller does.
  void Edit(uint8_t Level) {
    Layer->SaveUndoPoint();
    Show(Level);
  }
  int32_t Count() { return Layer->Proc()->UndoCount(); }

  std::unique_ptr<TForm> Form;
  timagerlayer* Layer = nullptr;
};

TEST_F(ImagerLayer, StartsAtTheLiveImageWithTheWheelLeftToThePlatform) {
  EXPECT_EQ(Layer->UndoPosition(), -1);
  EXPECT_EQ(Layer->MouseWheelParams().Action, 0);
  EXPECT_FALSE(Layer->CanUndo());
  EXPECT_FALSE(Layer->CanRedo());
}

TEST_F(ImagerLayer, UndoKeepsTheLiveImageForRedo) {
  Show(10);
  Edit(20);
  EXPECT_TRUE(Layer->CanUndo());
  EXPECT_FALSE(Layer->CanRedo());

  Layer->Undo();
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Layer->UndoPosition(), 1);
  EXPECT_EQ(Level(), 10);
  EXPECT_FALSE(Layer->CanUndo());
  EXPECT_TRUE(Layer->CanRedo());

  Layer->Redo();
  EXPECT_EQ(Layer->UndoPosition(), 0);
  EXPECT_EQ(Level(), 20);
  EXPECT_TRUE(Layer->CanUndo());
  EXPECT_FALSE(Layer->CanRedo());

  // Undo again from position 0 takes no new snapshot.
  Layer->Undo();
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Level(), 10);
}

TEST_F(ImagerLayer, WithoutSnapshotsUndoOnlyTakesOne) {
  Show(30);
  Layer->Undo();
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Layer->UndoPosition(), 0);
  EXPECT_EQ(Level(), 30);
  EXPECT_FALSE(Layer->CanUndo());
  EXPECT_FALSE(Layer->CanRedo());
}

TEST_F(ImagerLayer, AChangeAfterUndoKeepsEveryStateReachable) {
  Show(1);
  Edit(2);
  Edit(3);
  Layer->Undo();  // list 1 2 3, at 2
  Layer->Undo();  // at 1
  ASSERT_EQ(Level(), 1);
  Edit(4);        // list 1 2 3 1, live 4
  EXPECT_EQ(Layer->UndoPosition(), -1);
  EXPECT_FALSE(Layer->CanRedo());
  EXPECT_EQ(Count(), 4);

  std::string walked;
  while (Layer->CanUndo() || Layer->UndoPosition() == -1) {
    Layer->Undo();
    walked += char('0' + Level());
  }
  EXPECT_EQ(walked, "1321");
  std::string back;
  while (Layer->CanRedo()) {
    Layer->Redo();
    back += char('0' + Level());
  }
  EXPECT_EQ(back, "2314");
}

TEST_F(ImagerLayer, UndoLimitDropsTheOldestStates) {
  Layer->SetUndoLimit(2);
  Show(1);
  Edit(2);
  Edit(3);  // list 1 2 -> 2 after the limit; live 3
  Layer->Undo();
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Level(), 2);
  EXPECT_FALSE(Layer->CanUndo());
}

TEST_F(ImagerLayer, FitZoomPercentNeverDividesByZero) {
  struct Case {
    int32_t W, H, Expected;
  };
  // The control is 200 x 200.
  for (const Case& c : {Case{400, 200, 50}, Case{200, 400, 50}, Case{200, 200, 100}, Case{7, 3, 2857},
                        Case{1, 1, 20000}, Case{0, 0, 100}, Case{100000, 1, 1}}) {
    if (c.W == 0)
      Layer->Bitmap().SetSize(0, 0);
    else
      Layer->Bitmap().SetSize(c.W, c.H);
    EXPECT_EQ(Layer->FitZoomPercent(), c.Expected) << c.W << 'x' << c.H;
  }
}

TEST_F(ImagerLayer, CursorFollowsTheMouseMode) {
  struct Case {
    TIMMouseInteract Mode;
    TCursor Expected;
  };
  for (const Case& c : {Case{{miSelect}, crCross}, Case{{miSelectPolygon, miZoom}, crCross},
                        Case{{miSelectCircle}, crCross}, Case{{miScroll, miZoom}, 1782}, Case{{miZoom}, 1779},
                        Case{{}, 1785}, Case{{miSelectMagicWand}, 1785}}) {
    Layer->SetMouseInteract(c.Mode);
    Layer->UpdateCursor();
    EXPECT_EQ(Layer->Cursor(), c.Expected);
  }
}

TEST_F(ImagerLayer, FillColorAndResampleToFit) {
  Show(0, 400, 100);
  Layer->FillColor(RGB(10, 20, 30));
  const auto* row = static_cast<const uint8_t*>(Layer->Bitmap().ScanLine(99));
  EXPECT_EQ(row[399 * 3], 30);
  EXPECT_EQ(row[399 * 3 + 1], 20);
  EXPECT_EQ(row[399 * 3 + 2], 10);

  Layer->ResampleToFit();
  EXPECT_EQ(Layer->Bitmap().Width(), 200);
  EXPECT_EQ(Layer->Bitmap().Height(), 50);
  EXPECT_EQ(static_cast<const uint8_t*>(Layer->Bitmap().ScanLine(49))[0], 30);

  Layer->Bitmap().SetSize(0, 0);
  Layer->ResampleToFit();  // nothing to fit, nothing happens
  EXPECT_TRUE(Layer->Bitmap().Empty());
}

TEST_F(ImagerLayer, UpdateBitmapRectShowsAChangeAtOnce) {
  Show(0, 50, 40);
  Layer->RenderNow();
  test::FillFlat24(Layer->Bitmap(), test::Gray(200));
  Layer->UpdateBitmapRect(0, 0, 50, 40);
  const auto* row = static_cast<const uint8_t*>(Layer->Rendering().ScanLine(Layer->YBmp2Scr(10)));
  EXPECT_EQ(row[size_t(Layer->XBmp2Scr(10)) * 3], 200);
}

TEST_F(ImagerLayer, ImageInfoTextsOfASavedFile) {
  const std::string name = Dir + "bild.jpg";
  test::WriteText(name, std::string(2048 + 512, 'x'));
  test::WriteText(name + ".txt", "erste\nzweite\n");
  Show(0, 300, 200);
  Layer->IOParams().FileName = name;
  Layer->IOParams().FileType = ioJPEG;
  Layer->IOParams().DpiX = 72;
  Layer->SetMsgLanguage(msGerman);

  const TImageInfoTexts t = ImageInfoText(*Layer);
  EXPECT_EQ(t[tImageInfo::filename], "bild.jpg");
  EXPECT_EQ(t[tImageInfo::filepath], Dir);
  EXPECT_EQ(t[tImageInfo::filedate], DateTimeToStr(FileAge(name)));
  EXPECT_EQ(t[tImageInfo::filesize], "2.50 KB");
  EXPECT_EQ(t[tImageInfo::filetype], "JPEG Bitmap");
  EXPECT_EQ(t[tImageInfo::imagewidth], "300");
  EXPECT_EQ(t[tImageInfo::imageheight], "200");
  EXPECT_EQ(t[tImageInfo::numpixels], "60000");
  EXPECT_EQ(t[tImageInfo::textcomment], "erste\\r\\nzweite\\r\\n");
  EXPECT_EQ(t[tImageInfo::resolution], "72");
  EXPECT_EQ(t[tImageInfo::orientation], "Querformat");
  // The form the thumbnail cache keeps them in.
  EXPECT_EQ(JoinBarList(t).substr(0, 9), "bild.jpg|");

  Layer->SetMsgLanguage(msEnglish);
  EXPECT_EQ(ImageInfoText(*Layer)[tImageInfo::orientation], "Landscape");
  Show(0, 200, 200);
  EXPECT_EQ(ImageInfoText(*Layer)[tImageInfo::orientation], "Portrait");
}

TEST_F(ImagerLayer, ImageInfoTextsOfAnUnsavedImage) {
  // A "!" name is never looked for on disk, even when such a file exists.
  const std::string current = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(Dir));
  test::WriteText("!unbenannt1", "x");
  test::WriteText("!unbenannt1.txt", "comment");
  Show(0, 20, 30);
  Layer->IOParams().FileName = "!unbenannt1";
  Layer->SetMsgLanguage(msGerman);
  const TImageInfoTexts t = ImageInfoText(*Layer);
  SetCurrentDir(current);
  EXPECT_EQ(t[tImageInfo::filename], "!unbenannt1");
  EXPECT_EQ(t[tImageInfo::filepath], "");
  EXPECT_EQ(t[tImageInfo::filedate], "");
  EXPECT_EQ(t[tImageInfo::filesize], "");
  EXPECT_EQ(t[tImageInfo::textcomment], "");
  EXPECT_EQ(t[tImageInfo::orientation], "Hochformat");
}

}  // namespace
}  // namespace kv
