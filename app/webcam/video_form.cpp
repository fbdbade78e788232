// The webcam window: its controls, pages by mode, source choice, enabling,
// background timer, stored settings and closing.
#include "app/webcam/video_form.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include "app/batch/batch_list_frame.h"
#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/format_params.h"
#include "app/settings/form_storage1.h"
#include "app/webcam/inet_targets.h"
#include "app/workflows/auto_save.h"
#include "app/webcam/screen_driver_form.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/views/imager_video_view.h"
#include "net/ftp_client.h"
#include "net/pop3_client.h"
#include "net/smtp_client.h"
#include "platform/devices/screen_windows.h"
#include "platform/devices/video_capture.h"
#include "platform/media/avi_reader.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/page_control.h"
#include "platform/ui/panel.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"
#include "platform/ui/track_bar.h"

namespace kv {

bool WebcamBusy = false;

namespace {

constexpr int32_t kBoxWidth = 345, kBoxHeight = 214;

std::string FloatText(double V) { return FloatToStr(V); }

}  // namespace

TWebcamRadio::TWebcamRadio(TComponent* AOwner, int32_t Group) : TCheckBox(AOwner), FGroup(Group) {}

void TWebcamRadio::Click() {
  if (Parent()) {
    if (Checked()) {
      for (int32_t i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* r = dynamic_cast<TWebcamRadio*>(Parent()->Controls(i)); r && r != this && r->FGroup == FGroup)
          r->SetChecked(false);
    } else {
      // A radio button is unticked only by ticking another one.
      bool any = false;
      for (int32_t i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* r = dynamic_cast<TWebcamRadio*>(Parent()->Controls(i)); r && r->FGroup == FGroup && r->Checked())
          any = true;
      if (!any) {
        SetChecked(true);
        return;
      }
    }
  }
  TCheckBox::Click();
}

Tvideoform::Tvideoform(TComponent* AOwner) : TForm(AOwner) {
  SetName("videoform");
  SetCaption("Video");
  FMotionRef = std::make_unique<TBitmap>();
  FWork = std::make_unique<timagerlayer>(nullptr);
  // Set before the settings stores hook these events: a store restores its
  // values and then passes the showing on, so FormShow sees them.
  OnShow = [this](TObject* S) { FormShow(S); };
  OnCloseQuery = [this](TObject* S, bool& C) { FormCloseQuery(S, C); };
  OnClose = [this](TObject* S, TCloseAction& A) { FormClose(S, A); };
  BuildControls();
  FilenameEdit3->SetText(IncludeTrailingPathDelimiter(ProgramFolder()) + "record.avi");
  BuildStore();
}

Tvideoform::~Tvideoform() {
  FClosing = true;
  if (dummycapturetimer) dummycapturetimer->SetEnabled(false);
  if (HttpServer1 && HttpServer1->Listening()) HttpServer1->Stop();
  ClosePlayback();
  if (ImagerVideoView2) {
    ImagerVideoView2->SetOnVideoFrame(nullptr);
    ImagerVideoView2->OnVideoEnded = nullptr;
  }
  if (form1 && form1->OverrideChild == FBatchChild) form1->OverrideChild = nullptr;
  delete FBatchChild;
}

void Tvideoform::BuildControls() {
  SetBounds(0, 0, 760, 520);
  ImagerVideoView2 = new TImagerVideoView(this);
  ImagerVideoView2->SetName("ImagerVideoView2");
  ImagerVideoView2->SetParent(this);
  ImagerVideoView2->SetBounds(8, 8, kBoxWidth, kBoxHeight);
  ImagerVideoView2->SetOnVideoFrame([this](TObject* S, TBitmap* B) { ImagerVideoView2VideoFrame(S, B); });
  ImagerVideoView2->OnVideoEnded = [this](TObject*, const std::string& M) { ReportEnded(M); };
  frameie = new timagerlayer(this);
  frameie->SetName("frameie");
  frameie->SetParent(this);
  frameie->SetBackground(clBlack);
  frameie->SetBounds(8, 230, kBoxWidth, kBoxHeight);

  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetBounds(362, 8, 390, 470);
  auto sheet = [this](const std::string& Caption, const std::string& Name) {
    auto* t = new TTabSheet(this);
    t->SetName(Name);
    t->SetPageControl(PageControl1);
    t->SetCaption(Caption);
    return t;
  };
  GrabSheet = sheet("Bild einfangen", "GrabSheet");
  WebcamSheet = sheet("Webcam", "WebcamSheet");
  ServerSheet = sheet("Webcam Server", "ServerSheet");
  RecordSheet = sheet("Aufnahme", "RecordSheet");
  FrameSheet = sheet("Frame", "FrameSheet");
  VideoSheet = sheet("Videofenster", "VideoSheet");

  int32_t top = 8;
  auto label = [this, &top](TWinControl* P, const std::string& Text, int32_t X = 8, int32_t W = 170) {
    auto* l = new TLabel(this);
    l->SetParent(P);
    l->SetCaption(Text);
    l->SetBounds(X, top + 3, W, 18);
    return l;
  };
  auto button = [this, &top](TWinControl* P, const std::string& Name, const std::string& Text, int32_t X,
                             int32_t W = 110) {
    auto* b = new TButton(this);
    b->SetParent(P);
    b->SetName(Name);
    b->SetCaption(Text);
    b->SetBounds(X, top, W, 25);
    return b;
  };
  auto toggle = [this, &top](TWinControl* P, const std::string& Name, const std::string& Text, int32_t X,
                             int32_t W = 90) {
    auto* b = new TSpeedButton(this);
    b->SetParent(P);
    b->SetName(Name);
    b->SetCaption(Text);
    b->SetGroupIndex(int32_t(std::hash<std::string>{}(Name) % 100000) + 1);
    b->SetAllowAllUp(true);
    b->SetBounds(X, top, W, 25);
    return b;
  };
  auto check = [this, &top](TWinControl* P, const std::string& Name, const std::string& Text, int32_t X = 8,
                            int32_t W = 360) {
    auto* c = new TCheckBox(this);
    c->SetParent(P);
    c->SetName(Name);
    c->SetCaption(Text);
    c->SetBounds(X, top, W, 22);
    return c;
  };
  auto spin = [this, &top](TWinControl* P, const std::string& Name, double Min, double Max, double Value,
                           bool Float, int32_t X = 190, int32_t W = 90) {
    auto* s = new TKvSpinEdit(this);
    s->SetParent(P);
    s->SetName(Name);
    if (Float) {
      s->SetValueType(vtFloat);
      s->SetDecimal(1);
    }
    s->SetMinValue(Min);
    s->SetMaxValue(Max);
    s->SetValue(Value);
    s->SetBounds(X, top, W, 22);
    return s;
  };
  auto radio = [this, &top](TWinControl* P, const std::string& Name, const std::string& Text, int32_t Group,
                            int32_t X = 8, int32_t W = 170) {
    auto* r = new TWebcamRadio(this, Group);
    r->SetParent(P);
    r->SetName(Name);
    r->SetCaption(Text);
    r->SetBounds(X, top, W, 22);
    return r;
  };
  auto combo = [this, &top](TWinControl* P, const std::string& Name, int32_t X, int32_t W) {
    auto* c = new TComboBox(this);
    c->SetParent(P);
    c->SetName(Name);
    c->SetBounds(X, top, W, 22);
    return c;
  };
  auto edit = [this, &top](TWinControl* P, const std::string& Name, const std::string& Text, int32_t X, int32_t W) {
    auto* e = new TEdit(this);
    e->SetParent(P);
    e->SetName(Name);
    e->SetText(Text);
    e->SetBounds(X, top, W, 22);
    return e;
  };

  // ---- Videofenster ----
  top = 8;
  label(VideoSheet, "Treiber");
  mycombobox2 = combo(VideoSheet, "mycombobox2", 90, 280);
  mycombobox2->OnChange = [this](TObject*) { SourceChanged(); };
  top += 32;
  QuelleButton = button(VideoSheet, "QuelleButton", "&Quelle", 8, 85);
  QuelleButton->OnClick = [this](TObject*) { QuelleClick(); };
  FormatButton = button(VideoSheet, "FormatButton", "&Format", 98, 85);
  FormatButton->OnClick = [this](TObject*) { FormatClick(); };
  DisplayButton = button(VideoSheet, "DisplayButton", "&Display", 188, 85);
  DisplayButton->OnClick = [this](TObject*) { DisplayClick(); };
  OverlayCheck = check(VideoSheet, "OverlayCheck", "Overlay", 280, 90);
  OverlayCheck->OnClick = [this](TObject*) {
    ImagerVideoView2->SetDisplayMode(OverlayCheck->Checked() ? dmOverlay : dmPreview);
    UpdateEnabled();
  };
  top += 32;
  label(VideoSheet, "Vorschau Bilder/s");
  KvSpinEdit4 = spin(VideoSheet, "KvSpinEdit4", 1, 9999, 15, false);
  KvSpinEdit4->OnChange = [this](TObject*) {
    const double fps = std::max(1.0, KvSpinEdit4->Value());
    ImagerVideoView2->SetPreviewRate(int32_t(std::lround(1000.0 / fps)));
  };
  top += 30;
  SizeLabel = label(VideoSheet, "Videogröße:", 8, 360);
  top += 30;
  label(VideoSheet, "Bildrate Hintergrund");
  KvSpinEdit3 = spin(VideoSheet, "KvSpinEdit3", 1, 3600000, 3000, false);
  label(VideoSheet, "ms", 290, 40);
  KvSpinEdit3->OnChange = [this](TObject*) { UpdateEnabled(); };
  top += 30;
  label(VideoSheet, "Bilder erzeugen, wenn Videofenster im...", 8, 360);
  top += 24;
  RadioGroup1 = combo(VideoSheet, "RadioGroup1", 8, 360);
  RadioGroup1->SetItems({"... Vordergrund (zur Präsentation)", "... Vorder-/Hintergrund (zum weiter arbeiten)",
                         "... Hintergrund (bei mehreren Videofenstern)"});
  RadioGroup1->SetItemIndex(1);
  RadioGroup1->OnChange = [this](TObject*) { UpdateEnabled(); };

  // ---- buttons under the pages ----
  top = 486;
  VideoOnButton = toggle(this, "VideoOnButton", "&Video an", 362, 100);
  VideoOnButton->OnClick = [this](TObject*) { VideoOnClick(); };
  HelpButton = button(this, "HelpButton", "&Hilfe", 552, 95);
  HelpButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(4111);
  };
  CloseButton = button(this, "CloseButton", "B&eenden", 652, 100);
  CloseButton->OnClick = [this](TObject*) {
    VideoOnButton->SetDown(false);
    Close();
  };

