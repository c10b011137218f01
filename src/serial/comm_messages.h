// The private messages between a serial port component, its worker threads and the other
// running copies of the program that share its port.
#pragma once

#include <cstdint>

namespace kestrova {

inline constexpr uint32_t kWmUser = 0x0400;

// To the component's hidden window (and, for PWM_Grab, its grab endpoint).
inline constexpr uint32_t PWM_ReceivedData =
    kWmUser + 1;  // byte count / read tick; bytes as payload
inline constexpr uint32_t PWM_RequestHangup = kWmUser + 2;  // errno (0: notify only) / flag
inline constexpr uint32_t PWM_StateChange = kWmUser + 3;    // TCommState / 0
inline constexpr uint32_t PWM_CommEvent = kWmUser + 4;      // event word / errors << 16 | modem
inline constexpr uint32_t PWM_ModemPoll = kWmUser + 5;
inline constexpr uint32_t PWM_Grab = kWmUser + 6;
inline constexpr uint32_t PWM_DiagnosticA = kWmUser + 7;  // number / number, reported only
inline constexpr uint32_t PWM_DiagnosticB = kWmUser + 8;
inline constexpr uint32_t PWM_DeviceBack = kWmUser + 9;  // the awaited device is there again

// To the write thread's queue.
inline constexpr uint32_t PWM_WriteData = kWmUser + 1;  // byte count (0: wake-up) / bytes

}  // namespace kestrova
