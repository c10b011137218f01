#include "platform/shared_memory_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/child_process.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;
using testing::NumberPipe;

constexpr milliseconds kPatience(10000);

// A name no other test run uses, removed again at the end.
class ScopedBlockName {
 public:
  explicit ScopedBlockName(const std::string& tag)
      : name_("kestrova test " + tag + " " + std::to_string(getpid())) {
    SharedMemoryBlock::Unlink(name_);
  }
  ~ScopedBlockName() { SharedMemoryBlock::Unlink(name_); }
  const std::string& str() const { return name_; }

 private:
  std::string name_;
};

TEST(SharedMemoryName, EscapesWhatANameMayNotHoldAndKeepsNamesApart) {
  const struct {
    const char* name;
    const char* shm;
  } kCases[] = {
      {"COM1", "/COM1"},
      {"Experimental COM1 grabber / MEM", "/Experimental%20COM1%20grabber%20%2F%20MEM"},
      {"/dev/ttyUSB0", "/%2Fdev%2FttyUSB0"},
      {"\\\\?\\COM12", "/\\\\?\\COM12"},
      {"50%", "/50%25"},
      {"a\tb\xc3\xa9", "/a%09b%C3%A9"},
  };
  for (const auto& c : kCases) EXPECT_EQ(SharedMemoryName(c.name), c.shm) << c.name;
  EXPECT_NE(SharedMemoryName("a/b"), SharedMemoryName("a%2Fb"));
}

TEST(SharedMemoryName, ShortensLongNamesWithoutMakingThemMeet) {
  const std::string base(300, 'p');
  std::set<std::string> names;
  for (const char* tail : {"1", "2", "/", ""}) {
    const std::string shm = SharedMemoryName(base + tail);
    EXPECT_LE(shm.size(), 256u);
    EXPECT_EQ(shm.find('/', 1), std::string::npos);
    names.insert(shm);
  }
  EXPECT_EQ(names.size(), 4u);
}

TEST(SharedMemoryBlock, CreatorGetsZerosAndLaterUsersShareTheWords) {
  const ScopedBlockName name("share");
  auto first = SharedMemoryBlock::Open(name.str(), 128);
  ASSERT_TRUE(first.ok()) << first.error;
  EXPECT_TRUE(first.value->created());
  ASSERT_EQ(first.value->word_count(), 32u);
  for (size_t i = 0; i < 32; ++i) EXPECT_EQ(first.value->Word(i), 0u);
  first.value->SetWord(0, 2);
  first.value->SetWord(31, 0xDEADBEEF);

  auto second = SharedMemoryBlock::Open(name.str(), 128);
  ASSERT_TRUE(second.ok());
  EXPECT_FALSE(second.value->created());
  EXPECT_EQ(second.value->Word(0), 2u);
  EXPECT_EQ(second.value->Word(31), 0xDEADBEEFu);
  second.value->SetWord(1, 77);
  EXPECT_EQ(first.value->Word(1), 77u);
}

TEST(SharedMemoryBlock, SizeIsRoundedToWords) {
  const ScopedBlockName name("round");
  auto block = SharedMemoryBlock::Open(name.str(), 5);
  ASSERT_TRUE(block.ok());
  EXPECT_EQ(block.value->word_count(), 2u);
}

// A creator that has not sized the block yet must not make us touch memory beyond its end.
TEST(SharedMemoryBlock, AnUnsizedBlockIsGrownBeforeUse) {
  const ScopedBlockName name("unsized");
  const int fd = shm_open(SharedMemoryName(name.str()).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  auto block = SharedMemoryBlock::Open(name.str(), 128);
  ASSERT_TRUE(block.ok());
  EXPECT_FALSE(block.value->created());
  block.value->SetWord(31, 5);
  EXPECT_EQ(block.value->Word(31), 5u);
}

TEST(SharedMemoryBlock, UnlinkGivesTheNextOpenAFreshBlock) {
  const ScopedBlockName name("unlink");
  auto old_block = SharedMemoryBlock::Open(name.str(), 16);
  ASSERT_TRUE(old_block.ok());
  old_block.value->SetWord(0, 9);
  EXPECT_EQ(SharedMemoryBlock::Unlink(name.str()), 0);
  EXPECT_EQ(SharedMemoryBlock::Unlink(name.str()), ENOENT);
  auto fresh = SharedMemoryBlock::Open(name.str(), 16);
  ASSERT_TRUE(fresh.ok());
  EXPECT_TRUE(fresh.value->created());
  EXPECT_EQ(fresh.value->Word(0), 0u);
  EXPECT_EQ(old_block.value->Word(0), 9u);
}

TEST(SharedMemoryBlock, AnotherProcessSeesAndChangesTheSameWords) {
  const ScopedBlockName name("fork");
  auto block = SharedMemoryBlock::Open(name.str(), 128);
  ASSERT_TRUE(block.ok());
  block.value->SetWord(0, 1);
  block.value->SetWord(1, 0x1234);
  NumberPipe done;
  ChildProcess child([&] {
    auto mine = SharedMemoryBlock::Open(name.str(), 128);
    if (!mine.ok() || mine.value->created()) return 1;
    if (mine.value->Word(0) != 1 || mine.value->Word(1) != 0x1234) return 2;
    mine.value->SetWord(2, 0x5678);
    mine.value->SetWord(0, 2);
    done.Send(1);
    return 0;
  });
  EXPECT_EQ(child.Wait(kPatience), 0);
  EXPECT_EQ(block.value->Word(0), 2u);
  EXPECT_EQ(block.value->Word(2), 0x5678u);
}

}  // namespace
}  // namespace kestrova