  // ---- Frame ----
  top = 8;
  RadioButton1 = radio(FrameSheet, "RadioButton1", "schnellst möglich", 1);
  RadioButton1->SetChecked(true);
  top += 26;
  RadioButton4 = radio(FrameSheet, "RadioButton4", "nach", 1, 8, 80);
  KvSpinEdit2 = spin(FrameSheet, "KvSpinEdit2", 0, 32000000, 2, true, 100);
  label(FrameSheet, "Sekunden", 200, 80);
  top += 26;
  RadioButton3 = radio(FrameSheet, "RadioButton3", "bei Bewegung", 1, 8, 120);
  label(FrameSheet, "Sensitivität", 140, 80);
  KvSpinEdit1 = spin(FrameSheet, "KvSpinEdit1", 0, 255, 200, false, 230);
  top += 26;
  RadioButton2 = radio(FrameSheet, "RadioButton2", "Manuell", 1);
  NowButton = toggle(FrameSheet, "NowButton", "Jetzt!", 190);
  top += 34;
  CheckBox1 = check(FrameSheet, "CheckBox1", "Datum und Uhrzeit einblenden", 8, 220);
  CheckBox1->SetChecked(true);
  FontButton = button(FrameSheet, "FontButton", "Schrift-Optionen...", 235, 130);
  FontButton->OnClick = [this](TObject*) { FontDialog1->Execute(); };
  FontDialog1 = new TFontDialog(this);
  FontDialog1->SetName("FontDialog1");
  FontDialog1->Font().SetColor(clWhite);
  top += 30;
  CheckBox2 = check(FrameSheet, "CheckBox2", "Batch ausführen");
  top += 26;
  batchlistFrame1 = new TbatchlistFrame(this);
  batchlistFrame1->SetName("batchlistFrame1");
  batchlistFrame1->SetParent(FrameSheet);
  batchlistFrame1->SetBounds(8, top, 360, 200);
  // Only the list: the player and buttons belong to the automation window.
  if (batchlistFrame1->MediaPanel) batchlistFrame1->MediaPanel->SetVisible(false);
  if (batchlistFrame1->ButtonPanel) batchlistFrame1->ButtonPanel->SetVisible(false);

