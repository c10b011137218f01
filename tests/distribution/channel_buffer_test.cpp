#include "distribution/channel_buffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace kestrova {
namespace {

// Against a plain string as the model, over long random runs that cross the compaction sizes.
TEST(ChannelBuffer, BehavesLikeAStringConsumedFromTheHead) {
  std::mt19937 random(7);
  ChannelBuffer buffer;
  std::string model;
  uint64_t dropped = 0;
  for (int step = 0; step < 20000; ++step) {
    if (random() % 2 == 0) {
      const std::string bytes(random() % 3000, static_cast<char>('a' + step % 26));
      buffer.Append(bytes);
      model += bytes;
    } else {
      const size_t count = random() % 4000;
      const size_t removed = buffer.DropHead(count);
      ASSERT_EQ(removed, std::min(count, model.size()));
      model.erase(0, removed);
      dropped += removed;
    }
    ASSERT_EQ(buffer.View(), model);
    ASSERT_EQ(buffer.StreamOffset(), dropped);
  }
}

}  // namespace
}  // namespace kestrova
