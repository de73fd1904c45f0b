#include "settings_watcher.h"

#include <vector>

namespace zendrel {

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Orvantix\\Zendrel";
constexpr DWORD kKeyChanges = REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME;
constexpr DWORD kFolderChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

// The settings key below root, opened for change notification only.
RegistryKeyHandle OpenForNotification(HKEY root) {
    RegistryKeyHandle key;
    RegOpenKeyExW(root, kSettingsKey, 0, KEY_NOTIFY, key.Put());
    return key;
}

// Asks for the next change of the key; false when the key cannot be watched.
bool Arm(const RegistryKeyHandle& key, const KernelHandle& event) {
    return key && event &&
           RegNotifyChangeKeyValue(key.Get(), FALSE, kKeyChanges, event.Get(), TRUE) ==
               ERROR_SUCCESS;
}

}  // namespace

SettingsWatcher::SettingsWatcher(const std::wstring& programFolder,
                                 std::function<void(Change)> onChange)
    : onChange_(std::move(onChange)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      machineKey_(OpenForNotification(HKEY_LOCAL_MACHINE)),
      userKey_(OpenForNotification(HKEY_CURRENT_USER)),
      machineChanged_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      userChanged_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      folderChanged_(FindFirstChangeNotificationW(programFolder.c_str(), FALSE, kFolderChanges)) {
    if (!stop_) return;
    // A notification asked for by a thread ends with that thread: the watcher
    // thread arms the keys itself.
    thread_ = std::thread([this] { Run(); });
}

SettingsWatcher::~SettingsWatcher() {
    if (thread_.joinable()) {
        SetEvent(stop_.Get());
        thread_.join();
    }
}

void SettingsWatcher::Run() {
    bool machine = Arm(machineKey_, machineChanged_);
    bool user = Arm(userKey_, userChanged_);
    // What changed after the settings were read and before the watch began
    // is told as well: each place watched is reported once now.
    if (machine) onChange_(Change::MachineKey);
    if (user) onChange_(Change::UserKey);
    if (folderChanged_) onChange_(Change::ProgramFolder);
    for (;;) {
        std::vector<HANDLE> handles{stop_.Get()};
        std::vector<Change> changes{Change::MachineKey};  // [0] unused: the stop event
        auto watch = [&](HANDLE handle, Change change) {
            handles.push_back(handle);
            changes.push_back(change);
        };
        if (machine) watch(machineChanged_.Get(), Change::MachineKey);
        if (user) watch(userChanged_.Get(), Change::UserKey);
        if (folderChanged_) watch(folderChanged_.Get(), Change::ProgramFolder);
        DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                            FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 || woke >= WAIT_OBJECT_0 + handles.size()) return;
        Change change = changes[woke - WAIT_OBJECT_0];
        // Ask for the next change before reporting this one, so none is missed.
        if (change == Change::MachineKey) machine = Arm(machineKey_, machineChanged_);
        if (change == Change::UserKey) user = Arm(userKey_, userChanged_);
        if (change == Change::ProgramFolder && !FindNextChangeNotification(folderChanged_.Get()))
            folderChanged_.Reset();
        onChange_(change);
    }
}

}  // namespace zendrel
