// Printing, comments and catalogs.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"

namespace kv {

void cmdPrint(TCommandRun& Run) { MissingTool(Run, "printing"); }
void cmdCommentRecord(TCommandRun& Run) { MissingTool(Run, "sound comments"); }

void cmdTextComment(TCommandRun& Run) {
  const std::string file = Run.Str("Name", "") + ".txt";
  TStringList text;
  if (!Run.List("Text", text)) {
    Run.Return();
    return;
  }
  if (text.Count() == 0) {
    // An empty comment is no comment: the file goes.
    if (FileExists(file) && !DeleteFile(file)) throw ECommandError("Cannot delete " + file);
    Run.Return();
    return;
  }
  text.SaveToFile(file);
}

void cmdCommentDelete(TCommandRun& Run) {
  const std::string file = Run.Str("Name", "") + ".wav";
  if (FileExists(file) && !DeleteFile(file)) throw ECommandError("Cannot delete " + file);
}

void cmdCommentPlay(TCommandRun& Run) { MissingTool(Run, "sound comments"); }
void cmdCommentImport(TCommandRun& Run) { MissingTool(Run, "sound comments"); }
void cmdCommentSoundOptions(TCommandRun& Run) { MissingTool(Run, "sound settings"); }
void cmdNewCatalog(TCommandRun& Run) { MissingTool(Run, "catalog windows"); }
void cmdAddCatalog(TCommandRun& Run) { MissingTool(Run, "catalog windows"); }
void cmdDelCatalog(TCommandRun& Run) { MissingTool(Run, "catalog windows"); }

}  // namespace kv
