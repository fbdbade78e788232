#include "platform/devices/screen_windows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kv {

namespace {

template <typename T> using TReply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> TReply<T> Reply(T* P) { return TReply<T>(P, &std::free); }

struct TDisplay {
  xcb_connection_t* C = nullptr;
  xcb_window_t Root = 0;
  TDisplay() {
    int screen = 0;
    C = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(C)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(C));
    for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
    if (it.rem) Root = it.data->root;
  }
  ~TDisplay() {
    if (C) xcb_disconnect(C);
  }
  bool Ok() const { return C && !xcb_connection_has_error(C) && Root; }

  xcb_atom_t Atom(const char* Name) {
    auto r = Reply(xcb_intern_atom_reply(C, xcb_intern_atom(C, 1, uint16_t(std::strlen(Name)), Name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  }

  std::vector<uint32_t> WindowList(xcb_window_t W, xcb_atom_t Prop) {
    std::vector<uint32_t> out;
    if (Prop == XCB_ATOM_NONE) return out;
    auto r = Reply(xcb_get_property_reply(C, xcb_get_property(C, 0, W, Prop, XCB_ATOM_WINDOW, 0, 65536), nullptr));
    if (!r || r->format != 32) return out;
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    out.assign(v, v + xcb_get_property_value_length(r.get()) / 4);
    return out;
  }

  std::string Title(xcb_window_t W, xcb_atom_t NetName, xcb_atom_t Utf8) {
    for (auto [prop, type] : {std::pair{NetName, Utf8}, std::pair{xcb_atom_t(XCB_ATOM_WM_NAME), xcb_atom_t(XCB_ATOM_ANY)}}) {
      if (prop == XCB_ATOM_NONE) continue;
      auto r = Reply(xcb_get_property_reply(C, xcb_get_property(C, 0, W, prop, type, 0, 4096), nullptr));
      if (r && r->format == 8 && xcb_get_property_value_length(r.get()) > 0)
        return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
                           size_t(xcb_get_property_value_length(r.get())));
    }
    return {};
  }

  bool Viewable(xcb_window_t W) {
    auto r = Reply(xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, W), nullptr));
    return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
  }
};

}  // namespace

std::vector<TScreenWindow> ListScreenWindows() {
  std::vector<TScreenWindow> out;
  TDisplay d;
  if (!d.Ok()) return out;
  // A window manager keeps the stacking order of its client windows; without
  // one the root's children are the top-level windows, bottom first.
  std::vector<uint32_t> order = d.WindowList(d.Root, d.Atom("_NET_CLIENT_LIST_STACKING"));
  if (order.empty()) {
    auto tree = Reply(xcb_query_tree_reply(d.C, xcb_query_tree(d.C, d.Root), nullptr));
    if (tree) {
      const xcb_window_t* kids = xcb_query_tree_children(tree.get());
      order.assign(kids, kids + xcb_query_tree_children_length(tree.get()));
    }
  }
  const xcb_atom_t netName = d.Atom("_NET_WM_NAME"), utf8 = d.Atom("UTF8_STRING");
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if (!d.Viewable(*it)) continue;
    std::string title = d.Title(*it, netName, utf8);
    if (!title.empty()) out.push_back(TScreenWindow{*it, title});
  }
  return out;
}

bool ScreenWindowSize(uint32_t Id, int32_t& Width, int32_t& Height) {
  TDisplay d;
  if (!d.Ok()) return false;
  auto g = Reply(xcb_get_geometry_reply(d.C, xcb_get_geometry(d.C, Id ? Id : d.Root), nullptr));
  if (!g) return false;
  Width = g->width;
  Height = g->height;
  return true;
}

bool RaiseScreenWindow(uint32_t Id) {
  TDisplay d;
  if (!d.Ok() || !Id) return false;
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  auto err = Reply(xcb_request_check(d.C, xcb_configure_window_checked(d.C, Id, XCB_CONFIG_WINDOW_STACK_MODE, &above)));
  xcb_flush(d.C);
  return !err;
}

}  // namespace kv
