#include "platform/system/registry_hive.h"

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/file_lock.h"
#include "platform/system/paths.h"
#include "platform/system/regedit_format.h"

namespace kv {

namespace {

// A hive file larger than this is refused rather than read into memory.
constexpr int64_t MaxHiveBytes = 64 << 20;

struct TRootName {
  HKEY Root;
  const char* Name;
};
constexpr TRootName RootNames[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},   {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}, {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}, {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

struct THive {
  HKEY Root = 0;
  std::string Name;
  std::string FileName;
  bool Loaded = false;
  TFileStamp Stamp;
  std::unique_ptr<TRegKeyNode> Disk;  // as last read from or written to the file
  std::unique_ptr<TRegKeyNode> Tree;  // Disk with Pending applied
  std::vector<TRegOp> Pending;
};

std::string FolderOrDefault(const std::string& Folder) {
  return Folder.empty() ? ConfigFolder() : Folder;
}

void Rebuild(THive& H) {
  H.Tree = H.Disk->Clone();
  for (const TRegOp& op : H.Pending) ApplyRegOp(*H.Tree, op);
}

// Reloads the file when it is not what was loaded last.
void Refresh(THive& H) {
  const TFileStamp stamp = GetFileStamp(H.FileName);
  if (H.Loaded && stamp == H.Stamp) return;
  auto disk = std::make_unique<TRegKeyNode>();
  std::string text;
  if (stamp.Exists && ReadFileToString(H.FileName, text, MaxHiveBytes)) {
    ParseRegText(text, [&](const TRegTextEntry& e) {
      TRegPath path = SplitRegPath(e.KeyPath);
      if (path.empty() || !SameRegName(path.front(), H.Name)) return;  // another root's section
      path.erase(path.begin());
      TRegOp op;
      op.Path = std::move(path);
      switch (e.Kind) {
        case reKey: op.Kind = roCreateKey; break;
        case reDeleteKey: op.Kind = roDeleteKey; break;
        case reValue: op.Kind = roSetValue; break;
        case reDeleteValue: op.Kind = roDeleteValue; break;
      }
      op.Name = e.Name;
      op.Type = e.Type;
      op.Data = e.Data;
      ApplyRegOp(*disk, op);
    });
  }
  H.Disk = std::move(disk);
  H.Stamp = stamp;
  H.Loaded = true;
  Rebuild(H);
}

std::string HiveText(const THive& H) {
  std::string out(RegTextHeader);
  const bool rootValues = !H.Tree->Values().empty();
  FormatRegKeyTree(out, H.Name, *H.Tree, rootValues);
  return out;
}

void FlushLocked(THive& H, const std::string& Folder) {
  if (H.Pending.empty()) return;
  if (!ForceDirectories(Folder)) throw EInOutError("Cannot create folder \"" + Folder + "\"");
  TFileLock lock(H.FileName + ".lock");
  Refresh(H);  // another process may have written since we last looked
  // Private to the user: the settings include server passwords. A file left
  // readable by others is narrowed first, as the write keeps an existing
  // file's mode.
  struct stat st {};
  if (::stat(H.FileName.c_str(), &st) == 0 && (st.st_mode & 077) != 0) ::chmod(H.FileName.c_str(), 0600);
  AtomicWriteFile(H.FileName, HiveText(H), 0600);
  H.Disk = H.Tree->Clone();
  H.Pending.clear();
  H.Stamp = GetFileStamp(H.FileName);
}

class TState {
 public:
  std::mutex Mutex;
  std::string Folder;  // with trailing "/"; empty: ConfigFolder()
  std::map<HKEY, THive> Hives;

  THive* Get(HKEY Root) {
    auto it = Hives.find(Root);
    if (it != Hives.end()) return &it->second;
    const std::string name = RootKeyName(Root);
    if (name.empty()) return nullptr;
    THive& h = Hives[Root];
    h.Root = Root;
    h.Name = name;
    h.FileName = FolderOrDefault(Folder) + name + ".reg";
    return &h;
  }

  void FlushAllNoThrow() noexcept {
    for (auto& [root, h] : Hives) {
      try {
        FlushLocked(h, FolderOrDefault(Folder));
      } catch (const std::exception& e) {
        std::fprintf(stderr, "kavrelin: registry changes not saved: %s\n", e.what());
      }
    }
  }

  ~TState() { FlushAllNoThrow(); }
};

TState& State() {
  static TState s;
  return s;
}

}  // namespace

std::string RootKeyName(HKEY Root) {
  for (const auto& r : RootNames)
    if (r.Root == Root) return r.Name;
  return {};
}

HKEY RootKeyFromName(std::string_view Name) {
  for (const auto& r : RootNames)
    if (SameRegName(r.Name, Name)) return r.Root;
  return 0;
}

void SetRegistryFolder(const std::string& Folder) {
  TState& s = State();
  std::lock_guard<std::mutex> lock(s.Mutex);
  s.FlushAllNoThrow();
  s.Hives.clear();
  s.Folder = Folder.empty() || Folder.back() == '/' ? Folder : Folder + '/';
}

std::string RegistryFolder() {
  TState& s = State();
  std::lock_guard<std::mutex> lock(s.Mutex);
  return FolderOrDefault(s.Folder);
}

std::string HiveFileName(HKEY Root) {
  const std::string name = RootKeyName(Root);
  return name.empty() ? std::string() : RegistryFolder() + name + ".reg";
}

bool ApplyRegOp(TRegKeyNode& Tree, const TRegOp& Op) {
  switch (Op.Kind) {
    case roCreateKey:
      return CreateRegKey(Tree, Op.Path) != nullptr;
    case roDeleteKey: {
      if (Op.Path.empty()) return false;
      TRegPath parent(Op.Path.begin(), Op.Path.end() - 1);
      TRegKeyNode* p = FindRegKey(Tree, parent);
      return p && p->DeleteSubKey(Op.Path.back());
    }
    case roSetValue: {
      TRegKeyNode* k = CreateRegKey(Tree, Op.Path);
      if (!k || !IsValidRegName(Op.Name)) return false;
      k->SetValue(Op.Name, Op.Type, Op.Data);
      return true;
    }
    case roDeleteValue: {
      TRegKeyNode* k = FindRegKey(Tree, Op.Path);
      return k && k->DeleteValue(Op.Name);
    }
  }
  return false;
}

bool RegHiveRead(HKEY Root, const std::function<void(const TRegKeyNode&)>& Fn) {
  TState& s = State();
  std::lock_guard<std::mutex> lock(s.Mutex);
  THive* h = s.Get(Root);
  if (!h) return false;
  Refresh(*h);
  Fn(*h->Tree);
  return true;
}

bool RegHiveChange(HKEY Root, const std::vector<TRegOp>& Ops, bool WriteNow) {
  TState& s = State();
  std::lock_guard<std::mutex> lock(s.Mutex);
  THive* h = s.Get(Root);
  if (!h) return false;
  Refresh(*h);
  const size_t before = h->Pending.size();
  for (const TRegOp& op : Ops) {
    ApplyRegOp(*h->Tree, op);
    h->Pending.push_back(op);
  }
  if (WriteNow) {
    try {
      FlushLocked(*h, FolderOrDefault(s.Folder));
    } catch (...) {
      h->Pending.resize(before);
      Rebuild(*h);
      throw;
    }
  }
  return true;
}

void RegHiveFlush(HKEY Root) {
  TState& s = State();
  std::lock_guard<std::mutex> lock(s.Mutex);
  auto it = s.Hives.find(Root);
  if (it != s.Hives.end()) FlushLocked(it->second, FolderOrDefault(s.Folder));
}

}  // namespace kv
