// The plug-in binding: harlok.so and the test plug-ins built beside the plug-in
// host's tests, scanned into the menu and the registry cache, run on an image
// window by RUNPLUGIN and LASTFILTER, and the colour callbacks.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/child/child_window.h"
#include "app/filters/filter_catalogue.h"
#include "app/filters/plugin_binding.h"
#include "app/filters/plugin_binding_colour.h"
#include "app/helpers/registry_helpers.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "imaging/model/mask.h"
#include "imaging/processing/colour_convert.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"
#include "platform/system/registry.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/actions.h"
#include "platform/ui/application.h"
#include "platform/ui/color_dialog.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class PluginBinding : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    SetRegistryFolder(Dir + "reg");
    SetProgramFolder(Dir + "prog/");
    fs::create_directories(Dir + "prog/Plugins");
    ASSERT_TRUE(LoadPluginHost(KV_HARLOK_DIR));
  }
  void TearDown() override {
    UnloadPluginHost();
    SetProgramFolder("");
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }

  // Copies a test plug-in to Folder (made when missing) under Name; returns the new path.
  std::string Install(const std::string& Plugin, const std::string& Folder, std::string Name = "") {
    fs::create_directories(Folder);
    if (Name.empty()) Name = Plugin + ".8bf";
    const std::string to = Folder + "/" + Name;
    fs::copy_file(std::string(KV_TEST_PLUGIN_DIR) + "/" + Plugin + ".8bf", to, fs::copy_options::overwrite_existing);
    return to;
  }

  // "Caption[tag]: entry, entry" per submenu, and the entries' paths in order.
  static std::vector<std::string> Layout(const TMenuItem& Menu) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < Menu.Count(); ++i) {
      const TMenuItem* sub = Menu.Items(i);
      std::string line = sub->Caption() + "[" + std::to_string(sub->Tag()) + "]:";
      for (int32_t j = 0; j < sub->Count(); ++j) line += " " + sub->Items(j)->Caption();
      out.push_back(line);
    }
    return out;
  }

  static std::string Cached(const std::string& Plugin, const std::string& Value) {
    TRegistry reg;
    if (!reg.OpenKey(PluginCacheKeyOf(Plugin), false)) return "<none>";
    return Value == "time" ? std::to_string(reg.ReadFloat("time")) : reg.ReadString(Value);
  }
};

TEST_F(PluginBinding, ScanSortsPluginsIntoCategoriesAndCachesThem) {
  const std::string plugins = Dir + "prog/Plugins";
  const std::string invert = Install("invert", plugins);
  const std::string tiles = Install("tiles", plugins + "/more/deeper");
  Install("probe", plugins + "/.hidden");  // folders starting with "." are not entered
  fs::create_directory_symlink(plugins, plugins + "/more/loop");  // a link back up ends the walk
  const std::string gradient = Install("generator", Dir + "extra", "generator.8BF");
  test::WriteText(plugins + "/readme.txt", "not a plug-in");
  const std::string broken = plugins + "/broken.8bf";
  test::WriteText(broken, "not a library");
  // Extra folders: blanks around a name are trimmed, empty entries skipped.
  TStringList extra;
  extra.Add("  " + Dir + "extra  ");
  extra.Add("   ");
  WriteRegistryList(extra, AddPlugKey);

  TMainMenu owner(nullptr);
  TMenuItem& menu = *owner.Items();
  auto* fixed = new TMenuItem(nullptr);  // an entry of the menu's own, passed over when sorting in
  fixed->SetCaption("Zubehör");
  fixed->SetTag(1);
  menu.Add(fixed);
  std::vector<TObject*> clicked;
  BuildPluginMenu(menu, [&](TObject* Sender) { clicked.push_back(Sender); });

  ASSERT_EQ(menu.Count(), 3);
  EXPECT_EQ(Layout(menu)[0], "Zubehör[1]:");
  EXPECT_EQ(Layout(menu)[1], "Kavrelin Tests[10]: Gradient Invert Tiles");
  ASSERT_EQ(menu.Items(2)->Caption(), "Konnte nicht laden");
  ASSERT_EQ(menu.Items(2)->Count(), 1);
  const std::string failed = menu.Items(2)->Items(0)->Caption();
  EXPECT_GT(failed.size(), std::string(":broken").size());
  EXPECT_EQ(failed.substr(failed.size() - 7), ":broken") << failed;

  const TMenuItem* tests = menu.Items(1);
  const std::vector<std::string> paths{gradient, invert, tiles};
  for (int32_t i = 0; i < 3; ++i) {
    auto* entry = dynamic_cast<tmymenuitem*>(tests->Items(i));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Text, paths[size_t(i)]);
    EXPECT_EQ(entry->Hint(), paths[size_t(i)]);
    entry->Click();
    ASSERT_EQ(clicked.size(), size_t(i) + 1);
    EXPECT_EQ(clicked.back(), entry);
  }

  EXPECT_EQ(Cached(invert, "Name"), "Invert");
  EXPECT_EQ(Cached(invert, "Category"), "Kavrelin Tests");
  EXPECT_EQ(Cached(tiles, "Name"), "Tiles");
  EXPECT_EQ(Cached(gradient, "Name"), "Gradient");
  EXPECT_EQ(Cached(gradient, "time"), std::to_string(FileAge(gradient)));
  EXPECT_EQ(Cached(broken, "Name"), "<none>");  // described again at the next start
  // The file's folders are sub-keys of the cache.
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists(PluginCacheKeyOf(plugins + "/more")));
}

