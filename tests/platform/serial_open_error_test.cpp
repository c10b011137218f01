#include "platform/serial_open_error.h"

#include <grp.h>
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace kestrova {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

struct stat DeviceOwnedBy(gid_t gid, mode_t mode) {
  struct stat device {};
  device.st_mode = S_IFCHR | mode;
  device.st_gid = gid;
  return device;
}

TEST(SerialOpenErrorText, PermissionDeniedNamesTheOwningGroupToJoin) {
  const group* dialout = getgrnam("dialout");
  if (dialout == nullptr) GTEST_SKIP() << "this system has no dialout group";
  const struct stat device = DeviceOwnedBy(dialout->gr_gid, 0660);
  EXPECT_THAT(SerialOpenErrorText(EACCES, "/dev/ttyUSB0", &device),
              AllOf(HasSubstr("Permission denied"), HasSubstr("/dev/ttyUSB0"),
                    HasSubstr("group \"dialout\""), HasSubstr("usermod -aG dialout")));
}

TEST(SerialOpenErrorText, PermissionDeniedNamesAnotherGroupWhenTheDeviceHasOne) {
  const group* other = getgrnam("tty");
  if (other == nullptr) GTEST_SKIP() << "this system has no tty group";
  const struct stat device = DeviceOwnedBy(other->gr_gid, 0660);
  EXPECT_THAT(SerialOpenErrorText(EACCES, "/dev/ttyACM0", &device),
              AllOf(HasSubstr("group \"tty\""), Not(HasSubstr("\"dialout\""))));
}

TEST(SerialOpenErrorText, PermissionDeniedOnARootOnlyDeviceAsksTheAdministrator) {
  const struct stat device = DeviceOwnedBy(0, 0600);
  EXPECT_THAT(SerialOpenErrorText(EACCES, "/dev/ttyS4", &device),
              AllOf(HasSubstr("administrator"), Not(HasSubstr("usermod"))));
}

TEST(SerialOpenErrorText, PermissionDeniedWithAnUnknownGroupGivesItsNumber) {
  const struct stat device = DeviceOwnedBy(54321, 0660);
  if (getgrgid(54321) != nullptr) GTEST_SKIP() << "group 54321 exists here";
  EXPECT_THAT(SerialOpenErrorText(EACCES, "/dev/ttyUSB3", &device), HasSubstr("54321"));
}

TEST(SerialOpenErrorText, PermissionDeniedWithoutStatStillPointsAtDialout) {
  EXPECT_THAT(SerialOpenErrorText(EACCES, "/dev/ttyUSB0", nullptr), HasSubstr("\"dialout\""));
}

TEST(SerialOpenErrorText, OtherErrorsNameTheDeviceAndTheCause) {
  const struct {
    int error;
    const char* expected;
  } kCases[] = {
      {ENOENT, "does not exist"},      {ENODEV, "does not exist"},  {EBUSY, "in use"},
      {ENOTTY, "not a serial device"}, {EIO, "Input/output error"},
  };
  for (const auto& c : kCases) {
    EXPECT_THAT(SerialOpenErrorText(c.error, "/dev/ttyUSB9", nullptr),
                AllOf(HasSubstr("/dev/ttyUSB9"), HasSubstr(c.expected)))
        << c.error;
  }
  EXPECT_EQ(SerialOpenErrorText(0, "/dev/ttyUSB9", nullptr), "");
}

}  // namespace
}  // namespace kestrova
