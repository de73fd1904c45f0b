#include "settings_session.h"

#include "site_text.h"

namespace zendrel {

void SettingsSession::Load(Settings settings) {
    loaded_ = std::move(settings);
    removedRequests_.clear();
}

bool SettingsSession::Loaded(Setting setting) const {
    switch (setting) {
        case Setting::ApprovedSites:
            return loaded_.approvedSites.has_value();
        case Setting::RequestedSites:
            return loaded_.requestedSites.has_value();
        case Setting::ActivityLogging:
            return loaded_.activityLogging.has_value();
        case Setting::Mode:
            return loaded_.mode.has_value();
        case Setting::Password:
            return loaded_.password.has_value();
    }
    return false;
}

std::vector<std::wstring> SettingsSession::TakeApprovedRows() {
    return loaded_.approvedSites ? std::move(*loaded_.approvedSites) : std::vector<std::wstring>{};
}

std::vector<std::wstring> SettingsSession::TakeRequestedRows() {
    return loaded_.requestedSites ? std::move(*loaded_.requestedSites)
                                  : std::vector<std::wstring>{};
}

Settings SettingsSession::ToSave(bool logging, bool mode,
                                 std::optional<PasswordSetting> password) const {
    Settings current;
    if (loaded_.approvedSites) current.approvedSites.emplace();
    current.loadedUrlsBytes = loaded_.loadedUrlsBytes;
    if (loaded_.requestedSites) current.requestedSites.emplace();
    current.removedRequests = removedRequests_;
    if (loaded_.activityLogging) current.activityLogging = logging;
    if (loaded_.mode) current.mode = mode;
    current.password = std::move(password);
    return current;
}

std::optional<std::vector<std::wstring>> SettingsSession::MergeApproved(
    UrlsChange now, const std::vector<std::wstring>& shown) {
    if (!loaded_.approvedSites) return std::nullopt;
    loaded_.loadedUrlsBytes = std::move(now.bytes);
    return MergeChanges(now.loadedSites, shown, std::move(now.sites));
}

std::optional<std::vector<std::wstring>> SettingsSession::MergeRequested(
    std::vector<std::wstring> stored, const std::vector<std::wstring>& shown) const {
    if (!loaded_.requestedSites) return std::nullopt;
    std::vector<std::wstring> merged = WithoutRemoved(std::move(stored), removedRequests_);
    if (merged == shown) return std::nullopt;
    return merged;
}

std::optional<bool> SettingsSession::MergeLogging(bool stored, bool shown) {
    if (!loaded_.activityLogging) return std::nullopt;
    bool userChanged = shown != *loaded_.activityLogging;
    loaded_.activityLogging = stored;
    if (userChanged) return std::nullopt;
    return stored;
}

std::optional<bool> SettingsSession::MergeMode(bool stored) {
    if (!loaded_.mode || stored == *loaded_.mode) return std::nullopt;
    loaded_.mode = stored;
    return stored;
}

}  // namespace zendrel
