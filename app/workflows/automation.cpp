#include "app/workflows/automation.h"

#include <memory>

#include "app/batch/batch_list_frame.h"
#include "app/batch/batch_recorder.h"
#include "app/catalog/image_source.h"
#include "app/catalog/image_source_frame.h"
#include "app/child/child_window.h"
#include "app/helpers/folder_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/workflows/auto_save.h"
#include "components/controls/kv_spin.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/radio_button.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr int32_t kHelpContext = 41121;

// Ends a run from inside the image source's loop.
struct TStopRun {};

}  // namespace

Tautoform::Tautoform(TComponent* AOwner) : TForm(AOwner) {
  SetName("autoform");
  SetCaption("Batch");
  SetPosition(poScreenCenter);
  SetClientSize(700, 470);

  batchlistFrame1 = new TbatchlistFrame(this);
  batchlistFrame1->SetName("batchlistFrame1");
  batchlistFrame1->SetParent(this);
  batchlistFrame1->SetBounds(5, 5, 250, 420);
  // Here only a new recording can be started from the player.
  for (TSpeedButton* b : {batchlistFrame1->PlayButton, batchlistFrame1->PauseButton, batchlistFrame1->StopButton})
    if (b) b->SetVisible(false);
  if (batchlistFrame1->RecordButton)
    batchlistFrame1->RecordButton->OnClick = [this](TObject*) { SetModalResult(mrYes); };

  GroupBox1 = new TGroupBox(this);
  GroupBox1->SetName("GroupBox1");
  GroupBox1->SetParent(this);
  GroupBox1->SetCaption("vorher Bild laden");
  GroupBox1->SetBounds(265, 5, 430, 45);
  RadioButton10 = new TRadioButton(this);
  RadioButton10->SetName("RadioButton10");
  RadioButton10->SetParent(GroupBox1);
  RadioButton10->SetCaption("nein");
  RadioButton10->SetBounds(10, 18, 80, 21);
  RadioButton9 = new TRadioButton(this);
  RadioButton9->SetName("RadioButton9");
  RadioButton9->SetParent(GroupBox1);
  RadioButton9->SetCaption("ja, Bilder kommen von");
  RadioButton9->SetBounds(100, 18, 200, 21);
  RadioButton10->SetChecked(true);
  for (TRadioButton* r : {RadioButton10, RadioButton9}) r->OnClick = [this](TObject*) { UpdateControls(); };

  imageSourceframe1 = new TimageSourceframe(this);
  imageSourceframe1->SetName("imageSourceframe1");
  imageSourceframe1->SetParent(this);
  imageSourceframe1->SetBounds(265, 55, 430, 150);

  GroupBox2 = new TGroupBox(this);
  GroupBox2->SetName("GroupBox2");
  GroupBox2->SetParent(this);
  GroupBox2->SetCaption("danach Bild");
  GroupBox2->SetBounds(265, 210, 430, 45);
  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetName("CheckBox1");
  CheckBox1->SetParent(GroupBox2);
  CheckBox1->SetCaption("speichern");
  CheckBox1->SetBounds(10, 18, 100, 21);
  CheckBox2 = new TCheckBox(this);
  CheckBox2->SetName("CheckBox2");
  CheckBox2->SetParent(GroupBox2);
  CheckBox2->SetCaption("schliessen");
  CheckBox2->SetBounds(120, 18, 100, 21);
  CheckBox1->OnClick = [this](TObject*) { UpdateControls(); };

  autosaveframe1 = new Tautosaveframe(this);
  autosaveframe1->SetName("autosaveframe1");
  autosaveframe1->SetParent(this);
  autosaveframe1->SetBounds(265, 260, 430, 150);

  auto button = [this](const char* Name, const std::string& Caption, int32_t X) {
    auto* b = new TButton(this);
    b->SetName(Name);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(X, 435, 100, 27);
    return b;
  };
  RunButton = button("RunButton", "Ausführen", 380);
  RunButton->SetDefault(true);
  RunButton->SetModalResult(mrOk);
  EndButton = button("EndButton", "Beenden", 485);
  EndButton->SetCancel(true);
  EndButton->SetModalResult(mrCancel);
  HelpButton = button("HelpButton", "Hilfe", 590);
  HelpButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(kHelpContext);
  };

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  const std::pair<const char*, TWinControl*> stored[] = {{"RadioButton10.Checked", RadioButton10},
                                                         {"RadioButton9.Checked", RadioButton9},
                                                         {"CheckBox1.Checked", CheckBox1},
                                                         {"CheckBox2.Checked", CheckBox2}};
  for (const auto& entry : stored) {
    TWinControl* control = entry.second;
    TStoredValue* v = formstorage1->StoredValues().Add();
    v->SetName(entry.first);
    auto get = [control] {
      if (auto* r = dynamic_cast<TRadioButton*>(control)) return r->Checked();
      return static_cast<TCheckBox*>(control)->Checked();
    };
    v->SetValue(TVariant(std::string(get() ? "1" : "0")));
    v->OnSave = [get](TObject*, TVariant& Value) { Value = TVariant(std::string(get() ? "1" : "0")); };
    v->OnRestore = [this, control](TObject*, TVariant& Value) {
      const bool on = StrToIntDef(Trim(Value.AsString()), 0) != 0 || SameText(Trim(Value.AsString()), "True");
      if (auto* r = dynamic_cast<TRadioButton*>(control)) {
        if (on) r->SetChecked(true);
      } else {
        static_cast<TCheckBox*>(control)->SetChecked(on);
      }
      UpdateControls();
    };
  }
  // Set before the store hooks the window's events, so that it chains this.
  OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
  formstorage1->Loaded();
  UpdateControls();
}

