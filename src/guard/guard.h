// The guard's watch: waits on registry change notifications of the add-on's
// places, the held copy, Group Policy's keys and HKEY_USERS (for profiles
// that are loaded), and after each change puts back what guard_rules says.
// Windows only; the service and the console mode (main.cpp) both run it.
//
// Every watched key has an event of its own: the guard waits on the first 62
// itself and the thread pool on any beyond, so there is no limit to the keys
// watched: the computer's keys and
// HKEY_USERS, then one for each filtered account whose profile is loaded
// (its whole hive). A change of values in the settings key or in an
// account's hive is looked at alone (a few values read and compared with
// what was last put there);
// anything else, or a value that does not hold, makes a pass over every
// place. Changes that come in a stream are taken together, at most twenty
// times a second.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "guard_rules.h"
#include "handles.h"
#include "held_rules.h"

namespace zendrel {

class Guard {
  public:
    // The moments a test may step into (as the store's step hook does for
    // saves): BeforeModeReread comes after a pass has found an account's
    // "mode" changed and before it reads the held copy once more and puts it
    // back; `sid` is the account.
    enum class Step { BeforeModeReread };
    using StepHook = std::function<void(Step step, const std::wstring& sid)>;

    // eventSource: the event log's handle (RegisterEventSourceW), or null.
    Guard(HANDLE stop, HANDLE eventSource, StepHook hook = {});
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

    // Watches and puts back until `stop` is signalled; `watching` is called
    // once, when the first pass is done and its changes are watched. False
    // when the notifications could not be set up at all.
    bool Run(const std::function<void()>& watching = {});

    // The account is signing out (any thread may say so): its keys are let
    // go at once, so that Windows can unload its hive, and watched again only
    // if the hive is still loaded a minute later.
    void SignedOut(const std::wstring& sid);

  private:
    struct Watch;
    // What a change of a watched key asks for.
    enum class WatchKind {
        Names,          // keys made, deleted or renamed: set up every watch again
        Values,         // held copy, policy: a pass over every place
        Settings,       // the settings key's values: a look at those alone
        AccountValues,  // an account's hive: a look at its "mode" and user policy alone
    };

    // Closes every notification and sets them up again, for the keys as they
    // are now (deleted keys are watched through the nearest key above them
    // that exists).
    bool Arm();
    // Closes the notifications of one account (of every key: nullptr).
    void Disarm(const std::wstring* account = nullptr);
    void ArmAccount(const std::wstring& sid);
    void WatchPath(HKEY root, const std::wstring& path, WatchKind kind, bool subtree,
                   const std::wstring& upTo = {});
    void WatchKey(HKEY root, const std::wstring& path, WatchKind kind, bool subtree,
                  const std::wstring& account = {});
    // Asks again for the next change of a key whose change came in (each
    // notification reports one change); false when the key is gone.
    static bool Renotify(Watch& watch);
    static VOID CALLBACK Fired(PVOID context, BOOLEAN timedOut);
    // One pass over every held value; returns the filtered accounts whose
    // profile is loaded (each watched from the next pass on).
    std::set<std::wstring> Check();
    // The look at one change alone: true when every place it covers still
    // holds its value (then no pass is needed).
    bool SettingsHold();
    bool AccountHolds(const std::wstring& sid);
    // Puts back one account's "mode" as a pass does; the policies as the
    // last pass read them.
    void CheckAccount(const std::wstring& sid, const std::optional<StoredValue>& found,
                      const HeldValues& held, bool firstSight);
    // Compares one place with the value in effect there and writes it back
    // as Decide says; `write` writes the value.
    template <typename Write>
    void HoldPlace(const std::wstring& place, const std::optional<StoredValue>& found,
                   const std::optional<StoredValue>& wanted, bool firstSight, GuardedValue what,
                   const std::wstring& account, Write write);
    // Records a put-back, or (notPutBack) a place that could not be put back.
    void Record(GuardedValue what, const std::wstring& account,
                const std::optional<StoredValue>& found, const StoredValue& wanted,
                bool notPutBack);
    void ReportPassFailed(const wchar_t* what);

    HANDLE stop_;
    HANDLE eventSource_;
    StepHook hook_;
    // Set by the thread pool when any watched key changed.
    KernelHandle wake_;
    std::vector<std::unique_ptr<Watch>> watches_;
    std::set<std::wstring> watchedAccounts_;
    std::map<std::wstring, StoredValue> lastWanted_;
    std::set<std::wstring> seenHives_;
    // Each account's user policy as the last look at it read it.
    std::map<std::wstring, std::optional<bool>> userPolicy_;
    // Group Policy's values as the last pass that saw them change read them
    // (account names are looked up then only).
    HeldValues policy_;
    bool policyStale_ = true;
    // The places that could not be put back (recorded once each).
    std::set<std::wstring> failed_;
    // The record of each place's latest put-backs: those within a minute of
    // its first are counted in it (and make no event of their own).
    struct Burst {
        std::wstring name;
        GuardRecord record;
        ULONGLONG since = 0;
    };
    std::map<std::wstring, Burst> bursts_;
    bool firstPass_ = true;
    // Accounts signing out (from SignedOut) and since when they are let go.
    std::mutex signingOutMutex_;
    std::vector<std::wstring> signingOut_;
    std::map<std::wstring, ULONGLONG> letGo_;
};

}  // namespace zendrel
