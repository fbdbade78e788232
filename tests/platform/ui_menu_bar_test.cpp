// The menu bar of a form, dropped files and the key state seen during long work.
#include "platform/ui/drop_files.h"
#include "platform/ui/menus.h"
#include "ui_test_support.h"

namespace kv {
namespace {

struct MenuBarFixture : ::testing::Test {
  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 400, 300);
    Menu = new TMainMenu(Form);
    File = new TMenuItem(Form);
    File->SetCaption("&Datei");
    Menu->Items()->Add(File);
    Open = new TMenuItem(Form);
    Open->SetCaption("Öffnen");
    Open->OnClick = [this](TObject*) { ++Clicks; };
    File->Add(Open);
    Line = new TMenuItem(Form);
    Line->SetCaption("-");
    File->Add(Line);
  }
  void TearDown() override { delete Form; }
  TMenuBarEntry Entry(const TMenuItem* Item) {
    TMenuBarEntry e;
    EXPECT_TRUE(Menu->MenuBarEntry(Item, e));
    return e;
  }
  TForm* Form = nullptr;
  TMainMenu* Menu = nullptr;
  TMenuItem* File = nullptr;
  TMenuItem* Open = nullptr;
  TMenuItem* Line = nullptr;
  int Clicks = 0;
};

TEST_F(MenuBarFixture, ItemStateReachesTheBarAndTheClientShrinks) {
  const int32_t before = Form->ClientHeight();
  Menu->SetWindow(Form);
  EXPECT_LT(Form->ClientHeight(), before);  // the bar takes room above the client area
  EXPECT_EQ(Entry(File).Text, "&Datei");
  EXPECT_EQ(Entry(File).SubCount, 2);
  EXPECT_TRUE(Entry(Line).Separator);
  Open->SetCaption("Öffnen...");
  Open->SetEnabled(false);
  Open->SetChecked(true);
  TMenuItem* extra = new TMenuItem(Form);
  extra->SetCaption("Neu");
  extra->SetVisible(false);
  File->Insert(0, extra);
  const TMenuBarEntry e = Entry(Open);
  EXPECT_EQ(e.Text, "Öffnen...");
  EXPECT_FALSE(e.Enabled);
  EXPECT_TRUE(e.Checkable && e.Checked);
  EXPECT_FALSE(Entry(extra).Visible);
  EXPECT_EQ(Entry(File).SubCount, 3);
  // A freed item leaves the bar.
  delete extra;
  TMenuBarEntry gone;
  EXPECT_FALSE(Menu->MenuBarEntry(extra, gone));
  EXPECT_EQ(Entry(File).SubCount, 2);
  Menu->SetWindow(nullptr);
  EXPECT_EQ(Form->ClientHeight(), before);
}

TEST_F(MenuBarFixture, ChoosingAnEntryClicksItsItemOnlyWhenEnabled) {
  Menu->SetWindow(Form);
  EXPECT_TRUE(Menu->TriggerMenuBarEntry(Open));
  EXPECT_EQ(Clicks, 1);
  Open->SetEnabled(false);
  Menu->TriggerMenuBarEntry(Open);
  EXPECT_EQ(Clicks, 1);
  EXPECT_FALSE(Menu->TriggerMenuBarEntry(File));  // a submenu is opened, not chosen
}

// A click handler that rebuilds its own menu must not pull the running entry away.
TEST_F(MenuBarFixture, ClickHandlerMayRebuildItsMenu) {
  Menu->SetWindow(Form);
  int rebuilt = 0;
  Open->OnClick = [&](TObject*) {
    // Clearing frees this handler too: only locals are used after it.
    TMenuItem* file = File;
    int* count = &rebuilt;
    file->Clear();
    for (const char* c : {"a", "b", "c"}) {
      auto* i = new TMenuItem(nullptr);
      i->SetCaption(c);
      file->Add(i);
    }
    ++*count;
  };
  ASSERT_TRUE(Menu->TriggerMenuBarEntry(Open));
  Application->ProcessMessages();
  EXPECT_EQ(rebuilt, 1);
  EXPECT_EQ(Entry(File).SubCount, 3);
  EXPECT_EQ(Entry(File->Items(2)).Text, "c");
}

