#include "terminal/widgets/terminal_form.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "terminal/mur_terminal.h"
#include "terminal/terminal_keys.h"
#include "terminal/terminal_layout.h"
#include "terminal/widgets/edit_text.h"
#include "terminal/widgets/key_input.h"
#include "util/widgets/form_fit.h"

namespace kestrova {
namespace {

void Place(QWidget* control, const Rect& rect) {
  control->setGeometry(rect.left, rect.top, rect.width, rect.height);
}

QPushButton* MakeButton(QWidget* parent, const char* caption, const char* hint) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setToolTip(QString::fromUtf8(hint));
  button->setAutoDefault(false);
  return button;
}

QLineEdit* MakeTimingField(QWidget* parent, const char* text) {
  auto* field = new QLineEdit(QString::fromUtf8(text), parent);
  field->setEnabled(false);
  field->hide();
  return field;
}

}  // namespace

TerminalForm::TerminalForm(VMurTerminal& terminal, QWidget* owner_form)
    : QWidget(owner_form, Qt::Tool),
      terminal_(&terminal),
      owner_form_(owner_form),
      rich_edit_(new TrafficView(this)) {
  // The main window's closing ends the program, whatever this window does.
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle(QString::fromUtf8("Terminál"));
  BuildControls();
  ConnectControls();
  resize(kTerminalDesignWidth, kTerminalDesignHeight);
  undocked_geometry_ = {x(), y(), width(), height()};
  LayOut();
  // The window opens ready for typing a line: Up and Down there walk the history.
  manual_line_->setFocus();
  terminal.AttachWindow(this);
}

TerminalForm::~TerminalForm() {
  if (VMurTerminal* terminal = std::exchange(terminal_, nullptr)) terminal->DetachWindow(this);
  // QWidget's destructor closes the window, which moves the focus: the watcher must not run on
  // what is by then no longer a TerminalForm.
  if (qApp != nullptr) disconnect(qApp, nullptr, this, nullptr);
}

void TerminalForm::BuildControls() {
  rich_edit_->SetOnClear([this] {
    if (terminal_ != nullptr) terminal_->Clear();
  });

  manual_line_ = new QComboBox(this);
  manual_line_->setEditable(true);
  manual_line_->setCompleter(nullptr);
  manual_line_->setInsertPolicy(QComboBox::NoInsert);
  manual_line_->setMaxVisibleItems(static_cast<int>(TerminalHistory::kMaxEntries));
  hex_manual_line_ = new QLineEdit(this);
  hex_manual_line_->hide();

  send_button_ = MakeButton(this, "Odeslat", "Odeslat s odřádkováním");
  direct_button_ = MakeButton(this, "Přímo", "Odeslat bez odřádkování");
  clear_button_ = MakeButton(this, "Vymazat", "Vymazat historii");
  undock_button_ = MakeButton(this, "Uvolnit okno", "Uvolnit okno terminálu");
  undock_button_->setEnabled(false);

  mode_group_ = new QGroupBox(QString::fromUtf8("Režim"), this);
  auto* grid = new QGridLayout(mode_group_);
  grid->setContentsMargins(4, 0, 4, 2);
  grid->setSpacing(0);
  mode_group_->hide();
  mode_buttons_ = new QButtonGroup(this);

  debug_in_time_ = MakeTimingField(this, "DebugInTime");
  debug_out_time_ = MakeTimingField(this, "DebugOutTime");

  // Installed after the combo box's own filters, so these see the keys first.
  // Keys typed into the send line reach the combo box, which hands them to its line edit
  // directly; tests that send to the line edit itself reach it too.
  for (QObject* watched : std::initializer_list<QObject*>{
           manual_line_, manual_line_->lineEdit(), manual_line_->view(), hex_manual_line_,
           rich_edit_, send_button_, direct_button_, clear_button_, undock_button_, this}) {
    watched->installEventFilter(this);
  }
}

void TerminalForm::ConnectControls() {
  connect(manual_line_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    if (terminal_ != nullptr) terminal_->SendLineEdited(FromEditText(text));
  });
  connect(manual_line_, &QComboBox::activated, this, [this](int index) {
    if (terminal_ != nullptr)
      terminal_->SendLineEdited(FromEditText(manual_line_->itemText(index)));
  });
  connect(hex_manual_line_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (terminal_ != nullptr) terminal_->HexLineEdited(FromEditText(text));
  });
  connect(send_button_, &QPushButton::clicked, this, [this] {
    if (terminal_ != nullptr) terminal_->SendLine();
  });
  connect(direct_button_, &QPushButton::clicked, this, [this] {
    if (terminal_ != nullptr) terminal_->SendDirect();
  });
  connect(clear_button_, &QPushButton::clicked, this, [this] {
    if (terminal_ != nullptr) terminal_->Clear();
  });
  connect(undock_button_, &QPushButton::clicked, this, [this] {
    if (terminal_ != nullptr) terminal_->Undock();
  });
  // The history is stored when the user leaves the window. Activation events will not say so:
  // a tool window counts as active while its owner is.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (terminal_ != nullptr && Holds(old) && !Holds(now)) terminal_->WindowDeactivated();
  });
  connect(mode_buttons_, &QButtonGroup::idClicked, this, [this](int id) {
    if (terminal_ != nullptr) terminal_->ModeChosen(id);
  });
}