  // ---- Bild einfangen ----
  top = 8;
  GrabButton = toggle(GrabSheet, "GrabButton", "Einfangen", 8, 100);
  AutoGrabCheck = check(GrabSheet, "AutoGrabCheck", "automatisch", 120, 200);
  top += 34;
  label(GrabSheet, "Neuer Frame wird", 8, 130);
  top += 24;
  label(GrabSheet, "importiert", 8, 80);
  RadioButton12 = radio(GrabSheet, "RadioButton12", "als", 2, 100, 60);
  RadioButton12->SetChecked(true);
  TargetKindCombo = combo(GrabSheet, "TargetKindCombo", 170, 120);
  TargetKindCombo->SetItems({"Bild"});
  TargetKindCombo->SetItemIndex(0);
  top += 26;
  RadioButton5 = radio(GrabSheet, "RadioButton5", "gespeichert", 2, 100, 120);
  top += 30;
  autosaveframe1 = new Tautosaveframe(this);
  autosaveframe1->SetName("autosaveframe1");
  autosaveframe1->SetParent(GrabSheet);
  autosaveframe1->SetBounds(8, top, 370, 260);

  // ---- Webcam ----
  top = 8;
  GoButton = toggle(WebcamSheet, "GoButton", "Los!", 8);
  GoButton->OnClick = [this](TObject*) { GoClick(); };
  RepeatCheck = check(WebcamSheet, "RepeatCheck", "wiederholen", 110, 120);
  label(WebcamSheet, "Warte", 240, 50);
  KvSpinEdit5 = spin(WebcamSheet, "KvSpinEdit5", 0, 32000000, 60, true, 290, 80);
  top += 30;
  StatusLabel = label(WebcamSheet, "Inactive", 8, 360);
  top += 22;
  TargetLabel = label(WebcamSheet, "", 8, 360);
  top += 26;
  label(WebcamSheet, "Webcam-Datei", 8, 100);
  FilenameEdit1 = new TFilenameEdit(this);
  FilenameEdit1->SetParent(WebcamSheet);
  FilenameEdit1->SetName("FilenameEdit1");
  FilenameEdit1->SetBounds(110, top, 170, 22);
  FilenameEdit1->SetText("webcam.jpg");
  ParamsButton = button(WebcamSheet, "ParamsButton", "Parameter ...", 285, 90);
  ParamsButton->OnClick = [this](TObject*) { ParamsClick(); };
  top += 30;
  ListBox1 = new TCheckListBox(this);
  ListBox1->SetParent(WebcamSheet);
  ListBox1->SetName("ListBox1");
  ListBox1->SetBounds(8, top, 240, 200);
  ListBox1->OnClick = [this](TObject*) { UpdateEnabled(); };
  ListBox1->OnDblClick = [this](TObject*) { EditTarget(); };
  AddFtpButton = button(WebcamSheet, "AddFtpButton", "Hinzufügen (FTP)", 255, 120);
  AddFtpButton->OnClick = [this](TObject*) { AddTarget(false); };
  top += 30;
  AddMailButton = button(WebcamSheet, "AddMailButton", "Hinzufügen (Email)", 255, 120);
  AddMailButton->OnClick = [this](TObject*) { AddTarget(true); };
  top += 30;
  EditButton = button(WebcamSheet, "EditButton", "Bearbeiten", 255, 120);
  EditButton->OnClick = [this](TObject*) { EditTarget(); };
  top += 30;
  DeleteButton = button(WebcamSheet, "DeleteButton", "Löschen", 255, 120);
  DeleteButton->OnClick = [this](TObject*) { DeleteTargets(); };
  top += 30;
  WwwButton = button(WebcamSheet, "WwwButton", "WWW-Seite...", 255, 120);
  WwwButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(4113);
  };

  // ---- Webcam Server ----
  top = 8;
  label(ServerSheet, "Adresse", 8, 80);
  mycombobox3 = combo(ServerSheet, "mycombobox3", 90, 180);
  UpdateButton = button(ServerSheet, "UpdateButton", "Update", 280, 80);
  UpdateButton->OnClick = [this](TObject*) { UpdateAddresses(); };
  top += 32;
  label(ServerSheet, "Port", 8, 80);
  Edit7 = edit(ServerSheet, "Edit7", "80", 90, 80);
  ServerButton = toggle(ServerSheet, "ServerButton", "Los!", 280, 80);
  ServerButton->OnClick = [this](TObject*) { ServerClick(); };
  auto restart = [this](TObject*) {
    if (HttpServer1->Listening()) {
      ServerButton->SetDown(false);
      ServerClick();
      ServerButton->SetDown(true);
      ServerClick();
    }
  };
  mycombobox3->OnChange = restart;
  Edit7->OnChange = restart;
  top += 32;
  label(ServerSheet, "Aktive Verbindungen", 8, 170);
  Edit8 = edit(ServerSheet, "Edit8", "0", 190, 80);
  Edit8->SetReadOnly(true);
  top += 32;
  label(ServerSheet, "Time-out (sec, 0 = keiner)", 8, 180);
  myKvSpinEdit6 = spin(ServerSheet, "myKvSpinEdit6", 0, 3600, 0, false);
  top += 32;
  label(ServerSheet, "Max. Verbindungen (0 = unbegrenzt)", 8, 180);
  KvSpinEdit7 = spin(ServerSheet, "KvSpinEdit7", 0, 10000, 0, false);
  HttpServer1 = new THttpServer(this);
  HttpServer1->SetName("HttpServer1");

  // ---- Aufnahme ----
  top = 8;
  const char* captions[8] = {"Play", "Pause", "Stop", "Next", "Prev", "Step", "Back", "Rec"};
  TSpeedButton** buttons[8] = {&PlayButton, &PauseButton, &StopButton, &NextButton,
                               &PrevButton, &StepButton,  &BackButton, &RecordButton};
  for (int i = 0; i < 8; ++i) {
    auto* b = new TSpeedButton(this);
    b->SetParent(RecordSheet);
    b->SetName(std::string(captions[i]) + "Button");
    b->SetCaption(captions[i]);
    b->SetBounds(8 + i * 45, top, 43, 25);
    *buttons[i] = b;
  }
  PlayButton->OnClick = [this](TObject*) { PlayClick(); };
  PauseButton->OnClick = [this](TObject*) { SetPlayRunning(false); };
  StopButton->OnClick = [this](TObject*) { StopClick(); };
  NextButton->OnClick = [this](TObject*) { SetPlayPosition(FPlayLengthMs); };
  PrevButton->OnClick = [this](TObject*) { SetPlayPosition(0); };
  StepButton->OnClick = [this](TObject*) { StepFrame(1); };
  BackButton->OnClick = [this](TObject*) { StepFrame(-1); };
  RecordButton->OnClick = [this](TObject*) { RecordClick(); };
  top += 34;
  label(RecordSheet, "Datei", 8, 60);
  FilenameEdit3 = new TFilenameEdit(this);
  FilenameEdit3->SetParent(RecordSheet);
  FilenameEdit3->SetName("FilenameEdit3");
  FilenameEdit3->SetBounds(70, top, 300, 22);
  top += 30;
  label(RecordSheet, "Bilder/s", 8, 60);
  RecordRate = spin(RecordSheet, "RecordRate", 1, 9999, 15, false, 70, 80);
  CheckBox4 = check(RecordSheet, "CheckBox4", "mit Sound", 160, 100);
  CheckBox4->SetChecked(true);
  CompressionButton = button(RecordSheet, "CompressionButton", "Kompression...", 265, 105);
  CompressionButton->OnClick = [this](TObject*) { ImagerVideoView2->ShowVideoCompressionDialog(); };
  top += 34;
  PositionBar = new TTrackBar(this);
  PositionBar->SetParent(RecordSheet);
  PositionBar->SetName("PositionBar");
  PositionBar->SetBounds(8, top, 360, 30);
  PositionBar->SetRange(0, 0);
  PositionBar->OnChange = [this](TObject*) {
    if (PlayerState == 1 && PositionBar->Position() != FPlayPosMs) SetPlayPosition(PositionBar->Position());
  };
  top += 36;
  label(RecordSheet, "Zeit:", 8, 50);
  // The arrows move the position by the field's step (the hundredths by one
  // frame), so a step past 59 carries into the next field; typing sets it.
  const int64_t steps[3] = {3600000, 60000, 1000};
  for (int i = 0; i < 4; ++i) {
    auto* s = new TmyKvSpinEdit(this);
    s->SetParent(RecordSheet);
    s->SetName("PosField" + std::to_string(i));
    s->SetMinValue(0);
    s->SetMaxValue(i == 0 ? 254 : (i == 3 ? 99 : 59));
    s->SetValue(0);
    s->SetBounds(60 + i * 75, top, 70, 22);
    PosFields[i] = s;
    s->OnChange = [this](TObject*) {
      if (PlayerState != 1 || FShowingPosition) return;
      const int64_t ms = int64_t(PosFields[0]->Value()) * 3600000 + int64_t(PosFields[1]->Value()) * 60000 +
                         int64_t(PosFields[2]->Value()) * 1000 + int64_t(PosFields[3]->Value()) * 10;
      if (ms != FPlayPosMs) SetPlayPosition(std::min(ms, FPlayLengthMs));
    };
    if (i == 3) {
      s->OnTopClick = [this](TObject*) { SetPlayPosition(FramePosition(1)); };
      s->OnBottomClick = [this](TObject*) { SetPlayPosition(FramePosition(-1)); };
    } else {
      const int64_t step = steps[i];
      s->OnTopClick = [this, step](TObject*) { SetPlayPosition(FPlayPosMs + step); };
      s->OnBottomClick = [this, step](TObject*) { SetPlayPosition(std::max<int64_t>(0, FPlayPosMs - step)); };
    }
  }
  top += 30;
  label(RecordSheet, "Total:", 8, 50);
  for (int i = 0; i < 4; ++i) {
    TotalFields[i] = edit(RecordSheet, "TotalField" + std::to_string(i), "0", 60 + i * 75, 70);
    TotalFields[i]->SetReadOnly(true);
  }

  // ---- timers ----
  Timer1 = new TTimer(this);
  Timer1->SetInterval(200);
  Timer1->SetOnTimer([this](TObject*) { Timer1Tick(); });
  Timer1->SetEnabled(true);
  dummycapturetimer = new TTimer(this);
  dummycapturetimer->SetEnabled(false);
  dummycapturetimer->SetOnTimer([this](TObject*) { DummyCaptureTick(); });
  PlayTimer = new TTimer(this);
  PlayTimer->SetEnabled(false);
  PlayTimer->SetOnTimer([this](TObject*) { PlayTimerTick(); });
  sleeptimer = new TTimer(this);
  sleeptimer->SetEnabled(false);
  sleeptimer->SetOnTimer([this](TObject*) { SleepTimerFired(); });
}

