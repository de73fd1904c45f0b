#include "text.h"

namespace zendrel {

namespace {

wchar_t FoldCase(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 32);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 80);
    return c;
}

}  // namespace

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

std::vector<std::wstring> Split(std::wstring_view text, wchar_t sep) {
    std::vector<std::wstring> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(sep, start);
        if (at == std::wstring_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::wstring TrimSpaces(std::wstring_view text) {
    std::size_t b = text.find_first_not_of(L' ');
    if (b == std::wstring_view::npos) return L"";
    std::size_t e = text.find_last_not_of(L' ');
    return std::wstring(text.substr(b, e - b + 1));
}

std::wstring WithInserts(std::wstring_view pattern,
                         std::initializer_list<std::wstring_view> inserts) {
    std::wstring text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        std::size_t insert = static_cast<std::size_t>(next - L'1');
        if (pattern[i] == L'%' && next == L'%') {
            text += L'%';
            ++i;
        } else if (pattern[i] == L'%' && next >= L'1' && next <= L'9' && insert < inserts.size()) {
            text += inserts.begin()[insert];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace zendrel
