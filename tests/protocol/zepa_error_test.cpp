// SPDX-License-Identifier: MIT
#include "protocol/zepa_error.hpp"

#include <gtest/gtest.h>

namespace zepa {
namespace {

TEST(ZEPAError, GermanDescriptions) {
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  const std::pair<ZEPAError, std::string> rows[] = {
      {ZEPAError::openFailed(hid::kIOReturnNotPermitted),
       "Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control installieren "
       "(zepa-control --print-udev-rules) und die Tastatur neu verbinden."},
      {ZEPAError::openFailed(hid::kIOReturnExclusiveAccess),
       "Das Keyboard wird gerade von einem anderen Programm verwendet. Bitte kurz warten und "
       "erneut versuchen."},
      {ZEPAError::openFailed(1), "Keyboard konnte nicht geöffnet werden (0x00000001)."},
      {ZEPAError::writeFailed(hid::kIOUSBPipeStalled), "Senden fehlgeschlagen (0xe000404f)."},
      {ZEPAError::readFailed(-1), "Bestätigung fehlgeschlagen (0xffffffff)."},
      {ZEPAError::invalid("Wert 100% (0x%08x)"), "Wert 100% (0x%08x)"},
      {ZEPAError::acknowledgement({0x04, 0x18, 0x00, 0x00}), refused + "04 18 00 00"},
      {ZEPAError::acknowledgement({0xAB, 1, 2, 3, 4, 5, 6, 0xFF, 8}),
       refused + "ab 01 02 03 04 05 06 ff"},
      {ZEPAError::acknowledgement({}), refused},
      {ZEPAError::notFound(), "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden."},
      {ZEPAError::interfaceNotFound(), "Konfigurationsschnittstelle des Keyboards nicht gefunden."},
  };
  for (const auto& [error, description] : rows) {
    EXPECT_EQ(error.description(), description);
    EXPECT_STREQ(error.what(), description.c_str());
  }
  const std::vector<std::uint8_t> answer(64, 0x5A);
  EXPECT_EQ(ZEPAError::acknowledgement(answer).response(), answer) << "keeps the whole answer";
}

TEST(HexBytes, ShowsUpToTheLimit) {
  EXPECT_EQ(hexBytes({0xFF, 0xA0, 0x0B}, 2), "ff a0");
  EXPECT_EQ(hexBytes({0x10, 0x20}, 8), "10 20");
  EXPECT_EQ(hexBytes({}), "");
}

}  // namespace
}  // namespace zepa