TEST_F(PluginBinding, RescanTakesNamesFromTheCacheUntilTheFileChanges) {
  const std::string plugins = Dir + "prog/Plugins";
  const std::string invert = Install("invert", plugins);
  const std::string tiles = Install("tiles", plugins + "/other");
  auto scan = [&](int32_t& Described) {
    TMainMenu owner(nullptr);
    TPluginScanner scanner(PluginHostEntry(), *owner.Items(), {});
    scanner.ScanPluginFolder(plugins + "/", "");
    Described = scanner.Described();
    return Layout(*owner.Items());
  };
  int32_t described = 0;
  scan(described);
  EXPECT_EQ(described, 2);

  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(PluginCacheKeyOf(invert), false));
    reg.WriteString("Name", "Aus dem Cache");
    reg.WriteString("Category", "Gespeichert");
  }
  EXPECT_EQ(scan(described), (std::vector<std::string>{"Gespeichert[10]: Aus dem Cache", "Kavrelin Tests[10]: Tiles"}));
  EXPECT_EQ(described, 0);

  // A newer file is described again and its cache entry renewed.
  fs::last_write_time(invert, fs::last_write_time(invert) + std::chrono::seconds(5));
  EXPECT_EQ(scan(described), (std::vector<std::string>{"Kavrelin Tests[10]: Invert Tiles"}));
  EXPECT_EQ(described, 1);
  EXPECT_EQ(Cached(invert, "Name"), "Invert");
  EXPECT_EQ(Cached(invert, "time"), std::to_string(FileAge(invert)));

  // An entry missing its category counts as unknown.
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(PluginCacheKeyOf(tiles), false));
    reg.WriteString("Category", "");
  }
  scan(described);
  EXPECT_EQ(described, 1);
  EXPECT_EQ(Cached(tiles, "Category"), "Kavrelin Tests");
}

