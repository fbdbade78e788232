#include <gtest/gtest.h>

#include <map>
#include <string>

#include "components/props_storage.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/strings.h"

namespace kv {
namespace {

// A component with a published property of each kind the storage handles.
class TProbe : public TComponent {
 public:
  using TComponent::TComponent;
  int32_t Count = 0;
  bool Checked = false;
  double Ratio = 0;
  TFontStyles Styles;
  std::string Caption;
  char Letter = 'a';
  TStringList Lines;
  TFont Font;
  TComponent* Buddy = nullptr;

  const TPropertyTable& PropertyTable() const override {
    static const auto table = TPropertyTable::Make<TProbe>(TComponent::PropertyTable(), [](auto& p) {
      p.Integer("Count", &TProbe::Count, &TProbe::Count);
      p.Bool("Checked", &TProbe::Checked, &TProbe::Checked);
      p.Float("Ratio", &TProbe::Ratio, &TProbe::Ratio);
      p.Set("Styles", &TProbe::Styles, &TProbe::Styles, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
      p.String("Caption", &TProbe::Caption, &TProbe::Caption);
      p.Char("Letter", &TProbe::Letter, &TProbe::Letter);
      p.Object("Lines", [](const TProbe& o) { return const_cast<TStringList*>(&o.Lines); });
      p.Object("Font", [](const TProbe& o) { return const_cast<TFont*>(&o.Font); });
      p.Object("Buddy", &TProbe::Buddy, &TProbe::Buddy);
      p.Method("OnChange");
    });
    return table;
  }
};

// The store: sections of identifiers, in memory.
struct TMemoryStore {
  std::map<std::string, std::map<std::string, std::string>> Sections;
  void Bind(TPropsStorage& S) {
    S.OnReadString = [this](const std::string& Sec, const std::string& I, const std::string& D) {
      auto s = Sections.find(Sec);
      if (s == Sections.end()) return D;
      auto v = s->second.find(I);
      return v == s->second.end() ? D : v->second;
    };
    S.OnWriteString = [this](const std::string& Sec, const std::string& I, const std::string& V) {
      Sections[Sec][I] = V;
    };
    S.OnEraseSection = [this](const std::string& Sec) { Sections.erase(Sec); };
  }
};

class PropsStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Probe = new TProbe(&Owner);
    Probe->SetName("Probe1");
    Other = new TProbe(&Owner);
    Other->SetName("Other");
    Store.Bind(Storage);
    Storage.Section = "Tform1";
  }
  void Listed(std::initializer_list<const char*> Lines) {
    List.Clear();
    for (const char* l : Lines) List.Add(l);
    SyncStoredList(&Owner, List, true);
  }
  std::string& Value(const std::string& Ident) { return Store.Sections["Tform1"][Ident]; }

