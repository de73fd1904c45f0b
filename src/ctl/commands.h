// The commands of zendrelctl, each on the store: what it prints goes to
// standard output, what goes wrong to standard error, and each returns its
// exit code (or throws CommandError).
#pragma once

#include <string>
#include <vector>

#include "exit_codes.h"
#include "settings_store.h"
#include "site_list_file.h"

namespace zendrel::ctl {

enum class PasswordSource {
    Console,  // asked for on the console, when one is attached
    Stdin,    // --password-stdin: the first line of standard input
};

class Commands {
  public:
    Commands(std::wstring programFolder, PasswordSource passwordSource);

    ExitCode List(bool json) const;
    ExitCode Add(const std::vector<std::wstring>& sites) const;
    ExitCode Remove(const std::vector<std::wstring>& sites) const;
    ExitCode Import(const std::wstring& file, bool replace) const;
    ExitCode Export(const std::wstring& file, SiteListFormat format) const;
    ExitCode Requests(bool json) const;
    ExitCode Approve(const std::wstring& site) const;
    ExitCode Deny(const std::wstring& site) const;
    ExitCode Logging(bool on) const;
    ExitCode Mode(bool on) const;
    // The switch of each named account ("name", "DOMAIN\name" or a SID),
    // held for it: all are checked before any is changed.
    ExitCode Mode(bool on, const std::vector<std::wstring>& users) const;
    ExitCode Accounts(bool json) const;
    ExitCode Status(bool json) const;

  private:
    // Throws CommandError unless the settings have no password or the right
    // one is given; runs before anything is changed.
    void Authorize() const;
    std::vector<std::wstring> ApprovedSites() const;
    void SaveApproved(const std::vector<std::wstring>& sites) const;

    SettingsStore store_;
    PasswordSource passwordSource_;
};

// The exit code and message of a failure of `doing` ("save urls.txt").
CommandError ErrorOf(const Failure& failure, const std::wstring& doing);

}  // namespace zendrel::ctl