void Tvideoform::BuildStore() {
  Formstorage1 = new tformstorage1(this);
  Formstorage1->SetName("Formstorage1");
  Formstorage1->BeginLoading();
  // Each value reads and writes its control through the member pointer: a
  // control freed with a page of another mode (null then) is skipped, and
  // the store keeps the value it was restored with.
  struct TIO {
    std::function<bool(std::string&)> Get;
    std::function<void(const std::string&)> Set;
  };
  auto checked = [](auto*& C) -> TIO {
    return {[&C](std::string& V) {
              if (C) V = C->Checked() ? "1" : "0";
              return C != nullptr;
            },
            [&C](const std::string& V) {
              if (C && !V.empty()) C->SetChecked(V == "1" || SameText(V, "true"));
            }};
  };
  auto value = [](auto*& S) -> TIO {
    return {[&S](std::string& V) {
              if (S) V = FloatText(S->Value());
              return S != nullptr;
            },
            [&S](const std::string& V) {
              if (S && !V.empty()) S->SetValue(StrToFloatDef(V, S->Value()));
            }};
  };
  auto index = [](TComboBox*& C) -> TIO {
    return {[&C](std::string& V) {
              if (C) V = IntToStr(C->ItemIndex());
              return C != nullptr;
            },
            [&C](const std::string& V) {
              if (!C || V.empty()) return;
              const int32_t i = StrToIntDef(V, -1);
              if (i >= 0 && i < C->Count()) C->SetItemIndex(i);
            }};
  };
  auto text = [](auto*& C) -> TIO {
    return {[&C](std::string& V) {
              if (C) V = C->Text();
              return C != nullptr;
            },
            [&C](const std::string& V) {
              if (C && !V.empty()) C->SetText(V);
            }};
  };
  const std::pair<const char*, TIO> slots[] = {
      {"mycombobox2.Itemindex", index(mycombobox2)},
      {"RadioButton1.Checked", checked(RadioButton1)},
      {"RadioButton12.Checked", checked(RadioButton12)},
      {"RadioButton2.Checked", checked(RadioButton2)},
      {"RadioButton3.Checked", checked(RadioButton3)},
      {"RadioButton4.Checked", checked(RadioButton4)},
      {"RadioButton5.Checked", checked(RadioButton5)},
      {"FilenameEdit1.Text", text(FilenameEdit1)},
      {"FilenameEdit3.Text", text(FilenameEdit3)},
      {"CheckBox1.Checked", checked(CheckBox1)},
      {"CheckBox2.Checked", checked(CheckBox2)},
      {"KvSpinEdit3.Value", value(KvSpinEdit3)},
      {"KvSpinEdit1.Value", value(KvSpinEdit1)},
      {"KvSpinEdit2.Value", value(KvSpinEdit2)},
      {"KvSpinEdit4.Value", value(KvSpinEdit4)},
      {"mycombobox3.Itemindex", index(mycombobox3)},
      {"KvSpinEdit7.Value", value(KvSpinEdit7)},
      {"FontDialog1.Font",
       {[this](std::string& V) {
          const TFont& f = FontDialog1->Font();
          V = f.Name() + "," + IntToStr(f.Height()) + "," + IntToStr(int32_t(f.Color())) + "," +
              IntToStr(int32_t(f.Style().ToMask()));
          return true;
        },
        [this](const std::string& V) {
          TStringList parts;
          parts.SetCommaText(V);
          if (parts.Count() < 3) return;
          TFont& f = FontDialog1->Font();
          f.SetName(parts.Strings(0));
          f.SetHeight(StrToIntDef(parts.Strings(1), f.Height()));
          f.SetColor(TColor(StrToIntDef(parts.Strings(2), int32_t(f.Color()))));
          if (parts.Count() > 3) f.SetStyle(TFontStyles::FromMask(uint32_t(StrToIntDef(parts.Strings(3), 0)) & 0xF));
        }}},
      {"CheckBox4.Checked", checked(CheckBox4)},
      {"Edit7.Text", text(Edit7)},
      {"myKvSpinEdit6.Value", value(myKvSpinEdit6)},
      {"RadioGroup1.ItemIndex", index(RadioGroup1)},
      {"Params",
       {[this](std::string& V) {
          V = FParams;
          return true;
        },
        [this](const std::string& V) { FParams = V; }}},
  };
  for (const auto& [name, io] : slots) {
    TStoredValue* v = Formstorage1->StoredValues().Add();
    v->SetName(name);
    auto last = std::make_shared<std::string>();
    io.Get(*last);
    v->SetValue(TVariant(*last));
    v->OnSave = [get = io.Get, last](TObject*, TVariant& Value) {
      get(*last);
      Value = TVariant(*last);
    };
    v->OnRestore = [set = io.Set, last](TObject*, TVariant& Value) {
      const std::string text = Value.AsString();
      if (!text.empty()) *last = text;
      set(text);
    };
  }
  // "Params" follows the frame view's parameters just before each save.
  Formstorage1->BeforeStorage = [this](TObject*) { StoreParams(); };
  Formstorage1->Loaded();
}

