#include "appinfo/widgets/window_stacking.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova {
namespace {

constexpr char kStampProperty[] = "kestrovaStackingStamp";

// Stamps a window whenever it comes to the top: shown, activated or raised. Nothing in this
// program lowers a window, so a raise is the only z-order change it sees.
class StackingTracker : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::WindowActivate || type == QEvent::ZOrderChange) &&
        object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()) {
      object->setProperty(kStampProperty, ++stamp_);
    }
    return false;
  }

 private:
  qulonglong stamp_ = 0;
};

qulonglong StampOf(const QWidget* window) { return window->property(kStampProperty).toULongLong(); }

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// The children of the root window, bottom first, as the X server stacks them.
struct X11Stacking {
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
  std::vector<xcb_window_t> bottom_first;

  // The root's child that holds `window` (itself, or the frame a window manager put it in).
  std::optional<size_t> PositionOf(xcb_window_t window) const {
    for (int depth = 0; depth < 64 && window != 0; ++depth) {
      auto it = std::find(bottom_first.begin(), bottom_first.end(), window);
      if (it != bottom_first.end()) return static_cast<size_t>(it - bottom_first.begin());
      ReplyPtr<xcb_query_tree_reply_t> reply(
          xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr),
          &std::free);
      if (!reply || reply->parent == root) return std::nullopt;
      window = reply->parent;
    }
    return std::nullopt;
  }
};

std::optional<X11Stacking> QueryX11Stacking() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return std::nullopt;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
  X11Stacking stacking;
  stacking.connection = x11->connection();
  const xcb_setup_t* setup = xcb_get_setup(stacking.connection);
  xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
  if (screen.rem == 0) return std::nullopt;
  stacking.root = screen.data->root;
  // The reply comes after every request Qt queued before it, raises included.
  ReplyPtr<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(stacking.connection, xcb_query_tree(stacking.connection, stacking.root),
                           nullptr),
      &std::free);
  if (!tree) return std::nullopt;
  xcb_window_t* children = xcb_query_tree_children(tree.get());
  stacking.bottom_first.assign(children, children + xcb_query_tree_children_length(tree.get()));
  return stacking;
}

}  // namespace

void StartStackingTracker() {
  static StackingTracker* tracker = nullptr;
  if (tracker != nullptr || qApp == nullptr) return;
  tracker = new StackingTracker;
  tracker->setParent(qApp);
  qApp->installEventFilter(tracker);
}

QList<QWidget*> WindowsTopFirst(const QList<QWidget*>& windows) {
  StartStackingTracker();
  struct Ranked {
    QWidget* window;
    bool known;
    qulonglong rank;  // higher is nearer the top
  };
  std::vector<Ranked> ranked;
  std::optional<X11Stacking> x11 = QueryX11Stacking();
  for (QWidget* window : windows) {
    Ranked entry{window, false, 0};
    if (x11) {
      if (std::optional<size_t> position = x11->PositionOf(window->internalWinId())) {
        entry = {window, true, *position};
      }
    } else if (qulonglong stamp = StampOf(window); stamp != 0) {
      entry = {window, true, stamp};
    }
    ranked.push_back(entry);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
    if (a.known != b.known) return a.known;
    return a.known && a.rank > b.rank;
  });
  QList<QWidget*> ordered;
  for (const Ranked& entry : ranked) ordered.push_back(entry.window);
  return ordered;
}

}  // namespace kestrova
