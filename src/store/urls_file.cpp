#include "urls_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "ansi.h"
#include "safe_file.h"
#include "site_text.h"

namespace zendrel {

using safe_file::Throw;

namespace {

// A program folder may lie deeper than MAX_PATH allows a plain path to reach.
// Such a path gets the extended-length form, which Windows takes at any
// length; shorter paths stay as they are.
std::wstring ReachablePath(const std::wstring& path) {
    constexpr std::size_t kPlainLimit = MAX_PATH - 32;  // room for a temporary file's suffix
    if (path.size() < kPlainLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
    // The extended form takes no forward slashes.
    std::wstring backslashed = path;
    std::replace(backslashed.begin(), backslashed.end(), L'/', L'\\');
    if (backslashed.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + backslashed.substr(2);
    if (backslashed.size() > 2 && backslashed[1] == L':' && backslashed[2] == L'\\')
        return L"\\\\?\\" + backslashed;
    return path;  // relative: left to Windows
}

// Copies the n characters at `in` to `out` as bytes, eight at a time through
// local blocks (which the compiler turns into a few vector instructions);
// false when one of them is not ASCII (what was copied is then written over).
bool CopyAscii(const wchar_t* in, std::size_t n, char* out) {
    unsigned seen = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        wchar_t wide[8];
        char narrow[8];
        std::memcpy(wide, in + i, sizeof wide);
        for (int k = 0; k < 8; ++k) {
            seen |= static_cast<unsigned>(wide[k]);
            narrow[k] = static_cast<char>(wide[k]);
        }
        std::memcpy(out + i, narrow, sizeof narrow);
    }
    for (; i < n; ++i) {
        seen |= static_cast<unsigned>(in[i]);
        out[i] = static_cast<char>(in[i]);
    }
    return seen < 0x80;
}

// Hands `write` the file's bytes for `lines`, ToAnsi(JoinUrlLines(lines)), a
// block at a time: a long list (100 000 lines) is never whole in memory a
// second time. ASCII is the same in every ANSI code page, so most lines need
// no conversion call.
void WriteUrlLines(const std::vector<std::wstring>& lines, const safe_file::Writer& write) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::string chunk(kChunk + 1024, '\0');
    std::size_t used = 0;
    for (const std::wstring& line : lines) {
        if (chunk.size() < used + line.size() + 2) chunk.resize(used + line.size() + 2);
        char* out = chunk.data() + used;
        if (CopyAscii(line.data(), line.size(), out)) {
            out += line.size();
        } else {
            // A line with any other character is converted as a whole.
            std::string ansi = ToAnsi(line);
            if (chunk.size() < used + ansi.size() + 2) chunk.resize(used + ansi.size() + 2);
            out = std::copy(ansi.begin(), ansi.end(), chunk.data() + used);
        }
        *out++ = '\r';
        *out++ = '\n';
        used = static_cast<std::size_t>(out - chunk.data());
        if (used >= kChunk) {
            write(std::string_view(chunk.data(), used));
            used = 0;
        }
    }
    if (used > 0) write(std::string_view(chunk.data(), used));
}

// The path by which the file is reached, once it is known to be a file (a
// folder counts as missing).
std::wstring ExistingReachablePath(const std::wstring& path) {
    std::wstring reachable = ReachablePath(path);
    safe_file::ExistingFileAttributes(reachable);
    return reachable;
}

// A file saved as UTF-8 by an editor may start with a byte-order mark. It is
// no part of the first site (which would then never match an address), so it
// is dropped; the bytes after it are kept as they are, and a save writes the
// file without it.
std::string_view WithoutByteOrderMark(std::string_view bytes) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kMark.size()) == kMark) bytes.remove_prefix(kMark.size());
    return bytes;
}

}  // namespace

std::vector<std::wstring> UrlsFileSites(std::string_view bytes) {
    try {
        return ParseUrlLines(FromAnsi(WithoutByteOrderMark(bytes)));
    } catch (const std::bad_alloc&) {
        Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool UrlsFileHolds(const std::wstring& path, std::string_view bytes) {
    return safe_file::FileHolds(ExistingReachablePath(path), bytes);
}

std::string ReadUrlsFileBytes(const std::wstring& path) {
    try {
        return safe_file::ReadWholeFile(ExistingReachablePath(path));
    } catch (const std::bad_alloc&) {
        Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

std::vector<std::wstring> LoadUrlsFile(const std::wstring& path) {
    return UrlsFileSites(ReadUrlsFileBytes(path));
}

void SaveUrlsFile(const std::wstring& path, const std::vector<std::wstring>& lines) {
    detail::SaveUrlsFile(path, lines, nullptr);
}

namespace detail {

void SaveUrlsFile(const std::wstring& path, const std::vector<std::wstring>& lines,
                  const std::function<void(std::size_t)>& afterBlock) {
    try {
        safe_file::ReplaceContent(
            ReachablePath(path),
            [&lines](const safe_file::Writer& write) { WriteUrlLines(lines, write); },
            safe_file::Missing::Refuse, afterBlock);
    } catch (const std::bad_alloc&) {
        Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

}  // namespace detail

}  // namespace zendrel
