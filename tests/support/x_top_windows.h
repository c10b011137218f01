// A small X client for tests of the whole program on a private Xvfb: lists the top-level
// windows by caption and closes a window the way a window manager does.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace kestrova::test {

template <typename T>
using XReply = std::unique_ptr<T, decltype(&std::free)>;

struct TopWindow {
  xcb_window_t id = 0;
  bool viewable = false;
};

// A client of the test's X server; there is no window manager, so the program's top-level
// windows are the root's children.
class XClient {
 public:
  explicit XClient(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {}
  ~XClient() { xcb_disconnect(c_); }
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool Ok() const { return xcb_connection_has_error(c_) == 0; }

  // Named top-level windows by caption; of two with one caption the viewable one counts.
  std::map<std::string, TopWindow> TopWindows() {
    std::map<std::string, TopWindow> windows;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c_, xcb_query_tree(c_, root), nullptr),
                                        &std::free);
    if (!tree) return windows;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
      XReply<xcb_get_property_reply_t> name(
          xcb_get_property_reply(c_,
                                 xcb_get_property(c_, 0, children[i], XCB_ATOM_WM_NAME,
                                                  XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                 nullptr),
          &std::free);
      XReply<xcb_get_window_attributes_reply_t> attributes(
          xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, children[i]), nullptr),
          &std::free);
      if (!name || !attributes || xcb_get_property_value_length(name.get()) <= 0) continue;
      const std::string caption(static_cast<const char*>(xcb_get_property_value(name.get())),
                                xcb_get_property_value_length(name.get()));
      TopWindow& window = windows[caption];
      if (!window.viewable) window = {children[i], attributes->map_state == XCB_MAP_STATE_VIEWABLE};
    }
    return windows;
  }

  // What a window manager sends when the user closes a window.
  void SendDeleteWindow(xcb_window_t window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom("WM_PROTOCOLS");
    event.data.data32[0] = Atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c_);
  }

 private:
  xcb_atom_t Atom(const char* name) {
    XReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  xcb_connection_t* c_;
};

// " \"caption\" (viewable)" for each window.
inline std::string Describe(const std::map<std::string, TopWindow>& windows) {
  std::string text;
  for (const auto& [caption, window] : windows)
    text += " \"" + caption + "\"" + (window.viewable ? " (viewable)" : " (not viewable)");
  return text.empty() ? " none" : text;
}

}  // namespace kestrova::test
