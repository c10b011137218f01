#include "platform/widgets/input_method_warmup.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <optional>

namespace kestrova {
namespace {

// A key code the keyboard map leaves without any symbol.
std::optional<xcb_keycode_t> KeyWithoutSymbol(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
      xcb_get_keyboard_mapping_reply(
          connection,
          xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count)),
          nullptr),
      &std::free);
  if (!map || map->keysyms_per_keycode == 0) return std::nullopt;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map.get());
  for (int key = 0; key < count; ++key) {
    const xcb_keysym_t* first = symbols + key * map->keysyms_per_keycode;
    bool empty = true;
    for (int i = 0; i < map->keysyms_per_keycode && empty; ++i) empty = first[i] == 0;
    if (empty) return static_cast<xcb_keycode_t>(setup->min_keycode + key);
  }
  return std::nullopt;
}

void SendKeyWithoutSymbol(QWindow* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  xcb_connection_t* connection = x11->connection();
  const std::optional<xcb_keycode_t> key = KeyWithoutSymbol(connection);
  if (!key) return;
  const auto target = static_cast<xcb_window_t>(window->winId());
  for (uint8_t type : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
    xcb_key_press_event_t event{};
    event.response_type = type;
    event.detail = *key;
    event.event = target;
    event.same_screen = 1;
    xcb_send_event(connection, 0, target, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
  }
  xcb_flush(connection);
}

bool TakesTypedText(QObject* object) {
  QInputMethodQueryEvent query(Qt::ImEnabled);
  QCoreApplication::sendEvent(object, &query);
  return query.value(Qt::ImEnabled).toBool();
}

}  // namespace

void WarmUpInputMethodAtFirstFocus() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(
      qGuiApp, &QGuiApplication::focusObjectChanged, qGuiApp, [connection](QObject* object) {
        QWindow* window = QGuiApplication::focusWindow();
        if (object == nullptr || window == nullptr || !TakesTypedText(object)) return;
        QObject::disconnect(*connection);
        SendKeyWithoutSymbol(window);
      });
}

}  // namespace kestrova
