#include "app/catalog/sort_frame.h"

#include <functional>

#include "app/helpers/my_combo_box.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "platform/rtl/strings.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

// A key of the text when it names one of the combo's entries, else 0.
int32_t KeyIn(const mycombobox& Combo, int32_t Key) { return Key >= 0 && Key < Combo.Count() ? Key : 0; }

}  // namespace

Tsortframe::Tsortframe(TComponent* AOwner) : TFrame(AOwner) {
  SetName("sortframe");
  SetBounds(0, 0, 330, 62);
  const struct {
    const char* Caption;
    int32_t Top;
    TLabel** Label;
    mycombobox** Combo;
    TCheckBox** Box;
    const char* ComboName;
    const char* BoxName;
  } rows[] = {
      {"1.Sortierung", 4, &Label1, &mycombobox1, &CheckBox1, "mycombobox1", "CheckBox1"},
      {"2.Sortierung", 34, &Label2, &mycombobox2, &CheckBox2, "mycombobox2", "CheckBox2"},
  };
  for (const auto& r : rows) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption(r.Caption);
    l->SetBounds(4, r.Top + 4, 80, 17);
    auto* c = new mycombobox(this);
    c->SetName(r.ComboName);
    c->SetParent(this);
    c->SetBounds(88, r.Top, 150, 24);
    FillSortKeyCombo(*c);
    c->Loaded();
    c->OnChange = [this](TObject* Sender) { SortChanged(Sender); };
    auto* b = new TCheckBox(this);
    b->SetName(r.BoxName);
    b->SetParent(this);
    b->SetCaption("absteigend");
    b->SetBounds(244, r.Top + 2, 86, 20);
    b->OnClick = [this](TObject* Sender) { SortChanged(Sender); };
    *r.Label = l;
    *r.Combo = c;
    *r.Box = b;
  }

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  const struct {
    const char* Name;
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
  } slots[] = {
      {"CheckBox1.Checked", [this] { return std::string(CheckBox1->Checked() ? "1" : "0"); },
       [this](const std::string& V) { CheckBox1->SetChecked(StrToIntDef(Trim(V), 0) != 0 || SameText(Trim(V), "True")); }},
      {"CheckBox2.Checked", [this] { return std::string(CheckBox2->Checked() ? "1" : "0"); },
       [this](const std::string& V) { CheckBox2->SetChecked(StrToIntDef(Trim(V), 0) != 0 || SameText(Trim(V), "True")); }},
      {"mycombobox1.Itemindex", [this] { return IntToStr(mycombobox1->ItemIndex()); },
       [this](const std::string& V) { mycombobox1->SetItemIndex(KeyIn(*mycombobox1, StrToIntDef(Trim(V), 0))); }},
      {"mycombobox2.Itemindex", [this] { return IntToStr(mycombobox2->ItemIndex()); },
       [this](const std::string& V) { mycombobox2->SetItemIndex(KeyIn(*mycombobox2, StrToIntDef(Trim(V), 0))); }},
  };
  for (const auto& s : slots) {
    TStoredValue* v = formstorage1->StoredValues().Add();
    v->SetName(s.Name);
    v->SetValue(TVariant(s.Get()));
    v->OnSave = [get = s.Get](TObject*, TVariant& Value) { Value = TVariant(get()); };
    v->OnRestore = [set = s.Set](TObject*, TVariant& Value) { set(Value.AsString()); };
  }
  formstorage1->Loaded();
}

void Tsortframe::SortChanged(TObject*) {
  if (OnChange) OnChange(this);
}

void Tsortframe::setsort(std::string& Params) const {
  Params += WriteParamInt("Sort1", std::max(mycombobox1->ItemIndex(), 0)) +
            WriteParamInt("Sort2", std::max(mycombobox2->ItemIndex(), 0)) +
            WriteParamBool("Sort2descanding", CheckBox2->Checked()) +
            WriteParamBool("Sort1descanding", CheckBox1->Checked());
}

void Tsortframe::getsort(std::string_view Params) {
  mycombobox1->SetItemIndex(KeyIn(*mycombobox1, ReadParamInt(Params, "Sort1", 0)));
  mycombobox2->SetItemIndex(KeyIn(*mycombobox2, ReadParamInt(Params, "Sort2", 0)));
  CheckBox1->SetChecked(ReadParamBool(Params, "Sort1descanding", false));
  CheckBox2->SetChecked(ReadParamBool(Params, "Sort2descanding", false));
}

TCatalogSort Tsortframe::Sort() const {
  TCatalogSort s;
  s.Sort1 = std::max(mycombobox1->ItemIndex(), 0);
  s.Sort2 = std::max(mycombobox2->ItemIndex(), 0);
  s.Sort1Descending = CheckBox1->Checked();
  s.Sort2Descending = CheckBox2->Checked();
  return s;
}

}  // namespace kv