  TComponent Owner{nullptr};
  TProbe* Probe = nullptr;
  TProbe* Other = nullptr;
  TMemoryStore Store;
  TPropsStorage Storage;
  TStringList List;
};

TEST_F(PropsStorageTest, EveryKindIsWrittenAsTextAndReadBack) {
  Listed({"Probe1.Count", "Probe1.Checked", "Probe1.Ratio", "Probe1.Styles", "Probe1.Caption", "Probe1.Letter",
          "Probe1.Lines", "Probe1.Font", "Probe1.Buddy"});
  Probe->Count = -17;
  Probe->Checked = true;
  Probe->Ratio = 0.25;
  Probe->Styles = TFontStyles{fsBold, fsUnderline};
  Probe->Caption = "  Hallo Welt ";
  Probe->Letter = 'Q';
  Probe->Lines.SetText("eins\nzwei\n");
  Probe->Font.SetSize(14);
  Probe->Buddy = Other;
  Storage.StoreObjectsProps(&Owner, List);
  EXPECT_EQ(Value("Probe1_Count"), "-17");
  EXPECT_EQ(Value("Probe1_Checked"), "True");
  EXPECT_EQ(Value("Probe1_Ratio"), "0.25");
  EXPECT_EQ(Value("Probe1_Styles"), "[fsBold,fsUnderline]");
  EXPECT_EQ(Value("Probe1_Caption"), "Hallo Welt");  // trimmed
  EXPECT_EQ(Value("Probe1_Letter"), "Q");
  EXPECT_EQ(Value("Probe1_FontSize"), "14");  // nested, no separator
  EXPECT_EQ(Value("Probe1_Buddy"), "Other");
  EXPECT_EQ(Store.Sections["Tform1.Probe1_Lines"]["Count"], "2");
  EXPECT_EQ(Store.Sections["Tform1.Probe1_Lines"]["Item1"], "zwei");
  EXPECT_EQ(Store.Sections["Tform1"].count("Probe1_Lines"), 0u);  // a class property writes no value of its own

  TProbe fresh(nullptr);
  Probe->Count = 0;
  Probe->Checked = false;
  Probe->Ratio = 0;
  Probe->Styles = TFontStyles{};
  Probe->Caption.clear();
  Probe->Letter = 'a';
  Probe->Lines.Clear();
  Probe->Font.SetSize(8);
  Probe->Buddy = nullptr;
  Storage.LoadObjectsProps(&Owner, List);
  EXPECT_EQ(Probe->Count, -17);
  EXPECT_TRUE(Probe->Checked);
  EXPECT_EQ(Probe->Ratio, 0.25);
  EXPECT_EQ(Probe->Styles, (TFontStyles{fsBold, fsUnderline}));
  EXPECT_EQ(Probe->Caption, "Hallo Welt");
  EXPECT_EQ(Probe->Letter, 'Q');
  EXPECT_EQ(Probe->Lines.Text(), "eins\nzwei\n");
  EXPECT_EQ(Probe->Font.Size(), 14);
  EXPECT_EQ(Probe->Buddy, Other);
}

TEST_F(PropsStorageTest, FloatsUseAPointWhateverTheLocale) {
  Listed({"Probe1.Ratio"});
  const char old = DecimalSeparator;
  DecimalSeparator = ',';
  Probe->Ratio = 1.5;
  Storage.StoreObjectsProps(&Owner, List);
  EXPECT_EQ(Value("Probe1_Ratio"), "1.5");
  Probe->Ratio = 0;
  Storage.LoadObjectsProps(&Owner, List);
  DecimalSeparator = old;
  EXPECT_EQ(Probe->Ratio, 1.5);
}

TEST_F(PropsStorageTest, LenientReadingOfStoredText) {
  Listed({"probe1.checked", "Probe1.STYLES", "Probe1.Count", "Probe1.Ratio", "Probe1.Letter", "Probe1.Buddy"});
  Probe->Ratio = 2;
  Probe->Letter = 'x';
  Probe->Buddy = Other;
  Value("Probe1_Checked") = "true";  // any case
  Value("Probe1_Styles") = "[fsItalic, nonsense ,fsStrikeOut]";  // unknown words skipped
  Value("Probe1_Count") = "12abc";  // no number: 0
  Value("Probe1_Ratio") = "n/a";    // no number: unchanged
  Value("Probe1_Letter") = "";      // empty: unchanged
  Value("Probe1_Buddy") = "(NULL)";
  Storage.LoadObjectsProps(&Owner, List);
  EXPECT_TRUE(Probe->Checked);
  EXPECT_EQ(Probe->Styles, (TFontStyles{fsItalic, fsStrikeOut}));
  EXPECT_EQ(Probe->Count, 0);
  EXPECT_EQ(Probe->Ratio, 2);
  EXPECT_EQ(Probe->Letter, 'x');
  EXPECT_EQ(Probe->Buddy, nullptr);
  Value("Probe1_Styles") = "[]";
  Storage.LoadObjectsProps(&Owner, List);
  EXPECT_TRUE(Probe->Styles.Empty());
}

TEST_F(PropsStorageTest, AnEmptiedListKeepsWhatItHadBefore) {
  Listed({"Probe1.Lines"});
  Probe->Lines.SetText("old\n");
  Storage.StoreObjectsProps(&Owner, List);
  Probe->Lines.Clear();
  Storage.StoreObjectsProps(&Owner, List);  // the sub-section is erased, no Count is written
  EXPECT_EQ(Store.Sections.count("Tform1.Probe1_Lines"), 0u);
  Probe->Lines.SetText("before load\n");
  Storage.LoadObjectsProps(&Owner, List);
  EXPECT_EQ(Probe->Lines.Text(), "before load\n");
}

TEST_F(PropsStorageTest, ListLinesFollowTheirComponents) {
  Listed({"Probe1.Count", "Gone.Count", "NoPoint", "Other.", " Other . Caption "});
  ASSERT_EQ(List.Count(), 2);  // unknown components and malformed lines go on load
  EXPECT_EQ(List.Objects(1), Other);
  Probe->SetName("Renamed");
  Probe->Count = 5;
  Storage.StoreObjectsProps(&Owner, List);
  EXPECT_EQ(List.Get(0), "Renamed.Count");
  EXPECT_EQ(Value("Renamed_Count"), "5");
  EXPECT_EQ(JoinStoredItem("A", ""), "");
  EXPECT_EQ(JoinStoredItem("A", "B"), "A.B");
}

TEST_F(PropsStorageTest, AReferenceToAnotherOwnersComponentNamesTheOwner) {
  TComponent foreign(nullptr);
  auto* c = new TProbe(&foreign);
  c->SetName("Far");
  Listed({"Probe1.Buddy"});
  Probe->Buddy = c;
  Storage.StoreObjectsProps(&Owner, List);
  EXPECT_EQ(Value("Probe1_Buddy"), "Component.Far");  // unnamed owner: its class name without "T"
}

}  // namespace
}  // namespace kv
