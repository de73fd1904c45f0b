// Runs the real journalprep.exe as a child process on files in a scratch folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kLine = "Initialize Log\r\n";

fs::path ProgramPath(const wchar_t* program = L"journalprep.exe") {
    wchar_t own[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
    return fs::path(std::wstring(own, length)).parent_path() / program;
}

// Starts journalprep (or another program beside the tests) with the given
// argument text and returns its exit code; its standard error goes to
// `errorFile` when one is given.
DWORD RunJournalprep(const std::wstring& arguments, const std::wstring& currentDirectory = L"",
                     const wchar_t* program = L"journalprep.exe", HANDLE errorFile = nullptr) {
    std::wstring commandLine = L"\"" + ProgramPath(program).wstring() + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (errorFile) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = errorFile;
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, errorFile != nullptr, 0,
                        nullptr, currentDirectory.empty() ? nullptr : currentDirectory.c_str(),
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << ProgramPath() << ", error " << GetLastError();
        return 0xDEAD;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0xDEAD;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The access list (and with `owner`, the owner) of a file as SDDL text
// ("O:BAD:(A;;FA;;;WD)"), or empty when it cannot be read.
std::wstring DaclText(const fs::path& path, bool owner = false) {
    SECURITY_INFORMATION wanted =
        DACL_SECURITY_INFORMATION | (owner ? OWNER_SECURITY_INFORMATION : 0);
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), wanted, nullptr, 0, &needed);
    if (needed == 0) return L"";
    std::string buffer(needed, '\0');
    if (!GetFileSecurityW(path.c_str(), wanted, buffer.data(), needed, &needed)) {
        return L"";
    }
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(buffer.data(), SDDL_REVISION_1,
                                                              wanted, &text, nullptr)) {
        return L"";
    }
    std::wstring result(text);
    LocalFree(text);
    return result;
}

// The log's list as Windows writes it back: SYSTEM and the Administrators
// full control, everyone read and write (0x12019f); protected.
std::wstring LogListText() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPWSTR text = nullptr;
    std::wstring result;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12019f;;;WD)", SDDL_REVISION_1, &descriptor,
            nullptr) &&
        ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        result = text;
    }
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

// The entries of SDDL text, without the owner and the list's flags.
std::wstring Entries(const std::wstring& sddl) {
    std::size_t first = sddl.find(L'(');
    return first == std::wstring::npos ? L"" : sddl.substr(first);
}

bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

class Journalprep : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath();
        static int counter = 0;
        dir_ = fs::temp_directory_path() / (L"jp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                            std::to_wstring(++counter));
        fs::remove_all(dir_);
        ASSERT_TRUE(fs::create_directories(dir_));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    bool DirIsEmpty() const { return fs::is_empty(dir_); }

    fs::path dir_;
};

TEST_F(Journalprep, WrongArgumentCountEndsWithOneAndCreatesNothing) {
    EXPECT_EQ(RunJournalprep(L""), 1u);
    EXPECT_EQ(RunJournalprep(Quoted(dir_ / L"a.log") + L" " + Quoted(dir_ / L"b.log")), 1u);
    // Unquoted, a path with a space is two arguments.
    EXPECT_EQ(RunJournalprep((dir_ / L"my log.txt").wstring()), 1u);
    EXPECT_EQ(RunJournalprep(L"\"\" \"\""), 1u);
    EXPECT_TRUE(DirIsEmpty());
}

TEST_F(Journalprep, NewFileHoldsExactlyTheLine) {
    fs::path log = dir_ / L"activity.log";
    EXPECT_EQ(RunJournalprep(Quoted(log)), 0u);
    EXPECT_EQ(ReadAll(log), kLine);
    EXPECT_EQ(fs::file_size(log), 16u);
}

