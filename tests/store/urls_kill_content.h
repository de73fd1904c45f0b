// The two contents that the kill test's child saves in turn, and the parent
// expects to find after every kill.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zendrel::test {

inline constexpr int kKillTestLineCount = 200000;

inline std::vector<std::wstring> KillTestLines(wchar_t letter) {
    std::vector<std::wstring> lines;
    lines.reserve(kKillTestLineCount);
    wchar_t line[40];
    for (int i = 0; i < kKillTestLineCount; ++i) {
        std::swprintf(line, 40, L"%lc%06d.site.example", letter, i);
        lines.emplace_back(line);
    }
    return lines;
}

}  // namespace zendrel::test
