// The add-on stand-in that other tests start: its append to "requests" and
// its check of every read of urls.txt must themselves be right.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "scratch_key.h"
#include "settings_fixture.h"

namespace zendrel {
namespace {

DWORD RunStandin(const std::wstring& arguments) {
    return test::RunAddonStandin(arguments);
}

std::string Requests(HKEY key) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, "requests", nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return "<missing>";
    std::string bytes(size, '\0');
    RegQueryValueExA(key, "requests", nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    bytes.resize(size);
    return type == REG_MULTI_SZ ? bytes : "<not REG_MULTI_SZ>";
}

TEST(AddonStandin, AppendRequestAddsOneEntryAtTheEndOfRequests) {
    test::ScratchKey settings(HKEY_LOCAL_MACHINE, L"Software\\Orvantix\\Zendrel");
    EXPECT_EQ(RunStandin(L"append-request first.example"), 0u);
    EXPECT_EQ(Requests(settings.Handle()), std::string("first.example\0\0", 15));
    EXPECT_EQ(RunStandin(L"append-request second.example"), 0u);
    EXPECT_EQ(Requests(settings.Handle()), std::string("first.example\0second.example\0\0", 30));
}

void Write(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(file);
}

TEST(AddonStandin, ReadLoopAcceptsOnlyWholeExpectedContents) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"zstandin-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    const std::wstring urls = base + L"urls.txt", a = base + L"a.txt", b = base + L"b.txt";
    Write(a, "a.example\r\n");
    Write(b, "b.example\r\n");
    const std::wstring loop = L"read-urls-loop \"" + urls + L"\" 20 \"" + a + L"\" \"" + b + L"\"";
    Write(urls, "b.example\r\n");
    EXPECT_EQ(RunStandin(loop), 0u);
    Write(urls, "b.example\r\na.example\r\n");
    EXPECT_EQ(RunStandin(loop), 3u);
    Write(urls, "a.exam");
    EXPECT_EQ(RunStandin(loop), 3u);
    for (const std::wstring& file : {urls, a, b}) DeleteFileW(file.c_str());
    EXPECT_EQ(RunStandin(loop), 2u);
}

}  // namespace
}  // namespace zendrel
