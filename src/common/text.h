// Text helpers that need no Windows.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

// Letter case ignored for A-Z, the Latin-1 letters and the basic Cyrillic and
// Greek ranges, the letters a registry name is likely to hold.
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b);

// Splits at every occurrence of sep: n separators give n + 1 pieces, empty
// ones included; an empty text gives no piece at all.
std::vector<std::wstring> Split(std::wstring_view text, wchar_t sep);

// Removes leading and trailing space characters (code 32 only).
std::wstring TrimSpaces(std::wstring_view text);

// A text with its inserts: %1 to %9 stand for the inserts in their order and
// %% for a percent sign; an insert is copied as it is, never read for marks.
std::wstring WithInserts(std::wstring_view pattern,
                         std::initializer_list<std::wstring_view> inserts);

}  // namespace zendrel
