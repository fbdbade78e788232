// The open and save dialogs with preview, run as the real (non-native) file
// dialog and worked by script: select a file, see the preview and the
// information lines, press OK or Cancel. Pictures come from ImageMagick.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "imaging/formats/file_types.h"
#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/io_params.h"
#include "imaging/views/imager_mio.h"
#include "imaging/views/imager_mview.h"
#include "imaging/views/io_previews.h"
#include "imaging/views/open_save_dialog.h"
#include "imaging/views/open_save_filter.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/qt_app.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

TEST(FileDialogTexts, OpenFilterFollowsTheFileTypeTable) {
  InstallGifLzwHooks();
  const std::string withGif = BuildOpenFilter();
  EXPECT_EQ(withGif.rfind("All graphics|*.tif;*.tiff;*.fax;*.gif;*.jpg;*.jpeg;*.jpe;*.pcx;", 0), 0u) << withGif;
  EXPECT_NE(withGif.find(";*.pxm;*.ppm;*.pgm;*.pbm;*.avi|TIFF Bitmap (TIF;TIFF;FAX)|*.tif;*.tiff;*.fax|"),
            std::string::npos);
  EXPECT_NE(withGif.find("|Windows Icon (ICO)|*.ico|"), std::string::npos);
  EXPECT_NE(withGif.find("|CompuServe Bitmap (GIF)|*.gif|"), std::string::npos);
  EXPECT_EQ(withGif.substr(withGif.size() - 30), "|Video for Windows (AVI)|*.avi");
  GifLzwDecoderHook = nullptr;
  GifLzwEncoderHook = nullptr;
  const std::string noGif = BuildOpenFilter();
  EXPECT_EQ(noGif.find("gif"), std::string::npos);
  EXPECT_EQ(noGif.find("GIF"), std::string::npos);
}

TEST(FileDialogTexts, SaveFilterListsWritableTypes) {
  GifLzwEncoderHook = nullptr;
  const std::string f = BuildSaveFilter();
  EXPECT_EQ(f.rfind("TIFF Bitmap (TIF;TIFF;FAX)|*.tif;*.tiff;*.fax|JPEG Bitmap (JPG;JPEG;JPE)|", 0), 0u) << f;
  for (const char* gone : {"ICO", "CUR", "WMF", "EMF", "GIF"}) EXPECT_EQ(f.find(gone), std::string::npos) << gone;
  EXPECT_NE(f.find("|Portable Network Graphics (PNG)|*.png|"), std::string::npos);
  EXPECT_EQ(f.substr(f.size() - 30), "|Video for Windows (AVI)|*.avi");
  EXPECT_EQ(InitialSaveFilter().rfind("JPEG Bitmap (JPG)|*.jpg|TIFF Bitmap (TIF)|*.tif|PaintBrush (PCX)|*.pcx", 0), 0u);
  InstallGifLzwHooks();
  EXPECT_EQ(InitialSaveFilter().rfind("JPEG Bitmap (JPG)|*.jpg|CompuServe Bitmap (GIF)|*.gif|", 0), 0u);
  GifLzwDecoderHook = nullptr;
  GifLzwEncoderHook = nullptr;
}

TEST(FileDialogTexts, ExtensionRules) {
  struct Case {
    const char* Name;
    const char* Ext;
    const char* Out;
  };
  for (const Case& c : {Case{"my.photo.jpg", "png", "my.photo.png"}, Case{"photo", "png", "photo.png"},
                        Case{"a.b/photo", "tif", "a.b/photo.tif"}, Case{".hidden", "bmp", ".hidden.bmp"},
                        Case{"", "png", ""}, Case{"x.jpg", "", "x.jpg"}})
    EXPECT_EQ(ReplaceNameExtension(c.Name, c.Ext), c.Out) << c.Name;
  EXPECT_EQ(FirstPatternExtension("*.tif;*.tiff"), "tif");
  EXPECT_EQ(FirstPatternExtension("*.*"), "");

  GifLzwEncoderHook = nullptr;
  struct Page {
    const char* Name;
    const char* Def;
    int32_t Page;
  };
  for (const Page& p : {Page{"/a/b.JPE", "", 4}, Page{"x.tiff", "", 8}, Page{"x.gif", "", 0}, Page{"x.rle", "", 32},
                        Page{"x.pcx", "", 64}, Page{"x.png", "", 128}, Page{"x.vst", "", 256},
                        Page{"x.xyz", "TGA", 256}, Page{"noext", "png", 128}, Page{"x.xyz", "ppm", 0}})
    EXPECT_EQ(AdvancedPageFor(p.Name, p.Def), p.Page) << p.Name << " " << p.Def;
  InstallGifLzwHooks();
  EXPECT_EQ(AdvancedPageFor("x.gif", ""), 16);
  GifLzwDecoderHook = nullptr;
  GifLzwEncoderHook = nullptr;
}

