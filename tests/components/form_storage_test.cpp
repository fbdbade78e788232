#include <gtest/gtest.h>

#include <string>

#include "components/form_storage.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/monitors.h"
#include "support/temp_files.h"

namespace kv {

// The program's forms are classes of their own; the section is the class name.
class Tform1 : public TForm {
 public:
  explicit Tform1(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsSizeable);
    SetBounds(100, 80, 300, 200);
    Edit = new TButton(this);
    Edit->SetName("Edit1");
    Edit->SetParent(this);
    Edit->SetBounds(5, 5, 80, 24);
    Edit->SetTabStop(true);
    Storage = new TFormStorage(this);
    Storage->SetName("FormStorage1");
    Storage->BeginLoading();
    Storage->StoredProps().Add("Edit1.Caption");
    Storage->StoredProps().Add("Edit1.Enabled");
    TStoredValue* v = Storage->StoredValues().Add();
    v->SetName("Zoom");
    v->SetValue(TVariant(int32_t(10)));
    Storage->StoredValues().Add()->SetName("Ratio");
  }
  // The settings as the program's store sets them, then the end of loading.
  void UseRegistry(const std::string& Key) {
    Storage->SetUseRegistry(true);
    Storage->SetIniFileName(Key);
    Storage->Loaded();
  }
  void UseIni(const std::string& File) {
    Storage->SetIniFileName(File);
    Storage->Loaded();
  }
  TButton* Edit;
  TFormStorage* Storage;
};

namespace {

const std::string KKey = "\\software\\Kavrelin\\storage";

class FormStorageTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    SetRegistryFolder(Dir);
    Application->OnException = [this](TObject*, const Exception& E) { Errors.push_back(E.Message()); };
  }
  void TearDown() override {
    Application->OnException = nullptr;
    SetMonitorRectsForTesting({});
    SetRegistryFolder(Dir);
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
  std::string Reg(const std::string& Ident, const std::string& Section = "Tform1") {
    TRegIniFile r(KKey);
    return r.ReadString(Section, Ident, "<none>");
  }
  void SetReg(const std::string& Ident, const std::string& Value) {
    TRegIniFile r(KKey);
    r.WriteString("Tform1", Ident, Value);
  }
  std::vector<std::string> Errors;
};

TEST_F(FormStorageTest, PlacementPropertiesAndValuesRoundTripThroughTheRegistry) {
  {
    Tform1 f(nullptr);
    f.UseRegistry(KKey);
    f.Show();
    EXPECT_TRUE(f.Storage->Restored());
    f.SetBounds(40, 30, 420, 260);
    f.Edit->SetCaption("Drucken");
    f.Edit->SetEnabled(false);
    f.Storage->StoredValues().FindValue("ZOOM")->SetValue(TVariant(int32_t(25)));
    f.Storage->StoredValues().FindValue("Ratio")->SetValue(TVariant(0.75));
    f.Close();
  }
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Reg("FormVersion"), "0");
  EXPECT_EQ(Reg("NormPos"), "40,30,460,290");
  EXPECT_EQ(Reg("NormPos(" + IntToStr(Screen->Width()) + "x" + IntToStr(Screen->Height()) + ")"), "40,30,460,290");
  EXPECT_EQ(Reg("ShowCmd"), "1");
  EXPECT_EQ(Reg("Flags"), "0");
  EXPECT_EQ(Reg("PixelsPerInch"), IntToStr(Screen->PixelsPerInch()));
  EXPECT_EQ(Reg("Visible"), "0");  // saved on close, not while being destroyed
  EXPECT_EQ(Reg("Edit1_Caption"), "Drucken");
  EXPECT_EQ(Reg("Edit1_Enabled"), "False");
  EXPECT_EQ(Reg("Zoom"), "25");
  EXPECT_EQ(Reg("Ratio"), "0.75");

  Tform1 g(nullptr);
  g.UseRegistry(KKey);
  g.Show();
  EXPECT_EQ(g.BoundsRect(), Rect(40, 30, 460, 290));
  EXPECT_EQ(g.Edit->Caption(), "Drucken");
  EXPECT_FALSE(g.Edit->Enabled());
  const TVariant& zoom = g.Storage->StoredValues().FindValue("Zoom")->Value();
  EXPECT_EQ(zoom.VarType(), varString);  // a restored value is always text
  EXPECT_EQ(zoom.AsString(), "25");
}

