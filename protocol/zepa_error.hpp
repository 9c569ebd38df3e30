// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/hid/io_return.hpp"

namespace zepa {

// The one error of both keyboards' device operations; description() is the German text shown
// to the user.
class ZEPAError : public std::exception {
 public:
  enum class Kind {
    openFailed,
    writeFailed,
    readFailed,
    invalid,
    acknowledgement,
    notFound,
    interfaceNotFound,
  };

  static ZEPAError openFailed(hid::IOReturn status);
  static ZEPAError writeFailed(hid::IOReturn status);
  static ZEPAError readFailed(hid::IOReturn status);
  static ZEPAError invalid(std::string message);
  static ZEPAError acknowledgement(std::vector<std::uint8_t> response);
  static ZEPAError notFound();
  static ZEPAError interfaceNotFound();

  Kind kind() const { return kind_; }
  hid::IOReturn status() const { return status_; }                         // the three status cases
  const std::string& message() const { return message_; }                  // invalid
  const std::vector<std::uint8_t>& response() const { return response_; }  // acknowledgement

  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  ZEPAError(Kind kind, hid::IOReturn status, std::string message,
            std::vector<std::uint8_t> response);

  Kind kind_;
  hid::IOReturn status_ = 0;
  std::string message_;
  std::vector<std::uint8_t> response_;
  std::string description_;
};

// Runs `work`: nothing when it completes, else the German text of what it threw. Another
// exception than ZEPAError comes from a library, whose English text would mean nothing to the
// user; it gets a German sentence of its own.
std::optional<std::string> failureText(const std::function<void()>& work);

// Bytes as two lower-case hex digits each, separated by single spaces ("06 82 01"), the first
// `limit` of them; the project's one hex writer.
std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t limit = SIZE_MAX);
// For a byte list written in place, which a span cannot take.
inline std::string hexBytes(std::initializer_list<std::uint8_t> bytes,
                            std::size_t limit = SIZE_MAX) {
  return hexBytes(std::span(bytes.begin(), bytes.size()), limit);
}

}  // namespace zepa
