#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "urls_file.h"
#include "urls_kill_content.h"
#include "site_text.h"

namespace zendrel {
namespace {

using Lines = std::vector<std::wstring>;

// A folder of its own under the temp folder, removed with all it holds.
class ScratchFolder {
  public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        for (unsigned n = 0;; ++n) {
            path_ = std::wstring(temp) + L"zurls-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(n);
            if (CreateDirectoryW(path_.c_str(), nullptr)) break;
            if (GetLastError() != ERROR_ALREADY_EXISTS) {
                ADD_FAILURE() << "cannot create a scratch folder";
                break;
            }
        }
    }
    ~ScratchFolder() {
        for (const std::wstring& name : Names()) {
            std::wstring file = path_ + L"\\" + name;
            SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(file.c_str());
        }
        RemoveDirectoryW(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

    // The names of the files in the folder, sorted.
    Lines Names() const {
        Lines names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr));
    ASSERT_EQ(wrote, bytes.size());
    CloseHandle(file);
}

// The bytes of a file; "<missing>" when it cannot be opened.
std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got != 0) bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

// Whether the file holds exactly `expected`; on a mismatch the message gives
// sizes and the first difference rather than the whole content.
testing::AssertionResult FileHolds(const std::wstring& path, const std::string& expected) {
    std::string actual = ReadBytes(path);
    if (actual == expected) return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    auto around = [at](const std::string& text) {
        return testing::PrintToString(text.substr(at, 40));
    };
    return testing::AssertionFailure()
           << "file holds " << actual.size() << " bytes, expected " << expected.size()
           << "; they differ from byte " << at << ": " << around(actual) << " instead of "
           << around(expected);
}

// The number of the failure that `action` throws; 0 when it throws none.
template <typename Action>
int FailureNumber(Action action) {
    try {
        action();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Source(), L"ZendrelPanel");
        return failure.Number();
    }
    return 0;
}

// The access list of a file in security descriptor string form.
std::wstring DaclText(const std::wstring& path) {
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> descriptor(needed);
    if (needed == 0 || !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                                         needed, &needed))
        return L"<none>";
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"<unreadable>";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

Lines ManySites(wchar_t letter, int count) {
    Lines lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(std::wstring(1, letter) + std::to_wstring(i) + L".example");
    return lines;
}

// The bytes of ASCII lines, each followed by CR LF.
std::string ToAnsiBytes(const Lines& lines) {
    std::string bytes;
    for (const std::wstring& line : lines) {
        for (wchar_t c : line) bytes += static_cast<char>(c);
        bytes += "\r\n";
    }
    return bytes;
}

