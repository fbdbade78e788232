// Drawing from the image window: start, freehand dabs, finish.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdStartDrawing(TCommandRun& Run) { MissingTool(Run, "STARTDRAWING"); }
void cmdDraw(TCommandRun& Run) { MissingTool(Run, "DRAW"); }
void cmdDrawFinish(TCommandRun& Run) { MissingTool(Run, "DRAWFINISH"); }

}  // namespace kv
