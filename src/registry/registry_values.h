// The byte <-> Variant conversions of RegistryWrapper, kept free of Windows so
// that they build and are tested natively. The code-page conversion and the
// environment expansion come in as functions (the wrapper passes the ANSI code
// page helpers and ExpandEnvironmentStringsA).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "variant.h"

namespace zendrel {

// The registry types that the wrapper converts.
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

struct AnsiConversions {
    // ANSI code page bytes (null bytes included) to text, and back.
    std::function<std::wstring(std::string_view)> decode;
    std::function<std::string(std::wstring_view)> encode;
    // Expands the environment references of an ANSI text that holds no null
    // byte; the result has no terminator and is never cut short.
    std::function<std::string(const std::string&)> expand;
};

// The data block as a registry query reports it: data.size() is the size.

// GetRegistryValue: the value by its type, or nullopt where the caller's
// default stands (a type not converted, an empty text, a multi-string whose
// first string is empty).
std::optional<Variant> QueriedValue(std::uint32_t type, std::span<const std::uint8_t> data,
                                    const AnsiConversions& ansi);

// ReadRemoteRegistryValue: as QueriedValue with Empty for the default, and a
// multi-string without the null after its last string.
Variant RemoteQueriedValue(std::uint32_t type, std::span<const std::uint8_t> data,
                           const AnsiConversions& ansi);

// EnumRegistryValues: byte arrays as hexadecimal text, multi-strings joined
// with commas, empty data as an empty text, an unconverted type as Empty.
Variant ListedValue(std::uint32_t type, std::span<const std::uint8_t> data,
                    const AnsiConversions& ansi);

// SetRegistryValue and WriteRemoteRegistryValue: the bytes to store for
// dtype, or nullopt for a type that is not written. A value with no such form
// throws kTypeMismatch or kOverflow.
std::optional<Bytes> StoredData(const Variant& value, std::int32_t dtype,
                                const AnsiConversions& ansi);

// Every byte as two uppercase hexadecimal digits, separated by one space.
std::wstring HexText(std::span<const std::uint8_t> data);

// Cuts item at its first null character and returns the result.
std::wstring CutAtNull(std::wstring& item);

}  // namespace zendrel
