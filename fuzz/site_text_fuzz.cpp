// The text forms of the two site lists: urls.txt lines and the "requests"
// text. Each is checked against a second reading of the same rules and by
// round trips, for any text.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "site_text.h"

namespace {

using Lines = std::vector<std::wstring>;

// The urls.txt rules told another way: turn CR LF and then lone CRs into LF,
// cut at every LF, keep the pieces of two characters or more.
Lines ExpectedUrlLines(std::wstring_view text) {
    std::wstring unified;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        unified += text[i] == L'\r' ? L'\n' : text[i];
    }
    Lines lines;
    std::size_t start = 0;
    while (start <= unified.size()) {
        std::size_t end = unified.find(L'\n', start);
        if (end == std::wstring::npos) end = unified.size();
        if (end - start >= 2) lines.push_back(unified.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void CheckUrlLines(std::wstring_view text) {
    const Lines lines = zendrel::ParseUrlLines(text);
    FUZZ_CHECK(lines == ExpectedUrlLines(text));
    // What is saved loads back as it was, and saving it again changes nothing.
    const std::wstring saved = zendrel::JoinUrlLines(lines);
    FUZZ_CHECK(zendrel::ParseUrlLines(saved) == lines);
    FUZZ_CHECK(zendrel::JoinUrlLines(zendrel::ParseUrlLines(saved)) == saved);
}

// The pieces between NULs; a text is cut at each NUL, so an entry never holds one.
void CheckRequests(std::wstring_view text) {
    const Lines pieces = zendrel::SplitRequests(text);
    FUZZ_CHECK(pieces.empty() == text.empty());
    std::wstring rejoined;
    Lines entries;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        FUZZ_CHECK(pieces[i].find(L'\0') == std::wstring::npos);
        if (i > 0) rejoined += L'\0';
        rejoined += pieces[i];
        if (!pieces[i].empty()) entries.push_back(pieces[i]);
    }
    FUZZ_CHECK(rejoined == text);
    // Joining keeps the entries and drops the empty pieces, with one NUL
    // between two entries; split again, it gives the entries back.
    const std::wstring joined = zendrel::JoinRequests(pieces);
    FUZZ_CHECK(joined.empty() || (joined.front() != L'\0' && joined.back() != L'\0'));
    FUZZ_CHECK(joined.find(std::wstring(2, L'\0')) == std::wstring::npos);
    FUZZ_CHECK(zendrel::SplitRequests(joined) == entries);
    FUZZ_CHECK(zendrel::JoinRequests(entries) == joined);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One character per byte finds the line ends and NULs fastest; the code
    // units of two bytes reach characters beyond the first 256 too.
    for (const std::wstring& text :
         {zendrel::fuzz::ByteChars(data, size), zendrel::fuzz::CodeUnits(data, size)}) {
        CheckUrlLines(text);
        CheckRequests(text);
    }
    return 0;
}