// An image window with a picture, the target of the command lines.
class PluginCommands : public PluginBinding {
 protected:
  void SetUp() override {
    PluginBinding::SetUp();
    EnsureQtApplication();
    Dialogs->OnUnexpected = [](const std::string&) {};  // the failure message is answered by closing it
    Form = std::make_unique<Tform1>(nullptr);
    Child = new Tchild(Form.get());
    if (!Child->imager1) Child->imager1 = new timagerlayer(Child);
    Form->OverrideChild = Child;
    if (!LastFilter()) {
      auto* a = new TAction(Form.get());
      a->SetName("lastfilter");
    }
    LastFilter()->SetEnabled(false);
    test::Paint24(Image(), 9, 7, [](int32_t x, int32_t y) { return CreateRGB(uint8_t(x * 20), uint8_t(y * 30), 77); });
    Child->imager1->Update();  // the view takes the new picture's size
    Original.Assign(&Image());
  }
  void TearDown() override {
    Form.reset();
    PluginBinding::TearDown();
  }

  TBitmap& Image() { return Child->imager1->Bitmap(); }
  TCustomAction* LastFilter() {
    TComponent* c = Form->FindComponent("lastfilter");
    if (!c && Form->ActionList1) c = Form->ActionList1->FindComponent("lastfilter");
    return dynamic_cast<TCustomAction*>(c);
  }
  std::string RunLine() { return "RunPlugin FileName=\"" + std::string(KV_TEST_PLUGIN_DIR) + "/invert.8bf\""; }
  TBGRPixel At(const TBitmap& B, int32_t x, int32_t y) { return static_cast<const TBGRPixel*>(B.ScanLine(y))[x]; }
  static TBGRPixel Inverted(TBGRPixel P) { return TBGRPixel{uint8_t(255 - P.b), uint8_t(255 - P.g), uint8_t(255 - P.r)}; }
  // Checks every pixel: inverted where Inside says so, as it was elsewhere.
  void ExpectInvertedWhere(const std::function<bool(int32_t, int32_t)>& Inside) {
    for (int32_t y = 0; y < Original.Height(); ++y)
      for (int32_t x = 0; x < Original.Width(); ++x) {
        const TBGRPixel want = Inside(x, y) ? Inverted(At(Original, x, y)) : At(Original, x, y);
        ASSERT_EQ(At(Image(), x, y), want) << x << "," << y;
      }
  }

  TScriptedDialogsScope Dialogs;
  std::unique_ptr<Tform1> Form;
  Tchild* Child = nullptr;
  TBitmap Original;
};

TEST_F(PluginCommands, RunPluginFiltersTheImageAndLastFilterRepeatsIt) {
  EXPECT_TRUE(Form->interpreter(Form.get(), RunLine()));
  ExpectInvertedWhere([](int32_t, int32_t) { return true; });
  EXPECT_TRUE(LastFilter()->Enabled());
  EXPECT_TRUE(Form->interpreter(Form.get(), "LastFilter"));
  ExpectInvertedWhere([](int32_t, int32_t) { return false; });
  EXPECT_TRUE(LastFilter()->Enabled());
  // Each run left an undo point behind it.
  Child->imager1->SetUndoLimit(10);
  ASSERT_TRUE(Form->interpreter(Form.get(), "LastFilter"));
  ASSERT_TRUE(Form->interpreter(Form.get(), "LastFilter"));
  Child->imager1->Undo();
  ExpectInvertedWhere([](int32_t, int32_t) { return true; });
}

TEST_F(PluginCommands, TheMenuEntryRunsItsPlugin) {
  Install("invert", Dir + "prog/Plugins");
  TMainMenu owner(nullptr);
  Form->PluginFilter1 = owner.Items();
  // As the main window's handler does: the entry's file in a command line.
  FillPluginMenu(*Form, [this](TObject* Sender) {
    Form->interpreter(Sender, "RunPlugin Filename=\"" + static_cast<tmymenuitem*>(Sender)->Hint() + "\"");
  });
  Form->PluginFilter1 = nullptr;
  ASSERT_EQ(owner.Items()->Count(), 1);
  owner.Items()->Items(0)->Items(0)->Click();
  ExpectInvertedWhere([](int32_t, int32_t) { return true; });
}

