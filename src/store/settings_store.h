// The store: loads and saves every setting of Zendrel. Windows only, and no
// window code: it shows nothing and returns what happened as a value.
//
// Settings key Software\Orvantix\Zendrel:
//   HKLM "requests"         REG_MULTI_SZ  requested sites (the add-on appends to it)
//   HKLM "activitylogging"  REG_DWORD     1 = activity logging on
//   HKLM "config"           REG_SZ        digest text of the password; empty: none
//   HKLM "hint"             REG_SZ        the password's hint
//   HKLM "activitylogloc"   text          the activity log's path (the add-on writes it)
//   HKCU "mode"             REG_DWORD     1 = the filter is on for this user
// urls.txt in the program's folder: one approved site per line, ANSI, CR LF;
// the add-on reads it. Every registry operation opens the key afresh.
//
// Held settings (held_store.h): each load gives the value in effect, Group
// Policy's, else the administrator's held copy, else the add-on's own; with
// nothing held, loads and saves are those of the add-on's places alone. A save
// of a held setting writes the held copy first, and is refused (nothing
// written) when the value differs from a policy's, or from a held copy the
// caller cannot write; a save of the value held writes the add-on's place.
// Where a held copy is present (an installed computer), a setting not held in
// it is saved only by a caller who can write the held copy.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "held_rules.h"
#include "settings.h"

namespace zendrel {

class RegistryWrapper;

// What a load of the lists and switches gave: every setting loaded before a
// failure is set; the one that failed and those after it stay absent.
struct LoadResult {
    Settings settings;
    std::optional<Failure> failure;
    // Who held the switches as they loaded (the window shows it): read once,
    // before the settings.
    Holds holds;
};

// For tests: a step of the store's registry work, seen by the hook below
// after each value is read and before each value is written.
enum class StoreStep { Read, Write };
using StoreStepHook = std::function<void(StoreStep step, const wchar_t* valueName)>;
// Sets (or, with an empty hook, clears) the hook of every store of this
// process, so that a test can change a value between two steps of a save.
// Not for use while another thread loads or saves.
void SetStoreStepHook(StoreStepHook hook);

class SettingsStore {
  public:
    // programFolder: the folder of urls.txt, without a trailing separator.
    explicit SettingsStore(std::wstring programFolder);

    // Whether an administrator's saves of activity logging and the password
    // hold them (the window and the tool turn it on): a caller who can write
    // the held copy then writes it before the add-on's place. Off, only a
    // setting already held is written there.
    void HoldSaves(bool hold) { holdSaves_ = hold; }

    // Who holds each setting now (Mode: the current user's switch).
    Holder HolderOf(Setting which) const;

    const std::wstring& ProgramFolder() const { return programFolder_; }
    std::wstring UrlsPath() const;

    // The stored digest and hint. Creates the machine key when it is missing.
    // Throws Failure when a password may be stored that cannot be read (the
    // key can be neither read nor created: kPermissionDenied; "config" is unreadable, or no
    // text: 13), so the caller must not open the settings.
    PasswordSetting LoadPassword() const;

    // Who holds the switches, then the approved sites, requested sites,
    // activity logging and mode, in that order, stopping at the first
    // failure. Loading "mode" creates the user's key with "mode" 0 when the
    // key is missing.
    LoadResult Load() const;

    // Each loader throws Failure. A stored switch is on only for exactly 1;
    // a value that is no number, or outside 16 bits, is a failure (kTypeMismatch or kOverflow).
    std::vector<std::wstring> LoadApprovedSites() const;
    // urls.txt's bytes, for a later save or re-read to compare with.
    std::shared_ptr<const std::string> LoadUrlsBytes() const;
    // urls.txt as it stands now, when it no longer holds the sites that
    // `knownBytes` hold (the bytes alone tell that in most cases, without
    // working out any sites); nullopt when it does.
    std::optional<UrlsChange> LoadApprovedSitesIfChanged(const std::string& knownBytes) const;
    std::vector<std::wstring> LoadRequestedSites() const;
    bool LoadActivityLogging() const;
    bool LoadMode() const;

    // Writes one setting of `settings`, Skipped when it is absent there.
    Outcome Save(Setting which, const Settings& settings) const;

    Outcome SaveApprovedSites(const std::vector<std::wstring>& sites) const;
    // Writes `sites` when urls.txt still holds the sites of `loadedBytes`
    // (its bytes as loaded); otherwise the file as it stands now, less one row
    // for each row removed since the load and with the rows added since
    // appended.
    Outcome SaveApprovedSites(const std::vector<std::wstring>& sites,
                              const std::string& loadedBytes) const;
    // One of the two above: the merge when urls.txt's bytes as loaded are
    // known, else `sites` as they are.
    Outcome SaveApprovedSites(const std::vector<std::wstring>& sites,
                              const std::shared_ptr<const std::string>& loadedBytes) const;
    // Writes back the requests stored now (the add-on may have added some
    // since they were loaded) less one entry for each removed one: the
    // non-empty entries, in order. A value that cannot be read is a failure,
    // and so is one longer than the store reads (LoadRequestedSites too).
    // With nothing removed nothing is written (Done).
    Outcome SaveRequestedSites(const std::vector<std::wstring>& removed) const;
    Outcome SaveActivityLogging(bool on) const;
    Outcome SaveMode(bool on) const;
    // Writes "config", then "hint"; a refused "config" leaves "hint" as it was.
    Outcome SavePassword(const PasswordSetting& password) const;

    // The activity log's path: the place held, else the one the add-on
    // recorded; empty: no log yet.
    std::wstring ActivityLogLocation() const;

  private:
    bool LoadActivityLogging(const HeldValues& policy, const HeldValues& held) const;
    bool LoadMode(const Effective<bool>& mode) const;
    // Writes the held copy when the save needs it; Done when it did or had
    // nothing to do, the refusal otherwise (also for a setting that is not
    // held when a held copy is present and the caller cannot write it).
    template <typename T, typename Hold>
    Outcome HoldFirst(const std::optional<T>& policy, const std::optional<T>& held, const T& value,
                      Hold&& hold, bool heldPresent) const;

    std::wstring programFolder_;
    bool holdSaves_ = false;
};

}  // namespace zendrel
