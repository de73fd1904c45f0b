#include "site_rules.h"

#include <algorithm>

#include "ansi.h"

namespace zendrel {

bool HasControlCharacter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

SiteProblem CheckSite(std::wstring_view site) {
    if (site.empty()) return SiteProblem::Empty;
    if (HasControlCharacter(site)) return SiteProblem::ControlCharacter;
    if (!FitsAnsi(site)) return SiteProblem::NotInCodePage;
    return SiteProblem::None;
}

}  // namespace zendrel
