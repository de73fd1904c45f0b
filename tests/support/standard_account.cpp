#include "standard_account.h"

#include <gtest/gtest.h>

#include "handles.h"

namespace zendrel::test {

DWORD RunAsStandardAccount(const std::wstring& program, const std::wstring& commandLine) {
    KernelHandle own, restricted;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    SID_AND_ATTRIBUTES denied{administrators, 0};
    if (!OpenProcessToken(GetCurrentProcess(),
                          TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY, own.Put()) ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !CreateRestrictedToken(own.Get(), DISABLE_MAX_PRIVILEGE, 1, &denied, 0, nullptr, 0,
                               nullptr, restricted.Put())) {
        ADD_FAILURE() << "no restricted token: " << GetLastError();
        return 0xDEAD;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessAsUserW(restricted.Get(), program.c_str(), line.data(), nullptr, nullptr,
                              FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start a program as the standard account: " << GetLastError();
        return 0xDEAD;
    }
    KernelHandle thread(process.hThread), running(process.hProcess);
    WaitForSingleObject(running.Get(), 120000);
    DWORD code = 0xDEAD;
    GetExitCodeProcess(running.Get(), &code);
    return code;
}

DWORD Pupil(const std::wstring& arguments) {
    wchar_t self[MAX_PATH] = {};
    std::wstring program(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"pupil.exe";
    return RunAsStandardAccount(program, L"\"" + program + L"\" " + arguments);
}

}  // namespace zendrel::test