void Tvideoform::FormShow(TObject*) {
  // Pages of other modes go.
  TTabSheet* const all[6] = {GrabSheet, WebcamSheet, ServerSheet, RecordSheet, FrameSheet, VideoSheet};
  const bool shown[6] = {Mode == 2, Mode == 1, Mode == 1, Mode == 0, Mode == 1 || Mode == 2, true};
  for (int i = 0; i < 6; ++i)
    if (all[i]) {
      all[i]->SetTabVisible(shown[i]);
      if (!shown[i]) FreePageControls(all[i]);
    }
  PageControl1->SetActivePage(Mode == 0 ? RecordSheet : (Mode == 1 ? WebcamSheet : GrabSheet));
  VideoOnButton->SetDown(false);
  ImagerVideoView2->SetFreeze(false);
  ImagerVideoView2->SetShowVideo(false);
  const int32_t stored = mycombobox2->ItemIndex();
  mycombobox2->SetItems(ImagerVideoView2->VideoSourceList());
  if (Mode != 0) mycombobox2->AddItem("Bildschirm");
  if (Mode != 0 && mycombobox2->Count() == 1) ScreenSource = true;
  if (ScreenSource || (Mode != 0 && stored == mycombobox2->Count() - 1 && stored > 0)) {
    ScreenSource = Mode != 0;
    mycombobox2->SetItemIndex(mycombobox2->Count() - 1);
  } else {
    mycombobox2->SetItemIndex(std::clamp(stored >= 0 ? stored : ImagerVideoView2->VideoSource(), 0,
                                         std::max(0, mycombobox2->Count() - 1)));
    if (mycombobox2->Count() == 0) mycombobox2->SetItemIndex(-1);
  }
  FFirstPress = true;
  if (Mode == 1) UpdateAddresses();
  HttpServer1->SetClientClass([this](TComponent* Owner) {
    auto* c = new myTHttpConnection(Owner);
    c->Webcam = this;
    return c;
  });
  HttpServer1->OnClientConnect = [this](TObject*, TObject* Client, uint16_t) {
    if (auto* c = dynamic_cast<myTHttpConnection*>(Client)) c->Webcam = this;
    ++Connections;
    if (Edit8) Edit8->SetText(IntToStr(Connections));
  };
  HttpServer1->OnClientDisconnect = [this](TObject*, TObject*, uint16_t) {
    Connections = std::max(0, Connections - 1);
    if (Edit8) Edit8->SetText(IntToStr(Connections));
  };
  if (Mode == 1) {
    LoadParams();
    TStringList list;
    ReadInetTargets(list);
    std::vector<std::string> targets;
    for (int32_t i = 0; i < list.Count(); ++i) targets.push_back(list.Strings(i));
    SetTargets(targets);
  }
  if (batchlistFrame1 && batchlistFrame1->FileListBox1) {
    const int32_t n = batchlistFrame1->FileListBox1->Items().Count();
    if (n > 0) batchlistFrame1->FileListBox1->SetItemIndex(n - 1);
  }
  UpdateEnabled();
}

