#include "commands.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "console.h"
#include "held_store.h"
#include "held_text.h"
#include "launch_rules.h"
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

// Text that a user may have written (the add-on writes the requests and the
// log's place as the user), as the console may show it: control characters as
// "?", as the window shows them, so that no carriage return, backspace or
// escape sequence can change what the administrator reads; not cut.
std::wstring Plain(std::wstring_view text) {
    return Shown(text, std::wstring_view::npos);
}

// A site as a message shows it: quoted, control characters as "?".
std::wstring Quoted(const std::wstring& site) {
    return L"\"" + Plain(site) + L"\"";
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
    for (const std::wstring& line : lines) text += Plain(line) + L"\r\n";
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

const char* HolderName(Holder holder) {
    switch (holder) {
        case Holder::Administrator:
            return "administrator";
        case Holder::Policy:
            return "policy";
        case Holder::None:
            break;
    }
    return "none";
}

// A setting that Group Policy holds is refused before anything else is done.
void RefuseIfPolicy(bool byPolicy, const std::wstring& setting, const wchar_t* policyName) {
    if (byPolicy)
        throw CommandError{kExitPolicy, setting + L" is set by Group Policy (\"" + policyName +
                                            L"\"); nothing was changed"};
}

// What a status line adds for a held setting: " (kept by the administrator)".
// Who holds a switch and, where its place reads otherwise (the guard could
// not put it back), what the add-on reads there: a held switch is never shown
// as holding when it does not.
std::wstring HeldNote(Holder holder, std::optional<bool> held = {},
                      std::optional<bool> stored = {}) {
    std::wstring text = HolderText(holder);
    if (!text.empty() && held && stored && *held != *stored)
        text += L"; not put back: the add-on reads " + FromUtf8(OnOff(*stored));
    return text.empty() ? text : L" (" + text + L")";
}

std::wstring GuardStateText(GuardState state) {
    switch (state) {
        case GuardState::NotInstalled:
            return L"not installed";
        case GuardState::Stopped:
            return L"installed, not running";
        case GuardState::Starting:
            return L"starting";
        case GuardState::Running:
            return L"running";
        case GuardState::Stopping:
            return L"stopping";
        case GuardState::Unknown:
            break;
    }
    return L"unknown";
}

// The records that status shows as text: the newest ones.
constexpr std::size_t kStatusRecords = 20;

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
    : store_(std::move(programFolder)), passwordSource_(passwordSource) {
    // What an administrator sets here is kept (held) for the guard to keep.
    store_.HoldSaves(true);
}

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
    WriteLine(Stream::Out, L"Approved " + Plain(site));
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
    WriteLine(Stream::Out, L"Denied " + Plain(site));
    return kExitSuccess;
}

ExitCode Commands::Logging(bool on) const {
    RefuseIfPolicy(LoadMachinePolicy().activityLogging.has_value(), L"activity logging",
                   L"Keep the activity log");
    Authorize();
    Check(store_.SaveActivityLogging(on), L"save activity logging");
    WriteLine(Stream::Out, L"Activity logging is " + FromUtf8(OnOff(on)));
    return kExitSuccess;
}

ExitCode Commands::Mode(bool on) const {
    Effective<bool> held = AccountMode({});
    RefuseIfPolicy(held.holder == Holder::Policy, L"the filter for this user",
                   L"Filter web sites for this user");
    if (held.holder == Holder::Administrator && held.value != on)
        throw CommandError{kExitRefused,
                           L"the filter for this user is kept " + FromUtf8(OnOff(held.value)) +
                               L" by the administrator: an administrator changes it with "
                               L"--user; nothing was changed"};
    Authorize();
    // As when the window opens: loading the switch first creates the user's
    // key (filter off) for a user who never had it; the save needs the key.
    Loaded([&] { return store_.LoadMode(); }, L"read the filter switch");
    Check(store_.SaveMode(on), L"save the filter switch");
    WriteLine(Stream::Out, L"The filter is " + FromUtf8(OnOff(on)) + L" for this user");
    return kExitSuccess;
}

ExitCode Commands::Mode(bool on, const std::vector<std::wstring>& users) const {
    struct Target {
        std::wstring name, sid;
    };
    std::vector<Target> targets;
    for (const std::wstring& user : users) {
        std::optional<std::wstring> sid = ResolveAccount(user);
        if (!sid)
            throw CommandError{kExitUsage, L"no account " + Quoted(user) +
                                               L" is known to this computer; nothing was changed"};
        Target target{Plain(AccountName(*sid)), *sid};
        RefuseIfPolicy(AccountMode(target.sid).holder == Holder::Policy,
                       L"the filter for " + target.name, L"Filter web sites for these accounts");
        targets.push_back(std::move(target));
    }
    Authorize();
    if (!CanWriteHeld())
        throw CommandError{kExitRefused,
                           L"only an administrator can switch the filter for an account: run "
                           L"it as an administrator (elevated); nothing was changed"};
    for (const Target& target : targets) {
        AccountModeResult result = SetAccountMode(target.sid, on);
        Check(result.outcome, L"keep the filter for " + target.name);
        WriteLine(Stream::Out, L"The filter is " + FromUtf8(OnOff(on)) + L" for " + target.name +
                                   (result.writtenNow ? L" now" : L" from its next sign-in"));
    }
    return kExitSuccess;
}

