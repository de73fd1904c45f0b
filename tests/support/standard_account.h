// Programs run as a standard account of the computer: the tests' own user
// with the Administrators group made deny-only and every privilege removed
// (CreateRestrictedToken), as a pupil's programs run. Under Wine the
// registry's access lists are checked against that token, so a key that
// grants Users read only refuses it set-value while the test may write; file
// access lists are not checked under Wine. The account is the same user, so
// its HKEY_CURRENT_USER is the test's own, as a pupil's is its own.
#pragma once

#include <windows.h>

#include <string>

namespace zendrel::test {

// Runs `commandLine` (program: the program's path) as the standard account;
// its exit code, or 0xDEAD when it could not be started.
DWORD RunAsStandardAccount(const std::wstring& program, const std::wstring& commandLine);

// Runs pupil.exe (beside the test program) as the standard account with
// these arguments; its exit code (0 done, 5 refused).
DWORD Pupil(const std::wstring& arguments);

}  // namespace zendrel::test
