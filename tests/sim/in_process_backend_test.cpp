#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/hid/io_return.hpp"
#include "tests/sim/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::test {
namespace {

using sim::InProcessBackend;
using sim::SimulatorOptions;

std::string status(hid::IOReturn value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

std::unique_ptr<hid::Device> configInterface(InProcessBackend& backend, std::uint16_t vendor,
                                             std::uint16_t product) {
  for (auto& device : backend.copyDevices(vendor, product)) {
    auto size = device->property("MaxFeatureReportSize");
    if (size == 64 || size == 520) return std::move(device);
  }
  return nullptr;
}

// Runs calls on the ZEPA ("Z") and Halvern ("H") configuration interfaces: "ZS" writes a
// report, "ZG" reads one. Each call's outcome is "ok", "ok:<length>" for a read, "zeros"
// for a read of nothing but zeros, or the status in hex.
std::string run(InProcessBackend& backend, const std::string& calls) {
  auto zepa = configInterface(backend, 0x0C45, 0x800A);
  auto halvern = configInterface(backend, 0x258A, 0x010C);
  std::istringstream in(calls);
  std::string call, outcome;
  while (in >> call) {
    hid::Device& device = call[0] == 'Z' ? *zepa : *halvern;
    const std::uint8_t id = call[0] == 'Z' ? 0 : 6;
    const std::size_t size = call[0] == 'Z' ? 64 : 520;
    std::string result;
    if (hid::IOReturn opened = device.open()) {
      result = status(opened);
    } else if (call[1] == 'S') {
      auto data = report(id ? "06 84 00 00 01 00 80 00" : "04 18", size);
      hid::IOReturn r = device.setReport(hid::ReportType::feature, id, data);
      result = r ? status(r) : "ok";
    } else {
      std::vector<std::uint8_t> buffer(size, 0);
      buffer[0] = id;
      std::size_t length = size;
      hid::IOReturn r = device.getReport(hid::ReportType::feature, id, buffer, length);
      const bool zeros = length > 0 && std::all_of(buffer.begin(), buffer.begin() + length,
                                                   [](auto b) { return b == 0; });
      result = r                ? status(r)
               : zeros          ? "zeros"
               : length == size ? "ok"
                                : "ok:" + std::to_string(length);
    }
    outcome += (outcome.empty() ? "" : " ") + result;
  }
  return outcome;
}

struct FaultCase {
  const char* name;
  std::vector<std::string> faults;
  const char* calls;
  const char* outcome;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
  *out << c.name;
}

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, GiveTheStatusTheHidrawBackendWouldGive) {
  const FaultCase& c = GetParam();
  InProcessBackend backend(SimulatorOptions{true, true, 0, c.faults});
  EXPECT_EQ(run(backend, c.calls), c.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Faults,
    ::testing::Values(
        FaultCase{"none", {}, "ZS ZG HS HG", "ok ok ok ok"},
        FaultCase{"openRefused", {"open:EACCES"}, "ZS HG", "e00002e2 e00002e2"},
        FaultCase{"openBusy", {"open:EBUSY"}, "ZS", "e00002d5"},
        FaultCase{"secondWriteStalls", {"set:2:EPIPE"}, "ZS ZG ZS ZS", "ok ok e000404f ok"},
        // Writes are counted over the whole simulator, not per keyboard.
        FaultCase{"countedAcrossKeyboards", {"set:2:ETIMEDOUT"}, "ZS HS ZS", "ok e00002d6 ok"},
        FaultCase{"readFails", {"get:2:EIO"}, "ZS ZG ZG ZG", "ok ok e00002ca ok"},
        FaultCase{"readBadArgument", {"get:1:EINVAL"}, "HS HG", "ok e00002c2"},
        FaultCase{"unknownErrnoGivesGenericError", {"set:1:EPROTO"}, "ZS", "e00002bc"},
        FaultCase{"shortRead", {"get:1:short:3"}, "ZS ZG ZG", "ok ok:3 ok"},
        FaultCase{"shortNumberedRead", {"get:1:short:14"}, "HS HG", "ok ok:14"},
        FaultCase{"emptyRead", {"get:1:short:0"}, "ZG", "ok:0"},
        FaultCase{"nak", {"get:2:nak"}, "ZS ZG HS HG HG", "ok ok ok zeros ok"},
        // Unplugging counts reads and writes alike and sticks.
        FaultCase{"unplug", {"unplug:3"}, "ZS ZG HS HG ZS", "ok ok e00002c0 e00002c0 e00002c0"},
        FaultCase{"firstMatchingFaultWins", {"set:1:EIO", "set:1:EPIPE"}, "ZS", "e00002ca"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Faults, AddedLaterCountFromTheStart) {
  InProcessBackend backend(SimulatorOptions{true, false, 0, {}});
  EXPECT_EQ(run(backend, "ZS ZS"), "ok ok");
  backend.addFault("set:3:EPIPE");
  EXPECT_EQ(run(backend, "ZS ZS"), "e000404f ok");
}

TEST(Faults, UnpluggedKeyboardsVanishAndForgetTheirKeyMap) {
  InProcessBackend backend(SimulatorOptions{true, true, 1, {"unplug:1"}});
  sim::KeymapEntry entry;
  entry.len = 4;
  entry.keycode = 29;
  const std::uint32_t capsLock = 0x70039;
  std::memcpy(entry.scancode, &capsLock, 4);
  ASSERT_EQ(backend.simulator().setKeycode("event1", entry), 0);
  EXPECT_EQ(backend.halvernState()["keyMap"].size(), 1u);

  EXPECT_EQ(run(backend, "ZS"), "e00002c0");
  EXPECT_TRUE(backend.copyDevices(0x0C45, 0x800A).empty());
  EXPECT_TRUE(backend.copyDevices(0x258A, 0x010C).empty());
  EXPECT_EQ(backend.copyDevices(0x046D, 0xC31C).size(), 1u);
  EXPECT_EQ(backend.halvernState()["keyMap"].size(), 0u);
  EXPECT_EQ(backend.halvernState()["attached"], false);
  EXPECT_EQ(backend.simulator().getKeycode("event1", entry), -ENODEV);
}

TEST(FaultTexts, MalformedOnesAreRefused) {
  const char* bad[] = {"",
                       "set",
                       "set:0:EPIPE",
                       "set:x:EPIPE",
                       "set:1",
                       "get:1:EWHAT",
                       "get:1:short",
                       "get:1:short:",
                       "get:1:short:-1",
                       "unplug",
                       "unplug:0",
                       "open:EACCES:1",
                       "open:13",
                       "frob:1",
                       "get:1:nak:2",
                       "set:1:nak"};
  for (const char* text : bad) {
    InProcessBackend backend;
    EXPECT_THROW(backend.addFault(text), std::invalid_argument) << '"' << text << '"';
  }
  EXPECT_THROW(InProcessBackend(SimulatorOptions{true, true, 0, {"get:2"}}), std::invalid_argument);
  InProcessBackend backend;
  for (const char* text : {"open:EPERM", "set:9:EIO", "get:1:short:0", "get:4:nak", "unplug:7"})
    EXPECT_NO_THROW(backend.addFault(text)) << text;
}

// Interfaces of one vendor/product pair, as "page:usage/max-feature-size", in order.
std::string interfaces(InProcessBackend& backend, std::uint16_t vendor, std::uint16_t product) {
  std::string list;
  for (const auto& device : backend.copyDevices(vendor, product)) {
    char row[48];
    std::snprintf(row, sizeof row, "%s%llx:%llx/%lld", list.empty() ? "" : " ",
                  static_cast<long long>(device->property("PrimaryUsagePage").value_or(-1)),
                  static_cast<long long>(device->property("PrimaryUsage").value_or(-1)),
                  static_cast<long long>(device->property("MaxFeatureReportSize").value_or(-1)));
    list += row;
  }
  return list;
}

TEST(Discovery, InterfacesComeInNodeOrderWithTheirDescriptorsProperties) {
  struct Row {
    SimulatorOptions options;
    std::uint16_t vendor, product;
    const char* expected;
  };
  const Row rows[] = {
      {{true, true, 0, {}}, 0x0C45, 0x800A, "1:6/0 c:1/1 ff13:1/64"},
      {{true, true, 0, {}}, 0x258A, 0x010C, "1:6/0 ff00:1/520"},
      {{false, true, 0, {}}, 0x0C45, 0x800A, ""},
      {{true, true, 3, {}}, 0x046D, 0xC31C, "1:6/0 1:6/0"},
      {{true, true, 3, {}}, 0x046D, 0xC077, "1:2/0"},
  };
  for (const auto& row : rows) {
    InProcessBackend backend(row.options);
    EXPECT_EQ(interfaces(backend, row.vendor, row.product), row.expected);
  }
}

TEST(Discovery, NodeNumbersPutUnrelatedDevicesFirst) {
  InProcessBackend backend(SimulatorOptions{true, true, 2, {}});
  std::string nodes;
  for (const auto& interface : backend.simulator().tree().interfaces)
    nodes += interface.hidrawNode() + (interface.event ? "+" + interface.eventNode() : "") + "=" +
             std::to_string(interface.vendor) + " ";
  EXPECT_EQ(nodes,
            "hidraw0+event0=1133 hidraw1+event1=1133 hidraw2=3141 hidraw3=3141 hidraw4=3141 "
            "hidraw5+event2=9610 hidraw6=9610 ");
}

TEST(Calls, NeedAnOpenFeatureInterface) {
  InProcessBackend backend;
  auto device = configInterface(backend, 0x0C45, 0x800A);
  const auto data = report("04 18", 64);
  EXPECT_EQ(status(device->setReport(hid::ReportType::feature, 0, data)), "e00002cd");
  ASSERT_EQ(device->open(), hid::kIOReturnSuccess);
  EXPECT_EQ(status(device->setReport(hid::ReportType::output, 0, data)), "e00002c7");
  EXPECT_EQ(device->setReport(hid::ReportType::feature, 0, data), hid::kIOReturnSuccess);
  device->close();
  EXPECT_EQ(status(device->setReport(hid::ReportType::feature, 0, data)), "e00002cd");
}

TEST(Log, RecordsWhatTheKeyboardsSawAndAnswered) {
  InProcessBackend backend(SimulatorOptions{true, true, 0, {"set:2:EPIPE"}});
  run(backend, "ZS ZS ZG");
  const auto log = backend.log();
  ASSERT_EQ(log.size(), 2u);  // the refused write never reached the keyboard
  EXPECT_EQ(log[0].node, "hidraw2");
  EXPECT_EQ(log[0].op, "SET");
  EXPECT_EQ(log[0].id, 0u);
  EXPECT_BYTES(log[0].bytes, hex(report("04 18", 64)));
  EXPECT_EQ(log[1].op, "GET");
  EXPECT_BYTES(log[1].bytes, hex(report("04 18 00 01", 64)));
  EXPECT_LE(log[0].micros, log[1].micros);
  backend.clearLog();
  EXPECT_TRUE(backend.log().empty());
}

}  // namespace
}  // namespace zepa::test
