// Stands in for the web browser in the tests of Review: the shell starts it
// with the address it was asked to open, and it appends that address as one
// line of UTF-16 text to the file named by ZENDREL_SHELL_RECORD.
#include <windows.h>
#include <shellapi.h>

#include <string>

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    wchar_t record[MAX_PATH] = {};
    if (!argv || !GetEnvironmentVariableW(L"ZENDREL_SHELL_RECORD", record, MAX_PATH)) return 2;
    std::wstring line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    line += L"\n";
    HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
    LocalFree(argv);
    return 0;
}
