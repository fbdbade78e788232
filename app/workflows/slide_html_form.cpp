// The settings window of the HTML gallery and the export it starts.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "app/helpers/folder_helpers.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/workflows/auto_save.h"
#include "app/workflows/slide_html.h"
#include "app/workflows/slide_text_file.h"
#include "components/controls/kv_spin.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/process.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/color_dialog.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/memo.h"
#include "platform/ui/page_control.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr int32_t kLabelW = 170, kEditW = 260, kRow = 28;

uint32_t HexValue(const TEdit* E, uint32_t Default) {
  return uint32_t(StrToIntDef("$" + Trim(E->Text()), int32_t(Default))) & 0xFFFFFF;
}

std::string Hex(uint32_t V) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%06X", V & 0xFFFFFF);
  return buf;
}

std::vector<std::string> MemoLines(const TMemo* M) {
  TStringList l;
  M->GetLines(l);
  std::vector<std::string> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Get(i));
  return v;
}

void SetMemoLines(TMemo* M, const std::vector<std::string>& Lines) {
  TStringList l;
  for (const std::string& s : Lines) l.Add(s);
  M->SetLines(l);
}

}  // namespace

Tslidehtmlform::Tslidehtmlform(TComponent* AOwner) : TForm(AOwner) {
  SetName("slidehtmlform");
  SetCaption("Diashow-Webseite generieren");
  SetPosition(poScreenCenter);
  SetClientSize(kLabelW + kEditW + 40, 470);
  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetBounds(5, 5, ClientWidth() - 10, 380);
  const char* names[9] = {"Tabellenseite", "Tabelleninhalt", "Vor Tabelle", "Nach Tabelle", "Bildseite",
                          "Bildoptionen",  "Vor Bild",       "Nach Bild",    "Allgemein"};
  int32_t y[9] = {};
  for (int i = 0; i < 9; ++i) {
    Pages[i] = new TTabSheet(this);
    Pages[i]->SetCaption(names[i]);
    Pages[i]->SetPageControl(PageControl1);
    y[i] = 10;
  }
  auto label = [&](int P, const std::string& Caption) {
    auto* l = new TLabel(this);
    l->SetParent(Pages[P]);
    l->SetCaption(Caption);
    l->SetBounds(10, y[P] + 4, kLabelW - 10, 17);
  };
  auto spin = [&](int P, const std::string& Caption, double Min, double Max, double Value) {
    label(P, Caption);
    auto* e = new TKvSpinEdit(this);
    e->SetParent(Pages[P]);
    e->SetBounds(kLabelW, y[P], 90, 23);
    e->SetMinValue(Min);
    e->SetMaxValue(Max);
    e->SetValue(Value);
    y[P] += kRow;
    return e;
  };
  auto edit = [&](int P, const std::string& Caption) {
    label(P, Caption);
    auto* e = new TEdit(this);
    e->SetParent(Pages[P]);
    e->SetBounds(kLabelW, y[P], kEditW, 23);
    y[P] += kRow;
    return e;
  };
  auto check = [&](int P, const std::string& Caption) {
    auto* c = new TCheckBox(this);
    c->SetParent(Pages[P]);
    c->SetCaption(Caption);
    c->SetBounds(10, y[P], kLabelW + kEditW - 10, 21);
    y[P] += kRow;
    return c;
  };
  auto memo = [&](int P) {
    auto* m = new TMemo(this);
    m->SetParent(Pages[P]);
    m->SetBounds(10, 10, kLabelW + kEditW, 320);
    return m;
  };
  auto colour = [&](int P, const std::string& Caption) {
    TEdit* e = edit(P, Caption);
    e->SetWidth(90);
    auto* b = new TButton(this);
    b->SetParent(Pages[P]);
    b->SetCaption("Farbe holen ...");
    b->SetBounds(kLabelW + 100, y[P] - kRow, 120, 23);
    b->OnClick = [e](TObject*) {
      TColorDialog d(nullptr);
      const uint32_t rgb = HexValue(e, 0);
      d.SetColor(TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF)));
      if (!d.Execute()) return;
      const uint32_t c = uint32_t(d.Color()) & 0xFFFFFF;
      e->SetText(Hex(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF)));
    };
    return e;
  };

  TPbs = spin(0, "Rahmenbreite", 0, 100, 0);
  TPcp = spin(0, "Freiraum", 0, 100, 4);
  TPnc = spin(0, "Anzahl Spalten", 1, 999, 5);
  TPpt = edit(0, "Titel");
  TPt = edit(0, "Titel der Tabelle");
  TPfn = edit(0, "Dateiname");
  TCst = check(1, "Thumbnail anzeigen");
  TCbs = spin(1, "Rahmenbreite", 0, 100, 2);
  TCss = check(1, "Gleiche Größe:");
  TCw = spin(1, "Breite", 1, 10000, 100);
  TCh = spin(1, "Höhe", 1, 10000, 100);
  TCew = check(1, "Extra Fenster für Originalbild aufmachen");
  TCoo = check(1, "Nur ein Extra Fenster");
  {
    auto* l = new TLabel(this);
    l->SetParent(Pages[1]);
    l->SetCaption("Zusätzliche Informationen");
    l->SetBounds(10, y[1], kLabelW, 17);
    y[1] += 20;
    InfoList = new TCheckListBox(this);
    InfoList->SetParent(Pages[1]);
    InfoList->SetBounds(10, y[1], kLabelW + kEditW - 10, 110);
    for (int i = 0; i < kImageInfoCount; ++i) InfoList->Items().Add(ImageInfoText(tImageInfo(i)));
    InfoList->SetChecked(0, true);
  }
  BT = memo(2);
  AT = memo(3);
  IPbs = spin(4, "Rahmenbreite", 0, 100, 2);
  IPt = edit(4, "Überschrift");
  IPnb = check(5, "Navigationsleiste");
  IPnp = edit(5, "Nächstes Bild");
  IPpp = edit(5, "Vorheriges Bild");
  IPtn = edit(5, "Übersicht");
  IPfp = edit(5, "Erstes Bild");
  IPlp = edit(5, "Letztes Bild");
  IOca = check(5, "Alle Bilder in JPG konvertieren");
  ParamsButton = new TButton(this);
  ParamsButton->SetParent(Pages[5]);
  ParamsButton->SetCaption("Parameter...");
  ParamsButton->SetBounds(10, y[5], 120, 25);
  ParamsButton->OnClick = [this](TObject*) { ParamsButtonClick(); };
  y[5] += kRow;
  BI = memo(6);
  AI = memo(7);
  GRbc = colour(8, "Hintergrundfarbe");
  GRtc = colour(8, "Textfarbe");
  GRlc = colour(8, "Linkfarbe");
  GRlv = colour(8, "Besuchter Link");
  GRbl = edit(8, "Zurück-Link");
  GRbt = edit(8, "Zurück-Text");
  GRbi = edit(8, "Hintergrundbild");
  SD = edit(8, "Ordnername");
  MD = edit(8, "Verzeichnis");

  auto button = [&](const std::string& Caption, int32_t X, int32_t Y) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(X, Y, 150, 25);
    return b;
  };
  GenerateButton = button("Webseite generieren", 5, 395);
  GenerateButton->SetDefault(true);
  GenerateButton->SetModalResult(mrOk);
  button("Abbrechen", 160, 395)->SetModalResult(mrCancel);
  TButton* save = button("Einstellungen speichern", 5, 430);
  save->OnClick = [this](TObject*) {
    TFileDialogRequest r;
    r.Save = true;
    r.OverwritePrompt = true;
    r.Filter = AddAllFilesFilter("SlideHTML|*.sht|");
    r.DefaultExt = "sht";
    r.InitialDir = BatchFolder();
    TFileDialogResult res;
    if (RunFileDialog(r, res) && !res.Files.empty()) SaveSettingsFile(res.Files[0]);
  };
  TButton* load = button("Einstellungen laden", 160, 430);
  load->OnClick = [this](TObject*) {
    TFileDialogRequest r;
    r.FileMustExist = true;
    r.Filter = AddAllFilesFilter("SlideHTML|*.sht|");
    r.DefaultExt = "sht";
    r.InitialDir = BatchFolder();
    TFileDialogResult res;
    if (RunFileDialog(r, res) && !res.Files.empty()) LoadSettingsFile(res.Files[0]);
  };

  SetSettings(THtmlSettings());
  FStore = new tformstorage1(this);
  FStore->SetName("formstorage1");
  FStore->StoredValues().Add()->SetName("Params");
  FStore->BeforeStorage = [this](TObject*) {
    if (TStoredValue* v = FStore->StoredValues().FindValue("Params")) v->SetValue(TVariant(WriteHtmlSettings(Settings())));
  };
  FStore->OnRestorePlacement = [this](TObject*) {
    TStoredValue* v = FStore->StoredValues().FindValue("Params");
    if (!v || v->Value().VarType() == varEmpty) return;
    THtmlSettings h = Settings();
    ReadHtmlSettings(v->Value().AsString(), h);
    SetSettings(h);
  };
}

