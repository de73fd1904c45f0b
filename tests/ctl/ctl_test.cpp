// zendrelctl.exe run as a child process against the settings key of the test
// prefix and a program folder of the test's own (--folder), with standard
// input, output and error on pipes (so its text arrives as UTF-8).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "settings_fixture.h"

namespace zendrel::test {
namespace {

using namespace std::string_literals;

// The digest of the password "secret".
constexpr char kSecretDigest[] = "5ebe2294ecd0e0f08eab7690d2a6ee69";

struct CtlRun {
    DWORD code = 0xDEAD;
    std::string out;
    std::string err;
};

std::wstring Beside(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// A pipe whose child end is inherited and whose own end is not.
struct Pipe {
    HANDLE read = nullptr, write = nullptr;
    explicit Pipe(bool childReads) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        CreatePipe(&read, &write, &inherit, 0);
        SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0);
    }
    ~Pipe() {
        if (read) CloseHandle(read);
        if (write) CloseHandle(write);
    }
    static void Close(HANDLE& h) {
        CloseHandle(h);
        h = nullptr;
    }
};

std::string ReadAll(HANDLE pipe) {
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(pipe, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    return bytes;
}

class CtlTest : public SettingsFixture {
  protected:
    // Runs zendrelctl with `arguments` after --folder, `input` on its standard
    // input; "{folder}" in the arguments stands for the program folder.
    CtlRun Ctl(std::wstring arguments, const std::string& input = "") {
        for (std::size_t at; (at = arguments.find(L"{folder}")) != std::wstring::npos;)
            arguments.replace(at, 8, Folder());
        std::wstring program = Beside(L"zendrelctl.exe");
        std::wstring line = L"\"" + program + L"\" --folder \"" + Folder() + L"\" " + arguments;
        Pipe in(true), out(false), err(false);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.read;
        startup.hStdOutput = out.write;
        startup.hStdError = err.write;
        PROCESS_INFORMATION process{};
        CtlRun run;
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &startup, &process)) {
            ADD_FAILURE() << "cannot start zendrelctl.exe";
            return run;
        }
        Pipe::Close(in.read);
        Pipe::Close(out.write);
        Pipe::Close(err.write);
        DWORD wrote = 0;
        if (!input.empty())
            WriteFile(in.write, input.data(), static_cast<DWORD>(input.size()), &wrote, nullptr);
        Pipe::Close(in.write);
        std::thread errReader([&] { run.err = ReadAll(err.read); });
        run.out = ReadAll(out.read);
        errReader.join();
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return run;
    }

    void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD wrote = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
        CloseHandle(file);
    }

    std::string ReadFileBytes(const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes = ReadAll(file);
        CloseHandle(file);
        return bytes;
    }

    void SetRequests(const std::string& entries) {
        SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, entries + '\0');
    }

    // The non-empty entries of "requests" as stored.
    std::vector<std::string> Requests() {
        std::vector<std::string> entries;
        std::string bytes = GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, piece;
        for (char c : bytes) {
            if (c != '\0') {
                piece += c;
            } else if (!piece.empty()) {
                entries.push_back(piece);
                piece.clear();
            }
        }
        if (!piece.empty()) entries.push_back(piece);
        return entries;
    }
};

// Commands that change urls.txt: the exit code, the file after, what the
// tool printed. {folder}\in.txt holds `file` when it is set.
struct ChangeCase {
    const char* name;
    std::wstring arguments;
    std::string urlsBefore, file;
    DWORD code;
    std::string urlsAfter, out;
};