TEST(FileDialogTexts, InformationLines) {
  TIOParamsVals p(nullptr);
  p.FileType = ioJPEG;
  p.Width = 100;  // loaded at a reduced scale
  p.Height = 75;
  p.JpegOriginalWidth = 800;
  p.JpegOriginalHeight = 600;
  p.DpiX = 72;
  p.DpiY = 96;
  TIMPreviewInfo i = PreviewInfo(p, 1, 2048, msEnglish);
  EXPECT_EQ(i.PicLabel1, "800 x 600 pixel");
  EXPECT_EQ(i.PicLabel2, "16777216 Colors (24 bit)");
  EXPECT_EQ(i.PicLabel3, "72 x 96 dpi");
  EXPECT_EQ(i.InfoLabel2, "File: 2 Kb   Mem: 1406 Kb");  // 600 rows of 2400 bytes
  EXPECT_EQ(i.InfoLabel1, p.GetFormatSummary());

  p.FileType = ioGIF;
  p.Width = 10;
  p.Height = 3;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 1;
  i = PreviewInfo(p, 4, 1023, msEnglish);
  EXPECT_EQ(i.PicLabel1, "10 x 3 pixel , 4 frames");
  EXPECT_EQ(i.PicLabel2, "2 Colors (1 bit)");
  EXPECT_EQ(i.InfoLabel2, "File: 1023 bytes   Mem: 48 bytes");  // 4 frames x 3 rows x 4 bytes
  p.SamplesPerPixel = 4;
  p.BitsPerSample = 8;
  EXPECT_EQ(PreviewInfo(p, 1, 0, msEnglish).PicLabel2, "16777216 Colors (32 bit)");
  p.SamplesPerPixel = 3;
  p.BitsPerSample = 16;
  EXPECT_EQ(PreviewInfo(p, 1, 0, msEnglish).PicLabel2, "2^48 Colors (48 bit)");
}

class FileDialogsTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    try {
      EnsureQtApplication();
    } catch (const EInvalidOperation&) {
      GTEST_SKIP() << "a Qt application without widgets exists in this process";
    }
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is needed";
    ASSERT_EQ(kv::test::Run("convert -size 40x30 gradient:red-blue -density 150 -units PixelsPerInch " + Dir + "pic.png"), 0);
    ASSERT_EQ(kv::test::Run("convert -size 12x8 xc:green " + Dir + "b.png"), 0);
    ASSERT_EQ(kv::test::Run("convert " + Dir + "pic.png " + Dir + "b.png " + Dir + "pages.tif"), 0);
    std::filesystem::copy_file(Dir + "pages.tif", Dir + "pages.tiff");
    WriteText(Dir + "broken.png", "\x89PNG\r\n\x1a\n not really");
  }
  void TearDown() override {
    GifLzwDecoderHook = nullptr;
    GifLzwEncoderHook = nullptr;
    TTempFolderTest::TearDown();
  }
};