THtmlSettings Tslidehtmlform::Settings() const {
  THtmlSettings h;
  h.TPbs = int32_t(TPbs->Value());
  h.TPcp = int32_t(TPcp->Value());
  h.TPnc = int32_t(TPnc->Value());
  h.TPpt = TPpt->Text();
  h.TPt = TPt->Text();
  h.TPfn = TPfn->Text();
  h.TCst = TCst->Checked();
  h.TCbs = int32_t(TCbs->Value());
  h.TCss = TCss->Checked();
  h.TCw = int32_t(TCw->Value());
  h.TCh = int32_t(TCh->Value());
  h.TCew = TCew->Checked();
  h.TCoo = TCoo->Checked();
  h.Filetypes = Filetypes;
  h.IPbs = int32_t(IPbs->Value());
  h.IPt = IPt->Text();
  h.IPnb = IPnb->Checked();
  h.IPnp = IPnp->Text();
  h.IPpp = IPpp->Text();
  h.IPtn = IPtn->Text();
  h.IPfp = IPfp->Text();
  h.IPlp = IPlp->Text();
  h.IOca = IOca->Checked();
  h.GRbc = HexValue(GRbc, 0xA0A0A0);
  h.GRtc = HexValue(GRtc, 0);
  h.GRlc = HexValue(GRlc, 0xFF);
  h.GRlv = HexValue(GRlv, 0x69);
  h.GRbl = GRbl->Text();
  h.GRbt = GRbt->Text();
  h.GRbi = GRbi->Text();
  h.BT = MemoLines(BT);
  h.AT = MemoLines(AT);
  h.BI = MemoLines(BI);
  h.AI = MemoLines(AI);
  h.SD = SD->Text();
  h.MD = MD->Text();
  h.JpegParams = JpegParams;
  return h;
}

