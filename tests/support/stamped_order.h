// Checks that messages stamped (source, sequence) by several posting threads all arrived, each
// source's in the order it posted them.
#pragma once

#include <gtest/gtest.h>

#include <vector>

namespace kestrova::testing {

struct Stamp {
  int source = 0;
  int sequence = 0;
};

inline ::testing::AssertionResult AllArrivedInSourceOrder(const std::vector<Stamp>& received,
                                                          int sources, int per_source) {
  std::vector<int> next(sources, 0);
  for (const Stamp& stamp : received) {
    if (stamp.source < 0 || stamp.source >= sources) {
      return ::testing::AssertionFailure() << "unknown source " << stamp.source;
    }
    if (stamp.sequence != next[stamp.source]) {
      return ::testing::AssertionFailure() << "source " << stamp.source << ": got "
                                           << stamp.sequence << ", expected " << next[stamp.source];
    }
    ++next[stamp.source];
  }
  for (int source = 0; source < sources; ++source) {
    if (next[source] != per_source) {
      return ::testing::AssertionFailure()
             << "source " << source << ": " << next[source] << " of " << per_source << " arrived";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace kestrova::testing
