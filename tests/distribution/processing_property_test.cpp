// For any stream, any cut into blocks and any chain of claiming handlers: every byte reaches
// every Transfer handler exactly once and in order, and packets end where they end when the
// whole stream arrives in one block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "distribution/distributor.h"
#include "distribution/top_distributor.h"

namespace kestrova {
namespace {

constexpr int kCases = 100000;
constexpr char kAlphabet[] = "abc012";  // '0', '1', '2' can end packets

// A claim rule that depends only on the bytes at the head, never on where a block ended.
struct Shape {
  bool claims;
  char delimiter;
  bool odd_fails;  // packets of odd length are claimed as failed
  bool overshoot;  // a packet ending the buffer is claimed longer than the buffer
  // Claims only once this many bytes follow the packet, after they were handed on unclaimed.
  // With other claimants that would rightly change which packet is shortest, so only a lone
  // claimant looks ahead.
  int lookahead;
};

struct PacketEnd {
  uint64_t offset;
  int lowest;  // position of the claimant in the chain
  bool failed;
  friend bool operator==(const PacketEnd&, const PacketEnd&) = default;
};

struct ChannelSeen {
  std::string data;
  std::vector<PacketEnd> ends;
};

class Chain {
 public:
  Chain(const std::vector<Shape>& shapes, const std::vector<int>& parents, int channels)
      : seen_(shapes.size(), std::vector<ChannelSeen>(channels)) {
    distributors_.push_back(&top_);
    for (size_t i = 1; i < shapes.size(); ++i) {
      members_.push_back(std::make_unique<VMurDistributor>(nullptr));
      members_.back()->SetDistributor(distributors_[parents[i]]);
      distributors_.push_back(members_.back().get());
    }
    for (int c = 1; c < channels; ++c) peers_.push_back(std::make_unique<Object>());
    for (size_t i = 0; i < shapes.size(); ++i) Equip(i, shapes[i]);
  }
  ~Chain() {
    for (auto& peer : peers_) top_.DeleteChannel(peer.get());
    top_.DeleteChannel(nullptr);
  }

  ChannelKey Channel(int c) const { return c == 0 ? ChannelKey() : peers_[c - 1].get(); }
  void Receive(int c, std::string_view block) { top_.ComReceive(nullptr, Channel(c), block); }
  const ChannelSeen& Seen(size_t distributor, int c) const { return seen_[distributor][c]; }

 private:
  int Position(const VMurGeneralDistributor* d) const {
    for (size_t i = 0; i < distributors_.size(); ++i) {
      if (distributors_[i] == d) return static_cast<int>(i);
    }
    return -1;
  }
  int ChannelNumber(ChannelKey channel) const {
    for (size_t c = 0; c <= peers_.size(); ++c) {
      if (Channel(static_cast<int>(c)) == channel) return static_cast<int>(c);
    }
    return -1;
  }

  void Equip(size_t i, Shape shape) {
    VMurGeneralDistributor& d = *distributors_[i];
    if (shape.claims) {
      d.OnAdvancedComDecode() = [shape](VMurGeneralDistributor*, ChannelKey,
                                        VMurDistributor_ChannelRecord* rec, uint32_t) {
        const std::string_view bytes = rec->Buffer->View();
        const size_t end = bytes.find(shape.delimiter);
        if (end == std::string_view::npos || end + 1 + shape.lookahead > bytes.size()) return;
        const auto length = static_cast<int32_t>(end + 1);
        rec->Failed = shape.odd_fails && length % 2 == 1;
        rec->PacketLength = shape.overshoot && end + 1 == bytes.size() ? length + 7 : length;
      };
    }
    d.OnAdvancedRecvTransfer() = [this, i](VMurGeneralDistributor*, ChannelKey channel, uint32_t&,
                                           std::string_view data, VMurGeneralDistributor* lowest,
                                           bool failed) {
      ChannelSeen& seen = seen_[i][ChannelNumber(channel)];
      seen.data += data;
      if (lowest == nullptr) {
        EXPECT_TRUE(failed);
        return;
      }
      const int index = 2 * top_.ChannelIndex(channel);
      const ChannelBuffer& buffer = top_.Buffer(index).Data;
      const auto claimed = static_cast<size_t>(lowest->GetPacketLength(index));
      seen.ends.push_back(
          {buffer.StreamOffset() + std::min(claimed, buffer.size()), Position(lowest), failed});
    };
  }

