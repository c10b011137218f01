// Runs the X11 placement tests against a private Xvfb on Qt's xcb platform. Without Xvfb the
// tests skip with the reason (Qt then runs offscreen so that the binary still starts).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <string>

#include "support/xvfb_server.h"

// A binary may ask for another screen, as a high-density one.
#ifndef KESTROVA_TEST_SCREEN
#define KESTROVA_TEST_SCREEN "1280x1024x24"
#endif

namespace kestrova::test {
std::string x11_skip_reason;
}  // namespace kestrova::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
  }
  kestrova::test::XvfbServer server(KESTROVA_TEST_SCREEN);  // outlives the application
  if (server.Running()) {
    setenv("DISPLAY", server.Display().c_str(), 1);
    qputenv("QT_QPA_PLATFORM", "xcb");
  } else {
    kestrova::test::x11_skip_reason = server.Problem();
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
