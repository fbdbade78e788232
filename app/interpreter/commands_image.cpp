// Whole-image commands: colours, histogram, duplicate, channels, clear, wallpaper, selection.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdNumberColors(TCommandRun& Run) { MissingTool(Run, "NUMBERCOLORS"); }
void cmdShowHistogram(TCommandRun& Run) { MissingTool(Run, "SHOWHISTOGRAM"); }
void cmdDuplicate(TCommandRun& Run) { MissingTool(Run, "DUPLICATE"); }
void cmdSeperateChannels(TCommandRun& Run) { MissingTool(Run, "SEPERATECHANNELS"); }
void cmdClear(TCommandRun& Run) { MissingTool(Run, "CLEAR"); }
void cmdWallpaper(TCommandRun& Run) { MissingTool(Run, "WALLPAPER"); }
void cmdDeselect(TCommandRun& Run) { MissingTool(Run, "DESELECT"); }

}  // namespace kv
