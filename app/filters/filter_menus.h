// Filling the main window's menus from the filter catalogues.
#pragma once
#include "platform/rtl/object.h"

namespace kv {

class Tform1;
class TMenuItem;

// The four catalogues into Filter1 (one entry per category), Bild1, Farben1
// and Datei1 (a submenu per category), then the user's filters into Filter1.
// Menus the form does not have are left out. Entries run OnClick, whose
// sender is the tmymenuitem.
void FillFilterMenus(Tform1& Form, const TNotifyEvent& OnClick);

// Filter1 anew: every entry but those tagged 301, 302, 307 and 310 goes, the
// user's filters leave the filter catalogue, then the catalogue and the
// user's filters are added again.
void RebuildFilterMenu(TMenuItem* Filter1, const TNotifyEvent& OnClick);

}  // namespace kv
