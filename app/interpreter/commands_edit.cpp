// Clipboard, options and data hidden in pixels.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdCut(TCommandRun& Run) { MissingTool(Run, "CUT"); }
void cmdCrop(TCommandRun& Run) { MissingTool(Run, "CROP"); }
void cmdCopy(TCommandRun& Run) { MissingTool(Run, "COPY"); }
void cmdPaste(TCommandRun& Run) { MissingTool(Run, "PASTE"); }
void cmdOptions(TCommandRun& Run) { MissingTool(Run, "OPTIONS"); }
void cmdWriteText(TCommandRun& Run) { MissingTool(Run, "WRITETEXT"); }
void cmdReadText(TCommandRun& Run) { MissingTool(Run, "READTEXT"); }
void cmdWriteData(TCommandRun& Run) { MissingTool(Run, "WRITEDATA"); }
void cmdReadData(TCommandRun& Run) { MissingTool(Run, "READDATA"); }

}  // namespace kv