void PrintTo(const ChangeCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlChangeTest : public CtlTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(CtlChangeTest, ChangesUrlsTxtAsTheCommandSays) {
    const ChangeCase& c = GetParam();
    WriteUrls(c.urlsBefore);
    if (!c.file.empty()) WriteFileBytes(Folder() + L"\\in.txt", c.file);
    CtlRun run = Ctl(c.arguments);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_EQ(ReadUrls(), c.urlsAfter);
    EXPECT_EQ(run.out, c.out);
    if (c.code != 0) {
        EXPECT_NE(run.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CtlChangeTest,
    ::testing::Values(
        ChangeCase{"Add", L"add b.com a.com b.com", "a.com\r\n", "", 0, "a.com\r\nb.com\r\n",
                   "Added 1 site; 2 were already listed\r\n"},
        ChangeCase{"AddControlCharacter", L"add ok.com \"bad\x01.com\"", "a.com\r\n", "", 2,
                   "a.com\r\n", ""},
        ChangeCase{"AddNotInCodePage", L"add \u0436.ru", "a.com\r\n", "", 2, "a.com\r\n", ""},
        ChangeCase{"RemoveEveryRow", L"remove a.com x.com", "a.com\r\nb.com\r\na.com\r\n", "", 0,
                   "b.com\r\n", "Removed 2 sites\r\n"},
        ChangeCase{"Import", L"import {folder}\\in.txt", "a.com\r\n",
                   "\xEF\xBB\xBF# list\r\n caf\xC3\xA9.fr \r\na.com\r\nbad\x01\r\n", 0,
                   "a.com\r\ncaf\xE9.fr\r\n",
                   "Imported 1 site; 1 was already listed; 1 refused\r\n"},
        ChangeCase{"ImportReplace", L"import {folder}\\in.txt --replace", "a.com\r\n",
                   "c.com\nd.com", 0, "c.com\r\nd.com\r\n", "Imported 2 sites\r\n"},
        ChangeCase{"ImportReplaceWithNothing", L"import --replace {folder}\\in.txt", "a.com\r\n",
                   "# nothing\r\n", 1, "a.com\r\n", ""},
        ChangeCase{"ImportMissingFile", L"import {folder}\\none.txt", "a.com\r\n", "", 1,
                   "a.com\r\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CtlTest, ExportWritesTheListAsUrlsTxtOrUtf8) {
    WriteUrls("a.com\r\ncaf\xE9.fr\r\n");
    CtlRun ansi = Ctl(L"export {folder}\\out.txt");
    EXPECT_EQ(ansi.code, 0u) << ansi.err;
    EXPECT_EQ(ReadFileBytes(Folder() + L"\\out.txt"), "a.com\r\ncaf\xE9.fr\r\n");
    CtlRun utf8 = Ctl(L"export --utf8 {folder}\\out.txt");
    EXPECT_EQ(utf8.code, 0u) << utf8.err;
    EXPECT_EQ(ReadFileBytes(Folder() + L"\\out.txt"),
              "\xEF\xBB\xBF"
              "a.com\r\ncaf\xC3\xA9.fr\r\n");
    EXPECT_EQ(utf8.out, "Exported 2 sites\r\n");
}

TEST_F(CtlTest, ApproveListsTheSiteAndTakesOneRequestAway) {
    SetRequests("x.com\0y.com\0x.com"s);
    CtlRun run = Ctl(L"approve x.com");
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_EQ(ReadUrls(), "x.com\r\n");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"y.com", "x.com"}));
}

TEST_F(CtlTest, DenyTakesOneRequestAwayAndLeavesTheList) {
    SetRequests("x.com\0y.com\0x.com"s);
    CtlRun run = Ctl(L"deny x.com");
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_EQ(ReadUrls(), "");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"y.com", "x.com"}));
}

struct SwitchCase {
    const char* name;
    std::wstring arguments;
    HKEY root;
    const char* value;
    DWORD stored;
};

