// The writer of an open serial port: takes byte blocks from its queue in order and writes
// each whole, until the port closes or a write fails.
#pragma once

#include <string>

#include "platform/thread_message_queue.h"
#include "serial/comm_thread_context.h"
#include "serial/mur_thread.h"

namespace kestrova {

class TWriteThread final : public VMurThread {
 public:
  explicit TWriteThread(CommThreadContext context);
  ~TWriteThread() override;

  // Any thread. Queues a copy of `data` (empty: a wake-up that writes nothing). False once the
  // thread has ended: nothing would write the bytes.
  bool PostWriteData(std::string data);

 protected:
  void Execute() override;

 private:
  void Loop();
  // True when the whole block was written.
  bool HandleWriteData(const std::string& data);

  const CommThreadContext context_;
  ThreadMessageQueue queue_;
};

}  // namespace kestrova
