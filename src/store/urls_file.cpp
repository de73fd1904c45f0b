#include "urls_file.h"

#include <new>

#include "ansi.h"
#include "safe_file.h"
#include "site_text.h"

namespace zendrel {

using safe_file::Throw;

std::vector<std::wstring> LoadUrlsFile(const std::wstring& path) {
    try {
        safe_file::ExistingFileAttributes(path);
        return ParseUrlLines(FromAnsi(safe_file::ReadWholeFile(path)));
    } catch (const std::bad_alloc&) {
        Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

void SaveUrlsFile(const std::wstring& path, const std::vector<std::wstring>& lines) {
    detail::SaveUrlsFile(path, lines, nullptr);
}

namespace detail {

void SaveUrlsFile(const std::wstring& path, const std::vector<std::wstring>& lines,
                  const std::function<void(std::size_t)>& afterBlock) {
    try {
        safe_file::ReplaceFile(
            path, [&lines] { return ToAnsi(JoinUrlLines(lines)); }, safe_file::Missing::Refuse,
            afterBlock);
    } catch (const std::bad_alloc&) {
        Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

}  // namespace detail

}  // namespace zendrel
