// Scanner selection, acquisition and options.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdChooseScanner(TCommandRun& Run) { MissingTool(Run, "CHOOSESCANNER"); }
void cmdScan(TCommandRun& Run) { MissingTool(Run, "SCAN"); }
void cmdScanOptions(TCommandRun& Run) { MissingTool(Run, "SCANOPTIONS"); }

}  // namespace kv
