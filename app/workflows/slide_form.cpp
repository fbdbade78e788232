#include "app/workflows/slide_form.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/batch/batch_list_frame.h"
#include "app/batch/batch_window.h"
#include "app/catalog/image_source.h"
#include "app/catalog/image_source_frame.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/my_combo_box.h"
#include "app/main/direction_frame.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/workflows/slide_exports.h"
#include "app/workflows/slide_html.h"
#include "app/workflows/slide_text_file.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/color_dialog.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr int32_t kLeft = 10, kRight = 330, kColumn = 300, kRow = 27;

std::string HexColour(TColor C) {
  const uint32_t v = uint32_t(C) & 0xFFFFFF;
  // The edit shows red first, as colours are written everywhere else.
  const uint32_t rgb = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%06X", rgb);
  return buf;
}

TColor ColourOfHex(const std::string& Text) {
  const uint32_t rgb = uint32_t(StrToIntDef("$" + Trim(Text), 0)) & 0xFFFFFF;
  return TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

}  // namespace

TCheckBox* Tslideform::AddCheck(const std::string& Caption, int32_t X, int32_t& Y, bool Checked) {
  auto* c = new TCheckBox(this);
  c->SetParent(this);
  c->SetCaption(Caption);
  c->SetBounds(X, Y, kColumn - 110, 21);
  c->SetChecked(Checked);
  Y += kRow;
  return c;
}

TKvSpinEdit* Tslideform::AddSpin(int32_t X, int32_t Y, int32_t W, double Min, double Max, double Value) {
  auto* e = new TKvSpinEdit(this);
  e->SetParent(this);
  e->SetBounds(X, Y, W, 23);
  e->SetMinValue(Min);
  e->SetMaxValue(Max);
  e->SetValue(Value);
  return e;
}

TComboBox* Tslideform::AddCombo(const std::string& Caption, int32_t X, int32_t& Y, const std::vector<std::string>& Items) {
  auto* l = new TLabel(this);
  l->SetParent(this);
  l->SetCaption(Caption);
  l->SetBounds(X, Y + 4, 100, 17);
  auto* c = new TComboBox(this);
  c->SetParent(this);
  c->SetBounds(X + 105, Y, kColumn - 105, 23);
  c->SetItems(Items);
  c->SetItemIndex(0);
  Y += kRow;
  return c;
}

void Tslideform::Exclusive(TCheckBox* const* Group, int32_t Count, TCheckBox* Chosen) {
  if (FUpdating || !Chosen->Checked()) return;
  FUpdating = true;
  for (int32_t i = 0; i < Count; ++i)
    if (Group[i] != Chosen) Group[i]->SetChecked(false);
  FUpdating = false;
  updateall();
}

