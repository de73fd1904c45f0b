#include "launch_rules.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "text.h"

namespace zendrel {

namespace {

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring_view Extension(std::wstring_view name) {
    std::size_t dot = name.find_last_of(L'.');
    std::size_t slash = name.find_last_of(L"\\/");
    if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash))
        return {};
    return name.substr(dot);
}

bool IsInvalidInName(wchar_t c) {
    return IsControl(c) || c == L'"' || c == L'<' || c == L'>' || c == L'|' || c == L'*' ||
           c == L'?';
}

// Whether the file name is one of the names of devices (CON, NUL, COM1...),
// which Windows takes as the device in any folder and with any type.
bool IsDeviceName(std::wstring_view path) {
    std::wstring_view name = path.substr(path.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
    for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (EqualsIgnoreCase(name, device)) return true;
    return name.size() == 4 &&
           (EqualsIgnoreCase(name.substr(0, 3), L"COM") ||
            EqualsIgnoreCase(name.substr(0, 3), L"LPT")) &&
           ((name[3] >= L'0' && name[3] <= L'9') || name[3] == 0xB9 || name[3] == 0xB2 ||
            name[3] == 0xB3);
}

// The parts of a path between its separators, with "." and empty parts
// dropped and each ".." taking away the part before it (never the first part,
// the drive, as Windows keeps the root). nullopt for a part of dots and
// blanks other than "." and ".." (". ", "..."), whose meaning depends on how
// far Windows trims it.
std::optional<std::vector<std::wstring_view>> PathParts(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::wstring_view part = path.substr(start, end - start);
        if (part == L"..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            if (part.find_first_not_of(L". ") == std::wstring_view::npos) return std::nullopt;
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool IsInsideFolder(std::wstring_view path, std::wstring_view folder) {
    std::optional<std::vector<std::wstring_view>> inner = PathParts(path),
                                                  outer = PathParts(folder);
    if (!inner || !outer || outer->empty() || inner->size() <= outer->size()) return false;
    return std::equal(outer->begin(), outer->end(), inner->begin(),
                      [](std::wstring_view a, std::wstring_view b) { return EqualsIgnoreCase(a, b); });
}

LogPathRefusal CheckLogPath(std::wstring_view path) {
    while (!path.empty() && (path.back() == L'.' || path.back() == L' ')) path.remove_suffix(1);
    bool drive = path.size() > 3 && path[1] == L':' && IsSeparator(path[2]) &&
                 ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    if (!drive || IsSeparator(path.back())) return LogPathRefusal::NotLocal;
    if (path.find(L':', 2) != std::wstring_view::npos) return LogPathRefusal::NotLocal;
    if (std::any_of(path.begin(), path.end(), IsInvalidInName) || IsDeviceName(path))
        return LogPathRefusal::NotLocal;
    std::wstring_view extension = Extension(path);
    for (std::wstring_view text : kTextTypes)
        if (EqualsIgnoreCase(text, extension)) return LogPathRefusal::None;
    return LogPathRefusal::NotPlainText;
}

bool CanBeWebAddress(std::wstring_view entry) {
    if (entry.empty()) return false;
    return std::none_of(entry.begin(), entry.end(), [](wchar_t c) {
        return IsControl(c) || c == L' ' || c == L'"' || c == L'<' || c == L'>' || c == 0xA0;
    });
}

std::wstring Shown(std::wstring_view text, std::size_t limit) {
    std::wstring shown(text.substr(0, limit));
    std::replace_if(shown.begin(), shown.end(), IsControl, L'?');
    if (text.size() > limit) shown += L"...";
    return shown;
}

}  // namespace zendrel