// A program built beside this test program.
std::wstring ProgramBeside(const std::wstring& name) {
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// The kill test's child program.
std::wstring ChildPath() {
    return ProgramBeside(L"urls_save_child.exe");
}

// The add-on stand-in holding `path` open as fopen does, for `holdMs`
// milliseconds from the moment the constructor returns.
class HeldByReader {
  public:
    HeldByReader(const std::wstring& path, DWORD holdMs) {
        static unsigned count = 0;
        std::wstring eventName = L"zurls-held-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(++count);
        HANDLE held = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
        std::wstring program = ProgramBeside(L"addon_standin.exe");
        std::wstring commandLine = L"\"" + program + L"\" hold-urls \"" + path + L"\" " +
                                   std::to_wstring(holdMs) + L" " + eventName;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (held == nullptr ||
            !CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &process_)) {
            ADD_FAILURE() << "cannot start the add-on stand-in";
        } else {
            HANDLE waits[2] = {held, process_.hProcess};
            EXPECT_EQ(WaitForMultipleObjects(2, waits, FALSE, 60000), WAIT_OBJECT_0)
                << "the stand-in did not open the file";
        }
        if (held != nullptr) CloseHandle(held);
    }
    ~HeldByReader() {
        if (process_.hProcess == nullptr) return;
        WaitForSingleObject(process_.hProcess, 60000);
        DWORD code = 0xDEAD;
        GetExitCodeProcess(process_.hProcess, &code);
        EXPECT_EQ(code, 0u) << "the stand-in failed";
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    HeldByReader(const HeldByReader&) = delete;
    HeldByReader& operator=(const HeldByReader&) = delete;

  private:
    PROCESS_INFORMATION process_{};
};

const std::string kOldContent = "old.example\r\nkept.example\r\n";

TEST(LoadUrlsFile, LineEndsShortLinesBlanksAndDuplicates) {
    ScratchFolder folder;
    const Lines expected{L"one.example", L" two.example ", L"one.example", L"  "};
    WriteBytes(folder.File(L"urls.txt"),
               "one.example\r\n\r\nx\r\n two.example \r\none.example\r\n  \r\ny");
    EXPECT_EQ(LoadUrlsFile(folder.File(L"urls.txt")), expected);
    WriteBytes(folder.File(L"urls.txt"), "one.example\n\nx\n two.example \none.example\n  \n");
    // The program forms the loading path with a forward slash.
    EXPECT_EQ(LoadUrlsFile(folder.File(L"").substr(0, folder.File(L"").size() - 1) + L"/urls.txt"),
              expected);
    WriteBytes(folder.File(L"urls.txt"), "");
    EXPECT_TRUE(LoadUrlsFile(folder.File(L"urls.txt")).empty());
}

TEST(LoadUrlsFile, MissingFileOrFolderFails) {
    ScratchFolder folder;
    EXPECT_EQ(FailureNumber([&] { LoadUrlsFile(folder.File(L"urls.txt")); }), 53);
    EXPECT_EQ(FailureNumber([&] { LoadUrlsFile(folder.File(L"none\\urls.txt")); }), 76);
    CreateDirectoryW(folder.File(L"urls.txt").c_str(), nullptr);
    EXPECT_EQ(FailureNumber([&] { LoadUrlsFile(folder.File(L"urls.txt")); }), 53);
    RemoveDirectoryW(folder.File(L"urls.txt").c_str());
}

// Run once per code page (see CMakeLists.urls.cmake): characters of the ANSI
// code page are read and written as its single bytes.
TEST(UrlsFileCodePage, CodePageCharactersRoundTrip) {
    std::wstring site;
    std::string bytes;
    switch (GetACP()) {
        case 1252:
            site = L"caf\u00e9-\u00fc\u00df.example";
            bytes = "caf\xe9-\xfc\xdf.example\r\n";
            break;
        case 1251:
            site = L"\u0436\u0451\u044f.example";
            bytes = "\xe6\xb8\xff.example\r\n";
            break;
        default:
            GTEST_SKIP() << "ANSI code page " << GetACP();
    }
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, bytes + bytes);
    EXPECT_EQ(LoadUrlsFile(path), (Lines{site, site}));
    SaveUrlsFile(path, {site});
    EXPECT_TRUE(FileHolds(path, bytes));
}

TEST(SaveUrlsFile, WritesOneCrLfLinePerEntryAndNothingElse) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path,
               kOldContent + "a much longer old line that the new content does not cover\r\n");
    SaveUrlsFile(path, {L"a.example", L" b.example ", L"a.example", L""});
    EXPECT_TRUE(FileHolds(path, "a.example\r\n b.example \r\na.example\r\n\r\n"));
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));
    SaveUrlsFile(path, {});
    EXPECT_TRUE(FileHolds(path, ""));
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));
    const Lines many = ManySites(L's', 30000);
    SaveUrlsFile(path, many);
    EXPECT_EQ(LoadUrlsFile(path), many);
}

TEST(SaveUrlsFile, MissingFileIsNeverCreated) {
    ScratchFolder folder;
    EXPECT_EQ(FailureNumber([&] { SaveUrlsFile(folder.File(L"urls.txt"), {L"a.example"}); }), 53);
    EXPECT_EQ(FailureNumber([&] { SaveUrlsFile(folder.File(L"none\\urls.txt"), {L"a.example"}); }),
              76);
    EXPECT_TRUE(folder.Names().empty());
}