void Tautoform::UpdateControls() {
  imageSourceframe1->SetVisible(RadioButton9->Checked());
  autosaveframe1->SetControlsEnabled(CheckBox1->Checked());
}

bool Tautoform::SelectProgram(const std::string& Name) {
  TBatchFileListBox* list = batchlistFrame1->FileListBox1;
  if (!list) return false;
  for (int32_t i = 0; i < list->Items().Count(); ++i)
    if (SameText(list->Items().Strings(i), Name)) {
      list->SetItemIndex(i);
      return true;
    }
  list->SetItemIndex(-1);
  return false;
}

void Tautoform::FormCloseQuery(TObject*, bool& CanClose) {
  if (ModalResult() != mrOk || !batchlistFrame1->SelectedProgram().empty()) return;
  CanClose = false;
  MessageDlg(FMissingProgram.empty()
                 ? std::string("Bitte wählen Sie ein Batch-Programm.")
                 : "Das Batch-Programm \"" + FMissingProgram + "\" fehlt im Ordner \"" + BatchFolder() +
                       "\". Bitte wählen Sie ein anderes oder nehmen Sie es neu auf.",
             mtWarning, TMsgDlgButtons{mbOK}, 0);
}

void Tautoform::Preset(TAutoPreset Value) {
  if (Value == apBatch) return;
  static const char* const programs[] = {"", "scansave.atp", "Rot Cut Auto.atp", "photocopy.atp"};
  FMissingProgram = SelectProgram(programs[Value]) ? "" : programs[Value];
  RadioButton9->SetChecked(true);
  // Earlier pairs win: the scanner and its separation go before the stored choice.
  imageSourceframe1->SetParams(WriteParamInt("SourceMode", 3) + WriteParamBool("seperate", Value == apMultiScan) +
                               imageSourceframe1->GetParams());
  CheckBox1->SetChecked(Value != apPhotocopy);
  CheckBox2->SetChecked(true);
  UpdateControls();
}

