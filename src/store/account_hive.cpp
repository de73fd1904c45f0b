#include "account_hive.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "held_store.h"

namespace zendrel {

namespace {

// The value that makes a key a registry link.
constexpr wchar_t kLinkValue[] = L"SymbolicLinkValue";

bool IsLink(HKEY key) {
    DWORD type = 0;
    return RegQueryValueExW(key, kLinkValue, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Deletes the key a handle names; for a link opened as such, the link itself
// (advapi32's delete would open the name again, and follow it).
bool DeleteOpenKey(HKEY key) {
    using Call = LONG(WINAPI*)(HANDLE);
    static const auto call = reinterpret_cast<Call>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    return call && call(key) == 0;
}

// Makes the Administrators the owner of parent\name (the take-ownership
// privilege gets past any list); the owner may always change the list.
bool TakeOwnership(HKEY parent, const std::wstring& name) {
    // (parent, name): HKEY_USERS and the key's whole path, checked to hold no
    // link; Wine checks a key's list only when it is opened by its whole path.
    LocalMemoryHandle descriptor = DescriptorOf(L"O:BA");
    RegistryKeyHandle key;
    return descriptor.Get() &&
           RegOpenKeyExW(parent, name.c_str(), 0, WRITE_OWNER, key.Put()) ==
               ERROR_SUCCESS &&
           RegSetKeySecurity(key.Get(), OWNER_SECURITY_INFORMATION, descriptor.Get()) ==
               ERROR_SUCCESS;
}

// Sets the owner of parent\name to the Administrators and then its list to
// `sddl`.
bool SetKeySecurity(HKEY parent, const std::wstring& name, const std::wstring& sddl) {
    LocalMemoryHandle descriptor = DescriptorOf(sddl.c_str());
    if (!descriptor.Get()) return false;
    TakeOwnership(parent, name);
    RegistryKeyHandle key;
    return RegOpenKeyExW(parent, name.c_str(), 0, WRITE_DAC, key.Put()) ==
               ERROR_SUCCESS &&
           RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.Get()) ==
               ERROR_SUCCESS;
}

// Takes over parent\name, which refuses this process: the Administrators its
// owner, its entries that deny anyone removed, SYSTEM and the Administrators
// full control added; what it grants others is kept (the account's own keys
// stay the account's to use). Where even the owner may not read the list
// (Wine lets a deny entry refuse the owner that), the account `sid` is given
// full control in place of what it granted.
bool Unlock(const std::wstring& sid, HKEY parent, const std::wstring& name) {
    TakeOwnership(parent, name);
    RegistryKeyHandle key;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR old = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, READ_CONTROL | WRITE_DAC,
                      key.Put()) != ERROR_SUCCESS ||
        GetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &dacl, nullptr, &old) != ERROR_SUCCESS) {
        dacl = nullptr;
        key.Reset();
        if (RegOpenKeyExW(parent, name.c_str(), 0, WRITE_DAC, key.Put()) !=
            ERROR_SUCCESS)
            return false;
    }
    std::vector<BYTE> buffer(dacl ? dacl->AclSize : sizeof(ACL));
    auto allowed = reinterpret_cast<PACL>(buffer.data());
    bool built = InitializeAcl(allowed, static_cast<DWORD>(buffer.size()), ACL_REVISION) != FALSE;
    for (DWORD i = 0; built && dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) &&
            ace->AceType != ACCESS_DENIED_ACE_TYPE &&
            ace->AceType != ACCESS_DENIED_OBJECT_ACE_TYPE)
            built = AddAce(allowed, ACL_REVISION, MAXDWORD, ace, ace->AceSize) != FALSE;
    }
    LocalFree(old);
    const std::wstring trustees[3] = {L"S-1-5-18", L"S-1-5-32-544", sid};
    const ULONG count = dacl ? 2 : 3;
    EXPLICIT_ACCESSW grants[3] = {};
    PSID sids[3] = {};
    for (ULONG i = 0; i < count; ++i) {
        built = built && ConvertStringSidToSidW(trustees[i].c_str(), &sids[i]);
        grants[i].grfAccessPermissions = KEY_ALL_ACCESS;
        grants[i].grfAccessMode = GRANT_ACCESS;
        grants[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        grants[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        grants[i].Trustee.ptstrName = static_cast<wchar_t*>(sids[i]);
    }
    PACL repaired = nullptr;
    bool set = built && SetEntriesInAclW(count, grants, allowed, &repaired) == ERROR_SUCCESS &&
               SetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, repaired, nullptr) == ERROR_SUCCESS;
    LocalFree(repaired);
    for (PSID granted : sids) LocalFree(granted);
    return set;
}

