// SPDX-License-Identifier: MIT
#include "protocol/zepa_error.hpp"

#include <cstdio>
#include <new>
#include <utility>

namespace zepa {

namespace {

// The status as its 32-bit pattern, so negative IOReturn values read like 0xe00002c0.
std::string withStatus(const char* pattern, hid::IOReturn status) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, pattern,
                static_cast<unsigned>(static_cast<std::uint32_t>(status)));
  return buffer;
}

std::string describe(ZEPAError::Kind kind, hid::IOReturn status, const std::string& message,
                     const std::vector<std::uint8_t>& response) {
  using Kind = ZEPAError::Kind;
  switch (kind) {
    case Kind::openFailed:
      if (status == hid::kIOReturnNotPermitted) {
        return "Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control "
               "installieren (zepa-control --print-udev-rules) und die Tastatur neu verbinden.";
      }
      if (status == hid::kIOReturnExclusiveAccess) {
        return "Das Keyboard wird gerade von einem anderen Programm verwendet. Bitte kurz warten "
               "und erneut versuchen.";
      }
      return withStatus("Keyboard konnte nicht geöffnet werden (0x%08x).", status);
    case Kind::writeFailed:
      return withStatus("Senden fehlgeschlagen (0x%08x).", status);
    case Kind::readFailed:
      return withStatus("Bestätigung fehlgeschlagen (0x%08x).", status);
    case Kind::invalid:
      return message;
    case Kind::acknowledgement:
      return "Keyboard hat den Befehl nicht bestätigt: " + hexBytes(response, 8);
    case Kind::notFound:
      return "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden.";
    case Kind::interfaceNotFound:
      return "Konfigurationsschnittstelle des Keyboards nicht gefunden.";
  }
  return message;
}

}  // namespace

ZEPAError::ZEPAError(Kind kind, hid::IOReturn status, std::string message,
                     std::vector<std::uint8_t> response)
    : kind_(kind), status_(status), message_(std::move(message)), response_(std::move(response)) {
  description_ = describe(kind_, status_, message_, response_);
}

ZEPAError ZEPAError::openFailed(hid::IOReturn status) {
  return ZEPAError(Kind::openFailed, status, {}, {});
}

ZEPAError ZEPAError::writeFailed(hid::IOReturn status) {
  return ZEPAError(Kind::writeFailed, status, {}, {});
}

ZEPAError ZEPAError::readFailed(hid::IOReturn status) {
  return ZEPAError(Kind::readFailed, status, {}, {});
}

ZEPAError ZEPAError::invalid(std::string message) {
  return ZEPAError(Kind::invalid, 0, std::move(message), {});
}

ZEPAError ZEPAError::acknowledgement(std::vector<std::uint8_t> response) {
  return ZEPAError(Kind::acknowledgement, 0, {}, std::move(response));
}

ZEPAError ZEPAError::notFound() {
  return ZEPAError(Kind::notFound, 0, {}, {});
}

ZEPAError ZEPAError::interfaceNotFound() {
  return ZEPAError(Kind::interfaceNotFound, 0, {}, {});
}

std::optional<std::string> failureText(const std::function<void()>& work) {
  try {
    work();
    return std::nullopt;
  } catch (const ZEPAError& error) {
    return error.description();
  } catch (const std::bad_alloc&) {
    return "Nicht genug Arbeitsspeicher.";
  } catch (...) {
    return "Bei der Übertragung ist ein unerwarteter Fehler aufgetreten. Bitte die Tastatur neu "
           "verbinden und es erneut versuchen.";
  }
}

std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t limit) {
  static constexpr char digits[] = "0123456789abcdef";
  std::size_t count = bytes.size() < limit ? bytes.size() : limit;
  std::string out;
  out.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(' ');
    out.push_back(digits[bytes[i] >> 4]);
    out.push_back(digits[bytes[i] & 0x0F]);
  }
  return out;
}

}  // namespace zepa
