#include "app/batch/batch_list_frame.h"

#include <algorithm>
#include <filesystem>

#include "app/actions/main_actions.h"
#include "app/batch/batch_recorder.h"
#include "app/helpers/folder_helpers.h"
#include "app/main/main_form.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/process.h"
#include "platform/ui/application.h"
#include "platform/ui/actions.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/panel.h"
#include "platform/ui/speed_button.h"

namespace kv {

TBatchButtons EnabledBatchButtons(uint8_t State) {
  switch (State) {
    case 0: return {bbPlay, bbRecord};
    case 1: return {bbPause, bbStop};
    case 2: return {bbPlay, bbStop};
    case 3: return {bbStop, bbRecord};
    case 4: return {bbPause, bbStop};
    default: return {};
  }
}

std::vector<std::string> ListBatchPrograms(const std::string& Folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(Folder, ec), end;
  // A folder that cannot be read gives an empty list, not an error.
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (SameText(ExtractFileExt(name), ".atp")) names.push_back(name);
  }
  if (ec) names.clear();
  std::sort(names.begin(), names.end(), [](const std::string& A, const std::string& B) {
    const std::string a = LowerCase(A), b = LowerCase(B);
    return a != b ? a < b : A < B;
  });
  return names;
}

void TBatchFileListBox::PaintItem(TCanvas& C, int32_t Index, const TRect& R, bool Selected) {
  constexpr int32_t kIcon = 18;
  TCustomListBox::PaintItem(C, Index, Rect(R.Left + kIcon, R.Top, R.Right, R.Bottom), Selected);
  C.Brush().SetColor(Color());
  C.FillRect(Rect(R.Left, R.Top, R.Left + kIcon, R.Bottom));
  // A sheet of text with a folded corner.
  const int32_t x = R.Left + 3, y = R.Top + std::max(0, (R.Height() - 14) / 2);
  C.Pen().SetColor(clGray);
  C.Brush().SetColor(clWhite);
  C.Polygon({Point(x, y), Point(x + 8, y), Point(x + 11, y + 3), Point(x + 11, y + 13), Point(x, y + 13)});
  C.Pen().SetColor(clNavy);
  for (int32_t line = y + 5; line <= y + 10; line += 2) {
    C.MoveTo(x + 2, line);
    C.LineTo(x + 9, line);
  }
}

namespace {

// Pictures for the recorder buttons, drawn here.
void DrawMediaGlyph(TBatchButton Button, TBitmap& Glyph) {
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, 16, 16));
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(Button == bbRecord ? clRed : clBlack);
  switch (Button) {
    case bbPlay: c.Polygon({Point(4, 2), Point(12, 8), Point(4, 14)}); break;
    case bbPause:
      c.FillRect(Rect(4, 3, 7, 14));
      c.FillRect(Rect(9, 3, 12, 14));
      break;
    case bbStop: c.FillRect(Rect(4, 4, 12, 12)); break;
    case bbRecord: c.Ellipse(3, 3, 13, 13); break;
  }
}

}  // namespace

TbatchlistFrame::TbatchlistFrame(TComponent* AOwner) : TFrame(AOwner) {
  SetName("batchlistFrame");
  SetBounds(0, 0, 200, 220);

  MediaPanel = new TPanel(this);
  MediaPanel->SetName("MediaPlayer1");
  MediaPanel->SetParent(this);
  MediaPanel->SetAlign(alTop);
  MediaPanel->SetHeight(28);
  MediaPanel->SetBevelOuter(bvNone);
  const struct {
    TBatchButton Kind;
    const char* Name;
    const char* Hint;
    TSpeedButton** Field;
    void (TbatchlistFrame::*Click)(TObject*);
  } media[] = {
      {bbPlay, "PlayButton", "Abspielen", &PlayButton, &TbatchlistFrame::PlayClick},
      {bbPause, "PauseButton", "Aufnahme Pause", &PauseButton, &TbatchlistFrame::PauseClick},
      {bbStop, "StopButton", "Aufnahme stoppen", &StopButton, &TbatchlistFrame::StopClick},
      {bbRecord, "RecordButton", "Neu aufnehmen", &RecordButton, &TbatchlistFrame::RecordClick},
  };
  int32_t left = 2;
  for (const auto& m : media) {
    auto* b = new TSpeedButton(this);
    b->SetName(m.Name);
    b->SetParent(MediaPanel);
    b->SetBounds(left, 2, 26, 24);
    TBitmap glyph(16, 16, pf24bit);
    DrawMediaGlyph(m.Kind, glyph);
    b->SetGlyph(glyph);
    b->SetHint(m.Hint);
    b->SetShowHint(true);
    b->OnClick = [this, click = m.Click](TObject* Sender) { (this->*click)(Sender); };
    *m.Field = b;
    left += 27;
  }

  ButtonPanel = new TPanel(this);
  ButtonPanel->SetName("ButtonPanel");
  ButtonPanel->SetParent(this);
  ButtonPanel->SetAlign(alBottom);
  ButtonPanel->SetHeight(30);
  ButtonPanel->SetBevelOuter(bvNone);
  const struct {
    const char* Name;
    const char* Caption;
    TButton** Field;
    void (TbatchlistFrame::*Click)(TObject*);
  } buttons[] = {
      {"BatchButton", "Batch...", &BatchButton, &TbatchlistFrame::BatchButtonClick},
      {"EditButton", "Edit...", &EditButton, &TbatchlistFrame::EditButtonClick},
      {"DeleteButton", "Löschen", &DeleteButton, &TbatchlistFrame::DeleteButtonClick},
  };
  left = 2;
  for (const auto& d : buttons) {
    auto* b = new TButton(this);
    b->SetName(d.Name);
    b->SetParent(ButtonPanel);
    b->SetBounds(left, 3, 64, 24);
    b->SetCaption(d.Caption);
    b->OnClick = [this, click = d.Click](TObject* Sender) { (this->*click)(Sender); };
    *d.Field = b;
    left += 66;
  }

  FileListBox1 = new TBatchFileListBox(this);
  FileListBox1->SetName("FileListBox1");
  FileListBox1->SetParent(this);
  FileListBox1->SetAlign(alClient);

  ReadFileList();
  updateall();
}

