// Filters: built-in effects, user convolution filters, Filter Factory filters.
// Each line becomes a temporary filter item that is applied to the current
// image with its current values, no preview, the selection of the active
// image and scale 1.
#include "app/child/child_window.h"
#include "app/filters/filter_apply.h"
#include "app/filters/filter_catalogue.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "platform/rtl/strings.h"

namespace kv {
namespace {

void ReadParams(const TCommandRun& Run, tfilteritem& Item, int32_t Count) {
  Item.ParamCount = Count;
  for (int32_t i = 0; i < Count; ++i) {
    const std::string key = "Param" + IntToStr(i + 1);
    Item.Params[size_t(i)].Value = Run.Str(key.c_str(), "0");
  }
}

void Apply(TCommandRun& Run, tfilteritem& Item) {
  timagerlayer& image = Run.Imager();
  // The filter takes the undo point itself: a rotation keeps the picture it
  // replaces as the snapshot instead of a copy made first.
  Run.Child().modified = true;
  ApplyFilterToImage(image, &Item, false, false, true, 1.0, true);
}

}  // namespace

void cmdEffect(TCommandRun& Run) {
  tfilteritem item;
  item.Kind = fkBuiltin;
  item.Keyword = Run.Str("Name", "");
  ReadParams(Run, item, kMaxFilterParams);
  Apply(Run, item);
}

void cmdAcf(TCommandRun& Run) {
  tfilteritem item;
  item.Kind = fkUserFilter;
  item.Keyword = "UserFilter";
  item.FilePath = Run.Str("Name", "");
  item.Caption = item.FilePath;
  Apply(Run, item);
}

void cmdFfl(TCommandRun& Run) {
  tfilteritem item;
  item.Kind = fkFilterFactory;
  item.FilePath = Run.Str("Name", "");
  item.Caption = item.FilePath;
  item.FilterNumber = Run.Int("Num", 0);
  ReadParams(Run, item, 8);
  Apply(Run, item);
}

}  // namespace kv