TEST(SaveUrlsFile, RefusalsGive70AndLeaveTheFileAsItWas) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, kOldContent);

    // Held by another program that shares nothing.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FailureNumber([&] { SaveUrlsFile(path, {L"new.example"}); }), 70);
    EXPECT_EQ(FailureNumber([&] { LoadUrlsFile(path); }), 70);
    CloseHandle(held);
    EXPECT_TRUE(FileHolds(path, kOldContent));
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));

    // Read-only: refused at once, without waiting as for a reader.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(FailureNumber([&] { SaveUrlsFile(path, {L"new.example"}); }), 70);
    EXPECT_LT(GetTickCount64() - start, 500u);
    EXPECT_TRUE(FileHolds(path, kOldContent));
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(LoadUrlsFile(path), (Lines{L"old.example", L"kept.example"}));
}

// The add-on reads urls.txt with fopen, which shares no deletion: a save
// waits about two seconds for such a reader, whether it holds the file
// before the save begins or only at the rename.
struct ReaderCase {
    const char* name;
    bool atRename;  // the hold begins once the temporary file is written
    DWORD holdMs;
    int number;           // of the save's failure; 0 when it succeeds
    ULONGLONG minWaitMs;  // the save takes at least this long from the hold's start
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
    *out << c.name;
}

class SaveWhileRead : public testing::TestWithParam<ReaderCase> {};

TEST_P(SaveWhileRead, BriefReaderIsWaitedForLongOneRefused) {
    const ReaderCase& c = GetParam();
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, kOldContent);
    std::unique_ptr<HeldByReader> reader;
    ULONGLONG holdStart = 0;
    auto hold = [&] {
        reader = std::make_unique<HeldByReader>(path, c.holdMs);
        holdStart = GetTickCount64();
    };
    if (!c.atRename) hold();
    int number = FailureNumber([&] {
        detail::SaveUrlsFile(path, {L"new.example"}, [&](std::size_t) {
            if (c.atRename && !reader) hold();
        });
    });
    ULONGLONG took = GetTickCount64() - holdStart;
    EXPECT_EQ(number, c.number);
    EXPECT_TRUE(FileHolds(path, c.number == 0 ? "new.example\r\n" : kOldContent));
    EXPECT_GE(took, c.minWaitMs);
    // A refusal comes after about two seconds, while the reader still holds on.
    if (c.number != 0) {
        EXPECT_LT(took, c.holdMs);
    }
    reader.reset();
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));
}

INSTANTIATE_TEST_SUITE_P(UrlsFile, SaveWhileRead,
                         testing::Values(ReaderCase{"BriefBeforeSave", false, 500, 0, 400},
                                         ReaderCase{"BriefAtRename", true, 500, 0, 400},
                                         ReaderCase{"LongBeforeSave", false, 3000, 70, 1800},
                                         ReaderCase{"LongAtRename", true, 3000, 70, 1800}),
                         [](const testing::TestParamInfo<ReaderCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SaveUrlsFile, FailurePartWayLeavesTheOldFileAndNoTemporaryFile) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, kOldContent);
    std::size_t blocks = 0;
    auto failAfterTwoBlocks = [&](std::size_t written) {
        EXPECT_GT(written, 0u);
        // The temporary file exists while the content is written.
        EXPECT_EQ(folder.Names().size(), 2u);
        if (++blocks == 2) throw Failure(kDiskFull, L"test");
    };
    try {
        detail::SaveUrlsFile(path, ManySites(L'n', 20000), failAfterTwoBlocks);
        ADD_FAILURE() << "the injected failure did not come through";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kDiskFull);
        EXPECT_EQ(failure.Source(), L"test");
    }
    EXPECT_EQ(blocks, 2u);
    EXPECT_TRUE(FileHolds(path, kOldContent));
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));
}

