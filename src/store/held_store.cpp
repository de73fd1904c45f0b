#include "held_store.h"

#include <windows.h>

#include <lm.h>
#include <sddl.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>
#include <utility>

#include "account_hive.h"
#include "handles.h"
#include "registry_wrapper.h"
#include "system_libraries.h"
#include "win32_failure.h"

namespace zendrel {

namespace {

constexpr wchar_t kProfileListPath[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// Rights that change a key: whoever holds one of them on the held key could
// change what is held.
constexpr ACCESS_MASK kChangingRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC |
                                        WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

RegistryKeyHandle Open(HKEY root, const std::wstring& path, REGSAM access) {
    RegistryKeyHandle key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.Put()) != ERROR_SUCCESS) key.Reset();
    return key;
}

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

std::optional<std::wstring> ReadText(HKEY key, const wchar_t* name) {
    // Most texts fit the first buffer, and are read with one call.
    std::wstring text(256, L'\0');
    for (;;) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        LONG status = RegQueryValueExW(key, name, nullptr, &type,
                                       reinterpret_cast<BYTE*>(text.data()), &size);
        if (status == ERROR_MORE_DATA) {
            text.assign(size / sizeof(wchar_t) + 1, L'\0');
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        text.resize(size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return text;
    }
}

std::optional<bool> ReadSwitch(HKEY key, const wchar_t* name) {
    return PolicySwitch(ReadDword(key, name), ReadText(key, name));
}

// The names of a key's values, or of its subkeys.
std::vector<std::wstring> ValueNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

bool IsSid(const std::wstring& text, PSID* sid = nullptr) {
    PSID converted = nullptr;
    if (!ConvertStringSidToSidW(text.c_str(), &converted)) return false;
    if (sid)
        *sid = converted;
    else
        LocalFree(converted);
    return true;
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return {};
    std::wstring result = text;
    LocalFree(text);
    return result;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    return IsWellKnownSid(sid, type) != FALSE;
}

// A held key (or one of its subkeys) that nobody but SYSTEM and the
// Administrators can change: owned by one of them, and no allowing entry of
// its access list gives another account a right that changes it.
bool Trusted(HKEY key) {
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    // Most descriptors fit the first buffer, and are read with one call.
    std::vector<BYTE> buffer(1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG status = RegGetKeySecurity(key, what, buffer.data(), &size);
    if (status == ERROR_INSUFFICIENT_BUFFER && size > buffer.size()) {
        buffer.resize(size);
        status = RegGetKeySecurity(key, what, buffer.data(), &size);
    }
    if (status != ERROR_SUCCESS) return false;
    auto descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(buffer.data());
    auto trustee = [](PSID sid) {
        return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid);
    };
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner || !trustee(owner))
        return false;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return false;  // no list: everyone may do anything
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return false;
        auto header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kChangingRights) && !trustee(&allowed->SidStart)) return false;
    }
    return true;
}

bool Secure(HKEY key) {
    LocalMemoryHandle descriptor = DescriptorOf(kHeldSddl);
    if (!descriptor.Get()) return false;
    // The owner first: an owner outside the trusted ones could give itself
    // rights again. Where the owner cannot be set, the list alone is set.
    if (RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                          descriptor.Get()) == ERROR_SUCCESS)
        return true;
    return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.Get()) == ERROR_SUCCESS;
}

// Opens (creating it with the held access list) a key of the held copy for
// writing; one found with another list is given the held one.
RegistryKeyHandle CreateHeld(const wchar_t* path) {
    LocalMemoryHandle descriptor = DescriptorOf(kHeldSddl);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    RegistryKeyHandle key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                        KEY_READ | KEY_WRITE | WRITE_DAC | WRITE_OWNER,
                        descriptor.Get() ? &attributes : nullptr, key.Put(),
                        &disposition) != ERROR_SUCCESS) {
        key.Reset();
        return key;
    }
    // A new key gets the list once more: not every registry applies the
    // attributes given at creation (Wine's does not).
    if (disposition == REG_CREATED_NEW_KEY || !Trusted(key.Get())) Secure(key.Get());
    return key;
}

bool IsAdministrator() {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, buffer, &size)) return false;
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, buffer, &member) && member;
}

Outcome SetHeldDword(const wchar_t* path, const wchar_t* name, DWORD value) {
    if (!IsAdministrator()) return Outcome::Refused();
    RegistryKeyHandle key = CreateHeld(path);
    if (!key) return Outcome::Refused();
    if (RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value) != ERROR_SUCCESS)
        return Outcome::Refused();
    return Outcome::Done();
}

Outcome DeleteHeldValue(const wchar_t* path, const wchar_t* name) {
    if (!IsAdministrator()) return Outcome::Refused();
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE);
    if (!key) return Outcome::Done();  // nothing held there
    LONG status = RegDeleteValueW(key.Get(), name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? Outcome::Done()
                                                                     : Outcome::Refused();
}

// Writes texts of the held key, as the store writes the add-on's copies (the
// ANSI code page), so that the two copies hold the same text.
Outcome SetHeldTexts(std::initializer_list<std::pair<const wchar_t*, std::wstring>> texts) {
    if (!IsAdministrator() || !CreateHeld(kHeldPath)) return Outcome::Refused();
    RegistryWrapper key;
    key.hkey = kHkeyLocalMachine;
    key.KeyRoot = L"Software\\Orvantix";
    key.Subkey = L"ZendrelHeld";
    try {
        for (const auto& [name, text] : texts)
            if (!key.SetRegistryValue(name, Variant(text), REG_SZ)) return Outcome::Refused();
    } catch (const Failure& failure) {
        return Outcome::From(failure);
    }
    return Outcome::Done();
}

// The key of an account's settings (or of its user policy) below its hive.
RegistryKeyHandle OpenUserKey(const std::wstring& sid, const wchar_t* path, REGSAM access) {
    if (sid.empty() || sid == CurrentUserSid()) return Open(HKEY_CURRENT_USER, path, access);
    return Open(HKEY_USERS, sid + L"\\" + path, access);
}

}  // namespace

HeldValues LoadMachinePolicy() {
    HeldValues policy;
    if (RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kPolicyPath, KEY_READ))
        policy.activityLogging = ReadSwitch(key.Get(), L"activitylogging");
    if (RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kPolicyAccountsPath, KEY_READ)) {
        for (const std::wstring& name : ValueNames(key.Get())) {
            std::optional<bool> on = ReadSwitch(key.Get(), name.c_str());
            std::optional<std::wstring> sid = IsSid(name) ? name : ResolveAccount(name);
            if (on && sid) policy.accounts[*sid] = *on;
        }
    }
    return policy;
}

std::optional<bool> LoadUserPolicyMode(const std::wstring& sid) {
    // The key lies in the account's own hive: only a key the account cannot
    // change (as Group Policy leaves it) is a policy; one the account made
    // itself, where no policy key was, is not.
    RegistryKeyHandle key = OpenUserKey(sid, kPolicyPath, KEY_READ);
    return key && Trusted(key.Get()) ? ReadSwitch(key.Get(), L"mode") : std::nullopt;
}

HeldValues LoadHeld() {
    HeldValues held;
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kHeldPath, KEY_READ);
    if (!key || !Trusted(key.Get())) return held;
    held.present = true;
    if (std::optional<DWORD> on = ReadDword(key.Get(), L"activitylogging"))
        held.activityLogging = *on == 1;
    std::optional<std::wstring> config = ReadText(key.Get(), L"config");
    if (config) held.password = PasswordSetting{*config, ReadText(key.Get(), L"hint").value_or(L"")};
    held.logPlace = ReadText(key.Get(), L"activitylogloc");
    RegistryKeyHandle accounts = Open(HKEY_LOCAL_MACHINE, kHeldAccountsPath, KEY_READ);
    if (accounts && Trusted(accounts.Get())) {
        for (const std::wstring& sid : ValueNames(accounts.Get()))
            if (std::optional<DWORD> on = ReadDword(accounts.Get(), sid.c_str()))
                held.accounts[sid] = *on == 1;
    }
    return held;
}