void Tvideoform::FreePageControls(TTabSheet* Page) {
  // Runs from showing the window, never from a handler of a control on the
  // page. The members that point onto the page are cleared first, so every
  // later use sees that the control is gone.
  std::set<const TComponent*> gone;
  std::function<void(TWinControl*)> collect = [&](TWinControl* P) {
    for (int32_t i = 0; i < P->ControlCount(); ++i) {
      TControl* c = P->Controls(i);
      gone.insert(c);
      if (auto* w = dynamic_cast<TWinControl*>(c)) collect(w);
    }
  };
  collect(Page);
  if (gone.empty()) return;
  auto forget = [&gone](auto*&... P) { ((P = (P && gone.count(P)) ? nullptr : P), ...); };
  forget(RadioButton1, RadioButton4, KvSpinEdit2, RadioButton3, KvSpinEdit1, RadioButton2, NowButton, CheckBox1,
         FontButton, CheckBox2, batchlistFrame1);                                                  // Frame
  forget(GrabButton, AutoGrabCheck, RadioButton12, RadioButton5, TargetKindCombo, autosaveframe1);  // Bild einfangen
  forget(GoButton, RepeatCheck, KvSpinEdit5, StatusLabel, TargetLabel, FilenameEdit1, ParamsButton, ListBox1,
         AddFtpButton, AddMailButton, EditButton, DeleteButton, WwwButton);  // Webcam
  forget(mycombobox3, UpdateButton, Edit7, ServerButton, Edit8, myKvSpinEdit6, KvSpinEdit7);  // Webcam Server
  forget(PlayButton, PauseButton, StopButton, NextButton, PrevButton, StepButton, BackButton, RecordButton,
         FilenameEdit3, RecordRate, CheckBox4, CompressionButton, PositionBar);  // Aufnahme
  for (TKvSpinEdit*& f : PosFields) forget(f);
  for (TEdit*& f : TotalFields) forget(f);
  // A parent frees its children with it.
  while (Page->ControlCount() > 0) delete Page->Controls(Page->ControlCount() - 1);
}

