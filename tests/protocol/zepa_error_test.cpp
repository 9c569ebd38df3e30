// SPDX-License-Identifier: MIT
#include "protocol/zepa_error.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace zepa {
namespace {

std::string text(const ZEPAError& error) {
  return error.description();
}

// A node held by another program is the programs' own test, to the letter.
TEST(ZEPAError, OpenFailures) {
  EXPECT_EQ(text(ZEPAError::openFailed(hid::kIOReturnNotPermitted)),
            "Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control installieren "
            "(zepa-control --print-udev-rules) und die Tastatur neu verbinden.");
  EXPECT_EQ(text(ZEPAError::openFailed(1)), "Keyboard konnte nicht geöffnet werden (0x00000001).");
}

TEST(ZEPAError, TransferFailuresShowTheStatusUnsigned) {
  EXPECT_EQ(text(ZEPAError::writeFailed(hid::kIOUSBPipeStalled)),
            "Senden fehlgeschlagen (0xe000404f).");
  EXPECT_EQ(text(ZEPAError::readFailed(-1)), "Bestätigung fehlgeschlagen (0xffffffff).");
}

// A message is text, never a format.
TEST(ZEPAError, InvalidKeepsItsMessage) {
  EXPECT_EQ(text(ZEPAError::invalid("Wert 100% (0x%08x)")), "Wert 100% (0x%08x)");
}

// The whole answer stays with the error: the device's acknowledgement table checks it.
TEST(ZEPAError, RefusalShowsEightBytes) {
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  EXPECT_EQ(text(ZEPAError::acknowledgement({0xAB, 1, 2, 3, 4, 5, 6, 0xFF, 8})),
            refused + "ab 01 02 03 04 05 06 ff");
  EXPECT_EQ(text(ZEPAError::acknowledgement({})), refused);
}

// The text the application and zepactl show for whatever an operation throws.
const std::string unexpected =
    "Bei der Übertragung ist ein unerwarteter Fehler aufgetreten. Bitte die Tastatur neu "
    "verbinden und es erneut versuchen.";

struct Thrown {
  const char* name;
  std::function<void()> work;
  std::optional<std::string> text;
};
void PrintTo(const Thrown& row, std::ostream* out) {
  *out << row.name;
}

class FailureText : public ::testing::TestWithParam<Thrown> {};

TEST_P(FailureText, IsGerman) {
  EXPECT_EQ(failureText(GetParam().work), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FailureText,
    ::testing::Values(
        Thrown{"deviceError", [] { throw ZEPAError::notFound(); },
               "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden."},
        Thrown{"outOfMemory", [] { throw std::bad_alloc(); }, "Nicht genug Arbeitsspeicher."},
        // A library's English what() would mean nothing to the user.
        Thrown{"libraryError", [] { throw std::runtime_error("basic_string::_M_create"); },
               unexpected},
        Thrown{"notAnException", [] { throw 42; }, unexpected}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa
