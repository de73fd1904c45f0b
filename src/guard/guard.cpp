#include "guard.h"

#include <sddl.h>

#include <exception>

#include "account_hive.h"
#include "guard_messages.h"
#include "held_store.h"

namespace zendrel {

namespace {

// The settings key's access list as the installer gives it: SYSTEM and
// Administrators full control, Users read and set values (the add-on writes
// "requests" and "activitylogloc"). The guard gives it to a key it re-creates.
constexpr wchar_t kSettingsSddl[] = L"D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;;0x2001b;;;BU)";
constexpr DWORD kValueChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

RegistryKeyHandle Open(HKEY root, const std::wstring& path, REGSAM access) {
    RegistryKeyHandle key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.Put()) != ERROR_SUCCESS) key.Reset();
    return key;
}

// The most bytes of a held value the guard reads: the switches, the digest
// and the hint are far shorter. A longer value (anyone may write one into the
// settings key, an account into its own) is a changed value, put back, and
// never read whole: its type with no bytes stands for it.
constexpr DWORD kMaxHeldBytes = 64 * 1024;

// A value that grows between two reads (a save in progress) is read again at
// its new size rather than taken for deleted; one that keeps growing through
// every attempt is taken for deleted, and put back.
std::optional<StoredValue> ReadStored(HKEY key, const wchar_t* name) {
    if (!key) return std::nullopt;
    StoredValue value{0, std::vector<std::uint8_t>(256)};
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0, size = static_cast<DWORD>(value.bytes.size());
        LONG status = RegQueryValueExW(key, name, nullptr, &type, value.bytes.data(), &size);
        if (status == ERROR_SUCCESS) {
            value.type = type;
            value.bytes.resize(size);
            return value;
        }
        if (status != ERROR_MORE_DATA) return std::nullopt;
        if (size > kMaxHeldBytes) return StoredValue{kOversized, {}};
        value.bytes.resize(size);
    }
    return std::nullopt;
}

bool WriteStored(HKEY key, const wchar_t* name, const StoredValue& value) {
    return key && RegSetValueExW(key, name, 0, value.type, value.bytes.data(),
                                 static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

// The settings key for writing, re-created with the installer's access list
// when it was deleted.
RegistryKeyHandle OpenSettings() {
    RegistryKeyHandle key = Open(HKEY_LOCAL_MACHINE, kAddOnPath, KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (key) return key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | WRITE_DAC, nullptr, key.Put(),
                        &disposition) != ERROR_SUCCESS)
        return RegistryKeyHandle();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (disposition == REG_CREATED_NEW_KEY &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(kSettingsSddl, SDDL_REVISION_1,
                                                             &descriptor, nullptr)) {
        RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    return key;
}

// The profiles loaded under HKEY_USERS (their classes keys left out).
std::set<std::wstring> LoadedHives() {
    std::set<std::wstring> sids;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(HKEY_USERS, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::wstring sid(name, length);
        if (sid.rfind(L"S-1-", 0) == 0 && sid.find(L'_') == std::wstring::npos) sids.insert(sid);
    }
    return sids;
}

std::wstring Formatted(const SYSTEMTIME& at, bool date) {
    wchar_t text[128] = {};
    if (date)
        GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &at, nullptr, text, 128);
    else
        GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &at, nullptr, text, 128);
    return text;
}

}  // namespace

// The most keys watched: WaitForMultipleObjects waits on the stop event and
// one event for each.
constexpr std::size_t kMaxWatched = MAXIMUM_WAIT_OBJECTS - 1;

Guard::Guard(HANDLE stop, HANDLE eventSource) : stop_(stop), eventSource_(eventSource) {
    EnableGuardPrivileges();
}

void Guard::WatchKey(HKEY root, const std::wstring& path, bool subtree, DWORD filter) {
    if (watched_.size() == kMaxWatched) return;
    RegistryKeyHandle key = Open(root, path, KEY_NOTIFY);
    if (!key) return;
    if (events_.size() == watched_.size()) {
        events_.emplace_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!events_.back()) {
            events_.pop_back();
            return;
        }
    }
    HANDLE event = events_[watched_.size()].Get();
    ResetEvent(event);
    if (RegNotifyChangeKeyValue(key.Get(), subtree ? TRUE : FALSE, filter, event, TRUE) ==
        ERROR_SUCCESS)
        watched_.push_back(std::move(key));
}