Tslideform::Tslideform(TComponent* AOwner) : TForm(AOwner) {
  SetName("slideform");
  SetCaption("Optionen für Diashow");
  SetPosition(poScreenCenter);
  FStore = new tformstorage1(this);
  FStore->SetName("formstorage1");
  FStore->StoredValues().Add()->SetName("Settings");
  FStore->BeforeStorage = [this](TObject*) {
    if (TStoredValue* v = FStore->StoredValues().FindValue("Settings")) v->SetValue(TVariant(getcmdstring()));
  };
  FStore->OnRestorePlacement = [this](TObject*) {
    TStoredValue* v = FStore->StoredValues().FindValue("Settings");
    if (v && v->Value().VarType() != varEmpty && !v->Value().AsString().empty())
      SetSettings(SlideSettingsFromCommand(v->Value().AsString()));
    ApplyPreset();
  };

  int32_t y = 10;
  ImageSizeBox = AddCombo("Bildgröße", kLeft, y, {"Originalgröße", "Voll (eingepasst)", "Voll (abgeschnitten)"});
  {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption("Ausrichtung");
    l->SetBounds(kLeft, y + 4, 100, 17);
    directionframe1 = new Tdirectionframe(this);
    directionframe1->SetName("directionframe1");
    directionframe1->SetParent(this);
    directionframe1->SetBounds(kLeft + 105, y, 75, 75);
    directionframe1->SetDirection(0);
    y += 80;
  }
  // 1. The filter list, "Keinen" first.
  FilterBox = AddCombo("Filter", kLeft, y, {"Keinen", "Triangle", "Hermite", "Bell", "BSpline", "Lanczos3", "Mitchell"});
  EffectsCheck = AddCheck("Überblendungseffekte", kLeft, y, true);
  EffectTimeEdit = AddSpin(kLeft + 200, y - kRow, 80, 1, 1000000, 2);
  const char* sounds[3] = {"Kein Sound", "Hintergrundmusik abspielen:", "Tonkommentar abspielen (falls vorhanden)"};
  for (int i = 0; i < 3; ++i) {
    SoundRadio[i] = AddCheck(sounds[i], kLeft, y, i == 0);
    SoundRadio[i]->SetWidth(kColumn);
    SoundRadio[i]->OnClick = [this, i](TObject*) { Exclusive(SoundRadio, 3, SoundRadio[i]); };
    if (i == 1) {
      SoundFileEdit = new TFilenameEdit(this);
      SoundFileEdit->SetParent(this);
      SoundFileEdit->SetBounds(kLeft + 20, y, kColumn - 20, 23);
      // 2. The sound kinds; the dialog starts in the pictures folder.
      SoundFileEdit->SetFilter(SoundFilter());
      SoundFileEdit->SetInitialDir(ImagesFolder());
      SoundFileEdit->OnClick = [this](TObject*) { SoundRadio[1]->SetChecked(true); };
      SoundFileEdit->OnBeforeDialog = [this](TObject*, std::string&, bool&) { SoundRadio[1]->SetChecked(true); };
      y += kRow;
    }
  }
  {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption("Hintergrundfarbe");
    l->SetBounds(kLeft, y + 4, 100, 17);
    ColorEdit = new TEdit(this);
    ColorEdit->SetParent(this);
    ColorEdit->SetBounds(kLeft + 105, y, 80, 23);
    ColorEdit->SetText("000000");
    ColorButton = new TButton(this);
    ColorButton->SetParent(this);
    ColorButton->SetCaption("Farbe ...");
    ColorButton->SetBounds(kLeft + 190, y, 110, 23);
    ColorButton->OnClick = [this](TObject*) { ColorClick(); };
    y += kRow;
  }
  {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption("Zusätzliche Informationen");
    l->SetBounds(kLeft, y, kColumn, 17);
    y += 20;
    InfoList = new TCheckListBox(this);
    InfoList->SetParent(this);
    InfoList->SetBounds(kLeft, y, kColumn, 110);
    for (int i = 0; i < kImageInfoCount; ++i) InfoList->Items().Add(ImageInfoText(tImageInfo(i)));
    y += 115;
  }
  FontDialog1 = new TFontDialog(this);
  TSlideFontItems().ToFont(FontDialog1->Font());
  FontButton = new TButton(this);
  FontButton->SetParent(this);
  FontButton->SetCaption("Schrift-Optionen...");
  FontButton->SetBounds(kLeft, y, 140, 25);
  FontButton->OnClick = [this](TObject*) { FontClick(); };
  FontSizeEdit = AddSpin(kLeft + 150, y, 80, 1, 9999, FontDialog1->Font().Size());
  FontSizeEdit->OnChange = [this](TObject*) { FontDialog1->Font().SetSize(int32_t(FontSizeEdit->Value())); };
  const int32_t leftBottom = y + 35;

  y = 10;
  const char* canvases[3] = {"Vollbild", "Bildgröße", "Größe festlegen:"};
  for (int i = 0; i < 3; ++i) {
    CanvasRadio[i] = AddCheck(canvases[i], kRight, y, i == 0);
    CanvasRadio[i]->OnClick = [this, i](TObject*) { Exclusive(CanvasRadio, 3, CanvasRadio[i]); };
  }
  WidthEdit = AddSpin(kRight + 20, y, 80, 1, 100000, 400);
  HeightEdit = AddSpin(kRight + 110, y, 80, 1, 100000, 400);
  y += kRow;
  NoBorderCheck = AddCheck("kein Fensterrahmen", kRight, y, true);
  HideMouseCheck = AddCheck("Maus verstecken", kRight, y, false);
  MoveCheck = AddCheck("verschiebbar", kRight, y, true);
  IntervalCheck = AddCheck("nächstes Bild nach", kRight, y, true);
  IntervalEdit = AddSpin(kRight + 200, y - kRow, 80, 0, 1000000, 10);
  IntervalEdit->SetValueType(vtFloat);
  IntervalEdit->SetValue(10);
  ForeverCheck = AddCheck("nach Beenden wiederhohlen", kRight, y, true);
  imageSourceframe1 = new TimageSourceframe(this);
  imageSourceframe1->SetName("imageSourceframe1");
  imageSourceframe1->SetParent(this);
  imageSourceframe1->SetBounds(kRight, y, 360, 120);
  // 4. Only the catalog and folder sources: a show plays pictures from files.
  imageSourceframe1->SetKindCount(2);
  // The frame restores its own settings when the window shows; a preset catalog still wins.
  imageSourceframe1->formstorage1->OnRestorePlacement = [this](TObject*) { ApplyPreset(); };
  y += 125;
  for (TCheckBox* c : {EffectsCheck, IntervalCheck}) c->OnClick = [this](TObject*) { updateall(); };

  int32_t by = std::max(leftBottom, y + 10);
  auto button = [&](const std::string& Caption, int32_t Column, int32_t Row) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(kLeft + Column * 157, by + Row * 30, 150, 25);
    return b;
  };
  ShowButton = button("Diashow", 0, 0);
  ShowButton->SetDefault(true);
  ShowButton->OnClick = [this](TObject*) { DiashowClick(); };
  SaveButton = button("Speichern ...", 1, 0);
  SaveButton->OnClick = [this](TObject*) { SaveClick(); };
  WebButton = button("Webseite ...", 2, 0);
  WebButton->OnClick = [this](TObject*) { WebClick(); };
  CDButton = button("Auf CD ...", 3, 0);
  CDButton->OnClick = [this](TObject*) { ExportCDFolder(Settings()); };
  ScreenSaverButton = button("Bildschirmschoner ...", 0, 1);
  ScreenSaverButton->OnClick = [this](TObject*) { ExportScreenSaver(Settings()); };
  ConfigureButton = button("Konfigurieren...", 1, 1);
  ConfigureButton->OnClick = [](TObject*) { ConfigureScreenSaver(); };
  WallpaperButton = button("Hintergrund ...", 2, 1);
  WallpaperButton->OnClick = [this](TObject*) { ExportWallpaperChanger(Settings()); };
  HelpButton = button("&Hilfe", 3, 1);
  HelpButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(4112);
  };
  CloseButton = button("Beenden", 3, 2);
  CloseButton->SetCancel(true);
  CloseButton->SetModalResult(TModalResult(2));
  SetClientSize(std::max(kLeft + 4 * 157, kRight + 370), by + 3 * 30 + 10);

  // 3. The default information set.
  TSlideSettings defaults;
  for (int i = 0; i < kImageInfoCount; ++i) InfoList->SetChecked(i, defaults.Info.Contains(tImageInfo(i)));
  LastCommand.clear();
  updateall();
}

