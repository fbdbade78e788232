#include "app/tools/stuck_pixel_tool.h"

#include <algorithm>
#include <memory>

#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/tools/tool_files.h"
#include "imaging/processing/stuck_pixels.h"
#include "imaging/views/open_save_dialog.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/memo.h"
#include "platform/ui/std_controls.h"

namespace kv {

Tdefpixform::Tdefpixform(TComponent* AOwner, Tform1* AMain)
    : TToolDialog(AOwner, "defpixform", "Stuck Pixel (Defekte Pixel)"), FMain(AMain) {
  KvSpinEdit11 = AddEdit("Toleranz", "KvSpinEdit11", "50");
  KvSpinEdit1 = AddEdit("Max Pixel", "KvSpinEdit1", "40");
  auto* dark = new TButton(this);
  dark->SetParent(this);
  dark->SetCaption("Verdunkelte Aufnahme ...");
  dark->SetBounds(10, ClientHeight() - 45, 200, 25);
  dark->OnClick = [this](TObject*) {
    if (FMain && FMain->OpenDialog1 && FMain->executeopendialog()) ReadDarkFrame(FMain->OpenDialog1->FileName());
  };
  AddNote("");
  Memo1 = new TMemo(this);
  Memo1->SetName("Memo1");
  Memo1->SetParent(this);
  Memo1->SetBounds(10, ClientHeight() - 45, 450, 160);
  AddStored("Memo1.Lines", Memo1);
  SetClientSize(ClientWidth(), ClientHeight() + 130);
  AddNote("");
  AddButtons("Ausführen", 241);
  OnRun = [this](TObject*) {
    TStringList lines;
    Memo1->GetLines(lines);
    ResultLine = "StuckPixel" + WriteParamStrings("p", lines);
  };
}

bool Tdefpixform::ReadDarkFrame(const std::string& FileName) {
  TBitmap dark;
  try {
    LoadToolPicture(FileName, dark);
  } catch (const Exception& e) {
    ShowMessage(e.Message());
    return false;
  }
  bool tooMany = false;
  const int32_t tolerance = std::clamp(EditInt(KvSpinEdit11), 0, 255);
  const std::vector<std::string> found = FindDarkFramePixels(dark, tolerance, EditInt(KvSpinEdit1), tooMany);
  TStringList lines;
  for (const std::string& p : found) lines.Add(p);
  Memo1->SetLines(lines);
  if (tooMany) ShowMessage(kTooManyPixels);
  return true;
}

void RunStuckPixel(TCommandRun& Run) {
  timagerlayer& imager = Run.Imager();
  Run.UndoPoint();
  TStringList list;
  Run.List("p", list);
  std::vector<std::string> entries;
  for (int32_t i = 0; i < list.Count(); ++i) entries.push_back(list.Get(i));
  FixStuckPixels(imager.Bitmap(), entries);
  imager.Update();
}

void ShowStuckPixelDialog(Tform1& Form) {
  auto dlg = std::make_unique<Tdefpixform>(nullptr, &Form);
  if (dlg->ShowModal() != mrOk || dlg->ResultLine.empty()) return;
  Form.interpreter(&Form, dlg->ResultLine);
}

}  // namespace kv