bool CanWriteHeld() {
    if (!IsAdministrator()) return false;
    if (Open(HKEY_LOCAL_MACHINE, kHeldPath, KEY_SET_VALUE)) return true;
    // A held key that is there but refuses this account: creating it anew
    // would not help.
    if (Open(HKEY_LOCAL_MACHINE, kHeldPath, KEY_READ)) return false;
    RegistryKeyHandle parent = Open(HKEY_LOCAL_MACHINE, L"Software\\Orvantix", KEY_CREATE_SUB_KEY);
    if (!parent) parent = Open(HKEY_LOCAL_MACHINE, L"Software", KEY_CREATE_SUB_KEY);
    return static_cast<bool>(parent);
}

Outcome HoldActivityLogging(bool on) {
    return SetHeldDword(kHeldPath, L"activitylogging", on ? 1 : 0);
}

Outcome HoldPassword(const PasswordSetting& password) {
    return SetHeldTexts({{L"config", password.digest}, {L"hint", password.hint}});
}

Outcome HoldLogPlace(const std::wstring& place) {
    return SetHeldTexts({{L"activitylogloc", place}});
}

Outcome HoldInstalled() {
    if (!CanWriteHeld()) return Outcome::Refused();
    HeldValues held = LoadHeld();
    RegistryWrapper addOn;
    addOn.hkey = kHkeyLocalMachine;
    addOn.KeyRoot = L"Software";
    addOn.Subkey = L"Orvantix\\Zendrel";
    // A value that is there but cannot be read is not taken for an absent one.
    auto read = [&](const wchar_t* name) {
        RegistryRead value = addOn.ReadRegistryValue(name);
        if (value.status == RegistryRead::Status::Unreadable)
            throw FailureFromWin32(static_cast<DWORD>(value.error), kProgramName);
        return value;
    };
    auto isText = [](const RegistryRead& value) {
        return value.status == RegistryRead::Status::Present &&
               (value.type == REG_SZ || value.type == REG_EXPAND_SZ);
    };
    try {
        if (!held.password) {
            RegistryRead config = read(L"config");
            if (config.status == RegistryRead::Status::Present && !isText(config))
                throw Failure(kTypeMismatch, L"Type mismatch: the stored password is not text",
                              kProgramName);
            Outcome outcome =
                HoldPassword({config.value.ToText(), read(L"hint").value.ToText()});
            if (outcome.kind != Outcome::Kind::Done) return outcome;
        }
        if (!held.activityLogging) {
            bool on = false;
            try {
                on = read(L"activitylogging").value.ToInt16() == 1;
            } catch (const Failure& failure) {
                if (failure.Number() != kTypeMismatch && failure.Number() != kOverflow) throw;
            }
            Outcome outcome = HoldActivityLogging(on);
            if (outcome.kind != Outcome::Kind::Done) return outcome;
        }
        if (!held.logPlace) {
            RegistryRead place = read(L"activitylogloc");
            if (isText(place) && !place.value.ToText().empty()) {
                Outcome outcome = HoldLogPlace(place.value.ToText());
                if (outcome.kind != Outcome::Kind::Done) return outcome;
            }
        }
    } catch (const Failure& failure) {
        return Outcome::From(failure);
    }
    return Outcome::Done();
}

Outcome HoldAccount(const std::wstring& sid, bool on) {
    if (!IsSid(sid)) return Outcome::From(Failure(kTypeMismatch, L"Type mismatch: not an account: " + sid, kProgramName));
    if (!IsAdministrator() || !CreateHeld(kHeldPath)) return Outcome::Refused();
    return SetHeldDword(kHeldAccountsPath, sid.c_str(), on ? 1 : 0);
}

Outcome ReleaseActivityLogging() {
    return DeleteHeldValue(kHeldPath, L"activitylogging");
}

Outcome ReleasePassword() {
    Outcome config = DeleteHeldValue(kHeldPath, L"config");
    if (config.kind != Outcome::Kind::Done) return config;
    return DeleteHeldValue(kHeldPath, L"hint");
}

