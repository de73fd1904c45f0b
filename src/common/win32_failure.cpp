#include "win32_failure.h"

#include "handles.h"

namespace zendrel {

namespace {

std::wstring SystemMessage(DWORD error) {
    LocalMemoryHandle buffer;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer) text.assign(static_cast<const wchar_t*>(buffer.Get()), length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) text = L"System error " + std::to_wstring(error);
    return text;
}

}  // namespace

Failure FailureFromWin32(DWORD error, std::wstring source) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return Failure(kPermissionDenied, std::move(source));
        case ERROR_FILE_NOT_FOUND:
            return Failure(kFileNotFound, std::move(source));
        case ERROR_PATH_NOT_FOUND:
            return Failure(kPathNotFound, std::move(source));
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Failure(kDiskFull, std::move(source));
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return Failure(kOutOfMemory, std::move(source));
        default:
            return Failure(kInvalidArgument, SystemMessage(error), std::move(source));
    }
}

}  // namespace zendrel
