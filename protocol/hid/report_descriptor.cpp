// SPDX-License-Identifier: MIT
#include "protocol/hid/report_descriptor.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

namespace zepa::hid {

namespace {

enum class ItemType : std::uint8_t { main = 0, global = 1, local = 2, reserved = 3 };

namespace mainTag {
constexpr std::uint8_t input = 0x8, output = 0x9, feature = 0xB, collection = 0xA;
}
namespace globalTag {
constexpr std::uint8_t usagePage = 0x0, reportSize = 0x7, reportID = 0x8, reportCount = 0x9,
                       push = 0xA, pop = 0xB;
}
namespace localTag {
constexpr std::uint8_t usage = 0x0;
}

constexpr std::uint8_t longItemPrefix = 0xFE;
constexpr std::uint32_t collectionPhysical = 0x00, collectionApplication = 0x01;

// Push beyond this depth means a broken descriptor; the bound keeps hostile input from
// growing the stack.
constexpr std::size_t maxGlobalStackDepth = 16;

// The global items the summary depends on; Push and Pop save and restore exactly these.
struct GlobalState {
  std::uint32_t usagePage = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportID = 0;
};

struct ShortItem {
  ItemType type;
  std::uint8_t tag;
  std::uint8_t size;  // data bytes: 0, 1, 2 or 4
  std::uint32_t data;
};

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return a * b;
}

class DescriptorParser {
 public:
  explicit DescriptorParser(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  DescriptorSummary run() {
    while (position_ < bytes_.size()) {
      if (!step()) break;
    }
    return finish();
  }

 private:
  // One item; false when the rest of the descriptor cannot be trusted.
  bool step() {
    const std::uint8_t prefix = bytes_[position_];
    if (prefix == longItemPrefix) {
      // Long items carry no information we use: skip prefix, size, tag and data.
      if (bytes_.size() - position_ < 3) return false;
      const std::size_t dataSize = bytes_[position_ + 1];
      if (bytes_.size() - position_ - 3 < dataSize) return false;
      position_ += 3 + dataSize;
      return true;
    }
    static constexpr std::uint8_t sizes[] = {0, 1, 2, 4};
    ShortItem item{static_cast<ItemType>((prefix >> 2) & 0x3),
                   static_cast<std::uint8_t>(prefix >> 4), sizes[prefix & 0x3], 0};
    if (bytes_.size() - position_ - 1 < item.size) return false;
    for (std::size_t i = 0; i < item.size; ++i) {
      item.data |= static_cast<std::uint32_t>(bytes_[position_ + 1 + i]) << (8 * i);
    }
    position_ += 1 + item.size;
    switch (item.type) {
      case ItemType::main:
        return mainItem(item);
      case ItemType::global:
        return globalItem(item);
      case ItemType::local:
        localItem(item);
        return true;
      case ItemType::reserved:
        return true;
    }
    return true;
  }

  bool mainItem(const ShortItem& item) {
    switch (item.tag) {
      case mainTag::input:
      case mainTag::output:
        noteReportID(global_.reportID);
        break;
      case mainTag::feature:
        noteReportID(global_.reportID);
        featureBits_[global_.reportID] =
            saturatingAdd(featureBits_[global_.reportID],
                          saturatingMultiply(global_.reportSize, global_.reportCount));
        break;
      case mainTag::collection:
        if (!primaryFound_ &&
            (item.data == collectionApplication || item.data == collectionPhysical)) {
          primaryFound_ = true;
          primaryUsage_ = collectionUsage();
        }
        break;
      default:
        break;
    }
    // Local items describe only the main item that follows them.
    firstUsage_.reset();
    return true;
  }

  bool globalItem(const ShortItem& item) {
    switch (item.tag) {
      case globalTag::usagePage:
        global_.usagePage = item.data;
        break;
      case globalTag::reportSize:
        global_.reportSize = item.data;
        break;
      case globalTag::reportCount:
        global_.reportCount = item.data;
        break;
      case globalTag::reportID:
        // Report IDs are one byte and 0 is reserved for "no ID"; anything else is corrupt.
        if (item.data == 0 || item.data > 0xFF) return false;
        global_.reportID = static_cast<std::uint8_t>(item.data);
        noteReportID(global_.reportID);
        break;
      case globalTag::push:
        if (stackDepth_ == stack_.size()) return false;
        stack_[stackDepth_++] = global_;
        break;
      case globalTag::pop:
        if (stackDepth_ == 0) return false;
        global_ = stack_[--stackDepth_];
        break;
      default:
        break;
    }
    return true;
  }

  void localItem(const ShortItem& item) {
    if (item.tag != localTag::usage || firstUsage_) return;
    firstUsage_ = LocalUsage{item.data, item.size == 4};
  }

  // A four-byte usage names its page in the upper half; a shorter one takes the usage page in
  // effect at the main item.
  std::pair<std::uint32_t, std::uint32_t> collectionUsage() const {
    if (!firstUsage_) return {0, 0};
    if (firstUsage_->extended) return {firstUsage_->value >> 16, firstUsage_->value & 0xFFFF};
    return {global_.usagePage, firstUsage_->value};
  }

  void noteReportID(std::uint8_t id) {
    if (declared_[id]) return;
    declared_[id] = true;
    order_.push_back(id);
  }

  DescriptorSummary finish() const {
    DescriptorSummary summary;
    if (primaryFound_) {
      summary.primaryUsagePage = primaryUsage_.first;
      summary.primaryUsage = primaryUsage_.second;
    }
    std::uint64_t largestBits = 0;
    for (const std::uint8_t id : order_) {
      const std::uint64_t bits = saturatingAdd(featureBits_[id], id != 0 ? 8 : 0);
      largestBits = std::max(largestBits, bits);
    }
    const std::uint64_t bytes = largestBits / 8 + (largestBits % 8 != 0 ? 1 : 0);
    summary.maxFeatureReportSize = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(bytes, std::numeric_limits<std::uint32_t>::max()));
    summary.reportIDs = order_;
    return summary;
  }

  struct LocalUsage {
    std::uint32_t value;
    bool extended;
  };

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  GlobalState global_;
  std::array<GlobalState, maxGlobalStackDepth> stack_{};
  std::size_t stackDepth_ = 0;
  std::optional<LocalUsage> firstUsage_;
  bool primaryFound_ = false;
  std::pair<std::uint32_t, std::uint32_t> primaryUsage_{0, 0};
  std::array<std::uint64_t, 256> featureBits_{};
  std::array<bool, 256> declared_{};
  std::vector<std::uint8_t> order_;
};

}  // namespace

DescriptorSummary parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  return DescriptorParser(descriptor).run();
}

}  // namespace zepa::hid
