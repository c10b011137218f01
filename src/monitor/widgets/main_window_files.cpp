// The main window's files: numbered capture files of the view, the log file, send scripts.
#include "monitor/widgets/main_window.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QToolButton>

#include "monitor/capture_files.h"
#include "platform/tick.h"

namespace kestrova {

void TForm1::ConnectFileControls() {
  EditFilename->installEventFilter(this);
  EditFile1->installEventFilter(this);
  connect(ItemSave, &QAction::triggered, this, [this] { EditFilenameDblClick(); });
  for (QLineEdit* edit : {EditFilename, EditFile1}) {
    connect(edit, &QLineEdit::returnPressed, this, [this] { EditFilenameDblClick(); });
    connect(edit, &QLineEdit::textChanged, this, [this] { EditFilenameChange(); });
  }
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
}

bool TForm1::FileControlEvent(QObject* watched, QEvent* event) {
  if ((watched == EditFilename || watched == EditFile1) &&
      event->type() == QEvent::MouseButtonDblClick) {
    EditFilenameDblClick();
    return true;
  }
  return false;
}

void TForm1::OpenLog(const std::string& file_name) {
  log_file_name_ = file_name;
  logger_->Close();
  logger_->SetLogPath(file_name);
  PaintLogIndicator(logger_->Open());
}

void TForm1::EditFilenameDblClick() {
  const std::string counter = EditFile1->text().toStdString();
  try {
    VMurTerminal1->Output().SaveToFile(CaptureFileName(EditFilename->text().toStdString(), counter),
                                       true);
  } catch (const std::exception&) {
    PaintWindow(true);
    return;
  }
  PaintWindow(false);
  EditFile1->setText(QString::fromStdString(NextCaptureCounter(counter)));
  QApplication::beep();
}

void TForm1::EditFilenameChange() {
  const std::string name =
      CaptureFileName(EditFilename->text().toStdString(), EditFile1->text().toStdString());
  const bool taken = QFileInfo::exists(QString::fromStdString(name));
  for (QLineEdit* edit : {EditFilename, EditFile1}) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, taken
                                         ? QColor(255, 0, 0)
                                         : edit->style()->standardPalette().color(QPalette::Text));
    edit->setPalette(palette);
  }
}

void TForm1::SpeedButton1Click() {
  const QString chosen =
      QFileDialog::getSaveFileName(this, QString(), QString::fromStdString(log_file_name_));
  if (!chosen.isEmpty()) OpenLog(chosen.toStdString());
}

void TForm1::LoadScript() {
  const QString file = QFileDialog::getOpenFileName(this, QString(), "kruhac.txt");
  if (file.isEmpty()) return;
  std::string error;
  if (!script_.LoadFile(file.toStdString(), TickCount(), error)) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
  }
  VMurTopDistributor1->WakeTimer();
}

}  // namespace kestrova
