// The program: the main window on a Qt application. --help, --version and the settings options
// answer without a display.
#include <signal.h>

#include <QApplication>
#include <QPixmapCache>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "appinfo/settings_transfer.h"
#include "appinfo/version_info.h"
#include "cp2112/cp2112_runtime.h"
#include "monitor/widgets/main_window.h"
#include "platform/widgets/input_method_warmup.h"
#include "platform/widgets/loop_gap_watch.h"
#include "platform/widgets/qt_message_loop.h"
#include "platform/widgets/termination_notifier.h"
#include "serial/serial_com_handler.h"
#include "serial/widgets/serial_settings_dialog.h"
#include "util/unhandled_exception.h"

namespace {

constexpr char kUsage[] =
    "Usage: kestrova [options]\n"
    "Traffic monitor and terminal for serial lines and their network equivalents.\n"
    "\n"
    "  --help                    show this text and exit\n"
    "  --version                 show the version and exit\n"
    "  --import-settings FILE    merge a registry export (.reg) into the settings and exit\n"
    "  --export-settings FILE    write the per-user settings as a registry export and exit\n"
    "\n"
    "Qt's own options (-platform, -display ...) are accepted as well.\n";

void PrintVersion() {
  kestrova::TFileVersionInfo info(nullptr);
  std::printf("%s %s\n%s\n", info.ProductName().c_str(), info.ProductVersion().c_str(),
              info.CompanyName().c_str());
}

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      PrintVersion();
      return 0;
    }
  }
  if (std::optional<int> status = kestrova::RunSettingsOptions(argc, argv, stdout, stderr)) {
    return *status;
  }
  // A log or settings file at the file-size limit fails its write (EFBIG), which the writers
  // survive; the signal's default would end the program instead.
  signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);
  // Lets a Wayland desktop match the windows with the installed menu entry and its icon.
  QGuiApplication::setDesktopFileName(KESTROVA_APP_ID);
  // The style caches a painted port box per palette, and every colour change of a box (each
  // peer that comes or goes, data after a state change) is a new palette: with Qt's 10 MB the
  // cache fills with pictures never shown again. 256 KB holds what the small windows show; a
  // picture pushed out is only painted again.
  QPixmapCache::setCacheLimit(256);
  kestrova::QtMessageLoop loop(kestrova::ReportUnhandledException);
  kestrova::SetMainLoop(&loop);
  // Serial ports show their settings dialog; distributors that make their own ComHandler make
  // a serial port.
  kestrova::InstallSerialSettingsDialog();
  kestrova::InstallSerialComHandler();
  // The CP2112 bridge library, when there is one, and its worker for the whole run.
  const kestrova::CP2112Runtime bridges;
  int result = 0;
  std::unique_ptr<kestrova::LoopGapWatch> gap_watch;
  if (std::getenv("KESTROVA_LOOP_GAPS") != nullptr) {
    gap_watch = std::make_unique<kestrova::LoopGapWatch>();
  }
  {
    kestrova::TForm1 form;
    // Closing the main window ends the program. Not quit(): that asks every window to close,
    // and the terminal window declines (it minimises instead).
    QObject::connect(
        &form, &kestrova::TForm1::Closed, &application, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    // A logout, `kill` or Ctrl+C closes the window as its close button does, settings stored.
    kestrova::TerminationNotifier on_termination([&form](int) { form.close(); });
    kestrova::WarmUpInputMethodAtFirstFocus();
    if (form.ApplicationShowsMainForm()) form.show();
    result = QApplication::exec();
  }
  gap_watch.reset();
  kestrova::SetMainLoop(nullptr);
  return result;
}
