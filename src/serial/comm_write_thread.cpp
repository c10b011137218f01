#include "serial/comm_write_thread.h"

#include <array>
#include <exception>
#include <string_view>
#include <system_error>

#include "platform/wait.h"
#include "serial/comm_messages.h"

namespace kestrova {
namespace {

constexpr const char* kName = "WriteThread";

}  // namespace

TWriteThread::TWriteThread(CommThreadContext context) : context_(context) {}

TWriteThread::~TWriteThread() { Shutdown(); }

bool TWriteThread::PostWriteData(std::string data) {
  if (Terminated()) return false;
  const size_t size = data.size();
  queue_.Post(PWM_WriteData, size, 0, size == 0 ? nullptr : MakePayload(std::move(data)));
  return true;
}

void TWriteThread::Execute() {
  try {
    Loop();
  } catch (const std::system_error& error) {
    context_.reporter->ReportError(error.code().value(), "Write WAIT_FAILED: ");
    context_.PostHangupCall(kName, error.code().value(), "write thread: failed wait", 0);
  } catch (const std::exception& error) {
    context_.reporter->ReportMessage(std::string("Write thread ended by ") + error.what());
  }
  context_.reporter->ReportMessage("Write thread shutting down");
  context_.device->Purge(kPurgeTxAbort | kPurgeTxClear);
  Terminate();
  // Blocks still queued are dropped unwritten; their payloads go with the messages.
  while (queue_.TryGet()) {
  }
}

void TWriteThread::Loop() {
  const std::array<int, 2> wait_fds = {context_.CloseFd(), queue_.fd()};
  while (!Terminated()) {
    std::optional<Message> message = queue_.TryGet();
    if (!message) {
      if (WaitForAny(wait_fds, kWaitForever) == 0) return;
      continue;
    }
    if (context_.Closing()) return;
    if (message->id != PWM_WriteData) {
      context_.reporter->ReportMessage("Unexpected message posted to Write thread: " +
                                       std::to_string(message->id));
      continue;
    }
    if (message->wparam == 0) continue;
    const std::string* data = PayloadValue<std::string>(message->payload.get());
    if (data == nullptr) continue;
    context_.reporter->ReportMessage("Writing to comm port");
    if (!HandleWriteData(*data)) return;
  }
}

bool TWriteThread::HandleWriteData(const std::string& data) {
  std::string_view rest(data);
  while (!rest.empty()) {
    if (context_.Closing()) return false;
    const ErrnoResult<size_t> wrote = context_.device->Write(rest, context_.CloseFd());
    if (wrote.error == kSerialAborted) {
      // Closing: what the driver still holds is not sent either.
      context_.device->Purge(kPurgeTxAbort | kPurgeTxClear);
      return false;
    }
    if (wrote.error == EBADF) {
      context_.reporter->ReportMessage(
          "Invalid handle: likely that the driver has closed the port.");
      return false;
    }
    if (wrote.error != 0) {
      context_.reporter->ReportError(wrote.error, "Error to writing to CommFile");
      context_.PostHangupCall(kName, wrote.error, "write thread: failed WriteFile", 0);
      return false;
    }
    rest.remove_prefix(wrote.value);
  }
  return true;
}

}  // namespace kestrova