ExitCode Commands::Accounts(bool json) const {
    std::vector<Account> accounts =
        Loaded([] { return zendrel::Accounts(); }, L"list the accounts");
    if (json) {
        nlohmann::json array = nlohmann::json::array();
        for (const Account& a : accounts)
            array.push_back({
                {"name", ToUtf8(a.name)},
                {"sid", ToUtf8(a.sid)},
                {"signedIn", a.hiveLoaded},
                {"storedMode", a.storedMode ? nlohmann::json(*a.storedMode) : nlohmann::json()},
                {"filter", a.mode.value},
                {"heldBy", HolderName(a.mode.holder)},
            });
        WriteLine(Stream::Out, FromUtf8(array.dump(2)));
        return kExitSuccess;
    }
    // Columns: the account, its filter, who keeps it, signed in or not, its SID.
    std::vector<std::vector<std::wstring>> rows = {
        {L"ACCOUNT", L"FILTER", L"KEPT", L"SIGNED IN", L"SID"}};
    for (const Account& a : accounts) {
        std::wstring kept = HolderText(a.mode.holder);
        rows.push_back({Plain(a.name), FromUtf8(OnOff(a.mode.value)), kept.empty() ? L"-" : kept,
                        a.hiveLoaded ? L"yes" : L"no", a.sid});
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    std::wstring text;
    for (const auto& row : rows) {
        std::wstring line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::wstring(widths[c] - row[c].size() + 2, L' ');
        }
        text += line + L"\r\n";
    }
    Write(Stream::Out, text);
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
    // Who holds the switches, the guard and its records.
    Holder loggingHolder = Holder::None;
    if (LoadMachinePolicy().activityLogging)
        loggingHolder = Holder::Policy;
    else if (LoadHeld().activityLogging)
        loggingHolder = Holder::Administrator;
    Holder modeHolder = AccountMode({}).holder;
    GuardState guard = QueryGuardState();
    std::vector<NamedRecord> records = LoadRecords();

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
            {"loggingHeldBy", HolderName(loggingHolder)},
            {"modeHeldBy", HolderName(modeHolder)},
            {"loggingInPlace", StoredActivityLogging()},
            {"modeInPlace", flag(StoredMode())},
            {"guard", ToUtf8(GuardStateText(guard))},
            {"guardRunning", guard == GuardState::Running},
        };
        nlohmann::json put = nlohmann::json::array();
        for (const NamedRecord& r : records) put.push_back(ToUtf8(RecordSentence(r.record)));
        status["putBack"] = put;
        WriteLine(Stream::Out, FromUtf8(status.dump(2)));
        return code;
    }
    auto count = [](const std::optional<Sites>& sites) {
        return sites ? std::to_wstring(sites->size()) : std::wstring(L"?");
    };
    auto onOff = [](const std::optional<bool>& on) {
        return on ? FromUtf8(OnOff(*on)) : std::wstring(L"?");
    };
    std::wstring text = L"folder: " + Plain(store_.ProgramFolder()) + L"\r\n";
    text += L"approved sites: " + count(approved) + L"\r\n";
    text += L"requests: " + count(requests) + L"\r\n";
    text += L"activity logging: " + onOff(logging) +
            HeldNote(loggingHolder, logging, StoredActivityLogging()) + L"\r\n";
    text += L"filter for this user: " + onOff(mode) + HeldNote(modeHolder, mode, StoredMode()) +
            L"\r\n";
    text += L"password: " +
            (password ? std::wstring(password->digest.empty() ? L"none" : L"set") : L"?") + L"\r\n";
    text += L"activity log: " + (log ? (log->empty() ? L"none" : Plain(*log)) : L"?") + L"\r\n";
    text += L"guard: " + GuardStateText(guard) + L"\r\n";
    std::size_t first = records.size() > kStatusRecords ? records.size() - kStatusRecords : 0;
    if (first > 0) text += L"put back: " + std::to_wstring(first) + L" earlier records\r\n";
    for (std::size_t i = first; i < records.size(); ++i)
        text += L"put back: " + Plain(RecordSentence(records[i].record)) + L"\r\n";
    Write(Stream::Out, text);
    return code;
}

}  // namespace zendrel::ctl