TerminalControlSizes TerminalForm::ControlSizes() const {
  TerminalControlSizes needs;
  needs.line_height =
      std::max(manual_line_->sizeHint().height(), hex_manual_line_->sizeHint().height());
  for (const QPushButton* button : {send_button_, direct_button_, clear_button_, undock_button_}) {
    needs.button_width = std::max(needs.button_width, button->sizeHint().width());
    needs.button_height = std::max(needs.button_height, button->sizeHint().height());
  }
  if (mode_count_ > 0) {
    needs.mode_group_width = mode_group_->sizeHint().width();
    needs.mode_group_height = mode_group_->sizeHint().height();
  }
  return needs;
}

void TerminalForm::LayOut() {
  const TerminalControlSizes needs = ControlSizes();
  // A stored or requested size below this is raised to it.
  const TerminalSize least = TerminalMinimumSize(show_hex_edit_, mode_count_, needs);
  setMinimumSize(least.width, least.height);
  const TerminalLayout layout =
      LayOutTerminal(width(), height(), show_hex_edit_, mode_count_, needs);
  Place(rich_edit_, layout.rich_edit);
  Place(manual_line_, layout.manual_line);
  Place(hex_manual_line_, layout.hex_manual_line);
  Place(send_button_, layout.send_button);
  Place(direct_button_, layout.direct_button);
  Place(clear_button_, layout.clear_button);
  Place(undock_button_, layout.undock_button);
  Place(mode_group_, layout.mode_group);
  Place(debug_in_time_, layout.debug_in_time);
  Place(debug_out_time_, layout.debug_out_time);
}

void TerminalForm::SetParentPageControl(QTabWidget* page_control) {
  page_control_ = page_control;
  if (terminal_ != nullptr) terminal_->DockSiteChanged();
}

void TerminalForm::SetControlNames(const std::string& prefix) {
  const QString name = QString::fromStdString(prefix);
  setObjectName(name + "_Form");
  manual_line_->setObjectName(name + "_ManualLine");
  hex_manual_line_->setObjectName(name + "_HexManualLine");
  send_button_->setObjectName(name + "_SendLinebutton");
  direct_button_->setObjectName(name + "_BtnDirect");
  clear_button_->setObjectName(name + "_Clear");
  undock_button_->setObjectName(name + "_BtnUndock");
  mode_group_->setObjectName(name + "_RGroupMode");
  debug_in_time_->setObjectName(name + "_DebugInTime");
  debug_out_time_->setObjectName(name + "_DebugOutTime");
  rich_edit_->setObjectName(name + "_RichEdit");
}

void TerminalForm::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
  if (IsDocked()) docked_in_->setTabText(docked_in_->indexOf(this), windowTitle());
}

bool TerminalForm::IsShown() const { return isVisible(); }

void TerminalForm::SetShown(bool shown) {
  if (shown && IsDocked()) docked_in_->setCurrentWidget(this);
  setVisible(shown);
}

bool TerminalForm::IsDocked() const {
  return docked_in_ != nullptr && docked_in_->indexOf(this) >= 0;
}

void TerminalForm::ApplyDocking(bool docked) {
  if (docked && page_control_ != nullptr) {
    if (docked_in_ != page_control_) {
      if (IsDocked()) {
        docked_in_->removeTab(docked_in_->indexOf(this));
      } else {
        RememberUndockedGeometry();
      }
      minimized_from_close_ = false;
      setWindowState(Qt::WindowNoState);
      page_control_->addTab(this, windowTitle());
      docked_in_ = page_control_;
    }
  } else if (docked_in_ != nullptr) {
    const Rect floating = undocked_geometry_;
    if (IsDocked()) docked_in_->removeTab(docked_in_->indexOf(this));
    docked_in_ = nullptr;
    ApplyFloatingStyle();
    SetUndockedGeometry(floating);
    show();
  }
  undock_button_->setEnabled(IsDocked());
}

Rect TerminalForm::UndockedGeometry() const {
  if (!isWindow() || IsDocked() || isMinimized()) return undocked_geometry_;
  return {x(), y(), width(), height()};
}

