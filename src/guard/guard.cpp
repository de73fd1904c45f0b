#include "guard.h"

#include <algorithm>
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
    if (disposition == REG_CREATED_NEW_KEY)
        if (LocalMemoryHandle descriptor = DescriptorOf(kSettingsSddl))
            RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.Get());
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

// A watched key: its notification's event is waited on by the thread pool,
// which marks it fired and wakes the guard.
struct Guard::Watch {
    HKEY root = nullptr;
    std::wstring path;
    WatchKind kind = WatchKind::Names;
    bool subtree = false;
    DWORD filter = 0;
    std::wstring account;  // AccountValues: whose settings key
    bool policy = false;   // a Group Policy key: its values are read again
    RegistryKeyHandle key;
    KernelHandle event;    // auto-reset: one wake for each notification
    HANDLE wait = nullptr;  // the thread pool's wait; none for one the guard waits on itself
    HANDLE wake = nullptr;
    std::atomic<bool> fired{false};
};

namespace {

std::wstring Parent(const std::wstring& path) {
    std::size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

constexpr ULONGLONG kBurstMs = 60'000;
// Wakes closer together than this are a stream of changes.
constexpr DWORD kStreamMs = 50;
// The keys the guard waits on itself: one wait takes 64 handles, two of them
// the stop and wake events.
// How long an account signing out is let go while its hive stays loaded.
constexpr DWORD kLetGoMs = 60'000;
constexpr std::ptrdiff_t kOwnWaits = MAXIMUM_WAIT_OBJECTS - 2;

}  // namespace

Guard::Guard(HANDLE stop, HANDLE eventSource, StepHook hook)
    : stop_(stop), eventSource_(eventSource), hook_(std::move(hook)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    EnableGuardPrivileges();
}

void Guard::SignedOut(const std::wstring& sid) {
    {
        std::lock_guard<std::mutex> lock(signingOutMutex_);
        signingOut_.push_back(sid);
    }
    SetEvent(wake_.Get());
}

Guard::~Guard() {
    Disarm();
}

void Guard::WatchKey(HKEY root, const std::wstring& path, WatchKind kind, bool subtree,
                     const std::wstring& account) {
    auto watch = std::make_unique<Watch>();
    watch->root = root;
    watch->path = path;
    watch->kind = kind;
    watch->subtree = subtree;
    watch->filter = kind == WatchKind::Names ? REG_NOTIFY_CHANGE_NAME : kValueChanges;
    watch->account = account;
    watch->policy = path.find(L"Policies") != std::wstring::npos;
    watch->key = Open(root, path, KEY_NOTIFY);
    if (!watch->key) return;
    watch->event.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    watch->wake = wake_.Get();
    if (!watch->key || !watch->event || !Renotify(*watch)) return;
    // The guard's own wait takes the first keys (beside the stop and wake
    // events); the thread pool those beyond, each thread of it costing about
    // as much memory as the guard without it.
    const auto own = std::count_if(watches_.begin(), watches_.end(),
                                   [](const std::unique_ptr<Watch>& w) { return !w->wait; });
    if (own >= kOwnWaits &&
        !RegisterWaitForSingleObject(&watch->wait, watch->event.Get(), Fired, watch.get(),
                                     INFINITE, WT_EXECUTEDEFAULT))
        return;
    watches_.push_back(std::move(watch));
}

// Called by the thread pool when a watched key's notification came in.
VOID CALLBACK Guard::Fired(PVOID context, BOOLEAN) {
    auto* watch = static_cast<Watch*>(context);
    watch->fired.store(true);
    SetEvent(watch->wake);
}

bool Guard::Renotify(Watch& watch) {
    return RegNotifyChangeKeyValue(watch.key.Get(), watch.subtree ? TRUE : FALSE, watch.filter,
                                   watch.event.Get(), TRUE) == ERROR_SUCCESS;
}

// A key is watched as `kind` says (and, with `subtree`, everything below it),
// and its parent for keys made or deleted, so that its deletion is seen. A
// key that is missing is waited for at the nearest key above it that exists.
// With `upTo`, every key above it up to that one is watched too: renaming any
// of them takes the key away.
void Guard::WatchPath(HKEY root, const std::wstring& path, WatchKind kind, bool subtree,
                      const std::wstring& upTo) {
    std::wstring existing = path;
    while (!existing.empty() && !Open(root, existing, KEY_NOTIFY)) existing = Parent(existing);
    if (existing == path) WatchKey(root, path, kind, subtree);
    std::wstring above = existing == path ? Parent(existing) : existing;
    WatchKey(root, above, WatchKind::Names, false);
    if (upTo.empty()) return;
    while (above.size() > upTo.size() && above.rfind(upTo, 0) == 0) {
        above = Parent(above);
        WatchKey(root, above, WatchKind::Names, false);
    }
}

void Guard::Disarm(const std::wstring* account) {
    // Each wait is removed (and its callbacks finished) before its watch goes.
    auto gone = [&](const std::unique_ptr<Watch>& watch) {
        return !account || watch->account == *account;
    };
    for (const std::unique_ptr<Watch>& watch : watches_)
        if (gone(watch) && watch->wait) UnregisterWaitEx(watch->wait, INVALID_HANDLE_VALUE);
    watches_.erase(std::remove_if(watches_.begin(), watches_.end(), gone), watches_.end());
}

bool Guard::Arm() {
    Disarm();
    if (!wake_) return false;
    WatchPath(HKEY_LOCAL_MACHINE, kAddOnPath, WatchKind::Settings, false, L"Software");
    WatchKey(HKEY_LOCAL_MACHINE, kHeldPath, WatchKind::Values, false);
    WatchKey(HKEY_LOCAL_MACHINE, kHeldAccountsPath, WatchKind::Values, false);
    WatchPath(HKEY_LOCAL_MACHINE, kPolicyPath, WatchKind::Values, true);
    WatchKey(HKEY_USERS, L"", WatchKind::Names, false);  // profiles loaded and unloaded
    for (const std::wstring& sid : watchedAccounts_) ArmAccount(sid);
    return !watches_.empty();
}

// One key for each account: its whole hive, for values set and keys made,
// deleted or renamed anywhere in it (its settings key, its user-policy key,
// the keys above them: the account may rename the keys of its own hive, and
// a missing key is made at some time). The hive's root cannot be renamed.
void Guard::ArmAccount(const std::wstring& sid) {
    if (letGo_.count(sid)) return;
    WatchKey(HKEY_USERS, sid, WatchKind::AccountValues, true, sid);
}

void Guard::Record(GuardedValue what, const std::wstring& account,
                   const std::optional<StoredValue>& found, const StoredValue& wanted,
                   bool notPutBack) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const ULONGLONG tick = GetTickCount64();
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
    const std::wstring place = RecordPlace(record);
    // A put-back within a minute of the place's last record is counted in it:
    // a loop of changes neither floods the records nor the event log.
    if (auto it = bursts_.find(place); it != bursts_.end() && !notPutBack &&
                                       !it->second.record.notPutBack &&
                                       tick - it->second.since < kBurstMs) {
        GuardRecord& counted = it->second.record;
        ++counted.count;
        counted.untilHour = now.wHour;
        counted.untilMinute = now.wMinute;
        counted.untilSecond = now.wSecond;
        counted.shown = false;
        if (UpdateRecord(it->second.name, counted)) return;
    }
    std::optional<std::wstring> name = AddRecord(record);
    if (name)
        bursts_[place] = {*name, record, tick};
    else
        bursts_.erase(place);
    if (!eventSource_ || notPutBack) return;
    std::wstring text = RecordText(record, Formatted(now, true), Formatted(now, false),
                                   account.empty() ? std::wstring() : AccountName(account));
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(eventSource_, EVENTLOG_WARNING_TYPE, 0, MSG_PUT_BACK, nullptr, 1, 0, strings,
                 nullptr);
}

