#include <cassert>

#include "platform/message_loop.h"

namespace kestrova {
namespace {
MessageLoop* main_loop = nullptr;
}  // namespace

MessageLoop& MainLoop() {
  assert(main_loop != nullptr && "SetMainLoop must be called before the loop is used");
  return *main_loop;
}

void SetMainLoop(MessageLoop* loop) { main_loop = loop; }

}  // namespace kestrova
