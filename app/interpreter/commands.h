// Handlers of the command language, one per keyword, grouped by topic.
#pragma once

namespace kv {

class TCommandRun;

// commands_file.cpp
void cmdNewImage(TCommandRun& Run);
void cmdOpen(TCommandRun& Run);
void cmdSaveAs(TCommandRun& Run);
void cmdClose(TCommandRun& Run);
void cmdResize(TCommandRun& Run);
void cmdSaveAll(TCommandRun& Run);
void cmdCloseAll(TCommandRun& Run);

// commands_plugin.cpp
void cmdRunPlugin(TCommandRun& Run);
void cmdLastFilter(TCommandRun& Run);

// commands_image.cpp
void cmdNumberColors(TCommandRun& Run);
void cmdShowHistogram(TCommandRun& Run);
void cmdDuplicate(TCommandRun& Run);
void cmdSeperateChannels(TCommandRun& Run);
void cmdClear(TCommandRun& Run);
void cmdWallpaper(TCommandRun& Run);
void cmdDeselect(TCommandRun& Run);

// commands_filter.cpp
void cmdEffect(TCommandRun& Run);
void cmdAcf(TCommandRun& Run);
void cmdFfl(TCommandRun& Run);

// commands_misc.cpp
void cmdPrint(TCommandRun& Run);
void cmdCommentRecord(TCommandRun& Run);
void cmdTextComment(TCommandRun& Run);
void cmdCommentDelete(TCommandRun& Run);
void cmdCommentPlay(TCommandRun& Run);
void cmdCommentImport(TCommandRun& Run);
void cmdCommentSoundOptions(TCommandRun& Run);
void cmdNewCatalog(TCommandRun& Run);
void cmdAddCatalog(TCommandRun& Run);
void cmdDelCatalog(TCommandRun& Run);

// commands_draw.cpp
void cmdStartDrawing(TCommandRun& Run);
void cmdDraw(TCommandRun& Run);
void cmdDrawFinish(TCommandRun& Run);

// commands_scan.cpp
void cmdChooseScanner(TCommandRun& Run);
void cmdScan(TCommandRun& Run);
void cmdScanOptions(TCommandRun& Run);

// commands_edit.cpp
void cmdCut(TCommandRun& Run);
void cmdCrop(TCommandRun& Run);
void cmdCopy(TCommandRun& Run);
void cmdPaste(TCommandRun& Run);
void cmdOptions(TCommandRun& Run);
void cmdWriteText(TCommandRun& Run);
void cmdReadText(TCommandRun& Run);
void cmdWriteData(TCommandRun& Run);
void cmdReadData(TCommandRun& Run);

// commands_tools.cpp
void cmdMake3D(TCommandRun& Run);
void cmdGetLeftRight(TCommandRun& Run);
void cmdMesh(TCommandRun& Run);
void cmdEmail(TCommandRun& Run);
void cmdNewClipboard(TCommandRun& Run);
void cmdScreenshot(TCommandRun& Run);
void cmdQuit(TCommandRun& Run);
void cmdSlideShow(TCommandRun& Run);
void cmdShowMeshDemo(TCommandRun& Run);
void cmdMosaic(TCommandRun& Run);
void cmdCopyNumber(TCommandRun& Run);
void cmdStuckPixel(TCommandRun& Run);
void cmdJpgTrafo(TCommandRun& Run);

}  // namespace kv