void Tslideform::updateall() {
  EffectTimeEdit->SetEnabled(EffectsCheck->Checked());
  IntervalEdit->SetEnabled(IntervalCheck->Checked());
  WidthEdit->SetEnabled(CanvasRadio[2]->Checked());
  HeightEdit->SetEnabled(CanvasRadio[2]->Checked());
}

TSlideSettings Tslideform::Settings() const {
  TSlideSettings s;
  s.Imagesizemode = ImageSizeBox->ItemIndex();
  s.Anchor = directionframe1->Direction();
  s.Filter = FilterBox->ItemIndex();
  s.Effects = EffectsCheck->Checked();
  s.EffectsTime = int32_t(EffectTimeEdit->Value());
  s.Soundmode = 0;
  for (int i = 0; i < 3; ++i)
    if (SoundRadio[i]->Checked()) s.Soundmode = i;
  s.Color = ColourOfHex(ColorEdit->Text());
  s.Info = tImageInfoset();
  for (int i = 0; i < kImageInfoCount; ++i)
    if (InfoList->Checked(i)) s.Info.Include(tImageInfo(i));
  s.Font.FromFont(FontDialog1->Font());
  s.Canvasmode = 0;
  for (int i = 0; i < 3; ++i)
    if (CanvasRadio[i]->Checked()) s.Canvasmode = i;
  s.Canvasmode2width = int32_t(WidthEdit->Value());
  s.Canvasmode2height = int32_t(HeightEdit->Value());
  s.noBorder = NoBorderCheck->Checked();
  s.Hidemouse = HideMouseCheck->Checked();
  s.Move = MoveCheck->Checked();
  s.IntervalOn = IntervalCheck->Checked();
  s.Interval = IntervalEdit->Value();
  s.forever = ForeverCheck->Checked();
  s.SoundFile = SoundFileEdit->Text();
  // The same fields the frame writes, so the line carries the frame's text.
  const TimageSourceframe& src = *imageSourceframe1;
  s.Source.Kind = src.SourceMode();
  s.Source.Catalog = src.FilenameEdit1->Text();
  s.Source.Dir = src.DirectoryEdit1->Text();
  s.Source.Subdirs = src.CheckBox6->Checked();
  s.Source.Separate = false;
  s.Source.Options = src.options->Text();
  return s;
}

