// A plain MD5 (RFC 1321) on unsigned 32-bit words, written for the tests only:
// loop-driven, its sine table computed rather than written out, so that it
// shares no code and no constant table with CMD5.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel::testing {

// Lower-case hexadecimal digest of the bytes.
std::wstring ReferenceMd5(const std::vector<std::uint8_t>& bytes);

// The message bytes of a text: the low 8 bits of each code unit.
std::vector<std::uint8_t> LowBytes(std::wstring_view text);

}  // namespace zendrel::testing
