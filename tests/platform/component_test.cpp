#include "platform/rtl/component.h"

#include <gtest/gtest.h>

#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace kv {
namespace {

// Remembers the components it was told were removed and clears its reference.
class TWatcher : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* Target = nullptr;
  std::vector<TComponent*> Removed;
  void SetTarget(TComponent* Value) {
    Target = Value;
    if (Value) Value->FreeNotification(this);
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) {
      Removed.push_back(AComponent);
      if (AComponent == Target) Target = nullptr;
    }
  }
};

TEST(Component, OwnerFreesAndNamesAreUnique) {
  auto* form = new TComponent(nullptr);
  auto* a = new TComponent(form);
  auto* b = new TComponent(form);
  a->SetName("Button1");
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(form->FindComponent("BUTTON1"), a);
  EXPECT_EQ(form->FindComponent(""), nullptr);
  try {
    b->SetName("button1");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_STREQ(e.what(), "A component named button1 already exists");
  }
  EXPECT_THROW(b->SetName("1st"), EComponentError);
  EXPECT_THROW(b->SetName("has space"), EComponentError);
  a->SetName("BUTTON1");  // a change of case only is allowed
  b->SetName("");
  EXPECT_THROW(form->Components(2), EListError);

  delete a;  // freed by itself: leaves its owner's list
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(form->Components(0), b);

  auto* other = new TComponent(nullptr);
  auto* c = new TComponent(other);
  c->SetName("X");
  form->InsertComponent(c);  // taken over, never owned twice
  EXPECT_EQ(other->ComponentCount(), 0);
  EXPECT_EQ(c->Owner(), form);
  auto* clash = new TComponent(other);
  clash->SetName("x");
  EXPECT_THROW(form->InsertComponent(clash), EComponentError);
  EXPECT_EQ(clash->Owner(), other);
  delete other;
  delete form;  // frees b and c; ASan reports any leak or double free
}

TEST(Component, FreeNotificationClearsReferences) {
  auto* form1 = new TComponent(nullptr);
  auto* form2 = new TComponent(nullptr);
  auto* view = new TComponent(form1);
  auto* io = new TWatcher(form2);
  io->SetTarget(view);
  delete view;  // different owners: through the free-notification lists
  EXPECT_EQ(io->Target, nullptr);

  // Same owner: the owner's notification reaches the sibling.
  auto* view2 = new TComponent(form2);
  io->SetTarget(view2);
  delete view2;
  EXPECT_EQ(io->Target, nullptr);

  // The watcher goes first: the watched component must not call it later.
  auto* view3 = new TComponent(form1);
  auto* io2 = new TWatcher(nullptr);
  io2->SetTarget(view3);
  delete io2;
  delete view3;

  // The owner frees both; the sibling that asked hears of the other's end.
  auto* view4 = new TComponent(form2);
  io->SetTarget(view4);
  auto* late = new TWatcher(form2);  // freed first: owners free the last component first
  late->SetTarget(view4);
  io->RemoveFreeNotification(view4);
  delete form1;
  delete form2;
}

// A link made between siblings must hold after either moves to another owner.
TEST(Component, FreeNotificationBetweenSiblingsSurvivesAMove) {
  for (bool moveWatcher : {true, false}) {
    auto* owner = new TComponent(nullptr);
    auto* other = new TComponent(nullptr);
    auto* view = new TComponent(owner);
    auto* io = new TWatcher(owner);
    io->SetTarget(view);
    other->InsertComponent(moveWatcher ? static_cast<TComponent*>(io) : view);
    delete view;
    EXPECT_EQ(io->Target, nullptr) << moveWatcher;
    delete owner;
    delete other;
  }
}

TEST(Component, NotificationsReachOwnedComponents) {
  auto* form = new TComponent(nullptr);
  auto* w = new TWatcher(form);
  auto* x = new TComponent(form);
  delete x;
  EXPECT_EQ(w->Removed, std::vector<TComponent*>({x}));
  EXPECT_TRUE(w->ComponentState().Empty());
  form->Destroying();
  EXPECT_TRUE(w->ComponentState().Contains(csDestroying));
  delete form;
}

// ---- published properties ----

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

class TTestFont : public TPersistent {
 public:
  int32_t Size = 8;
  TFontStyles Style;
  std::string FName = "Sans";
  const TPropertyTable& PropertyTable() const override {
    static const auto table = TPropertyTable::Make<TTestFont>(TPersistent::PropertyTable(), [](auto& p) {
      p.Integer("Size", &TTestFont::Size, &TTestFont::Size);
      p.Set("Style", &TTestFont::Style, &TTestFont::Style, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
      p.String("Name", &TTestFont::FName, &TTestFont::FName);
    });
    return table;
  }
};

class TTestControl : public TComponent {
 public:
  using TComponent::TComponent;
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value) { FAlign = Value; }
  bool Visible = true;
  double Zoom = 100;
  float Gamma = 1.0f;
  char PasswordChar = '*';
  int64_t Big = 0;
  TTestFont* Font() const { return FFont.get(); }
  TComponent* Buddy = nullptr;
  TStringList* Lines() const { return FLines.get(); }

