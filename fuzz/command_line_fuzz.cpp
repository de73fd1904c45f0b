// The command line of the settings program: the argument text Windows hands
// over, its pieces, and the installer words, as properties of any command line.
#include <algorithm>
#include <string>
#include <string_view>

#include "command_line.h"
#include "fuzz_input.h"

namespace {

using zendrel::StartupArguments;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// What is skipped before the argument text is the program's name and the
// blanks after it: a quoted name holds exactly its two quotation marks (or
// runs to the end when the closing one is missing), a plain name no blank.
void CheckArgumentText(std::wstring_view line) {
    const std::wstring args = zendrel::ArgumentText(line);
    FUZZ_CHECK(args.size() <= line.size());
    FUZZ_CHECK(line.substr(line.size() - args.size()) == args);
    FUZZ_CHECK(args.empty() || !IsBlank(args[0]));
    std::wstring_view name = line.substr(0, line.size() - args.size());
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    if (!line.empty() && line[0] == L'"') {
        const auto quotes = std::count(name.begin(), name.end(), L'"');
        FUZZ_CHECK((quotes == 2 && name.back() == L'"') || (quotes == 1 && args.empty()));
    } else {
        FUZZ_CHECK(std::none_of(name.begin(), name.end(), IsBlank));
    }
}

// Splitting loses nothing: the pieces joined with single spaces give the text.
void CheckSplit(std::wstring_view args) {
    const std::vector<std::wstring> pieces = zendrel::SplitArguments(args);
    FUZZ_CHECK(pieces.empty() == args.empty());
    std::wstring joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        FUZZ_CHECK(pieces[i].find(L' ') == std::wstring::npos);
        if (i > 0) joined += L' ';
        joined += pieces[i];
    }
    FUZZ_CHECK(joined == args);
}

// The installer words told another way: an optional "-" or "/", then "i",
// "u", "install" or "uninstall" in ASCII letters of any case, where the bare
// letters need their prefix.
bool ExpectedInstallerWord(std::wstring_view piece) {
    bool prefixed = !piece.empty() && (piece[0] == L'-' || piece[0] == L'/');
    if (prefixed) piece.remove_prefix(1);
    std::string word;
    for (wchar_t c : piece) {
        if (c > 0x7F) return false;
        word += static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    if (word == "i" || word == "u") return prefixed;
    return word == "install" || word == "uninstall";
}

// Every piece is either an installer word or reported, in order, as typed.
void CheckReadArguments(std::wstring_view args) {
    const StartupArguments read = zendrel::ReadArguments(args);
    bool installer = false;
    std::vector<std::wstring> invalid;
    for (const std::wstring& piece : zendrel::SplitArguments(args)) {
        const bool word = zendrel::IsInstallerWord(piece);
        FUZZ_CHECK(word == ExpectedInstallerWord(piece));
        if (word)
            installer = true;
        else
            invalid.push_back(piece);
    }
    FUZZ_CHECK(read.installer == installer);
    FUZZ_CHECK(read.invalid == invalid);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring line = zendrel::fuzz::CodeUnits(data, size);
    CheckArgumentText(line);
    // The pieces of the whole line as well: the start-up may be handed
    // argument text that begins with blanks or quotation marks.
    CheckSplit(line);
    CheckReadArguments(line);
    CheckReadArguments(zendrel::ArgumentText(line));
    return 0;
}
