// The text forms of the two site lists: the lines of urls.txt and the
// NUL-separated text of the "requests" value. Needs no Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

// The approved sites in urls.txt text: lines end at CR LF, at a lone LF or at
// a lone CR; a last line without an end counts too. Lines of fewer than two
// characters are dropped, every other line is kept as it stands (no trimming,
// duplicates kept), in file order.
std::vector<std::wstring> ParseUrlLines(std::wstring_view fileText);

// The urls.txt text of the approved sites: every entry followed by CR LF; an
// empty list gives the empty text.
std::wstring JoinUrlLines(const std::vector<std::wstring>& lines);

// The text of "requests": the non-empty entries, in order, with one NUL
// between two entries and nothing before the first or after the last.
std::wstring JoinRequests(const std::vector<std::wstring>& entries);

// The entries of a "requests" text: one per piece between NULs, empty pieces
// included; the empty text gives none.
std::vector<std::wstring> SplitRequests(std::wstring_view text);

// The changes from `before` to `after` (one row removed for each row of
// `before` that `after` lacks, the rows `after` has more appended in its
// order) applied to `now`.
std::vector<std::wstring> MergeChanges(const std::vector<std::wstring>& before,
                                       const std::vector<std::wstring>& after,
                                       std::vector<std::wstring> now);

// The entries less one occurrence (the first) of each removed entry, in order.
std::vector<std::wstring> WithoutRemoved(std::vector<std::wstring> entries,
                                         const std::vector<std::wstring>& removed);

}  // namespace zendrel
