// Tells when another program changes the settings: the machine key (the
// add-on appends to "requests"), the user's key ("mode") or the program
// folder (urls.txt, which the command-line tool rewrites). Windows only; no
// window code.
//
// One thread waits on the system's change notifications and the stop event:
// nothing runs while nothing changes, and no timer polls.
#pragma once

#include <functional>
#include <thread>

#include "handles.h"

namespace zendrel {

class SettingsWatcher {
  public:
    enum class Change { MachineKey, UserKey, ProgramFolder };

    // Starts watching. onChange runs on the watcher's own thread, once for
    // each place as soon as it is watched (it may have changed since it was
    // read), then once for each burst of changes of one place; it must only
    // hand the news on (for example post a message to a window). A place
    // that cannot be watched (a key that cannot be opened) is left out.
    SettingsWatcher(const std::wstring& programFolder, std::function<void(Change)> onChange);
    // Stops the thread and closes every handle.
    ~SettingsWatcher();
    SettingsWatcher(const SettingsWatcher&) = delete;
    SettingsWatcher& operator=(const SettingsWatcher&) = delete;

  private:
    void Run();

    std::function<void(Change)> onChange_;
    KernelHandle stop_;
    RegistryKeyHandle machineKey_, userKey_;
    KernelHandle machineChanged_, userChanged_;
    ChangeNotificationHandle folderChanged_;
    std::thread thread_;
};

}  // namespace zendrel