namespace {

std::wstring Parent(const std::wstring& path) {
    std::size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

}  // namespace

// A key is watched for its values (and, with `subtree`, everything below it),
// and its parent for keys made or deleted, so that its deletion is seen. A
// key that is missing is waited for at the nearest key above it that exists.
// With `upTo`, every key above it up to that one is watched too: renaming any
// of them takes the key away (an account may rename the keys of its own hive).
void Guard::WatchPath(HKEY root, const std::wstring& path, bool subtree, const std::wstring& upTo) {
    std::wstring existing = path;
    while (!existing.empty() && !Open(root, existing, KEY_NOTIFY)) existing = Parent(existing);
    if (existing == path) WatchKey(root, path, subtree, kValueChanges);
    std::wstring above = existing == path ? Parent(existing) : existing;
    WatchKey(root, above, false, REG_NOTIFY_CHANGE_NAME);
    if (upTo.empty()) return;
    while (above.size() > upTo.size() && above.rfind(upTo, 0) == 0) {
        above = Parent(above);
        WatchKey(root, above, false, REG_NOTIFY_CHANGE_NAME);
    }
}

bool Guard::Arm() {
    // Closing a watched key may set its event: each event is reset before it
    // is given to a key again.
    watched_.clear();
    WatchPath(HKEY_LOCAL_MACHINE, L"Software\\Orvantix", true);  // the settings and the held copy
    WatchPath(HKEY_LOCAL_MACHINE, kPolicyPath, true);
    WatchKey(HKEY_USERS, L"", false, REG_NOTIFY_CHANGE_NAME);  // profiles loaded and unloaded
    for (const std::wstring& sid : watchedAccounts_) {
        WatchPath(HKEY_USERS, sid + L"\\" + kAddOnPath, false, sid);
        WatchPath(HKEY_USERS, sid + L"\\" + kPolicyPath, false);
    }
    return !watched_.empty();
}

void Guard::Record(GuardedValue what, const std::wstring& account,
                   const std::optional<StoredValue>& found, const StoredValue& wanted,
                   bool notPutBack) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    GuardRecord record;
    record.what = what;
    record.account = account;
    record.foundDeleted = !found;
    record.foundOn = SwitchReading(found).value_or(!SwitchReading(wanted).value_or(false));
    record.year = now.wYear;
    record.month = now.wMonth;
    record.day = now.wDay;
    record.hour = now.wHour;
    record.minute = now.wMinute;
    record.second = now.wSecond;
    record.notPutBack = notPutBack;
    AddRecord(record);
    if (!eventSource_ || notPutBack) return;
    std::wstring text = RecordText(record, Formatted(now, true), Formatted(now, false),
                                   account.empty() ? std::wstring() : AccountName(account));
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(eventSource_, EVENTLOG_WARNING_TYPE, 0, MSG_PUT_BACK, nullptr, 1, 0, strings,
                 nullptr);
}

template <typename Write>
void Guard::HoldPlace(const std::wstring& place, const std::optional<StoredValue>& found,
                      const std::optional<StoredValue>& wanted, bool firstSight, GuardedValue what,
                      const std::wstring& account, Write write) {
    GuardCase facts;
    facts.found = found;
    facts.wanted = wanted;
    if (auto it = lastWanted_.find(place); it != lastWanted_.end()) facts.lastWanted = it->second;
    facts.firstSight = firstSight;
    facts.isSwitch = what == GuardedValue::ActivityLogging || what == GuardedValue::Mode;
    if (wanted)
        lastWanted_[place] = *wanted;
    else
        lastWanted_.erase(place);
    GuardAction action = Decide(facts);
    if (action == GuardAction::Leave) {
        failed_.erase(place);
        return;
    }
    if (!write(*wanted)) {
        // Recorded once, until the place holds its value again.
        if (!failed_.insert(place).second) return;
        if (eventSource_) {
            const wchar_t* strings[] = {place.c_str()};
            ReportEventW(eventSource_, EVENTLOG_ERROR_TYPE, 0, MSG_WRITE_FAILED, nullptr, 1, 0,
                         strings, nullptr);
        }
        Record(what, account, found, *wanted, true);
        return;
    }
    failed_.erase(place);
    if (action == GuardAction::PutBack) Record(what, account, found, *wanted, false);
}

