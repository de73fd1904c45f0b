#include "command_line.h"

#include <array>

#include "text.h"

namespace zendrel {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The piece lower-cased as far as the installer words need: their letters
// are plain ASCII, and no other character lower-cases to one of them.
std::wstring LowerAscii(std::wstring_view piece) {
    std::wstring lower(piece);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    return lower;
}

}  // namespace

std::wstring ArgumentText(std::wstring_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        std::size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    }
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    return std::wstring(commandLine.substr(i));
}

std::vector<std::wstring> SplitArguments(std::wstring_view argumentText) {
    return Split(argumentText, L' ');
}

bool IsInstallerWord(std::wstring_view piece) {
    static constexpr std::array<std::wstring_view, 10> kWords = {
        L"-i", L"/i", L"install",   L"-install",   L"/install",
        L"-u", L"/u", L"uninstall", L"-uninstall", L"/uninstall"};
    std::wstring lower = LowerAscii(piece);
    for (std::wstring_view word : kWords)
        if (lower == word) return true;
    return false;
}

StartupArguments ReadArguments(std::wstring_view argumentText) {
    StartupArguments result;
    for (std::wstring& piece : SplitArguments(argumentText)) {
        if (IsInstallerWord(piece))
            result.installer = true;
        else
            result.invalid.push_back(std::move(piece));
    }
    return result;
}

}  // namespace zendrel