TEST_F(FileDialogsTest, OpenShowsThePreviewAndReturnsTheChoice) {
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  int32_t selections = 0, folders = 0;
  dlg.OnSelectionChange = [&](TObject*) { ++selections; };
  dlg.OnFolderChange = [&](TObject*) { ++folders; };
  std::filesystem::create_directory(Dir + "sub");
  AnswerFileDialog([&](TFileDialogSession& S) {
    ASSERT_NE(S.SideArea(), nullptr);
    EXPECT_EQ(dlg.PicturePanel->Parent(), S.SideArea());
    EXPECT_EQ(dlg.ZoomCombo->Count(), 11);
    EXPECT_EQ(dlg.ZoomCombo->Item(dlg.ZoomCombo->ItemIndex()), "Fit");
    EXPECT_EQ(dlg.CurrentFilter().rfind("*.tif;*.tiff;*.fax;", 0), 0u);
    S.EnterFolder(Dir + "sub");
    EXPECT_EQ(folders, 1);
    S.SelectFile(Dir + "pic.png");
    EXPECT_EQ(dlg.GetFileName(), Dir + "pic.png");
    EXPECT_EQ(dlg.ImagerView->Bitmap().Width(), 40);
    EXPECT_EQ(dlg.ImagerView->Bitmap().Height(), 30);
    EXPECT_EQ(dlg.PicLabel1->Caption(), "40 x 30 pixel");
    EXPECT_EQ(dlg.PicLabel3->Caption(), "150 x 150 dpi");
    EXPECT_EQ(dlg.InfoLabel2->Caption().rfind("File: ", 0), 0u);
    EXPECT_NE(dlg.InfoLabel2->Caption().find("   Mem: 3 Kb"), std::string::npos) << dlg.InfoLabel2->Caption();
    EXPECT_EQ(dlg.PicLabel2->Caption(), "2^48 Colors (48 bit)");  // ImageMagick writes 16-bit samples
    EXPECT_TRUE(dlg.PreviewButton->Enabled());
    EXPECT_FALSE(dlg.PlayButton->Enabled());
    dlg.ZoomCombo->Select(dlg.ZoomCombo->IndexOf("200%"));
    EXPECT_EQ(dlg.ImagerView->Zoom(), 200);
    EXPECT_TRUE(S.PressOK());
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), Dir + "pic.png");
  ASSERT_EQ(dlg.Files().Count(), 1);
  EXPECT_EQ(dlg.Files().Strings(0), Dir + "pic.png");
  EXPECT_GE(selections, 1);
  EXPECT_EQ(dlg.PicturePanel->Parent(), nullptr);  // back from the dialog
  EXPECT_TRUE(dlg.ImagerView->Bitmap().Empty() || dlg.ImagerView->Bitmap().Width() <= 1);
}

TEST_F(FileDialogsTest, MultiSelectJoinsTheFolderWithEachName) {
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  dlg.SetOptions(TOpenOptions{ofHideReadOnly, ofAllowMultiSelect});
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SetFileNameText("\"pic.png\" \"b.png\"");
    EXPECT_TRUE(S.PressOK());
  });
  ASSERT_TRUE(dlg.Execute());
  ASSERT_EQ(dlg.Files().Count(), 2);
  EXPECT_EQ(dlg.Files().Strings(0), Dir + "pic.png");
  EXPECT_EQ(dlg.Files().Strings(1), Dir + "b.png");
  EXPECT_EQ(dlg.FileName(), Dir + "pic.png");
}

TEST_F(FileDialogsTest, OverwritingAsksThroughTheDialogService) {
  TSaveImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  dlg.SetOptions(TOpenOptions{ofHideReadOnly, ofOverwritePrompt});
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrNo);
  dialogs->Answer(mrYes);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SetFileNameText("b.png");
    EXPECT_FALSE(S.PressOK());  // "No": the dialog stays
    EXPECT_TRUE(S.PressOK());
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), Dir + "b.png");
  ASSERT_EQ(dialogs->Shown.size(), 2u);
  EXPECT_NE(dialogs->Shown[0].Text.find("b.png"), std::string::npos);
}

TEST_F(FileDialogsTest, AFailingHandlerIsReportedAndTheDialogGoesOn) {
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  dlg.OnSelectionChange = [](TObject*) { throw Exception("handler failed"); };
  TScriptedDialogsScope dialogs;
  dialogs->Answer(IDOK);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "pic.png");
    EXPECT_EQ(dlg.PicLabel1->Caption(), "40 x 30 pixel");
    EXPECT_TRUE(S.PressOK());
  });
  EXPECT_TRUE(dlg.Execute());
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("handler failed"), std::string::npos);
}

