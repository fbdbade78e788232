// Printing, comments and catalogs.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdPrint(TCommandRun& Run) { MissingTool(Run, "PRINT"); }
void cmdCommentRecord(TCommandRun& Run) { MissingTool(Run, "COMMENTRECORD"); }
void cmdTextComment(TCommandRun& Run) { MissingTool(Run, "TEXTCOMMENT"); }
void cmdCommentDelete(TCommandRun& Run) { MissingTool(Run, "COMMENTDELETE"); }
void cmdCommentPlay(TCommandRun& Run) { MissingTool(Run, "COMMENTPLAY"); }
void cmdCommentImport(TCommandRun& Run) { MissingTool(Run, "COMMENTIMPORT"); }
void cmdCommentSoundOptions(TCommandRun& Run) { MissingTool(Run, "COMMENTSOUNDOPTIONS"); }
void cmdNewCatalog(TCommandRun& Run) { MissingTool(Run, "NEWCATALOG"); }
void cmdAddCatalog(TCommandRun& Run) { MissingTool(Run, "ADDCATALOG"); }
void cmdDelCatalog(TCommandRun& Run) { MissingTool(Run, "DELCATALOG"); }

}  // namespace kv
