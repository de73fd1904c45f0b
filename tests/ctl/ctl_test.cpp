// zendrelctl.exe run as a child process against the settings key of the test
// prefix and a program folder of the test's own (--folder), with standard
// input, output and error on pipes (so its text arrives as UTF-8).
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "held_store.h"
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

    std::string ReadFileBytes(const std::wstring& path) const {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes = ReadAll(file);
        CloseHandle(file);
        return bytes;
    }
};

// Commands that change urls.txt or another file: {folder}\in.txt holds `file`
// before the run and `fileAfter` after it (when set); with `protect`, the
// settings password is "secret".
struct ChangeCase {
    const char* name;
    std::wstring arguments;
    bool protect;
    std::string input, urlsBefore, file;
    DWORD code;
    std::string urlsAfter, fileAfter, out;
};

void PrintTo(const ChangeCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlChangeTest : public CtlTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(CtlChangeTest, ChangesWhatTheCommandSaysAndNothingOnFailure) {
    const ChangeCase& c = GetParam();
    if (c.protect) SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, kSecretDigest + "\0"s);
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "x.com\0y.com\0"s);
    WriteUrls(c.urlsBefore);
    if (!c.file.empty()) WriteFileBytes(Folder() + L"\\in.txt", c.file);
    CtlRun run = Ctl(c.arguments, c.input);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_EQ(ReadUrls(), c.urlsAfter);
    if (!c.fileAfter.empty()) {
        EXPECT_EQ(ReadFileBytes(Folder() + L"\\in.txt"), c.fileAfter);
    }
    EXPECT_EQ(run.out, c.out);
    // Failures say why, and an import names its refused line; the rest is quiet.
    bool says = c.code != 0 || std::string(c.name) == "Import";
    EXPECT_EQ(run.err.empty(), !says) << run.err;
}

const std::string kA = "a.com\r\n";

INSTANTIATE_TEST_SUITE_P(
    Commands, CtlChangeTest,
    ::testing::Values(
        ChangeCase{"Add", L"add b.com a.com b.com", false, "", kA, "", 0, "a.com\r\nb.com\r\n", "",
                   "Added 1 site; 2 were already listed\r\n"},
        ChangeCase{"AddControlCharacter", L"add ok.com \"bad\x01.com\"", false, "", kA, "", 2, kA,
                   "", ""},
        ChangeCase{"AddNotInCodePage", L"add \u0436.ru", false, "", kA, "", 2, kA, "", ""},
        ChangeCase{"RemoveEveryRow", L"remove a.com", false, "", "a.com\r\nb.com\r\na.com\r\n", "",
                   0, "b.com\r\n", "", "Removed 2 sites\r\n"},
        // The refused line is named on standard error.
        ChangeCase{"Import", L"import {folder}\\in.txt", false, "", kA,
                   "\xEF\xBB\xBF# list\r\n caf\xC3\xA9.fr \r\na.com\r\nbad\x01\r\n", 0,
                   "a.com\r\ncaf\xE9.fr\r\n", "",
                   "Imported 1 site; 1 was already listed; 1 refused\r\n"},
        ChangeCase{"ImportReplace", L"import {folder}\\in.txt --replace", false, "", kA,
                   "c.com\nd.com", 0, "c.com\r\nd.com\r\n", "", "Imported 2 sites\r\n"},
        ChangeCase{"ImportReplaceWithNothing", L"import --replace {folder}\\in.txt", false, "", kA,
                   "# nothing\r\n", 1, kA, "", ""},
        ChangeCase{"ImportMissingFile", L"import {folder}\\none.txt", false, "", kA, "", 1, kA, "",
                   ""},
        ChangeCase{"ExportAnsi", L"export {folder}\\in.txt", false, "", "a.com\r\ncaf\xE9.fr\r\n",
                   "old\r\n", 0, "a.com\r\ncaf\xE9.fr\r\n", "a.com\r\ncaf\xE9.fr\r\n",
                   "Exported 2 sites\r\n"},
        // To a new file.
        ChangeCase{"ExportUtf8", L"export --utf8 {folder}\\in.txt", false, "", "caf\xE9.fr\r\n", "",
                   0, "caf\xE9.fr\r\n",
                   "\xEF\xBB\xBF"
                   "caf\xC3\xA9.fr\r\n",
                   "Exported 1 site\r\n"},
        ChangeCase{"Approve", L"approve x.com", false, "", kA, "", 0, "a.com\r\nx.com\r\n", "",
                   "Approved x.com\r\n"},
        ChangeCase{"PasswordMissing", L"add z.com", true, "", kA, "", 3, kA, "", ""},
        ChangeCase{"PasswordNotReadWithoutTheOption", L"add z.com", true, "secret\r\n", kA, "", 3,
                   kA, "", ""},
        ChangeCase{"PasswordWrong", L"--password-stdin add z.com", true, "Secret\r\n", kA, "", 3,
                   kA, "", ""},
        ChangeCase{"PasswordRight", L"add z.com --password-stdin", true, "secret\r\nmore", kA, "",
                   0, "a.com\r\nz.com\r\n", "", "Added 1 site\r\n"},
        ChangeCase{"PasswordRightInUtf16", L"--password-stdin add z.com", true,
                   "\xFF\xFEs\0e\0c\0r\0e\0t\0"s, kA, "", 0, "a.com\r\nz.com\r\n", "",
                   "Added 1 site\r\n"},
        ChangeCase{"PasswordNotNeededToRead", L"list", true, "", kA, "", 0, kA, "", kA}),
    [](const auto& info) { return std::string(info.param.name); });