TEST_F(FileDialogsTest, CancelAndRefusalsChooseNothing) {
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "pic.png");
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(dlg.Files().Count(), 0);

  bool asked = false;
  dlg.OnCanClose = [&](TObject*, bool& Can) {
    asked = true;
    Can = false;
  };
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "pic.png");
    EXPECT_FALSE(S.PressOK());  // refused: the dialog stays
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(asked);
}

TEST_F(FileDialogsTest, AFileThatCannotBePreviewedLeavesEmptyLines) {
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "pic.png");
    EXPECT_FALSE(dlg.PicLabel1->Caption().empty());
    S.SelectFile(Dir + "broken.png");
    EXPECT_EQ(dlg.PicLabel1->Caption(), "");
    EXPECT_EQ(dlg.InfoLabel1->Caption(), "");
    EXPECT_EQ(dlg.InfoLabel2->Caption(), "");
    EXPECT_FALSE(dlg.PreviewButton->Enabled());
    // Without the preview only the parameters are read.
    dlg.PreviewCheck->SetChecked(false);
    S.SelectFile(Dir + "b.png");
    EXPECT_EQ(dlg.PicLabel1->Caption(), "12 x 8 pixel");
    EXPECT_TRUE(dlg.ImagerView->Bitmap().Width() <= 1);
    dlg.PreviewCheck->SetChecked(true);  // previews the selection again
    EXPECT_EQ(dlg.ImagerView->Bitmap().Width(), 12);
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
}

TEST_F(FileDialogsTest, MultiPageTifGoesToTheFramesViewAndTiffStaysStill) {
  TOpenImagerDialog dlg(nullptr);
  ASSERT_NE(dlg.Frames(), nullptr);
  ASSERT_NE(dlg.ImagerMView, nullptr);
  dlg.SetInitialDir(Dir);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "pages.tif");
    EXPECT_TRUE(dlg.ImagerMView->Visible());
    EXPECT_FALSE(dlg.ImagerView->Visible());
    EXPECT_TRUE(dlg.PlayButton->Enabled());
    EXPECT_FALSE(dlg.ZoomCombo->Enabled());
    EXPECT_FALSE(dlg.Frames()->Playing());  // a TIFF does not start playing by itself
    EXPECT_EQ(dlg.Frames()->SelectedFrame(), 0);
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_EQ(dlg.PicLabel1->Caption(), "40 x 30 pixel , 2 frames");
    dlg.PlayButton->Click();
    EXPECT_TRUE(dlg.Frames()->Playing());
    EXPECT_FALSE(dlg.PreviewButton->Enabled());
    dlg.PlayButton->Click();
    EXPECT_FALSE(dlg.Frames()->Playing());
    EXPECT_TRUE(dlg.PreviewButton->Enabled());
    {
      // The enlarged preview holds the current frame.
      TScriptedDialogsScope dialogs;
      dialogs->AnswerModal([](TCustomForm& F) {
        for (int32_t i = 0; i < F.ControlCount(); ++i)
          if (auto* v = dynamic_cast<TImagerView*>(F.Controls(i))) {
            EXPECT_EQ(v->Bitmap().Height(), 30);
          }
        return mrCancel;
      });
      dlg.PreviewButton->Click();
      EXPECT_EQ(dialogs->Pending(), 0u);
    }

    S.SelectFile(Dir + "pages.tiff");  // the test is on ".tif" only
    EXPECT_TRUE(dlg.ImagerView->Visible());
    EXPECT_FALSE(dlg.ImagerMView->Visible());
    EXPECT_EQ(dlg.ImagerView->Bitmap().Width(), 40);
    EXPECT_FALSE(dlg.PlayButton->Enabled());
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
}

