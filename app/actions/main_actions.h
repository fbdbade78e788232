// The actions of the main window: every menu item and speed button is bound
// to one of them, and one handler serves them all. The actions are described
// by a table (name, caption, category, tag and what the action does), from
// which CreateMainActions builds the action list.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

class Tform1;
class TOpenImagerDialog;
class TAction;
class TMenuItem;

// What an action does when executed; actions of one kind share one handler.
enum TMainActionKind : uint8_t {
  akLine,             // runs its fixed command line
  akImageDialog,      // new-image / resize dialog
  akOpen,             // open dialog, then openit
  akSaveAs,
  akSave,
  akFilterDialog,     // filter browser
  akQuickFilter,      // quick filter choice
  akPrint,            // print dialog, variant = tag
  akCapture,          // capture window, mode = tag
  akSlideshow,
  akSlideshowCatalog,
  akComment,          // sound and text comments
  akCatalogAdd,
  akBrowser,
  akNewCatalog,
  akCatalogRemove,
  akAutomation,       // automation window (batch, auto scan, copier, multi scan)
  akRecorder,         // batchnew, batchpause, batchstop
  akScan,             // "Scan" plus the stored scanner options
  akUndo,
  akRedo,
  akWriteText,
  akWriteData,
  akReadData,
  akAnaglyph,         // 3-D window, mode = tag
  akDrawingTool,
  akJoin,
  akScreenshot,
  akMosaic,
  akDrawingWindow,    // toggles the drawing-options window
  akNumberedCopies,
  akStuckPixel,
  akLosslessJpeg,
};

struct TMainActionInfo {
  const char* Name;
  const char* Caption;
  const char* Category;
  int32_t Tag;
  TMainActionKind Kind;
  const char* Line;  // the fixed command line of akLine actions
};

// Tag of the sixteen drawing-tool actions, which form one radio group.
constexpr int32_t kDrawingToolTag = 55;

// Every action of the main window, in the order the handler tests them.
const std::vector<TMainActionInfo>& MainActionTable();
// The table row of an action name (no case), or nullptr.
const TMainActionInfo* FindMainActionInfo(const std::string& Name);
// The drawing-tool actions in the order of the mouse-pointer menu: the
// place of the checked one is the current drawing tool.
const std::vector<std::string>& DrawingToolActionNames();

// Creates Form.ActionList1 (owned by the form) with every action of the
// table, each owned by the form and executed through Tform1::ActionList1Execute.
// The zoom tool starts checked. Actions that exist already are kept.
void CreateMainActions(Tform1& Form);

// The action of that name in Form.ActionList1, or nullptr.
TAction* MainAction(const Tform1& Form, const std::string& Name);

// The place (0 to 15) of the checked drawing-tool action; 0 when none is
// checked, the process-wide drawingtool when the form has no actions.
int32_t CheckedDrawingTool(const Tform1& Form);

// Fills Form.Mauszeiger1 (when it exists and is empty) with the sixteen radio
// items of the drawing tools, each bound to its action.
void BuildMousePointerMenu(Tform1& Form);

// Every command line an action issues goes through here; by default it is
// run by Form.interpreter with the main window as Sender. Tests set their own
// runner to see the lines; the previous one is returned.
using TActionLineRunner = std::function<void(Tform1& Form, const std::string& Line)>;
TActionLineRunner SetActionLineRunner(TActionLineRunner Runner);
void RunActionLine(Tform1& Form, const std::string& Line);

// Gives a shared open or save dialog a title and, when Filter is not empty,
// a filter of its own (the automatic image filter off), and puts title,
// filter, automatic filter and default extension back when it ends.
class TDialogSettingsScope {
 public:
  TDialogSettingsScope(TOpenImagerDialog& Dialog, const std::string& Title, const std::string& Filter = "");
  ~TDialogSettingsScope();
  TDialogSettingsScope(const TDialogSettingsScope&) = delete;
  TDialogSettingsScope& operator=(const TDialogSettingsScope&) = delete;

 private:
  TOpenImagerDialog& FDialog;
  std::string FTitle, FFilter, FDefaultExt;
  bool FAutoSetFilter;
};

// Shown when an action is refused because a batch or a message pump runs.
extern const char* const kBatchBusyMessage;

// The list indexes of the selected cells Left..Right x Top..Bottom of a
// catalog grid in the order they are removed: rows from the last to the
// first, within a row columns from the last to the first, so that every
// removal leaves the indexes still to come valid. CellIndex gives a cell's
// list index; cells at Count or beyond (empty cells) are skipped, and an
// index shown by several cells is removed once, in its place from the back.
std::vector<int32_t> CatalogRemovalOrder(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                                         const std::function<int32_t(int32_t Col, int32_t Row)>& CellIndex,
                                         int32_t Count);

}  // namespace kv
