#include "app/main/direction_frame.h"

#include "app/settings/form_storage1.h"
#include "platform/rtl/strings.h"
#include "platform/ui/speed_button.h"

namespace kv {

Tdirectionframe::Tdirectionframe(TComponent* AOwner) : TFrame(AOwner) {
  SetName("directionframe");
  SetBounds(0, 0, 75, 75);
  for (size_t i = 0; i < Buttons.size(); ++i) {
    auto* b = new TSpeedButton(this);
    b->SetName("SpeedButton" + IntToStr(int32_t(i) + 1));
    b->SetParent(this);
    b->SetBounds(int32_t(i % 3) * 25, int32_t(i / 3) * 25, 25, 25);
    b->SetGroupIndex(1);
    b->SetAllowAllUp(true);
    b->SetTag(kTags[i]);
    b->OnClick = [this](TObject* S) { ButtonClick(S); };
    Buttons[i] = b;
  }
  Formstorage1 = new tformstorage1(this);
  Formstorage1->SetName("Formstorage1");
  Formstorage1->BeginLoading();
  for (TSpeedButton* b : Buttons) {
    TStoredValue* v = Formstorage1->StoredValues().Add();
    v->SetName(b->Name() + ".Down");
    v->SetValue(TVariant(false));
    v->OnSave = [b](TObject*, TVariant& Value) { Value = TVariant(b->Down()); };
    v->OnRestore = [this, b](TObject*, TVariant& Value) {
      b->SetDown(Value.AsBoolean());
      ReadDirection();
    };
  }
  Formstorage1->Loaded();
}

void Tdirectionframe::ReadDirection() {
  FDirection = -1;
  for (TSpeedButton* b : Buttons)
    if (b->Down()) FDirection = int32_t(b->Tag());
}

void Tdirectionframe::ButtonClick(TObject*) {
  ReadDirection();
  if (OnClick) OnClick(this);
}

void Tdirectionframe::SetDefault(int32_t Value) {
  for (TSpeedButton* b : Buttons)
    if (TStoredValue* v = Formstorage1->StoredValues().FindValue(b->Name() + ".Down"))
      v->SetValue(TVariant(b->Tag() == Value));
  SetDirection(Value);
}

void Tdirectionframe::SetDirection(int32_t Value) {
  for (TSpeedButton* b : Buttons) b->SetDown(b->Tag() == Value);
  ReadDirection();
}

}  // namespace kv