Outcome ReleaseAccount(const std::wstring& sid) {
    return DeleteHeldValue(kHeldAccountsPath, sid.c_str());
}

bool SecureHeldKey() {
    bool secured = true;
    for (const wchar_t* path : {kHeldPath, kHeldAccountsPath, kHeldRecordsPath}) {
        RegistryKeyHandle key = CreateHeld(path);
        secured = secured && key && (Trusted(key.Get()) || Secure(key.Get()));
    }
    return secured;
}

namespace {

std::wstring ProcessUserSid() {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

}  // namespace

std::wstring CurrentUserSid() {
    // The account a process runs as never changes: it is asked once.
    static const std::wstring sid = ProcessUserSid();
    return sid.empty() ? ProcessUserSid() : sid;
}

std::optional<std::wstring> ResolveAccount(const std::wstring& name) {
    if (name.empty()) return std::nullopt;
    if (IsSid(name)) return name;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    wchar_t domain[256];
    DWORD domainSize = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use;
    if (!LookupAccountNameW(nullptr, name.c_str(), sid, &sidSize, domain, &domainSize, &use))
        return std::nullopt;
    if (use != SidTypeUser) return std::nullopt;  // groups and computers have no filter
    return SidText(sid);
}

std::wstring AccountName(const std::wstring& sidText) {
    PSID sid = nullptr;
    if (!IsSid(sidText, &sid)) return sidText;
    wchar_t name[256], domain[256];
    DWORD nameSize = static_cast<DWORD>(std::size(name));
    DWORD domainSize = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use;
    BOOL found = LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use);
    LocalFree(sid);
    if (!found) return sidText;
    return domainSize ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

namespace {

// The account's filter in effect from what was read of the policies and the
// held copy; its own "mode" is read last.
Effective<bool> ModeOf(const std::wstring& sid, std::optional<bool> policy,
                       const HeldValues& machine, const HeldValues& copy) {
    if (!policy)
        if (auto it = machine.accounts.find(sid); it != machine.accounts.end()) policy = it->second;
    std::optional<bool> held;
    if (auto it = copy.accounts.find(sid); it != copy.accounts.end()) held = it->second;
    bool own = false;
    if (RegistryKeyHandle key = OpenUserKey(sid, kAddOnPath, KEY_READ))
        own = ReadDword(key.Get(), L"mode").value_or(0) == 1;
    return EffectiveValue(policy, held, own);
}

}  // namespace

Effective<bool> AccountMode(const std::wstring& sidOrEmpty) {
    std::wstring sid = sidOrEmpty.empty() ? CurrentUserSid() : sidOrEmpty;
    std::optional<bool> policy = LoadUserPolicyMode(sid);
    HeldValues machine = policy ? HeldValues{} : LoadMachinePolicy();
    HeldValues copy = LoadHeld();
    return ModeOf(sid, policy, machine, copy);
}

Holds LoadHolds() {
    Holds holds;
    std::wstring sid = CurrentUserSid();
    std::optional<bool> userPolicy = LoadUserPolicyMode(sid);
    holds.policy = LoadMachinePolicy();
    holds.held = LoadHeld();
    holds.mode = ModeOf(sid, userPolicy, holds.policy, holds.held);
    return holds;
}

std::vector<Account> Accounts() {
    std::vector<std::wstring> sids;
    std::set<std::wstring> seen;
    auto add = [&](const std::wstring& sid) {
        if (!sid.empty() && seen.insert(sid).second) sids.push_back(sid);
    };
    // netapi32 is loaded here, on first use, from the system folder: the
    // guard, which links the store but never lists accounts, stays without it.
    using UserEnum = NET_API_STATUS(WINAPI*)(LPCWSTR, DWORD, DWORD, BYTE**, DWORD, DWORD*,
                                             DWORD*, DWORD*);
    using BufferFree = NET_API_STATUS(WINAPI*)(void*);
    static HMODULE netapi = LoadSystemLibrary(L"netapi32.dll");
    auto netUserEnum = netapi ? reinterpret_cast<UserEnum>(reinterpret_cast<void*>(
                                    GetProcAddress(netapi, "NetUserEnum")))
                              : nullptr;
    auto netApiBufferFree = netapi ? reinterpret_cast<BufferFree>(reinterpret_cast<void*>(
                                         GetProcAddress(netapi, "NetApiBufferFree")))
                                   : nullptr;
    BYTE* buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    NET_API_STATUS status = ERROR_PROC_NOT_FOUND;
    do {
        if (!netUserEnum || !netApiBufferFree) break;
        status = netUserEnum(nullptr, 0, FILTER_NORMAL_ACCOUNT, &buffer, MAX_PREFERRED_LENGTH,
                             &read, &total, &resume);
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && buffer) {
            auto users = reinterpret_cast<USER_INFO_0*>(buffer);
            for (DWORD i = 0; i < read; ++i)
                if (std::optional<std::wstring> sid = ResolveAccount(users[i].usri0_name)) add(*sid);
        }
        if (buffer) netApiBufferFree(buffer);
        buffer = nullptr;
    } while (status == ERROR_MORE_DATA);
    if (RegistryKeyHandle profiles = Open(HKEY_LOCAL_MACHINE, kProfileListPath, KEY_READ)) {
        // Accounts of people: the well-known service accounts (S-1-5-18 to
        // 20) have profiles too, but no browser of theirs is filtered.
        for (const std::wstring& sid : SubkeyNames(profiles.Get()))
            if (sid.rfind(L"S-1-5-21-", 0) == 0 || sid.rfind(L"S-1-12-1-", 0) == 0) add(sid);
    }
    HeldValues held = LoadHeld();
    HeldValues policy = LoadMachinePolicy();
    for (const auto& [sid, on] : held.accounts) add(sid);
    for (const auto& [sid, on] : policy.accounts) add(sid);

