// Image sources: the listing of folder and catalog sources (subfolders,
// links back up the tree, file kinds by extension, sort keys), the source
// text written by the frame and read back, the run of a per-image action
// over every kind of source, the options dialog and the SCANOPTIONS line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <set>

#include "app/catalog/catalog_sort.h"
#include "app/catalog/image_source.h"
#include "app/catalog/image_source_frame.h"
#include "app/catalog/image_source_options.h"
#include "app/catalog/sort_frame.h"
#include "app/filters/filter_catalogue.h"
#include "app/helpers/my_combo_box.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "app/dialogs/size_frames.h"
#include "components/controls/file_dir_edit.h"
#include "platform/rtl/string_list.h"
#include "platform/system/registry.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/panel.h"
#include "platform/ui/std_controls.h"
#include "support/outside_tools.h"
#include "support/sane_test_env.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

class ImageSource : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    UseSaneBackends("");  // no scanner, and none probed
  }
  // src/: pictures of several kinds, names that only look like pictures, a
  // hidden folder, a subfolder between the files and a link back to src.
  void MakeFolder() {
    fs::create_directories(Dir + "src/sub");
    fs::create_directories(Dir + "src/.hidden");
    for (const char* name : {"a.png", "b.JPG", "e.gif", "z.tif", "sub/f.bmp", ".hidden/g.png"})
      SaveToolPicture(Dir + "src/" + name, *Make24(4 + int32_t(std::string(name).size()), 3, Pattern));
    for (const char* name : {"c.jp", "d.jpg.txt", "notes.txt", "jpg"}) WriteText(Dir + "src/" + name, "x");
    fs::create_directory_symlink(Dir + "src", Dir + "src/sub/loop");
  }
  std::vector<std::string> List(const std::string& Text) {
    std::vector<std::string> names;
    for (const std::string& f : ListImageSource(Text)) names.push_back(fs::path(f).lexically_relative(Dir + "src").string());
    return names;
  }
  static std::string Folder(const std::string& Dir, const std::string& More = "") {
    return " SourceMode=1 Dir=\"" + Dir + "\"" + More;
  }
};

using Names = std::vector<std::string>;

