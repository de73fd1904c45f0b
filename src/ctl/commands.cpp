#include "commands.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>

#include "console.h"
#include "password_rules.h"
#include "site_rules.h"
#include "site_text.h"

namespace zendrel::ctl {

namespace {

using Sites = std::vector<std::wstring>;

// A failure of the store, rethrown as the command's error.
template <typename Load>
auto Loaded(Load load, const wchar_t* doing) {
    try {
        return load();
    } catch (const Failure& failure) {
        throw ErrorOf(failure, doing);
    } catch (...) {
        throw ErrorOf(CurrentFailure(), doing);
    }
}

void Check(const Outcome& outcome, const std::wstring& doing) {
    switch (outcome.kind) {
        case Outcome::Kind::Done:
        case Outcome::Kind::Skipped:
            return;
        case Outcome::Kind::Refused:
            throw ErrorOf(Failure(kPermissionDenied, kProgramName), doing);
        case Outcome::Kind::Failed:
            throw ErrorOf(*outcome.failure, doing);
    }
}

std::wstring Plural(std::size_t n, const wchar_t* one, const wchar_t* many) {
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

// A site as a message shows it: quoted, control characters as "?".
std::wstring Quoted(std::wstring site) {
    for (wchar_t& c : site)
        if (c < 0x20 || c == 0x7F) c = L'?';
    return L"\"" + site + L"\"";
}

// Refuses, as wrong usage, the first argument that urls.txt cannot hold.
void CheckSiteArguments(const Sites& sites) {
    for (std::size_t i = 0; i < sites.size(); ++i) {
        std::wstring reason = SiteRefusal(sites[i]);
        if (!reason.empty())
            throw CommandError{kExitUsage, L"site " + std::to_wstring(i + 1) + L" " +
                                               Quoted(sites[i]) + L" refused: " + reason +
                                               L"; nothing was changed"};
    }
}

void PrintLines(const Sites& lines, bool json) {
    if (json) {
        nlohmann::json array = nlohmann::json::array();
        for (const std::wstring& line : lines) array.push_back(ToUtf8(line));
        WriteLine(Stream::Out, FromUtf8(array.dump(2)));
        return;
    }
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    Write(Stream::Out, text);
}

Sites NonEmpty(Sites entries) {
    entries.erase(std::remove(entries.begin(), entries.end(), L""), entries.end());
    return entries;
}

bool Contains(const Sites& sites, const std::wstring& site) {
    return std::find(sites.begin(), sites.end(), site) != sites.end();
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

}  // namespace

CommandError ErrorOf(const Failure& failure, const std::wstring& doing) {
    std::wstring message = L"cannot " + doing + L": " + failure.Description() + L" (" +
                           std::to_wstring(failure.Number()) + L")";
    if (failure.Number() == kPermissionDenied)
        return {kExitRefused, message +
                                  L"; run it as an administrator, or close the program "
                                  L"that holds the file"};
    return {kExitFailure, message};
}

Commands::Commands(std::wstring programFolder, PasswordSource passwordSource)
    : store_(std::move(programFolder)), passwordSource_(passwordSource) {}

void Commands::Authorize() const {
    std::wstring digest =
        Loaded([&] { return store_.LoadPassword(); }, L"read the password").digest;
    if (digest.empty()) return;
    std::optional<std::wstring> entry;
    if (passwordSource_ == PasswordSource::Stdin) {
        entry = ReadSecretLine();
    } else if (InputIsConsole()) {
        Write(Stream::Err, L"Settings password: ");
        entry = ReadSecretLine();
    }
    if (!entry)
        throw CommandError{kExitPassword,
                           L"the settings are protected by a password: give it with "
                           L"--password-stdin, or run the command on a console; nothing was "
                           L"changed"};
    if (!PasswordMatches(*entry, digest))
        throw CommandError{kExitPassword, L"wrong password; nothing was changed"};
}

Sites Commands::ApprovedSites() const {
    return Loaded([&] { return store_.LoadApprovedSites(); }, L"read urls.txt");
}

void Commands::SaveApproved(const Sites& sites) const {
    Check(store_.SaveApprovedSites(sites), L"save urls.txt");
}

ExitCode Commands::List(bool json) const {
    PrintLines(ApprovedSites(), json);
    return kExitSuccess;
}

ExitCode Commands::Add(const Sites& sites) const {
    CheckSiteArguments(sites);
    Authorize();
    Sites approved = ApprovedSites();
    std::unordered_set<std::wstring> listed(approved.begin(), approved.end());
    std::size_t added = 0;
    for (const std::wstring& site : sites) {
        if (!listed.insert(site).second) continue;
        approved.push_back(site);
        ++added;
    }
    if (added > 0) SaveApproved(approved);
    std::wstring summary = L"Added " + Plural(added, L"site", L"sites");
    if (added < sites.size())
        summary += L"; " + Plural(sites.size() - added, L"was", L"were") + L" already listed";
    WriteLine(Stream::Out, summary);
    return kExitSuccess;
}

ExitCode Commands::Remove(const Sites& sites) const {
    Authorize();
    Sites approved = ApprovedSites();
    std::unordered_set<std::wstring> removing(sites.begin(), sites.end());
    std::size_t before = approved.size();
    Sites notListed;
    for (const std::wstring& site : removing)
        if (!Contains(approved, site)) notListed.push_back(site);
    approved.erase(std::remove_if(approved.begin(), approved.end(),
                                  [&](const std::wstring& s) { return removing.count(s) > 0; }),
                   approved.end());
    if (approved.size() != before) SaveApproved(approved);
    for (const std::wstring& site : sites)
        if (Contains(notListed, site)) WriteLine(Stream::Err, Quoted(site) + L" was not listed");
    WriteLine(Stream::Out, L"Removed " + Plural(before - approved.size(), L"site", L"sites"));
    return kExitSuccess;
}

ExitCode Commands::Import(const std::wstring& file, bool replace) const {
    Authorize();
    Sites approved = ApprovedSites();
    SiteImport result = Loaded([&] { return ImportSiteFile(file, replace ? Sites{} : approved); },
                               L"read the file");
    for (const RefusedLine& refused : result.refused)
        WriteLine(Stream::Err, L"refused: " + DescribeRefusedLine(refused));
    // An empty or unreadable list on a share must not wipe every machine's.
    if (replace && result.sitesToAdd.empty())
        throw CommandError{kExitFailure, L"the file lists no site to keep; nothing was replaced"};
    std::wstring summary = ImportSummary(result, 0);
    if (replace)
        approved = std::move(result.sitesToAdd);
    else
        approved.insert(approved.end(), result.sitesToAdd.begin(), result.sitesToAdd.end());
    if (replace || !result.sitesToAdd.empty()) SaveApproved(approved);
    WriteLine(Stream::Out, summary);
    return kExitSuccess;
}

ExitCode Commands::Export(const std::wstring& file, SiteListFormat format) const {
    Sites approved = ApprovedSites();
    Loaded(
        [&] {
            ExportSiteList(file, approved, format);
            return 0;
        },
        L"write the file");
    WriteLine(Stream::Out, L"Exported " + Plural(approved.size(), L"site", L"sites"));
    return kExitSuccess;
}

ExitCode Commands::Requests(bool json) const {
    PrintLines(NonEmpty(Loaded([&] { return store_.LoadRequestedSites(); }, L"read the requests")),
               json);
    return kExitSuccess;
}

ExitCode Commands::Approve(const std::wstring& site) const {
    CheckSiteArguments({site});
    Authorize();
    Sites requests = Loaded([&] { return store_.LoadRequestedSites(); }, L"read the requests");
    Sites approved = ApprovedSites();
    // urls.txt first: a request is taken away only once its site is approved.
    if (!Contains(approved, site)) {
        approved.push_back(site);
        SaveApproved(approved);
    }
    if (Contains(requests, site))
        Check(store_.SaveRequestedSites({site}), L"save the requests");
    else
        WriteLine(Stream::Err, Quoted(site) + L" was not among the requests");
    WriteLine(Stream::Out, L"Approved " + site);
    return kExitSuccess;
}

ExitCode Commands::Deny(const std::wstring& site) const {
    Authorize();
    Sites requests = Loaded([&] { return store_.LoadRequestedSites(); }, L"read the requests");
    if (!Contains(requests, site)) {
        WriteLine(Stream::Err, Quoted(site) + L" was not among the requests; nothing was changed");
        return kExitSuccess;
    }
    Check(store_.SaveRequestedSites({site}), L"save the requests");
    WriteLine(Stream::Out, L"Denied " + site);
    return kExitSuccess;
}

ExitCode Commands::Logging(bool on) const {
    Authorize();
    Check(store_.SaveActivityLogging(on), L"save activity logging");
    WriteLine(Stream::Out, L"Activity logging is " + FromUtf8(OnOff(on)));
    return kExitSuccess;
}

ExitCode Commands::Mode(bool on) const {
    Authorize();
    // As when the window opens: loading the switch first creates the user's
    // key (filter off) for a user who never had it; the save needs the key.
    Loaded([&] { return store_.LoadMode(); }, L"read the filter switch");
    Check(store_.SaveMode(on), L"save the filter switch");
    WriteLine(Stream::Out, L"The filter is " + FromUtf8(OnOff(on)) + L" for this user");
    return kExitSuccess;
}

ExitCode Commands::Status(bool json) const {
    // Every setting that can be read is shown; each that cannot is named on
    // standard error and makes the exit code a failure.
    ExitCode code = kExitSuccess;
    auto read = [&](auto load, const wchar_t* doing) {
        using Value = decltype(load());
        try {
            return std::optional<Value>(Loaded(load, doing));
        } catch (const CommandError& error) {
            WriteLine(Stream::Err, error.message);
            if (code == kExitSuccess) code = error.code;
            return std::optional<Value>();
        }
    };
    auto approved = read([&] { return store_.LoadApprovedSites(); }, L"read urls.txt");
    auto requests =
        read([&] { return NonEmpty(store_.LoadRequestedSites()); }, L"read the requests");
    auto logging = read([&] { return store_.LoadActivityLogging(); }, L"read activity logging");
    auto mode = read([&] { return store_.LoadMode(); }, L"read the filter switch");
    auto password = read([&] { return store_.LoadPassword(); }, L"read the password");
    auto log = read([&] { return store_.ActivityLogLocation(); }, L"read the activity log's place");

    if (json) {
        auto lines = [](const std::optional<Sites>& sites) {
            if (!sites) return nlohmann::json();
            nlohmann::json array = nlohmann::json::array();
            for (const std::wstring& s : *sites) array.push_back(ToUtf8(s));
            return array;
        };
        auto flag = [](const std::optional<bool>& on) {
            return on ? nlohmann::json(*on) : nlohmann::json();
        };
        nlohmann::json status = {
            {"folder", ToUtf8(store_.ProgramFolder())},
            {"approvedSites", lines(approved)},
            {"requests", lines(requests)},
            {"activityLogging", flag(logging)},
            {"mode", flag(mode)},
            {"passwordSet",
             password ? nlohmann::json(!password->digest.empty()) : nlohmann::json()},
            {"activityLog", log ? nlohmann::json(ToUtf8(*log)) : nlohmann::json()},
        };
        WriteLine(Stream::Out, FromUtf8(status.dump(2)));
        return code;
    }
    auto count = [](const std::optional<Sites>& sites) {
        return sites ? std::to_wstring(sites->size()) : std::wstring(L"?");
    };
    auto onOff = [](const std::optional<bool>& on) {
        return on ? FromUtf8(OnOff(*on)) : std::wstring(L"?");
    };
    std::wstring text = L"folder: " + store_.ProgramFolder() + L"\r\n";
    text += L"approved sites: " + count(approved) + L"\r\n";
    text += L"requests: " + count(requests) + L"\r\n";
    text += L"activity logging: " + onOff(logging) + L"\r\n";
    text += L"filter for this user: " + onOff(mode) + L"\r\n";
    text += L"password: " +
            (password ? std::wstring(password->digest.empty() ? L"none" : L"set") : L"?") + L"\r\n";
    text += L"activity log: " + (log ? (log->empty() ? L"none" : *log) : L"?") + L"\r\n";
    Write(Stream::Out, text);
    return code;
}

}  // namespace zendrel::ctl
