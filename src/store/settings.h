// The settings as a plain value, and what became of one load or save. Needs
// no Windows.
//
// Each setting is either loaded or visibly absent: a setting whose load
// failed (or never ran) is nullopt, never an empty list or a zero, and the
// store never writes an absent setting over the stored one.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "failure.h"

namespace zendrel {

// urls.txt changed since it was loaded: the sites it held then, its bytes
// and its sites now.
struct UrlsChange {
    std::vector<std::wstring> loadedSites;
    std::shared_ptr<const std::string> bytes;
    std::vector<std::wstring> sites;
};

// The password digest and hint as stored: an empty digest means no password.
struct PasswordSetting {
    std::wstring digest;
    std::wstring hint;
    friend bool operator==(const PasswordSetting&, const PasswordSetting&) = default;
};

struct Settings {
    std::optional<std::vector<std::wstring>> approvedSites;  // urls.txt
    // urls.txt's bytes as they were loaded: a save that finds the file
    // changed since (by the command-line tool, say) applies only its own
    // changes to the file as it then stands. Shared, as they do not change:
    // copies cost nothing. The sites loaded are worked out of them again only
    // for such a merge.
    std::shared_ptr<const std::string> loadedUrlsBytes;
    std::optional<std::vector<std::wstring>> requestedSites;  // "requests"
    // The requested entries approved or denied since the requests were
    // loaded: a save takes one stored entry away for each.
    std::vector<std::wstring> removedRequests;
    std::optional<bool> activityLogging;      // "activitylogging"
    std::optional<bool> mode;                 // "mode", the current user's switch
    std::optional<PasswordSetting> password;  // "config" and "hint"
};

// The settings one by one, as loads and saves name them.
enum class Setting { ApprovedSites, RequestedSites, ActivityLogging, Mode, Password };

// The order in which a save of every setting writes them.
inline constexpr std::array<Setting, 5> kSaveOrder = {
    Setting::ActivityLogging, Setting::ApprovedSites, Setting::RequestedSites, Setting::Mode,
    Setting::Password};

// What became of saving one setting.
struct Outcome {
    enum class Kind {
        Done,     // written
        Skipped,  // not written: the setting is absent (never loaded, or unchanged)
        Refused,  // Windows refused the write (permission denied, file in use)
        Failed,   // any other failure, in `failure`
    };
    Kind kind = Kind::Done;
    std::optional<Failure> failure;

    static Outcome Done() { return {Kind::Done, std::nullopt}; }
    static Outcome Skipped() { return {Kind::Skipped, std::nullopt}; }
    static Outcome Refused() { return {Kind::Refused, std::nullopt}; }
    // A failure: refused for "Permission denied" (kPermissionDenied), failed for the rest.
    static Outcome From(const Failure& failure) {
        if (failure.Number() == kPermissionDenied) return Refused();
        return {Kind::Failed, failure};
    }
};

}  // namespace zendrel
