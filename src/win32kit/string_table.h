// The texts of the running program's string table. A text may hold marks
// for inserts (%1 to %9, %% for a percent sign), which the inserts replace.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace zendrel {

// The text of the string id of the program's own module. A missing string is
// the program's fault and throws (FailureFromWin32, as the call reports it).
std::wstring LoadText(unsigned id);
std::wstring LoadText(unsigned id, std::initializer_list<std::wstring_view> inserts);

// The text of the string id where the program's table has one, else
// `fallback`: for the kit's own texts, which a program may word for itself.
std::wstring LoadTextOr(unsigned id, std::wstring_view fallback);

// The ids under which a program words the kit's texts.
inline constexpr unsigned kEventFailureTextId = 0xFF00;  // a handler's failure: its report

}  // namespace zendrel
