#include "util/debug_switch.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(DebugSwitch, NotesReachStandardErrorOnlyWhenOn) {
  const bool before = DebugSwitch();
  SetDebugSwitch(false);
  testing::internal::CaptureStderr();
  DebugNote("hidden");
  SetDebugSwitch(true);
  EXPECT_TRUE(DebugSwitch());
  DebugNote("socket 5 closed twice");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "kestrova: socket 5 closed twice\n");
  SetDebugSwitch(before);
}

}  // namespace
}  // namespace kestrova
