#include "safe_file.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "handles.h"
#include "win32_failure.h"

namespace zendrel {

namespace safe_file {

void Throw(DWORD error) {
    throw FailureFromWin32(error, kProgramName);
}

void ThrowLastError() {
    Throw(GetLastError());
}

namespace {

constexpr DWORD kBlockSize = 64 * 1024;
constexpr unsigned kMaxTempAttempts = 1000;
// The attributes a file may be given with SetFileAttributesW.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_TEMPORARY;

// The temporary file of one save: deleted when it goes out of scope unless
// it has been renamed into place.
class TempFile {
  public:
    TempFile(std::wstring path, FileHandle handle)
        : path_(std::move(path)), handle_(std::move(handle)) {}
    ~TempFile() {
        handle_.Reset();
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::wstring& Path() const { return path_; }
    FileHandle& Handle() { return handle_; }
    void Released() { path_.clear(); }

  private:
    std::wstring path_;
    FileHandle handle_;
};

// The add-on reads urls.txt while it runs, and the C runtime's fopen opens it
// without delete sharing: for that moment the file can be neither opened for
// the rename nor replaced. Such a reader is waited for, up to this long.
constexpr ULONGLONG kReaderPatienceMs = 2000;
constexpr DWORD kFirstPauseMs = 10;
constexpr DWORD kLongestPauseMs = 250;

// Runs `attempt`, which returns ERROR_SUCCESS or a Windows error code, again
// with growing pauses while it fails with an error `held` accepts, until about
// two seconds have passed. Returns the result of the last attempt.
template <typename Attempt, typename Held>
DWORD RetryWhileHeld(Attempt attempt, Held held) {
    const ULONGLONG start = GetTickCount64();
    DWORD pause = kFirstPauseMs;
    for (;;) {
        DWORD error = attempt();
        if (error == ERROR_SUCCESS || !held(error)) return error;
        ULONGLONG waited = GetTickCount64() - start;
        if (waited >= kReaderPatienceMs) return error;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(pause, kReaderPatienceMs - waited)));
        pause = std::min(pause * 2, kLongestPauseMs);
    }
}

// The self-relative descriptor holding the file's access list; empty when the
// volume keeps no security.
std::vector<BYTE> ReadDacl(const std::wstring& path) {
    DWORD needed = 0;
    std::vector<BYTE> descriptor(1024);  // most lists fit: read with one call
    for (;;) {
        if (GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                             static_cast<DWORD>(descriptor.size()), &needed))
            return descriptor;
        DWORD error = GetLastError();
        if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return {};
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) Throw(error);
        descriptor.resize(needed);
    }
}

bool ParseUnsigned(std::wstring_view digits, unsigned long& value) {
    if (digits.empty() || digits.size() > 10) return false;
    unsigned long long v = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return false;
        v = v * 10 + static_cast<unsigned>(c - L'0');
    }
    if (v > std::numeric_limits<DWORD>::max()) return false;
    value = static_cast<unsigned long>(v);
    return true;
}

// The process id in the name of a temporary file of a save of `fileName`
// ("<fileName>.<pid>-<counter>.tmp").
bool TempFileOwner(std::wstring_view tempName, std::wstring_view fileName, DWORD& pid) {
    constexpr std::wstring_view kSuffix = L".tmp";
    if (tempName.size() <= fileName.size() + 1 + kSuffix.size()) return false;
    if (CompareStringOrdinal(tempName.data(), static_cast<int>(fileName.size()), fileName.data(),
                             static_cast<int>(fileName.size()), TRUE) != CSTR_EQUAL)
        return false;
    if (tempName[fileName.size()] != L'.') return false;
    if (CompareStringOrdinal(tempName.data() + tempName.size() - kSuffix.size(),
                             static_cast<int>(kSuffix.size()), kSuffix.data(),
                             static_cast<int>(kSuffix.size()), TRUE) != CSTR_EQUAL)
        return false;
    std::wstring_view middle = tempName.substr(
        fileName.size() + 1, tempName.size() - fileName.size() - 1 - kSuffix.size());
    std::size_t dash = middle.find(L'-');
    unsigned long owner = 0, counter = 0;
    if (dash == std::wstring_view::npos || !ParseUnsigned(middle.substr(0, dash), owner) ||
        !ParseUnsigned(middle.substr(dash + 1), counter))
        return false;
    pid = owner;
    return true;
}

