// Conversion between the programs' UTF-16 text and the system's ANSI code
// page, where text meets the registry and urls.txt. Windows only.
#pragma once

#include <string>
#include <string_view>

namespace zendrel {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

// Whether every character of text has its own place in the ANSI code page;
// ToAnsi turns any other into "?" or a look-alike letter.
bool FitsAnsi(std::wstring_view text);

}  // namespace zendrel
