// What the fuzz targets share: the fuzzer's bytes as the UTF-16 code units the
// programs work with, and a check that stops the run when a property fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zendrel::fuzz {

// Every two bytes, least significant first, make one code unit; an odd last
// byte is dropped. Code units stay below 0x10000 on a host whose wchar_t is
// 32 bits wide too, as they would be on Windows.
inline std::wstring CodeUnits(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

// The bytes as they are, one character per byte (code units 0-255).
inline std::wstring ByteChars(const std::uint8_t* data, std::size_t size) {
    return std::wstring(data, data + size);
}

[[noreturn]] inline void PropertyFailed(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();  // libFuzzer keeps the input that got here
}

}  // namespace zendrel::fuzz

// A property of the code under test; abort() hands the input to libFuzzer.
#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) ::zendrel::fuzz::PropertyFailed(__FILE__, __LINE__, #condition); \
    } while (0)
