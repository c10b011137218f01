#include "util/diagnostic_notice.h"

#include <string>

#include "util/debug_switch.h"
#include "util/exception.h"

namespace kestrova {
namespace {
std::function<void(std::string_view)>& Observer() {
  static std::function<void(std::string_view)> observer;
  return observer;
}
}  // namespace

void RaiseNotice(std::string_view text) {
  try {
    throw Exception(std::string(text));
  } catch (const Exception& notice) {
    DebugNote(notice.what());
    if (Observer()) Observer()(notice.what());
  }
}

void SetNoticeObserver(std::function<void(std::string_view)> observer) {
  Observer() = std::move(observer);
}

}  // namespace kestrova
