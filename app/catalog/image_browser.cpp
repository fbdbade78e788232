#include "app/catalog/image_browser.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include "app/actions/input_memo.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_menus.h"
#include "app/catalog/catalog_sort.h"
#include "app/catalog/image_source.h"
#include "app/helpers/folder_helpers.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/tools/lossless_jpeg.h"
#include "components/controls/file_dir_edit.h"
#include "components/shell/shell_context_menu.h"
#include "components/shell/system_combo_box.h"
#include "components/shell/system_tree_view.h"
#include "components/controls/kv_splitter.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"
#include "platform/ui/panel.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

namespace fs = std::filesystem;

Tbrowserform* TheBrowser = nullptr;

std::string WithSlash(std::string Folder) {
  if (!Folder.empty() && Folder.back() != '/') Folder += '/';
  return Folder;
}

std::string FolderOf(const std::string& Path) { return WithSlash(fs::path(Path).parent_path().string()); }

// A rename that never replaces what is there.
bool RenameNoReplace(const std::string& From, const std::string& To) {
  return ::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0;
}

// The file with its sound and text comments, those that exist.
std::vector<std::string> WithComments(const std::vector<std::string>& Files) {
  std::vector<std::string> out;
  for (const std::string& f : Files) {
    out.push_back(f);
    for (const char* ext : {".wav", ".txt"})
      if (FileExists(f + ext)) out.push_back(f + ext);
  }
  return out;
}

void DrawActionGlyph(int32_t Index, TBitmap& Glyph) {
  // A small picture per action: a coloured square with a mark, drawn here.
  static const TColor colours[] = {clRed, clBlue, clGreen, clMaroon, clNavy, clPurple, clTeal, clOlive, clFuchsia};
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, 16, 16));
  c.Brush().SetColor(colours[Index % 9]);
  c.Pen().SetColor(clBlack);
  c.Rectangle(2, 2, 14, 14);
}

}  // namespace

const char* BrowserActionCaption(TBrowserAction Action) {
  static const char* const captions[kBrowserActionCount] = {
      "Ausschneiden (zum Verschieben)", "Kopieren", "Einfügen", "Löschen", "Umbenennen",
      "Verlustfreie JPG-Transformation ...", "Textkommentar festlegen", "Tonkommentar abspielen",
      "Tonkommentar aufnehmen"};
  return captions[Action];
}

