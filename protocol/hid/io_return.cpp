#include "protocol/hid/io_return.hpp"

#include <cerrno>

namespace zepa::hid {

namespace {
struct ErrnoStatus {
  int error;
  IOReturn status;
};

constexpr ErrnoStatus kErrnoStatus[] = {
    {EACCES, kIOReturnNotPermitted}, {EPERM, kIOReturnNotPermitted}, {ENOENT, kIOReturnNoDevice},
    {ENODEV, kIOReturnNoDevice},     {ENXIO, kIOReturnNoDevice},     {EBUSY, kIOReturnBusy},
    {ETIMEDOUT, kIOReturnTimeout},   {EPIPE, kIOUSBPipeStalled},     {EINVAL, kIOReturnBadArgument},
    {EIO, kIOReturnIOError},
};
}  // namespace

IOReturn ioReturnFromErrno(int error) {
  for (const auto& row : kErrnoStatus) {
    if (row.error == error) return row.status;
  }
  return kIOReturnError;
}

}  // namespace zepa::hid