void TerminalForm::SetUndockedGeometry(const Rect& rect) {
  undocked_geometry_ = rect;
  if (IsDocked()) return;
  move(rect.left, rect.top);
  resize(rect.width, rect.height);
}

void TerminalForm::RememberUndockedGeometry() {
  // Moves while the window changes parent are not the user's.
  if (isWindow() && !IsDocked() && !isMinimized()) {
    undocked_geometry_ = {x(), y(), width(), height()};
  }
}

void TerminalForm::FitToScreen() {
  if (IsDocked()) return;
  FitFormToScreen(this);
  RememberUndockedGeometry();
}

void TerminalForm::SetStayOnTop(bool on_top) {
  stay_on_top_ = on_top;
  ApplyFloatingStyle();
}

void TerminalForm::SetOwnTaskbarButton(bool own) {
  own_taskbar_button_ = own;
  ApplyFloatingStyle();
}

// A tool window of the owner form has no taskbar button; a window of its own, without a
// parent, has one.
void TerminalForm::ApplyFloatingStyle() {
  if (IsDocked()) return;
  const bool own = own_taskbar_button_ || minimized_from_close_;
  Qt::WindowFlags flags = own ? Qt::Window : Qt::Tool;
  if (stay_on_top_) flags |= Qt::WindowStaysOnTopHint;
  QWidget* parent = own ? nullptr : owner_form_.data();
  const Qt::WindowFlags current = windowFlags() & (Qt::WindowType_Mask | Qt::WindowStaysOnTopHint);
  if (current == flags && parentWidget() == parent) return;
  const bool shown = isVisible();
  const Qt::WindowStates state = windowState();
  const Rect rect = UndockedGeometry();
  setParent(parent, flags);
  setAttribute(Qt::WA_QuitOnClose, false);
  move(rect.left, rect.top);
  resize(rect.width, rect.height);
  setWindowState(state);
  if (shown) show();
}

void TerminalForm::SetShowHexEdit(bool show) {
  show_hex_edit_ = show;
  hex_manual_line_->setVisible(show);
  LayOut();
}

void TerminalForm::SetDebugWindowsVisible(bool visible) {
  debug_in_time_->setVisible(visible);
  debug_out_time_->setVisible(visible);
}

void TerminalForm::ShowTiming(bool outgoing, const std::string& text) {
  (outgoing ? debug_out_time_ : debug_in_time_)->setText(QString::fromStdString(text));
}

void TerminalForm::SetModeItems(const std::vector<std::string>& items) {
  for (QAbstractButton* button : mode_buttons_->buttons()) {
    mode_buttons_->removeButton(button);
    delete button;
  }
  mode_count_ = static_cast<int>(items.size());
  const int columns = ModeGroupColumns(mode_count_);
  const int rows = (mode_count_ + columns - 1) / columns;
  auto* grid = static_cast<QGridLayout*>(mode_group_->layout());
  for (int i = 0; i < mode_count_; ++i) {
    auto* button = new QRadioButton(QString::fromStdString(items[static_cast<size_t>(i)]));
    button->installEventFilter(this);
    mode_buttons_->addButton(button, i);
    // Filled column by column, as radio groups are.
    grid->addWidget(button, i % rows, i / rows);
  }
  mode_group_->setVisible(mode_count_ > 0);
  LayOut();
  grid->activate();
}

void TerminalForm::SetModeIndex(int index) {
  if (QAbstractButton* button = mode_buttons_->button(index)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group will not let its checked button go.
  mode_buttons_->setExclusive(false);
  for (QAbstractButton* other : mode_buttons_->buttons()) other->setChecked(false);
  mode_buttons_->setExclusive(true);
}

void TerminalForm::ShowSendLine(std::string_view bytes) {
  const QString text = ToEditText(bytes);
  // Unchanged text is left alone, so that the caret stays where the user is typing.
  if (manual_line_->currentText() != text) manual_line_->setEditText(text);
}

void TerminalForm::ShowHexLine(std::string_view text) {
  const QString shown = ToEditText(text);
  if (hex_manual_line_->text() != shown) hex_manual_line_->setText(shown);
}

void TerminalForm::ShowHistory(const std::vector<std::string>& entries) {
  const QString text = manual_line_->currentText();
  const QSignalBlocker blocker(manual_line_);
  manual_line_->clear();
  for (const std::string& entry : entries) manual_line_->addItem(ToEditText(entry));
  manual_line_->setCurrentIndex(-1);
  manual_line_->setEditText(text);
}

void TerminalForm::CloseHistoryDropDown() { manual_line_->hidePopup(); }

void TerminalForm::CopyOwnerFont() {
  if (owner_form_ != nullptr) setFont(owner_form_->font());
}

void TerminalForm::SetViewFont(const std::string& family) {
  const QString name = QString::fromStdString(family);
  QFont font = QFontDatabase::hasFamily(name) ? QFont(name) : FixedPitchFont();
  // The size stays: a form font given in pixels has no point size.
  const QFont current = rich_edit_->font();
  if (current.pointSizeF() > 0) {
    font.setPointSizeF(current.pointSizeF());
  } else {
    font.setPixelSize(current.pixelSize());
  }
  rich_edit_->setFont(font);
}

bool TerminalForm::Holds(const QWidget* widget) const {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    if (widget == this) return true;
  }
  return false;
}

