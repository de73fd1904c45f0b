// The command line of ZendrelPanel: its argument text, the pieces it splits
// into, and which of them are installer words. Needs no Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

// The argument text of a whole command line as Windows hands it over: the
// program's name is skipped as Windows delimits it (from an opening quotation
// mark through the closing one, else up to the first blank or tab), then the
// blanks and tabs after it. Everything else, trailing blanks included, is kept.
std::wstring ArgumentText(std::wstring_view commandLine);

// The pieces of the argument text: split at every single space, so two spaces
// in a row or a trailing space give an empty piece; the empty text gives none.
// Tabs and quotation marks stay part of their piece.
std::vector<std::wstring> SplitArguments(std::wstring_view argumentText);

// True for "-i", "/i", "install", "-install", "/install" and the same forms of
// "u"/"uninstall", in any letter case.
bool IsInstallerWord(std::wstring_view piece);

// What the start-up makes of the argument text: the pieces to report as
// invalid, in order (as typed), and whether an installer word keeps the
// window closed.
struct StartupArguments {
    std::vector<std::wstring> invalid;
    bool installer = false;
};
StartupArguments ReadArguments(std::wstring_view argumentText);

}  // namespace zendrel