void Tslideform::SetSettings(const TSlideSettings& S) {
  ImageSizeBox->SetItemIndex(std::clamp(S.Imagesizemode, 0, 2));
  directionframe1->SetDirection(S.Anchor);
  FilterBox->SetItemIndex(std::clamp(S.Filter, 0, 6));
  EffectsCheck->SetChecked(S.Effects);
  EffectTimeEdit->SetValue(S.EffectsTime);
  SoundRadio[std::clamp(S.Soundmode, 0, 2)]->SetChecked(true);
  ColorEdit->SetText(HexColour(S.Color));
  for (int i = 0; i < kImageInfoCount; ++i) InfoList->SetChecked(i, S.Info.Contains(tImageInfo(i)));
  S.Font.ToFont(FontDialog1->Font());
  {
    const TNotifyEvent keep = FontSizeEdit->OnChange;
    FontSizeEdit->OnChange = nullptr;
    FontSizeEdit->SetValue(FontDialog1->Font().Size());
    FontSizeEdit->OnChange = keep;
  }
  CanvasRadio[std::clamp(S.Canvasmode, 0, 2)]->SetChecked(true);
  WidthEdit->SetValue(S.Canvasmode2width);
  HeightEdit->SetValue(S.Canvasmode2height);
  NoBorderCheck->SetChecked(S.noBorder);
  HideMouseCheck->SetChecked(S.Hidemouse);
  MoveCheck->SetChecked(S.Move);
  IntervalCheck->SetChecked(S.IntervalOn);
  IntervalEdit->SetValue(S.Interval);
  ForeverCheck->SetChecked(S.forever);
  SoundFileEdit->SetText(S.SoundFile);
  imageSourceframe1->SetParams(ImageSourceParams(S.Source));
  updateall();
}

std::string Tslideform::getSlideShowOKValues() const { return kv::getSlideShowOKValues(Settings()); }
std::string Tslideform::getCmdWithoutSourcesound() const { return kv::getCmdWithoutSourcesound(Settings()); }
std::string Tslideform::getcmdstring() const { return kv::getcmdstring(Settings()); }

void Tslideform::ApplyPreset() {
  if (PresetCatalog.empty()) return;
  imageSourceframe1->SetParams(WriteParamInt("SourceMode", ismCatalog) + WriteParamString("catalog", PresetCatalog) +
                               " " + imageSourceframe1->options->Text());
}

void Tslideform::DiashowClick() {
  LastCommand = getcmdstring();
  if (form1) form1->interpreter(this, LastCommand);
}

void Tslideform::SaveClick() {
  if (MessageDlg("Diese Funktion speichert Ihre Diashow als Batch-Datei.\rSie können die gespeicherte Show jederzeit "
                 "starten, indem Sie die Batch-Datei ausführen.\rBatch-Dateien können Sie im Batch-Fenster ausführen, "
                 "welches Sie im Menu \"Anicht/Batch Fenster\" aktivieren.\r\rMöchten Sie fortfahren?",
                 mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  std::string name;
  const char* prompt = "Bitte geben Sie einen Namen für die Aufnahme an";
  if (!InputQuery(prompt, prompt, name)) return;
  name = Trim(name);
  // The name stays inside the batch folder.
  if (!IsPlainFileName(name)) {
    MessageDlg("Der Name \"" + name + "\" ist kein gültiger Dateiname: er darf weder \"/\" noch \"..\" enthalten.",
               mtError, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  const std::string file = BatchFolder() + name + ".atp";
  if (FileExists(file) && MessageDlg("Die Datei " + file + " existiert bereits.\rMöchten Sie sie ersetzen?", mtConfirmation,
                                     TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return;
  ForceDirectories(BatchFolder());
  WriteTextFile(file, getcmdstring() + "\n");
  if (batchwindowform && batchwindowform->batchlistFrame1) {
    batchwindowform->batchlistFrame1->ReadFileList();
    batchwindowform->batchlistFrame1->updateall();
  }
}

void Tslideform::FontClick() {
  if (!FontDialog1->Execute()) return;
  const TNotifyEvent keep = FontSizeEdit->OnChange;
  FontSizeEdit->OnChange = nullptr;
  FontSizeEdit->SetValue(FontDialog1->Font().Size());
  FontSizeEdit->OnChange = keep;
}

void Tslideform::ColorClick() {
  TColorDialog d(nullptr);
  d.SetColor(ColourOfHex(ColorEdit->Text()));
  if (d.Execute()) ColorEdit->SetText(HexColour(d.Color()));
}

void Tslideform::WebClick() { ExportHtmlGallery(Settings()); }

void ShowSlideShowSetup(const std::string& CatalogFile) {
  auto form = std::make_unique<Tslideform>(nullptr);
  form->PresetCatalog = CatalogFile;
  form->ApplyPreset();
  form->ShowModal();
}

}  // namespace kv
