#include "components/shell/shell_context_menu.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "components/shell/shell_items.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/std_controls.h"

namespace kv {

const char* const kVerbOpen = "open";
const char* const kVerbOpenWith = "openwith:";
const char* const kVerbCut = "cut";
const char* const kVerbCopy = "copy";
const char* const kVerbPaste = "paste";
const char* const kVerbDelete = "delete";
const char* const kVerbRename = "rename";
const char* const kVerbProperties = "properties";

namespace {

TClipFormat UriListFormat() { return RegisterClipboardFormat("text/uri-list"); }
TClipFormat CopiedFilesFormat() { return RegisterClipboardFormat("x-special/gnome-copied-files"); }

std::string FolderOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : Path.substr(0, slash);
}

bool IsDirectory(const std::string& P) {
  struct stat st {};
  return ::stat(P.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ShowError(const std::string& Text) {
  Application->MessageBox(Text, Application->Title(), MB_OK | MB_ICONSTOP);
}

std::vector<std::string> SplitLines(const std::vector<uint8_t>& Bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t b : Bytes) {
    if (b == '\n' || b == '\r' || b == 0) {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line.push_back(char(b));
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string SizeText(uintmax_t Bytes) {
  char buf[64];
  if (Bytes < 1024) std::snprintf(buf, sizeof buf, "%ju Bytes", Bytes);
  else if (Bytes < 1024 * 1024) std::snprintf(buf, sizeof buf, "%.1f KB (%ju Bytes)", double(Bytes) / 1024, Bytes);
  else std::snprintf(buf, sizeof buf, "%.1f MB (%ju Bytes)", double(Bytes) / (1024 * 1024), Bytes);
  return buf;
}

// Sums a folder's files without following links.
uintmax_t TreeSize(const std::string& Path) {
  std::error_code ec;
  struct stat st {};
  if (::lstat(Path.c_str(), &st) != 0) return 0;
  if (!S_ISDIR(st.st_mode)) return uintmax_t(st.st_size);
  uintmax_t total = 0;
  for (auto it = std::filesystem::recursive_directory_iterator(Path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    struct stat s {};
    if (::lstat(it->path().c_str(), &s) == 0 && S_ISREG(s.st_mode)) total += uintmax_t(s.st_size);
  }
  return total;
}

std::string ModeText(mode_t M) {
  std::string s = S_ISDIR(M) ? "d" : (S_ISLNK(M) ? "l" : "-");
  const char* rwx = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i) s += (M & (1u << (8 - i))) ? rwx[i] : '-';
  return s;
}

}  // namespace

// ---- clipboard ----

bool ShellClipboardFiles(std::vector<std::string>& Paths, bool& Cut) {
  Paths.clear();
  Cut = false;
  TClipboard& c = Clipboard();
  std::vector<std::string> lines = SplitLines(c.GetBuffer(CopiedFilesFormat()));
  if (!lines.empty() && (lines.front() == "cut" || lines.front() == "copy")) {
    Cut = lines.front() == "cut";
    lines.erase(lines.begin());
  } else {
    lines = SplitLines(c.GetBuffer(UriListFormat()));
  }
  for (const std::string& l : lines) {
    if (l.empty() || l[0] == '#') continue;  // comments of uri lists
    const std::string p = l[0] == '/' ? l : ShellUriToPath(l);
    if (!p.empty()) Paths.push_back(p);
  }
  return !Paths.empty();
}

void ShellSetClipboardFiles(const std::vector<std::string>& Paths, bool Cut) {
  std::string uris, special = Cut ? "cut" : "copy";
  for (const std::string& p : Paths) {
    const std::string u = ShellPathToUri(p);
    if (u.empty()) continue;
    uris += u + "\r\n";
    special += "\n" + u;
  }
  TClipboard& c = Clipboard();
  c.Open();
  c.SetBuffer(UriListFormat(), uris.data(), uris.size());
  c.SetBuffer(CopiedFilesFormat(), special.data(), special.size());
  c.Close();
}

bool ShellPasteInto(const std::string& Folder, std::string& Error) {
  std::vector<std::string> paths;
  bool cut = false;
  if (!ShellClipboardFiles(paths, cut)) {
    Error = "Die Zwischenablage enthält keine Dateien.";
    return false;
  }
  bool any = false;
  std::vector<std::string> moved;
  for (const std::string& p : paths) {
    std::string result, err;
    if (ShellCopyInto(p, Folder, cut, result, err)) {
      any = true;
      if (cut) moved.push_back(result);
    } else {
      Error += (Error.empty() ? "" : "\n") + err;
    }
  }
  // Moved files are no longer where the clipboard says: it now names where they went, for copying.
  if (cut && !moved.empty() && Error.empty()) ShellSetClipboardFiles(moved, false);
  return any && Error.empty();
}

bool ShellTrashFiles(const std::vector<std::string>& Paths) {
  bool all = true;
  for (const std::string& p : Paths) {
    std::string error;
    if (ShellMoveToTrash(p, error)) continue;
    // Without a trash a file is removed for good only when the user says so.
    const std::string name = std::filesystem::path(p).filename().string();
    const int32_t answer = Application->MessageBox(
        "\"" + name + "\" kann nicht in den Papierkorb verschoben werden (" + error + ").\nEndgültig löschen?",
        Application->Title(), MB_YESNO | MB_ICONWARNING);
    if (answer != IDYES) {
      all = false;
      continue;
    }
    std::string err;
    if (!ShellDeleteForGood(p, err)) {
      ShowError(err);
      all = false;
    }
  }
  return all;
}

// ---- properties ----

void ShowShellProperties(const std::vector<std::string>& Paths) {
  if (Paths.empty()) return;
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  const std::string first = Paths.front();
  const std::string name = std::filesystem::path(first).filename().string();
  form->SetCaption("Eigenschaften von " + (Paths.size() == 1 ? name : IntToStr(int32_t(Paths.size())) + " Objekten"));
  struct stat st {};
  const bool ok = ::lstat(first.c_str(), &st) == 0;
  uintmax_t size = 0;
  for (const std::string& p : Paths) size += TreeSize(p);
  char when[64] = "";
  if (ok) {
    std::tm tm {};
    localtime_r(&st.st_mtime, &tm);
    std::strftime(when, sizeof when, "%d.%m.%Y %H:%M:%S", &tm);
  }
  std::vector<std::pair<std::string, std::string>> rows = {
      {"Name:", Paths.size() == 1 ? name : IntToStr(int32_t(Paths.size())) + " Objekte"},
      {"Typ:", ShellContentType(first)},
      {"Ort:", FolderOf(first)},
      {"Größe:", SizeText(size)},
      {"Geändert:", when},
      {"Rechte:", ok ? ModeText(st.st_mode) : ""},
  };
  int32_t y = 12, row = 0;
  for (const auto& [label, value] : rows) {
    auto* l = new TLabel(form.get());
    l->SetParent(form.get());
    l->SetBounds(12, y, 80, 18);
    l->SetCaption(label);
    auto* v = new TLabel(form.get());
    v->SetName("Value" + IntToStr(row++));
    v->SetParent(form.get());
    v->SetBounds(96, y, 300, 18);
    v->SetCaption(value);
    y += 22;
  }
  auto* button = new TButton(form.get());
  button->SetParent(form.get());
  button->SetCaption("OK");
  button->SetDefault(true);
  button->SetCancel(true);
  button->SetModalResult(mrOk);
  button->SetBounds(320, y + 8, 75, 25);
  form->SetClientSize(408, y + 44);
  form->ShowModal();
}

// ---- the menu ----

namespace {

struct TRequest {
  std::shared_ptr<TShellFolder> Folder;
  std::vector<PCItemIDList> Items;
  uint32_t Attributes = 0;
  std::vector<std::string> Paths;
  const TShellMenuHooks* Hooks = nullptr;
};

bool RunVerb(const TRequest& R, const std::string& Verb) {
  std::string error;
  if (Verb == kVerbOpen) {
    if (R.Paths.empty()) return false;
    if (!ShellOpen(R.Paths, "", error)) ShowError(error);
    return true;
  }
  if (Verb.rfind(kVerbOpenWith, 0) == 0) {
    if (R.Paths.empty()) return false;
    if (!ShellOpen(R.Paths, Verb.substr(std::strlen(kVerbOpenWith)), error)) ShowError(error);
    return true;
  }
  if (Verb == kVerbCut || Verb == kVerbCopy) {
    if (R.Paths.empty()) return false;
    ShellSetClipboardFiles(R.Paths, Verb == kVerbCut);
    return true;
  }
  if (Verb == kVerbPaste) {
    // Into the folder itself, or beside a file.
    const std::string target = R.Paths.size() == 1 && IsDirectory(R.Paths.front()) ? R.Paths.front()
                               : !R.Folder->Path().empty()                      ? R.Folder->Path()
                                                                                 : std::string();
    if (target.empty()) return false;
    if (!ShellPasteInto(target, error)) ShowError(error);
    return true;
  }
  if (Verb == kVerbDelete) {
    if (R.Paths.empty()) return false;
    ShellTrashFiles(R.Paths);
    return true;
  }
  if (Verb == kVerbRename) {
    if (R.Items.size() != 1 || !(R.Attributes & SFA_CANRENAME)) return false;
    if (R.Hooks && R.Hooks->Rename) {
      R.Hooks->Rename(R.Items.front());
      return true;
    }
    std::string name = R.Folder->GetDisplayNameOf(R.Items.front(), SFN_INFOLDER);
    if (!InputQuery("Umbenennen", "Neuer Name:", name)) return true;
    PItemIDList renamed = R.Folder->SetNameOf(R.Items.front(), name, error);
    if (!renamed) ShowError(error);
    ShellFree(renamed);
    return true;
  }
  if (Verb == kVerbProperties) {
    if (R.Paths.empty()) return false;
    ShowShellProperties(R.Paths);
    return true;
  }
  return false;
}

}  // namespace

bool ShellContextMenu(const std::shared_ptr<TShellFolder>& Folder, const std::vector<PCItemIDList>& Items,
                      uint32_t Attributes, TPoint Point, HWND Wnd, int32_t Action, const std::string& Verb,
                      const TShellMenuHooks* Hooks) {
  (void)Wnd;
  if (!Folder || Items.empty()) return false;
  TRequest r;
  r.Folder = Folder;
  r.Items = Items;
  r.Attributes = Attributes;
  r.Hooks = Hooks;
  for (PCItemIDList i : Items) {
    const std::string p = Folder->ChildPath(i);
    if (!p.empty()) r.Paths.push_back(p);
  }
  switch (Action) {
    case caProperties:
      if (!(Attributes & SFA_HASPROPSHEET)) return false;
      return RunVerb(r, kVerbProperties);
    case caDefault: return RunVerb(r, kVerbOpen);
    case caVerb: return RunVerb(r, Verb);
    case caShowMenu: break;
    default: return false;
  }
  std::vector<bool> fileOnClipboard(1);
  {
    std::vector<std::string> clip;
    bool cut;
    fileOnClipboard[0] = ShellClipboardFiles(clip, cut);
  }
  TPopupMenu menu(nullptr);
  std::vector<std::string> verbs;
  auto add = [&](const std::string& Caption, const std::string& V, bool Enabled) {
    TPopupItem item;
    item.Caption = Caption;
    item.Enabled = Enabled;
    if (Caption != "-") {
      const size_t index = verbs.size();
      item.OnClick = [&r, &verbs, index](TObject*) { RunVerb(r, verbs[index]); };
    }
    verbs.push_back(V);
    menu.Items().push_back(item);
  };
  const bool files = !r.Paths.empty();
  add("Öffnen", kVerbOpen, files);
  if (files)
    for (const TShellApp& app : ShellAppsFor(r.Paths.front()))
      add("Öffnen mit " + app.Name, kVerbOpenWith + app.Id, true);
  add("-", "", true);
  add("Ausschneiden", kVerbCut, files && (Attributes & SFA_CANMOVE));
  add("Kopieren", kVerbCopy, files && (Attributes & SFA_CANCOPY));
  add("Einfügen", kVerbPaste, fileOnClipboard[0] && (Attributes & SFA_DROPTARGET || !Folder->Path().empty()));
  add("-", "", true);
  add("In den Papierkorb verschieben", kVerbDelete, files && (Attributes & SFA_CANDELETE));
  add("Umbenennen", kVerbRename, Items.size() == 1 && (Attributes & SFA_CANRENAME));
  add("-", "", true);
  add("Eigenschaften", kVerbProperties, files && (Attributes & SFA_HASPROPSHEET));
  menu.Popup(Point.X, Point.Y);
  return true;  // shown, whether or not something was chosen
}

bool ShellContextMenuForFile(const std::string& FileName, TPoint Point, HWND Wnd, int32_t Action,
                             const std::string& Verb) {
  std::shared_ptr<TShellFolder> desktop = TShellFolder::Desktop();
  const std::string dir = FolderOf(FileName);
  const std::string part = FileName.substr(FileName.find_last_of('/') == std::string::npos
                                               ? 0
                                               : FileName.find_last_of('/') + 1);
  TIdListHolder dirList(desktop->ParseDisplayName(dir));
  std::shared_ptr<TShellFolder> folder = dirList.Get() ? TShellFolder::Bind(dirList.Get()) : nullptr;
  std::vector<PItemIDList> owned;
  if (folder && part.find_first_of("*?") != std::string::npos) {
    TMaskList masks;
    BuildMaskList(part, masks);
    std::vector<PItemIDList> all;
    folder->EnumObjects(SFE_FOLDERS | SFE_NONFOLDERS | SFE_INCLUDEHIDDEN, all);
    for (PItemIDList k : all) {
      if (MatchesMaskList(folder->GetDisplayNameOf(k, SFN_INFOLDER), &masks)) owned.push_back(k);
      else ShellFree(k);
    }
    if (owned.empty()) return false;
  } else if (folder && !part.empty()) {
    if (PItemIDList k = folder->ParseDisplayName(part)) owned.push_back(k);
  }
  if (owned.empty()) {
    // The whole name, in the first folder the desktop lists.
    std::vector<PItemIDList> top;
    desktop->EnumObjects(SFE_FOLDERS, top);
    if (!top.empty()) folder = desktop->BindToObject(top.front());
    for (PItemIDList k : top) ShellFree(k);
    if (!folder) return false;
    PItemIDList k = folder->ParseDisplayName(FileName);
    if (!k) return false;
    owned.push_back(k);
  }
  uint32_t attrs = ~0u;
  std::vector<PCItemIDList> items;
  for (PItemIDList k : owned) {
    attrs &= folder->GetAttributesOf(k, 0xFFFFFFFF);
    items.push_back(k);
  }
  const bool result = ShellContextMenu(folder, items, attrs, Point, Wnd, Action, Verb);
  for (PItemIDList k : owned) ShellFree(k);
  return result;
}

}  // namespace kv
