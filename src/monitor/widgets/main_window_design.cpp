// The main window's controls as designed: positions at 96 dpi, texts, hints, limits, colours and
// the tab order. Behaviour lives in main_window.cpp.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "monitor/widgets/main_window.h"

namespace kestrova {
namespace {

constexpr int kControlHeight = 21;

const char* const kBitRates[] = {"110",    "300",    "600",    "1200",   "2400",
                                 "4800",   "9600",   "14400",  "19200",  "28800",
                                 "38400",  "56000",  "57600",  "115200", "128000",
                                 "230400", "256000", "460800", "921600", "1000000"};

template <class Control>
Control* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* control = new Control(parent);
  control->setObjectName(name);
  control->setGeometry(left, top, width, height);
  return control;
}

QFrame* Shape(QWidget* parent, const char* name, QRect rect, QColor fill) {
  QFrame* shape = Place<QFrame>(parent, name, rect.left(), rect.top(), rect.width(), rect.height());
  shape->setFrameShape(QFrame::Box);
  shape->setAutoFillBackground(true);
  QPalette palette = shape->palette();
  palette.setColor(QPalette::Window, fill);
  shape->setPalette(palette);
  shape->lower();
  return shape;
}

void Paint(QWidget* control, QColor color) {
  control->setAutoFillBackground(true);
  QPalette palette = control->palette();
  palette.setColor(QPalette::Window, color);
  palette.setColor(QPalette::Button, color);
  control->setPalette(palette);
}

QLineEdit* Edit(QWidget* parent, const char* name, int left, int top, int width, const char* hint) {
  auto* edit = Place<QLineEdit>(parent, name, left, top, width, kControlHeight);
  if (hint != nullptr) edit->setToolTip(QString::fromUtf8(hint));
  return edit;
}

QCheckBox* LogCheck(QWidget* parent, const char* name, int left, int top, int width,
                    const char* hint) {
  QCheckBox* check = Place<QCheckBox>(parent, name, left, top, width, 19);
  check->setToolTip(QString::fromUtf8(hint));
  Paint(check, QColor(0, 255, 255));
  return check;
}

QComboBox* BaudBox(QWidget* parent, const char* name, int top) {
  QComboBox* box = Place<QComboBox>(parent, name, 100, top, 61, kControlHeight);
  for (const char* rate : kBitRates) box->addItem(rate);
  return box;
}

DropDownComboBox* PortBox(QWidget* parent, const char* name, int top) {
  auto* box = Place<DropDownComboBox>(parent, name, 24, top, 69, kControlHeight);
  box->setEditable(true);
  box->setEditText("ComboPort1");  // replaced by the stored port at start-up
  return box;
}

// The four indicators of a port, white until the first report; `shapes` gets them in the
// order CTS, DSR, Ring, DCD.
void SignalShapes(QWidget* parent, int port, int first_top, QFrame** shapes) {
  const char* const kSignals[] = {"CTS", "DSR", "Ring", "DCD"};
  for (int i = 0; i < 4; ++i) {
    const std::string name = "Shape" + std::string(kSignals[i]) + std::to_string(port);
    QFrame* shape = Place<QFrame>(parent, name.c_str(), 93, first_top + 6 * i, 7, 7);
    shape->setFrameShape(QFrame::Box);
    Paint(shape, Qt::white);
    shapes[i] = shape;
  }
}

}  // namespace

void TForm1::CreateShapes() {
  Shape(this, "Shape2", QRect(1, 4, 230, 29), QColor(192, 192, 255));
  Shape(this, "Shape3", QRect(1, 36, 230, 29), QColor(255, 192, 192));
  Shape(this, "Shape4", QRect(1, 67, 230, 29), QColor(192, 255, 192));
  Shape1 = Shape(this, "Shape1", QRect(232, 4, 25, 92), QColor(0, 255, 255));
}

void TForm1::PaintLogIndicator(bool log_open) {
  Paint(Shape1, log_open ? QColor(0, 255, 255) : QColor(255, 0, 0));
}

void TForm1::PaintWindow(bool failed) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window,
                   failed ? QColor(255, 0, 0) : style()->standardPalette().color(QPalette::Window));
  setPalette(palette);
}

