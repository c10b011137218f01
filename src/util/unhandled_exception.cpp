#include "util/unhandled_exception.h"

#include <cstdio>

namespace kestrova {
namespace {
UnhandledExceptionHandler& Handler() {
  static UnhandledExceptionHandler handler;
  return handler;
}
}  // namespace

void ReportUnhandledException(const std::exception& error) {
  if (Handler()) {
    Handler()(error);
  } else {
    std::fprintf(stderr, "kestrova: %s\n", error.what());
  }
}

void SetUnhandledExceptionHandler(UnhandledExceptionHandler handler) {
  Handler() = std::move(handler);
}

}  // namespace kestrova