TEST(SaveUrlsFile, TemporaryFilesOfEarlierSavesNeverHinderASave) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, kOldContent);
    // Leftovers under the very names this process would pick next, one of
    // them read-only.
    for (unsigned n = 0; n < 8; ++n)
        WriteBytes(detail::TempPathFor(path, GetCurrentProcessId(), n), "stale");
    SetFileAttributesW(detail::TempPathFor(path, GetCurrentProcessId(), 0).c_str(),
                       FILE_ATTRIBUTE_READONLY);
    // And one of a process that has ended.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION ended{};
    std::wstring child = ChildPath();
    ASSERT_TRUE(CreateProcessW(child.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &ended));
    WaitForSingleObject(ended.hProcess, INFINITE);
    const std::wstring endedTemp = detail::TempPathFor(path, ended.dwProcessId, 3);
    WriteBytes(endedTemp, "stale");

    SaveUrlsFile(path, {L"first.example"});
    SaveUrlsFile(path, {L"second.example"});
    EXPECT_TRUE(FileHolds(path, "second.example\r\n"));
    for (unsigned n = 0; n < 8; ++n)
        EXPECT_TRUE(FileHolds(detail::TempPathFor(path, GetCurrentProcessId(), n), "stale")) << n;
    EXPECT_EQ(GetFileAttributesW(endedTemp.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(folder.Names().size(), 9u);
    CloseHandle(ended.hThread);
    CloseHandle(ended.hProcess);
}

TEST(SaveUrlsFile, KeepsTheAccessListAndAttributes) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, kOldContent);
    WriteBytes(folder.File(L"plain.txt"), "");
    // Guests may not write, everyone else may do anything, users may read.
    PSECURITY_DESCRIPTOR distinctive = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(D;;FW;;;BG)(A;;FA;;;WD)(A;;FR;;;BU)", SDDL_REVISION_1, &distinctive, nullptr));
    ASSERT_TRUE(SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, distinctive));
    LocalFree(distinctive);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const std::wstring dacl = DaclText(path);
    ASSERT_NE(dacl, DaclText(folder.File(L"plain.txt")));

    SaveUrlsFile(path, {L"new.example"});
    EXPECT_TRUE(FileHolds(path, "new.example\r\n"));
    EXPECT_EQ(DaclText(path), dacl);
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

TEST(SaveUrlsFile, KilledAtAnyMomentLeavesOneWholeContent) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    const std::string contents[2] = {ToAnsiBytes(test::KillTestLines(L'a')),
                                     ToAnsiBytes(test::KillTestLines(L'b'))};
    WriteBytes(path, contents[0]);
    const std::wstring child = ChildPath();
    std::vector<HANDLE> killed;
    int killsMidSave = 0;
    for (int kill = 0; kill < 20; ++kill) {
        std::wstring eventName =
            L"zurls-saved-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(kill);
        HANDLE saved = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
        ASSERT_NE(saved, nullptr);
        std::wstring commandLine = L"\"" + child + L"\" \"" + path + L"\" " + eventName;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(child.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process));
        CloseHandle(process.hThread);
        killed.push_back(process.hProcess);
        // Kill at a different moment of the save loop each time.
        HANDLE waits[2] = {saved, process.hProcess};
        ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 60000), WAIT_OBJECT_0)
            << "the child ended or made no save";
        Sleep(static_cast<DWORD>((kill * 37) % 230));
        ASSERT_TRUE(TerminateProcess(process.hProcess, 99));
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(saved);

        std::string now = ReadBytes(path);
        EXPECT_TRUE(now == contents[0] || now == contents[1])
            << "kill " << kill << ": " << now.size() << " bytes";
        if (folder.Names().size() > 1) ++killsMidSave;
    }
    // The kills that matter are those between writing and renaming.
    EXPECT_GT(killsMidSave, 0) << "no kill landed while a save was under way";
    // The next save removes what the killed saves left behind.
    SaveUrlsFile(path, {L"last.example"});
    EXPECT_EQ(folder.Names(), (Lines{L"urls.txt"}));
    for (HANDLE process : killed) CloseHandle(process);
}

}  // namespace
}  // namespace zendrel
