#include "settings_store.h"

#include <windows.h>

#include "held_store.h"
#include "registry_wrapper.h"
#include "site_text.h"
#include "urls_file.h"

namespace zendrel {

namespace {

constexpr const wchar_t* kSource = kProgramName;
constexpr std::int32_t kRegSzType = REG_SZ;
constexpr std::int32_t kRegDwordType = REG_DWORD;
constexpr std::int32_t kRegMultiSzType = REG_MULTI_SZ;
// How often a save of "requests" works its text out again when the add-on
// changed the value meanwhile, before it writes anyway.
constexpr int kRequestAttempts = 20;
// The most of "requests" that is read, in bytes as the registry reports its
// size: some four million characters, hundreds of thousands of requests. Any
// user can write the value; one of hundreds of megabytes is reported, never
// read.
constexpr std::uint32_t kMaxRequestsBytes = 8 * 1024 * 1024;

StoreStepHook& StepHook() {
    static StoreStepHook hook;
    return hook;
}

void Step(StoreStep step, const wchar_t* name) {
    if (StepHook()) StepHook()(step, name);
}

RegistryWrapper SettingsKey(std::int32_t root) {
    RegistryWrapper key;
    key.hkey = root;
    key.KeyRoot = L"Software";
    key.Subkey = L"Orvantix\\Zendrel";
    return key;
}

RegistryWrapper MachineKey() {
    return SettingsKey(kHkeyLocalMachine);
}

RegistryWrapper UserKey() {
    return SettingsKey(kHkeyCurrentUser);
}

// A stored value as GetRegistryValue gives it (Empty when absent); one that
// exists but cannot be read is a failure, never the default.
Variant ReadValue(const RegistryWrapper& key, const wchar_t* name) {
    RegistryRead read = key.ReadRegistryValue(name);
    if (read.status == RegistryRead::Status::Unreadable)
        throw FailureFromWin32(static_cast<DWORD>(read.error), kSource);
    Step(StoreStep::Read, name);
    return read.value;
}

// "requests" as text, read only when it fits kMaxRequestsBytes: the registry
// cannot read a part of a value, so a longer one is a failure that says so,
// and neither its sites nor anything worked out from them are shown or written.
std::wstring ReadRequests(const RegistryWrapper& key) {
    RegistryRead read = key.ReadRegistryValue(L"requests", kMaxRequestsBytes);
    if (read.status == RegistryRead::Status::TooLong)
        throw Failure(kOverflow,
                      L"Overflow: the requested sites were not read, because the value "
                      L"\"requests\" holds " +
                          std::to_wstring((read.size + 1023) / 1024) + L" KB, more than the " +
                          std::to_wstring(kMaxRequestsBytes / 1024) +
                          L" KB that Zendrel reads. Nothing was changed in it. Delete the value "
                          L"\"requests\" of HKEY_LOCAL_MACHINE\\Software\\Orvantix\\Zendrel with "
                          L"the registry editor; the add-on records new requests again.",
                      kSource);
    if (read.status == RegistryRead::Status::Unreadable)
        throw FailureFromWin32(static_cast<DWORD>(read.error), kSource);
    Step(StoreStep::Read, L"requests");
    return read.value.ToText();
}

bool SwitchOn(const Variant& stored) {
    return stored.ToInt16() == 1;
}

// A registry write: refused when SetRegistryValue reports failure.
Outcome Write(const RegistryWrapper& key, const wchar_t* name, const Variant& value,
              std::int32_t type) {
    Step(StoreStep::Write, name);
    return key.SetRegistryValue(name, value, type) ? Outcome::Done() : Outcome::Refused();
}

// Runs one save, turning what it throws into its outcome.
template <typename Save>
Outcome Guarded(Save&& save) {
    try {
        return save();
    } catch (...) {
        return Outcome::From(CurrentFailure(kSource));
    }
}

}  // namespace

void SetStoreStepHook(StoreStepHook hook) {
    StepHook() = std::move(hook);
}

SettingsStore::SettingsStore(std::wstring programFolder)
    : programFolder_(std::move(programFolder)) {}

std::wstring SettingsStore::UrlsPath() const {
    return programFolder_ + L"\\urls.txt";
}

Holder SettingsStore::HolderOf(Setting which) const {
    switch (which) {
        case Setting::ActivityLogging: {
            if (LoadMachinePolicy().activityLogging) return Holder::Policy;
            return LoadHeld().activityLogging ? Holder::Administrator : Holder::None;
        }
        case Setting::Password:
            return LoadHeld().password ? Holder::Administrator : Holder::None;
        case Setting::Mode:
            return AccountMode(CurrentUserSid()).holder;
        case Setting::ApprovedSites:
        case Setting::RequestedSites:
            break;
    }
    return Holder::None;
}

template <typename T, typename Hold>
Outcome SettingsStore::HoldFirst(const std::optional<T>& policy, const std::optional<T>& held,
                                 const T& value, Hold&& hold, bool heldPresent) const {
    if (policy) return *policy == value ? Outcome::Done() : Outcome::Refused();
    if (held && *held == value) return Outcome::Done();
    if (held || (holdSaves_ && CanWriteHeld())) return hold();
    // Not held. Where there is a held copy (Setup holds every setting), the
    // add-on's place, which any user can write, is no place to set it: only a
    // caller who could hold it may.
    if (heldPresent && !CanWriteHeld()) return Outcome::Refused();
    return Outcome::Done();
}

PasswordSetting SettingsStore::LoadPassword() const {
    // The held digest is the password: a "config" that differs from it, in
    // the key any user can write, opens nothing.
    HeldValues held = LoadHeld();
    if (held.password) return *held.password;
    // With a held copy and no password in it, no password is set: the
    // add-on's "config" is then whatever some user wrote there.
    if (held.present) return {};
    RegistryWrapper key = MachineKey();
    if (!key.KeyExists()) key.CreateKey();
    if (!key.KeyExists())
        throw Failure(kPermissionDenied, L"Permission denied: the settings key cannot be read",
                      kSource);
    // A "config" that is no text may still stand for a password: it must not
    // open the settings as if none were set.
    RegistryRead config = key.ReadRegistryValue(L"config");
    if (config.status == RegistryRead::Status::Unreadable)
        throw FailureFromWin32(static_cast<DWORD>(config.error), kSource);
    if (config.status == RegistryRead::Status::Present && config.type != REG_SZ &&
        config.type != REG_EXPAND_SZ)
        throw Failure(kTypeMismatch, L"Type mismatch: the stored password is not text", kSource);
    return {config.value.ToText(), ReadValue(key, L"hint").ToText()};
}

LoadResult SettingsStore::Load() const {
    LoadResult result;
    Settings& s = result.settings;
    try {
        result.holds = LoadHolds();
        s.loadedUrlsBytes = LoadUrlsBytes();  // what a save compares urls.txt with
        s.approvedSites = UrlsFileSites(*s.loadedUrlsBytes);
        s.requestedSites = LoadRequestedSites();
        s.activityLogging = LoadActivityLogging(result.holds.policy, result.holds.held);
        s.mode = LoadMode(result.holds.mode);
    } catch (...) {
        result.failure = CurrentFailure(kSource);
    }
    return result;
}

std::vector<std::wstring> SettingsStore::LoadApprovedSites() const {
    return LoadUrlsFile(UrlsPath());
}

std::shared_ptr<const std::string> SettingsStore::LoadUrlsBytes() const {
    return std::make_shared<const std::string>(ReadUrlsFileBytes(UrlsPath()));
}

std::optional<UrlsChange> SettingsStore::LoadApprovedSitesIfChanged(
    const std::string& knownBytes) const {
    if (UrlsFileHolds(UrlsPath(), knownBytes)) return std::nullopt;
    std::string bytes = ReadUrlsFileBytes(UrlsPath());
    std::vector<std::wstring> known = UrlsFileSites(knownBytes);
    std::vector<std::wstring> sites = UrlsFileSites(bytes);
    if (sites == known) return std::nullopt;
    return UrlsChange{std::move(known), std::make_shared<const std::string>(std::move(bytes)),
                      std::move(sites)};
}

std::vector<std::wstring> SettingsStore::LoadRequestedSites() const {
    return SplitRequests(ReadRequests(MachineKey()));
}

bool SettingsStore::LoadActivityLogging() const {
    HeldValues policy = LoadMachinePolicy();
    return LoadActivityLogging(policy, policy.activityLogging ? HeldValues{} : LoadHeld());
}

bool SettingsStore::LoadActivityLogging(const HeldValues& policy, const HeldValues& held) const {
    if (policy.activityLogging) return *policy.activityLogging;
    if (held.activityLogging) return *held.activityLogging;
    return SwitchOn(ReadValue(MachineKey(), L"activitylogging"));
}

bool SettingsStore::LoadMode() const {
    return LoadMode(AccountMode(CurrentUserSid()));
}

bool SettingsStore::LoadMode(const Effective<bool>& mode) const {
    RegistryWrapper key = UserKey();
    if (!key.KeyExists()) {
        // A user who never had the key starts with the filter off.
        key.CreateKey();
        key.SetRegistryValue(L"mode", Variant(std::int32_t{0}), kRegDwordType);
    }
    if (mode.holder != Holder::None) return mode.value;
    return SwitchOn(ReadValue(key, L"mode"));
}

Outcome SettingsStore::Save(Setting which, const Settings& s) const {
    switch (which) {
        case Setting::ApprovedSites:
            if (!s.approvedSites) return Outcome::Skipped();
            return SaveApprovedSites(*s.approvedSites, s.loadedUrlsBytes);
        case Setting::RequestedSites:
            return s.requestedSites ? SaveRequestedSites(s.removedRequests) : Outcome::Skipped();
        case Setting::ActivityLogging:
            return s.activityLogging ? SaveActivityLogging(*s.activityLogging) : Outcome::Skipped();
        case Setting::Mode:
            return s.mode ? SaveMode(*s.mode) : Outcome::Skipped();
        case Setting::Password:
            return s.password ? SavePassword(*s.password) : Outcome::Skipped();
    }
    return Outcome::Skipped();
}

Outcome SettingsStore::SaveApprovedSites(const std::vector<std::wstring>& sites) const {
    return Guarded([&] {
        SaveUrlsFile(UrlsPath(), sites);
        return Outcome::Done();
    });
}

Outcome SettingsStore::SaveApprovedSites(
    const std::vector<std::wstring>& sites,
    const std::shared_ptr<const std::string>& loadedBytes) const {
    return loadedBytes ? SaveApprovedSites(sites, *loadedBytes) : SaveApprovedSites(sites);
}

Outcome SettingsStore::SaveApprovedSites(const std::vector<std::wstring>& sites,
                                         const std::string& loadedBytes) const {
    return Guarded([&] {
        std::optional<UrlsChange> now = LoadApprovedSitesIfChanged(loadedBytes);
        if (now)
            SaveUrlsFile(UrlsPath(), MergeChanges(now->loadedSites, sites, now->sites));
        else
            SaveUrlsFile(UrlsPath(), sites);  // (not in one ?: which would copy a long list)
        return Outcome::Done();
    });
}

Outcome SettingsStore::SaveRequestedSites(const std::vector<std::wstring>& removed) const {
    return Guarded([&] {
        // The add-on may have recorded requests since they were loaded: write
        // back what is stored now, less what this save approved or denied.
        // It appends by reading and writing the whole value, at any moment:
        // the value is read once more just before the write, and the new text
        // is worked out again whenever it changed meanwhile, so that an entry
        // it added while this save worked is not written over. With nothing
        // approved or denied the value stays the add-on's, untouched.
        if (removed.empty()) return Outcome::Done();
        RegistryWrapper key = MachineKey();
        std::wstring stored = ReadRequests(key);
        for (int attempt = 0;; ++attempt) {
            Variant text(JoinRequests(WithoutRemoved(SplitRequests(stored), removed)));
            std::wstring now = ReadRequests(key);
            if (now == stored) return Write(key, L"requests", text, kRegMultiSzType);
            if (attempt == kRequestAttempts)
                return Write(key, L"requests",
                             Variant(JoinRequests(WithoutRemoved(SplitRequests(now), removed))),
                             kRegMultiSzType);
            stored = std::move(now);
        }
    });
}

Outcome SettingsStore::SaveActivityLogging(bool on) const {
    return Guarded([&] {
        HeldValues kept = LoadHeld();
        Outcome held = HoldFirst(LoadMachinePolicy().activityLogging, kept.activityLogging, on,
                                 [&] { return HoldActivityLogging(on); }, kept.present);
        if (held.kind != Outcome::Kind::Done) return held;
        return Write(MachineKey(), L"activitylogging", Variant(std::int32_t{on}), kRegDwordType);
    });
}

Outcome SettingsStore::SaveMode(bool on) const {
    return Guarded([&] {
        // A held switch changes only in the list of filtered accounts.
        Effective<bool> mode = AccountMode(CurrentUserSid());
        if (mode.holder != Holder::None && mode.value != on) return Outcome::Refused();
        return Write(UserKey(), L"mode", Variant(std::int32_t{on}), kRegDwordType);
    });
}

Outcome SettingsStore::SavePassword(const PasswordSetting& password) const {
    return Guarded([&] {
        HeldValues kept = LoadHeld();
        Outcome held = HoldFirst(std::optional<PasswordSetting>(), kept.password, password,
                                 [&] { return HoldPassword(password); }, kept.present);
        if (held.kind != Outcome::Kind::Done) return held;
        RegistryWrapper key = MachineKey();
        if (!key.KeyExists()) key.CreateKey();
        Outcome config = Write(key, L"config", Variant(password.digest), kRegSzType);
        if (config.kind != Outcome::Kind::Done) return config;
        return Write(key, L"hint", Variant(password.hint), kRegSzType);
    });
}

std::wstring SettingsStore::ActivityLogLocation() const {
    // The place the administrator holds, not one that some user wrote.
    if (std::optional<std::wstring> held = LoadHeld().logPlace) return *held;
    return MachineKey().GetRegistryValue(L"activitylogloc").ToText();
}

}  // namespace zendrel