// Opens parent\name as a key, never as what a link there points to. With
// `change`, a key that refuses this process is opened anyway (see
// OpenAccountKey), a link is deleted, and then (or where nothing is) with
// `create` a key is made; without, a refusal or a link gives an empty handle.
RegistryKeyHandle OpenStep(const std::wstring& sid, HKEY parent, const std::wstring& name,
                           const std::wstring& whole, REGSAM access, bool change, bool create) {
    // Looked at as a link first (opened as a link, nothing is followed), then
    // opened for what is wanted: Wine checks no access when a key is opened
    // as a link, only when the handle is used. Between the two opens only
    // the account's own keys could be made a link; ours refuse it that.
    RegistryKeyHandle key;
    LONG status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE,
                                key.Put());
    if (status == ERROR_SUCCESS && IsLink(key.Get())) {
        if (!change) return RegistryKeyHandle();
        RegistryKeyHandle link;
        if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, DELETE, link.Put()) !=
                ERROR_SUCCESS ||
            !DeleteOpenKey(link.Get()))
            return RegistryKeyHandle();
        status = ERROR_FILE_NOT_FOUND;
    }
    key.Reset();
    if (status != ERROR_FILE_NOT_FOUND)
        status = RegOpenKeyExW(HKEY_USERS, whole.c_str(), 0, access | KEY_QUERY_VALUE, key.Put());
    if (!change) return status == ERROR_SUCCESS ? std::move(key) : RegistryKeyHandle();
    // A key whose list refuses this process: on Windows the backup and
    // restore privileges (the guard's) open it whatever the list says; where
    // they do not (Wine, a process without them) it is taken over.
    if (status == ERROR_ACCESS_DENIED)
        status = RegCreateKeyExW(HKEY_USERS, whole.c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE,
                                 0, nullptr, key.Put(), nullptr);
    if (status == ERROR_ACCESS_DENIED && Unlock(sid, HKEY_USERS, whole))
        status = RegOpenKeyExW(HKEY_USERS, whole.c_str(), 0, access | KEY_QUERY_VALUE, key.Put());
    if (status == ERROR_SUCCESS) return key;
    key.Reset();
    if (status != ERROR_FILE_NOT_FOUND || !create) return key;
    status = RegCreateKeyExW(HKEY_USERS, whole.c_str(), 0, nullptr, 0, access | KEY_QUERY_VALUE,
                             nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) key.Reset();
    return key;
}

}  // namespace

bool HiveLoaded(const std::wstring& sid) {
    // Opened for no access: an account's list on its hive root refuses
    // reading, not the hive's presence.
    RegistryKeyHandle root;
    return !sid.empty() && sid.find(L'\\') == std::wstring::npos &&
           RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, 0, root.Put()) != ERROR_FILE_NOT_FOUND;
}

RegistryKeyHandle OpenAccountKey(const std::wstring& sid, const std::wstring& path, REGSAM access,
                                 HiveOpen how) {
    const bool change = how != HiveOpen::Read, create = how == HiveOpen::Create;
    if (!HiveLoaded(sid)) return RegistryKeyHandle();
    RegistryKeyHandle key;
    if (RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, 0, key.Put()) != ERROR_SUCCESS &&
        RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, KEY_CREATE_SUB_KEY, key.Put()) != ERROR_SUCCESS)
        return RegistryKeyHandle();
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        bool last = end == path.size();
        // A key on the way is opened for making its subkey as well.
        REGSAM want = last ? access : (create ? KEY_CREATE_SUB_KEY : 0);
        RegistryKeyHandle next =
            OpenStep(sid, key.Get(), path.substr(start, end - start), sid + L"\\" + path.substr(0, end),
                     want, change, create);
        if (!next) return next;
        key = std::move(next);
        start = end + 1;
    }
    return key;
}

bool HoldAccountKey(const std::wstring& sid) {
    const std::wstring orvantix = L"Software\\Orvantix";
    if (!OpenAccountKey(sid, kAddOnPath, KEY_QUERY_VALUE, HiveOpen::Create)) return false;
    // KEY_READ and making subkeys (0x2001d) on the parent, and full control of
    // the keys it makes there; read only (KEY_READ) on the settings key.
    const std::wstring parentSddl = L"O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;;0x2001d;;;" + sid +
                                    L")(A;CIIO;KA;;;CO)";
    const std::wstring keySddl = L"O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;" + sid + L")";
    return SetKeySecurity(HKEY_USERS, sid + L"\\" + orvantix, parentSddl) &&
           SetKeySecurity(HKEY_USERS, sid + L"\\" + kAddOnPath, keySddl);
}

void EnableGuardPrivileges() {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put())) return;
    for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privileges{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
            AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
}

LocalMemoryHandle DescriptorOf(const wchar_t* sddl) {
    LocalMemoryHandle descriptor;
    PSECURITY_DESCRIPTOR made = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &made, nullptr))
        descriptor.Reset(made);
    return descriptor;
}

}  // namespace zendrel
