#include "site_text.h"

#include <algorithm>
#include <unordered_map>

#include "text.h"

namespace zendrel {

std::vector<std::wstring> ParseUrlLines(std::wstring_view fileText) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t end = fileText.find_first_of(L"\r\n", start);
        std::size_t next;
        if (end == std::wstring_view::npos) {
            end = fileText.size();
            next = end;
        } else if (fileText[end] == L'\r' && end + 1 < fileText.size() &&
                   fileText[end + 1] == L'\n') {
            next = end + 2;
        } else {
            next = end + 1;
        }
        if (end - start >= 2) lines.emplace_back(fileText.substr(start, end - start));
        start = next;
    }
    return lines;
}

std::wstring JoinUrlLines(const std::vector<std::wstring>& lines) {
    std::size_t total = 0;
    for (const std::wstring& line : lines) total += line.size() + 2;
    std::wstring text;
    text.reserve(total);
    for (const std::wstring& line : lines) {
        text += line;
        text += L"\r\n";
    }
    return text;
}

std::wstring JoinRequests(const std::vector<std::wstring>& entries) {
    std::size_t total = 0;
    for (const std::wstring& entry : entries) total += entry.size() + 1;
    std::wstring text;
    text.reserve(total);
    for (const std::wstring& entry : entries) {
        if (entry.empty()) continue;
        if (!text.empty()) text += L'\0';
        text += entry;
    }
    return text;
}

std::vector<std::wstring> SplitRequests(std::wstring_view text) {
    return Split(text, L'\0');
}

std::vector<std::wstring> MergeChanges(const std::vector<std::wstring>& before,
                                       const std::vector<std::wstring>& after,
                                       std::vector<std::wstring> now) {
    std::unordered_map<std::wstring, long> count;  // > 0: rows removed, < 0: rows added
    for (const std::wstring& row : before) ++count[row];
    for (const std::wstring& row : after) --count[row];
    std::vector<std::wstring> removed;
    for (const std::wstring& row : before) {
        auto found = count.find(row);
        if (found->second > 0) {
            removed.push_back(row);
            --found->second;
        }
    }
    now = WithoutRemoved(std::move(now), removed);
    for (const std::wstring& row : after) {
        auto found = count.find(row);
        if (found->second < 0) {
            now.push_back(row);
            ++found->second;
        }
    }
    return now;
}

std::vector<std::wstring> WithoutRemoved(std::vector<std::wstring> entries,
                                         const std::vector<std::wstring>& removed) {
    if (removed.empty()) return entries;
    std::unordered_map<std::wstring, long> pending;
    for (const std::wstring& gone : removed) ++pending[gone];
    std::vector<std::wstring> kept;
    kept.reserve(entries.size());
    for (std::wstring& entry : entries) {
        auto found = pending.find(entry);
        if (found != pending.end() && found->second > 0)
            --found->second;  // the first occurrences go
        else
            kept.push_back(std::move(entry));
    }
    return kept;
}

}  // namespace zendrel