// False only when the process has certainly ended; a process of another user
// counts as running.
bool ProcessMayBeRunning(DWORD pid) {
    KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    return !GetExitCodeProcess(process.Get(), &code) || code == STILL_ACTIVE;
}

// Removes the temporary files left behind by saves whose process was killed.
// Best effort: whatever cannot be removed stays, and never hinders a save.
void RemoveStaleTempFiles(const std::wstring& path) {
    std::size_t cut = path.find_last_of(L"\\/:");
    std::wstring folder = cut == std::wstring::npos ? L"" : path.substr(0, cut + 1);
    std::wstring fileName = path.substr(folder.size());
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW((path + L".*.tmp").c_str(), &found));
    if (!search) return;
    do {
        DWORD owner = 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !TempFileOwner(found.cFileName, fileName, owner) || owner == GetCurrentProcessId() ||
            ProcessMayBeRunning(owner))
            continue;
        std::wstring stale = folder + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(stale.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(stale.c_str());
    } while (FindNextFileW(search.Get(), &found));
}

// Creates a new temporary file beside `path` under a name no other file has,
// with the given attributes (a new file takes them at once, even read-only,
// and its handle still writes).
std::unique_ptr<TempFile> CreateTempFile(const std::wstring& path, DWORD attributes) {
    static std::atomic<unsigned> counter{0};
    for (unsigned attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        std::wstring tempPath = detail::TempPathFor(path, GetCurrentProcessId(), counter++);
        FileHandle handle(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      attributes, nullptr));
        if (handle) return std::make_unique<TempFile>(std::move(tempPath), std::move(handle));
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) Throw(error);
    }
    Throw(ERROR_FILE_EXISTS);
}

// Writes `bytes` to the file in blocks, calling afterBlock with the bytes
// written so far after each; `done` counts across calls.
void WriteBlocks(HANDLE file, std::string_view bytes, std::size_t& done,
                 const std::function<void(std::size_t)>& afterBlock) {
    while (!bytes.empty()) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(kBlockSize, bytes.size()));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data(), want, &wrote, nullptr)) ThrowLastError();
        if (wrote == 0) Throw(ERROR_WRITE_FAULT);
        done += wrote;
        bytes.remove_prefix(wrote);
        if (afterBlock) afterBlock(done);
    }
}

// Refuses a file that cannot be opened for writing and for the rename that
// replaces it, before anything is written; the file is not emptied here. A
// reader that shares no deletion is waited for; other refusals (no rights)
// are final at once.
void CheckWritable(const std::wstring& path) {
    DWORD error = RetryWhileHeld(
        [&path] {
            FileHandle check(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return check ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError();
        },
        [](DWORD failed) { return failed == ERROR_SHARING_VIOLATION; });
    if (error != ERROR_SUCCESS) Throw(error);
}

// Puts the temporary file in the place of `path` with one rename. A reader
// holding `path` makes Windows report a sharing violation or access denied
// while it holds the file: the rename is tried again until it lets go.
void SwapIntoPlace(const std::wstring& tempPath, const std::wstring& path) {
    DWORD error = RetryWhileHeld(
        [&] {
            return MoveFileExW(tempPath.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                       ? static_cast<DWORD>(ERROR_SUCCESS)
                       : GetLastError();
        },
        [](DWORD failed) {
            return failed == ERROR_SHARING_VIOLATION || failed == ERROR_ACCESS_DENIED;
        });
    if (error != ERROR_SUCCESS) Throw(error);
}

// The attributes of the file that a save replaces; nullopt when it is missing
// and may be created.
std::optional<DWORD> TargetAttributes(const std::wstring& path, Missing missing) {
    if (missing == Missing::Create) {
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;
            Throw(error);
        }
        // Windows refuses to open a folder for writing in the same way.
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) Throw(ERROR_ACCESS_DENIED);
    }
    return ExistingFileAttributes(path);
}

