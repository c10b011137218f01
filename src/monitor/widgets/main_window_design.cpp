// The main window's controls as designed: the rows and their order, texts, hints, limits,
// colours and the tab order, sized for the font the window gets. Behaviour lives in
// main_window.cpp.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "appinfo/dpi_rules.h"
#include "monitor/widgets/main_window.h"

namespace kestrova {
namespace {

// Widths of the design at 96 dpi in Tahoma 8 pt: the least a control gets. A control whose
// texts need more in the font at hand gets that; the rows keep their order and colours.
constexpr int kGrabButtonWidth = 23;
constexpr int kPortBoxWidth = 69;
constexpr int kBaudBoxWidth = 61;
constexpr int kColorButtonWidth = 20;
constexpr int kSettingsButtonWidth = 50;
constexpr int kIndicatorSize = 7;
// A port box shows at least a path this long whole; longer ones widen it (see DropDownComboBox).
constexpr char kTypicalPortText[] = "/dev/ttyUSB0";

const char* const kBitRates[] = {"110",    "300",    "600",    "1200",   "2400",
                                 "4800",   "9600",   "14400",  "19200",  "28800",
                                 "38400",  "56000",  "57600",  "115200", "128000",
                                 "230400", "256000", "460800", "921600", "1000000"};

template <class Control>
Control* Make(QWidget* parent, const char* name) {
  auto* control = new Control(parent);
  control->setObjectName(name);
  return control;
}

// The background only: controls inside keep their own button colours.
void Fill(QWidget* widget, QColor color) {
  widget->setAutoFillBackground(true);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
}

void Paint(QWidget* control, QColor color) {
  Fill(control, color);
  QPalette palette = control->palette();
  palette.setColor(QPalette::Button, color);
  control->setPalette(palette);
}

// A coloured background that holds its controls in a layout of its own.
QFrame* Shape(QWidget* parent, const char* name, QColor fill) {
  auto* shape = Make<QFrame>(parent, name);
  shape->setFrameShape(QFrame::Box);
  Fill(shape, fill);
  return shape;
}

QHBoxLayout* RowLayout(QFrame* shape) {
  auto* row = new QHBoxLayout(shape);
  row->setContentsMargins(1, 2, 1, 2);
  row->setSpacing(0);
  return row;
}

// The controls of one column, one per row, at one width: the widest need, the design's least.
void SameWidth(std::initializer_list<QWidget*> column, int design_width) {
  int width = design_width;
  for (QWidget* control : column) width = std::max(width, control->sizeHint().width());
  for (QWidget* control : column) control->setFixedWidth(width);
}

// An edit wide enough for `sample`, the widest text it is meant to hold, and never narrower
// than the design's width.
void FitEditTo(QLineEdit* edit, const QString& sample, int design_width) {
  const QFontMetrics metrics = edit->fontMetrics();
  // The edit's size hint is 17 'x' wide plus its frame and margins; keep those.
  const int chrome = edit->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
  edit->setFixedWidth(std::max(design_width, metrics.horizontalAdvance(sample) + chrome));
}

QLineEdit* Edit(QWidget* parent, const char* name, const char* hint) {
  auto* edit = Make<QLineEdit>(parent, name);
  if (hint != nullptr) edit->setToolTip(QString::fromUtf8(hint));
  return edit;
}

QCheckBox* LogCheck(QWidget* parent, const char* name, const char* hint) {
  auto* check = Make<QCheckBox>(parent, name);
  check->setToolTip(QString::fromUtf8(hint));
  Paint(check, QColor(0, 255, 255));
  return check;
}

QComboBox* BaudBox(QWidget* parent, const char* name) {
  auto* box = Make<QComboBox>(parent, name);
  for (const char* rate : kBitRates) box->addItem(rate);
  return box;
}

DropDownComboBox* PortBox(QWidget* parent, const char* name) {
  auto* box = Make<DropDownComboBox>(parent, name);
  box->setEditable(true);
  box->setEditText("ComboPort1");  // replaced by the stored port at start-up
  box->setMinimumWidth(std::max(kPortBoxWidth, ComboWidthForText(*box, kTypicalPortText)));
  box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return box;
}

// The four indicators of a port in a strip of their own, white until the first report;
// `shapes` gets them in the order CTS, DSR, Ring, DCD. On a denser screen they grow with the
// text, so that they stay big enough to see and to click.
QWidget* SignalShapes(QWidget* parent, int port, QFrame** shapes) {
  const char* const kSignals[] = {"CTS", "DSR", "Ring", "DCD"};
  auto* strip = new QWidget(parent);
  const int dpi = std::max(strip->logicalDpiY(), kDesignPixelsPerInch);
  const int size = MulDiv(kIndicatorSize, dpi, kDesignPixelsPerInch);
  const int step = size - 1;  // neighbouring indicators share their border line
  strip->setFixedSize(size, 3 * step + size);
  for (int i = 0; i < 4; ++i) {
    const std::string name = "Shape" + std::string(kSignals[i]) + std::to_string(port);
    auto* shape = Make<QFrame>(strip, name.c_str());
    shape->setGeometry(0, step * i, size, size);
    shape->setFrameShape(QFrame::Box);
    Paint(shape, Qt::white);
    shapes[i] = shape;
  }
  return strip;
}

}  // namespace

QFont TForm1::DesignFont() {
  // The designed "Tahoma" at height -11 where it exists; elsewhere the desktop's own UI font,
  // which is what the user reads everywhere else.
  if (!QFontDatabase::hasFamily("Tahoma")) return QApplication::font();
  QFont font("Tahoma");
  font.setPixelSize(11);
  return font;
}

void TForm1::CreateLayout() {
  // The three rows on the left, the log strip beside all three of them.
  auto* left = new QGridLayout;
  left->setContentsMargins(0, 4, 0, 0);
  left->setHorizontalSpacing(1);
  left->setVerticalSpacing(2);
  left->addWidget(Shape2, 0, 0);
  left->addWidget(Shape3, 1, 0);
  left->addWidget(Shape4, 2, 0);
  left->addWidget(Shape1, 0, 1, 3, 1);
  left->setRowStretch(3, 1);
  left->setColumnStretch(0, 1);

  auto* log_strip = new QVBoxLayout(Shape1);
  log_strip->setContentsMargins(2, 1, 2, 1);
  log_strip->setSpacing(0);
  for (QWidget* control : std::initializer_list<QWidget*>{CheckLog1, CheckLogTimes, CheckLog2})
    log_strip->addWidget(control, 0, Qt::AlignHCenter);
  log_strip->addStretch();
  log_strip->addWidget(SpeedButton1, 0, Qt::AlignHCenter);

  auto* timeout_column = new QVBoxLayout;
  timeout_column->setSpacing(0);
  timeout_column->addWidget(EditTimeout);
  timeout_column->addWidget(CheckStop);
  auto* entries = new QHBoxLayout;
  entries->setContentsMargins(6, 0, 0, 0);
  entries->setSpacing(7);
  entries->addWidget(EditSkipByte, 0, Qt::AlignTop);
  entries->addWidget(EditHexDelim, 0, Qt::AlignTop);
  entries->addLayout(timeout_column);
  auto* right = new QVBoxLayout;
  right->setSpacing(3);
  right->addWidget(RGroupProto);
  right->addLayout(entries);
  right->addStretch();

  auto* form = new QHBoxLayout(this);
  form->setContentsMargins(1, 0, 4, 2);
  form->setSpacing(1);
  form->addLayout(left, 1);
  form->addLayout(right);
  // As tall as the controls need; wider only gives the port boxes room for long paths.
  setFixedHeight(form->minimumSize().height());
}

void TForm1::CreateShapes() {
  Shape2 = Shape(this, "Shape2", QColor(192, 192, 255));
  Shape3 = Shape(this, "Shape3", QColor(255, 192, 192));
  Shape4 = Shape(this, "Shape4", QColor(192, 255, 192));
  Shape1 = Shape(this, "Shape1", QColor(0, 255, 255));
}

void TForm1::PaintLogIndicator(bool log_open) {
  Fill(Shape1, log_open ? QColor(0, 255, 255) : QColor(255, 0, 0));
}

void TForm1::PaintWindow(bool failed) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window,
                   failed ? QColor(255, 0, 0) : style()->standardPalette().color(QPalette::Window));
  setPalette(palette);
}

