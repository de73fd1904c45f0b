// The guard's watch: waits on registry change notifications of the add-on's
// places, the held copy, Group Policy's keys and HKEY_USERS (for profiles
// that are loaded), and after each change puts back what guard_rules says.
// Windows only; the service and the console mode (main.cpp) both run it.
// At most 63 keys are watched (one wait): the computer's keys and HKEY_USERS
// first, then six for each filtered account whose profile is loaded (its
// settings key, the keys above it up to its hive, its user-policy key and
// that key's parent); an account beyond those is still checked at every
// wake, but not watched.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
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
    // eventSource: the event log's handle (RegisterEventSourceW), or null.
    Guard(HANDLE stop, HANDLE eventSource);

    // Watches and puts back until `stop` is signalled; `watching` is called
    // once, when the first pass is done and its changes are watched. False
    // when the notifications could not be set up at all.
    bool Run(const std::function<void()>& watching = {});

  private:
    // Closes the notifications of the last pass and sets them up again, for
    // the keys as they are now (deleted keys are watched through the nearest
    // key above them that exists).
    bool Arm();
    void WatchPath(HKEY root, const std::wstring& path, bool subtree,
                   const std::wstring& upTo = {});
    void WatchKey(HKEY root, const std::wstring& path, bool subtree, DWORD filter);
    // One pass over every held value; returns the filtered accounts whose
    // profile is loaded (each watched from the next pass on).
    std::set<std::wstring> Check();
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

    HANDLE stop_;
    HANDLE eventSource_;
    // One event for each watched key (Wine resets a notification's event
    // when it is set up, so a shared one could lose a change that came in
    // meanwhile); events_[i] belongs to watched_[i].
    std::vector<KernelHandle> events_;
    std::vector<RegistryKeyHandle> watched_;
    std::set<std::wstring> watchedAccounts_;
    std::map<std::wstring, StoredValue> lastWanted_;
    std::set<std::wstring> seenHives_;
    // The places that could not be put back (recorded once each).
    std::set<std::wstring> failed_;
    bool firstPass_ = true;
};

}  // namespace zendrel