// Commands that change the settings key: the value's bytes after the run
// ("requests" held x.com and y.com).
struct RegistryCase {
    const char* name;
    std::wstring arguments;
    HKEY root;
    const char* value;
    DWORD type;
    std::string bytes;
};

void PrintTo(const RegistryCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlRegistryTest : public CtlTest, public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(CtlRegistryTest, StoresTheValueAsTheWindowDoes) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "x.com\0y.com\0x.com\0"s);
    CtlRun run = Ctl(GetParam().arguments);
    EXPECT_EQ(run.code, 0u) << run.err;
    StoredValue stored = GetValue(GetParam().root, GetParam().value);
    EXPECT_EQ(stored.type, GetParam().type);
    EXPECT_EQ(stored.bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CtlRegistryTest,
    ::testing::Values(
        RegistryCase{"LoggingOn", L"logging on", HKEY_LOCAL_MACHINE, "activitylogging", REG_DWORD,
                     "\1\0\0\0"s},
        RegistryCase{"LoggingOff", L"logging off", HKEY_LOCAL_MACHINE, "activitylogging", REG_DWORD,
                     "\0\0\0\0"s},
        RegistryCase{"ModeOn", L"mode on", HKEY_CURRENT_USER, "mode", REG_DWORD, "\1\0\0\0"s},
        RegistryCase{"ModeOff", L"mode off", HKEY_CURRENT_USER, "mode", REG_DWORD, "\0\0\0\0"s},
        RegistryCase{"ApproveTakesOneRequest", L"approve x.com", HKEY_LOCAL_MACHINE, "requests",
                     REG_MULTI_SZ, "y.com\0x.com\0"s},
        RegistryCase{"DenyTakesOneRequest", L"deny x.com", HKEY_LOCAL_MACHINE, "requests",
                     REG_MULTI_SZ, "y.com\0x.com\0"s}),
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
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "r1.com\0\0r2.com\0"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, kSecretDigest + "\0"s);
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

// Text that users write (the add-on's requests, the log's place) reaches the
// console with its control characters shown as "?", or escaped in JSON, so
// that a carriage return, backspace or escape sequence cannot change what the
// administrator reads.
struct UserTextCase {
    const char* name;
    std::wstring arguments;
    std::string out;  // contained
};

