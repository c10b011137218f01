// The grab protocol of TVSSComm32: several running copies of the program share one port. Only
// the GUI thread of each copy touches the block; there is no lock between copies.
#include <chrono>
#include <thread>

#include "serial/comm_messages.h"
#include "serial/grab_list.h"
#include "serial/vss_comm32.h"

namespace kestrova {
namespace {

constexpr int kOpenAttempts = 100;
constexpr std::chrono::milliseconds kOpenPause{100};
// How long the previous owner may take to close (or reopen) the port when told to.
constexpr std::chrono::milliseconds kHandOverLimit{2000};

const EndpointMessage kGrabMessage{PWM_Grab, 0, 0};

}  // namespace

EndpointId TVSSComm32::GrabEndpoint() const {
  return grab_endpoint_ != nullptr ? grab_endpoint_->id() : 0;
}

void TVSSComm32::SetGrab(VMurCommGrabCommand command) {
  if (grab_block_ == nullptr && command == vscgcNone) {
    grab_ = vscgcNone;
    return;
  }
  if (grab_block_ == nullptr && command == vscgcNoneOnce) return;
  if (command != vscgcOnce && command != vscgcNoneOnce) grab_ = command;
  if (!MapGrabBlock()) return;
  if (command == vscgcHard || command == vscgcOnce) {
    TakeGrab();
  } else if (const EndpointId next = YieldGrab(command); next != 0) {
    DoStopComm(false, false, "Grab2");
    PostToEndpoint(next, kGrabMessage);
  }
}

bool TVSSComm32::MapGrabBlock() {
  if (grab_block_ != nullptr) return true;
  if (grab_endpoint_ == nullptr) {
    auto endpoint = MessageEndpoint::Create(loop_, [this](const EndpointMessage& message) {
      if (message.id == PWM_Grab) HandleGrabMessage();
    });
    if (!endpoint.ok()) {
      ReportError(endpoint.error, "Unable to create the grab endpoint: ");
      return false;
    }
    grab_endpoint_ = std::move(endpoint.value);
  }
  auto block = SharedMemoryBlock::Open(GrabBlockName(comm_port_), kGrabBlockBytes);
  if (!block.ok()) {
    ReportError(block.error, "Unable to map the grab block: ");
    return false;
  }
  grab_block_ = std::move(block.value);
  return true;
}

void TVSSComm32::ReleaseGrabBlock() { grab_block_.reset(); }

std::vector<EndpointId> TVSSComm32::LiveGrabEntries() {
  std::vector<EndpointId> entries = ReadGrabEntries(*grab_block_);
  // A copy that ended without leaving the list (it crashed) would hold the port for good.
  const size_t stored = entries.size();
  const EndpointId own = GrabEndpoint();
  std::erase_if(entries, [own](EndpointId id) { return id != own && !EndpointExists(id); });
  if (entries.size() != stored) WriteGrabEntries(*grab_block_, entries);
  return entries;
}

void TVSSComm32::TakeGrab() {
  std::vector<EndpointId> entries = LiveGrabEntries();
  const EndpointId own = GrabEndpoint();
  const EndpointId previous = PutGrabEntryFirst(entries, own);
  WriteGrabEntries(*grab_block_, entries);
  if (previous == 0 || previous == own) return;
  // Told synchronously, the owner has closed the port before the first attempt to open it.
  SendToEndpoint(previous, kGrabMessage, kHandOverLimit);
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kOpenPause);
    if (StartComm2(true)) return;
  }
  // The port could not be had: give it back, the previous owner first again.
  if (!EndpointExists(previous)) return;
  entries = LiveGrabEntries();
  std::erase(entries, own);
  std::erase(entries, previous);
  entries.insert(entries.begin(), previous);
  WriteGrabEntries(*grab_block_, entries);
  SendToEndpoint(previous, kGrabMessage, kHandOverLimit);
}

EndpointId TVSSComm32::YieldGrab(VMurCommGrabCommand command) {
  std::vector<EndpointId> entries = LiveGrabEntries();
  const EndpointId own = GrabEndpoint();
  const bool was_first = WithdrawGrabEntry(entries, own, command == vscgcSoft);
  WriteGrabEntries(*grab_block_, entries);
  if (entries.empty() || entries.front() == own || !was_first) return 0;
  return entries.front();
}

void TVSSComm32::HandleGrabMessage() {
  if (grab_block_ == nullptr) return;
  const std::vector<EndpointId> entries = LiveGrabEntries();
  if (entries.empty()) return;
  if (entries.front() != GrabEndpoint()) {
    DoStopComm(false, false, "Grab1");
  } else if (!Connected()) {
    StartComm2(true);
  }
}

}  // namespace kestrova
