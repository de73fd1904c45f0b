// Which texts the store can keep as an approved site. Windows only (the ANSI
// code page is the system's).
#pragma once

#include <string_view>

namespace zendrel {

enum class SiteProblem {
    None,
    Empty,             // nothing to add
    ControlCharacter,  // a line break would split it into two lines of urls.txt
    NotInCodePage,     // urls.txt is ANSI: it would reach the add-on garbled
};

// Sites are kept as typed (no trimming, no check of the address form); only
// text that urls.txt cannot hold as one line is refused.
SiteProblem CheckSite(std::wstring_view site);

// Characters below U+0020, and U+007F.
bool HasControlCharacter(std::wstring_view text);

}  // namespace zendrel