TEST_F(Journalprep, ExistingFileKeepsItsBytesAndGetsTheLineAppended) {
    const std::string withLineEnd = "first\r\nsecond\r\n";
    const std::string withoutLineEnd = std::string("bytes \0\xff and no line end", 24);
    fs::path a = dir_ / L"a.log";
    fs::path b = dir_ / L"b.log";
    WriteAll(a, withLineEnd);
    WriteAll(b, withoutLineEnd);
    EXPECT_EQ(RunJournalprep(Quoted(a)), 0u);
    EXPECT_EQ(RunJournalprep(Quoted(b)), 0u);
    EXPECT_EQ(ReadAll(a), withLineEnd + kLine);
    // The line continues the last one.
    EXPECT_EQ(ReadAll(b), withoutLineEnd + kLine);
    EXPECT_EQ(fs::file_size(b), withoutLineEnd.size() + 16);

    fs::path empty = dir_ / L"empty.log";
    WriteAll(empty, "");
    EXPECT_EQ(RunJournalprep(Quoted(empty)), 0u);
    EXPECT_EQ(ReadAll(empty), kLine);
}

TEST_F(Journalprep, EachRunAppendsTheLineOnceMore) {
    fs::path log = dir_ / L"twice.log";
    EXPECT_EQ(RunJournalprep(Quoted(log)), 0u);
    EXPECT_EQ(RunJournalprep(Quoted(log)), 0u);
    EXPECT_EQ(ReadAll(log), kLine + kLine);
}

TEST_F(Journalprep, QuotedPathWithSpacesIsOneArgument) {
    fs::create_directory(dir_ / L"log folder");
    fs::path log = dir_ / L"log folder" / L"activity log.txt";
    EXPECT_EQ(RunJournalprep(Quoted(log)), 0u);
    EXPECT_EQ(ReadAll(log), kLine);
}

TEST_F(Journalprep, RelativePathIsTakenFromTheCurrentDirectory) {
    fs::create_directory(dir_ / L"sub");
    EXPECT_EQ(RunJournalprep(L"rel.log", dir_.wstring()), 0u);
    EXPECT_EQ(RunJournalprep(L"sub\\rel.log", dir_.wstring()), 0u);
    EXPECT_EQ(RunJournalprep(L"..\\up.log", (dir_ / L"sub").wstring()), 0u);
    EXPECT_EQ(ReadAll(dir_ / L"rel.log"), kLine);
    EXPECT_EQ(ReadAll(dir_ / L"sub" / L"rel.log"), kLine);
    EXPECT_EQ(ReadAll(dir_ / L"up.log"), kLine);
}

TEST_F(Journalprep, PathInTheAnsiCodePageIsKept) {
    const std::wstring name = L"journal-\u00e9t\u00e9.log";
    BOOL lossy = FALSE;
    char ansi[64];
    if (WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, ansi, sizeof(ansi), nullptr, &lossy) ==
            0 ||
        lossy) {
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " has no e with acute accent";
    }
    EXPECT_EQ(RunJournalprep(Quoted(dir_ / name)), 0u);
    EXPECT_EQ(ReadAll(dir_ / name), kLine);
}

TEST_F(Journalprep, MissingFolderIsNotCreatedAndGivesTwo) {
    EXPECT_EQ(RunJournalprep(Quoted(dir_ / L"missing" / L"activity.log")), 2u);
    EXPECT_TRUE(DirIsEmpty());
}

