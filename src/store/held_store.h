// Held settings: the copies of the administrator's settings that no standard
// account can change, Group Policy's values, the accounts of the computer and
// their filter switch, the guard's records and the guard's state. Windows only.
//
// Where each copy lives (all in the 32-bit registry view, as the add-on's):
//
//   Group Policy (read only: our programs never write them)
//     HKLM Software\Policies\Orvantix\Zendrel  "activitylogging"  REG_DWORD (or REG_SZ digits)
//     HKLM Software\Policies\Orvantix\Zendrel\Accounts
//          one value per filtered account: name = SID ("S-1-5-21-...") or an
//          account name ("DOMAIN\name", resolved when read), data = 1 filter
//          on / 0 off (REG_SZ digits, as a policy list writes them, or REG_DWORD)
//     HKU\<SID>\Software\Policies\Orvantix\Zendrel  "mode"  REG_DWORD
//          (user policy; for the current user HKCU\Software\Policies\...)
//     A policy value wins over everything else; removing it removes its effect.
//     A user policy counts only in a key the account cannot change (owner
//     SYSTEM or Administrators, nobody else allowed to change it).
//
//   The administrator's held copy (kHeldPath; the store and the guard give it
//   an access list: SYSTEM and Administrators full control, everyone else read)
//     HKLM Software\Orvantix\ZendrelHeld  "activitylogging" REG_DWORD,
//                                         "config", "hint"  REG_SZ (held together),
//                                         "activitylogloc"  REG_SZ (the log's place)
//     HKLM Software\Orvantix\ZendrelHeld\Accounts   name = SID, data REG_DWORD mode
//     HKLM Software\Orvantix\ZendrelHeld\Records    the guard's records: name =
//          ten digits (RecordName), data REG_SZ (RecordData, held_rules.h)
//     A value absent from it is not held.
//
//   The add-on's places, which the guard puts back to the held value:
//     HKLM Software\Orvantix\Zendrel "activitylogging", "config", "hint",
//                                    "activitylogloc"
//     HKU\<SID>\Software\Orvantix\Zendrel "mode" of each filtered account
//
// Every change by an administrator writes the held copy first and the add-on's
// place after (SettingsStore does so for the settings of the computer and the
// current user; SetAccountMode for an account), so the guard, which compares
// the add-on's place with the held copy, never undoes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "held_rules.h"
#include "settings.h"

