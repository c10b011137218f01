#include "monitor/widgets/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPalette>
#include <QStyle>

#include "monitor/entry_values.h"
#include "platform/tick.h"
#include "terminal/widgets/main_terminal.h"

namespace kestrova {
namespace {

constexpr uint32_t kTimer1Interval = 20;
const QColor kInvalidEntry(255, 192, 192);  // $C0C0FF

// Light red for an entry that cannot be read, the theme's own colour otherwise.
void MarkEntry(QLineEdit* edit, bool valid) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base,
                   valid ? edit->style()->standardPalette().color(QPalette::Base) : kInvalidEntry);
  edit->setPalette(palette);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName("Form1");
  setWindowTitle("Kestrova - MUR spol. s r.o.");
  setFixedSize(393, 138);
  QFont font("Tahoma");
  font.setPixelSize(11);  // the design's height -11
  setFont(font);
  CreateShapes();
  CreatePortRows();
  CreateOptionControls();
  CreateMenusAndTabOrder();
  CreateComponents();

  connect(EditHexDelim, &QLineEdit::textChanged, this, [this] { EditHexDelimChange(); });
  connect(EditSkipByte, &QLineEdit::textChanged, this, [this] { EditSkipByteChange(); });
  connect(EditTimeout, &QLineEdit::textChanged, this, [this] { OptionsChanged(); });
  connect(proto_buttons_, &QButtonGroup::idClicked, this, [this] { OptionsChanged(); });
  for (QCheckBox* check : {CheckLog1, CheckLog2, CheckStop}) {
    connect(check, &QCheckBox::toggled, this, [this] { OptionsChanged(); });
  }
  EditHexDelimChange();
  EditSkipByteChange();
  OptionsChanged();
}

TForm1::~TForm1() { VMurTopDistributor1->DeleteChannel(ChannelKey()); }

void TForm1::CreateComponents() {
  components_.SetName("Form1");
  // Design values first, as a form loads them; the components act on them when Loaded() comes.
  components_.BeginLoading();
  Timer1 = new Timer(&components_);
  Timer1->BeginLoading();
  Timer1->SetName("Timer1");
  Timer1->SetInterval(kTimer1Interval);
  VMurTopDistributor1 = new VMurTopDistributor(&components_);
  VMurTopDistributor1->BeginLoading();
  VMurTopDistributor1->SetName("VMurTopDistributor1");
  VMurTopDistributor1->SetAutomaticCreate(false);
  VMurTopDistributor1->SetTimer(Timer1);
  VMurTopDistributor1->OnAdvancedComDecode() =
      [this](VMurGeneralDistributor*, ChannelKey, VMurDistributor_ChannelRecord* rec, uint32_t) {
        VMurTopDistributor1AdvancedComDecode(rec);
      };
  VMurTopDistributor1->OnAdvancedRecvTransfer() =
      [this](VMurGeneralDistributor* sender, ChannelKey channel, uint32_t& the_time,
             std::string_view bytes, VMurGeneralDistributor* lowest, bool) {
        VMurTopDistributor1AdvancedRecvTransfer(sender, channel, the_time, bytes, lowest);
      };
  VMurAppInfo1 = new VMurAppInfo(&components_);
  VMurAppInfo1->BeginLoading();
  VMurAppInfo1->SetName("VMurAppInfo1");
  VMurAppInfo1->SetAppName("KestTerminal");
  VMurAppInfo1->SetRegistryPath("Software\\MUR s.r.o.\\");
  app_info_forms_ = new AppInfoForms(this);
  VMurAppInfo1->SetGui(app_info_forms_);
  // After the settings component, so that the history is stored before that goes.
  VMurTerminal1 = CreateMainTerminal(&components_, this, VMurAppInfo1).terminal;
  for (Component* component : components_.Components()) component->Loaded();
  components_.Loaded();

  display_ = std::make_unique<TrafficDisplay>(
      VMurTerminal1->Output(), [this](ChannelKey channel) { return RoleOf(channel); }, TickCount());
}

ChannelRole TForm1::RoleOf(ChannelKey channel) const {
  // The ports' and network peers' channel objects join with their transports.
  return channel.IsNil() ? ChannelRole::kNil : ChannelRole::kOther;
}

void TForm1::VMurTopDistributor1AdvancedComDecode(VMurDistributor_ChannelRecord* rec) {
  Frame(display_->Options().protocol, frame_delimiter_, *rec);
}

void TForm1::VMurTopDistributor1AdvancedRecvTransfer(VMurGeneralDistributor* sender,
                                                     ChannelKey channel, uint32_t the_time,
                                                     std::string_view bytes,
                                                     VMurGeneralDistributor* lowest) {
  display_->ShowReceived(*sender, channel, the_time, bytes, lowest != nullptr);
}

void TForm1::EditHexDelimChange() {
  const FrameDelimiterEntry entry = ReadFrameDelimiter(EditHexDelim->text().toStdString());
  frame_delimiter_ = entry.delimiter;
  MarkEntry(EditHexDelim, entry.valid);
}

void TForm1::EditSkipByteChange() {
  const SkipByteEntry entry = ReadSkipByte(EditSkipByte->text().toLatin1().toStdString());
  skip_byte_ = entry.value;
  MarkEntry(EditSkipByte, entry.valid);
}

void TForm1::OptionsChanged() {
  TrafficOptions& options = display_->Options();
  options.protocol = static_cast<Protocol>(proto_buttons_->checkedId());
  options.packet_timeout_ms = ReadPacketTimeout(EditTimeout->text().toStdString());
  options.log_port1 = CheckLog1->isChecked();
  options.log_port2 = CheckLog2->isChecked();
  options.stop = CheckStop->isChecked();
}

}  // namespace kestrova
