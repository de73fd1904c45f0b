#include "settings_fixture.h"

#include <sddl.h>

#include <atomic>

namespace zendrel::test {

namespace {

HKEY OpenSettings(HKEY root, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kSettingsPath, 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

const wchar_t kPermissionsText[] =
    L"You currently don't have the proper system permissions to save settings, please be sure "
    L"to log in with an \r\nadministrative account (a user with full access) to save Zendrel "
    L"settings.";

// Nothing held and no policy: each test starts on a computer where the
// add-on's places alone are the settings.
void RemoveHeldSettings() {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Orvantix\\ZendrelHeld");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Policies\\Orvantix");
    DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Policies\\Orvantix");
}

void SettingsFixture::SetUp() {
    // The pointer rests outside every window, so that no window opens under
    // it and sees a mouse movement the test did not make.
    SetCursorPos(0, 0);
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsPath);
    RemoveHeldSettings();
    machineKey_.emplace(HKEY_LOCAL_MACHINE, kSettingsPath);
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // Process ids come back: the time makes the name new even where an earlier
    // test left a folder it could not remove (a file still held open).
    folder_ = std::wstring(temp) + L"zendrel-win-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    RemoveFolder(folder_);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    WriteUrls("");
}

void SettingsFixture::TearDown() {
    machineKey_.reset();
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsPath);
    RemoveHeldSettings();
    RemoveFolder(folder_);
}

void SettingsFixture::WriteUrls(std::string_view bytes) {
    HANDLE file = CreateFileW(UrlsPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok);
    ASSERT_EQ(written, bytes.size());
}

std::string SettingsFixture::ReadUrls() const {
    HANDLE file = CreateFileW(UrlsPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

void SettingsFixture::DeleteUrls() {
    ASSERT_TRUE(DeleteFileW(UrlsPath().c_str()));
}

void SettingsFixture::SetValue(HKEY root, const char* name, DWORD type, std::string_view bytes) {
    HKEY key = OpenSettings(root, KEY_SET_VALUE);
    ASSERT_NE(key, nullptr);
    LONG status = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void SettingsFixture::SetDword(HKEY root, const char* name, DWORD value) {
    SetValue(root, name, REG_DWORD,
             std::string_view(reinterpret_cast<const char*>(&value), sizeof(value)));
}

StoredValue SettingsFixture::GetValue(HKEY root, const char* name) {
    StoredValue value;
    HKEY key = OpenSettings(root, KEY_QUERY_VALUE);
    if (!key) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        if (RegQueryValueExA(key, name, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(value.bytes.data()), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.bytes.resize(size);
        }
    }
    RegCloseKey(key);
    return value;
}

bool SettingsFixture::KeyExists(HKEY root) {
    HKEY key = OpenSettings(root, KEY_QUERY_VALUE);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

void SettingsFixture::CreateUserKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool SetKeyList(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | WRITE_DAC | WRITE_OWNER,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    if (sddl[0] == L'O') what |= OWNER_SECURITY_INFORMATION;
    bool made = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr) &&
                RegSetKeySecurity(key, what, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return made;
}

DWORD RunCommandLine(const wchar_t* program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start a program for the test";
        return 0xDEAD;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD RunBeside(const std::wstring& name, const std::wstring& arguments) {
    wchar_t self[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program(self, length);
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + name;
    return RunCommandLine(program.c_str(), L"\"" + program + L"\" " + arguments);
}

std::wstring Report(const std::wstring& introduction, const std::wstring& description, int number) {
    return introduction + L"\r\n description = " + description + L"\r\n source = ZendrelPanel" +
           L"\r\n number = " + std::to_wstring(number);
}

}  // namespace zendrel::test
