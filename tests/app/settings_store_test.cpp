#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/form_storage1.h"
#include "platform/system/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/frames.h"
#include "platform/ui/panel.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// The program's forms and frames are classes of their own: sections follow their names.
class Tautoform : public TForm {
 public:
  explicit Tautoform(TComponent* AOwner) : TForm(AOwner) {
    SetBounds(100, 80, 300, 200);
    Storage = new tformstorage1(this);
    Storage->SetName("formstorage1");
    Storage->BeginLoading();
    Storage->StoredValues().Add()->SetName("Zoom");
  }
  tformstorage1* Storage;
};

class TimageSourceframe : public TFrame {
 public:
  explicit TimageSourceframe(TComponent* AOwner) : TFrame(AOwner) {
    Storage = new tformstorage1(this);
    Storage->SetName("formstorage1");
    Storage->BeginLoading();
    Storage->StoredValues().Add()->SetName("Dir");
  }
  tformstorage1* Storage;
};

class SettingsStore : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    SetRegistryFolder(Dir);
    Application->OnException = [this](TObject*, const Exception& E) { Errors.push_back(E.Message()); };
  }
  void TearDown() override {
    Application->OnException = nullptr;
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
  static std::string Reg(const std::string& Section, const std::string& Ident) {
    TRegIniFile r(ProgramStorageKey);
    return r.ReadString(Section, Ident, "<none>");
  }
  // A frame on a panel of the form, loaded after the form's own store.
  static TimageSourceframe* AddFrame(Tautoform& F, const std::string& Name, TWinControl* Parent) {
    auto* fr = new TimageSourceframe(&F);
    fr->SetName(Name);
    fr->SetParent(Parent);
    fr->Storage->Loaded();
    return fr;
  }
  std::vector<std::string> Errors;
};

TEST_F(SettingsStore, DefaultsFollowTheOwner) {
  Tautoform f(nullptr);
  TimageSourceframe fr(&f);
  for (tformstorage1* s : {f.Storage, fr.Storage}) {
    EXPECT_EQ(s->IniFileName(), "\\software\\Kavrelin\\storage");
    EXPECT_TRUE(s->UseRegistry());
    EXPECT_TRUE(s->Active());
    EXPECT_EQ(s->Version(), 0);
    EXPECT_EQ(s->IniSectionValue(), "");
  }
  EXPECT_EQ(f.Storage->Options(), (TPlacementOptions{fpState, fpPosition}));
  EXPECT_TRUE(fr.Storage->Options().Empty());
  EXPECT_TRUE(f.Storage->PropertyTable().Find("BeforeStorage"));
}

// BeforeStorage precedes every save and no restore; a refused close saves
// nothing; a close and a later destruction save once.
TEST_F(SettingsStore, FormSavesOnceAtCloseAfterBeforeStorage) {
  std::vector<std::string> log;
  {
    Tautoform f(nullptr);
    f.Storage->BeforeStorage = [&](TObject* S) {
      EXPECT_EQ(S, f.Storage);
      log.push_back("before");
      f.Storage->StoredValues().FindValue("Zoom")->SetValue(TVariant(std::string("150")));
    };
    f.Storage->OnRestorePlacement = [&](TObject*) { log.push_back("restore"); };
    f.Storage->OnSavePlacement = [&](TObject*) { log.push_back("save"); };
    bool allow = false;
    f.OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = allow; };
    f.Storage->Loaded();
    f.Show();
    f.Close();  // refused
    EXPECT_EQ(Reg("Tautoform", "Zoom"), "<none>");
    allow = true;
    f.Close();
    EXPECT_EQ(Reg("Tautoform", "Zoom"), "150");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"restore", "before", "save"}));
  EXPECT_EQ(Reg("Tautoform", "FormVersion"), "0");
  EXPECT_NE(Reg("Tautoform", "NormPos"), "<none>");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsStore, EmptyOptionsWriteNoPlacementButStillTheValues) {
  {
    Tautoform f(nullptr);
    f.Storage->SetOptions({});
    f.Storage->Loaded();
    f.Show();
    f.Storage->StoredValues().FindValue("Zoom")->SetValue(TVariant(std::string("7")));
    f.Close();
  }
  EXPECT_EQ(Reg("Tautoform", "Zoom"), "7");
  EXPECT_EQ(Reg("Tautoform", "NormPos"), "<none>");
  EXPECT_EQ(Reg("Tautoform", "ShowCmd"), "<none>");
}

