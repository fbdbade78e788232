// Files and windows: new, open, save, close, resize.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdNewImage(TCommandRun& Run) { MissingTool(Run, "NEWIMAGE"); }
void cmdOpen(TCommandRun& Run) { MissingTool(Run, "OPEN"); }
void cmdSaveAs(TCommandRun& Run) { MissingTool(Run, "SAVEAS"); }
void cmdClose(TCommandRun& Run) { MissingTool(Run, "CLOSE"); }
void cmdResize(TCommandRun& Run) { MissingTool(Run, "RESIZE"); }
void cmdSaveAll(TCommandRun& Run) { MissingTool(Run, "SAVEALL"); }
void cmdCloseAll(TCommandRun& Run) { MissingTool(Run, "CLOSEALL"); }

}  // namespace kv
