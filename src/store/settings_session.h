// What one settings window holds between its load and its save: which
// settings loaded (only those are ever written), the edits of the window that
// its controls do not show (the requests approved or denied, the user's own
// "mode"), the merge of what other programs change meanwhile, and how the
// window closes. The rows of the two lists live in the window's list boxes:
// the session hands them over once and never keeps a copy of a long list.
// Portable: no window code.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "close_sequence.h"
#include "settings.h"

namespace zendrel {

class SettingsSession {
  public:
    // What loaded when the window opened.
    void Load(Settings settings);
    bool Loaded(Setting setting) const;
    // The loaded values (the lists' rows until they are taken).
    const Settings& Values() const { return loaded_; }
    const std::shared_ptr<const std::string>& LoadedUrlsBytes() const {
        return loaded_.loadedUrlsBytes;
    }

    // The loaded rows, moved out (the setting stays loaded).
    std::vector<std::wstring> TakeApprovedRows();
    std::vector<std::wstring> TakeRequestedRows();

    // A request approved or denied in the window: a save takes one stored
    // entry away for each.
    void RequestRemoved(std::wstring entry) { removedRequests_.push_back(std::move(entry)); }
    // The user's "mode": from now on the window's to save, even after a
    // failed load.
    void ChooseMode(bool on) { loaded_.mode = on; }

    // What a save writes, from what the window shows: only the settings that
    // loaded are present; the lists are present but empty (the window hands
    // the approved rows to the store itself), with the removed requests.
    Settings ToSave(bool logging, bool mode, std::optional<PasswordSetting> password) const;

    // Outside changes, each giving what the window must show (nullopt: show
    // nothing new). What the user did here is never undone.
    // urls.txt changed: its sites now with the window's additions and
    // removals applied; the new bytes become the ground a save compares with.
    std::optional<std::vector<std::wstring>> MergeApproved(UrlsChange now,
                                                           const std::vector<std::wstring>& shown);
    // "requests" changed: the stored entries less those removed here.
    std::optional<std::vector<std::wstring>> MergeRequested(
        std::vector<std::wstring> stored, const std::vector<std::wstring>& shown) const;
    // "activitylogging" changed: a box the user changed keeps the user's choice.
    std::optional<bool> MergeLogging(bool stored, bool shown);
    // "mode" changed.
    std::optional<bool> MergeMode(bool stored);

    CloseSequence& Close() { return close_; }
    const CloseSequence& Close() const { return close_; }

  private:
    Settings loaded_;
    std::vector<std::wstring> removedRequests_;
    CloseSequence close_;
};

}  // namespace zendrel
