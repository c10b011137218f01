// Looks up an IPv4 address for a host name on a worker thread, so that a slow name service
// never stalls the GUI thread; the answer is delivered on the loop thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/message_loop.h"
#include "platform/message_window.h"

namespace kestrova {

struct UdpHostLookup {
  std::string host;
  bool ok = false;
  uint32_t address = 0;  // host byte order
  std::string error;     // the resolver's text when !ok
};

class UdpHostResolver {
 public:
  using Done = std::function<void(const UdpHostLookup& result)>;

  UdpHostResolver(MessageLoop& loop, Done done);
  // Waits for a lookup still running (the resolver's own time limit bounds it).
  ~UdpHostResolver();
  UdpHostResolver(const UdpHostResolver&) = delete;
  UdpHostResolver& operator=(const UdpHostResolver&) = delete;

  // Starts a lookup of `host` unless one is running; its answer reaches `done` on the loop
  // thread. Loop thread only.
  void Start(const std::string& host);
  bool Running() const { return running_; }

  // The lookup itself, blocking; used by the worker.
  static UdpHostLookup Lookup(const std::string& host);

 private:
  void Deliver(Message message);

  Done done_;
  std::thread worker_;
  bool running_ = false;
  // Last member: destroyed first, so no answer arrives while the rest goes.
  std::unique_ptr<MessageWindow> window_;
};

}  // namespace kestrova