TEST_F(PluginCommands, OnlyTheSelectionIsFiltered) {
  timagerlayer& imager = *Child->imager1;
  imager.SetSelectionBase(imsbBitmap);
  // A triangle: pixels of its bounding box outside it keep their colours.
  imager.AddSelPoint(0, 0);
  imager.AddSelPoint(8, 0);
  imager.AddSelPoint(0, 6);
  ASSERT_TRUE(imager.SelectionExists());
  TIMMask mask;
  mask.Assign(imager.SelectionMask());
  ASSERT_TRUE(Form->interpreter(Form.get(), RunLine()));
  ExpectInvertedWhere([&](int32_t x, int32_t y) { return mask.IsPointInside(x, y); });
  int32_t inside = 0;
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x) inside += mask.IsPointInside(x, y);
  EXPECT_GT(inside, 5);
  EXPECT_LT(inside, 9 * 6);

  // A rectangle: the library filters just its area.
  imager.DeSelect();
  Original.Assign(&Image());
  imager.AddSelPoint(2, 1);
  imager.AddSelPoint(6, 1);
  imager.AddSelPoint(6, 4);
  imager.AddSelPoint(2, 4);
  ASSERT_TRUE(Form->interpreter(Form.get(), RunLine()));
  ExpectInvertedWhere([](int32_t x, int32_t y) { return x >= 2 && x < 6 && y >= 1 && y < 4; });
}

TEST_F(PluginCommands, FailuresLeaveTheImageAndDisableTheRepeat) {
  struct TCase {
    std::string Line;
    const char* FailMode;  // how the failing test plug-in fails
    bool Raises;
  };
  const std::string fail = "RunPlugin FileName=\"" + std::string(KV_TEST_PLUGIN_DIR) + "/fail.8bf\"";
  test::WriteText(Dir + "broken.8bf", "not a library");
  const std::vector<TCase> cases{
      // A describe call drops the plug-in a run left behind: nothing to repeat.
      {"LastFilter", "", true},
      {"RunPlugin FileName=\"" + Dir + "broken.8bf\"", "", true},
      {"RunPlugin FileName=\"" + Dir + "missing.8bf\"", "", true},
      // The plug-in's own failures it has shown the user; the command ends normally.
      {fail, "params", false},
      {fail, "prepare", false},
  };
  for (const TCase& c : cases) {
    setenv("KV_FAIL_MODE", c.FailMode, 1);
    LastFilter()->SetEnabled(true);
    TMainMenu owner(nullptr);
    TPluginScanner(PluginHostEntry(), *owner.Items(), {}).ScanPluginFolder(Dir, "");
    Dialogs->Shown.clear();
    if (c.Raises) EXPECT_THROW(Form->interpreter(Form.get(), c.Line), ECommandError) << c.Line;
    else EXPECT_NO_THROW(Form->interpreter(Form.get(), c.Line)) << c.Line;
    // A failure is reported once, with the line.
    ASSERT_EQ(Dialogs->Shown.size(), c.Raises ? 1u : 0u) << c.Line;
    if (c.Raises) {
      EXPECT_EQ(Dialogs->Shown[0].Text, CommandFailedMessage(c.Line));
    }
    EXPECT_FALSE(LastFilter()->Enabled()) << c.Line;
    ExpectInvertedWhere([](int32_t, int32_t) { return false; });
  }
  unsetenv("KV_FAIL_MODE");
}

TEST_F(PluginCommands, WithoutTheHostLibraryTheMenuStaysEmptyAndRunsFail) {
  Install("invert", Dir + "prog/Plugins");
  ASSERT_FALSE(LoadPluginHost(Dir + "prog/"));  // no harlok.so beside the program
  TMainMenu owner(nullptr);
  BuildPluginMenu(*owner.Items(), {});
  EXPECT_EQ(owner.Items()->Count(), 0);
  EXPECT_THROW(Form->interpreter(Form.get(), RunLine()), ECommandError);
  EXPECT_THROW(Form->interpreter(Form.get(), "LastFilter"), ECommandError);
  EXPECT_TRUE(Child->modified);  // the undo point comes first
  ASSERT_EQ(Dialogs->Shown.size(), 2u);
  EXPECT_EQ(Dialogs->Shown[1].Text, CommandFailedMessage("LastFilter"));
  ExpectInvertedWhere([](int32_t, int32_t) { return false; });
}

