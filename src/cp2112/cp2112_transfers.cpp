// The worker's side of the SMBus transfers: one write step sends one frame's worth, one read
// step polls the slave once.
#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "cp2112/cp2112_thread.h"
#include "cp2112/cp2112_thread_internal.h"
#include "cp2112/mur_comm_cp2112.h"
#include "cp2112/spa9_frame.h"
#include "util/hex.h"

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;

std::string Number(long value) { return std::to_string(value); }

}  // namespace

void VMurCommCP2112_Thread::WriteStep(Link& link) {
  if (!link.open) {
    link.pending.clear();
    return;
  }
  CP2112WriteChunk chunk = NextWriteChunk(link.component->protocol_.load(), link.pending);
  link.pending.erase(0, chunk.taken);
  if (const HID_SMBUS_STATUS status = calls_.WriteRequest(
          link.device, kSlaveAddress, reinterpret_cast<uint8_t*>(chunk.bus_bytes.data()),
          static_cast<uint8_t>(chunk.bus_bytes.size()));
      status != 0) {
    Diagnose(link, cp2112dlWarning, "HidSmbus_WriteRequest->err " + Number(status));
  }
  WaitWriteFinished(link);
  if (!link.pending.empty()) {
    PostToWorker(kCP2112WriteStep, link);
  } else {
    fast_poll_ = 4;
  }
}

void VMurCommCP2112_Thread::WaitWriteFinished(Link& link) {
  const Clock::time_point give_up = Clock::now() + kBusyLimit;
  for (;;) {
    if (const HID_SMBUS_STATUS status = calls_.TransferStatusRequest(link.device); status != 0) {
      Diagnose(link, cp2112dlWarning,
               "HidSmbus_TransferStatusRequest/write->err " + Number(status));
      return;
    }
    uint8_t status0 = 0;
    uint8_t status1 = 0;
    uint16_t retries = 0;
    uint16_t bytes = 0;
    if (const HID_SMBUS_STATUS status =
            calls_.GetTransferStatusResponse(link.device, &status0, &status1, &retries, &bytes);
        status != 0) {
      Diagnose(link, cp2112dlWarning,
               "HidSmbus_GetTransferStatusResponse/write->err " + Number(status));
      return;
    }
    if (status0 == HID_SMBUS_S0_ERROR) {
      // The bytes did not reach the slave; say so. It may have something to say: ask at once.
      Diagnose(link, cp2112dlWarning,
               "HidSmbus write transfer failed, status=3/" + Number(status1));
      poll_at_once_ = true;
    }
    if (status0 != HID_SMBUS_S0_BUSY) return;
    if (Clock::now() > give_up) {
      Diagnose(link, cp2112dlWarning, "HidSmbus write transfer still busy, given up");
      return;
    }
  }
}

void VMurCommCP2112_Thread::ReadStep(Link& link) {
  const TProtocolCP2112 protocol = link.component->protocol_.load();
  if (const HID_SMBUS_STATUS status =
          calls_.ReadRequest(link.device, kSlaveAddress, kCP2112TransferBytes);
      status != 0) {
    Diagnose(link, cp2112dlWarning,
             "Failed HidSmbus_ReadRequest on " + link.name + " , result=" + Number(status));
    return;
  }
  CP2112ReadCollector collector(protocol);
  const Clock::time_point give_up = Clock::now() + kBusyLimit;
  std::array<uint8_t, kCP2112TransferBytes> buffer{};
  HID_SMBUS_STATUS result = 0;
  uint8_t status = 0;
  int calls = 0;
  int empty_reads = 0;
  bool abnormal = false;
  for (;;) {
    status = 255;
    uint8_t count = 0;
    ++calls;
    result = calls_.GetReadResponse(link.device, &status, buffer.data(),
                                    static_cast<uint8_t>(buffer.size()), &count);
    if (result != 0) {
      Diagnose(link, cp2112dlWarning,
               "HidSmbus_GetReadResponse->err " + Number(result) + ", status=" + Number(status));
      abnormal = true;
      break;
    }
    if (count > 0) {
      // The library cannot have put more than the buffer holds; a larger count is its error.
      const std::span<const uint8_t> response(buffer.data(),
                                              std::min<size_t>(count, buffer.size()));
      Diagnose(link, cp2112dlAllCalls,
               "read: " + BytesToHex(std::string_view(
                              reinterpret_cast<const char*>(response.data()), response.size())));
      if (!collector.Add(response) || count > buffer.size()) {
        Diagnose(link, cp2112dlCommonWarning,
                 "HidSmbus_GetReadResponse gave more bytes than requested");
      }
    }
    if (status == HID_SMBUS_S0_BUSY) {
      if (Clock::now() <= give_up) continue;
      Diagnose(link, cp2112dlWarning, "HidSmbus read transfer still busy, given up");
      abnormal = true;
      break;
    }
    if (status == HID_SMBUS_S0_COMPLETE && count == 0 && collector.BytesRead() == 0) {
      if (++empty_reads <= kEmptyReadRetries) {
        Diagnose(link, cp2112dlCommonWarning, "0 bytes read, trying again");
        continue;
      }
      Diagnose(link, cp2112dlWarning,
               "0 bytes read " + Number(empty_reads) + " times in a row, read given up");
      abnormal = true;
    }
    break;
  }
  if (!abnormal && status == HID_SMBUS_S0_COMPLETE &&
      collector.BytesRead() < kCP2112TransferBytes) {
    Diagnose(link, cp2112dlWarning,
             "recved " + Number(static_cast<long>(collector.BytesRead())) + " instead of " +
                 Number(kCP2112TransferBytes));
  } else if (!abnormal && status == HID_SMBUS_S0_IDLE) {
    Diagnose(link, cp2112dlWarning, "no read in progress");
    abnormal = true;
  } else if (status != HID_SMBUS_S0_COMPLETE) {
    abnormal = true;
  }
  if (abnormal) {
    Diagnose(link, cp2112dlWarning,
             "HidSmbus: res=" + Number(result) + ", status=" + Number(status) +
                 ", read=" + Number(static_cast<long>(collector.BytesRead())) + " of " +
                 Number(kCP2112TransferBytes) + ", calls=" + Number(calls) +
                 ", loop=" + (calls > 1 ? "yes" : "no"));
  }
  if (collector.NeedsReset()) link.needs_reset = true;
  if (collector.Data().empty()) return;
  link.component->window_->Post(kCP2112Received, 0, 0, MakePayload(collector.Data()));
  if (protocol == cp2112pSPA9) PostToWorker(kCP2112ReadStep, link);
}

}  // namespace kestrova