void Tslidehtmlform::SetSettings(const THtmlSettings& h) {
  TPbs->SetValue(h.TPbs);
  TPcp->SetValue(h.TPcp);
  TPnc->SetValue(h.TPnc);
  TPpt->SetText(h.TPpt);
  TPt->SetText(h.TPt);
  TPfn->SetText(h.TPfn);
  TCst->SetChecked(h.TCst);
  TCbs->SetValue(h.TCbs);
  TCss->SetChecked(h.TCss);
  TCw->SetValue(h.TCw);
  TCh->SetValue(h.TCh);
  TCew->SetChecked(h.TCew);
  TCoo->SetChecked(h.TCoo);
  Filetypes = h.Filetypes;
  IPbs->SetValue(h.IPbs);
  IPt->SetText(h.IPt);
  IPnb->SetChecked(h.IPnb);
  IPnp->SetText(h.IPnp);
  IPpp->SetText(h.IPpp);
  IPtn->SetText(h.IPtn);
  IPfp->SetText(h.IPfp);
  IPlp->SetText(h.IPlp);
  IOca->SetChecked(h.IOca);
  GRbc->SetText(Hex(h.GRbc));
  GRtc->SetText(Hex(h.GRtc));
  GRlc->SetText(Hex(h.GRlc));
  GRlv->SetText(Hex(h.GRlv));
  GRbl->SetText(h.GRbl);
  GRbt->SetText(h.GRbt);
  GRbi->SetText(h.GRbi);
  SetMemoLines(BT, h.BT);
  SetMemoLines(AT, h.AT);
  SetMemoLines(BI, h.BI);
  SetMemoLines(AI, h.AI);
  SD->SetText(h.SD);
  MD->SetText(h.MD);
  JpegParams = h.JpegParams;
}

tImageInfoset Tslidehtmlform::ThumbInfo() const {
  tImageInfoset s;
  for (int i = 0; i < kImageInfoCount; ++i)
    if (InfoList->Checked(i)) s.Include(tImageInfo(i));
  return s;
}