void TForm1::CreatePortRows() {
  SpeedButton2 = Make<QToolButton>(Shape2, "SpeedButton2");
  SpeedButton2->setText("+/S");
  SpeedButton2->setToolTip("Grab ;-)");
  SpeedButton2->setCheckable(true);
  ComboPort1 = PortBox(Shape2, "ComboPort1");
  QWidget* signals1 = SignalShapes(Shape2, 1, &signal_shapes_[0]);
  ComboBaud1 = BaudBox(Shape2, "ComboBaud1");
  SpeedButton3 = Make<QToolButton>(Shape2, "SpeedButton3");
  SpeedButton3->setText("*");
  SpeedButton3->setToolTip("Set color highlighting");
  Button1 = Make<QPushButton>(Shape2, "Button1");
  Button1->setText("Settings");

  Label2 = Make<QLabel>(Shape3, "Label2");
  Label2->setText("-");
  Label2->setAlignment(Qt::AlignCenter);
  ComboPort2 = PortBox(Shape3, "ComboPort2");
  QWidget* signals2 = SignalShapes(Shape3, 2, &signal_shapes_[4]);
  ComboBaud2 = BaudBox(Shape3, "ComboBaud2");
  Button2 = Make<QPushButton>(Shape3, "Button2");
  Button2->setText("Settings");

  // Both port rows keep their controls in the same columns.
  SameWidth({SpeedButton2, Label2}, kGrabButtonWidth);
  SameWidth({ComboBaud1, ComboBaud2}, kBaudBoxWidth);
  SameWidth({SpeedButton3}, kColorButtonWidth);
  SameWidth({Button1, Button2}, kSettingsButtonWidth);
  QHBoxLayout* row1 = RowLayout(Shape2);
  for (QWidget* control : std::initializer_list<QWidget*>{SpeedButton2, ComboPort1, signals1,
                                                          ComboBaud1, SpeedButton3, Button1}) {
    row1->addWidget(control);
  }
  QHBoxLayout* row2 = RowLayout(Shape3);
  for (QWidget* control :
       std::initializer_list<QWidget*>{Label2, ComboPort2, signals2, ComboBaud2}) {
    row2->addWidget(control);
  }
  row2->addSpacing(SpeedButton3->width());
  row2->addWidget(Button2);

  EditFilename = Edit(Shape4, "EditFilename", "Ukládá se pomocí F2 nebo doubleklikem");
  EditFile1 = Edit(Shape4, "EditFile1", nullptr);
  FitEditTo(EditFile1, "0000", 33);
  QHBoxLayout* row3 = RowLayout(Shape4);
  row3->setContentsMargins(7, 3, 5, 3);
  row3->setSpacing(7);
  row3->addWidget(EditFilename, 1);
  row3->addWidget(EditFile1);
}