// What stands at the log's place and is not a plain file with one name could
// lead the administrator's run to another file: it is left alone, with a
// message on standard error. Wine makes no symbolic link (CreateSymbolicLinkW
// succeeds and makes nothing) and follows a Unix one as the file it leads to:
// only Windows shows the link case.
TEST_F(Journalprep, PlaceThatIsNoPlainFileIsLeftAloneAndGivesFive) {
    const fs::path target = dir_ / L"other.txt";
    const std::string kept = "kept\r\n";
    struct {
        const char* what;
        std::function<bool(const fs::path&)> make;  // false: cannot be made here
        fs::path place;
    } cases[] = {
        {"a folder", [](const fs::path& p) { return fs::create_directory(p); },
         dir_ / L"folder.log"},
        {"a hard link",
         [&](const fs::path& p) { return CreateHardLinkW(p.c_str(), target.c_str(), nullptr); },
         dir_ / L"hard.log"},
        {"a symbolic link",
         [&](const fs::path& p) {
             CreateSymbolicLinkW(p.c_str(), target.c_str(),
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
             DWORD attributes = GetFileAttributesW(p.c_str());
             return attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
         },
         dir_ / L"symbolic.log"},
        {"a device (Wine's drive Z: is the Unix root)",
         [](const fs::path& p) {
             HANDLE device = CreateFileW(p.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
             if (device == INVALID_HANDLE_VALUE) return false;
             CloseHandle(device);
             return true;
         },
         L"Z:\\dev\\full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(target, kept);
        if (!c.make(c.place)) {
            std::cout << "not tried here: " << c.what << "\n";
            continue;
        }
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        fs::path errors = dir_ / L"errors.txt";
        HANDLE errorFile = CreateFileW(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(errorFile, INVALID_HANDLE_VALUE);
        EXPECT_EQ(RunJournalprep(Quoted(c.place), L"", L"journalprep.exe", errorFile), 5u);
        CloseHandle(errorFile);
        EXPECT_NE(ReadAll(errors).find("not a plain file; it was left alone"), std::string::npos)
            << ReadAll(errors);
        EXPECT_EQ(ReadAll(target), kept);
        if (fs::is_directory(c.place)) {
            EXPECT_TRUE(fs::is_empty(c.place));
        }
    }
}

TEST_F(Journalprep, WildcardsAreNotExpanded) {
    WriteAll(dir_ / L"one.log", "one\r\n");
    EXPECT_EQ(RunJournalprep(Quoted(dir_ / L"*.log")), 2u);
    EXPECT_EQ(RunJournalprep((dir_ / L"o?e.log").wstring()), 2u);
    EXPECT_EQ(ReadAll(dir_ / L"one.log"), "one\r\n");
}

TEST_F(Journalprep, LockedFileIsLeftAsItWasAndGivesTwo) {
    fs::path log = dir_ / L"locked.log";
    WriteAll(log, "kept\r\n");
    HANDLE holder = CreateFileW(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunJournalprep(Quoted(log)), 2u);
    CloseHandle(holder);
    EXPECT_EQ(ReadAll(log), "kept\r\n");
}

// The log is opened so that others may read it meanwhile, but not write it.
TEST_F(Journalprep, ReadersMayHoldTheLogButWritersMayNot) {
    fs::path log = dir_ / L"shared.log";
    WriteAll(log, "x\r\n");
    HANDLE reader = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunJournalprep(Quoted(log)), 0u);
    CloseHandle(reader);
    EXPECT_EQ(ReadAll(log), "x\r\n" + kLine);

    HANDLE writer = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunJournalprep(Quoted(log)), 2u);
    CloseHandle(writer);
    EXPECT_EQ(ReadAll(log), "x\r\n" + kLine);
}

// Whether a write into a range of `path` that another handle has locked
// fails, as Windows makes it (Wine does not check locks on writes).
bool LockedRangesRefuseWrites(const fs::path& path) {
    WriteAll(path, "");
    HANDLE locker = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED range{};
    DWORD written = 0;
    bool refused =
        LockFileEx(locker, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range) &&
        !WriteFile(writer, "x", 1, &written, nullptr);
    CloseHandle(writer);
    CloseHandle(locker);
    fs::remove(path);
    return refused;
}

// Another program locks part of the bytes the line would take, so that the
// write stops there: the file is cut back to what it held.
TEST_F(Journalprep, LineThatCannotBeWrittenInFullIsTakenBackAndGivesThree) {
    if (!LockedRangesRefuseWrites(dir_ / L"probe.log"))
        GTEST_SKIP() << "a locked range does not refuse writes here";
    const std::string before = "kept\r\n";
    struct {
        const char* what;
        DWORD lockedFrom;  // bytes of the line that can be written
    } cases[] = {{"the whole line refused", 0}, {"the line end refused", 14}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path log = dir_ / L"locked-range.log";
        WriteAll(log, before);
        HANDLE locker = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(locker, INVALID_HANDLE_VALUE);
        OVERLAPPED range{};
        range.Offset = static_cast<DWORD>(before.size()) + c.lockedFrom;
        ASSERT_TRUE(LockFileEx(locker, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1000,
                               0, &range));
        EXPECT_EQ(RunJournalprep(Quoted(log)), 3u);
        UnlockFileEx(locker, 0, 1000, 0, &range);
        CloseHandle(locker);
        EXPECT_EQ(ReadAll(log), before);
    }
}

// journalprep_faults.exe, the same program failing as a full disk does after
// the given number of bytes, and failing to put the file back with "putback".
TEST_F(Journalprep, ALineWrittenInPartIsTakenBackOrGivesFourWhenThatFailsToo) {
    const std::string before = "kept\r\n";
    struct {
        const char* faults;
        bool exists;  // the log is there before the run
        DWORD code;
        const char* after;  // null: no file
    } cases[] = {
        {"write=0", true, 3, "kept\r\n"},
        {"write=5", true, 3, "kept\r\n"},
        {"write=14", true, 3, "kept\r\n"},  // all but the line end
        {"write=5", false, 3, nullptr},
        {"write=5,putback", true, 4, "kept\r\nIniti"},
        {"write=5,putback", false, 4, "Initi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + (c.exists ? ", existing log" : ", new log"));
        fs::path log = dir_ / L"faults.log";
        fs::remove(log);
        if (c.exists) WriteAll(log, before);
        SetEnvironmentVariableA("JOURNALPREP_FAULTS", c.faults);
        DWORD code = RunJournalprep(Quoted(log), L"", L"journalprep_faults.exe");
        SetEnvironmentVariableA("JOURNALPREP_FAULTS", nullptr);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(fs::exists(log), c.after != nullptr);
        if (c.after) {
            EXPECT_EQ(ReadAll(log), c.after);
        }
    }
}

// Only Windows shows the list a file was created with; Wine shows one made
// from the Unix mode bits.
TEST_F(Journalprep, NewFileGetsTheLogsList) {
    fs::path created = dir_ / L"created.log";
    ASSERT_EQ(RunJournalprep(Quoted(created)), 0u);
    if (UnderWine()) GTEST_SKIP() << "Wine does not report the list a file was created with";
    std::wstring list = DaclText(created);
    EXPECT_EQ(Entries(list), Entries(LogListText()));
    EXPECT_EQ(list.rfind(L"D:P", 0), 0u) << list;  // nothing inherited
}

// A log made by an earlier version (everyone all access) or by a user gets the
// log's list and the Administrators as its owner. Wine turns a list that is
// put on a file into its Unix mode bits and shows a list made from those: it
// can show that the list changed, only Windows which one it is.
TEST_F(Journalprep, ExistingFileGetsTheLogsListAndOwner) {
    fs::path existing = dir_ / L"existing.log";
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr));
    HANDLE file = CreateFileW(existing.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(attributes.lpSecurityDescriptor);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    std::wstring before = DaclText(existing);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(RunJournalprep(Quoted(existing)), 0u);
    EXPECT_EQ(ReadAll(existing), kLine);
    std::wstring after = DaclText(existing, true);
    if (UnderWine()) {
        EXPECT_NE(Entries(after), Entries(before));
        return;
    }
    EXPECT_EQ(after.rfind(L"O:BAD:P", 0), 0u) << after;
    EXPECT_EQ(Entries(after), Entries(LogListText()));
}

}  // namespace
