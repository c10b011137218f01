#include "util/debug_switch.h"

#include <gtest/gtest.h>

#include <string>

#include "util/diagnostic_notice.h"

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
  RaiseNotice("channel freed twice");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "kestrova: socket 5 closed twice\nkestrova: channel freed twice\n");
  SetDebugSwitch(before);
}

}  // namespace
}  // namespace kestrova
