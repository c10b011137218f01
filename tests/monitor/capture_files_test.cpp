// Capture file names and how the counter moves on after a save.
#include "monitor/capture_files.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(CaptureFiles, CounterKeepsItsWidthAndStartsOverFromText) {
  const std::pair<const char*, const char*> cases[] = {
      {"1", "2"},    {"007", "008"}, {"9", "10"},
      {"09", "10"},  {"abc", "001"}, {"", "1"},
      {"-5", "-04"}, {"-1", "00"},   {"2147483647", "2147483648"},
      {"1x", "01"}};
  for (const auto& [counter, next] : cases) EXPECT_EQ(NextCaptureCounter(counter), next) << counter;
}

TEST(CaptureFiles, PatternTakesTheCounterAsArgumentOne) {
  EXPECT_EQ(CaptureFileName("Pokusy_%1.rtf", "1"), "Pokusy_1.rtf");
  EXPECT_EQ(CaptureFileName("run_%1_%1.rtf", "007"), "run_007_007.rtf");
  EXPECT_EQ(CaptureFileName("fixed.rtf", "3"), "fixed.rtf");
}

}  // namespace
}  // namespace kestrova
