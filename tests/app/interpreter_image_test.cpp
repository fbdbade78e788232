// Commands on the current image: resizing in every unit, clearing, counting
// colours, text comments.
#include "app/interpreter/interpreter.h"
#include "imaging/model/im_bitmap.h"
#include "imaging/processing/imager_proc.h"
#include "interpreter_fixture.h"
#include "platform/rtl/file_utils.h"

namespace kv::test {
namespace {

const TBGRPixel kRed{0, 0, 255};
const TBGRPixel kBlue{255, 0, 0};
const TBGRPixel kWhite{255, 255, 255};

// Left half red, right half blue, 8 x 6 at 100 dpi.
class InterpreterImage : public InterpreterTest {
 protected:
  timagerlayer& Halves() {
    Tchild* child = OverrideChild(8, 6, kRed);
    Fill24(child->imager1->Bitmap(), [](int32_t X, int32_t) { return X < 4 ? kRed : kBlue; });
    child->imager1->SetBackground(clWhite);
    child->imager1->IOParams().DpiX = child->imager1->IOParams().DpiY = 100;
    return *child->imager1;
  }
};

TEST_F(InterpreterImage, ResizeInEveryUnit) {
  struct TCase {
    const char* Params;
    int32_t W, H;
  } cases[] = {
      {"Width=4 Height=3", 4, 3},
      {"Width=0.04 vwidth=1 Height=0.03 vheight=1 Resolution=100", 4, 3},
      {"Width=0.254 vwidth=2 Height=0.254 vheight=2 Resolution=100", 10, 10},
      {"Width=2.54 vwidth=3 Height=5.08 vheight=3 Resolution=100", 10, 20},
      {"Width=0.00254 vwidth=4 Height=0.00254 vheight=4 Resolution=100", 10, 10},
      {"Width=72 vwidth=5 Height=36 vheight=5 Resolution=10", 10, 5},
      {"Width=0.1 vwidth=6 Height=0.2 vheight=6 Resolution=100", 10, 20},  // one user unit per inch
      {"Width=50 vwidth=7 Height=50 vheight=7", 4, 3},
      {"Width=200 vwidth=7 Height=100 vheight=7", 16, 6},
  };
  for (const TCase& c : cases)
    for (const char* resample : {" Resample=0", " Resample=1 ResampleFilter=5"}) {
      timagerlayer& imager = Halves();
      const std::string line = std::string("RESIZE ") + c.Params + resample;
      ASSERT_TRUE(RunLine(line)) << line;
      EXPECT_EQ(imager.Bitmap().Width(), c.W) << line;
      EXPECT_EQ(imager.Bitmap().Height(), c.H) << line;
    }
}

TEST_F(InterpreterImage, ResizeWithoutResampleCropsOrPadsWithResampleScales) {
  timagerlayer& cropped = Halves();
  RunLine("RESIZE Width=50 vwidth=7 Height=50 vheight=7");
  EXPECT_EQ(PixelAt(cropped, 3, 2), kRed);  // the left half only: cut, not squeezed

  timagerlayer& scaled = Halves();
  RunLine("RESIZE Width=50 vwidth=7 Height=50 vheight=7 Resample=1");
  EXPECT_EQ(PixelAt(scaled, 0, 0), kRed);
  EXPECT_EQ(PixelAt(scaled, 3, 2), kBlue);

  timagerlayer& padded = Halves();
  RunLine("RESIZE Width=12 Height=7");
  EXPECT_EQ(PixelAt(padded, 7, 5), kBlue);
  EXPECT_EQ(PixelAt(padded, 11, 6), kWhite);
}

TEST_F(InterpreterImage, ResizeResolution) {
  timagerlayer& kept = Halves();
  RunLine("RESIZE Width=50 vwidth=7 Height=50 vheight=7");
  EXPECT_EQ(kept.IOParams().DpiX, 100);
  EXPECT_EQ(kept.IOParams().DpiY, 100);
  timagerlayer& set = Halves();
  RunLine("RESIZE Width=1 vwidth=1 Height=1 vheight=1 Resolution=20");
  EXPECT_EQ(set.Bitmap().Width(), 20);
  EXPECT_EQ(set.IOParams().DpiX, 20);
  EXPECT_EQ(set.IOParams().DpiY, 20);
}

TEST_F(InterpreterImage, ResizeRefusesEmptyAndHugeSizesWithoutTouchingTheImage) {
  for (const char* params : {"Width=0 Height=5", "Width=1 vwidth=7 Height=5", "Width=-3 Height=5",
                             "Width=100000 Height=100000", "Width=4 Height=3 ResampleFilter=200 Resample=1"}) {
    timagerlayer& imager = Halves();
    const std::string line = std::string("RESIZE ") + params;
    (*Dialogs)->Answer(mrOk);
    EXPECT_THROW(RunLine(line), ECommandError) << line;
    EXPECT_EQ(imager.Bitmap().Width(), 8) << line;
    EXPECT_FALSE(imager.CanUndo()) << line;
  }
}

// Resampling and rotating build a new picture: the one they replace is the
// undo step itself (no copy of it is made first), and Undo brings it back.
TEST_F(InterpreterImage, ResampleAndRotateKeepTheReplacedPictureAsTheirUndoStep) {
  for (const char* line : {"RESIZE Width=150 vwidth=7 Height=150 vheight=7 Resample=1 ResampleFilter=5",
                           "EFFECT Name=Rotate Param1=7.5 Param2=1", "EFFECT Name=RotateS90"}) {
    timagerlayer& imager = Halves();
    imager.SetUndoStorage(skBitmap);
    const uint8_t* block = imager.Bitmap().Bits();
    ASSERT_TRUE(RunLine(line)) << line;
    EXPECT_NE(imager.Bitmap().Width(), 8) << line;
    EXPECT_TRUE(Form->OverrideChild->modified) << line;
    ASSERT_EQ(imager.Proc()->UndoCount(), 1) << line;
    const TIMBitmap& snap = *imager.Proc()->UndoList().back();
    ASSERT_TRUE(snap.HiddenBitmap) << line;
    EXPECT_EQ(snap.HiddenBitmap->Bits(), block) << line;
    imager.Undo();
    EXPECT_EQ(imager.Bitmap().Width(), 8) << line;
    EXPECT_EQ(imager.Bitmap().Height(), 6) << line;
    EXPECT_EQ(PixelAt(imager, 0, 0), kRed) << line;
    EXPECT_EQ(PixelAt(imager, 7, 5), kBlue) << line;
  }
}

TEST_F(InterpreterImage, ClearFillsWithBackgroundAfterAnUndoPoint) {
  timagerlayer& imager = Halves();
  RunLine("CLEAR");
  EXPECT_EQ(PixelAt(imager, 0, 0), kWhite);
  EXPECT_EQ(PixelAt(imager, 7, 5), kWhite);
  EXPECT_TRUE(Form->OverrideChild->modified);
  imager.Undo();
  EXPECT_EQ(PixelAt(imager, 7, 5), kBlue);
}

TEST_F(InterpreterImage, NumberColorsShowsTheCount) {
  timagerlayer& imager = Halves();
  static_cast<TBGRPixel*>(imager.Bitmap().ScanLine(5))[0] = kWhite;
  (*Dialogs)->Answer(mrOk);
  RunLine("NUMBERCOLORS");
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Text, "Das Bild hat 3 unterschiedliche Farben.");
}

TEST_F(InterpreterImage, DeselectDropsTheSelection) {
  timagerlayer& imager = Halves();
  imager.Select(1, 1, 5, 4);
  ASSERT_TRUE(imager.SelectionExists());
  RunLine("DESELECT");
  EXPECT_FALSE(imager.SelectionExists());
  EXPECT_EQ(PixelAt(imager, 2, 2), kRed);
}

TEST_F(InterpreterImage, CommandsWithoutImageFail) {
  for (const char* line : {"CLEAR", "NUMBERCOLORS", "RESIZE Width=5", "DESELECT", "DUPLICATE",
                           "SEPERATECHANNELS Model=\"RGB\"",
                           "WALLPAPER Mode=2", "SAVEAS FileName=\"x.bmp\""}) {
    Shown().clear();
    (*Dialogs)->Answer(mrOk);
    EXPECT_THROW(RunLine(line), ECommandError) << line;
    EXPECT_EQ(Shown().size(), 1u) << line;
  }
}

TEST_F(InterpreterImage, TextComment) {
  const std::string name = Dir + "bild.jpg";
  RunLine("TEXTCOMMENT Name=\"" + name + "\" TextCount=2 Text0=\"erste Zeile\" Text1=\"zweite\"");
  EXPECT_EQ(ReadText(name + ".txt"), "erste Zeile\nzweite\n");
  RunLine("TEXTCOMMENT Name=\"" + name + "\"");  // no list: nothing changes
  EXPECT_TRUE(FileExists(name + ".txt"));
  RunLine("TEXTCOMMENT Name=\"" + name + "\" TextCount=0");
  EXPECT_FALSE(FileExists(name + ".txt"));
}

}  // namespace
}  // namespace kv::test