TBrowserFrame::TBrowserFrame(TComponent* AOwner) : TFrame(AOwner) {
  SetName("BrowserFrame");
  SetBounds(0, 0, 760, 520);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alLeft);
  Panel1->SetWidth(220);
  Panel1->SetBevelOuter(bvNone);
  // Made on the frame, the combo and the tree are linked: each shows the other's folder.
  TdfsSystemComboBox1 = new TdfsSystemComboBox(this);
  TdfsSystemComboBox1->SetName("TdfsSystemComboBox1");
  TdfsSystemComboBox1->SetParent(Panel1);
  TdfsSystemComboBox1->SetAlign(alTop);
  TdfsSystemTreeView1 = new TdfsSystemTreeView(this);
  TdfsSystemTreeView1->SetName("TdfsSystemTreeView1");
  TdfsSystemTreeView1->SetParent(Panel1);
  TdfsSystemTreeView1->SetAlign(alClient);
  TdfsSystemTreeView1->OnChange = [this](TObject*, TTreeNode*) { TreeChange(); };

  KvSplitter1 = new TKvSplitter(this);
  KvSplitter1->SetName("KvSplitter1");
  KvSplitter1->SetParent(this);
  KvSplitter1->SetAlign(alLeft);
  KvSplitter1->SetLeft(Panel1->Width());

  Panel2 = new TPanel(this);
  Panel2->SetName("Panel2");
  Panel2->SetParent(this);
  Panel2->SetAlign(alTop);
  Panel2->SetHeight(28);
  Panel2->SetBevelOuter(bvNone);
  int32_t left = 2;
  auto menuButton = [&](const char* Name, const char* Caption) {
    auto* b = new TSpeedButton(this);
    b->SetName(Name);
    b->SetParent(Panel2);
    b->SetCaption(Caption);
    b->SetBounds(left, 2, 84, 24);
    left += 86;
    return b;
  };
  ArrangeButton = menuButton("ArrangeButton", "Ansicht");
  Sort1Button = menuButton("Sort1Button", "1.Sortierung");
  Sort2Button = menuButton("Sort2Button", "2.Sortierung");
  left += 8;
  FilePopup = new TPopupMenu(this);
  FilePopup->SetName("FilePopup");
  for (int32_t i = 0; i < kBrowserActionCount; ++i) {
    const TBrowserAction action = TBrowserAction(i);
    auto* b = new TSpeedButton(this);
    b->SetName("ActionButton" + IntToStr(i + 1));
    b->SetParent(Panel2);
    b->SetBounds(left, 2, 26, 24);
    TBitmap glyph(16, 16, pf24bit);
    DrawActionGlyph(i, glyph);
    b->SetGlyph(glyph);
    b->SetHint(BrowserActionCaption(action));
    b->SetShowHint(true);
    b->OnClick = [this, action](TObject*) { RunAction(action); };
    ActionButtons[i] = b;
    left += 27;
    TPopupItem entry;
    entry.Caption = BrowserActionCaption(action);
    entry.OnClick = [this, action](TObject*) { RunAction(action); };
    FilePopup->Items().push_back(entry);
  }
  FilePopup->OnPopup = [this](TObject*) {
    for (int32_t i = 0; i < kBrowserActionCount; ++i) FilePopup->Items()[size_t(i)].Enabled = ActionEnabled(TBrowserAction(i));
  };

  catalogframe1 = new Tcatalogframe(this);
  catalogframe1->SetName("catalogframe1");
  catalogframe1->SetParent(this);
  catalogframe1->SetAlign(alClient);
  catalogframe1->DrawGrid1().OnClick = [this](TObject*) { SelectionChanged(); };
  catalogframe1->DrawGrid1().OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
    if (Button != mbRight) return;
    const TPoint p = catalogframe1->DrawGrid1().ClientToScreen(Point(X, Y));
    FilePopup->Popup(p.X, p.Y);
  };
  KvSplitter1->SetControlFirst(Panel1);
  KvSplitter1->SetControlSecond(catalogframe1);

  FArrange = new TMenuItem(this);
  FArrange->SetCaption("Ansicht");
  FSort1 = new TMenuItem(this);
  FSort1->SetCaption("1.Sortierung");
  FSort2 = new TMenuItem(this);
  FSort2->SetCaption("2.Sortierung");
  FillArrangeMenu(*FArrange, this, [this](TObject* S) { ArrangeMenuClick(S); });
  FillSortMenu(*FSort1, this, [this](TObject* S) { SortMenuClick(S); });
  FillSortMenu(*FSort2, this, [this](TObject* S) { SortMenuClick(S); });
  if (form1) {
    CheckSortMenus(*FSort1, *FSort2, form1->StoredString("BrowserSort"));
    CheckArrangeMenu(*FArrange, form1->StoredInt("BrowserArrange"), form1->StoredBool("BrowserArrHor"));
  }
  ApplyArrangement();
  ArrangeButton->OnClick = [this](TObject*) { PopupAtButton(*FArrange, *ArrangeButton); };
  Sort1Button->OnClick = [this](TObject*) { PopupAtButton(*FSort1, *Sort1Button); };
  Sort2Button->OnClick = [this](TObject*) { PopupAtButton(*FSort2, *Sort2Button); };

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  TStoredValue* dir = formstorage1->StoredValues().Add();
  dir->SetName("TdfsSystemTreeView1.Directory");
  dir->OnSave = [this](TObject*, TVariant& Value) { Value = TVariant(FDirectory); };
  dir->OnRestore = [this](TObject*, TVariant& Value) {
    const std::string d = Value.AsString();
    SetDirectory(!d.empty() && DirectoryExists(d) ? d : FDirectory);
  };
  TStoredValue* width = formstorage1->StoredValues().Add();
  width->SetName("Panel1.Width");
  width->SetValue(TVariant(Panel1->Width()));
  width->OnSave = [this](TObject*, TVariant& Value) { Value = TVariant(Panel1->Width()); };
  width->OnRestore = [this](TObject*, TVariant& Value) {
    const int32_t w = StrToIntDef(Value.AsString(), Panel1->Width());
    if (w >= 40 && w <= 2000) Panel1->SetWidth(w);
  };
  formstorage1->Loaded();

  ForceDirectories(ImagesFolder());
  SetDirectory(ImagesFolder());
}

TBrowserFrame::~TBrowserFrame() = default;

void TBrowserFrame::SetDirectory(const std::string& Folder) {
  FDirectory = WithSlash(Folder);
  if (WithSlash(TdfsSystemTreeView1->Directory()) != FDirectory) TdfsSystemTreeView1->SetDirectory(FDirectory);
  ListFolder();
}

