#include "app/tools/lossless_jpeg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "app/catalog/thumbnail_cache.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "imaging/formats/jpeg.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

// Closes a descriptor and removes the temporary file unless it was handed over.
struct TTempFile {
  int Fd = -1;
  std::string Name;
  bool Keep = false;
  ~TTempFile() {
    if (Fd >= 0) ::close(Fd);
    if (!Keep && !Name.empty()) ::unlink(Name.c_str());
  }
};

// Writes the bytes beside Target and renames them over it, so that a reader
// sees either the old file or the new one, never half of one. The file keeps
// its permissions and, when asked, its times.
bool ReplaceFile(const std::string& Target, const uint8_t* Data, size_t Size, const struct stat& Old, bool KeepTimes) {
  TTempFile tmp;
  const std::string folder = ExtractFilePath(Target);
  tmp.Name = (folder.empty() ? std::string("./") : folder) + ".kvtrafoXXXXXX";
  tmp.Fd = ::mkstemp(tmp.Name.data());
  if (tmp.Fd < 0) {
    tmp.Name.clear();
    return false;
  }
  if (!WriteAll(tmp.Fd, Data, Size)) return false;
  (void)::fchmod(tmp.Fd, Old.st_mode & 07777);
  if (KeepTimes) {
    const struct timespec times[2] = {Old.st_atim, Old.st_mtim};
    if (::futimens(tmp.Fd, times) != 0) return false;
  }
  if (::fsync(tmp.Fd) != 0) return false;
  if (::close(tmp.Fd) != 0) {
    tmp.Fd = -1;
    return false;
  }
  tmp.Fd = -1;
  if (::rename(tmp.Name.c_str(), Target.c_str()) != 0) return false;
  tmp.Keep = true;
  return true;
}

bool KnownTrafo(int32_t Code) { return Code == 2 || Code == 5 || Code == 6 || Code == 7 || Code == 8; }

}  // namespace

int32_t Tlosslessjpgform::TrafoOfEntry(int32_t Index) {
  int32_t code = Index + 2;
  if (code > 2) code += 2;
  return code;
}

Tlosslessjpgform::Tlosslessjpgform(TComponent* AOwner, bool WithFile)
    : TToolDialog(AOwner, "losslessjpgform", "Verlustfreie JPG-Transformation") {
  if (WithFile) FileEdit = AddEdit("JPG-Datei", "FileEdit", "");
  AddNote("Hinweis: Die Originaldatei wird überschrieben!");
  TrafoBox = AddCombo("Transformation", "TrafoBox",
                      {"Horizontal spiegeln", "Vertikal spiegeln", "-90° drehen (im Uhrzeigersinn)", "180° drehen",
                       "90° drehen (gegen Uhrzeigersinn)"},
                      2);
  KeepDateBox = AddCheck("Dateidatum und -zeit nicht ändern", "KeepDateBox", true);
  OpenBox = AddCheck("Bild anschließend öffnen", "OpenBox", true);
  TrimBox = AddCheck("Unvollständige Randblöcke abschneiden", "TrimBox", false);
  AddButtons("Ausführen", 241);
  OnRun = [this](TObject*) {
    ResultLine = SettingsLine();
    if (FileEdit)
      ResultLine += WriteParamString("File", StringReplace(FileEdit->Text(), "\"", "", TReplaceFlags{rfReplaceAll}));
  };
}

std::string Tlosslessjpgform::SettingsLine() const {
  return "JPGTrafo" + WriteParamInt("Trafo", TrafoOfEntry(std::max(TrafoBox->ItemIndex(), 0))) +
         WriteParamBool("KeepDateTime", KeepDateBox->Checked()) + WriteParamBool("Open", OpenBox->Checked()) +
         WriteParamBool("Trim", TrimBox->Checked());
}

bool Tlosslessjpgform::RunJpgTrafo(Tform1& Form, const std::string& Line) {
  const std::string file = ReadParamString(Line, "File", "");
  const int32_t trafo = ReadParamInt(Line, "Trafo", 0);
  const bool keepDate = ReadParamBool(Line, "KeepDateTime", true);
  const bool open = ReadParamBool(Line, "Open", false);
  const bool trim = ReadParamBool(Line, "Trim", false);

  struct stat old {};
  std::vector<uint8_t> bytes;
  {
    const int fd = file.empty() ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &old) != 0 || !S_ISREG(old.st_mode)) {
      if (fd >= 0) ::close(fd);
      ShowMessage(kJpgOpenFailed);
      return false;
    }
    bytes.resize(size_t(old.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += size_t(n);
    }
    ::close(fd);
    if (got != bytes.size() || bytes.size() > size_t(INT32_MAX)) {
      ShowMessage(kJpgOpenFailed);
      return false;
    }
  }
  if (!KnownTrafo(trafo)) {
    ShowMessage(std::string(kJpgBadTrafo) + " " + IntToStr(trafo));
    return false;
  }
  TReadOnlyMemoryStream input(bytes.data(), int64_t(bytes.size()));
  switch (CheckJpegTransform(input, uint8_t(trafo))) {
    case jfNotJpeg: ShowMessage(kJpgNotJpeg); return false;
    case jfBadCode: ShowMessage(std::string(kJpgBadTrafo) + " " + IntToStr(trafo)); return false;
    case jfDropsEdges:
      if (!trim) {
        ShowMessage(kJpgDropsEdges);
        return false;
      }
      break;
    case jfPerfect: break;
  }

  TMemoryStream output;
  TProgressRec progress;
  progress.Sender = &Form;
  progress.OnProgress = [&Form](TObject* Sender, int32_t Percent) { Form.onprogressany(Sender, Percent); };
  bool failed = false;
  progress.Aborted = &failed;
  TransformJpegLossless(input, output, progress, 0, 0, 0, 0, jcCopyAll, trim, uint8_t(trafo));
  Form.PercentProc(0);
  if (failed || output.Size() <= 0) {
    ShowMessage(kJpgFailed);
    return false;
  }
  // The file is replaced only once the new one is complete in memory.
  if (!ReplaceFile(file, static_cast<const uint8_t*>(output.Memory()), size_t(output.Size()), old, keepDate)) {
    ShowMessage(kJpgOpenFailed);
    return false;
  }
  // The old date would otherwise keep the old thumbnail.
  if (keepDate) tcache().Remove(file);
  if (open) Form.interpreter(&Form, "Hidden open" + WriteParamString("Filename", file));
  return true;
}

void ShowLosslessJpegDialog(Tform1& Form) {
  auto dlg = std::make_unique<Tlosslessjpgform>(nullptr);
  if (dlg->ShowModal() != mrOk || dlg->ResultLine.empty()) return;
  Form.interpreter(&Form, dlg->ResultLine);
}

}  // namespace kv
