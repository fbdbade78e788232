#include "app/tools/numbered_copies.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "app/catalog/image_browser.h"
#include "app/catalog/image_source.h"
#include "app/catalog/image_source_frame.h"
#include "app/main/main_form.h"
#include "app/interpreter/interpreter.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

std::string Folded(const std::string& S, bool FoldsCase) { return FoldsCase ? LowerCase(S) : S; }

std::string NameOnly(const std::string& Path) { return ExtractFileName(Path); }

std::string WithoutExt(const std::string& Name) {
  const std::string ext = ExtractFileExt(Name);
  return Name.substr(0, Name.size() - ext.size());
}

bool Exists(const std::string& Path) {
  struct stat st {};
  return ::lstat(Path.c_str(), &st) == 0;
}

// The sound memo of a picture: the name with ".wav" for its extension, in either case.
std::string SoundMemoOf(const std::string& Source) {
  const std::string base = WithoutExt(Source);
  for (const char* ext : {".wav", ".WAV", ".Wav"})
    if (Exists(base + ext)) return base + ext;
  return {};
}

// A copy that never replaces an existing file: the target is created
// exclusively and removed again when the copy fails.
bool CopyExclusive(const std::string& Source, const std::string& Target) {
  const int in = ::open(Source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  ::fstat(in, &st);
  const int out = ::open(Target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out, buf, size_t(n))) {
      ok = false;
      break;
    }
  }
  if (ok && ::fsync(out) != 0) ok = false;
  if (::close(out) != 0) ok = false;
  ::close(in);
  if (ok) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, Target.c_str(), times, 0);
  } else {
    ::unlink(Target.c_str());
  }
  return ok;
}

// A move that never replaces an existing file: a hard link and the removal of
// the old name within one file system, else a complete copy first.
bool MoveExclusive(const std::string& Source, const std::string& Target) {
  if (::link(Source.c_str(), Target.c_str()) == 0) {
    ::unlink(Source.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  if (!CopyExclusive(Source, Target)) return false;
  return ::unlink(Source.c_str()) == 0;
}

}  // namespace

TNumberRun FindNumberRun(const std::string& Base) {
  TNumberRun r;
  int32_t end = int32_t(Base.size());
  while (end > 0 && !(Base[size_t(end - 1)] >= '0' && Base[size_t(end - 1)] <= '9')) --end;
  if (end == 0) return r;
  int32_t start = end;
  while (start > 0 && Base[size_t(start - 1)] >= '0' && Base[size_t(start - 1)] <= '9') --start;
  r.Start = start + 1;
  r.End = end;
  for (int32_t i = start; i < end; ++i) r.Value = std::min<int64_t>(r.Value * 10 + (Base[size_t(i)] - '0'), INT32_MAX);
  return r;
}

std::string NumberedName(int64_t I, const std::string& Base, const TNumberRun& Run) {
  if (Run.Start == 0) return Base + "-" + std::to_string(I);
  std::string digits = std::to_string(I);
  const size_t width = size_t(Run.End - Run.Start + 1);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return Base.substr(0, size_t(Run.Start - 1)) + digits + Base.substr(size_t(Run.End));
}

bool FolderFoldsCase(const std::string& Folder) {
  std::string probe = Folder + ".kvcaseXXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  const std::string name = ExtractFileName(probe);
  std::string upper = name;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  const bool folds = upper != name && Exists(Folder + upper);
  ::unlink(probe.c_str());
  return folds;
}

TCopyPlan PlanNumberedCopies(const std::vector<std::string>& Files, const std::string& TargetDir, bool Comments,
                             bool FoldsCase) {
  TCopyPlan plan;
  std::vector<std::string> existing;
  {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(TargetDir, ec), end; !ec && it != end; it.increment(ec))
      existing.push_back(it->path().filename().string());
  }
  std::set<std::string> existingFolded;
  for (const std::string& e : existing) existingFolded.insert(Folded(e, FoldsCase));
  std::vector<std::string> planned;  // names within the target folder
  std::set<std::string> plannedFolded;
  auto taken = [&](const std::string& Name) {
    const std::string f = Folded(Name, FoldsCase);
    return existingFolded.count(f) || plannedFolded.count(f) || Exists(TargetDir + Name);
  };

  for (const std::string& source : Files) {
    plan.Sources.push_back(source);
    const std::string name = NameOnly(source);
    const std::string ext = ExtractFileExt(name);
    const std::string base = WithoutExt(name);
    const TNumberRun run = FindNumberRun(base);
    const std::string prefix = run.Start == 0 ? base : base.substr(0, size_t(run.Start - 1)) + base.substr(size_t(run.End));

    int64_t i = 1;
    const std::string pattern = Folded(prefix + "*" + ext, FoldsCase);
    for (const std::string& e : existing) {
      if (::fnmatch(pattern.c_str(), Folded(e, FoldsCase).c_str(), FNM_NOESCAPE) != 0) continue;
      i = std::max(i, FindNumberRun(WithoutExt(e)).Value);
    }
    for (const std::string& p : planned) {
      if (Folded(ExtractFileExt(p), FoldsCase) != Folded(ext, FoldsCase)) continue;
      std::string stem = WithoutExt(p);
      if (run.Start > 0 && int32_t(stem.size()) >= run.End) stem.erase(size_t(run.Start - 1), size_t(run.End - run.Start + 1));
      if (Folded(stem, FoldsCase) == Folded(prefix, FoldsCase)) i = std::max(i, FindNumberRun(WithoutExt(p)).Value);
    }
    std::string target;
    for (;; ++i) {
      target = NumberedName(i, base, run) + ext;
      if (!taken(target)) break;
    }
    plan.Targets.push_back(TargetDir + target);
    planned.push_back(target);
    plannedFolded.insert(Folded(target, FoldsCase));
    if (Comments) {
      const std::string memo = SoundMemoOf(source);
      if (!memo.empty()) {
        plan.Sources.push_back(memo);
        plan.Targets.push_back(TargetDir + target + ".wav");
        plannedFolded.insert(Folded(target + ".wav", FoldsCase));
      }
    }
  }
  return plan;
}