void Tvideoform::SetTargets(const std::vector<std::string>& Targets) {
  FTargets = Targets;
  if (!ListBox1) return;
  ListBox1->Items().Clear();
  for (const std::string& t : FTargets) ListBox1->Items().Add(InetTargetCaption(t));
  UpdateEnabled();
}

void Tvideoform::UpdateEnabled() {
  // Controls of pages of other modes are gone (null).
  if (ListBox1) {
    const bool selected = ListBox1->ItemIndex() >= 0;
    EditButton->SetEnabled(selected);
    DeleteButton->SetEnabled(selected);
  }
  KvSpinEdit4->SetEnabled(!ScreenSource && !OverlayCheck->Checked());
  FormatButton->SetEnabled(!ScreenSource);
  DisplayButton->SetEnabled(!ScreenSource);
  // Background frames.
  dummycapturetimer->SetInterval(uint32_t(std::max(1.0, KvSpinEdit3->Value())));
  const int32_t bg = RadioGroup1->ItemIndex();
  dummycapturetimer->SetEnabled(VideoOnButton->Down() && (bg == 1 || bg == 2) && !FClosing);
  if (!ScreenSource && ImagerVideoView2->ShowVideo() && ImagerVideoView2->Freeze() != (bg == 2))
    ImagerVideoView2->SetFreeze(bg == 2);
  // Recording controls.
  if (!PlayButton) return;
  const bool idle = PlayerState == 0;
  PlayButton->SetEnabled(PlayerState != 2);
  RecordButton->SetEnabled(PlayerState == 0);
  StopButton->SetEnabled(PlayerState != 0);
  for (TSpeedButton* b : {PauseButton, NextButton, PrevButton, StepButton, BackButton}) b->SetEnabled(PlayerState == 1);
  FilenameEdit3->SetEnabled(idle);
  RecordRate->SetEnabled(idle);
  CheckBox4->SetEnabled(idle);
  CompressionButton->SetEnabled(idle);
  PositionBar->SetEnabled(PlayerState == 1);
  for (int i = 0; i < 4; ++i) {
    PosFields[i]->SetEnabled(PlayerState == 1);
    TotalFields[i]->SetEnabled(!idle);
  }
}

void Tvideoform::ShowVideoSize() {
  int32_t w = 0, h = 0;
  if (ScreenSource) {
    w = CaptureRect.Width();
    h = CaptureRect.Height();
  } else {
    const TRect r = ImagerVideoView2->GetVideoSize();
    if (r.Right > 0 || r.Bottom > 0) {
      w = r.Right + 1;
      h = r.Bottom + 1;
    }
  }
  SizeLabel->SetCaption("Videogröße: " + IntToStr(w) + " x " + IntToStr(h));
  if (w <= 0 || h <= 0) return;
  // Fitted into the box with its aspect kept; the frame view follows.
  const double scale = std::min(double(kBoxWidth) / w, double(kBoxHeight) / h);
  const int32_t bw = std::max(1, int32_t(std::lround(w * scale))), bh = std::max(1, int32_t(std::lround(h * scale)));
  ImagerVideoView2->SetBounds(8, 8, bw, bh);
  frameie->SetBounds(8, 230, bw, bh);
  frameie->Bitmap().SetSize(w, h);
}

