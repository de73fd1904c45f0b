#include "cli.h"

#include <CLI/CLI.hpp>

#include <functional>

#include "commands.h"
#include "console.h"

namespace zendrel::ctl {

namespace {

constexpr char kName[] = "zendrelctl";

constexpr char kDescription[] =
    "Keeps Zendrel's settings from a script, a remote session or a deployment tool: the "
    "approved sites (urls.txt beside this program), the sites users asked for, activity "
    "logging and the filter switch. Each change is saved at once.";

constexpr char kFooter[] =
    "zendrelctl runs with the rights of whoever starts it and never asks for more. Changing "
    "the approved sites or the computer's settings needs an administrator's rights: run it "
    "from a command prompt opened with \"Run as administrator\", or from a script that runs as "
    "an administrator or as SYSTEM. Without the rights it changes nothing and ends with exit "
    "code 4.\n"
    "\n"
    "When a settings password is set, every command that changes something needs it: the "
    "first line of standard input with --password-stdin, or typed on the console (not shown). "
    "Read it from a file that only you can read: zendrelctl --password-stdin COMMAND ... < FILE. "
    "It is never taken from the command line; a wrong one changes nothing.\n"
    "\n"
    "Results go to standard output, messages to standard error: to a console as Unicode "
    "text, to a file or pipe as UTF-8.\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  any other failure (a setting or file could not be read or written)\n"
    "  2  wrong usage: an unknown command or option, a missing argument, or a site that\n"
    "     urls.txt cannot hold (nothing is changed)\n"
    "  3  the settings password is needed and was not given, or is wrong (nothing is changed)\n"
    "  4  refused: no rights to the settings or the file (run as an administrator), or a file\n"
    "     held by another program\n"
    "  5  the setting is set by Group Policy on this computer (nothing is changed)\n"
    "\n"
    "Run 'zendrelctl COMMAND --help' for the help of one command.";

// What the parse chose: the command to run, once the parse succeeded.
struct Choice {
    std::string folder;
    bool passwordStdin = false;
    std::function<ExitCode(const Commands&)> command;
};

// A subcommand that runs `run` when it is chosen.
CLI::App* Command(CLI::App& app, Choice& choice, const char* name, const char* description,
                  std::function<ExitCode(const Commands&)> run) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->callback([&choice, run = std::move(run)] { choice.command = run; });
    return sub;
}

std::vector<std::wstring> Wide(const std::vector<std::string>& texts) {
    std::vector<std::wstring> wide;
    for (const std::string& text : texts) wide.push_back(FromUtf8(text));
    return wide;
}

bool IsOn(const std::string& state) {
    return state == "on";
}

// The commands and their options; the values land in `values`.
struct Values {
    std::vector<std::string> sites, users;
    std::string site, file, state;
    bool json = false, replace = false, utf8 = false;
};

void AddCommands(CLI::App& app, Choice& choice, Values& v) {
    auto json = [&v](CLI::App* sub) { sub->add_flag("--json", v.json, "Print JSON for scripts"); };
    json(Command(app, choice, "list", "Print the approved sites, one a line",
                 [&v](const Commands& c) { return c.List(v.json); }));
    Command(app, choice, "add",
            "Add sites to the approved list (those listed already are kept once)",
            [&v](const Commands& c) { return c.Add(Wide(v.sites)); })
        ->add_option("SITE", v.sites, "A site, as the add-on matches it (example.com)")
        ->required();
    Command(app, choice, "remove", "Remove sites from the approved list (every row of each)",
            [&v](const Commands& c) { return c.Remove(Wide(v.sites)); })
        ->add_option("SITE", v.sites, "A site as listed")
        ->required();
    CLI::App* import =
        Command(app, choice, "import", "Add the sites of a text file, one a line",
                [&v](const Commands& c) { return c.Import(FromUtf8(v.file), v.replace); });
    import->footer(
        std::string("The file may be ANSI, UTF-8 (with or without a byte-order mark) or UTF-16 "
                    "with one. Blanks around a site are trimmed; blank lines, lines starting "
                    "with # and sites listed already are skipped; lines that urls.txt cannot "
                    "hold are refused and named on standard error, and the rest is imported.\n\n") +
        kFooter);
    import->add_option("FILE", v.file, "The file to read")->required();
    import->add_flag("--replace", v.replace,
                     "Replace the approved list with the file's sites (a file with none is "
                     "refused)");
    CLI::App* exportCommand = Command(
        app, choice, "export", "Write the approved sites to a file, as urls.txt is (ANSI, CR LF)",
        [&v](const Commands& c) {
            return c.Export(FromUtf8(v.file), v.utf8 ? SiteListFormat::Utf8 : SiteListFormat::Ansi);
        });
    exportCommand->add_option("FILE", v.file, "The file to write (new or existing)")->required();
    exportCommand->add_flag("--utf8", v.utf8,
                            "Write UTF-8 (with a byte-order mark) instead of ANSI");
    json(Command(app, choice, "requests", "Print the sites users asked for, one a line",
                 [&v](const Commands& c) { return c.Requests(v.json); }));
    Command(app, choice, "approve",
            "Add a requested site to the approved list and take it off the requests",
            [&v](const Commands& c) { return c.Approve(FromUtf8(v.site)); })
        ->add_option("SITE", v.site, "The site")
        ->required();
    Command(app, choice, "deny", "Take a site off the requests",
            [&v](const Commands& c) { return c.Deny(FromUtf8(v.site)); })
        ->add_option("SITE", v.site, "The site as requested")
        ->required();
    Command(app, choice, "logging", "Switch activity logging on or off (for every user)",
            [&v](const Commands& c) { return c.Logging(IsOn(v.state)); })
        ->add_option("STATE", v.state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    CLI::App* mode = Command(
        app, choice, "mode",
        "Switch the filter on or off for the current user, or keep it so for other accounts",
        [&v](const Commands& c) {
            return v.users.empty() ? c.Mode(IsOn(v.state)) : c.Mode(IsOn(v.state), Wide(v.users));
        });
    mode->add_option("STATE", v.state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    mode->add_option("--user", v.users,
                     "An account (name, DOMAIN\\name or SID) for which the filter is kept on or "
                     "off, whatever it does; may be given several times. Needs an administrator "
                     "(elevated)");
    json(Command(app, choice, "accounts",
                 "Print the accounts of the computer: the filter of each, and who keeps it",
                 [&v](const Commands& c) { return c.Accounts(v.json); }));
    json(Command(app, choice, "status",
                 "Print every setting, whether the guard runs and what it put back",
                 [&v](const Commands& c) { return c.Status(v.json); }));
}

}  // namespace

ExitCode Run(const std::vector<std::wstring>& arguments, const std::wstring& programFolder) {
    CLI::App app(kDescription, kName);
    app.footer(kFooter);
    app.require_subcommand(1);
    // The tool's own options may also follow the command.
    app.fallthrough();
    Choice choice;
    Values values;
    app.add_option("--folder", choice.folder,
                   "The folder of urls.txt, when it is not this program's own");
    app.add_flag("--password-stdin", choice.passwordStdin,
                 "Read the settings password from the first line of standard input");
    AddCommands(app, choice, values);

    std::vector<std::string> parse;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) parse.push_back(ToUtf8(*it));
    try {
        app.parse(parse);
    } catch (const CLI::CallForHelp&) {
        Write(Stream::Out, FromUtf8(app.help()));
        return kExitSuccess;
    } catch (const CLI::ParseError& error) {
        // A mistyped command is left over rather than named by the parser.
        std::vector<std::string> left = app.remaining();
        std::string message = error.what();
        if (dynamic_cast<const CLI::RequiredError*>(&error) && app.get_subcommands().empty())
            message = left.empty() ? "no command given" : "unknown command: " + left.front();
        WriteLine(Stream::Err, FromUtf8(std::string(kName) + ": " + message));
        WriteLine(Stream::Err, L"Run 'zendrelctl --help' for the commands and options.");
        return kExitUsage;
    }

    std::wstring folder = choice.folder.empty() ? programFolder : FromUtf8(choice.folder);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    Commands commands(folder,
                      choice.passwordStdin ? PasswordSource::Stdin : PasswordSource::Console);
    try {
        return choice.command(commands);
    } catch (const CommandError& error) {
        WriteLine(Stream::Err, std::wstring(L"zendrelctl: ") + error.message);
        return error.code;
    }
}

}  // namespace zendrel::ctl