std::vector<std::string> TransferFiles(const TCopyPlan& Plan, bool Move) {
  std::vector<std::string> failed;
  for (size_t k = 0; k < Plan.Sources.size(); ++k) {
    const bool ok = Move ? MoveExclusive(Plan.Sources[k], Plan.Targets[k]) : CopyExclusive(Plan.Sources[k], Plan.Targets[k]);
    if (!ok) failed.push_back(Plan.Sources[k]);
  }
  return failed;
}

void RunCopyNumber(Tform1& Form, const std::string& Line) {
  std::vector<std::string> files = ListImageSource(Line);
  if (files.empty()) {
    ShowMessage(kNoFilesSelected);
    return;
  }
  std::string target = ReadParamString(Line, "TargetDir", "");
  if (target.empty()) throw ECommandError("Es ist kein Zielordner angegeben");
  if (target.back() != '/') target += '/';
  if (!ForceDirectories(target)) throw ECommandError("Der Ordner \"" + target + "\" kann nicht angelegt werden");
  const TCopyPlan plan = PlanNumberedCopies(files, target, ReadParamBool(Line, "Comments", true), FolderFoldsCase(target));
  const std::vector<std::string> failed = TransferFiles(plan, ReadParamInt(Line, "FileMode", 0) == 1);
  Form.PercentProc(0);
  if (ReadParamBool(Line, "OpenTarget", false)) ShowImageBrowser(Form).BrowserFrame1->SetDirectory(target);
  if (!failed.empty()) {
    std::string list;
    for (const std::string& f : failed) list += "\r" + f;
    throw ECommandError("Diese Dateien konnten nicht übertragen werden:" + list);
  }
}

Tdiginform::Tdiginform(TComponent* AOwner) : TToolDialog(AOwner, "diginform", "Bilder Kopieren & Umnummerieren") {
  TargetEdit = AddEdit("Ziel", "TargetEdit", "");
  ModeBox = AddCombo("Dateien", "ModeBox", {"Kopieren", "Verschieben"}, 0);
  AddNote("Quelle");
  imageSourceframe1 = new TimageSourceframe(this);
  imageSourceframe1->SetName("imageSourceframe1");
  imageSourceframe1->SetKindCount(2);  // files are copied: a catalog or a folder
  AddFrame(imageSourceframe1, 100);
  CommentsBox = AddCheck("WAV-Tonkommentare übernehmen", "CommentsBox", true);
  BrowserBox = AddCheck("Anschließend Bilder Browser öffnen", "BrowserBox", true);
  AddButtons("Ausführen", 241);
  OnRun = [this](TObject*) { ResultLine = BuildLine(); };
}

std::string Tdiginform::BuildLine() const {
  const std::string target = StringReplace(TargetEdit->Text(), "\"", "", TReplaceFlags{rfReplaceAll});
  return "CopyNumber" + WriteParamString("TargetDir", target) + WriteParamInt("FileMode", ModeBox->ItemIndex() == 1 ? 1 : 0) +
         WriteParamBool("Comments", CommentsBox->Checked()) + imageSourceframe1->GetParams() +
         WriteParamBool("OpenTarget", BrowserBox->Checked());
}

void ShowNumberedCopiesDialog(Tform1& Form) {
  auto dlg = std::make_unique<Tdiginform>(nullptr);
  if (dlg->ShowModal() != mrOk || dlg->ResultLine.empty()) return;
  Form.interpreter(&Form, dlg->ResultLine);
}

}  // namespace kv
