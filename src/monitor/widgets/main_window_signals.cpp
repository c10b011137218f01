// The main window's modem signal indicators: levels, reporting flags and their pop-up menu.
#include "monitor/widgets/main_window.h"

#include <QAction>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

#include "util/widgets/qt_color.h"

namespace kestrova {

void TForm1::ConnectSignalIndicators() {
  for (QFrame* shape : signal_shapes_) shape->installEventFilter(this);
  connect(PMenuCommSignals, &QMenu::aboutToShow, this, [this] {
    ItemCommSignalsTerm->setChecked(signal_flags_[menu_signal_] & kReportToTerminal);
    ItemCommSignalsLog->setChecked(signal_flags_[menu_signal_] & kReportToLog);
  });
  connect(ItemCommSignalsTerm, &QAction::triggered, this, [this] {
    SetSignalFlags(menu_signal_, signal_flags_[menu_signal_] ^ kReportToTerminal);
  });
  connect(ItemCommSignalsLog, &QAction::triggered, this,
          [this] { SetSignalFlags(menu_signal_, signal_flags_[menu_signal_] ^ kReportToLog); });
}

bool TForm1::SignalIndicatorEvent(QObject* watched, QEvent* event) {
  const auto* shape = std::find(signal_shapes_.begin(), signal_shapes_.end(), watched);
  if (shape == signal_shapes_.end()) return false;
  // Only a mouse event may be cast to one; the shapes get palette, paint and other events too.
  if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
    return false;
  const int index = static_cast<int>(shape - signal_shapes_.begin());
  const auto* mouse = static_cast<const QMouseEvent*>(event);
  if (mouse->modifiers() != Qt::NoModifier) return false;
  if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
    SetSignalFlags(index, ToggledSignalFlags(signal_flags_[index]));
    return true;
  }
  if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
    ShowSignalMenu(index, mouse->globalPosition().toPoint());
    return true;
  }
  return false;
}

void TForm1::SignalChanged(int index, bool active) {
  QFrame* shape = signal_shapes_[index];
  QPalette palette = shape->palette();
  palette.setColor(QPalette::Window, ToQColor(SignalFillColor(active)));
  shape->setPalette(palette);
  const std::string_view name = kSignalNames[index];
  shape->setToolTip(QString::fromStdString(SignalHint(name, active)));
  const std::string report = SignalReport(name, active);
  if (signal_flags_[index] & kReportToTerminal) {
    VMurTerminal1->AddLine(report, VMurTerminal_ltExtraG);
  }
  if (signal_flags_[index] & kReportToLog) {
    display_->LogMessage(report);
  }
}

void TForm1::SetSignalFlags(int index, int flags) {
  signal_flags_[index] = flags & (kReportToTerminal | kReportToLog);
  QFrame* shape = signal_shapes_[index];
  QPalette palette = shape->palette();
  palette.setColor(QPalette::WindowText, ToQColor(SignalOutlineColor(signal_flags_[index])));
  shape->setPalette(palette);
}

void TForm1::ShowSignalMenu(int index, const QPoint& position) {
  menu_signal_ = index;
  PMenuCommSignals->popup(position);
}

}  // namespace kestrova