    std::vector<Account> accounts;
    for (const std::wstring& sid : sids) {
        Account account;
        account.sid = sid;
        account.name = AccountName(sid);
        account.hiveLoaded = HiveLoaded(sid);
        // What the add-on reads: a key or value it cannot read, or a link,
        // is a filter that is off, whatever is held.
        if (account.hiveLoaded) account.storedMode = StoredMode(sid);
        account.mode = AccountMode(sid);
        accounts.push_back(std::move(account));
    }
    return accounts;
}

std::optional<bool> StoredMode(const std::wstring& sidOrEmpty) {
    std::wstring sid = sidOrEmpty.empty() ? CurrentUserSid() : sidOrEmpty;
    if (!HiveLoaded(sid)) return std::nullopt;
    RegistryKeyHandle key = OpenAccountKey(sid, kAddOnPath, KEY_READ, HiveOpen::Read);
    return key && ReadDword(key.Get(), L"mode").value_or(0) == 1;
}

bool StoredActivityLogging() {
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kAddOnPath, KEY_READ);
    return key && ReadDword(key.Get(), L"activitylogging").value_or(0) == 1;
}

bool WriteHiveMode(const std::wstring& sid, bool on) {
    if (!IsSid(sid)) return false;
    // The account may have made a key of the path a link, or given it a list
    // that refuses us: see OpenAccountKey.
    RegistryKeyHandle key = OpenAccountKey(sid, kAddOnPath, KEY_SET_VALUE, HiveOpen::Create);
    if (!key) return false;
    DWORD value = on ? 1 : 0;
    return RegSetValueExW(key.Get(), L"mode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

AccountModeResult SetAccountMode(const std::wstring& sid, bool on) {
    AccountModeResult result;
    if (AccountMode(sid).holder == Holder::Policy) {
        result.outcome = Outcome::Refused();
        return result;
    }
    result.outcome = HoldAccount(sid, on);
    if (result.outcome.kind == Outcome::Kind::Done) result.writtenNow = WriteHiveMode(sid, on);
    return result;
}

std::vector<NamedRecord> LoadRecords() {
    std::vector<NamedRecord> records;
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kHeldRecordsPath, KEY_READ);
    if (!key || !Trusted(key.Get())) return records;
    for (const std::wstring& name : ValueNames(key.Get())) {
        if (!RecordNumber(name)) continue;
        std::optional<std::wstring> data = ReadText(key.Get(), name.c_str());
        std::optional<GuardRecord> record = data ? ParseRecord(*data) : std::nullopt;
        if (record) records.push_back({name, *record});
    }
    std::sort(records.begin(), records.end(),
              [](const NamedRecord& a, const NamedRecord& b) { return a.name < b.name; });
    return records;
}

namespace {

bool WriteRecord(HKEY key, const std::wstring& name, const GuardRecord& record) {
    std::wstring data = RecordData(record);
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

std::optional<std::wstring> AddRecord(const GuardRecord& record) {
    RegistryKeyHandle key = CreateHeld(kHeldRecordsPath);
    if (!key) return std::nullopt;
    // Every record of the key, oldest first (a value that is no record counts
    // for the numbering only).
    std::vector<std::wstring> names;
    for (const std::wstring& name : ValueNames(key.Get()))
        if (RecordNumber(name)) names.push_back(name);
    std::sort(names.begin(), names.end());
    std::uint32_t next = names.empty() ? 1 : *RecordNumber(names.back()) + 1;
    std::wstring name = RecordName(next);
    if (!WriteRecord(key.Get(), name, record)) return std::nullopt;
    // Beyond the most kept, the oldest record of a place that has several
    // goes first: a place changed again and again (a loop of one account)
    // pushes out its own records, never the last record of another.
    std::vector<std::pair<std::wstring, std::wstring>> kept;  // name, place
    std::map<std::wstring, std::size_t> perPlace;
    for (const std::wstring& n : names) {
        std::optional<std::wstring> data = ReadText(key.Get(), n.c_str());
        std::optional<GuardRecord> r = data ? ParseRecord(*data) : std::nullopt;
        kept.emplace_back(n, r ? RecordPlace(*r) : n);
        ++perPlace[kept.back().second];
    }
    ++perPlace[RecordPlace(record)];
    while (kept.size() + 1 > kMaxRecords) {
        auto victim = std::find_if(kept.begin(), kept.end(),
                                   [&](const auto& k) { return perPlace[k.second] > 1; });
        if (victim == kept.end()) victim = kept.begin();
        RegDeleteValueW(key.Get(), victim->first.c_str());
        --perPlace[victim->second];
        kept.erase(victim);
    }
    return name;
}

bool UpdateRecord(const std::wstring& name, const GuardRecord& record) {
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kHeldRecordsPath, KEY_QUERY_VALUE | KEY_SET_VALUE);
    // Only a record that is still there: one pushed out stays out.
    return key && ReadText(key.Get(), name.c_str()) && WriteRecord(key.Get(), name, record);
}

void MarkRecordsShown(const std::vector<std::wstring>& names) {
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kHeldRecordsPath, KEY_READ | KEY_SET_VALUE);
    if (!key) return;  // a standard account: the records stay for an administrator
    for (const std::wstring& name : names) {
        std::optional<std::wstring> data = ReadText(key.Get(), name.c_str());
        std::optional<GuardRecord> record = data ? ParseRecord(*data) : std::nullopt;
        if (!record || record->shown) continue;
        record->shown = true;
        WriteRecord(key.Get(), name, *record);
    }
}

GuardState QueryGuardState() {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return GuardState::Unknown;
    ServiceHandle service(OpenServiceW(manager.Get(), kGuardServiceName, SERVICE_QUERY_STATUS));
    if (!service)
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? GuardState::NotInstalled
                                                              : GuardState::Unknown;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.Get(), &status)) return GuardState::Unknown;
    switch (status.dwCurrentState) {
        case SERVICE_STOPPED: return GuardState::Stopped;
        case SERVICE_START_PENDING: return GuardState::Starting;
        case SERVICE_RUNNING: return GuardState::Running;
        case SERVICE_STOP_PENDING: return GuardState::Stopping;
        default: return GuardState::Unknown;
    }
}

}  // namespace zendrel
