#include "serial/comm_thread_context.h"

#include "serial/comm_messages.h"

namespace kestrova {

void CommThreadContext::PostHangupCall(const char* thread_name, int error_code,
                                       const std::string& reason, int flag) const {
  reporter->ReportMessage(std::string(thread_name) + ".PostHangupCall because " + reason);
  window->Post(PWM_RequestHangup, static_cast<uintptr_t>(error_code), flag);
}

}  // namespace kestrova