void Guard::ReportPassFailed(const wchar_t* what) {
    if (!eventSource_) return;
    const wchar_t* strings[] = {what};
    ReportEventW(eventSource_, EVENTLOG_ERROR_TYPE, 0, MSG_PASS_FAILED, nullptr, 1, 0, strings,
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

namespace {

// The values of the settings key that the guard holds, in GuardedValue's
// order of the computer's settings.
constexpr const wchar_t* kSettingsNames[] = {L"activitylogging", L"config", L"hint",
                                             L"activitylogloc"};
constexpr GuardedValue kSettingsWhats[] = {GuardedValue::ActivityLogging, GuardedValue::Config,
                                           GuardedValue::Hint, GuardedValue::LogPlace};
constexpr std::size_t kSettingsCount = std::size(kSettingsNames);

std::optional<StoredValue> ModeFound(const std::wstring& sid) {
    return ReadStored(OpenAccountKey(sid, kAddOnPath, KEY_QUERY_VALUE, HiveOpen::Read).Get(),
                      L"mode");
}

}  // namespace

bool Guard::SettingsHold() {
    RegistryKeyHandle settings = Open(HKEY_LOCAL_MACHINE, kAddOnPath, KEY_QUERY_VALUE);
    for (std::size_t i = 0; i < kSettingsCount; ++i) {
        auto it = lastWanted_.find(kSettingsNames[i]);
        if (it == lastWanted_.end()) continue;  // not held
        GuardCase facts{ReadStored(settings.Get(), kSettingsNames[i]), it->second, it->second,
                        false, i == 0};
        if (Decide(facts) != GuardAction::Leave) return false;
    }
    return true;
}

bool Guard::AccountHolds(const std::wstring& sid) {
    // Its user policy as the last look read it, and its "mode" as put there.
    auto policy = userPolicy_.find(sid);
    if (policy == userPolicy_.end() || policy->second != LoadUserPolicyMode(sid)) return false;
    auto it = lastWanted_.find(sid + L"\\mode");
    if (it == lastWanted_.end()) return true;  // no longer filtered
    GuardCase facts{ModeFound(sid), it->second, it->second, false, true};
    return Decide(facts) == GuardAction::Leave;
}

void Guard::CheckAccount(const std::wstring& sid, const std::optional<StoredValue>& found,
                         const HeldValues& held, bool firstSight) {
    std::optional<bool> on = LoadUserPolicyMode(sid);
    userPolicy_[sid] = on;
    if (!on)
        if (auto it = policy_.accounts.find(sid); it != policy_.accounts.end()) on = it->second;
    bool byHeldCopy = !on;
    if (!on)
        if (auto it = held.accounts.find(sid); it != held.accounts.end()) on = it->second;
    if (on && byHeldCopy && found != SwitchValue(*on)) {
        // About to be put back: the held copy once more, since an
        // administrator who just chose this switch wrote the held copy before
        // the account's place, and this pass may have read the copy from
        // before.
        if (hook_) hook_(Step::BeforeModeReread, sid);
        HeldValues now = LoadHeld();
        auto it = now.accounts.find(sid);
        on = it != now.accounts.end() ? std::optional<bool>(it->second) : std::nullopt;
    }
    const std::wstring place = sid + L"\\mode";
    if (!on) {
        lastWanted_.erase(place);
        return;
    }
    bool written = false;
    HoldPlace(place, found, SwitchValue(*on), firstSight, GuardedValue::Mode, sid,
              [&](const StoredValue& v) {
                  // A key whose list refuses the guard is made the
                  // Administrators' first (Wine may open such a key and
                  // refuse only the write).
                  const bool on = v == SwitchValue(true);
                  return written = WriteHiveMode(sid, on) ||
                                   (HoldAccountKey(sid) && WriteHiveMode(sid, on));
              });
    // A key the account just changed, or that the guard sees for the first
    // time in this profile, is made the Administrators' again.
    if (written || !seenHives_.count(sid)) HoldAccountKey(sid);
}

std::set<std::wstring> Guard::Check() {
    // Every place is read before the held copy and the policies: an
    // administrator writes the held copy first, so a place that shows an
    // administrator's change is never compared with the held value from
    // before it.
    std::optional<StoredValue> found[kSettingsCount];
    {
        RegistryKeyHandle settings = Open(HKEY_LOCAL_MACHINE, kAddOnPath, KEY_QUERY_VALUE);
        for (std::size_t i = 0; i < kSettingsCount; ++i)
            found[i] = ReadStored(settings.Get(), kSettingsNames[i]);
    }
    std::set<std::wstring> loaded = LoadedHives();
    std::map<std::wstring, std::optional<StoredValue>> modes;
    for (const std::wstring& sid : loaded) modes[sid] = ModeFound(sid);

    HeldValues held = LoadHeld();
    if (policyStale_) {
        policy_ = LoadMachinePolicy();
        policyStale_ = false;
    }

    // The settings of the computer.
    std::optional<StoredValue> wanted[kSettingsCount];
    if (std::optional<bool> on =
            policy_.activityLogging ? policy_.activityLogging : held.activityLogging)
        wanted[0] = SwitchValue(*on);
    if (held.password || held.logPlace) {
        RegistryKeyHandle heldKey = Open(HKEY_LOCAL_MACHINE, kHeldPath, KEY_QUERY_VALUE);
        if (held.password) {
            wanted[1] = ReadStored(heldKey.Get(), L"config");
            wanted[2] = ReadStored(heldKey.Get(), L"hint");
        }
        if (held.logPlace) wanted[3] = ReadStored(heldKey.Get(), L"activitylogloc");
    }
    RegistryKeyHandle settings;  // opened (or re-created) at the first write
    for (std::size_t i = 0; i < kSettingsCount; ++i)
        HoldPlace(kSettingsNames[i], found[i], wanted[i], false, kSettingsWhats[i], L"",
                  [&](const StoredValue& v) {
                      if (!settings) settings = OpenSettings();
                      return WriteStored(settings.Get(), kSettingsNames[i], v);
                  });

    // "mode" of each filtered account whose profile is loaded.
    std::set<std::wstring> filtered;
    for (const std::wstring& sid : loaded) {
        CheckAccount(sid, modes[sid], held, !firstPass_ && !seenHives_.count(sid));
        if (lastWanted_.count(sid + L"\\mode")) filtered.insert(sid);
    }
    seenHives_ = loaded;
    firstPass_ = false;
    return filtered;
}

bool Guard::Run(const std::function<void()>& watching) {
    bool rearm = true, full = true, settingsChanged = false;
    std::set<std::wstring> accountsChanged, accountsAgain;
    ULONGLONG lastWake = 0;
    for (bool told = false;;) {
        if (rearm && !Arm()) return false;
        try {
            // A change that one look settles costs a few reads; one that
            // does not hold makes a pass.
            if (!full && settingsChanged && !SettingsHold()) full = true;
            if (!full)
                for (const std::wstring& sid : accountsChanged)
                    if (!AccountHolds(sid))
                        CheckAccount(sid, ModeFound(sid), LoadHeld(), false);
            if (full) {
                std::set<std::wstring> filtered = Check();
                if (filtered != watchedAccounts_) {
                    // Accounts to watch came or went: watch them before waiting.
                    watchedAccounts_ = std::move(filtered);
                    rearm = true;
                    continue;
                }
            }
        } catch (const std::exception&) {
            // Out of memory, most likely: the pass is given up, reported, and
            // the next change tries again; the guard never ends on bad data.
            ReportPassFailed(L"a pass over every held place");
        }
        if (!told && watching) watching();
        told = true;

        std::vector<HANDLE> waits = {stop_, wake_.Get()};
        std::vector<Watch*> own;
        for (const std::unique_ptr<Watch>& watch : watches_)
            if (!watch->wait) {
                waits.push_back(watch->event.Get());
                own.push_back(watch.get());
            }
        DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(),
                                            FALSE, letGo_.empty() ? INFINITE : kLetGoMs);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED ||
            (woke >= WAIT_OBJECT_0 + waits.size() && woke != WAIT_TIMEOUT))
            return woke == WAIT_OBJECT_0;
        if (woke >= WAIT_OBJECT_0 + 2 && woke < WAIT_OBJECT_0 + waits.size())
            own[woke - WAIT_OBJECT_0 - 2]->fired = true;
        // A stream of changes (a loop writing the settings key) is taken
        // 50 ms at a time: the notifications of that time come in as one.
        const ULONGLONG now = GetTickCount64();
        if (now - lastWake < kStreamMs && WaitForSingleObject(stop_, kStreamMs) == WAIT_OBJECT_0)
            return true;
        lastWake = GetTickCount64();
        for (Watch* watch : own)
            if (WaitForSingleObject(watch->event.Get(), 0) == WAIT_OBJECT_0) watch->fired = true;
        // Accounts let go at sign-out: those whose hive is still loaded after
        // a minute are watched again (and looked at).
        {
            std::lock_guard<std::mutex> lock(signingOutMutex_);
            for (const std::wstring& sid : signingOut_) {
                Disarm(&sid);
                letGo_[sid] = GetTickCount64();
            }
            signingOut_.clear();
        }
        for (auto it = letGo_.begin(); it != letGo_.end();) {
            const bool loaded = HiveLoaded(it->first);
            if (loaded && GetTickCount64() - it->second < kLetGoMs) {
                ++it;
                continue;
            }
            const std::wstring sid = it->first;
            it = letGo_.erase(it);
            if (loaded && watchedAccounts_.count(sid)) {
                ArmAccount(sid);
                accountsAgain.insert(sid);
            }
        }
        rearm = full = settingsChanged = false;
        accountsChanged = std::move(accountsAgain);
        accountsAgain.clear();
        std::set<std::wstring> accountsMoved;
        for (const std::unique_ptr<Watch>& watch : watches_) {
            if (!watch->fired.exchange(false)) continue;
            // Asked again before anything is read: a change from now on
            // wakes the guard again.
            if (watch->kind == WatchKind::Names || !Renotify(*watch)) {
                if (watch->account.empty())
                    rearm = full = true;
                else
                    accountsMoved.insert(watch->account);
                continue;
            }
            switch (watch->kind) {
                case WatchKind::Values:
                    full = true;
                    policyStale_ = policyStale_ || watch->policy;
                    break;
                case WatchKind::Settings:
                    settingsChanged = true;
                    break;
                case WatchKind::AccountValues:
                    accountsChanged.insert(watch->account);
                    break;
                case WatchKind::Names:
                    break;
            }
        }
        if (rearm) {
            policyStale_ = true;
            continue;
        }
        // Keys made, deleted or renamed in an account's hive: its watches
        // are set up again for the keys as they are now, and its "mode" looked at.
        for (const std::wstring& sid : accountsMoved) {
            Disarm(&sid);
            ArmAccount(sid);
            accountsChanged.insert(sid);
        }
    }
}

}  // namespace zendrel