TEST_F(FileDialogsTest, AnimatedGifPlaysAtOnceOnlyWithTheDecoder) {
  ASSERT_EQ(kv::test::Run("convert -delay 20 " + Dir + "pic.png " + Dir + "b.png -loop 0 " + Dir + "anim.gif"), 0);
  InstallGifLzwHooks();
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "anim.gif");
    EXPECT_TRUE(dlg.ImagerMView->Visible());
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_TRUE(dlg.Frames()->Playing());
    EXPECT_TRUE(dlg.PlayButton->Down());
    EXPECT_FALSE(dlg.PreviewButton->Enabled());
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_FALSE(dlg.Frames()->Playing());  // stopped when the dialog closed

  GifLzwDecoderHook = nullptr;
  GifLzwEncoderHook = nullptr;
  AnswerFileDialog([&](TFileDialogSession& S) {
    EXPECT_EQ(dlg.Filter().find("gif"), std::string::npos);
    S.SelectFile(Dir + "anim.gif");
    EXPECT_TRUE(dlg.ImagerView->Visible());  // a still image
    EXPECT_FALSE(dlg.ImagerMView->Visible());
    EXPECT_FALSE(dlg.PlayButton->Enabled());
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
}

TEST_F(FileDialogsTest, AviPlaysAtOnceAndAFileWithoutVideoShowsNothing) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  ASSERT_EQ(kv::test::Run("ffmpeg -loglevel error -f lavfi -i testsrc=size=32x24:rate=5 -t 1 -c:v mjpeg " + Dir +
                          "clip.avi"),
            0);
  ASSERT_EQ(kv::test::Run("ffmpeg -loglevel error -f lavfi -i sine=duration=1 " + Dir + "sound.avi"), 0);
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "clip.avi");
    EXPECT_TRUE(dlg.ImagerMView->Visible());
    EXPECT_EQ(dlg.FrameCount(), 5);
    EXPECT_EQ(dlg.PicLabel1->Caption(), "32 x 24 pixel , 5 frames");
    EXPECT_TRUE(dlg.Frames()->Playing());
    S.SelectFile(Dir + "sound.avi");
    EXPECT_FALSE(dlg.Frames()->Playing());
    EXPECT_EQ(dlg.PicLabel1->Caption(), "");
    EXPECT_FALSE(dlg.PreviewButton->Enabled());
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
}

TEST_F(FileDialogsTest, SaveForAMultiFrameLoaderUsesItsFirstFrame) {
  TSaveImagerDialog dlg(nullptr);
  TImagerMView view(nullptr);
  TImagerMIO mio(nullptr);
  mio.SetAttachedMView(&view);
  dlg.SetAttachedImagerIO(&mio);
  ASSERT_EQ(dlg.AttachedImagerIO(), &mio);
  EXPECT_FALSE(dlg.Execute());  // no frames: nothing is shown (an unscripted dialog would abort)

  mio.LoadFile(Dir + "pages.tif");
  ASSERT_EQ(mio.ParamsCount(), 2);
  view.SetSelectedImage(0);
  mio.ImageParams(0)->PngCompression = 5;
  dlg.SetInitialDir(Dir);
  TScriptedDialogsScope dialogs;
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SetFileNameText("frame.png");
    dialogs->AnswerModal([](TCustomForm& F) {
      auto& p = static_cast<TfIOPreviews&>(F);
      EXPECT_EQ(p.ActivePageKind(), ppPNG);
      p.Png.Compression->Select(9);
      p.OKButton->Click();
      return mrNone;
    });
    dlg.AdvancedClick(nullptr);
    EXPECT_EQ(mio.ImageParams(0)->PngCompression, 9);
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(mio.ImageParams(0)->PngCompression, 5);
}

