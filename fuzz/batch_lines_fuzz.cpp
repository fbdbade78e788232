// Batch files are text anyone can write: any line, run by the interpreter of
// a headless main window as a batch runs it, ends as done or as a reported
// failure, never as a crash or a read outside a buffer. Only commands that
// work on images in memory are let through, so a run touches no file, no
// device and no other program.
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "app/batch/batch_player.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "imaging/formats/gif_lzw.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"

// Fontconfig keeps what it loads on the first text drawn for the process's
// life; its caches are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig"; }

namespace {

const std::set<std::string> kAllowed = {
    "NEWIMAGE", "RESIZE",   "NUMBERCOLORS", "DUPLICATE",   "EFFECT", "SEPERATECHANNELS", "CLEAR",  "DESELECT",
    "STARTDRAWING", "DRAW", "DRAWFINISH",   "CUT",         "CROP",   "COPY",             "PASTE",  "WRITETEXT",
    "CLOSE",    "LASTFILTER"};

// Every question gets "No" (so closing never saves), every form Cancel.
class TNoDialogs : public kv::TDialogService {
 public:
  kv::TModalResult MessageDlg(const kv::TDialogRequest&) override { return kv::mrNo; }
  int32_t MessageBox(const kv::TDialogRequest&) override { return 7; /* IDNO */ }
  bool InputQuery(const kv::TDialogRequest&, std::string&) override { return false; }
  kv::TModalResult RunModal(kv::TCustomForm&) override { return kv::mrCancel; }
};

struct TWorld {
  std::string Dir;
  TNoDialogs Dialogs;
  std::unique_ptr<kv::Tform1> Form;
  TWorld() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Dir = (std::filesystem::temp_directory_path() / ("batch-fuzz-" + std::to_string(getpid()))).string() + "/";
    std::filesystem::create_directories(Dir);
    // Nothing of the user's: settings and program folder are ours. (The working
    // folder stays: the fuzzer keeps its corpus relative to it.)
    setenv("HOME", Dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Dir + "config").c_str(), 1);
    kv::SetRegistryFolder(Dir + "reg");
    kv::SetProgramFolder(Dir);
    kv::EnsureQtApplication();
    kv::InstallGifLzwHooks();
    kv::SetDialogService(&Dialogs);
    Form = std::make_unique<kv::Tform1>(nullptr);
    Form->SetStoredBool("NoWelcome", true);
  }
  ~TWorld() {
    Form.reset();
    kv::SetDialogService(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

// Small numbers only: a line may not ask for pictures of millions of pixels.
bool SmallNumbers(std::string_view Line) {
  int run = 0;
  for (char c : Line) {
    run = std::isdigit(static_cast<unsigned char>(c)) ? run + 1 : 0;
    if (run > 3) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 4096) return 0;
  static TWorld world;
  kv::TStringList lines;
  lines.SetText(std::string_view(reinterpret_cast<const char*>(Data), Size));
  for (int32_t i = 0; i < lines.Count() && i < 16; ++i) {
    bool quit = false;
    const std::string line = kv::PrepareBatchLine(lines.Strings(i), quit);
    // The prepared line starts with its 7-character lead; a shorter one holds no command.
    if (line.size() <= 7) continue;
    const std::string keyword = kv::UpperCase(kv::ReadCommandParam(line.substr(7), "command", ""));
    if (quit || !kAllowed.count(keyword) || !SmallNumbers(line)) continue;
    try {
      world.Form->interpreter(world.Form.get(), line);
    } catch (const std::exception&) {
      // A failing line is reported by the interpreter; the batch stops there.
      break;
    }
  }
  // Every window goes again, unsaved, so the next input starts afresh.
  try {
    for (int32_t n = world.Form->MDIChildCount(); n > 0; --n)
      if (!world.Form->interpreter(world.Form.get(), "HIDDEN CLOSE")) break;
  } catch (const std::exception&) {
  }
  kv::Application->ProcessMessages();
  return 0;
}