void PrintTo(const SwitchCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlSwitchTest : public CtlTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(CtlSwitchTest, StoresTheSwitchAsADword) {
    // The stored value starts as the opposite of what the command sets.
    CreateUserKey();
    SetDword(GetParam().root, GetParam().value, 1 - GetParam().stored);
    CtlRun run = Ctl(GetParam().arguments);
    EXPECT_EQ(run.code, 0u) << run.err;
    StoredValue stored = GetValue(GetParam().root, GetParam().value);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.bytes, std::string(reinterpret_cast<const char*>(&GetParam().stored), 4));
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CtlSwitchTest,
    ::testing::Values(
        SwitchCase{"LoggingOn", L"logging on", HKEY_LOCAL_MACHINE, "activitylogging", 1},
        SwitchCase{"LoggingOff", L"logging off", HKEY_LOCAL_MACHINE, "activitylogging", 0},
        SwitchCase{"ModeOn", L"mode on", HKEY_CURRENT_USER, "mode", 1},
        SwitchCase{"ModeOff", L"mode off", HKEY_CURRENT_USER, "mode", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// What the reading commands print, for people and in JSON.
struct ReadCase {
    const char* name;
    std::wstring arguments;
    std::string out;  // contained in standard output
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlReadTest : public CtlTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(CtlReadTest, PrintsTheSettings) {
    WriteUrls("a.com\r\ncaf\xE9.fr\r\n");
    SetRequests("r1.com\0\0r2.com"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, std::string(kSecretDigest) + '\0');
    CtlRun run = Ctl(GetParam().arguments);
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_NE(run.out.find(GetParam().out), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Output, CtlReadTest,
    ::testing::Values(
        ReadCase{"List", L"list", "a.com\r\ncaf\xC3\xA9.fr\r\n"},
        ReadCase{"ListJson", L"list --json", "[\n  \"a.com\",\n  \"caf\xC3\xA9.fr\"\n]\r\n"},
        ReadCase{"Requests", L"requests", "r1.com\r\nr2.com\r\n"},
        ReadCase{"RequestsJson", L"requests --json", "[\n  \"r1.com\",\n  \"r2.com\"\n]"},
        ReadCase{"Status", L"status",
                 "approved sites: 2\r\nrequests: 2\r\nactivity logging: on\r\n"
                 "filter for this user: off\r\npassword: set\r\n"},
        ReadCase{"StatusJson", L"status --json",
                 "\"activityLogging\": true,\n  \"approvedSites\": [\n    \"a.com\",\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --help of the tool and of every command: on standard output, with the
// exit codes.
class CtlHelpTest : public CtlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CtlHelpTest, PrintsUsageAndExitCodes) {
    std::string command = GetParam();
    CtlRun run = Ctl(std::wstring(command.begin(), command.end()) + L" --help");
    EXPECT_EQ(run.code, 0u);
    EXPECT_NE(run.out.find("Usage: zendrelctl" + (command.empty() ? "" : " " + command)),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  3  the settings password"), std::string::npos);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Help, CtlHelpTest,
                         ::testing::Values("", "list", "add", "remove", "import", "export",
                                           "requests", "approve", "deny", "logging", "mode",
                                           "status"),
                         [](const auto& info) {
                             return std::string(*info.param ? info.param : "tool");
                         });

class CtlUsageTest : public CtlTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(CtlUsageTest, IsWrongUsageOnStandardError) {
    CtlRun run = Ctl(GetParam());
    EXPECT_EQ(run.code, 2u);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Run 'zendrelctl --help'"), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Usage, CtlUsageTest,
                         ::testing::Values(L"", L"frobnicate", L"logging maybe", L"add",
                                           L"list --bogus", L"import", L"mode"));

// With a password set, a change needs the password on standard input; the
// reading commands need none.
struct PasswordCase {
    const char* name;
    std::wstring arguments;
    std::string input;
    DWORD code;
    std::string urlsAfter;
};

void PrintTo(const PasswordCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlPasswordTest : public CtlTest, public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(CtlPasswordTest, GuardsEveryChange) {
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, std::string(kSecretDigest) + '\0');
    WriteUrls("a.com\r\n");
    CtlRun run = Ctl(GetParam().arguments, GetParam().input);
    EXPECT_EQ(run.code, GetParam().code) << run.err;
    EXPECT_EQ(ReadUrls(), GetParam().urlsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Password, CtlPasswordTest,
    ::testing::Values(
        PasswordCase{"Missing", L"add z.com", "", 3, "a.com\r\n"},
        PasswordCase{"NotReadWithoutTheOption", L"add z.com", "secret\r\n", 3, "a.com\r\n"},
        PasswordCase{"Wrong", L"--password-stdin add z.com", "Secret\r\n", 3, "a.com\r\n"},
        PasswordCase{"Right", L"add z.com --password-stdin", "secret\r\nmore", 0,
                     "a.com\r\nz.com\r\n"},
        PasswordCase{"RightInUtf16", L"--password-stdin add z.com", "\xFF\xFEs\0e\0c\0r\0e\0t\0"s,
                     0, "a.com\r\nz.com\r\n"},
        PasswordCase{"NotNeededToRead", L"list", "", 0, "a.com\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Refusals by Windows, and a failure of any other kind, change nothing.
enum class Obstacle { ReadOnlyUrls, HeldUrls, LockedKey, MissingUrls };

struct ObstacleCase {
    const char* name;
    Obstacle obstacle;
    std::wstring arguments;
    DWORD code;
};

void PrintTo(const ObstacleCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlRefusalTest : public CtlTest, public ::testing::WithParamInterface<ObstacleCase> {};

TEST_P(CtlRefusalTest, ExitsWithItsCodeAndChangesNothing) {
    WriteUrls("a.com\r\n");
    HANDLE held = INVALID_HANDLE_VALUE;
    switch (GetParam().obstacle) {
        case Obstacle::ReadOnlyUrls:
            SetFileAttributesW(UrlsPath().c_str(), FILE_ATTRIBUTE_READONLY);
            break;
        case Obstacle::HeldUrls:
            held = CreateFileW(UrlsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
            break;
        case Obstacle::LockedKey:
            machineKey_->Deny(KEY_SET_VALUE);
            break;
        case Obstacle::MissingUrls:
            DeleteUrls();
            break;
    }
    CtlRun run = Ctl(GetParam().arguments);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    SetFileAttributesW(UrlsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.code, GetParam().code) << run.err;
    EXPECT_NE(run.err, "");
    EXPECT_EQ(ReadUrls(), GetParam().obstacle == Obstacle::MissingUrls ? "<missing>" : "a.com\r\n");
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CtlRefusalTest,
    ::testing::Values(ObstacleCase{"ReadOnlyUrls", Obstacle::ReadOnlyUrls, L"add b.com", 4},
                      ObstacleCase{"HeldUrls", Obstacle::HeldUrls, L"remove a.com", 4},
                      ObstacleCase{"LockedKey", Obstacle::LockedKey, L"logging on", 4},
                      ObstacleCase{"MissingUrls", Obstacle::MissingUrls, L"list", 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zendrel::test
