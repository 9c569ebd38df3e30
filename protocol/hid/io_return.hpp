// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// HID status codes keep the IOReturn values of the keyboards' original platform, so every
// status message reads the same everywhere ("0x%08x").
namespace zepa::hid {

using IOReturn = std::int32_t;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xE00002BC);
inline constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xE00002C0);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xE00002C2);
inline constexpr IOReturn kIOReturnExclusiveAccess = static_cast<IOReturn>(0xE00002C5);
inline constexpr IOReturn kIOReturnIOError = static_cast<IOReturn>(0xE00002CA);
inline constexpr IOReturn kIOReturnBusy = static_cast<IOReturn>(0xE00002D5);
inline constexpr IOReturn kIOReturnTimeout = static_cast<IOReturn>(0xE00002D6);
inline constexpr IOReturn kIOReturnNotPermitted = static_cast<IOReturn>(0xE00002E2);
inline constexpr IOReturn kIOUSBPipeStalled = static_cast<IOReturn>(0xE000404F);

// errno of a failed open/ioctl to the status the device layer reports.
IOReturn ioReturnFromErrno(int error);

}  // namespace zepa::hid
