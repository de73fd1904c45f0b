// addon_standin.exe: a stand-in for the browser add-on, started by the tests
// as a child process. It touches urls.txt and the settings key the way the
// add-on does, so the tests can meet the add-on's habits with the real files
// and the real registry.
//
//   addon_standin hold-urls PATH MILLISECONDS [EVENT]
//       Opens PATH for reading with the C runtime's fopen (which shares
//       reading and writing, not deletion), holds it that long, then closes
//       it. Once the file is open it sets the named event EVENT, if given, so
//       that a test knows when the hold begins.
//   addon_standin read-urls-loop PATH COUNT CONTENT_FILE...
//       Reads PATH COUNT times with fopen/fread; every read must give exactly
//       the bytes of one of the CONTENT_FILEs (whole contents, never a mix).
//   addon_standin append-request SITE
//       Appends SITE to the REG_MULTI_SZ value "requests" under
//       HKLM\Software\Orvantix\Zendrel (32-bit view): reads the value, adds
//       the entry at the end, writes it back. SITE is taken in the ANSI code
//       page, as the add-on stores it.
//
// Exit codes: 0 done; 1 wrong arguments; 2 a file or the key could not be
// opened, read or written; 3 a read gave content that is none of those
// expected. Failures are described on stderr.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "handles.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;
constexpr int kExitMismatch = 3;

constexpr char kSettingsKey[] = "Software\\Orvantix\\Zendrel";

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, CloseFile>;

// Whole-number argument; false for anything else.
bool ParseCount(const wchar_t* text, unsigned long& value) {
    wchar_t* end = nullptr;
    value = std::wcstoul(text, &end, 10);
    return *text != L'\0' && *end == L'\0';
}

// The bytes of a file read with fopen/fread; false when it cannot be opened.
bool ReadWithFopen(const wchar_t* path, std::string& bytes) {
    OpenFile file(_wfopen(path, L"rb"));
    if (!file) return false;
    bytes.clear();
    char block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) != 0) bytes.append(block, got);
    return !std::ferror(file.get());
}

int HoldUrls(const wchar_t* path, const wchar_t* milliseconds, const wchar_t* eventName) {
    unsigned long hold = 0;
    if (!ParseCount(milliseconds, hold)) return kExitUsage;
    OpenFile file(_wfopen(path, L"r"));
    if (!file) {
        std::fwprintf(stderr, L"cannot open %ls\n", path);
        return kExitFailed;
    }
    if (eventName != nullptr) {
        zendrel::KernelHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName));
        if (!held || !SetEvent(held.Get())) {
            std::fwprintf(stderr, L"cannot set the event %ls\n", eventName);
            return kExitFailed;
        }
    }
    Sleep(hold);
    return kExitDone;
}

int ReadUrlsLoop(const wchar_t* path, const wchar_t* countText, int contentCount,
                 wchar_t** contentPaths) {
    unsigned long count = 0;
    if (!ParseCount(countText, count) || contentCount < 1) return kExitUsage;
    std::vector<std::string> expected(static_cast<std::size_t>(contentCount));
    for (int i = 0; i < contentCount; ++i) {
        if (!ReadWithFopen(contentPaths[i], expected[i])) {
            std::fwprintf(stderr, L"cannot read %ls\n", contentPaths[i]);
            return kExitFailed;
        }
    }
    std::string bytes;
    for (unsigned long read = 0; read < count; ++read) {
        if (!ReadWithFopen(path, bytes)) {
            std::fwprintf(stderr, L"read %lu: cannot open %ls\n", read, path);
            return kExitFailed;
        }
        bool whole = false;
        for (const std::string& content : expected) whole = whole || bytes == content;
        if (!whole) {
            std::fwprintf(stderr, L"read %lu: %zu bytes, none of the expected contents\n", read,
                          bytes.size());
            return kExitMismatch;
        }
    }
    return kExitDone;
}

// The stored "requests" as raw bytes; empty when the value does not exist.
bool ReadRequests(HKEY key, std::vector<char>& bytes) {
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, "requests", nullptr, &type, nullptr, &size);
    bytes.clear();
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return false;
    bytes.resize(size);
    status = RegQueryValueExA(key, "requests", nullptr, &type,
                              reinterpret_cast<BYTE*>(bytes.data()), &size);
    bytes.resize(size);
    return status == ERROR_SUCCESS;
}

int AppendRequest(const wchar_t* site) {
    int length = WideCharToMultiByte(CP_ACP, 0, site, -1, nullptr, 0, nullptr, nullptr);
    std::string entry(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, site, -1, entry.data(), length, nullptr, nullptr);
    entry.resize(entry.size() - 1);  // the terminating zero
    if (entry.empty()) return kExitUsage;

    // The add-on uses the 32-bit view, as the shipped 32-bit programs do; the
    // 64-bit test build (for machines that run no 32-bit code) shares the
    // 64-bit view with the programs it is tested beside.
#ifdef _WIN64
    const REGSAM view = 0;
#else
    const REGSAM view = KEY_WOW64_32KEY;
#endif
    zendrel::RegistryKeyHandle key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | view, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS) {
        std::fwprintf(stderr, L"cannot open the settings key\n");
        return kExitFailed;
    }
    std::vector<char> bytes;
    bool ok = ReadRequests(key.Get(), bytes);
    if (ok) {
        // Drop the list's closing zeros, add "entry\0", close the list again.
        while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
        if (!bytes.empty()) bytes.push_back('\0');
        bytes.insert(bytes.end(), entry.begin(), entry.end());
        bytes.push_back('\0');
        bytes.push_back('\0');
        ok = RegSetValueExA(key.Get(), "requests", 0, REG_MULTI_SZ,
                            reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    }
    if (!ok) std::fwprintf(stderr, L"cannot read or write \"requests\"\n");
    return ok ? kExitDone : kExitFailed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return kExitUsage;
    const std::wstring command = argv[1];
    if (command == L"hold-urls" && (argc == 4 || argc == 5))
        return HoldUrls(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    if (command == L"read-urls-loop" && argc >= 5)
        return ReadUrlsLoop(argv[2], argv[3], argc - 4, argv + 4);
    if (command == L"append-request" && argc == 3) return AppendRequest(argv[2]);
    return kExitUsage;
}