void PrintTo(const UserTextCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlUserTextTest : public CtlTest, public ::testing::WithParamInterface<UserTextCase> {};

TEST_P(CtlUserTextTest, ShowsControlCharactersOfUsersTextReplaced) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ,
             "ok.com\rEVIL.com\0a\x1b[2Jb.com\0back\b\bx.com\0"s);
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, "C:\\a.txt\r\x1b[1AC:\\b.txt\0"s);
    CtlRun run = Ctl(GetParam().arguments);
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_NE(run.out.find(GetParam().out), std::string::npos) << run.out;
    // No control character but the line ends reaches the console.
    std::string rest = run.out;
    for (const char* end : {"\r\n", "\n"})
        for (std::size_t at; (at = rest.find(end)) != std::string::npos;)
            rest.erase(at, std::string(end).size());
    EXPECT_EQ(std::count_if(rest.begin(), rest.end(), [](char c) { return c > 0 && c < 0x20; }), 0)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    UsersText, CtlUserTextTest,
    ::testing::Values(
        UserTextCase{"Requests", L"requests", "ok.com?EVIL.com\r\na?[2Jb.com\r\nback??x.com\r\n"},
        UserTextCase{"RequestsJson", L"requests --json",
                     "\"ok.com\\rEVIL.com\",\n  \"a\\u001b[2Jb.com\",\n  \"back\\b\\bx.com\""},
        UserTextCase{"Status", L"status", "activity log: C:\\a.txt??[1AC:\\b.txt\r\n"},
        UserTextCase{"StatusJson", L"status --json",
                     "\"activityLog\": \"C:\\\\a.txt\\r\\u001b[1AC:\\\\b.txt\""}),
    [](const auto& info) { return std::string(info.param.name); });

// Help (on standard output, with the exit codes) and wrong usage (on
// standard error), for the tool and each command.
struct ExitCase {
    const char* name;
    std::wstring arguments;
    DWORD code;
    std::string out, err;  // contained in each
};

