// The reader of an open serial port: waits for bytes and line events, posts what it gets to
// the component's hidden window, asks for modem polls, and asks for a hang-up on failures it
// cannot get past.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/comm_thread_context.h"
#include "serial/comm_types.h"
#include "serial/mur_thread.h"

namespace kestrova {

class TReadThread final : public VMurThread {
 public:
  // Bytes per read; each read that got any becomes one PWM_ReceivedData message.
  static constexpr size_t kReadBufferSize = 2048;
  // How long one wait lasts: bounds the delay of a modem-poll request.
  static constexpr std::chrono::milliseconds kWaitPeriod{100};
  static constexpr std::chrono::milliseconds kWaitWithoutLimit{-1};
  // A modem poll is asked for when the last one is older than this.
  static constexpr uint32_t kModemPollRequestAge = 10;

  // The two atomics belong to the component: the tick of its last modem poll, and whether a
  // poll request is queued and not yet handled (set here, cleared by the component).
  TReadThread(CommThreadContext context, std::string device_name, VSSComm32SkipEvents skip,
              const std::atomic<uint32_t>& last_modem_poll, std::atomic<bool>& modem_poll_queued,
              const std::atomic<bool>& modem_lines);
  ~TReadThread() override;

  // The line events to watch on a device of this name with these events skipped.
  static uint32_t EventMask(std::string_view device_name, VSSComm32SkipEvents skip);

 protected:
  void Execute() override;

 private:
  void Loop();
  // 0, or the errno that made the step fail.
  int HandleCommEvent(uint32_t events);
  int HandleReadEvent();
  void RequestModemPoll();
  // Posts what one wake-up produced, so the GUI thread wakes once for data and line events.
  void PostOutbox();

  const CommThreadContext context_;
  const std::string device_name_;
  const VSSComm32SkipEvents skip_;
  const std::atomic<uint32_t>& last_modem_poll_;
  std::atomic<bool>& modem_poll_queued_;
  const std::atomic<bool>& modem_lines_;
  std::array<char, kReadBufferSize> buffer_{};
  std::vector<Message> outbox_;
};

}  // namespace kestrova
