// SPDX-License-Identifier: MIT
#include "protocol/hid/io_return.hpp"

#include <cerrno>

namespace zepa::hid {

namespace {
struct ErrnoStatus {
  int error;
  IOReturn status;
};

constexpr ErrnoStatus errnoStatus[] = {
    {EACCES, kIOReturnNotPermitted},
    {EPERM, kIOReturnNotPermitted},
    {ENOENT, kIOReturnNoDevice},
    {ENODEV, kIOReturnNoDevice},
    {ENXIO, kIOReturnNoDevice},
    // usbcore's answer for a device that went away mid-transfer, before hidraw notices.
    {ESHUTDOWN, kIOReturnNoDevice},
    {EBUSY, kIOReturnBusy},
    {ETIMEDOUT, kIOReturnTimeout},
    {EPIPE, kIOUSBPipeStalled},
    {EINVAL, kIOReturnBadArgument},
    {EIO, kIOReturnIOError},
    // Bit-stuffing and CRC errors on the wire: usually a bad cable or device, sometimes the
    // first sign of an unplug. The transfer failed; the keyboard may well still be there.
    {EPROTO, kIOReturnIOError},
    {EILSEQ, kIOReturnIOError},
};
}  // namespace

IOReturn ioReturnFromErrno(int error) {
  for (const auto& row : errnoStatus) {
    if (row.error == error) return row.status;
  }
  return kIOReturnError;
}

}  // namespace zepa::hid