  const TPropertyTable& PropertyTable() const override {
    static const auto table = TPropertyTable::Make<TTestControl>(TComponent::PropertyTable(), [](auto& p) {
      p.Enum("Align", &TTestControl::Align, &TTestControl::SetAlign,
             {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"});
      p.Bool("Visible", &TTestControl::Visible, &TTestControl::Visible);
      p.Float("Zoom", &TTestControl::Zoom, &TTestControl::Zoom);
      p.Float("Gamma", &TTestControl::Gamma, &TTestControl::Gamma, ftSingle);
      p.Char("PasswordChar", &TTestControl::PasswordChar, &TTestControl::PasswordChar);
      p.Int64("Big", &TTestControl::Big, &TTestControl::Big);
      p.Integer("Area", [](const TTestControl& c) { return c.Font()->Size * 10; });  // read-only
      p.Object("Font", &TTestControl::Font);
      p.Object("Buddy", &TTestControl::Buddy, &TTestControl::Buddy);
      p.Object("Lines", &TTestControl::Lines);
      p.Method("OnClick");
    });
    return table;
  }

 private:
  TAlign FAlign = alNone;
  std::unique_ptr<TTestFont> FFont = std::make_unique<TTestFont>();
  std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
};

TEST(PropertyTable, ReadAndWriteByText) {
  TComponent form(nullptr);
  auto* c = new TTestControl(&form);
  auto* other = new TComponent(&form);
  other->SetName("Label1");

  struct Case { const char* Prop; const char* Set; const char* Get; };
  for (const Case& k : {Case{"Align", "alclient", "alClient"}, Case{"Visible", "false", "False"},
                        Case{"Visible", "TRUE", "True"}, Case{"Zoom", "12.5", "12.5"},
                        Case{"Zoom", "0.1", "0.1"}, Case{"Gamma", "2.2", "2.2"},
                        Case{"PasswordChar", "#x", "#"}, Case{"PasswordChar", "", "#"},  // empty text: unchanged
                        Case{"Big", "-9000000000", "-9000000000"}, Case{"Name", "Edit1", "Edit1"},
                        Case{"Tag", "7", "7"}, Case{"Font.Size", "12", "12"},
                        Case{"font.style", "[fsBold, fsItalic]", "[fsBold,fsItalic]"},
                        Case{"Font.Style", "fsUnderline,fsNoSuch", "[fsUnderline]"},  // unknown members are skipped
                        Case{"Font.Style", "[]", "[]"}, Case{"Buddy", "label1", "Label1"},
                        Case{"Buddy", "", ""}}) {
    SetPropValue(c, k.Prop, k.Set);
    EXPECT_EQ(GetPropValue(c, k.Prop), k.Get) << k.Prop << " = " << k.Set;
  }
  EXPECT_EQ(c->Align(), alClient);
  EXPECT_EQ(c->Font()->Size, 12);
  EXPECT_EQ(GetPropValue(c, "Area"), "120");

  // A float is written with '.' and read back whatever the decimal separator.
  DecimalSeparator = ',';
  SetPropValue(c, "Zoom", "3.75");
  EXPECT_EQ(c->Zoom, 3.75);
  EXPECT_EQ(GetPropValue(c, "Zoom"), "3.75");
  DecimalSeparator = '.';

  EXPECT_THROW(SetPropValue(c, "Align", "alMiddle"), EPropertyError);
  EXPECT_THROW(SetPropValue(c, "Font.Size", "big"), EConvertError);
  EXPECT_THROW(SetPropValue(c, "Area", "1"), EPropertyError);
  EXPECT_THROW(SetPropValue(c, "Buddy", "Nobody"), EPropertyError);
  EXPECT_THROW(GetPropValue(c, "Colour"), EPropertyError);
  EXPECT_THROW(GetPropValue(c, "Zoom.Size"), EPropertyError);
  EXPECT_THROW(SetPropValue(c, "Font", "x"), EPropertyError);

  EXPECT_TRUE(IsPublishedProp(c, "VISIBLE"));
  EXPECT_TRUE(IsPublishedProp(c, "Font.Name"));
  EXPECT_FALSE(IsPublishedProp(c, "Colour"));
  EXPECT_EQ(GetObjectProp(c, "Lines"), c->Lines());
  SetObjectProp(c, "Buddy", other);
  EXPECT_EQ(c->Buddy, other);
  EXPECT_THROW(SetObjectProp(c, "Buddy", c->Font()), EPropertyError);  // a font is no component

  const TPropInfo* font = FindPropInfo(c, "Font");
  EXPECT_EQ(font->Kind, tkClass);
  EXPECT_FALSE(font->IsComponentRef);
  EXPECT_EQ(font->PropClassName, "TTestFont");
  EXPECT_TRUE(FindPropInfo(c, "Buddy")->IsComponentRef);
  EXPECT_EQ(FindPropInfo(c, "Gamma")->FloatType, ftSingle);
}

TEST(PropertyTable, ListsBaseClassPropertiesFirst) {
  TTestControl c(nullptr);
  std::vector<std::string> names;
  for (const TPropInfo* p : GetPropList(&c, TTypeKinds{tkInteger, tkInt64, tkString, tkEnumeration, tkFloat, tkChar,
                                                        tkClass, tkSet}))
    names.push_back(p->Name);
  EXPECT_EQ(names, std::vector<std::string>({"Name", "Tag", "Align", "Visible", "Zoom", "Gamma", "PasswordChar", "Big",
                                             "Area", "Font", "Buddy", "Lines"}));  // the event is filtered out
  EXPECT_EQ(GetPropList(&c).size(), names.size() + 1);
  EXPECT_EQ(c.GetNamePath(), "");
  TTestFont f;
  EXPECT_EQ(f.GetNamePath(), "TTestFont");
  EXPECT_TRUE(GetPropList(nullptr).empty());
}

}  // namespace
}  // namespace kv
