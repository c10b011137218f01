// The messages between bridge components and the bridge worker thread.
#pragma once

#include <cstdint>

namespace kestrova {

inline constexpr uint32_t kCP2112WmUser = 0x0400;

// To the worker: a command (wparam) for the component in lparam.
inline constexpr uint32_t WM_SSSCONTROL = kCP2112WmUser + 1;
enum CP2112Command : uintptr_t {
  kCP2112Register = 0,
  kCP2112Open = 1,
  kCP2112Close = 2,  // queued again as kCP2112CloseNow, so work posted before it finishes first
  kCP2112CloseNow = 3,
  kCP2112Unregister = 4,
  kCP2112Reset = 5,
  kCP2112List = 6,  // the attached bridges' serial numbers; lparam 0
};
// To the worker, for the component in lparam.
inline constexpr uint32_t kCP2112ReadStep = kCP2112WmUser + 6;
inline constexpr uint32_t kCP2112WriteData = kCP2112WmUser + 7;  // the bytes as payload
inline constexpr uint32_t kCP2112WriteStep = kCP2112WmUser + 8;

// To the component's message window.
inline constexpr uint32_t kCP2112Diagnostic = kCP2112WmUser + 9;  // 512 + level / text payload
inline constexpr uint32_t kCP2112Received = kCP2112WmUser + 10;   // bytes payload
inline constexpr uint32_t kCP2112State = kCP2112WmUser + 11;      // TCommState

}  // namespace kestrova