// The file opened for reading while others may write or delete it, and its
// size then.
FileHandle OpenForReading(const std::wstring& path, LARGE_INTEGER& size) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) ThrowLastError();
    if (!GetFileSizeEx(file.Get(), &size)) ThrowLastError();
    return file;
}

}  // namespace

// The attributes of an existing file; a folder counts as a missing file.
DWORD ExistingFileAttributes(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) ThrowLastError();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) Throw(ERROR_FILE_NOT_FOUND);
    return attributes;
}

std::string ReadWholeFile(const std::wstring& path) {
    LARGE_INTEGER size{};
    FileHandle file = OpenForReading(path, size);
    // The text is converted with int lengths.
    if (size.QuadPart > std::numeric_limits<int>::max()) Throw(ERROR_NOT_ENOUGH_MEMORY);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char block[kBlockSize];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), block, kBlockSize, &got, nullptr)) ThrowLastError();
        if (got == 0) break;
        if (bytes.size() + got > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            Throw(ERROR_NOT_ENOUGH_MEMORY);
        bytes.append(block, got);
    }
    return bytes;
}

bool FileHolds(const std::wstring& path, std::string_view bytes) {
    LARGE_INTEGER size{};
    FileHandle file = OpenForReading(path, size);
    if (static_cast<ULONGLONG>(size.QuadPart) != bytes.size()) return false;
    char block[kBlockSize];
    std::size_t compared = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), block, kBlockSize, &got, nullptr)) ThrowLastError();
        if (got == 0) return compared == bytes.size();
        if (got > bytes.size() - compared || std::memcmp(block, bytes.data() + compared, got) != 0)
            return false;
        compared += got;
    }
}

void ReplaceContent(const std::wstring& path, const std::function<void(const Writer&)>& content,
                    Missing missing, const std::function<void(std::size_t)>& afterBlock) {
    // Refusals first, before any other file is made: the file must exist (or
    // may be created) and must not be read-only (refused at once: waiting
    // would not change it).
    std::optional<DWORD> attributes = TargetAttributes(path, missing);
    std::vector<BYTE> dacl;
    if (attributes) {
        if (*attributes & FILE_ATTRIBUTE_READONLY) Throw(ERROR_ACCESS_DENIED);
        CheckWritable(path);
        dacl = ReadDacl(path);
    }
    RemoveStaleTempFiles(path);
    // The replaced file's attributes, which the temporary file takes as it is made.
    DWORD keep = attributes ? *attributes & kSettableAttributes : 0;
    std::unique_ptr<TempFile> temp = CreateTempFile(path, keep != 0 ? keep : FILE_ATTRIBUTE_NORMAL);
    std::size_t done = 0;
    content([&](std::string_view bytes) {
        WriteBlocks(temp->Handle().Get(), bytes, done, afterBlock);
    });
    if (!FlushFileBuffers(temp->Handle().Get())) ThrowLastError();
    if (!temp->Handle().Reset()) ThrowLastError();

    if (!dacl.empty() &&
        !SetFileSecurityW(temp->Path().c_str(), DACL_SECURITY_INFORMATION, dacl.data()))
        ThrowLastError();
    SwapIntoPlace(temp->Path(), path);
    temp->Released();
}

}  // namespace safe_file

namespace detail {

std::wstring TempPathFor(const std::wstring& path, DWORD pid, unsigned counter) {
    return path + L"." + std::to_wstring(pid) + L"-" + std::to_wstring(counter) + L".tmp";
}

}  // namespace detail

}  // namespace zendrel