void Tvideoform::SourceChanged() {
  FFirstPress = false;
  const int32_t i = mycombobox2->ItemIndex();
  ScreenSource = Mode != 0 && i >= 0 && i == mycombobox2->Count() - 1 &&
                 mycombobox2->Item(i) == "Bildschirm";
  VideoOnButton->SetDown(false);
  if (mycombobox2->Count() > 1) {
    ImagerVideoView2->SetShowVideo(false);
    ImagerVideoView2->SetFreeze(false);
  }
  if (ScreenSource) {
    ScreenWindow = 0;
    int32_t w = 0, h = 0;
    ScreenWindowSize(0, w, h);
    CaptureRect = Rect(0, 0, w, h);
    ImagerVideoView2->Bitmap().SetSize(w, h);
  } else if (i >= 0) {
    ImagerVideoView2->SetVideoSource(i);
  }
  ShowVideoSize();
  UpdateEnabled();
}

void Tvideoform::QuelleClick() {
  if (ScreenSource) {
    uint32_t window = 0;
    if (ChooseScreenWindow(window)) {
      ScreenWindow = window;
      int32_t w = 0, h = 0;
      ScreenWindowSize(window, w, h);
      CaptureRect = Rect(0, 0, w, h);
      ImagerVideoView2->Bitmap().SetSize(w, h);
    }
  } else {
    ImagerVideoView2->ShowVideoSourceDialog();
  }
  ShowVideoSize();
}

void Tvideoform::FormatClick() {
  if (ScreenSource) return;
  ImagerVideoView2->ShowVideoFormatDialog();
  ShowVideoSize();
}

void Tvideoform::DisplayClick() {
  if (ScreenSource) return;
  ImagerVideoView2->ShowVideoDisplayDialog();
  ShowVideoSize();
}

void Tvideoform::VideoOnClick() {
  if (FFirstPress) {
    const bool down = VideoOnButton->Down();
    SourceChanged();
    VideoOnButton->SetDown(down);
  }
  if (!ScreenSource) {
    ImagerVideoView2->SetFreeze(false);
    ImagerVideoView2->SetShowVideo(VideoOnButton->Down());
    if (VideoOnButton->Down() && !ImagerVideoView2->ShowVideo()) {
      VideoOnButton->SetDown(false);
      MessageDlg("Das Videogerät lässt sich nicht verbinden: " + ImagerVideoView2->LastError(), mtWarning,
                 TMsgDlgButtons{mbOK}, 0);
    }
    if (ImagerVideoView2->ShowVideo()) ShowVideoSize();
  } else if (VideoOnButton->Down() && ScreenWindow != 0) {
    RaiseScreenWindow(ScreenWindow);
  }
  UpdateEnabled();
}

void Tvideoform::ReportEnded(const std::string& Message) {
  // The device went away: the window stays usable with the video off.
  VideoOnButton->SetDown(false);
  if (PlayerState == 2) PlayerState = 0;
  UpdateEnabled();
  MessageDlg(Message, mtWarning, TMsgDlgButtons{mbOK}, 0);
}

void Tvideoform::DummyCaptureTick() {
  if (FTickRunning || FClosing) return;
  FTickRunning = true;
  struct TGuard {
    bool& B;
    ~TGuard() { B = false; }
  } guard{FTickRunning};
  FFrameFromTimer = true;
  if (ScreenSource) {
    TBitmap shot;
    std::string err;
    if (!GrabSingleFrame(ScreenCaptureDevice(ScreenWindow), shot, &err)) {
      FFrameFromTimer = false;
      return;
    }
    if (shot.Width() != CaptureRect.Width() || shot.Height() != CaptureRect.Height()) {
      CaptureRect = Rect(0, 0, shot.Width(), shot.Height());
      ShowVideoSize();
    }
    ImagerVideoView2->Bitmap().Assign(&shot);
    ImagerVideoView2->Update();
    ImagerVideoView2VideoFrame(ImagerVideoView2, &ImagerVideoView2->Bitmap());
  } else if (VideoOnButton->Down()) {
    ImagerVideoView2->GrabFrameNoStop();
  }
}

void Tvideoform::FormCloseQuery(TObject*, bool& CanClose) {
  dummycapturetimer->SetEnabled(false);
  if (CheckBox2) CheckBox2->SetChecked(false);
  if (!ScreenSource) ImagerVideoView2->SetShowVideo(false);
  VideoOnButton->SetDown(false);
  CanClose = !(form1 && form1->Busy());
}

void Tvideoform::FormClose(TObject*, TCloseAction& Action) {
  FClosing = true;
  if (form1 && form1->OverrideChild == FBatchChild) form1->OverrideChild = nullptr;
  delete FBatchChild;
  FBatchChild = nullptr;
  FMotionRef->SetSize(0, 0);
  if (WebcamSheet->TabVisible()) {
    TStringList list;
    for (const std::string& t : FTargets) list.Add(t);
    WriteInetTargets(list);
  }
  if (HttpServer1->Listening()) HttpServer1->Stop();
  ClosePlayback();
  Action = caHide;
  FClosing = false;
}

void Tvideoform::LoadParams() {
  if (!FParams.empty() && FilenameEdit1) ReadFormatParams(FParams, frameie->IOParams(), FilenameEdit1->Text());
}

void Tvideoform::StoreParams() {
  if (WebcamSheet->TabVisible() && FilenameEdit1) FParams = WriteFormatParams(frameie->IOParams(), FilenameEdit1->Text());
}

}  // namespace kv