// A frame on a panel: section of the form's class plus the frame's name;
// restored when the form is shown, saved when it is destroyed, not at close.
TEST_F(SettingsStore, FrameOnAPanelFollowsItsForm) {
  {
    TRegIniFile r(ProgramStorageKey);
    r.WriteString("TautoformimageSourceframe1", "Dir", "/bilder");
  }
  int before = 0;
  {
    auto* f = new Tautoform(nullptr);
    f->Storage->Loaded();
    auto* panel = new TPanel(f);
    panel->SetParent(f);
    TimageSourceframe* fr = AddFrame(*f, "imageSourceframe1", panel);
    EXPECT_EQ(fr->Storage->HookedForm(), f);
    fr->Storage->BeforeStorage = [&](TObject*) { ++before; };
    f->Show();
    EXPECT_EQ(fr->Storage->StoredValues().FindValue("Dir")->Value().AsString(), "/bilder");
    EXPECT_EQ(fr->Storage->IniSection(), "TautoformimageSourceframe1");
    fr->Storage->StoredValues().FindValue("Dir")->SetValue(TVariant(std::string("/neu")));
    f->Close();
    EXPECT_EQ(before, 0);
    EXPECT_EQ(Reg("TautoformimageSourceframe1", "Dir"), "/bilder");
    delete f;
  }
  EXPECT_EQ(before, 1);
  EXPECT_EQ(Reg("TautoformimageSourceframe1", "Dir"), "/neu");
  EXPECT_EQ(Reg("TautoformimageSourceframe1", "NormPos"), "<none>");
  EXPECT_NE(Reg("Tautoform", "NormPos"), "<none>");
  EXPECT_TRUE(Errors.empty());
}

// The last store hooked runs first; freeing a frame early, in either order,
// leaves the form's handlers working (ASan checks that no freed store is reached).
TEST_F(SettingsStore, HookedStoresChainAndSurviveEarlyFrees) {
  for (bool firstGoesFirst : {true, false}) {
    std::vector<std::string> log;
    auto* f = new Tautoform(nullptr);
    f->OnShow = [&](TObject*) { log.push_back("form show"); };
    f->OnDestroy = [&](TObject*) { log.push_back("form destroy"); };
    f->Storage->OnRestorePlacement = [&](TObject*) { log.push_back("form restore"); };
    f->Storage->Loaded();
    TimageSourceframe* a = AddFrame(*f, "A", f);
    TimageSourceframe* b = AddFrame(*f, "B", f);
    TimageSourceframe* c = AddFrame(*f, "C", f);
    for (TimageSourceframe* fr : {a, b, c}) {
      const std::string n = fr->Name();
      fr->Storage->OnRestorePlacement = [&log, n](TObject*) { log.push_back(n + " restore"); };
      fr->Storage->OnSavePlacement = [&log, n](TObject*) { log.push_back(n + " save"); };
    }
    if (firstGoesFirst) {
      delete a;
      delete c;  // the last hooked: its handlers come off the form
    } else {
      delete c;
      delete a;
    }
    f->Show();
    delete f;
    EXPECT_EQ(log, (std::vector<std::string>{"B restore", "form restore", "form show", "B save", "form destroy"}))
        << firstGoesFirst;
  }
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsStore, AFrameMadeAfterItsFormWasShownRestoresAtOnce) {
  {
    TRegIniFile r(ProgramStorageKey);
    r.WriteString("TautoformSpaet", "Dir", "/vorher");
  }
  auto* f = new Tautoform(nullptr);
  f->Storage->Loaded();
  f->Show();
  TimageSourceframe* fr = AddFrame(*f, "Spaet", f);
  EXPECT_EQ(fr->Storage->StoredValues().FindValue("Dir")->Value().AsString(), "/vorher");
  fr->Storage->StoredValues().FindValue("Dir")->SetValue(TVariant(std::string("/nachher")));
  delete f;
  EXPECT_EQ(Reg("TautoformSpaet", "Dir"), "/nachher");
}

TEST_F(SettingsStore, FrameWithoutFormIsNotHookedAndSavesOnRequest) {
  TPanel holder(nullptr);
  TimageSourceframe fr(&holder);
  fr.SetName("lone");
  fr.Storage->Loaded();
  EXPECT_EQ(fr.Storage->HookedForm(), nullptr);
  fr.Storage->RestoreFormPlacement();
  fr.Storage->StoredValues().FindValue("Dir")->SetValue(TVariant(std::string("x")));
  fr.Storage->SaveFormPlacement();
  EXPECT_EQ(Reg("lone", "Dir"), "x");
}

TEST_F(SettingsStore, AFailingSaveIsReportedAndTheFormStillCloses) {
  auto* f = new Tautoform(nullptr);
  f->Storage->Loaded();
  f->Storage->BeforeStorage = [](TObject*) { throw Exception("kaputt"); };
  f->Show();
  f->Close();
  EXPECT_FALSE(f->Visible());
  delete f;  // tries again at destruction, as it never saved
  EXPECT_EQ(Errors, (std::vector<std::string>{"kaputt", "kaputt"}));
}

}  // namespace
}  // namespace kv