TEST_F(ImageSource, FolderListingFollowsSubfoldersKindsAndSortKeys) {
  MakeFolder();
  const std::string src = Dir + "src";
  const struct {
    std::string Text;
    Names Expected;
  } cases[] = {
      // Kinds by their whole extension, in any case; the name order of the folder.
      {Folder(src), {"a.png", "b.JPG", "e.gif", "z.tif"}},
      // A subfolder's pictures come where it is met; hidden folders and the link back are not walked again.
      {Folder(src, " Subdirs=1"), {"a.png", "b.JPG", "e.gif", "sub/f.bmp", "z.tif"}},
      {Folder(src + "/", " Subdirs=1 Filetypes=1"), {"b.JPG"}},
      {Folder(src, " Filetypes=0"), {}},
      {Folder(src, " Filetypes=17"), {"b.JPG", "e.gif"}},
      // A damaged kind set reads as the default one.
      {Folder(src, " Filetypes=viele"), {"a.png", "b.JPG", "e.gif", "z.tif"}},
      // Relative folders are taken from the program folder.
      {" SourceMode=1 Dir=\"src\"", {"a.png", "b.JPG", "e.gif", "z.tif"}},
      {Folder(src, " Sort1=3 Sort1descanding=1"), {"z.tif", "e.gif", "b.JPG", "a.png"}},
      {Folder(src, " Sort1=99 Sort1descanding=1"), {"a.png", "b.JPG", "e.gif", "z.tif"}},
      // No kind, another kind or a damaged kind lists nothing.
      {" Dir=\"" + src + "\"", {}},
      {" SourceMode=2 Dir=\"" + src + "\"", {}},
      {" SourceMode=eins Dir=\"" + src + "\"", {}},
      {" SourceMode=1 Dir=\"" + Dir + "missing\"", {}},
      {" SourceMode=1", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(List(c.Text), c.Expected) << c.Text;
}

TEST_F(ImageSource, CatalogSourceKeepsItsOrderFiltersAndFailsWhenMissing) {
  MakeFolder();
  const std::string src = Dir + "src/";
  WriteText(Dir + "list.pcf", src + "z.tif\r\n" + src + "c.jp\r\n" + src + "a.png\r\n\r\n" + src + "sub/f.bmp\r\n");
  EXPECT_EQ(List(" SourceMode=0 catalog=\"" + Dir + "list.pcf\""), (Names{"z.tif", "a.png", "sub/f.bmp"}));
  EXPECT_EQ(List(" SourceMode=0 catalog=\"list.pcf\" Sort1=3"), (Names{"a.png", "sub/f.bmp", "z.tif"}));
  EXPECT_EQ(List(" SourceMode=0 catalog=\"list.pcf\" Filetypes=4"), (Names{"sub/f.bmp"}));
  EXPECT_ANY_THROW(ListImageSource(" SourceMode=0 catalog=\"" + Dir + "none.pcf\""));
}

TEST(ImageSourceKinds, ExtensionDecidesNotSubstring) {
  const tFileFormatset all = FiletypesToKinds(kDefaultImageSourceFiletypes);
  for (const char* yes : {"x.jpg", "x.JPEG", "x.jpe", "dir.png/x.tiff", "x.Cur", "x.targa"})
    EXPECT_TRUE(ImageSourceAccepts(yes, all)) << yes;
  for (const char* no : {"x.jp", "x.j", "x.jpg.txt", "jpg", "x.", "x.pcf", "x.avi", "x.pn"})
    EXPECT_FALSE(ImageSourceAccepts(no, all)) << no;
  EXPECT_TRUE(ImageSourceAccepts("a.pcf", FiletypesToKinds(1 << 11)));
}

TEST_F(ImageSource, ComboAndSortFrameKeepTheirChoice) {
  mycombobox filled(nullptr, {"eins", "zwei"});
  EXPECT_EQ(filled.ItemIndex(), 0);
  mycombobox empty(nullptr);
  empty.Loaded();
  EXPECT_EQ(empty.ItemIndex(), -1);

  Tsortframe frame(nullptr);
  int changes = 0;
  frame.OnChange = [&](TObject*) { ++changes; };
  frame.mycombobox1->Select(3);
  frame.CheckBox1->SetChecked(true);
  EXPECT_EQ(changes, 2);
  std::string text;
  frame.setsort(text);
  EXPECT_EQ(text, " Sort1=3 Sort2=0 Sort2descanding=0 Sort1descanding=1");
  Tsortframe back(nullptr);
  back.getsort(" sort2=5 SORT2DESCANDING=1 Sort1=77");
  const TCatalogSort s = back.Sort();
  EXPECT_EQ(s.Sort1, 0);
  EXPECT_EQ(s.Sort2, 5);
  EXPECT_TRUE(s.Sort2Descending);
  EXPECT_FALSE(s.Sort1Descending);
}

TEST_F(ImageSource, FrameTextReadsBackAndDamagedTextsGiveDefaults) {
  TimageSourceframe frame(Form.get());
  EXPECT_EQ(frame.SourceMode(), ismFolder);
  EXPECT_TRUE(frame.CheckBox1->Visible());
  EXPECT_EQ(ReadImageSourceParams(frame.GetParams()).Sort.Sort1, skFileNumber);

  frame.DirectoryEdit1->SetText(Dir + "mit Leer zeichen");
  frame.CheckBox6->SetChecked(true);
  frame.options->SetText(" Sort1=3 Sort2=5 Sort2descanding=1 Sort1descanding=0 Filetypes=33");
  const std::string folderText = frame.GetParams();
  EXPECT_EQ(folderText, " SourceMode=1 Dir=\"" + Dir + "mit Leer zeichen\" Subdirs=1 seperate=0  Sort1=3 Sort2=5 "
                        "Sort2descanding=1 Sort1descanding=0 Filetypes=33");
  TimageSourceframe copy(nullptr);
  copy.SetParams(folderText);
  EXPECT_EQ(copy.GetParams(), folderText);

  frame.mycombobox1->Select(ismCatalog);
  frame.FilenameEdit1->SetText(Dir + "k.pcf");
  const TImageSourceParams p = ReadImageSourceParams(frame.GetParams());
  EXPECT_EQ(p.SourceMode, ismCatalog);
  EXPECT_EQ(p.Catalog, Dir + "k.pcf");
  EXPECT_TRUE(p.Dir.empty());
  EXPECT_EQ(p.Filetypes, 33);

  const TImageSourceParams bad = ReadImageSourceParams(" SourceMode=x Subdirs=vielleicht Sort1=-4 Filetypes=");
  EXPECT_EQ(bad.SourceMode, ismNone);
  EXPECT_FALSE(bad.Subdirs);
  EXPECT_EQ(bad.Sort.Sort1, skNone);
  EXPECT_EQ(bad.Filetypes, kDefaultImageSourceFiletypes);

  // Tools that take files offer two kinds and no separation.
  frame.SetKindCount(2);
  EXPECT_EQ(frame.mycombobox1->Count(), 2);
  EXPECT_FALSE(frame.CheckBox1->Visible());
  EXPECT_EQ(frame.SourceMode(), ismCatalog);
}

TEST_F(ImageSource, GetImagesRunsOncePerPictureOfEverySourceKind) {
  MakeFolder();
  WriteText(Dir + "src/broken.png", "not a picture");
  TimageSourceframe frame(Form.get());
  frame.SetParams(Folder(Dir + "src", " Subdirs=1 Sort1=3"));
  std::vector<std::string> seen;
  std::set<Tchild*> windows;
  const TImageSourceAction action = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &frame);
    ASSERT_NE(Form->getchild(), nullptr);
    windows.insert(Form->getchild());
    seen.push_back(fs::path(Form->getchild()->Caption()).filename().string());
  };
  Form->OverrideChild = nullptr;
  frame.getimages(action, *Form);
  Pump();
  // The broken file is reported and skipped: no action on another picture.
  EXPECT_EQ(seen, (Names{"a.png", "b.JPG", "e.gif", "f.bmp", "z.tif"}));
  EXPECT_EQ(windows.size(), 5u);
  EXPECT_TRUE(ShownText("Kann Datei " + Dir + "src/broken.png nicht laden.") || ShownWithReason("Kann Datei " + Dir + "src/broken.png nicht laden."));

  // Every open image window once.
  seen.clear();
  windows.clear();
  frame.mycombobox1->Select(ismOpenWindows);
  frame.getimages(action, *Form);
  EXPECT_EQ(windows.size(), 5u);
  EXPECT_EQ(seen.size(), 5u);

  // No scanner: the first scan fails and the loop ends at once.
  seen.clear();
  frame.mycombobox1->Select(ismScanner);
  frame.getimages(action, *Form);
  EXPECT_TRUE(seen.empty());
}