TEST(PluginConvertColor, ConvertsBetweenPluginColourSpaces) {
  struct TCase {
    int32_t From, To;
    std::array<uint16_t, 4> In, Out;
  };
  const TCase cases[] = {
      {0, 0, {100, 50, 50, 0}, {100, 50, 50, 0}},
      {0, 0, {300, 50, 50, 9}, {255, 50, 50, 9}},       // RGB is limited to 0..255 on the way
      {0, 3, {255, 255, 255, 7}, {255, 128, 128, 7}},   // white: L 100, a = b = 0
      {3, 0, {255, 128, 128, 0}, {255, 255, 255, 0}},
      {0, 3, {0, 0, 0, 0}, {0, 128, 128, 0}},
      {0, 2, {255, 0, 0, 0}, {255, 0, 0, 255}},         // CMYK components count ink left out
      {2, 0, {255, 0, 0, 255}, {255, 0, 0, 255}},
      {2, 0, {255, 255, 255, 0}, {0, 0, 0, 0}},         // full black
      {0, 1, {255, 0, 0, 0}, {0, 255, 255, 0}},         // HSB: hue 0, full saturation and brightness
      {1, 0, {0, 255, 255, 0}, {255, 0, 0, 0}},
      {0, 5, {255, 255, 255, 0}, {0, 0, 255, 0}},       // HSL white: lightness 1
      {0, 4, {90, 60, 30, 5}, {60, 0, 0, 5}},           // gray: each channel div 3, summed
      {4, 0, {60, 0, 0, 0}, {60, 60, 60, 0}},
      {0, 6, {255, 255, 255, 0}, {242, 255, 278, 0}},   // XYZ of the reference white
      {9, 9, {100, 50, 50, 1}, {100, 50, 50, 1}},       // an unknown id counts as RGB
  };
  for (const TCase& c : cases) {
    std::array<uint16_t, 4> v = c.In;
    PluginConvertColor(v.data(), c.From, c.To);
    EXPECT_EQ(v, c.Out) << c.From << "->" << c.To << " " << c.In[0] << "," << c.In[1] << "," << c.In[2];
  }
  PluginConvertColor(nullptr, 0, 3);  // no components: nothing happens
}

TEST(PluginPickColor, ShowsTheColourDialogOnTheComponents) {
  EnsureQtApplication();
  struct TCase {
    std::vector<uint8_t> Prompt;  // counted text; empty: none given
    bool Ok;
    std::string Title;
    std::array<uint16_t, 4> Out;
  };
  const TCase cases[] = {
      {{}, true, "Farbauswahl", {200, 100, 50, 0x1234}},
      {{5, 'P', 'i', 'c', 'k', '!', 'x', 'y'}, true, "Pick!", {200, 100, 50, 0x1234}},
      {{3, 'G', 'r', 0xFC}, false, "Gr\xC3\xBC", {0x10A, 20, 30, 0x1234}},  // Latin-1 text
  };
  for (const TCase& c : cases) {
    TColor shown = clNone;
    AnswerColorDialog([&](TColor& Color) {
      shown = Color;
      Color = static_cast<TColor>(RGB(200, 100, 50));
      return c.Ok;
    });
    std::array<uint16_t, 4> v{0x10A, 20, 30, 0x1234};
    PluginPickColor(v.data(), c.Prompt.empty() ? nullptr : c.Prompt.data());
    EXPECT_EQ(PendingColorAnswers(), 0);
    EXPECT_EQ(ColorToRGB(shown), RGB(10, 20, 30));  // the low bytes
    EXPECT_EQ(LastColorDialogTitle(), c.Title);
    EXPECT_EQ(v, c.Out);
  }
}

}  // namespace
}  // namespace kv
