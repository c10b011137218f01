// A shown terminal view on an offscreen Qt application, with the main window's limits and
// headers, for the benchmarks of everything that ends in the terminal.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

#include "terminal/terminal_output.h"
#include "terminal/widgets/traffic_view.h"

namespace kestrova::bench {

inline QApplication& App() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "kestrova_bench";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the other statics at exit crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Resident memory of this process in KiB.
inline long ResidentKib() {
  long pages = 0;
  long resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(statm);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A shown terminal window with the limits and headers of the main window: the view above a
// send line, which has the focus (nobody is reading the view, so it follows the newest text).
struct ShownView {
  ShownView() {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(view);
    layout->addWidget(send_line);
    window.resize(800, 640);
    window.show();
    send_line->setFocus();
    QApplication::processEvents();
    output.SetMaxLines(2100);
    output.SetMaxChars(6553500);
    output.SetShowOptions(vstsoShowLineCounts | vstsoShowTimes);
  }

  QApplication& app = App();  // before any widget
  QWidget window;
  TrafficView* view = new TrafficView(&window);
  QLineEdit* send_line = new QLineEdit(&window);
  TerminalOutput output{view};
};

}  // namespace kestrova::bench