TEST_F(ImageSource, SeparatedSheetsRunTheActionOncePerPicture) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kFilterSettingsKey, true));
    r.WriteString("Seperate", "EFFECT Name=Seperate Param1=20 Param2=0.5 Param3=0");
  }
  fs::create_directories(Dir + "sheets");
  // Two pictures on the scanner's black background.
  SaveToolPicture(Dir + "sheets/sheet.png", *Make24(300, 200, [](int32_t x, int32_t y) {
    if (x >= 20 && x < 120 && y >= 30 && y < 150) return TBGRPixel{40, 60, 220};
    if (x >= 170 && x < 280 && y >= 40 && y < 160) return TBGRPixel{220, 90, 30};
    return TBGRPixel{0, 0, 0};
  }));
  TimageSourceframe frame(Form.get());
  frame.SetParams(Folder(Dir + "sheets", " seperate=1"));
  ASSERT_TRUE(frame.CheckBox1->Checked());
  std::vector<TSize> pieces;
  Form->OverrideChild = nullptr;
  frame.getimages([&](TObject*) {
    const TBitmap& b = Form->getimager()->Bitmap();
    pieces.push_back(TSize{b.Width(), b.Height()});
  }, *Form);
  ASSERT_EQ(pieces.size(), 2u);
  for (const TSize& p : pieces) EXPECT_LT(p.cx, 200) << p.cx << " x " << p.cy;
  // The sheet's window is closed; the pieces stay.
  EXPECT_EQ(Windows(), 2);
}

