#include "appinfo/widgets/improved_form.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

namespace kestrova {
namespace {

constexpr int kRetryMilliseconds = 20;

}  // namespace

VMurImprovedForm::VMurImprovedForm(QWidget* parent) : QMainWindow(parent) {
  connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
          &VMurImprovedForm::OnCommitDataRequest, Qt::DirectConnection);
}

bool VMurImprovedForm::CloseForSessionEnd(std::chrono::milliseconds patience) {
  QDeadlineTimer deadline(patience);
  while (!close()) {
    if (deadline.hasExpired()) return false;
    QEventLoop pause;
    QTimer::singleShot(kRetryMilliseconds, &pause, &QEventLoop::quit);
    pause.exec();
  }
  return true;
}

// The session ends either way; the form only gets its chance to close first.
void VMurImprovedForm::OnCommitDataRequest(QSessionManager&) { CloseForSessionEnd(); }

}  // namespace kestrova