void TBrowserFrame::TreeChange() {
  const std::string folder = TdfsSystemTreeView1->Directory();
  // Places without a folder of their own (the desktop's root, "Computer") list nothing new.
  if (folder.empty() || !DirectoryExists(folder) || WithSlash(folder) == FDirectory) return;
  FDirectory = WithSlash(folder);
  ListFolder();
}

void TBrowserFrame::ListFolder() {
  TStringList& files = catalogframe1->Files();
  ListImageSource(WriteParamInt("SourceMode", 1) + WriteParamString("Dir", FDirectory), files);
  catalogframe1->Resort(this, form1 ? form1->StoredString("BrowserSort") : CurrentCatalogSort());
  SelectionChanged();
}

std::vector<std::string> TBrowserFrame::SelectedFiles() const {
  TStringList list;
  catalogframe1->SelectedFiles(list);
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.Count(); ++i)
    if (!list.Get(i).empty()) out.push_back(list.Get(i));
  return out;
}

bool TBrowserFrame::ActionEnabled(TBrowserAction Action) const {
  const std::vector<std::string> files = SelectedFiles();
  switch (Action) {
    case baLossless:
      return !files.empty() && std::all_of(files.begin(), files.end(), [](const std::string& f) {
        return SameText(ExtractFileExt(f), ".JPG");
      });
    case baSoundPlay:
      return !files.empty() &&
             std::all_of(files.begin(), files.end(), [](const std::string& f) { return FileExists(f + ".wav"); });
    default: return true;
  }
}

void TBrowserFrame::SelectionChanged() {
  ActionButtons[baLossless]->SetEnabled(ActionEnabled(baLossless));
  ActionButtons[baSoundPlay]->SetEnabled(ActionEnabled(baSoundPlay));
}

void TBrowserFrame::RunAction(TBrowserAction Action) {
  if (!ActionEnabled(Action)) return;
  switch (Action) {
    case baCut: CutClick(this); break;
    case baCopy: CopyClick(this); break;
    case baPaste: PasteClick(this); break;
    case baDelete: DeleteClick(this); break;
    case baRename: RenameClick(this); break;
    case baLossless: LosslessClick(this); break;
    case baTextComment: TextCommentClick(this); break;
    case baSoundPlay: SoundPlayClick(this); break;
    case baSoundRecord: SoundRecordClick(this); break;
  }
}

void TBrowserFrame::PopupAtButton(TMenuItem& Menu, TSpeedButton& Button) {
  // The menu items with their check marks, at the button's right edge.
  TPopupMenu popup(nullptr);
  for (int32_t i = 0; i < Menu.Count(); ++i) {
    TMenuItem* item = Menu.Items(i);
    const std::string caption = item->IsLine() ? "-" : (item->Checked() ? "✓ " : "   ") + item->Caption();
    TPopupItem entry;
    entry.Caption = caption;
    entry.OnClick = [item](TObject*) { item->Click(); };
    popup.Items().push_back(entry);
  }
  const TPoint p = Button.ClientToScreen(Point(Button.Width(), 0));
  popup.Popup(p.X, p.Y);
}

void TBrowserFrame::SortMenuClick(TObject* Sender) {
  const std::string sort = ClickSortMenus(*FSort1, *FSort2, dynamic_cast<TMenuItem*>(Sender));
  if (form1) form1->SetStoredString("BrowserSort", sort);
  catalogframe1->Resort(this, sort);
}

void TBrowserFrame::ArrangeMenuClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  if (item->Tag() == kToggleItemTag)
    item->SetChecked(!item->Checked());
  else
    item->SetChecked(true);
  ApplyArrangement();
}

void TBrowserFrame::ApplyArrangement() {
  int32_t arrange = 0;
  bool horizontal = false;
  ReadArrangeMenu(*FArrange, arrange, horizontal);
  if (form1) {
    form1->SetStoredInt("BrowserArrange", arrange);
    form1->SetStoredBool("BrowserArrHor", horizontal);
  }
  catalogframe1->SetArrangement(TCatalogArrangement(std::clamp(arrange, 0, 2)), horizontal);
  catalogframe1->Repaint();
}

void TBrowserFrame::CopyOrCut(bool Cut) {
  const std::vector<std::string> files = SelectedFiles();
  if (files.empty()) return;
  ShellSetClipboardFiles(WithComments(files), Cut);
  ListFolder();
}

void TBrowserFrame::CutClick(TObject*) { CopyOrCut(true); }
void TBrowserFrame::CopyClick(TObject*) { CopyOrCut(false); }