void Tslidehtmlform::SaveSettingsFile(const std::string& FileName) const {
  WriteTextFile(FileName, WriteHtmlSettings(Settings()) + "\n");
}

void Tslidehtmlform::LoadSettingsFile(const std::string& FileName) {
  if (!FileExists(FileName)) return;
  TStringList l;
  l.LoadFromFile(FileName);
  if (l.Count() == 0) return;
  THtmlSettings h = Settings();
  ReadHtmlSettings(l.Get(0), h);
  SetSettings(h);
}

void Tslidehtmlform::ShowPagesFor(bool Overview, bool PicturePages) {
  for (int i = 0; i < 4; ++i) Pages[i]->SetTabVisible(Overview);
  for (int i = 4; i < 8; ++i) Pages[i]->SetTabVisible(PicturePages);
}

void Tslidehtmlform::ParamsButtonClick() {
  if (EditFormatParams(JpegParams, "JPG")) JpegParams = Trim(JpegParams);
}

void ExportHtmlGallery(const TSlideSettings& Show) {
  THtmlExportJob job;
  const TModalResult first = MessageDlg(
      "Diese Funktion erstellt aus Ihrer Diashow Webseiten, die Sie in das Internet hochladen können.\r\rWenn Sie "
      "möchten, kann auch eine Übersichtsseite Ihrer Bilder erstellt werden. Es werden kleine Vorschaubilder gezeigt "
      "und man\rgelangt zum richtigen Bild, indem man auf das Vorschaubild drückt.\r\rMöchten Sie auch eine "
      "Übersichtsseite erstellen?",
      mtConfirmation, mbYesNoCancel, 0);
  if (first == mrCancel) return;
  job.Overview = first == mrYes;
  job.PicturePages = true;
  if (job.Overview) {
    const TModalResult second = MessageDlg(
        "Durch drücken auf ein Vorschaubild der Übersichtsseite kann entweder nur das große Bild gezeigt werden,\roder "
        "es kann eine zusätliche Seite für jedes Bild geladen werden. Die zusätzliche Seite ist notwendig, wenn "
        "Sie\rdie Diashow Funktionen wie z.B \"Zusatzinformationen\" oder \"automatischer Wechsel zum nächsten Bild\" "
        "nutzen möchten.\r\rMöchten Sie eine zusätzliche Seite für jedes Bild erstellen?",
        mtConfirmation, mbYesNoCancel, 0);
    if (second == mrCancel) return;
    job.PicturePages = second == mrYes;
  }
  auto form = std::make_unique<Tslidehtmlform>(nullptr);
  form->ShowPagesFor(job.Overview, job.PicturePages);
  if (form->ShowModal() != mrOk) return;
  job.Show = getcmdstring(Show);
  job.Settings = form->Settings();
  job.ThumbInfo = form->ThumbInfo();
  const std::string target = HtmlGalleryFolder(job.Settings);
  if (DirectoryExists(target) &&
      MessageDlg("Hinweis: Das Verzeichnis " + target +
                     " existiert bereits, es sollte auf jeden Fall leer sein. Bitte löschen Sie das Verzeichnis bevor "
                     "Sie weitermachen.",
                 mtWarning, mbOKCancel, 0) != mrOk)
    return;
  // The main window's progress bar follows the pictures, and its abort test
  // (Escape, seen while messages run) ends the page loop after a thumbnail.
  std::atomic<bool> abort{false};
  job.Abort = &abort;
  job.OnProgress = [&abort](int32_t Done, int32_t Count) {
    if (form1 && form1->onprogressany(nullptr, Done * 100 / std::max(1, Count))) abort = true;
  };
  struct TProgressReset {
    ~TProgressReset() {
      if (form1) form1->PercentProc(0);
    }
  } reset;
  const THtmlExportResult r = WriteHtmlGallery(job);
  if (!r.Failed.empty()) {
    std::string list;
    for (const std::string& f : r.Failed) list += "\r" + f;
    MessageDlg("Folgende Dateien konnten nicht übernommen werden:" + list, mtError, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  ShowMessage("Die Webseiten wurden erstellt, Sie können das Verzeichnis nun in das Internet hochladen.\rSie können "
              "vorher die Datei " +
              r.FirstPage + " im Verzeichnis laden, um das Ergebnis zu kontrollieren");
  ShellOpen(r.Folder);
}

}  // namespace kv