  VMurTopDistributor top_{nullptr};
  std::vector<std::unique_ptr<VMurDistributor>> members_;
  std::vector<VMurGeneralDistributor*> distributors_;
  std::vector<std::unique_ptr<Object>> peers_;
  std::vector<std::vector<ChannelSeen>> seen_;  // per distributor, per channel
};

std::vector<uint64_t> Offsets(const std::vector<PacketEnd>& ends) {
  std::vector<uint64_t> offsets;
  for (const PacketEnd& end : ends) offsets.push_back(end.offset);
  return offsets;
}

unsigned Seed() {
  if (const char* fixed = std::getenv("KESTROVA_SEED")) return std::strtoul(fixed, nullptr, 10);
  return std::random_device()();
}

TEST(ProcessingProperty, EveryByteOnceAndPacketsIndependentOfBlockBoundaries) {
  const unsigned seed = Seed();
  SCOPED_TRACE("KESTROVA_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  auto below = [&random](unsigned n) { return static_cast<int>(random() % n); };

  for (int n = 0; n < kCases; ++n) {
    const int distributor_count = 1 + below(3);
    std::vector<Shape> shapes;
    std::vector<int> parents{-1};
    for (int i = 0; i < distributor_count; ++i) {
      shapes.push_back(
          {below(5) != 0, kAlphabet[3 + below(3)], below(3) == 0, below(4) == 0, below(3)});
      if (i > 0) parents.push_back(below(i));
    }
    int claimants = 0;
    for (const Shape& shape : shapes) claimants += shape.claims ? 1 : 0;
    if (claimants > 1) {
      for (Shape& shape : shapes) shape.lookahead = 0;
    }
    bool overshoots = false;
    for (const Shape& shape : shapes) overshoots = overshoots || (shape.claims && shape.overshoot);
    const int channels = 1 + below(3);
    std::vector<std::string> streams(channels);
    for (std::string& stream : streams) {
      stream.resize(below(48));
      for (char& c : stream) c = kAlphabet[below(6)];
    }

    // The same streams cut into blocks of random sizes, the channels interleaved at random.
    Chain chain(shapes, parents, channels);
    std::vector<size_t> fed(channels, 0);
    for (bool more = true; more;) {
      more = false;
      const int c = below(channels);
      const size_t size = std::min<size_t>(below(9), streams[c].size() - fed[c]);
      chain.Receive(c, std::string_view(streams[c]).substr(fed[c], size));
      fed[c] += size;
      for (int k = 0; k < channels; ++k) more = more || fed[k] < streams[k].size();
    }
    Chain whole(shapes, parents, channels);
    for (int c = 0; c < channels; ++c) whole.Receive(c, streams[c]);

    for (int c = 0; c < channels; ++c) {
      for (int i = 0; i < distributor_count; ++i) {
        ASSERT_EQ(chain.Seen(i, c).data, streams[c]) << "case " << n << " channel " << c;
        ASSERT_EQ(chain.Seen(i, c).ends, chain.Seen(0, c).ends) << "case " << n;
      }
      // Which claimant wins may rightly depend on the block end when a claim overshoots it;
      // where the packets end may not.
      ASSERT_EQ(Offsets(chain.Seen(0, c).ends), Offsets(whole.Seen(0, c).ends))
          << "case " << n << " channel " << c;
      if (!overshoots) {
        ASSERT_EQ(chain.Seen(0, c).ends, whole.Seen(0, c).ends) << "case " << n;
      }
    }
  }
}

}  // namespace
}  // namespace kestrova