TEST_F(ImageSource, OptionsDialogEditsSortAndKinds) {
  Timagesourceopform dlg(nullptr, 1, " Sort1=4 Sort2descanding=1 Filetypes=5");
  EXPECT_TRUE(dlg.Panel1->Visible());
  EXPECT_FALSE(dlg.Panel2->Visible());
  EXPECT_EQ(dlg.FileKinds->Items().Count(), 19);
  EXPECT_TRUE(dlg.FileKinds->Checked(0));
  EXPECT_FALSE(dlg.FileKinds->Checked(1));
  EXPECT_TRUE(dlg.FileKinds->Checked(2));
  dlg.FileKinds->SetChecked(11, true);
  EXPECT_EQ(dlg.GetParams(), " Sort1=4 Sort2=0 Sort2descanding=1 Sort1descanding=0 Filetypes=2053");
  // Without a kind set the default kinds are ticked.
  Timagesourceopform fresh(nullptr, 0, "");
  EXPECT_EQ(fresh.Filetypes(), kDefaultImageSourceFiletypes);
}

TEST_F(ImageSource, ScannerOptionsReadBackAndStoreThroughTheLine) {
  const std::string manual =
      " NoDialog=1 pixeltype=1 dpix=300.00000000 dpiy=150.00000000 offsetx=10.00000000 offsety=20.00000000 "
      "sizex=600.00000000 sizey=450.00000000";
  Timagesourceopform dlg(nullptr, 3, manual);
  EXPECT_FALSE(dlg.Panel1->Visible());
  EXPECT_TRUE(dlg.Panel2->Visible());
  EXPECT_TRUE(dlg.GroupBox1->Visible());
  EXPECT_EQ(dlg.GetParams(), manual);
  dlg.CheckBox1->SetChecked(false);
  EXPECT_EQ(dlg.GetParams(), "");
  dlg.MaxSize();
  EXPECT_EQ(dlg.offsetxframe->Value(), 0);

  // OK stores the dialog's text; the scan button's caption says what comes next.
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& d = dynamic_cast<Timagesourceopform&>(F);
    EXPECT_EQ(d.OkButton->Caption(), "Scan");
    d.CheckBox1->SetChecked(true);
    d.PixelTypeBox->SetItemIndex(0);
    d.sizexframe->SetValue(100);
    return mrOk;
  });
  EXPECT_TRUE(RunLine("SCANOPTIONS ScanButton=1"));
  const std::string stored = Form->StoredString("Scanoptions");
  EXPECT_TRUE(ReadParamBool(stored, "NoDialog", false)) << stored;
  EXPECT_EQ(ReadParamInt(stored, "pixeltype", -1), 0);
  EXPECT_EQ(ReadParamFloat(stored, "sizex", 0), 100);
  // Cancel keeps the stored text and the line's result is false.
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    EXPECT_EQ(dynamic_cast<Timagesourceopform&>(F).OkButton->Caption(), "&Ok");
    return mrCancel;
  });
  EXPECT_FALSE(RunLine("SCANOPTIONS"));
  EXPECT_EQ(Form->StoredString("Scanoptions"), stored);
}

TEST_F(ImageSource, BatchCopiesTheChosenKindsOfACatalogSource) {
#ifdef KV_PROGRAM_DIR
  MakeFolder();
  const std::string src = Dir + "src/";
  WriteText(Dir + "list.pcf", src + "z.tif\r\n" + src + "a.png\r\n" + src + "sub/f.bmp\r\n" + src + ".hidden/g.png\r\n");
  WriteText(Dir + "job.atp", "CopyNumber TargetDir=\"" + Dir + "out\" FileMode=0 Comments=0 SourceMode=0 catalog=\"" + Dir +
                                 "list.pcf\" Filetypes=2 Sort1=3 OpenTarget=0\r\nQUIT\r\n");
  const TToolRun run = RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                               Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir + " timeout 300 " + KV_PROGRAM_DIR +
                               "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  std::set<std::string> copied;
  for (const auto& e : fs::directory_iterator(Dir + "out")) copied.insert(e.path().filename().string());
  // Only the two PNG files of the catalog, the hidden folder's one included: a catalog names its files.
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(ReadBytes(Dir + "out/" + *copied.begin()), ReadBytes(src + "a.png"));
  for (const std::string& name : copied) EXPECT_EQ(fs::path(name).extension(), ".png");
#else
  GTEST_SKIP() << "the program is not built";
#endif
}

}  // namespace
}  // namespace kv
