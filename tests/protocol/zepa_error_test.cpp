#include "protocol/zepa_error.hpp"

#include <gtest/gtest.h>

namespace zepa {
namespace {

TEST(ZEPAErrorTest, GermanDescriptions) {
  struct Row {
    ZEPAError error;
    const char* description;
  };
  const Row rows[] = {
      {ZEPAError::openFailed(hid::kIOReturnNotPermitted),
       "Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control installieren "
       "(zepa-control --print-udev-rules) und die Tastatur neu verbinden."},
      {ZEPAError::openFailed(hid::kIOReturnNoDevice),
       "Keyboard konnte nicht geöffnet werden (0xe00002c0)."},
      {ZEPAError::openFailed(1), "Keyboard konnte nicht geöffnet werden (0x00000001)."},
      {ZEPAError::writeFailed(hid::kIOUSBPipeStalled), "Senden fehlgeschlagen (0xe000404f)."},
      {ZEPAError::writeFailed(hid::kIOReturnNotPermitted), "Senden fehlgeschlagen (0xe00002e2)."},
      {ZEPAError::readFailed(hid::kIOReturnTimeout), "Bestätigung fehlgeschlagen (0xe00002d6)."},
      {ZEPAError::readFailed(-1), "Bestätigung fehlgeschlagen (0xffffffff)."},
      {ZEPAError::readFailed(0x7fffffff), "Bestätigung fehlgeschlagen (0x7fffffff)."},
      {ZEPAError::invalid("Helligkeit muss zwischen 0 und 5 liegen."),
       "Helligkeit muss zwischen 0 und 5 liegen."},
      {ZEPAError::invalid("Wert 100% (0x%08x)"), "Wert 100% (0x%08x)"},
      {ZEPAError::acknowledgement({0x04, 0x18, 0x00, 0x00}),
       "Keyboard hat den Befehl nicht bestätigt: 04 18 00 00"},
      {ZEPAError::acknowledgement({0xAB, 1, 2, 3, 4, 5, 6, 0xFF, 8, 9}),
       "Keyboard hat den Befehl nicht bestätigt: ab 01 02 03 04 05 06 ff"},
      {ZEPAError::acknowledgement({}), "Keyboard hat den Befehl nicht bestätigt: "},
      {ZEPAError::notFound(), "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden."},
      {ZEPAError::interfaceNotFound(), "Konfigurationsschnittstelle des Keyboards nicht gefunden."},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.error.description(), row.description);
    EXPECT_STREQ(row.error.what(), row.description);
  }
}

TEST(ZEPAErrorTest, AcknowledgementKeepsTheWholeAnswer) {
  std::vector<std::uint8_t> answer(64, 0x5A);
  EXPECT_EQ(ZEPAError::acknowledgement(answer).response(), answer);
}

TEST(HexBytesTest, TwoLowerCaseDigitsSeparatedBySpaces) {
  struct Row {
    std::vector<std::uint8_t> bytes;
    std::size_t limit;
    const char* text;
  };
  const Row rows[] = {
      {{}, SIZE_MAX, ""},
      {{0x00}, SIZE_MAX, "00"},
      {{0x06, 0x82, 0x01}, SIZE_MAX, "06 82 01"},
      {{0xFF, 0xA0, 0x0B}, 2, "ff a0"},
      {{0xFF, 0xA0, 0x0B}, 0, ""},
      {{0x10, 0x20}, 8, "10 20"},
  };
  for (const Row& row : rows) EXPECT_EQ(hexBytes(row.bytes, row.limit), row.text);
}

}  // namespace
}  // namespace zepa
