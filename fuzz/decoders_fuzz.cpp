// SPDX-License-Identifier: MIT
// Arbitrary bytes into every stored-document decoder: none may crash or throw, and whatever
// decodes must encode and decode again to the same value.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/effect_maps.hpp"
#include "protocol/halvern_records.hpp"
#include "protocol/records.hpp"

namespace {

[[noreturn]] void fail(const char* decoder, const std::string& first, const std::string& second) {
  std::fprintf(stderr, "%s does not round-trip:\n  %s\n  %s\n", decoder, first.c_str(),
               second.c_str());
  std::abort();
}

// The profile has no equality of its own; its encoding covers every field.
void checkProfile(std::string_view input) {
  auto profile = zepa::decodeProfile(input);
  if (!profile) return;
  std::string encoded = zepa::encodeProfile(*profile);
  auto again = zepa::decodeProfile(encoded);
  if (!again) fail("decodeProfile", encoded, "(nothing)");
  std::string reencoded = zepa::encodeProfile(*again);
  if (reencoded != encoded || again->id != profile->id || again->name != profile->name ||
      again->lighting != profile->lighting || again->keyColors != profile->keyColors ||
      again->remaps != profile->remaps) {
    fail("decodeProfile", encoded, reencoded);
  }
}

template <typename Decode, typename Encode>
void checkRoundTrip(const char* decoder, std::string_view input, Decode decode, Encode encode) {
  auto value = decode(input);
  if (!value) return;
  std::string encoded = encode(*value);
  auto again = decode(encoded);
  if (!again) fail(decoder, encoded, "(nothing)");
  if (!(*again == *value)) fail(decoder, encoded, encode(*again));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  try {
    checkProfile(input);
    checkRoundTrip("decodeHalvernLighting", input, zepa::decodeHalvernLighting,
                   zepa::encodeHalvernLighting);
    checkRoundTrip("decodeKeyRemaps", input, zepa::decodeKeyRemaps, zepa::encodeKeyRemaps);
    checkRoundTrip("decodeEffectNames", input, zepa::decodeEffectNames, zepa::encodeEffectNames);
    checkRoundTrip("decodeEffectSemanticMap", input, zepa::decodeEffectSemanticMap,
                   zepa::encodeEffectSemanticMap);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "exception escaped a decoder: %s\n", error.what());
    std::abort();
  }
  return 0;
}