TEST_F(FormStorageTest, APlacementFromAnINIFileWithTheCLocale) {
  const std::string ini = Dir + "kavrelin.ini";
  const char old = DecimalSeparator;
  DecimalSeparator = ',';
  {
    Tform1 f(nullptr);
    f.UseIni(ini);
    f.Show();
    f.Storage->StoredValues().FindValue("Ratio")->SetValue(TVariant(2.5));
    f.Edit->SetCaption("'quoted'");
    f.Close();
  }
  const std::string text = test::ReadText(ini);
  EXPECT_NE(text.find("[Tform1]"), std::string::npos);
  EXPECT_NE(text.find("Ratio=2.5"), std::string::npos);
  EXPECT_NE(text.find("Edit1_Caption=\"'quoted'\""), std::string::npos);
  Tform1 g(nullptr);
  g.UseIni(ini);
  g.Show();
  DecimalSeparator = old;
  EXPECT_EQ(g.Edit->Caption(), "'quoted'");
  EXPECT_EQ(g.Storage->StoredValues().FindValue("Ratio")->Value().AsFloat(), 2.5);
}

TEST_F(FormStorageTest, AnOlderVersionIsNotRestoredButOverwritten) {
  SetReg("FormVersion", "1");
  SetReg("NormPos", "1,2,301,202");
  SetReg("Zoom", "99");
  SetReg("Edit1_Caption", "alt");
  Tform1 f(nullptr);
  f.Storage->SetVersion(2);
  f.UseRegistry(KKey);
  f.Show();
  EXPECT_EQ(f.Left(), 100);
  EXPECT_EQ(f.Storage->StoredValues().FindValue("Zoom")->Value().AsString(), "10");
  EXPECT_EQ(f.Edit->Caption(), "");
  f.Close();
  EXPECT_EQ(Reg("FormVersion"), "2");
  EXPECT_EQ(Reg("Zoom"), "10");
  EXPECT_EQ(Reg("NormPos"), "100,80,400,280");
}

TEST_F(FormStorageTest, AFormNeverShownSavesNothing) {
  SetReg("Zoom", "77");
  {
    Tform1 f(nullptr);
    f.UseRegistry(KKey);
    f.Storage->StoredValues().FindValue("Zoom")->SetValue(TVariant(int32_t(1)));
  }
  EXPECT_EQ(Reg("Zoom"), "77");
  EXPECT_EQ(Reg("FormVersion"), "<none>");
}

TEST_F(FormStorageTest, AFormStillOpenWhenFreedSavesWithVisible) {
  {
    Tform1 f(nullptr);
    f.UseRegistry(KKey);
    f.Show();
  }
  EXPECT_EQ(Reg("Visible"), "1");
  EXPECT_EQ(Errors, std::vector<std::string>{});
}

TEST_F(FormStorageTest, OtherPixelsPerInchKeepThePositionButRestoreTheState) {
  SetReg("NormPos", "10,10,210,110");
  SetReg("PixelsPerInch", IntToStr(Screen->PixelsPerInch() + 24));
  SetReg("ShowCmd", "3");
  Tform1 f(nullptr);
  f.UseRegistry(KKey);
  f.Show();
  EXPECT_EQ(f.Left(), 100);
  EXPECT_EQ(f.WindowState(), wsMaximized);
}