void TbatchlistFrame::updateall() {
  const TBatchButtons on = EnabledBatchButtons(form1 ? uint8_t(form1->Recorder().State()) : uint8_t(rsIdle));
  PlayButton->SetEnabled(on.Contains(bbPlay));
  PauseButton->SetEnabled(on.Contains(bbPause));
  StopButton->SetEnabled(on.Contains(bbStop));
  RecordButton->SetEnabled(on.Contains(bbRecord));
  if (FileListBox1->Items().Count() > 0 && FileListBox1->ItemIndex() < 0) FileListBox1->SetItemIndex(0);
}

void TbatchlistFrame::ReadFileList() {
  const int32_t old = FileListBox1->ItemIndex();
  const std::string selected = old >= 0 && old < FileListBox1->Items().Count() ? FileListBox1->Items().Get(old) : "";
  TStrings& items = FileListBox1->Items();
  items.BeginUpdate();
  items.Clear();
  for (const std::string& name : ListBatchPrograms(BatchFolder())) items.Add(name);
  items.EndUpdate();
  FileListBox1->SetItemIndex(selected.empty() ? -1 : items.IndexOf(selected));
}

std::string TbatchlistFrame::SelectedProgram() const {
  const int32_t i = FileListBox1->ItemIndex();
  if (i < 0 || i >= FileListBox1->Items().Count()) return {};
  return BatchFolder() + FileListBox1->Items().Get(i);
}

void TbatchlistFrame::PlayClick(TObject*) {
  const std::string program = SelectedProgram();
  if (!program.empty() && form1) {
    try {
      form1->playbatch(program);
    } catch (...) {
      // The failing line has been shown by the interpreter, its reason is
      // shown here; the batch stops there.
      Application->HandleException(this);
    }
  }
  updateall();
}

void TbatchlistFrame::RunMainAction(const char* Name) {
  if (form1)
    if (TAction* action = MainAction(*form1, Name)) action->Execute();
  updateall();
}

void TbatchlistFrame::PauseClick(TObject*) { RunMainAction("batchpause"); }
void TbatchlistFrame::StopClick(TObject*) { RunMainAction("batchstop"); }
void TbatchlistFrame::RecordClick(TObject*) { RunMainAction("batchnew"); }
void TbatchlistFrame::BatchButtonClick(TObject*) { RunMainAction("batchaction"); }

void TbatchlistFrame::EditButtonClick(TObject*) {
  const std::string program = SelectedProgram();
  if (program.empty()) return;
  if (!ShellOpen(program))
    MessageDlg(Format("\"%s\" konnte nicht im Texteditor geöffnet werden.", program), mtError, TMsgDlgButtons{mbOK}, 0);
}

void TbatchlistFrame::DeleteButtonClick(TObject*) {
  const std::string program = SelectedProgram();
  if (program.empty()) return;
  if (MessageDlg("Sind Sie sicher, dass Sie die Aufnahme-Datei löschen möchten?", mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  if (!DeleteFile(program))
    MessageDlg(Format("\"%s\" konnte nicht gelöscht werden.", program), mtError, TMsgDlgButtons{mbOK}, 0);
  ReadFileList();
  updateall();
}

}  // namespace kv
