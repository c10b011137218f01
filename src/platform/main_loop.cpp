#include <cstdio>
#include <cstdlib>

#include "platform/message_loop.h"

namespace kestrova {
namespace {
MessageLoop* main_loop = nullptr;
}  // namespace

MessageLoop& MainLoop() {
  if (main_loop == nullptr) {
    // A programming error that would otherwise be a null dereference somewhere later.
    std::fputs("kestrova: the main loop is used before SetMainLoop\n", stderr);
    std::abort();
  }
  return *main_loop;
}

void SetMainLoop(MessageLoop* loop) { main_loop = loop; }

bool HasMainLoop() { return main_loop != nullptr; }

}  // namespace kestrova
