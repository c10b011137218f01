#include "cp2112/spa9_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(NextWriteChunk, TakesOneTransferWorthFramedBySpa9OrAsItIs) {
  const std::string hundred(100, 'x');
  struct Case {
    TProtocolCP2112 protocol;
    size_t pending;
    size_t taken;
    std::string prefix;
  } cases[] = {
      {cp2112pSPA9, 100, 59, std::string(":\x3B")},
      {cp2112pSPA9, 41, 41, std::string(":\x29")},
      {cp2112pSPA9, 1, 1, std::string(":\x01")},
      {cp2112pAutoRead, 100, 61, ""},
      {cp2112pManualRead, 39, 39, ""},
  };
  for (const Case& c : cases) {
    const CP2112WriteChunk chunk = NextWriteChunk(c.protocol, hundred.substr(0, c.pending));
    EXPECT_EQ(chunk.taken, c.taken) << c.pending;
    EXPECT_EQ(chunk.bus_bytes, c.prefix + std::string(c.taken, 'x')) << c.pending;
  }
}

struct Collected {
  std::string data;
  bool needs_reset = false;
  bool all_within = true;
};

// Feeds `transfer` in pieces that end at `cuts`.
Collected Collect(TProtocolCP2112 protocol, const std::string& transfer, std::vector<size_t> cuts) {
  CP2112ReadCollector collector(protocol);
  Collected result;
  size_t from = 0;
  cuts.push_back(transfer.size());
  for (size_t cut : cuts) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(transfer.data()) + from;
    result.all_within &= collector.Add(std::span<const uint8_t>(bytes, cut - from));
    from = cut;
  }
  result.data = collector.Data();
  result.needs_reset = collector.NeedsReset();
  return result;
}

std::string Padded(std::string bytes, size_t size = kCP2112TransferBytes) {
  bytes.resize(size, '\0');
  return bytes;
}

TEST(CP2112ReadCollector, Spa9PayloadWhereverTheResponsesSplitTheTransfer) {
  struct Case {
    std::string transfer;
    std::string data;
    bool needs_reset;
  } cases[] = {
      {Padded(":\x05hello"), "hello", false},
      {Padded(std::string(":\x45hello")), "hello", false},  // the length's top bits are flags
      {Padded(":\x05hello\x55"), "hello", true},            // out of step after the frame
      {Padded("x\x05hello\x55"), "", false},                // not a frame at all
      {Padded(""), "", false},
  };
  for (const Case& c : cases) {
    for (size_t cut = 0; cut <= c.transfer.size(); ++cut) {
      const Collected got = Collect(cp2112pSPA9, c.transfer, {cut});
      EXPECT_EQ(got.data, c.data) << "cut at " << cut;
      EXPECT_EQ(got.needs_reset, c.needs_reset) << "cut at " << cut;
      EXPECT_TRUE(got.all_within);
    }
  }
}

TEST(CP2112ReadCollector, BytesBeyondTheTransferAreDroppedAndReported) {
  const std::string too_long = Padded("abc", kCP2112TransferBytes + 4);
  const Collected raw = Collect(cp2112pAutoRead, too_long, {30});
  EXPECT_EQ(raw.data, Padded("abc"));
  EXPECT_FALSE(raw.all_within);
  const Collected exact = Collect(cp2112pAutoRead, Padded("abc"), {30});
  EXPECT_TRUE(exact.all_within);
}

}  // namespace
}  // namespace kestrova
