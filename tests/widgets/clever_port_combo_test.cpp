#include "clever_comm/widgets/clever_port_combo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>

namespace kestrova {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "clever_comm_widgets_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

std::vector<std::string> Items(const QComboBox& combo) {
  std::vector<std::string> items;
  for (int i = 0; i < combo.count(); ++i) items.push_back(combo.itemText(i).toStdString());
  return items;
}

TEST(CleverPortComboTest, BridgesAreListedBeforeTheSerialPortsAndCurrentItemsStay) {
  App();
  QComboBox combo;
  combo.setEditable(true);
  const std::vector<std::string> bridges = {"Z9", "A1"};
  const std::vector<std::string> ports = {"/dev/ttyS10", "/dev/ttyS2"};
  EXPECT_TRUE(FillCleverPortCombo(&combo, bridges, ports, "A1"));
  EXPECT_EQ(Items(combo), (std::vector<std::string>{"Z9", "A1", "/dev/ttyS2", "/dev/ttyS10"}));

  combo.setCurrentIndex(1);
  int resets = 0;
  QObject::connect(&combo, &QComboBox::currentIndexChanged, [&] { ++resets; });
  EXPECT_TRUE(FillCleverPortCombo(&combo, bridges, ports, "A1"));
  EXPECT_EQ(resets, 0) << "current items are not rebuilt";
  EXPECT_EQ(combo.currentText(), "A1");

  // The bridge was unplugged; a configured serial port that is absent stays selectable.
  EXPECT_TRUE(FillCleverPortCombo(&combo, {"Z9"}, ports, "/dev/ttyUSB0"));
  EXPECT_EQ(Items(combo),
            (std::vector<std::string>{"Z9", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}));
  EXPECT_EQ(combo.currentText(), "A1") << "an editable combo keeps showing its text";
}

}  // namespace
}  // namespace kestrova
