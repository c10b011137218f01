// The six framers as received data meets them: the input, cut into blocks where the fuzzer
// says, runs through a distribution chain, and must give the packets, failed flags and
// waiting bytes that plain rescanning versions give; every byte is handed on exactly once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "support/framer_reference.h"

using kestrova::Protocol;
using kestrova::testing::FrameBlocks;
using kestrova::testing::Framed;

// Input: protocol byte, delimiter byte, then blocks, each a length byte and that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto protocol = static_cast<Protocol>(data[0] % kestrova::kProtocolCount);
  const uint8_t delimiter = data[1];
  std::vector<std::string> blocks;
  std::string all;
  for (size_t at = 2; at < size;) {
    const size_t wanted = 1 + data[at] % 64;
    ++at;
    const size_t length = std::min(wanted, size - at);
    if (length == 0) break;
    blocks.emplace_back(reinterpret_cast<const char*>(data + at), length);
    all += blocks.back();
    at += length;
  }
  const Framed framed = FrameBlocks(kestrova::testing::Stateful(protocol, delimiter), blocks);
  FUZZ_CHECK(framed == FrameBlocks(kestrova::testing::Reference(protocol, delimiter), blocks));
  std::string handed_on;
  for (const auto& packet : framed.packets) {
    FUZZ_CHECK(!packet.bytes.empty());
    handed_on += packet.bytes;
  }
  FUZZ_CHECK(handed_on + framed.waiting == all);
  return 0;
}