TEST_F(MenuBarFixture, BarGoesWithItsForm) {
  Menu->SetWindow(Form);
  auto* other = new TForm(nullptr);
  Menu->SetWindow(other);
  EXPECT_EQ(Entry(Open).Text, "Öffnen");
  delete other;
  EXPECT_EQ(Menu->Window(), nullptr);
  TMenuBarEntry e;
  EXPECT_FALSE(Menu->MenuBarEntry(Open, e));
}

TEST(DropFilesTest, LocalFilesArriveInOrderOnce) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  std::vector<std::vector<std::string>> drops;
  AcceptDropFiles(&form, [&](TObject* Sender, const TStrings& Files) {
    EXPECT_EQ(Sender, &form);
    std::vector<std::string> names;
    for (int32_t i = 0; i < Files.Count(); ++i) names.push_back(Files.Strings(i));
    drops.push_back(names);
  });
  EXPECT_TRUE(DropFilesOn(&form, {"/tmp/a b.png", "/tmp/c.jpg"}));
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0], (std::vector<std::string>{"/tmp/a b.png", "/tmp/c.jpg"}));
  AcceptDropFiles(&form, nullptr);
  EXPECT_FALSE(DropFilesOn(&form, {"/tmp/a.png"}));
  EXPECT_EQ(drops.size(), 1u);
}

// Shortcuts as the menus write them and read them back.
TEST(ShortCutText, WrittenWithGermanNamesAndReadBack) {
  const struct {
    TShortCut Key;
    const char* Text;
  } cases[] = {
      {TShortCut(scCtrl | 'O'), "Strg+O"},
      {TShortCut(scShift | scCtrl | 'S'), "Umsch+Strg+S"},
      {TShortCut(scCtrl | scAlt | '1'), "Strg+Alt+1"},
      {VK_DELETE, "Entf"},
      {VK_F5, "F5"},
      {TShortCut(scAlt | VK_PRIOR), "Alt+Bild auf"},
      {TShortCut(scCtrl | VK_OEM_PLUS), "Strg++"},
      {TShortCut(scShift | VK_NUMPAD5), "Umsch+Num 5"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShortCutToText(c.Key), c.Text);
    EXPECT_EQ(TextToShortCut(c.Text), c.Key) << c.Text;
  }
  EXPECT_EQ(ShortCut('O', TShiftState{ssCtrl}), TShortCut(scCtrl | 'O'));
  // Any case, and the English modifier names as well.
  EXPECT_EQ(TextToShortCut("strg+umsch+s"), TShortCut(scShift | scCtrl | 'S'));
  EXPECT_EQ(TextToShortCut("Ctrl+Shift+S"), TShortCut(scShift | scCtrl | 'S'));
  // Nothing, a modifier alone, an unknown key: no shortcut.
  for (const char* bad : {"", "Strg+", "Strg+Foo", "Umsch", "Q W"}) EXPECT_EQ(TextToShortCut(bad), TShortCut(0)) << bad;
  EXPECT_EQ(ShortCutToText(TShortCut(0)), "");
  EXPECT_EQ(ShortCutToText(TShortCut(scCtrl | VK_LWIN)), "");  // a key without a name
}

TEST_F(MenuBarFixture, ShortcutOfAnItemReachesTheBar) {
  Menu->SetWindow(Form);
  EXPECT_EQ(Entry(Open).ShortCut, "");
  Open->SetShortCut(TShortCut(scShift | scCtrl | 'O'));
  EXPECT_EQ(Entry(Open).ShortCut, "Ctrl+Shift+O");
  Open->SetShortCut(VK_F2);
  EXPECT_EQ(Entry(Open).ShortCut, "F2");
  Open->SetShortCut(TShortCut(0));
  EXPECT_EQ(Entry(Open).ShortCut, "");
}

TEST(KeyStateTest, EscapeHeldIsSeen) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  form.HandleNeeded();
  QWidget* w = form.Peer()->Client();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
  EXPECT_LT(GetKeyState(VK_ESCAPE), 0);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &release);
  EXPECT_EQ(GetKeyState(VK_ESCAPE), 0);
}

}  // namespace
}  // namespace kv
