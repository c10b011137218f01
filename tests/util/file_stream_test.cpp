#include "util/file_stream.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "support/poll_main_loop.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestrova-file-stream-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  // The errno of the refused open, or 0 when it succeeded.
  static int OpenError(const std::string& path, uint32_t access, uint32_t share,
                       uint32_t disposition) {
    try {
      TMurFileStream stream(path, access, share, disposition, 0);
      return 0;
    } catch (const EFCreateError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
      return e.ErrorCode();
    }
  }

  fs::path dir_;
};

TEST_F(FileStreamTest, WritesReadsSeeksAndReportsTheSize) {
  const std::string path = PathOf("log.txt");
  {
    TMurFileStream stream(path, kGenericRead | kGenericWrite, kFileShareRead, kCreateNew,
                          kFileFlagWriteThrough);
    EXPECT_EQ(stream.FileName(), path);
    const std::string data("line\0one\r\n", 10);
    EXPECT_EQ(stream.Write(data), 10);
    EXPECT_EQ(stream.Size(), 10);
    EXPECT_EQ(stream.Position(), 10);
    EXPECT_EQ(stream.Seek(4, SeekOrigin::kBeginning), 4);
    char buffer[16] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), std::string("\0one\r\n", 6));
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);  // end of file
    EXPECT_EQ(stream.Seek(-2, SeekOrigin::kEnd), 8);
    EXPECT_TRUE(stream.SetSize(4));
    EXPECT_EQ(stream.Size(), 4);
    // Write-through never makes the writer wait for the disk.
    EXPECT_EQ(fcntl(stream.Handle(), F_GETFL) & O_DSYNC, 0);
  }
  EXPECT_EQ(Contents(path), "line");
}

TEST_F(FileStreamTest, WriteThroughWithAMainLoopGathersUntilTheTurnsEnd) {
  testing::PollMainLoop main;
  const std::string path = PathOf("gathered.log");
  auto stream = std::make_unique<TMurFileStream>(path, kGenericRead | kGenericWrite, kFileShareRead,
                                                 kCreateNew, kFileFlagWriteThrough);
  EXPECT_EQ(stream->Write("abc"), 3);
  EXPECT_EQ(stream->Write("de"), 2);
  EXPECT_EQ(Contents(path), "");
  EXPECT_EQ(stream->Size(), 5);
  main.loop.RunPending();
  EXPECT_EQ(Contents(path), "abcde");

  // Whatever looks at the file writes what was gathered first.
  const std::pair<const char*, void (*)(TMurFileStream&)> looks[] = {
      {"Position", [](TMurFileStream& s) { s.Position(); }},
      {"Seek", [](TMurFileStream& s) { s.Seek(0, SeekOrigin::kEnd); }},
      {"Read",
       [](TMurFileStream& s) {
         char byte = 0;
         s.Read(&byte, 1);
       }},
      {"SetSize", [](TMurFileStream& s) { s.SetSize(s.Size()); }},
  };
  std::string expected = "abcde";
  for (const auto& [name, look] : looks) {
    EXPECT_EQ(stream->Write(name), static_cast<int64_t>(strlen(name)));
    look(*stream);
    expected += name;
    EXPECT_EQ(Contents(path), expected) << name;
  }

  // A lot at once is written at once.
  const std::string bulk((size_t{1} << 20) + 1, 'x');
  EXPECT_EQ(stream->Write(bulk), static_cast<int64_t>(bulk.size()));
  expected += bulk;
  EXPECT_EQ(Contents(path), expected);

  // A stream that goes writes what it gathered; the flush it had asked for leaves it alone.
  EXPECT_EQ(stream->Write("end"), 3);
  stream.reset();
  EXPECT_EQ(Contents(path), expected + "end");
  main.loop.RunPending();
}

TEST_F(FileStreamTest, CreationDispositionsTable) {
  struct Case {
    const char* name;
    uint32_t disposition;
    bool exists_before;
    int error;             // 0: opens
    const char* contents;  // afterwards, nullptr: no file
  } const cases[] = {
      {"new-missing", kCreateNew, false, 0, ""},
      {"new-existing", kCreateNew, true, EEXIST, "old"},
      {"always-missing", kCreateAlways, false, 0, ""},
      {"always-existing", kCreateAlways, true, 0, ""},
      {"existing-missing", kOpenExisting, false, ENOENT, nullptr},
      {"existing-existing", kOpenExisting, true, 0, "old"},
      {"openalways-missing", kOpenAlways, false, 0, ""},
      {"openalways-existing", kOpenAlways, true, 0, "old"},
      {"truncate-missing", kTruncateExisting, false, ENOENT, nullptr},
      {"truncate-existing", kTruncateExisting, true, 0, ""},
      {"invalid", 9, true, EINVAL, "old"},
  };
  for (const auto& c : cases) {
    const std::string path = PathOf(c.name);
    if (c.exists_before) Put(path, "old");
    EXPECT_EQ(OpenError(path, kGenericWrite, kFileShareRead, c.disposition), c.error) << c.name;
    if (c.contents == nullptr) {
      EXPECT_FALSE(fs::exists(path)) << c.name;
    } else {
      EXPECT_EQ(Contents(path), c.contents) << c.name;
    }
  }
}

TEST_F(FileStreamTest, RefusesDirectoriesMissingFoldersAndTruncationWithoutWriteAccess) {
  EXPECT_EQ(OpenError(dir_.string(), kGenericRead, kFileShareRead, kOpenExisting), EISDIR);
  EXPECT_EQ(OpenError(PathOf("no/such/dir.txt"), kGenericWrite, 0, kOpenAlways), ENOENT);
  const std::string path = PathOf("keep.txt");
  Put(path, "keep");
  EXPECT_EQ(OpenError(path, kGenericRead, kFileShareRead, kCreateAlways), EINVAL);
  EXPECT_EQ(Contents(path), "keep");
}

TEST_F(FileStreamTest, ASecondWriterThatDeniesWritingIsRefusedWithoutTruncating) {
  const std::string path = PathOf("shared.log");
  TMurFileStream first(path, kGenericWrite, kFileShareRead, kOpenAlways, 0);
  ASSERT_EQ(first.Write("first"), 5);
  EXPECT_EQ(OpenError(path, kGenericWrite, kFileShareRead, kOpenAlways), EWOULDBLOCK);
  EXPECT_EQ(OpenError(path, kGenericWrite, kFileShareRead, kCreateAlways), EWOULDBLOCK);
  EXPECT_EQ(Contents(path), "first");
  // A reader that lets others write is never hindered; one that denies writing is refused.
  EXPECT_EQ(OpenError(path, kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting), 0);
  EXPECT_EQ(OpenError(path, kGenericRead, kFileShareRead, kOpenExisting), EWOULDBLOCK);
}

TEST_F(FileStreamTest, ReadersThatDenyWritingShareWithEachOther) {
  const std::string path = PathOf("read.txt");
  Put(path, "data");
  TMurFileStream first(path, kGenericRead, kFileShareRead, kOpenExisting, 0);
  EXPECT_EQ(OpenError(path, kGenericRead, kFileShareRead, kOpenExisting), 0);
  EXPECT_EQ(OpenError(path, kGenericWrite, kFileShareRead, kOpenExisting), EWOULDBLOCK);
}

TEST_F(FileStreamTest, AFailedWriteReportsMinusOne) {
  const std::string path = PathOf("ro.txt");
  Put(path, "x");
  TMurFileStream stream(path, kGenericRead, kFileShareRead, kOpenExisting, 0);
  errno = 0;
  EXPECT_EQ(stream.Write("y"), -1);
  EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace kestrova
