// File and folder edits.
#include "components/controls/file_dir_edit.h"

#include <algorithm>

#include "components/str_utils.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/drop_files.h"
#include "platform/ui/folder_dialog.h"

namespace kv {

namespace {
const char* const kDefaultFilter = "Alle Dateien (*.*)|*.*";
const char* const kDefaultTitle = "Durchsuchen";
constexpr size_t kMaxDroppedName = 255;

// A name with a blank goes in double quotes, so the text reads back as one item.
std::string QuotedIfBlank(const std::string& Name) {
  if (Name.find(' ') != std::string::npos && (Name.empty() || Name[0] != '"')) return '"' + Name + '"';
  return Name;
}

// One pair of quotes around a dropped name goes; the rest is the name.
std::string Unquoted(std::string Name) {
  if (Name.size() >= 2 && Name.front() == '"' && Name.back() == '"') Name = Name.substr(1, Name.size() - 2);
  return Name;
}

std::vector<std::string> SplitDirs(const std::string& Text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i <= Text.size(); ++i)
    if (i == Text.size() || Text[i] == ';') {
      out.push_back(Text.substr(start, i - start));
      start = i + 1;
    }
  return out;
}

std::string FirstItem(const std::string& Text) {
  std::string program, params;
  SplitProgramAndParams(Text, program, params);
  return program;
}
}  // namespace

bool FileNameIsValid(const std::string& Name) {
  if (Name.empty()) return false;
  for (unsigned char ch : Name)
    if (ch < 32 || ch == '*' || ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|') return false;
  return true;
}

void MakeFileEditGlyph(TBitmap& Glyph) {
  // An open folder, 14 x 12, on transparent olive.
  Glyph.SetSize(14, 12);
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clOlive);
  c.FillRect(Rect(0, 0, 14, 12));
  c.Brush().SetColor(clYellow);
  c.FillRect(Rect(1, 3, 12, 11));
  c.Brush().SetColor(clBlack);
  c.FrameRect(Rect(0, 2, 13, 12));
  c.FrameRect(Rect(0, 1, 5, 3));
  c.Pen().SetColor(clBlack);
  c.MoveTo(3, 6);
  c.LineTo(13, 6);
}

// ---- TFileDirEdit ----

TFileDirEdit::TFileDirEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) { SetGlyphKind(gkDefault); }

TFileDirEdit::~TFileDirEdit() {
  if (FAcceptFiles && HandleAllocated()) AcceptDropFiles(this, nullptr);
}

void TFileDirEdit::DefaultGlyph(TBitmap& Glyph) { MakeFileEditGlyph(Glyph); }

void TFileDirEdit::SetAcceptFiles(bool Value) {
  if (Value == FAcceptFiles) return;
  FAcceptFiles = Value;
  UpdateDropTarget();
}

void TFileDirEdit::UpdateDropTarget() {
  if (!HandleAllocated()) return;
  if (!FAcceptFiles) {
    AcceptDropFiles(this, nullptr);
    return;
  }
  AcceptDropFiles(this, [this](TObject*, const TStrings& Files) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < Files.Count(); ++i) names.push_back(Files.Get(i));
    FilesDropped(names);
  });
}

void TFileDirEdit::CreateWnd() {
  TCustomComboEdit::CreateWnd();
  UpdateDropTarget();
}

void TFileDirEdit::FilesDropped(const std::vector<std::string>& Files) {
  ClearFileList();
  const size_t n = FMultipleDirs ? Files.size() : std::min<size_t>(Files.size(), 1);
  for (size_t i = 0; i < n; ++i) {
    std::string name = Unquoted(Files[i]);
    if (name.size() > kMaxDroppedName) name.resize(kMaxDroppedName);
    ReceptFileDir(name);
  }
  if (OnDropFiles) OnDropFiles(this);
}

void TFileDirEdit::DoAfterDialog(std::string& FileName, bool& Action) {
  if (OnAfterDialog) OnAfterDialog(this, FileName, Action);
}

void TFileDirEdit::DoBeforeDialog(std::string& FileName, bool& Action) {
  if (OnBeforeDialog) OnBeforeDialog(this, FileName, Action);
}

