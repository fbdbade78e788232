// Filter plug-ins.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdRunPlugin(TCommandRun& Run) { MissingTool(Run, "RUNPLUGIN"); }
void cmdLastFilter(TCommandRun& Run) { MissingTool(Run, "LASTFILTER"); }

}  // namespace kv
