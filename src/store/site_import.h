// Reading a text file of sites for import: its bytes as text, and the text as
// a list of sites to add. Needs no Windows: what depends on the system (the
// ANSI code page, which sites it can hold) is passed in.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

enum class TextEncoding { Utf16Le, Utf16Be, Utf8WithBom, Utf8, Ansi };

struct DecodedText {
    std::wstring text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Turns ANSI bytes into text (the Windows side passes FromAnsi).
using AnsiDecoder = std::function<std::wstring(std::string_view)>;

// The text of a file's bytes: UTF-16 LE or BE when they begin with its
// byte-order mark, UTF-8 after a UTF-8 mark, UTF-8 without a mark when the
// bytes are valid UTF-8 (plain ASCII is), else ANSI through `fromAnsi`. The
// mark itself is not part of the text. What is damaged under a mark (a byte
// that is no UTF-8, a lone surrogate, an odd last byte) gives U+FFFD, which
// no ANSI code page holds, so its line is refused rather than garbled.
DecodedText DecodeTextFile(std::string_view bytes, const AnsiDecoder& fromAnsi);

// Why a site cannot be kept; empty when it can (the Windows side wraps
// CheckSite).
using SiteCheck = std::function<std::wstring(std::wstring_view site)>;

struct RefusedLine {
    std::size_t line = 0;  // 1-based
    std::wstring text;     // trimmed
    std::wstring reason;
    friend bool operator==(const RefusedLine&, const RefusedLine&) = default;
};

struct SiteImport {
    std::vector<std::wstring> sitesToAdd;  // in file order
    std::size_t alreadyListed = 0;         // listed before, or earlier in the file
    std::vector<RefusedLine> refused;
};

// Reads `text` as a site list: one site per line (lines end at CR LF, LF or
// CR), blanks (spaces and tabs) around it trimmed, blank lines and lines
// starting with "#" skipped. A site equal to one in `listed` or to one earlier
// in the file counts as already listed; one that `check` refuses is kept out
// with its line number and reason. Sites are compared as typed (exact text).
SiteImport ReadSiteList(std::wstring_view text, const std::vector<std::wstring>& listed,
                        const SiteCheck& check);

// One line on what an import did, for a message or a console:
// "Imported 118 sites; 3 were already listed; 1 refused: line 17 "..." (reason)".
// The parts with nothing to say are left out; at most `maxRefusedShown` refused
// lines are named, the rest counted ("and 4 more"); with 0, only counted.
std::wstring ImportSummary(const SiteImport& result, std::size_t maxRefusedShown = 5);

// A refused line as the summary names it: line 17 "text" (reason). Control
// characters in the text show as "?".
std::wstring DescribeRefusedLine(const RefusedLine& refused);

}  // namespace zendrel