std::set<std::wstring> Guard::Check() {
    // Every place is read before the held copy and the policies: an
    // administrator writes the held copy first, so a place that shows an
    // administrator's change is never compared with the held value from
    // before it.
    const wchar_t* const names[] = {L"activitylogging", L"config", L"hint"};
    const GuardedValue whats[] = {GuardedValue::ActivityLogging, GuardedValue::Config,
                                  GuardedValue::Hint};
    std::optional<StoredValue> found[3];
    {
        RegistryKeyHandle settings = Open(HKEY_LOCAL_MACHINE, kAddOnPath, KEY_QUERY_VALUE);
        for (int i = 0; i < 3; ++i) found[i] = ReadStored(settings.Get(), names[i]);
    }
    std::set<std::wstring> loaded = LoadedHives();
    std::map<std::wstring, std::optional<StoredValue>> modes;
    for (const std::wstring& sid : loaded)
        modes[sid] = ReadStored(OpenAccountKey(sid, kAddOnPath, KEY_QUERY_VALUE, HiveOpen::Read).Get(),
                                L"mode");

    HeldValues held = LoadHeld();
    HeldValues policy = LoadMachinePolicy();

    // The settings of the computer.
    std::optional<StoredValue> wanted[3];
    if (std::optional<bool> on =
            policy.activityLogging ? policy.activityLogging : held.activityLogging)
        wanted[0] = SwitchValue(*on);
    if (held.password) {
        RegistryKeyHandle heldKey = Open(HKEY_LOCAL_MACHINE, kHeldPath, KEY_QUERY_VALUE);
        wanted[1] = ReadStored(heldKey.Get(), L"config");
        wanted[2] = ReadStored(heldKey.Get(), L"hint");
    }
    RegistryKeyHandle settings;  // opened (or re-created) at the first write
    for (int i = 0; i < 3; ++i)
        HoldPlace(names[i], found[i], wanted[i], false, whats[i], L"", [&](const StoredValue& v) {
            if (!settings) settings = OpenSettings();
            return WriteStored(settings.Get(), names[i], v);
        });

    // "mode" of each filtered account whose profile is loaded.
    std::set<std::wstring> filtered;
    for (const std::wstring& sid : loaded) {
        std::optional<bool> on = LoadUserPolicyMode(sid);
        if (!on)
            if (auto it = policy.accounts.find(sid); it != policy.accounts.end()) on = it->second;
        bool byHeldCopy = !on;
        if (!on)
            if (auto it = held.accounts.find(sid); it != held.accounts.end()) on = it->second;
        if (on && byHeldCopy && modes[sid] != SwitchValue(*on)) {
            // About to be put back: the held copy once more, since an
            // administrator who just chose this switch wrote the held copy
            // before the account's place, and this pass may have read the
            // copy from before.
            HeldValues now = LoadHeld();
            if (auto it = now.accounts.find(sid); it != now.accounts.end()) on = it->second;
        }
        const std::wstring place = sid + L"\\mode";
        if (!on) {
            lastWanted_.erase(place);
            continue;
        }
        filtered.insert(sid);
        bool firstSight = !firstPass_ && !seenHives_.count(sid);
        bool written = false;
        HoldPlace(place, modes[sid], SwitchValue(*on), firstSight, GuardedValue::Mode, sid,
                  [&](const StoredValue& v) {
                      // A key whose list refuses the guard is made the
                      // Administrators' first (Wine may open such a key and
                      // refuse only the write).
                      const bool on = v == SwitchValue(true);
                      return written = WriteHiveMode(sid, on) ||
                                       (HoldAccountKey(sid) && WriteHiveMode(sid, on));
                  });
        // A key the account just changed, or that the guard sees for the
        // first time in this profile, is made the Administrators' again.
        if (written || !seenHives_.count(sid)) HoldAccountKey(sid);
    }
    seenHives_ = loaded;
    firstPass_ = false;
    return filtered;
}

bool Guard::Run(const std::function<void()>& watching) {
    for (bool told = false;;) {
        if (!Arm()) return false;
        std::set<std::wstring> filtered = watchedAccounts_;
        try {
            filtered = Check();
        } catch (const std::exception&) {
            // Out of memory, most likely: the pass is given up, reported, and
            // the next change tries again; the guard never ends on bad data.
            if (eventSource_) {
                const wchar_t* strings[] = {L"(a pass over every held place)"};
                ReportEventW(eventSource_, EVENTLOG_ERROR_TYPE, 0, MSG_WRITE_FAILED, nullptr, 1,
                             0, strings, nullptr);
            }
        }
        if (filtered != watchedAccounts_) {
            // Accounts to watch came or went: watch them before waiting.
            watchedAccounts_ = std::move(filtered);
            continue;
        }
        if (!told && watching) watching();
        told = true;
        std::vector<HANDLE> waits = {stop_};
        for (std::size_t i = 0; i < watched_.size(); ++i) waits.push_back(events_[i].Get());
        DWORD woke =
            WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
        if (woke == WAIT_FAILED) return false;
        if (woke == WAIT_OBJECT_0 || woke >= WAIT_OBJECT_0 + waits.size()) return true;
    }
}

}  // namespace zendrel