namespace zendrel {

inline constexpr wchar_t kHeldPath[] = L"Software\\Orvantix\\ZendrelHeld";
inline constexpr wchar_t kHeldAccountsPath[] = L"Software\\Orvantix\\ZendrelHeld\\Accounts";
inline constexpr wchar_t kHeldRecordsPath[] = L"Software\\Orvantix\\ZendrelHeld\\Records";
inline constexpr wchar_t kPolicyPath[] = L"Software\\Policies\\Orvantix\\Zendrel";
inline constexpr wchar_t kPolicyAccountsPath[] = L"Software\\Policies\\Orvantix\\Zendrel\\Accounts";
inline constexpr wchar_t kAddOnPath[] = L"Software\\Orvantix\\Zendrel";
// The access list of the held key: protected (nothing inherited), SYSTEM and
// Administrators full control, Everyone read.
inline constexpr wchar_t kHeldSddl[] = L"O:BAG:SYD:P(A;OICI;KA;;;SY)(A;OICI;KA;;;BA)(A;OICI;KR;;;WD)";
inline constexpr wchar_t kGuardServiceName[] = L"ZendrelGuard";
// The most records kept: the guard removes the oldest beyond it.
inline constexpr std::size_t kMaxRecords = 200;

// An account of the computer, as the accounts dialog and `zendrelctl accounts`
// list it.
struct Account {
    std::wstring sid;
    std::wstring name;  // "DOMAIN\name", or the SID when it has no name
    bool hiveLoaded = false;  // HKEY_USERS\<SID> is there: "mode" is written at once
    // "mode" in its hive now as the add-on reads it (a missing or unreadable
    // value is off); nullopt while the hive is not loaded. Where it differs
    // from a held `mode`, the guard could not put it back (or is about to).
    std::optional<bool> storedMode;
    Effective<bool> mode;  // the switch in effect: policy, held copy, or its own "mode"
};

// A record of the guard with the name of its value.
struct NamedRecord {
    std::wstring name;
    GuardRecord record;
    friend bool operator==(const NamedRecord&, const NamedRecord&) = default;
};

enum class GuardState { NotInstalled, Stopped, Starting, Running, Stopping, Unknown };

// Group Policy's values for the computer (password: never held by policy).
HeldValues LoadMachinePolicy();
// The user policy's "mode" of an account (empty sid: the current user).
std::optional<bool> LoadUserPolicyMode(const std::wstring& sid = {});

// The administrator's held copy. A held copy whose access list lets others
// write is not trusted: nothing is held then (an administrator's next save
// sets the list again; the guard does not, since what others wrote meanwhile
// would then count as held).
HeldValues LoadHeld();

// Whether this process may write the held copy: it runs elevated as an
// administrator, or as SYSTEM, and the key can be opened (or created) for it.
bool CanWriteHeld();

// Writes the held copy (creating the key with kHeldSddl, and setting that list
// again on a key that has another). Refused without the rights.
Outcome HoldActivityLogging(bool on);
Outcome HoldPassword(const PasswordSetting& password);
// The activity log's place, where the add-on writes it ("activitylogloc").
Outcome HoldLogPlace(const std::wstring& place);
// Holds every setting of the computer that is not held yet, as it stands in
// the add-on's key: the password ("config" and "hint"; empty texts, no
// password, when there are none), activity logging (on for 1, off for
// anything else) and the log's place (only when one is recorded: an empty
// place held would be put back over the place the add-on records later).
// Setup runs it (ZendrelGuard.exe --install), so that on an installed
// computer no setting is left that a standard account could set first.
// Refused without the rights; Failed when a value cannot be read, or a
// "config" that is not text could stand for a password.
Outcome HoldInstalled();
Outcome HoldAccount(const std::wstring& sid, bool on);
// Takes a setting out of the held copy: it is then the add-on's own again.
Outcome ReleaseActivityLogging();
Outcome ReleasePassword();
Outcome ReleaseAccount(const std::wstring& sid);
// Sets the held key's access list (kHeldSddl); false when it could not.
bool SecureHeldKey();

// The security identifier of the current user's account, as text.
std::wstring CurrentUserSid();
// The SID of an account name ("name" or "DOMAIN\name"), or of a SID text;
// nullopt when Windows knows no such account.
std::optional<std::wstring> ResolveAccount(const std::wstring& name);
// The account's name as "DOMAIN\name", or the SID itself when it has none.
std::wstring AccountName(const std::wstring& sid);

// The local accounts (NetUserEnum) and every account with a profile
// (ProfileList), each once, with the SIDs of held accounts that are neither.
std::vector<Account> Accounts();
// The filter switch in effect for one account (empty sid: the current user).
Effective<bool> AccountMode(const std::wstring& sid);
// Group Policy's values, the held copy and the current user's filter in
// effect, each read once.
Holds LoadHolds();

// The switches as the add-on reads them in its own places, whatever is held
// (a missing or unreadable value, or a link, is off): "mode" of an account
// (empty sid: the current user; nullopt while its hive is not loaded) and
// "activitylogging". A held switch that reads otherwise there was not put
// back (the guard could not, is not running, or is about to).
std::optional<bool> StoredMode(const std::wstring& sid = {});
bool StoredActivityLogging();

// What SetAccountMode did.
struct AccountModeResult {
    Outcome outcome;          // of the held copy's write (Refused: no rights, or policy)
    bool writtenNow = false;  // the hive is loaded and "mode" was written in it
};
// Holds `on` for the account and writes "mode" in its hive when it is loaded
// (else the guard writes it when the hive appears). Refused when a policy holds
// the account's switch or the caller cannot write the held copy.
AccountModeResult SetAccountMode(const std::wstring& sid, bool on);
// Writes "mode" under HKEY_USERS\<sid>\Software\Orvantix\Zendrel (creating the
// key); false when the hive is not loaded or the write was refused.
bool WriteHiveMode(const std::wstring& sid, bool on);

// The guard's records, oldest first; AddRecord appends one and returns its
// name (nullopt when it could not), removing beyond kMaxRecords the oldest of
// a place that has several records; UpdateRecord rewrites one that is still
// there; MarkRecordsShown marks the named ones shown.
std::vector<NamedRecord> LoadRecords();
std::optional<std::wstring> AddRecord(const GuardRecord& record);
bool UpdateRecord(const std::wstring& name, const GuardRecord& record);
void MarkRecordsShown(const std::vector<std::wstring>& names);

// The guard service's state, from the service control manager.
GuardState QueryGuardState();

}  // namespace zendrel
