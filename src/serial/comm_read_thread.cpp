#include "serial/comm_read_thread.h"

#include <exception>
#include <string_view>

#include "platform/tick.h"
#include "serial/comm_messages.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

constexpr const char* kName = "ReadThread";

constexpr uint32_t kEventOfSkip[kSkipEventCount] = {
    kEvBreak, kEvCts, kEvDsr, kEvErr, kEvRing, kEvRlsd, kEvRxChar, kEvRxFlag, kEvTxEmpty};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

TReadThread::TReadThread(CommThreadContext context, std::string device_name,
                         VSSComm32SkipEvents skip, const std::atomic<uint32_t>& last_modem_poll,
                         std::atomic<bool>& modem_poll_queued, const std::atomic<bool>& modem_lines)
    : context_(context),
      device_name_(std::move(device_name)),
      skip_(skip),
      last_modem_poll_(last_modem_poll),
      modem_poll_queued_(modem_poll_queued),
      modem_lines_(modem_lines) {}

TReadThread::~TReadThread() { Shutdown(); }

uint32_t TReadThread::EventMask(std::string_view device_name, VSSComm32SkipEvents skip) {
  VSSComm32SkipEvents dropped = skip;
  // Drivers that never report an empty transmitter, or that misreport breaks.
  if (StartsWith(device_name, "BTPORT") || StartsWith(device_name, "S0016MDM") ||
      StartsWith(device_name, "S0016MGMT") || StartsWith(device_name, "S0016OBEX")) {
    dropped.Include(vsceTXEMPTY);
  }
  if (StartsWith(device_name, "SILABSER")) dropped.Include(vsceBreak);
  uint32_t mask = 0;
  for (int e = 0; e < kSkipEventCount; ++e) {
    if (!dropped.Contains(static_cast<VSSComm32SkipEvent>(e))) mask |= kEventOfSkip[e];
  }
  return mask;
}

void TReadThread::Execute() {
  try {
    Loop();
  } catch (const std::exception& error) {
    context_.reporter->ReportMessage(std::string("Read thread ended by ") + error.what());
  }
  context_.reporter->ReportMessage("Read thread shutting down");
  context_.device->Purge(kPurgeRxAbort | kPurgeRxClear);
  Terminate();
}

void TReadThread::Loop() {
  uint32_t mask = EventMask(device_name_, skip_);
  while (!Terminated()) {
    // Without modem lines to poll (a pseudo-terminal, some adapters) nothing needs a periodic
    // wake-up: the thread sleeps until data, a line event or the close request.
    const std::chrono::milliseconds period =
        modem_lines_.load(std::memory_order_relaxed) ? kWaitPeriod : kWaitWithoutLimit;
    const ErrnoResult<SerialWaitResult> woke =
        context_.device->Wait(mask, context_.CloseFd(), period);
    if (woke.error == kSerialAborted || context_.Closing()) return;
    if (woke.error == kSerialNotSupported && mask != 0) {
      // The driver cannot watch the line: carry on with data only.
      context_.reporter->ReportMessage("Line events not supported; reading data only");
      mask = 0;
      continue;
    }
    if (!woke.ok()) {
      context_.reporter->ReportError(woke.error, "Read wait failed: ");
      context_.PostHangupCall(kName, woke.error, "failed wait", 0);
      return;
    }
    if (woke.value.events != 0) {
      const int error = HandleCommEvent(woke.value.events);
      if (error == EACCES) {
        context_.PostHangupCall(kName, error, "failed HandleCommEvent/EAD", 1);
      } else if (error != 0) {
        context_.PostHangupCall(kName, error, "failed HandleCommEvent/other", 0);
      }
    }
    if (woke.value.readable) {
      const int error = HandleReadEvent();
      PostOutbox();
      if (error == kSerialAborted) return;
      if (error != 0) {
        // A line that failed once (hung up, unplugged) stays readable with the same error;
        // the component closes the port on this request, so the reader stops here.
        context_.PostHangupCall(kName, error, "failed HandleReadEvent", 0);
        return;
      }
    }
    PostOutbox();
    RequestModemPoll();
  }
}

void TReadThread::PostOutbox() { context_.window->PostAll(outbox_); }

int TReadThread::HandleCommEvent(uint32_t events) {
  uint32_t modem_status = 0;
  // A device known to have no modem lines is not asked again at every event.
  if (modem_lines_.load(std::memory_order_relaxed)) {
    const ErrnoResult<uint32_t> status = context_.device->ModemStatus();
    if (status.ok()) {
      modem_status = status.value;
    } else if (status.error != kSerialNotSupported) {
      return status.error;
    }
  }
  uint32_t errors = 0;
  if ((events & kEvErr) != 0) {
    const ErrnoResult<SerialErrorState> cleared = context_.device->ClearErrors();
    if (!cleared.ok()) {
      context_.reporter->ReportError(cleared.error, "ClearCommError: ");
      return cleared.error;
    }
    errors = cleared.value.errors & 0xFFFF;
  }
  // Some drivers fill the status word's upper half with garbage: drop such an event.
  if (modem_status > 0xFFFF) return 0;
  outbox_.push_back(
      {PWM_CommEvent, events, static_cast<intptr_t>((errors << 16) | modem_status), nullptr});
  return 0;
}

int TReadThread::HandleReadEvent() {
  const ErrnoResult<size_t> got = context_.device->Read(buffer_, context_.CloseFd());
  if (got.value > 0) {
    // Stamped here: the GUI thread may take the bytes later than they came off the line.
    outbox_.push_back({PWM_ReceivedData, got.value, static_cast<intptr_t>(TickCount()),
                       MakePayload(std::string(buffer_.data(), got.value))});
  }
  if (got.error == EBADF) {
    context_.reporter->ReportMessage("Invalid handle: likely that the driver has closed the port.");
  } else if (got.error != 0 && got.error != kSerialAborted) {
    context_.reporter->ReportError(got.error, "Unexpected read error: ");
  }
  return got.error;
}

void TReadThread::RequestModemPoll() {
  if (!modem_lines_.load(std::memory_order_relaxed)) return;
  if (!TimeoutPassed(last_modem_poll_.load(std::memory_order_relaxed), kModemPollRequestAge,
                     TickCount())) {
    return;
  }
  if (modem_poll_queued_.exchange(true)) return;
  context_.window->Post(PWM_ModemPoll);
}

}  // namespace kestrova