void TForm1::CreateOptionControls() {
  CheckLog1 = LogCheck(Shape1, "CheckLog1", "Ukládat port 1");
  CheckLogTimes = LogCheck(Shape1, "CheckLogTimes", "Ukládat včetně časů");
  CheckLog2 = LogCheck(Shape1, "CheckLog2", "Ukládat port 2");
  SpeedButton1 = Make<QToolButton>(Shape1, "SpeedButton1");
  SpeedButton1->setText("...");
  SpeedButton1->setToolTip(QString::fromUtf8("Výběr ukládacího souboru"));

  RGroupProto = Make<QGroupBox>(this, "RGroupProto");
  RGroupProto->setTitle("Protokol");
  // A stop of its own in the tab order; its radio buttons follow it in the chain.
  RGroupProto->setFocusPolicy(Qt::TabFocus);
  auto* grid = new QGridLayout(RGroupProto);
  grid->setContentsMargins(4, 0, 4, 0);
  grid->setSpacing(0);
  grid->setHorizontalSpacing(4);
  proto_buttons_ = new QButtonGroup(RGroupProto);
  for (int i = 0; i < kProtocolCount; ++i) {
    // Two columns, filled top to bottom.
    auto* button = new QRadioButton(ProtocolName(static_cast<Protocol>(i)), RGroupProto);
    grid->addWidget(button, i % 3, i / 3);
    proto_buttons_->addButton(button, i);
  }
  proto_buttons_->button(static_cast<int>(Protocol::kText))->setChecked(true);

  EditSkipByte = Edit(this, "EditSkipByte", "Ignorovat tento bajt");
  EditSkipByte->setMaxLength(3);
  FitEditTo(EditSkipByte, "$DD", 25);
  EditHexDelim = Edit(this, "EditHexDelim", "Bajt oddělující hexa a RN pakety");
  EditHexDelim->setMaxLength(2);
  EditHexDelim->setText("7E");
  FitEditTo(EditHexDelim, "DD", 25);
  EditTimeout = Edit(this, "EditTimeout", "Maximalni odmlka v paketu (ms)");
  EditTimeout->setText("100");
  FitEditTo(EditTimeout, "00000", 41);
  CheckStop = Make<QCheckBox>(this, "CheckStop");
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
