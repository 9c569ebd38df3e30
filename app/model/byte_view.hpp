// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string_view>

#include <QByteArray>

namespace zepa {

// Stored bytes as the text the decoders read, without a copy; valid while `bytes` lives.
inline std::string_view view(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace zepa
