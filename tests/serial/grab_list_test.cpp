// The list of components that want one port, as the grab keeps it in a shared block.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "serial/grab_list.h"

namespace kestrova {
namespace {

using Entries = std::vector<EndpointId>;

struct TakeCase {
  Entries before;
  Entries after;
  EndpointId previous_first;
};

TEST(GrabListTest, TakingPutsOwnFirstOnce) {
  const TakeCase cases[] = {
      {{}, {7}, 0},
      {{7}, {7}, 7},
      {{3, 4}, {7, 3, 4}, 3},
      {{3, 7, 4, 7}, {7, 3, 4}, 3},
  };
  for (const TakeCase& c : cases) {
    Entries entries = c.before;
    EXPECT_EQ(PutGrabEntryFirst(entries, 7), c.previous_first);
    EXPECT_EQ(entries, c.after);
  }
}

struct WithdrawCase {
  Entries before;
  bool queue;
  Entries after;
  bool was_first;
};

TEST(GrabListTest, WithdrawingRemovesOwnAndQueuesOnRequest) {
  const WithdrawCase cases[] = {
      {{}, false, {}, false},
      {{}, true, {7}, false},
      {{7, 3}, false, {3}, true},
      {{7, 3}, true, {3, 7}, true},
      {{3, 7, 4, 7}, true, {3, 4, 7}, false},
  };
  for (const WithdrawCase& c : cases) {
    Entries entries = c.before;
    EXPECT_EQ(WithdrawGrabEntry(entries, 7, c.queue), c.was_first);
    EXPECT_EQ(entries, c.after);
  }
}

TEST(GrabListTest, QueueIsLimitedToTwentyEntries) {
  Entries entries;
  for (EndpointId id = 1; id <= kMaxGrabEntries; ++id) entries.push_back(id);
  WithdrawGrabEntry(entries, 99, true);
  EXPECT_EQ(entries.size(), kMaxGrabEntries);
  EXPECT_EQ(entries.back(), kMaxGrabEntries);
}

TEST(GrabListTest, BlockHoldsCountThenEntries) {
  const std::string name = "kestrova grab list test " + std::to_string(getpid());
  auto opened = SharedMemoryBlock::Open(name, kGrabBlockBytes);
  ASSERT_TRUE(opened.ok()) << opened.error;
  SharedMemoryBlock& block = *opened.value;
  EXPECT_TRUE(ReadGrabEntries(block).empty());

  WriteGrabEntries(block, {5, 6, 7});
  EXPECT_EQ(block.Word(0), 3u);
  EXPECT_EQ(block.Word(1), 5u);
  EXPECT_EQ(ReadGrabEntries(block), (Entries{5, 6, 7}));

  // A count written larger than the list may be (by a broken copy) reads as twenty entries.
  block.SetWord(0, 1000);
  EXPECT_EQ(ReadGrabEntries(block).size(), kMaxGrabEntries);
  EXPECT_EQ(SharedMemoryBlock::Unlink(name), 0);
  EXPECT_EQ(GrabBlockName("COM3"), "Experimental COM3 grabber / MEM");
}

}  // namespace
}  // namespace kestrova
