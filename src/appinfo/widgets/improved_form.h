// VMurImprovedForm: a main window that, when the desktop session ends, insists on closing
// properly (its close handling saves the settings) instead of being cut off.
#pragma once

#include <QMainWindow>
#include <chrono>

class QSessionManager;

namespace kestrova {

class VMurImprovedForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit VMurImprovedForm(QWidget* parent = nullptr);

  // Asks the form to close until it agrees, letting events run between the attempts (a close
  // may wait for a port or a dialog). Gives up after `patience`, so that a form that never
  // agrees cannot hold the session's end for ever. True when the form closed.
  bool CloseForSessionEnd(std::chrono::milliseconds patience = std::chrono::seconds(10));

 private:
  void OnCommitDataRequest(QSessionManager& manager);
};

}  // namespace kestrova
