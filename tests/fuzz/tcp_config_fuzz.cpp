// The TCP configuration string on a fresh component: whatever the text, what the component then
// writes reads back into another fresh component as the same settings (a negative server port
// is "no server", and without a server its address is not written), and writing that again
// gives the same text. Nothing is ever opened.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "fuzz_main_loop.h"
#include "net/mur_tcp.h"
#include "net/tcp_config.h"

namespace {

void CheckSameSettings(kestrova::VMurTcp& read, kestrova::VMurTcp& reread) {
  FUZZ_CHECK(reread.ClientHost() == read.ClientHost());
  FUZZ_CHECK(reread.ClientPort() == read.ClientPort());
  const bool server = read.ServerPort() >= 0;
  FUZZ_CHECK((reread.ServerPort() >= 0) == server);
  if (server) {
    FUZZ_CHECK(reread.ServerPort() == read.ServerPort());
    FUZZ_CHECK(reread.ServerLocalAddress() == read.ServerLocalAddress());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestrova::fuzzing::MainLoop();
  const std::string text(reinterpret_cast<const char*>(data), size);
  {
    kestrova::VMurTcp read(nullptr);
    kestrova::ApplyTcpConfigString(read, text);
    const std::string written = kestrova::TcpConfigString(read);
    kestrova::VMurTcp reread(nullptr);
    kestrova::ApplyTcpConfigString(reread, written);
    CheckSameSettings(read, reread);
    FUZZ_CHECK(kestrova::TcpConfigString(reread) == written);
    FUZZ_CHECK(!read.ServerActive() && !reread.ServerActive());
  }
  kestrova::fuzzing::MainLoop().RunPending();
  return 0;
}
