// The common ground of the store and settings-window tests: the real settings
// key of the test prefix, reset before each test (the machine key present and
// empty, as the installer leaves it; the user key absent), and a program
// folder of the test's own with an empty urls.txt. Stored values are read and
// written here straight through advapi32, not through the code under test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "message_boxes.h"
#include "scratch_key.h"

namespace zendrel::test {

inline constexpr wchar_t kSettingsPath[] = L"Software\\Orvantix\\Zendrel";

struct StoredValue {
    bool exists = false;
    DWORD type = 0;
    std::string bytes;
};

class SettingsFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::wstring& Folder() const { return folder_; }
    std::wstring UrlsPath() const { return folder_ + L"\\urls.txt"; }
    void WriteUrls(std::string_view bytes);
    std::string ReadUrls() const;
    void DeleteUrls();

    static void SetValue(HKEY root, const char* name, DWORD type, std::string_view bytes);
    static void SetDword(HKEY root, const char* name, DWORD value);
    static StoredValue GetValue(HKEY root, const char* name);
    static bool KeyExists(HKEY root);
    static void CreateUserKey();

    std::optional<ScratchKey> machineKey_;

  private:
    std::wstring folder_;
};

// Removes the held copy and the policy keys (the fixture does so around each test).
void RemoveHeldSettings();

// The four-line failure report as the program shows it.
std::wstring Report(const std::wstring& introduction, const std::wstring& description, int number);

// The four bytes of a REG_DWORD value.
inline std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Gives the key at path below root (creating it) the access list of an SDDL
// text (with its owner when the text names one); false when it could not.
bool SetKeyList(HKEY root, const std::wstring& path, const wchar_t* sddl);

// Makes the policy key below root as Group Policy leaves it: owner
// Administrators, SYSTEM and Administrators full control, everyone else read.
inline bool MakePolicyKey(HKEY root) {
    return SetKeyList(root, L"Software\\Policies\\Orvantix\\Zendrel",
                      L"O:BAD:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;WD)");
}

// Runs a command line (program: the program's path, or null to find it as
// CreateProcess does); its exit code.
DWORD RunCommandLine(const wchar_t* program, std::wstring commandLine);

// Runs a program beside the test program with the arguments to its end; its
// exit code.
DWORD RunBeside(const std::wstring& program, const std::wstring& arguments);

// RunBeside for addon_standin.exe, the stand-in for the browser add-on.
inline DWORD RunAddonStandin(const std::wstring& arguments) {
    return RunBeside(L"addon_standin.exe", arguments);
}

// The permissions message's text.
extern const wchar_t kPermissionsText[];

}  // namespace zendrel::test
