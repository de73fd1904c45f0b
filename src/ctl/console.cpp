#include "console.h"

#include <windows.h>

#include <algorithm>

#include "ansi.h"
#include "site_import.h"

namespace zendrel::ctl {

namespace {

HANDLE StreamHandle(Stream stream) {
    return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// Writes in pieces: a console refuses very long writes.
void WriteConsoleText(HANDLE console, std::wstring_view text) {
    constexpr std::size_t kPiece = 8192;
    while (!text.empty()) {
        DWORD wrote = 0;
        DWORD want = static_cast<DWORD>(std::min(text.size(), kPiece));
        if (!WriteConsoleW(console, text.data(), want, &wrote, nullptr) || wrote == 0) return;
        text.remove_prefix(wrote);
    }
}

void WriteBytes(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) ||
            wrote == 0)
            return;
        bytes.remove_prefix(wrote);
    }
}

// A line typed on the console without echo; the mode is put back after.
std::optional<std::wstring> ReadConsoleSecret(HANDLE input) {
    DWORD mode = 0;
    GetConsoleMode(input, &mode);
    SetConsoleMode(input, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
    std::wstring line;
    bool ok = true;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) {
            ok = !line.empty();
            break;
        }
        if (c == L'\n') break;
        if (c != L'\r') line.push_back(c);
    }
    SetConsoleMode(input, mode);
    Write(Stream::Err, L"\r\n");
    if (!ok) return std::nullopt;
    return line;
}

// The first line of piped or redirected input.
std::optional<std::wstring> ReadPipedLine(HANDLE input) {
    std::string bytes;
    char block[512];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, block, sizeof block, &got, nullptr) || got == 0) break;
        bytes.append(block, got);
        // UTF-16 needs no early stop: a password is short, the rest is read.
        if (bytes.find('\n') != std::string::npos && bytes.rfind("\xFF\xFE", 0) != 0 &&
            bytes.rfind("\xFE\xFF", 0) != 0)
            break;
    }
    if (bytes.empty()) return std::nullopt;
    std::wstring text =
        DecodeTextFile(bytes, [](std::string_view ansi) { return FromAnsi(ansi); }).text;
    return text.substr(0, text.find_first_of(L"\r\n"));
}

}  // namespace

void Write(Stream stream, std::wstring_view text) {
    HANDLE handle = StreamHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    if (IsConsole(handle))
        WriteConsoleText(handle, text);
    else
        WriteBytes(handle, ToUtf8(text));
}

void WriteLine(Stream stream, std::wstring_view text) {
    Write(stream, std::wstring(text) + L"\r\n");
}

bool InputIsConsole() {
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
}

std::optional<std::wstring> ReadSecretLine() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
    return IsConsole(input) ? ReadConsoleSecret(input) : ReadPipedLine(input);
}

std::wstring FromUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    int length = static_cast<int>(bytes.size());
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, text.data(), size);
    return text;
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

}  // namespace zendrel::ctl
