// pupil.exe: what a standard account (a pupil) can do to the registry with a
// program of its own, asking for no more access than each step needs (Wine's
// reg.exe asks for more, and is refused where a pupil's own program is not).
// The tests start it through RunAsPupil, on a token without the
// Administrators group and without privileges.
//
//   pupil set KEY NAME NUMBER        REG_DWORD NUMBER, opened for set-value only
//   pupil set-text KEY NAME TEXT     REG_SZ TEXT
//   pupil huge KEY NAME MEGABYTES    REG_BINARY of that many MB
//   pupil delete KEY NAME            deletes the value
//   pupil delete-key KEY             deletes the key (no subkeys)
//   pupil rename KEY NEWNAME         renames the key
//   pupil link KEY TARGET            makes KEY a registry link to TARGET
//                                    (\Registry\User\... form)
//   pupil deny-system KEY            adds an entry that denies SYSTEM every
//                                    right to KEY (its list kept otherwise)
//   pupil flip KEY NAME SECONDS      sets NAME to 0 and 1 in turn for SECONDS
//   pupil noise KEY SECONDS          sets the value "noise" as fast as it can
//
// KEY is HKLM\..., HKCU\... or HKU\... . Exit codes: 0 done; 1 wrong
// arguments; 5 refused (access denied); any other: the Windows error.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Key {
    HKEY root = nullptr;
    std::wstring path;
};

bool Parse(const wchar_t* text, Key& key) {
    const struct {
        const wchar_t* prefix;
        HKEY root;
    } roots[] = {{L"HKLM\\", HKEY_LOCAL_MACHINE},
                 {L"HKCU\\", HKEY_CURRENT_USER},
                 {L"HKU\\", HKEY_USERS}};
    for (const auto& r : roots) {
        std::size_t n = std::wcslen(r.prefix);
        if (std::wcsncmp(text, r.prefix, n) == 0) {
            key = {r.root, text + n};
            return true;
        }
    }
    return false;
}

// Opens KEY with `access` and runs `step` on it; the exit code.
template <typename Step>
int OnKey(const Key& key, REGSAM access, Step step, DWORD options = 0) {
    HKEY handle = nullptr;
    LONG status = RegOpenKeyExW(key.root, key.path.c_str(), options, access, &handle);
    if (status != ERROR_SUCCESS) return status;
    status = step(handle);
    RegCloseKey(handle);
    return status;
}

LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

LONG DenySystem(HKEY key) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    DWORD status = GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) return static_cast<LONG>(status);
    EXPLICIT_ACCESSW deny{};
    deny.grfAccessPermissions = KEY_ALL_ACCESS;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = SUB_CONTAINERS_ONLY_INHERIT;
    PSID system = nullptr;
    ConvertStringSidToSidW(L"S-1-5-18", &system);
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.ptstrName = static_cast<wchar_t*>(system);
    PACL changed = nullptr;
    status = SetEntriesInAclW(1, &deny, dacl, &changed);
    if (status == ERROR_SUCCESS)
        status = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 changed, nullptr);
    LocalFree(changed);
    LocalFree(system);
    LocalFree(descriptor);
    return static_cast<LONG>(status);
}

int Run(int argc, wchar_t** argv) {
    Key key;
    if (argc < 3 || !Parse(argv[2], key)) return 1;
    std::wstring verb = argv[1];
    const wchar_t* name = argc > 3 ? argv[3] : L"";
    if (verb == L"set" && argc == 5)
        return OnKey(key, KEY_SET_VALUE, [&](HKEY k) {
            return SetDword(k, name, std::wcstoul(argv[4], nullptr, 10));
        });
    if (verb == L"set-text" && argc == 5)
        return OnKey(key, KEY_SET_VALUE, [&](HKEY k) {
            return RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[4]),
                                  static_cast<DWORD>((std::wcslen(argv[4]) + 1) * sizeof(wchar_t)));
        });
    if (verb == L"huge" && argc == 5)
        return OnKey(key, KEY_SET_VALUE, [&](HKEY k) {
            std::vector<BYTE> bytes(std::wcstoul(argv[4], nullptr, 10) << 20, 0x41);
            return RegSetValueExW(k, name, 0, REG_BINARY, bytes.data(),
                                  static_cast<DWORD>(bytes.size()));
        });
    if (verb == L"delete" && argc == 4)
        return OnKey(key, KEY_SET_VALUE, [&](HKEY k) { return RegDeleteValueW(k, name); });
    if (verb == L"delete-key" && argc == 3)
        return OnKey(key, DELETE, [&](HKEY k) { return RegDeleteKeyW(k, L""); });
    if (verb == L"rename" && argc == 4)
        return OnKey(key, KEY_WRITE, [&](HKEY k) { return RegRenameKey(k, nullptr, name); });
    if (verb == L"link" && argc == 4) {
        HKEY link = nullptr;
        LONG status = RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr,
                                      REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                      KEY_WRITE | KEY_CREATE_LINK, nullptr, &link, nullptr);
        if (status != ERROR_SUCCESS) return status;
        status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                reinterpret_cast<const BYTE*>(name),
                                static_cast<DWORD>(std::wcslen(name) * sizeof(wchar_t)));
        RegCloseKey(link);
        return status;
    }
    if (verb == L"deny-system" && argc == 3)
        return OnKey(key, READ_CONTROL | WRITE_DAC, DenySystem);
    if ((verb == L"flip" && argc == 5) || (verb == L"noise" && argc == 4)) {
        bool flip = verb == L"flip";
        DWORD until = GetTickCount() + 1000 * std::wcstoul(argv[flip ? 4 : 3], nullptr, 10);
        return OnKey(key, KEY_SET_VALUE, [&](HKEY k) {
            LONG status = ERROR_SUCCESS;
            for (DWORD i = 0; status == ERROR_SUCCESS && GetTickCount() < until; ++i)
                status = flip ? SetDword(k, name, i % 2) : SetDword(k, L"noise", i);
            return status;
        });
    }
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