KeyPlace TerminalForm::PlaceOf(const QObject* watched) const {
  if (watched == manual_line_ || watched == manual_line_->lineEdit()) return KeyPlace::kSendLine;
  if (watched == hex_manual_line_) return KeyPlace::kHexLine;
  if (watched == rich_edit_) return KeyPlace::kView;
  if (watched == send_button_) return KeyPlace::kSendButton;
  if (watched == direct_button_) return KeyPlace::kDirectButton;
  return KeyPlace::kOther;
}

bool TerminalForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && terminal_ != nullptr) {
    auto& key = static_cast<QKeyEvent&>(*event);
    if (watched == manual_line_->view()) return HandleHistoryListKey(key);
    return HandleKey(watched, key);
  }
  return QWidget::eventFilter(watched, event);
}

bool TerminalForm::HandleKey(QObject* watched, QKeyEvent& event) {
  const KeyPlace place = PlaceOf(watched);
  if (const std::optional<NavKey> nav = NavKeyOf(event)) {
    switch (DecideNavKey(place, *nav, HasModifiers(event))) {
      case NavKeyAction::kNone:
        return false;
      case NavKeyAction::kScrollPageUp:
        ScrollView(QAbstractSlider::SliderPageStepSub);
        return true;
      case NavKeyAction::kScrollPageDown:
        ScrollView(QAbstractSlider::SliderPageStepAdd);
        return true;
      case NavKeyAction::kScrollLineUp:
        ScrollView(QAbstractSlider::SliderSingleStepSub);
        return true;
      case NavKeyAction::kScrollLineDown:
        ScrollView(QAbstractSlider::SliderSingleStepAdd);
        return true;
      case NavKeyAction::kDropDownHistory:
        manual_line_->showPopup();
        return true;
    }
  }
  const bool dropped_down = manual_line_->view()->isVisible();
  switch (terminal_->CharKey(place, TypedText(event), dropped_down)) {
    case CharKeyAction::kNone:
      return false;
    case CharKeyAction::kClearHexLine:
      if (manual_line_->isEnabled() && isVisible()) manual_line_->setFocus();
      return true;
    default:
      return true;
  }
}

// Enter in the open history list takes the highlighted entry and sends it.
bool TerminalForm::HandleHistoryListKey(QKeyEvent& event) {
  if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) return false;
  const QModelIndex index = manual_line_->view()->currentIndex();
  if (index.isValid()) {
    terminal_->SendLineEdited(FromEditText(manual_line_->itemText(index.row())));
  }
  terminal_->CharKey(KeyPlace::kSendLine, "\r", false);
  return true;
}

void TerminalForm::ScrollView(int action) {
  rich_edit_->verticalScrollBar()->triggerAction(
      static_cast<QAbstractSlider::SliderAction>(action));
}

void TerminalForm::closeEvent(QCloseEvent* event) {
  if (terminal_ == nullptr) {
    QWidget::closeEvent(event);
    return;
  }
  switch (terminal_->CloseRequested()) {
    case trmcaHide:
      event->accept();
      break;
    case trmcaFree:
      event->accept();
      std::exchange(terminal_, nullptr)->DetachWindow(this);
      deleteLater();
      break;
    case trmcaMinimize:
      event->ignore();
      MinimizeFromClose();
      break;
    case trmcaDock:
      event->ignore();
      break;
  }
}

void TerminalForm::MinimizeFromClose() {
  if (!own_taskbar_button_) {
    minimized_from_close_ = true;
    ApplyFloatingStyle();
  }
  showMinimized();
}

void TerminalForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RememberUndockedGeometry();
  LayOut();
}

void TerminalForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  RememberUndockedGeometry();
}

void TerminalForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) LayOut();
  if (event->type() == QEvent::WindowStateChange && minimized_from_close_ && !isMinimized()) {
    minimized_from_close_ = false;
    // Not from inside the state change: a new style shows the window again.
    QTimer::singleShot(0, this, [this] { ApplyFloatingStyle(); });
  }
}

}  // namespace kestrova
