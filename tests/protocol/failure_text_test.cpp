// SPDX-License-Identifier: MIT
// The text the application and zepactl show for whatever an operation throws.
#include <functional>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "protocol/zepa_error.hpp"

namespace zepa {
namespace {

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
        Thrown{"completed", [] {}, std::nullopt},
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