const TPropertyTable& TFileDirEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TFileDirEdit>(TCustomComboEdit::PropertyTable(), [](auto& p) {
    p.Bool("AcceptFiles", &TFileDirEdit::AcceptFiles, &TFileDirEdit::SetAcceptFiles);
    p.Method("OnBeforeDialog");
    p.Method("OnAfterDialog");
    p.Method("OnDropFiles");
  });
  return table;
}

// ---- TFilenameEdit ----

TFilenameEdit::TFilenameEdit(TComponent* AOwner)
    : TFileDirEdit(AOwner), FFilter(kDefaultFilter), FDialogTitle(kDefaultTitle) {}

std::string TFilenameEdit::FileName() const {
  if (FileExists(FText)) return FText;
  return FirstItem(FText);
}

void TFilenameEdit::SetFileName(const std::string& Value) {
  if (!Value.empty() && !FileNameIsValid(FirstItem(Value)))
    throw EInvalidFileName(Format("Ungültiger Dateiname - %s", Value));
  SetText(QuotedIfBlank(Value));
  ClearFileList();
}

void TFilenameEdit::SetDialogOptions(TOpenOptions Value) {
  FDialogOptions = Value;
  FMultipleDirs = Value.Contains(ofAllowMultiSelect);
}

std::string TFilenameEdit::LongName() const { return ToLongPath(FileName()); }

std::string TFilenameEdit::ShortName() const { return ToShortPath(FileName()); }

std::string TFilenameEdit::DialogFilter() const {
  std::string out;
  for (const auto& [description, pattern] : SplitDialogFilter(FFilter)) {
    if (Trim(pattern).empty()) continue;  // an entry without a pattern would show nothing
    if (!out.empty()) out += '|';
    out += (description.empty() ? pattern : description) + '|' + pattern;
  }
  return out.empty() ? kDefaultFilter : out;
}

void TFilenameEdit::ButtonClick() {
  TFileDirEdit::ButtonClick();
  std::string temp = FileName();
  bool action = true;
  DoBeforeDialog(temp, action);
  if (!action) return;
  TFileDialogRequest r;
  r.Save = FDialogKind == dkSave || FDialogKind == dkSavePicture;
  r.MultiSelect = FDialogOptions.Contains(ofAllowMultiSelect);
  r.FileMustExist = FDialogOptions.Contains(ofFileMustExist);
  r.OverwritePrompt = FDialogOptions.Contains(ofOverwritePrompt);
  r.Title = FDialogTitle;
  r.Filter = DialogFilter();
  r.FilterIndex = FFilterIndex;
  r.DefaultExt = FDefaultExt;
  r.History = FHistoryList;
  // A name the dialog cannot take (wildcards, a filter's separator) is not handed over.
  if (FileNameIsValid(temp)) {
    const std::string dir = ExtractFileDir(temp);
    if (!dir.empty() && DirectoryExists(dir)) FInitialDir = dir;
    const std::string file = ExtractFileName(temp);
    r.FileName = file.empty() || !FileNameIsValid(file) ? std::string() : temp;
  }
  r.InitialDir = FInitialDir;
  TFileDialogResult result;
  action = RunFileDialog(r, result) && !result.Files.empty();
  if (action) {
    temp = result.Files.front();
    FFilterIndex = result.FilterIndex;
  }
  if (CanFocus()) SetFocus();
  DoAfterDialog(temp, action);
  if (!action) return;
  SetText(QuotedIfBlank(temp));
  FModified = true;
  FFiles = r.MultiSelect ? result.Files : std::vector<std::string>();
  if (!result.Files.empty()) FInitialDir = ExtractFileDir(result.Files.front());
  // The newest name first, each once.
  FHistoryList.erase(std::remove(FHistoryList.begin(), FHistoryList.end(), temp), FHistoryList.end());
  FHistoryList.insert(FHistoryList.begin(), temp);
}

void TFilenameEdit::ReceptFileDir(const std::string& AFileName) {
  if (FFiles.empty()) SetFileName(AFileName);
  if (FMultipleDirs) FFiles.push_back(AFileName);
}