void PrintTo(const ExitCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlUsageTest : public CtlTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(CtlUsageTest, HelpsOrRefusesTheCommandLine) {
    CtlRun run = Ctl(GetParam().arguments);
    EXPECT_EQ(run.code, GetParam().code);
    EXPECT_NE(run.out.find(GetParam().out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(GetParam().err), std::string::npos) << run.err;
    EXPECT_TRUE(run.code == 0 ? run.err.empty() : run.out.empty());
}

ExitCase Help(const char* name, const wchar_t* command) {
    std::wstring wide = command;
    return {name, wide + L" --help", 0,
            "Usage: zendrelctl" +
                (wide.empty() ? "" : " " + std::string(wide.begin(), wide.end())) + " [OPTIONS]",
            ""};
}

ExitCase Usage(const char* name, const wchar_t* arguments) {
    return {name, arguments, 2, "", "Run 'zendrelctl --help'"};
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CtlUsageTest,
    ::testing::Values(Help("HelpTool", L""), Help("HelpList", L"list"), Help("HelpAdd", L"add"),
                      Help("HelpRemove", L"remove"), Help("HelpImport", L"import"),
                      Help("HelpExport", L"export"), Help("HelpRequests", L"requests"),
                      Help("HelpApprove", L"approve"), Help("HelpDeny", L"deny"),
                      Help("HelpLogging", L"logging"), Help("HelpMode", L"mode"),
                      Help("HelpStatus", L"status"),
                      ExitCase{"HelpListsExitCodes", L"--help", 0, "  4  refused", ""},
                      ExitCase{"HelpSaysHowToRunElevated", L"--help", 0,
                               "opened with \"Run as administrator\"", ""},
                      ExitCase{"HelpReadsThePasswordFromAFile", L"--help", 0,
                               "--password-stdin COMMAND ... < FILE", ""},
                      Usage("NoCommand", L""), Usage("UnknownCommand", L"frobnicate"),
                      Usage("BadSwitch", L"logging maybe"), Usage("NoSite", L"add"),
                      Usage("UnknownOption", L"list --bogus"), Usage("NoFile", L"import")),
    [](const auto& info) { return std::string(info.param.name); });

// On a console of its own, the tool asks for the password and reads it
// without showing it.
TEST_F(CtlTest, AsksForThePasswordOnTheConsoleWithoutEcho) {
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, kSecretDigest + "\0"s);
    WriteUrls(kA);
    std::wstring program = Beside(L"zendrelctl.exe");
    std::wstring line = L"\"" + program + L"\" --folder \"" + Folder() + L"\" add z.com";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                               CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process));
    FreeConsole();
    bool attached = false;
    for (int i = 0; i < 100 && !(attached = AttachConsole(process.dwProcessId)); ++i) Sleep(50);
    ASSERT_TRUE(attached);
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE keyboard =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    auto shown = [&] {
        wchar_t text[400] = {};
        DWORD got = 0;
        ReadConsoleOutputCharacterW(screen, text, 400, COORD{0, 0}, &got);
        return std::wstring(text, got);
    };
    for (int i = 0; i < 100 && shown().find(L"Settings password:") == std::wstring::npos; ++i)
        Sleep(50);
    std::vector<INPUT_RECORD> keys;
    for (wchar_t c : std::wstring(L"secret\r")) {
        INPUT_RECORD key{};
        key.EventType = KEY_EVENT;
        key.Event.KeyEvent.bKeyDown = TRUE;
        key.Event.KeyEvent.wRepeatCount = 1;
        key.Event.KeyEvent.uChar.UnicodeChar = c;
        key.Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : VkKeyScanW(c) & 0xFF;
        keys.push_back(key);
        key.Event.KeyEvent.bKeyDown = FALSE;
        keys.push_back(key);
    }
    DWORD wrote = 0;
    WriteConsoleInputW(keyboard, keys.data(), static_cast<DWORD>(keys.size()), &wrote);
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 0xDEAD);
    std::wstring screenText = shown();
    CloseHandle(keyboard);
    CloseHandle(screen);
    FreeConsole();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadUrls(), "a.com\r\nz.com\r\n");
    EXPECT_NE(screenText.find(L"Settings password:"), std::wstring::npos);
    EXPECT_EQ(screenText.find(L"secret"), std::wstring::npos);
}

