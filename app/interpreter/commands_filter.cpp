// Filters: built-in effects, user convolution filters, Filter Factory filters.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdEffect(TCommandRun& Run) { MissingTool(Run, "EFFECT"); }
void cmdAcf(TCommandRun& Run) { MissingTool(Run, "ACF"); }
void cmdFfl(TCommandRun& Run) { MissingTool(Run, "FFL"); }

}  // namespace kv