TEST_F(FormStorageTest, AFixedBorderKeepsItsSizeAndAPlacementOffEveryScreenComesBack) {
  SetMonitorRectsForTesting({Rect(0, 0, 1024, 768), Rect(1024, 0, 2048, 768)});
  SetReg("NormPos", "3000,5000,3600,5400");
  Tform1 f(nullptr);
  f.SetBorderStyle(bsDialog);
  f.UseRegistry(KKey);
  f.Show();
  // Stored position, current size, then onto the nearest screen.
  EXPECT_EQ(f.Width(), 300);
  EXPECT_EQ(f.BoundsRect(), Rect(1748, 568, 2048, 768));
}

TEST_F(FormStorageTest, AFailedWriteIsReported) {
  const std::string blocker = Dir + "plain";
  test::WriteText(blocker, "x");
  {
    Tform1 f(nullptr);
    f.UseIni(blocker + "/sub.ini");  // a file stands where the folder would be
    f.Show();
    f.Close();
  }
  ASSERT_FALSE(Errors.empty());
  EXPECT_NE(Errors[0].find("sub.ini"), std::string::npos);
}

TEST_F(FormStorageTest, StoredValueNamesAreUniqueWithoutCase) {
  Tform1 f(nullptr);
  TStoredValues& v = f.Storage->StoredValues();
  EXPECT_EQ(v.IndexOfName("ratio"), 1);
  EXPECT_EQ(v.FindValue("nothing"), nullptr);
  try {
    v.Items(1)->SetName("zoom");
    FAIL() << "duplicate accepted";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "In der Stringliste sind Duplikate nicht erlaubt");
  }
  EXPECT_EQ(v.Items(1)->Name(), "Ratio");
  v.Items(0)->SetName("ZOOM");  // the same name in another case is no duplicate
  EXPECT_EQ(v.Items(0)->DisplayName(), "ZOOM");
}

TEST_F(FormStorageTest, SectionsOfFramesAndLinks) {
  Tform1 f(nullptr);
  auto* frame = new TButton(&f);
  frame->SetName("Frame1");
  frame->SetParent(&f);
  TFormPlacement onFrame(frame);
  EXPECT_EQ(onFrame.IniSection(), "Tform1Frame1");
  EXPECT_TRUE(onFrame.Options().Empty());
  EXPECT_EQ(f.Storage->IniSection(), "Tform1");

  // A link saves and loads with the form, inside the open store.
  TIniLink link;
  int saves = 0, loads = 0;
  link.OnSave = [&](TObject*) {
    ASSERT_NE(link.StorageObject(), nullptr);
    link.StorageObject()->WriteString("Tform1Bar", "Count", "3");
    ++saves;
  };
  link.OnLoad = [&](TObject*) {
    loads += link.StorageObject()->ReadString("Tform1Bar", "Count", "") == "3";
  };
  link.SetStorage(f.Storage);
  EXPECT_EQ(link.BaseSection(), "");
  f.UseRegistry(KKey);
  f.Show();
  f.Close();
  f.Show();
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(link.StorageObject(), nullptr);
}

TEST_F(FormStorageTest, PreventResizeAndLimitsAnswerTheMinMaxMessage) {
  Tform1 f(nullptr);
  f.UseRegistry(KKey);
  f.Show();
  f.Storage->MinMaxInfo()->SetValue(7, 150);  // MinTrackWidth
  TMinMaxInfoRecord mm;
  EXPECT_EQ(f.Perform(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm)), 1);
  EXPECT_EQ(mm.MinTrackSize.X, 150);
  f.Storage->SetPreventResize(true);
  EXPECT_FALSE(f.BorderIcons().Contains(biMaximize));
  Application->ProcessMessages();  // the new border recreated the window; its hooks come back
  f.Perform(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
  EXPECT_EQ(mm.MaxTrackSize.X, f.Width());
  EXPECT_EQ(mm.MinTrackSize.Y, f.Height());
  f.Storage->SetPreventResize(false);
  EXPECT_TRUE(f.BorderIcons().Contains(biMaximize));
}

}  // namespace
}  // namespace kv
