// Copying or moving the pictures of a memory card into a folder with new
// numbers, so that nothing there is overwritten when the camera restarts its
// count; sound memos go along as sound comments.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/tools/tool_dialog.h"

namespace kv {

class Tform1;
class TEdit;
class TCheckBox;
class TComboBox;
class TimageSourceframe;

inline constexpr const char* kNoFilesSelected = "Keine Dateien ausgewählt";

// The last run of decimal digits of a name: 1-based start and end, and its
// value; Start 0 when the name has no digit.
struct TNumberRun {
  int32_t Start = 0, End = 0;
  int64_t Value = 0;
};
TNumberRun FindNumberRun(const std::string& Base);
// Base with its run replaced by I (padded with "0" to the run's length), or Base + "-" + I.
std::string NumberedName(int64_t I, const std::string& Base, const TNumberRun& Run);

struct TCopyPlan {
  std::vector<std::string> Sources, Targets;
};
// The sources and the targets they get in TargetDir (with "/"); FoldsCase:
// names that differ only by case are the same name there.
TCopyPlan PlanNumberedCopies(const std::vector<std::string>& Files, const std::string& TargetDir, bool Comments,
                             bool FoldsCase);
// Whether names in Folder are compared without case (probed with a file of its own).
bool FolderFoldsCase(const std::string& Folder);

// Copies (or moves) each source to its target, never over an existing file;
// a move within one file system renames, across file systems it copies and
// deletes the source only once the copy is complete. The sources that could
// not be transferred are returned.
std::vector<std::string> TransferFiles(const TCopyPlan& Plan, bool Move);

// The COPYNUMBER line.
void RunCopyNumber(Tform1& Form, const std::string& Line);

class Tdiginform : public TToolDialog {
 public:
  explicit Tdiginform(TComponent* AOwner);
  TEdit* TargetEdit = nullptr;
  TComboBox* ModeBox = nullptr;
  TimageSourceframe* imageSourceframe1 = nullptr;  // the pictures copied
  TCheckBox* CommentsBox = nullptr;
  TCheckBox* BrowserBox = nullptr;
  std::string BuildLine() const;
};

void ShowNumberedCopiesDialog(Tform1& Form);

}  // namespace kv
