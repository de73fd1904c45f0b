// The changing lists of the stress tests: round n of a save has a first line
// that names the round and a length of its own, so that any complete file
// tells which round wrote it and can be checked byte for byte.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zendrel::test {

inline std::vector<std::wstring> StressRoundLines(unsigned round) {
    // Between 2 000 and 8 000 lines (about 40 to 170 KB, several write blocks).
    const unsigned count = 2000 + (round * 7919u) % 6000;
    std::vector<std::wstring> lines;
    lines.reserve(count + 1);
    lines.push_back(L"round-" + std::to_wstring(round) + L".example");
    wchar_t line[48];
    for (unsigned i = 0; i < count; ++i) {
        std::swprintf(line, 48, L"r%u-site%05u.example.org", round, i);
        lines.emplace_back(line);
    }
    return lines;
}

// The file bytes of a round: ASCII lines, each ended by CR LF.
inline std::string StressRoundBytes(unsigned round) {
    std::string bytes;
    for (const std::wstring& line : StressRoundLines(round)) {
        bytes.append(line.begin(), line.end());
        bytes += "\r\n";
    }
    return bytes;
}

// The round whose complete file `bytes` is; -1 when it is none (cut short,
// mixed or garbled).
inline long WholeRoundOf(const std::string& bytes) {
    unsigned round = 0;
    if (std::sscanf(bytes.c_str(), "round-%u.example\r\n", &round) != 1) return -1;
    return bytes == StressRoundBytes(round) ? static_cast<long>(round) : -1;
}

}  // namespace zendrel::test
