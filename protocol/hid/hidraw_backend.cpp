// SPDX-License-Identifier: MIT
#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/hid/hid.hpp"
#include "protocol/hid/report_descriptor.hpp"

namespace zepa::hid {

namespace {

constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xE00002C7);
constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xE00002CD);

// The kernel never hands out more than this (HID_MAX_DESCRIPTOR_SIZE).
constexpr std::size_t maxDescriptorSize = 4096;
constexpr std::size_t maxUeventSize = 4096;
// The ioctl number carries the buffer length in 14 bits.
constexpr std::size_t maxIoctlLength = _IOC_SIZEMASK;

// Fills `buffer` from a small sysfs file below `dir`; the byte count, or nothing when the file
// cannot be read. Longer files are cut at the buffer's size.
std::optional<std::size_t> readSmallFile(int dir, const std::string& path, std::span<char> buffer) {
  const int fd = ::openat(dir, path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::size_t filled = 0;
  bool failed = false;
  while (filled < buffer.size()) {
    const ssize_t n = ::read(fd, buffer.data() + filled, buffer.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed = true;
    if (n <= 0) break;
    filled += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (failed) return std::nullopt;
  return filled;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value, int base) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// "HID_ID=0003:00000C45:0000800A" → vendor 0x0C45, product 0x800A.
std::optional<std::pair<std::uint16_t, std::uint16_t>> parseHidID(std::string_view uevent) {
  constexpr std::string_view hidIdPrefix = "HID_ID=";
  while (!uevent.empty()) {
    const auto lineEnd = uevent.find('\n');
    const auto line = uevent.substr(0, lineEnd);
    uevent = lineEnd == std::string_view::npos ? std::string_view() : uevent.substr(lineEnd + 1);
    if (!line.starts_with(hidIdPrefix)) continue;
    auto fields = line.substr(hidIdPrefix.size());
    const auto first = fields.find(':');
    const auto second = first == std::string_view::npos ? first : fields.find(':', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    std::uint32_t bus = 0, vendor = 0, product = 0;
    if (!parseNumber(fields.substr(0, first), bus, 16) ||
        !parseNumber(fields.substr(first + 1, second - first - 1), vendor, 16) ||
        !parseNumber(fields.substr(second + 1), product, 16) || vendor > 0xFFFF ||
        product > 0xFFFF) {
      return std::nullopt;
    }
    return std::pair{static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(product)};
  }
  return std::nullopt;
}

int ioctlRetrying(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result;
}

class HidrawDevice final : public Device {
 public:
  HidrawDevice(std::string nodePath, std::uint16_t vendorID, std::uint16_t productID,
               std::optional<DescriptorSummary> descriptor, std::shared_ptr<const LockWait> wait)
      : nodePath_(std::move(nodePath)),
        wait_(std::move(wait)),
        vendorID_(vendorID),
        productID_(productID),
        descriptor_(std::move(descriptor)) {}

  ~HidrawDevice() override { close(); }

  std::optional<std::int64_t> property(std::string_view key) const override {
    if (key == "VendorID") return vendorID_;
    if (key == "ProductID") return productID_;
    if (!descriptor_) return std::nullopt;
    if (key == "MaxFeatureReportSize") return descriptor_->maxFeatureReportSize;
    if (key == "PrimaryUsagePage" && descriptor_->primaryUsagePage) {
      return *descriptor_->primaryUsagePage;
    }
    if (key == "PrimaryUsage" && descriptor_->primaryUsage) return *descriptor_->primaryUsage;
    return std::nullopt;
  }

  IOReturn open() override {
    if (fd_ >= 0) return kIOReturnSuccess;
    int fd;
    do {
      fd = ::open(nodePath_.c_str(), O_RDWR | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return ioReturnFromErrno(errno);
    // Held from here to close, so another program's reports never land between ours.
    if (const IOReturn status = lockExclusively(fd, *wait_); status != kIOReturnSuccess) {
      ::close(fd);
      return status;
    }
    fd_ = fd;
    return kIOReturnSuccess;
  }

  void close() override {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
  }

  IOReturn setReport(ReportType type, std::uint8_t reportID,
                     std::span<const std::uint8_t> report) override {
    if (type != ReportType::feature) return kIOReturnUnsupported;
    if (fd_ < 0) return kIOReturnNotOpen;
    // Byte 0 of the kernel's buffer is always the report number.
    std::vector<std::uint8_t> buffer;
    if (reportID == 0) {
      buffer.reserve(report.size() + 1);
      buffer.push_back(0);
      buffer.insert(buffer.end(), report.begin(), report.end());
    } else {
      // A buffer that does not start with its ID would reach another report.
      if (report.empty() || report[0] != reportID) return kIOReturnBadArgument;
      buffer.assign(report.begin(), report.end());
    }
    if (buffer.size() > maxIoctlLength) return kIOReturnBadArgument;
    const int written = ioctlRetrying(fd_, HIDIOCSFEATURE(buffer.size()), buffer.data());
    if (written < 0) return ioReturnFromErrno(errno);
    // The kernel counts byte 0 too; fewer bytes means part of the report never left.
    if (static_cast<std::size_t>(written) < buffer.size()) return kIOReturnIOError;
    return kIOReturnSuccess;
  }

  IOReturn getReport(ReportType type, std::uint8_t reportID, std::span<std::uint8_t> buffer,
                     std::size_t& length) override {
    if (type != ReportType::feature) return kIOReturnUnsupported;
    if (fd_ < 0) return kIOReturnNotOpen;
    const std::size_t capacity = std::min(length, buffer.size());
    // With report ID 0 the kernel still puts the report number in front of the data.
    const std::size_t prefix = reportID == 0 ? 1 : 0;
    // hidraw refuses a read buffer below two bytes, report number included.
    if (capacity + prefix < 2) return kIOReturnBadArgument;
    std::vector<std::uint8_t> kernelBuffer(std::min(capacity + prefix, maxIoctlLength), 0);
    if (prefix == 0) {
      std::copy_n(buffer.begin(), kernelBuffer.size(), kernelBuffer.begin());
    }
    kernelBuffer[0] = reportID;
    const int count = ioctlRetrying(fd_, HIDIOCGFEATURE(kernelBuffer.size()), kernelBuffer.data());
    if (count < 0) return ioReturnFromErrno(errno);
    // Never trust the count beyond the buffer handed to the kernel.
    const std::size_t received = std::min(static_cast<std::size_t>(count), kernelBuffer.size());
    const std::size_t data = received > prefix ? received - prefix : 0;
    std::copy_n(kernelBuffer.begin() + static_cast<std::ptrdiff_t>(prefix), data, buffer.begin());
    length = data;
    return kIOReturnSuccess;
  }

 private:
  std::string nodePath_;
  std::shared_ptr<const LockWait> wait_;
  std::uint16_t vendorID_;
  std::uint16_t productID_;
  std::optional<DescriptorSummary> descriptor_;
  int fd_ = -1;
};

class HidrawBackend final : public Backend {
 public:
  HidrawBackend(const std::filesystem::path& root, LockWait wait)
      : classDir_((root / "sys/class/hidraw").string()),
        devDir_((root / "dev").string()),
        wait_(std::make_shared<const LockWait>(std::move(wait))) {}

  std::vector<std::unique_ptr<Device>> copyDevices(std::uint16_t vendorID,
                                                   std::uint16_t productID) override {
    std::vector<std::unique_ptr<Device>> devices;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(classDir_.c_str()), ::closedir);
    if (!dir) return devices;
    std::array<char, maxUeventSize> uevent;
    std::array<char, maxDescriptorSize> descriptor;
    for (const auto& [number, name] : hidrawNodes(dir.get())) {
      // Paths relative to the class folder: 200 unrelated devices stay cheap.
      const auto ueventSize = readSmallFile(::dirfd(dir.get()), name + "/device/uevent", uevent);
      if (!ueventSize) continue;
      const auto ids = parseHidID(std::string_view(uevent.data(), *ueventSize));
      if (!ids || ids->first != vendorID || ids->second != productID) continue;
      // Only matching devices pay for their descriptor.
      std::optional<DescriptorSummary> summary;
      if (const auto size =
              readSmallFile(::dirfd(dir.get()), name + "/device/report_descriptor", descriptor)) {
        summary = parseReportDescriptor(
            std::span(reinterpret_cast<const std::uint8_t*>(descriptor.data()), *size));
      }
      devices.push_back(std::make_unique<HidrawDevice>(devDir_ + "/" + name, vendorID, productID,
                                                       std::move(summary), wait_));
    }
    return devices;
  }

 private:
  // hidrawN entries ordered by N as a number, so hidraw10 follows hidraw9.
  static std::vector<std::pair<unsigned, std::string>> hidrawNodes(DIR* dir) {
    std::vector<std::pair<unsigned, std::string>> nodes;
    constexpr std::string_view hidrawPrefix = "hidraw";
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      unsigned number = 0;
      if (!name.starts_with(hidrawPrefix) ||
          !parseNumber(name.substr(hidrawPrefix.size()), number, 10)) {
        continue;
      }
      nodes.emplace_back(number, std::string(name));
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
  }

  std::string classDir_;
  std::string devDir_;
  std::shared_ptr<const LockWait> wait_;
};

}  // namespace

std::shared_ptr<Backend> makeHidrawBackend(const std::filesystem::path& root, LockWait wait) {
  return std::make_shared<HidrawBackend>(root, std::move(wait));
}

}  // namespace zepa::hid
