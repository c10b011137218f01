// The TCP address dialog on real Qt widgets, offscreen: texts by language, OK applies port then
// host, Cancel changes nothing.
#include "net/widgets/tcp_address_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "net/mur_tcp.h"
#include "platform/poll_message_loop.h"

namespace kestrova {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "net_widgets_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

struct LoopInstalled {
  LoopInstalled() { SetMainLoop(&loop); }
  ~LoopInstalled() { SetMainLoop(nullptr); }
  PollMessageLoop loop;
};

QLineEdit* Edit(QDialog& dialog, const char* name) { return dialog.findChild<QLineEdit*>(name); }

QPushButton* Button(QDialog& dialog, const QString& text) {
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

class TcpAddressDialogTest : public ::testing::Test {
 protected:
  TcpAddressDialogTest() {
    App();
    InstallTcpAddressDialog();
    tcp_.SetClientHost("10.0.0.5");
    tcp_.SetClientPort(4001);
  }
  ~TcpAddressDialogTest() override { VMurTcp::SetDialogRunner(nullptr); }

  bool Run(const std::function<void(QDialog&)>& act) {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(*dialog);
    });
    return tcp_.ShowSettingsDialog();
  }

  LoopInstalled loop_;
  VMurTcp tcp_{nullptr};
};

TEST_F(TcpAddressDialogTest, ShowsTheAddressAndTheLayout) {
  const bool result = Run([](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Communication Settings");
    EXPECT_EQ(Edit(dialog, "host")->text(), "10.0.0.5");
    EXPECT_EQ(Edit(dialog, "port")->text(), "4001");
    // Host above port, the buttons below them at the right, OK first; fixed in size.
    EXPECT_LT(Edit(dialog, "host")->y(), Edit(dialog, "port")->y());
    ASSERT_NE(Button(dialog, "OK"), nullptr);
    EXPECT_GT(Button(dialog, "OK")->y(), Edit(dialog, "port")->geometry().bottom());
    EXPECT_LT(Button(dialog, "OK")->x(), Button(dialog, "Cancel")->x());
    EXPECT_TRUE(Button(dialog, "OK")->isDefault());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Host name:"));
    EXPECT_TRUE(labels.contains("TCP port:"));
    dialog.reject();
  });
  EXPECT_FALSE(result);
}

TEST_F(TcpAddressDialogTest, CzechTextsAndDefaultCaption) {
  TcpAddressDialog czech("h", 1, "", 1029);
  EXPECT_EQ(czech.windowTitle(), "Zadejte TCP adresu");
  QStringList labels;
  for (QLabel* label : czech.findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains("Server:"));
  TcpAddressDialog english("h", 1, "", 0);
  EXPECT_EQ(english.windowTitle(), "Enter TCP address");
}

TEST_F(TcpAddressDialogTest, OkAppliesPortThenHostAndCancelKeepsAll) {
  struct Case {
    const char* host;
    const char* port;
    bool ok;
    const char* want_host;
    int want_port;
  };
  const Case cases[] = {
      {"192.168.1.2", "5000", true, "192.168.1.2", 5000},
      {"192.168.1.2", "abc", true, "192.168.1.2", 4001},
      {"host:77", "5000", true, "host", 77},
      {"other", "1", false, "10.0.0.5", 4001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    tcp_.SetClientHost("10.0.0.5");
    tcp_.SetClientPort(4001);
    const bool result = Run([&c](QDialog& dialog) {
      Edit(dialog, "host")->setText(c.host);
      Edit(dialog, "port")->setText(c.port);
      (c.ok ? Button(dialog, "OK") : Button(dialog, "Cancel"))->click();
    });
    EXPECT_EQ(result, c.ok);
    EXPECT_EQ(tcp_.ClientHost(), c.want_host);
    EXPECT_EQ(tcp_.ClientPort(), c.want_port);
  }
}

}  // namespace
}  // namespace kestrova