// Refusals by Windows (exit code 4) and other failures (1) change nothing.
enum class Obstacle { None, ReadOnlyUrls, HeldUrls, LockedKey, MissingUrls, ReadOnlyExport };

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
    WriteUrls(kA);
    HANDLE held = INVALID_HANDLE_VALUE;
    switch (GetParam().obstacle) {
        case Obstacle::None:
            break;
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
        case Obstacle::ReadOnlyExport:
            WriteFileBytes(Folder() + L"\\out.txt", "old\r\n");
            SetFileAttributesW((Folder() + L"\\out.txt").c_str(), FILE_ATTRIBUTE_READONLY);
            break;
    }
    CtlRun run = Ctl(GetParam().arguments);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    SetFileAttributesW(UrlsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.code, GetParam().code) << run.err;
    EXPECT_NE(run.err, "");
    EXPECT_EQ(ReadUrls(), GetParam().obstacle == Obstacle::MissingUrls ? "<missing>" : kA);
    EXPECT_EQ(ReadFileBytes(Folder() + L"\\out.txt"),
              GetParam().obstacle == Obstacle::ReadOnlyExport ? "old\r\n" : "<missing>");
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CtlRefusalTest,
    ::testing::Values(ObstacleCase{"ReadOnlyUrls", Obstacle::ReadOnlyUrls, L"add b.com", 4},
                      ObstacleCase{"HeldUrls", Obstacle::HeldUrls, L"remove a.com", 4},
                      ObstacleCase{"LockedKey", Obstacle::LockedKey, L"logging on", 4},
                      ObstacleCase{"MissingUrls", Obstacle::MissingUrls, L"list", 1},
                      ObstacleCase{"ReadOnlyExport", Obstacle::ReadOnlyExport,
                                   L"export {folder}\\out.txt", 4},
                      ObstacleCase{"ExportToMissingFolder", Obstacle::None,
                                   L"export {folder}\\none\\out.txt", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The settings Zendrel keeps, by the tool: an account's switch held, Group
// Policy refused with its own exit code, whether the guard runs.
void SetPolicy(HKEY root, const wchar_t* name, DWORD value) {
    ASSERT_TRUE(MakePolicyKey(root));
    HKEY key = nullptr;
    RegCreateKeyExW(root, L"Software\\Policies\\Orvantix\\Zendrel", 0, nullptr, 0, KEY_SET_VALUE,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

TEST_F(CtlTest, ModeForAUserKeepsItThereAndAccountsShowsItKept) {
    wchar_t user[256] = {};
    DWORD size = 256;
    GetUserNameW(user, &size);
    CtlRun run = Ctl(L"mode on --user \"" + std::wstring(user) + L"\"");
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_NE(run.out.find(" now\r\n"), std::string::npos) << run.out;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, "\1\0\0\0"s);
    CtlRun list = Ctl(L"accounts --json");
    std::string entry = "\"heldBy\": \"administrator\",\n    \"name\"";
    EXPECT_NE(list.out.find(entry), std::string::npos) << list.out;
    const std::wstring sid = ThisUserSid();  // ASCII
    EXPECT_NE(list.out.find("\"sid\": \"" + std::string(sid.begin(), sid.end()) + "\""),
              std::string::npos);
    // This user's own switch, kept on, is no longer the user's to change.
    CtlRun own = Ctl(L"mode off");
    EXPECT_EQ(own.code, 4u);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, "\1\0\0\0"s);
}

struct HeldRefusalCase {
    const char* name;
    HKEY policyRoot;  // null: no policy
    const wchar_t* policyValue;
    std::wstring arguments;
    DWORD code;
    std::string err;  // contained in standard error
};

void PrintTo(const HeldRefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class CtlHeldRefusalTest : public CtlTest,
                           public ::testing::WithParamInterface<HeldRefusalCase> {};

TEST_P(CtlHeldRefusalTest, RefusesWithItsCodeAndChangesNothing) {
    if (GetParam().policyRoot) SetPolicy(GetParam().policyRoot, GetParam().policyValue, 1);
    CtlRun run = Ctl(GetParam().arguments);
    EXPECT_EQ(run.code, GetParam().code) << run.err;
    EXPECT_NE(run.err.find(GetParam().err), std::string::npos) << run.err;
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, "mode").exists);
}

INSTANTIATE_TEST_SUITE_P(
    Held, CtlHeldRefusalTest,
    ::testing::Values(
        HeldRefusalCase{"LoggingByPolicy", HKEY_LOCAL_MACHINE, L"activitylogging", L"logging off",
                        5, "activity logging is set by Group Policy"},
        HeldRefusalCase{"ModeByPolicy", HKEY_CURRENT_USER, L"mode", L"mode off", 5,
                        "the filter for this user is set by Group Policy"},
        HeldRefusalCase{"UnknownUser", nullptr, nullptr,
                        L"mode on --user NOSUCHDOMAIN\\nobody", 2,
                        "no account \"NOSUCHDOMAIN\\nobody\" is known"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CtlTest, StatusNamesWhoHoldsASwitchAndWhetherTheGuardRuns) {
    SetPolicy(HKEY_LOCAL_MACHINE, L"activitylogging", 1);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    // A held switch whose place reads otherwise (no guard put it back) is
    // never shown as holding.
    ASSERT_EQ(HoldAccount(CurrentUserSid(), true).kind, Outcome::Kind::Done);
    CreateUserKey();
    SetDword(HKEY_CURRENT_USER, "mode", 0);
    CtlRun run = Ctl(L"status");
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_NE(run.out.find("activity logging: on (set by Group Policy)\r\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("filter for this user: on (kept by the administrator; not put back: "
                           "the add-on reads off)\r\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("guard: not installed\r\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace zendrel::test