void TBrowserFrame::PasteClick(TObject*) {
  // The shell's paste never overwrites and never loses a file; cut and
  // pasted into the same folder, nothing moves.
  std::string error;
  if (!ShellPasteInto(FDirectory, error) && !error.empty()) MessageDlg(error, mtWarning, TMsgDlgButtons{mbOK}, 0);
  ListFolder();
}

void TBrowserFrame::DeleteClick(TObject*) {
  const std::vector<std::string> files = WithComments(SelectedFiles());
  // To the trash; a file the trash cannot take goes for good only when the user says so.
  if (!files.empty()) ShellTrashFiles(files);
  ListFolder();
}

void TBrowserFrame::RenameClick(TObject*) {
  for (const std::string& file : SelectedFiles()) {
    const std::string ext = ExtractFileExt(file);
    std::string name = fs::path(file).stem().string();
    if (!InputQuery("Neuer Dateiname", "Neuer Dateiname", name)) break;
    // A typed extension goes: the file keeps its own, and so its kind.
    name = fs::path(name).stem().string();
    if (Trim(name).empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
      ShowMessage("\"" + name + "\" ist kein gültiger Dateiname.");
      continue;
    }
    const std::string folder = FolderOf(file);
    const std::string target = folder + name + ext;
    if (target == file) continue;
    if (!RenameNoReplace(file, target)) {
      ShowMessage(errno == EEXIST ? "Die Datei " + target + " existiert bereits; " + file + " wird nicht umbenannt."
                                  : "Kann " + file + " nicht umbenennen: " + SysErrorMessage(errno));
      continue;
    }
    for (const char* comment : {".wav", ".txt"})
      if (FileExists(file + comment) && !RenameNoReplace(file + comment, target + comment))
        ShowMessage("Kann " + file + comment + " nicht umbenennen: " + SysErrorMessage(errno));
  }
  ListFolder();
}

void TBrowserFrame::LosslessClick(TObject*) {
  const std::vector<std::string> files = SelectedFiles();
  auto dlg = std::make_unique<Tlosslessjpgform>(nullptr, false);
  if (dlg->ShowModal() == mrOk && form1) {
    const std::string settings = dlg->SettingsLine();
    const int32_t count = int32_t(files.size());
    for (int32_t i = 0; i < count; ++i) {
      form1->PercentProc(i * 100 / count);
      form1->interpreter(this, settings + WriteParamString("File", files[size_t(i)]));
    }
    form1->PercentProc(0);
  }
  ListFolder();
}

void TBrowserFrame::TextCommentClick(TObject*) {
  for (const std::string& file : SelectedFiles()) {
    TStringList lines;
    if (FileExists(file + ".txt")) lines.LoadFromFile(file + ".txt");
    if (!EditLines("Textkommentar angeben", lines)) continue;
    if (form1) form1->interpreter(this, "Textcomment" + WriteParamStrings("text", lines) + WriteParamString("Name", file));
  }
  ListFolder();
}

void TBrowserFrame::SoundPlayClick(TObject*) {
  for (const std::string& file : SelectedFiles()) {
    if (!FileExists(file + ".wav")) {
      ShowMessage("Es existiert kein Kommentar zu dieser Datei.");
      break;
    }
    if (form1) form1->interpreter(this, "COMMENTPLAY" + WriteParamString("Name", file));
  }
  ListFolder();
}

void TBrowserFrame::SoundRecordClick(TObject*) {
  for (const std::string& file : SelectedFiles()) {
    const std::string wav = file + ".wav";
    if (FileExists(wav) &&
        MessageDlg(Format("%s existiert bereits. Möchten Sie trotzdem einen neuen Tonkommentar aufnehmen?", wav),
                   mtConfirmation, TMsgDlgButtons{mbOK, mbCancel}, 0) != mrOk)
      continue;
    if (form1) form1->interpreter(this, "CommentRecord" + WriteParamString("Name", file));
  }
  ListFolder();
}

Tbrowserform::Tbrowserform(TComponent* AOwner) : TForm(AOwner) {
  SetName("browserform");
  SetCaption("File Browser");
  SetBounds(40, 40, 800, 560);
  BrowserFrame1 = new TBrowserFrame(this);
  BrowserFrame1->SetName("BrowserFrame1");
  BrowserFrame1->SetParent(this);
  BrowserFrame1->SetAlign(alClient);
}

Tbrowserform::~Tbrowserform() {
  if (TheBrowser == this) TheBrowser = nullptr;
}

Tbrowserform& ShowImageBrowser(Tform1& Form) {
  if (!TheBrowser) TheBrowser = new Tbrowserform(&Form);
  TheBrowser->Show();
  TheBrowser->BringToFront();
  return *TheBrowser;
}

}  // namespace kv