const TPropertyTable& TFilenameEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TFilenameEdit>(TFileDirEdit::PropertyTable(), [](auto& p) {
    p.Enum("DialogKind", &TFilenameEdit::DialogKind, &TFilenameEdit::SetDialogKind,
           {"dkOpen", "dkSave", "dkOpenPicture", "dkSavePicture"});
    p.String("DefaultExt", &TFilenameEdit::DefaultExt, &TFilenameEdit::SetDefaultExt);
    p.Enum("FileEditStyle", &TFilenameEdit::FileEditStyle, &TFilenameEdit::SetFileEditStyle,
           {"fsEdit", "fsComboBox"});
    p.String("FileName", &TFilenameEdit::FileName, &TFilenameEdit::SetFileName);
    p.String("Filter", &TFilenameEdit::Filter, &TFilenameEdit::SetFilter);
    p.Integer("FilterIndex", &TFilenameEdit::FilterIndex, &TFilenameEdit::SetFilterIndex);
    p.String("InitialDir", &TFilenameEdit::InitialDir, &TFilenameEdit::SetInitialDir);
    p.String("DialogTitle", &TFilenameEdit::DialogTitle, &TFilenameEdit::SetDialogTitle);
  });
  return table;
}

// ---- TDirectoryEdit ----

TDirectoryEdit::TDirectoryEdit(TComponent* AOwner) : TFileDirEdit(AOwner) {}

std::string TDirectoryEdit::LongName() const {
  std::string out;
  for (const std::string& d : SplitDirs(FText)) {
    const std::string l = ToLongPath(d);
    if (l.empty()) continue;
    if (!out.empty()) out += ';';
    out += l;
  }
  return out;
}

std::string TDirectoryEdit::ShortName() const {
  std::string out;
  for (const std::string& d : SplitDirs(FText)) {
    const std::string s = ToShortPath(d);
    if (s.empty()) continue;
    if (!out.empty()) out += ';';
    out += s;
  }
  return out;
}

void TDirectoryEdit::ButtonClick() {
  TFileDirEdit::ButtonClick();
  std::string temp = FText;
  bool action = true;
  DoBeforeDialog(temp, action);
  if (!action) return;
  if (temp.empty()) temp = FInitialDir.empty() ? "/" : FInitialDir;
  if (!DirectoryExists(temp)) temp = "/";
  TFolderDialogRequest r;
  r.Root = temp;
  if (FDialogKind == dkWin32) r.Text = FDialogText;
  std::string chosen;
  action = BrowseForFolder(r, chosen);
  if (action) temp = chosen;
  if (CanFocus()) SetFocus();
  DoAfterDialog(temp, action);
  if (!action) return;
  SetSelLength(0);
  SetText(FMultipleDirs && !FText.empty() ? FText + ";" + temp : temp);
  FModified = true;
  if (DirectoryExists(temp)) FInitialDir = temp;
}

void TDirectoryEdit::ReceptFileDir(const std::string& AFileName) {
  const std::string dir = FileExists(AFileName) ? ExtractFileDir(AFileName) : AFileName;
  SetText(FMultipleDirs && !FText.empty() ? FText + ";" + dir : dir);
}

const TPropertyTable& TDirectoryEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TDirectoryEdit>(TFileDirEdit::PropertyTable(), [](auto& p) {
    p.Enum("DialogKind", &TDirectoryEdit::DialogKind, &TDirectoryEdit::SetDialogKind, {"dkVCL", "dkWin32"});
    p.String("DialogText", &TDirectoryEdit::DialogText, &TDirectoryEdit::SetDialogText);
    p.Set("DialogOptions", &TDirectoryEdit::DialogOptions, &TDirectoryEdit::SetDialogOptions,
          {"sdAllowCreate", "sdPerformCreate", "sdPrompt"});
    p.String("InitialDir", &TDirectoryEdit::InitialDir, &TDirectoryEdit::SetInitialDir);
    p.Bool("MultipleDirs", &TDirectoryEdit::MultipleDirs, &TDirectoryEdit::SetMultipleDirs);
  });
  return table;
}

}  // namespace kv
