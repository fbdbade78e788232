// Tools that make new pictures or take the whole line: stereo, mesh, mail, clipboard image, screenshot, quit, slide show, mosaic, numbered copies, stuck pixels, lossless JPEG.
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"

namespace kv {

void cmdMake3D(TCommandRun& Run) { MissingTool(Run, "MAKE3D"); }
void cmdGetLeftRight(TCommandRun& Run) { MissingTool(Run, "GETLEFTRIGHT"); }
void cmdMesh(TCommandRun& Run) { MissingTool(Run, "MESH"); }
void cmdEmail(TCommandRun& Run) { MissingTool(Run, "EMAIL"); }
void cmdNewClipboard(TCommandRun& Run) { MissingTool(Run, "NEWCLIPBOARD"); }
void cmdScreenshot(TCommandRun& Run) { MissingTool(Run, "SCREENSHOT"); }
void cmdQuit(TCommandRun& Run) { MissingTool(Run, "QUIT"); }
void cmdSlideShow(TCommandRun& Run) { MissingTool(Run, "SLIDESHOW"); }
void cmdShowMeshDemo(TCommandRun& Run) { MissingTool(Run, "SHOWMESHDEMO"); }
void cmdMosaic(TCommandRun& Run) { MissingTool(Run, "MOSAIC"); }
void cmdCopyNumber(TCommandRun& Run) { MissingTool(Run, "COPYNUMBER"); }
void cmdStuckPixel(TCommandRun& Run) { MissingTool(Run, "STUCKPIXEL"); }
void cmdJpgTrafo(TCommandRun& Run) { MissingTool(Run, "JPGTRAFO"); }

}  // namespace kv