TEST_F(FileDialogsTest, SaveTypeChangeReplacesOnlyTheExtension) {
  TSaveImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  const auto entries = SplitDialogFilter(BuildSaveFilter());
  int32_t png = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].first == "Portable Network Graphics (PNG)") png = static_cast<int32_t>(i) + 1;
  ASSERT_GT(png, 0);
  int32_t typeChanges = 0;
  dlg.OnTypeChange = [&](TObject*) { ++typeChanges; };
  AnswerFileDialog([&](TFileDialogSession& S) {
    EXPECT_TRUE(dlg.AdvancedButton->Visible());
    EXPECT_EQ(dlg.AdvancedButton->Caption(), "Advanced...");
    S.SetFileNameText("my.photo.jpg");
    S.SelectFilter(png);
    EXPECT_EQ(S.FileNameText(), "my.photo.png");
    EXPECT_EQ(dlg.FilterIndex(), png);
    EXPECT_EQ(dlg.CurrentFilter(), "*.png");
    EXPECT_EQ(dlg.GetFileName(), Dir + "my.photo.png");
    S.SetFileNameText("plain");
    EXPECT_TRUE(S.PressOK());
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(typeChanges, 1);
  EXPECT_EQ(dlg.FileName(), Dir + "plain.png");
  EXPECT_EQ(dlg.FilterIndex(), png);
}

TEST_F(FileDialogsTest, CancelAfterAdvancedRestoresTheParameters) {
  TSaveImagerDialog dlg(nullptr);
  TImagerIO io(nullptr);
  TBitmap pic(20, 10, pf24bit);
  io.AttachBitmap(&pic);
  io.Params().JpegQuality = 70;
  TButton notAnIO(nullptr);
  dlg.SetAttachedImagerIO(&notAnIO);
  EXPECT_EQ(dlg.AttachedImagerIO(), nullptr);
  dlg.SetAttachedImagerIO(&io);
  dlg.SetInitialDir(Dir);
  TScriptedDialogsScope dialogs;
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SetFileNameText("out.jpg");
    dialogs->AnswerModal([](TCustomForm& F) {
      auto& p = static_cast<TfIOPreviews&>(F);
      EXPECT_EQ(p.ActivePageKind(), ppJPEG);
      p.Jpeg.Quality->SetText("15");
      p.OKButton->Click();
      return mrNone;
    });
    dlg.AdvancedClick(nullptr);
    EXPECT_EQ(io.Params().JpegQuality, 15);
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(io.Params().JpegQuality, 70);
  SetIOPreviewsDialogMaker(nullptr);
  {
    auto gone = std::make_unique<TImagerIO>(nullptr);
    dlg.SetAttachedImagerIO(gone.get());
  }
  EXPECT_EQ(dlg.AttachedImagerIO(), nullptr);  // forgotten when freed
}

TEST_F(FileDialogsTest, EnlargedPreviewShowsACopyAtThePictureSize) {
  TOpenImagerDialog dlg(nullptr);
  dlg.SetInitialDir(Dir);
  TScriptedDialogsScope dialogs;
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "pic.png");
    dialogs->AnswerModal([&](TCustomForm& F) {
      EXPECT_EQ(F.Name(), "PreviewForm");
      EXPECT_EQ(F.Caption(), Dir + "pic.png: ");
      EXPECT_EQ(F.BorderStyle(), bsSizeToolWin);
      EXPECT_EQ(F.ClientWidth(), 100);  // at most 100 wide gives 100
      EXPECT_EQ(F.ClientHeight(), 100);
      TImagerView* view = nullptr;
      for (int32_t i = 0; i < F.ControlCount(); ++i)
        if (auto* v = dynamic_cast<TImagerView*>(F.Controls(i))) view = v;
      EXPECT_NE(view, nullptr);
      if (view) {
        EXPECT_EQ(view->Bitmap().Width(), 40);
      }
      return mrCancel;
    });
    dlg.PreviewButton->Click();
    EXPECT_EQ(dialogs->Pending(), 0u);
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
}

TEST_F(FileDialogsTest, SaveWithoutPreviewOrExtendedLines) {
  TSaveImagerDialog dlg(nullptr);
  dlg.SetExOptions(TIMSaveDlgOpt{sdShowAdvanced});
  dlg.SetExtendedDialog(false);
  dlg.SetInitialDir(Dir + "/");
  EXPECT_EQ(dlg.InitialDir(), Dir);  // one delimiter dropped
  dlg.SetInitialDir("C:\\");
  EXPECT_EQ(dlg.InitialDir(), "C:\\");  // kept after a drive colon
  dlg.SetInitialDir(Dir);
  AnswerFileDialog([&](TFileDialogSession& S) {
    EXPECT_EQ(dlg.Template(), "IDD_IMTEMPLATE1");
    EXPECT_EQ(S.SideArea(), nullptr);
    EXPECT_TRUE(dlg.AdvancedButton->Visible());
    EXPECT_FALSE(dlg.PreviewCheck->Visible());
    EXPECT_EQ(dlg.InfoPanel->Parent(), nullptr);
    EXPECT_FALSE(dlg.ZoomCombo->Visible());
    S.SelectFile(Dir + "pic.png");
    EXPECT_EQ(dlg.PicLabel1->Caption(), "");  // no preview, no lines
    S.PressCancel();
  });
  EXPECT_FALSE(dlg.Execute());
}

}  // namespace
}  // namespace kv