void TForm1::CreatePortRows() {
  SpeedButton2 = Place<QToolButton>(this, "SpeedButton2", 2, 7, 23, 21);
  SpeedButton2->setText("+/S");
  SpeedButton2->setToolTip("Grab ;-)");
  SpeedButton2->setCheckable(true);
  ComboPort1 = PortBox(this, "ComboPort1", 8);
  SignalShapes(this, 1, 6, &signal_shapes_[0]);
  ComboBaud1 = BaudBox(this, "ComboBaud1", 8);
  SpeedButton3 = Place<QToolButton>(this, "SpeedButton3", 161, 7, 20, 21);
  SpeedButton3->setText("*");
  SpeedButton3->setToolTip("Set color highlighting");
  Button1 = Place<QPushButton>(this, "Button1", 180, 7, 50, 23);
  Button1->setText("Settings");

  Label2 = Place<QLabel>(this, "Label2", 0, 39, 23, 20);
  Label2->setText("-");
  Label2->setAlignment(Qt::AlignCenter);
  ComboPort2 = PortBox(this, "ComboPort2", 40);
  SignalShapes(this, 2, 38, &signal_shapes_[4]);
  ComboBaud2 = BaudBox(this, "ComboBaud2", 40);
  Button2 = Place<QPushButton>(this, "Button2", 180, 39, 50, 23);
  Button2->setText("Settings");

  EditFilename = Edit(this, "EditFilename", 8, 71, 177, "Ukládá se pomocí F2 nebo doubleklikem");
  EditFile1 = Edit(this, "EditFile1", 192, 71, 33, nullptr);
}

void TForm1::CreateOptionControls() {
  CheckLog1 = LogCheck(this, "CheckLog1", 236, 6, 17, "Ukládat port 1");
  CheckLogTimes = LogCheck(this, "CheckLogTimes", 239, 25, 16, "Ukládat včetně časů");
  CheckLog2 = LogCheck(this, "CheckLog2", 236, 44, 17, "Ukládat port 2");
  SpeedButton1 = Place<QToolButton>(this, "SpeedButton1", 234, 69, 21, 25);
  SpeedButton1->setText("...");
  SpeedButton1->setToolTip(QString::fromUtf8("Výběr ukládacího souboru"));

  RGroupProto = Place<QGroupBox>(this, "RGroupProto", 258, 0, 113, 57);
  RGroupProto->setTitle("Protokol");
  // A stop of its own in the tab order; its radio buttons follow it in the chain.
  RGroupProto->setFocusPolicy(Qt::TabFocus);
  proto_buttons_ = new QButtonGroup(RGroupProto);
  for (int i = 0; i < kProtocolCount; ++i) {
    // Two columns, filled top to bottom.
    auto* button = new QRadioButton(ProtocolName(static_cast<Protocol>(i)), RGroupProto);
    button->setGeometry(4 + (i / 3) * 54, 13 + (i % 3) * 14, 54, 14);
    proto_buttons_->addButton(button, i);
  }
  proto_buttons_->button(static_cast<int>(Protocol::kText))->setChecked(true);

  EditSkipByte = Edit(this, "EditSkipByte", 264, 60, 25, "Ignorovat tento bajt");
  EditSkipByte->setMaxLength(3);
  EditHexDelim = Edit(this, "EditHexDelim", 296, 60, 25, "Bajt oddělující hexa a RN pakety");
  EditHexDelim->setMaxLength(2);
  EditHexDelim->setText("7E");
  EditTimeout = Edit(this, "EditTimeout", 328, 60, 41, "Maximalni odmlka v paketu (ms)");
  EditTimeout->setText("100");
  CheckStop = Place<QCheckBox>(this, "CheckStop", 328, 80, 41, 17);
  CheckStop->setText("Stop");
}

void TForm1::CreateMenusAndTabOrder() {
  // The hidden File menu exists only for its F2 shortcut.
  ItemSave = new QAction("save", this);
  ItemSave->setObjectName("ItemSave");
  ItemSave->setShortcut(Qt::Key_F2);
  addAction(ItemSave);

  PMenuCommSignals = new QMenu(this);
  PMenuCommSignals->setObjectName("PMenuCommSignals");
  ItemCommSignalsTerm = PMenuCommSignals->addAction(QString::fromUtf8("Na terminál"));
  ItemCommSignalsTerm->setObjectName("ItemCommSignalsTerm");
  ItemCommSignalsTerm->setCheckable(true);
  ItemCommSignalsLog = PMenuCommSignals->addAction("Do logu");
  ItemCommSignalsLog->setObjectName("ItemCommSignalsLog");
  ItemCommSignalsLog->setCheckable(true);

  QWidget* const order[] = {Button1,    RGroupProto,  Button2,       ComboPort1,
                            ComboPort2, ComboBaud1,   ComboBaud2,    EditFilename,
                            EditFile1,  EditTimeout,  CheckStop,     CheckLog1,
                            CheckLog2,  EditHexDelim, CheckLogTimes, EditSkipByte};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

}  // namespace kestrova