TAutomationResult RunAutomation(Tform1& Form, const TAutomationJob& Job) {
  TAutomationResult r;
  int32_t number = Job.StartNumber;
  int32_t total = 0;
  if (Job.Source) {
    const int32_t kind = Job.Source->SourceMode();
    if (kind == 0 || kind == 1) total = int32_t(ListImageSource(Job.Source->GetParams()).size());
  }
  auto reportProgress = [&] {
    if (Job.OnImage && !Job.OnImage(r.Done + r.NotLoaded, total)) {
      r.Stopped = true;
      throw TStopRun{};
    }
  };
  auto step = [&](TObject*) {
    Tchild* child = Form.getchild();
    if (!child) return;
    bool keep = false;  // the window stays open: its picture was not saved as asked
    try {
      Form.playbatch(Job.Batch);
    } catch (...) {
      ++r.Failed;  // the interpreter has told the user which line failed
      keep = true;
    }
    ++r.Done;
    child = Form.getchild();
    if (!keep && Job.Save && child && child->imager1) {
      try {
        // The number carries on from picture to picture, so one run never
        // writes two results under one name.
        if (AutoSaveImage(*child->imager1, Job.SaveText, number) == asrSaved) {
          ++r.Saved;
          child->modified = false;
        } else {
          ++r.Skipped;
          keep = true;
        }
      } catch (const Exception& e) {
        ++r.Failed;
        keep = true;
        MessageDlg(e.Message(), mtError, TMsgDlgButtons{mbOK}, 0);
      }
    }
    if (!keep && Job.Close && child) Form.interpreter(&Form, "HIDDEN CLOSE");
    reportProgress();
  };
  // The interpreter has told the user why the file did not open.
  auto notLoaded = [&](const std::string&) {
    ++r.NotLoaded;
    reportProgress();
  };
  try {
    if (Job.Source)
      Job.Source->getimages(step, Form, notLoaded);
    else
      step(nullptr);
  } catch (const TStopRun&) {
  }
  r.NextNumber = number;
  return r;
}

void ShowAutomation(Tform1& Form, TAutoPreset Preset) {
  if (Form.Recorder().State() == rsRecording) Form.batchstop();
  auto dialog = std::make_unique<Tautoform>(nullptr);
  dialog->Preset(Preset);
  const TModalResult result = dialog->ShowModal();
  if (result == mrYes) {
    Form.batchnew();
    return;
  }
  if (result != mrOk) return;
  TAutomationJob job;
  job.Batch = dialog->batchlistFrame1->SelectedProgram();
  if (job.Batch.empty()) return;
  if (dialog->RadioButton9->Checked()) job.Source = dialog->imageSourceframe1;
  job.Save = dialog->CheckBox1->Checked();
  job.SaveText = dialog->autosaveframe1->GetParams();
  job.StartNumber = dialog->autosaveframe1->KvSpinEdit6->AsInteger();
  job.Close = dialog->CheckBox2->Checked();
  job.OnImage = [&Form](int32_t Done, int32_t Total) {
    // Escape held during the progress report stops the run.
    return !Form.onprogressany(&Form, Total > 0 ? int32_t(int64_t(Done) * 100 / Total) : 0);
  };
  const TAutomationResult r = RunAutomation(Form, job);
  Form.onprogressany(&Form, 0);
  if (r.Stopped || r.Skipped > 0 || r.Failed > 0 || r.NotLoaded > 0)
    MessageDlg(Format("Automatisierung: %d Bilder bearbeitet, %d gespeichert, %d nicht gespeichert", r.Done, r.Saved,
                      r.Skipped + r.Failed) +
                   (r.NotLoaded > 0 ? Format(", %d nicht geladen", r.NotLoaded) : std::string()) +
                   (r.Stopped ? ", abgebrochen." : ".") +
                   (r.Skipped + r.Failed > 0 ? " Nicht gespeicherte Bilder bleiben geöffnet." : ""),
               mtInformation, TMsgDlgButtons{mbOK}, 0);
}

}  // namespace kv
