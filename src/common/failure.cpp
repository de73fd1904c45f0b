#include "failure.h"

#include <new>

namespace zendrel {

std::wstring Failure::StandardDescription(std::int32_t number) {
    switch (number) {
        case kInvalidArgument:
            return L"Invalid procedure call or argument";
        case kOverflow:
            return L"Overflow";
        case kOutOfMemory:
            return L"Out of memory";
        case kTypeMismatch:
            return L"Type mismatch";
        case kFileNotFound:
            return L"File not found";
        case kDiskFull:
            return L"Disk full";
        case kPermissionDenied:
            return L"Permission denied";
        case kPathNotFound:
            return L"Path not found";
        default:
            return L"Application-defined or object-defined error";
    }
}

namespace {

constexpr std::int32_t kInternalError = 51;

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* p = text; p && *p; ++p)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return wide;
}

}  // namespace

Failure CurrentFailure(const wchar_t* source) noexcept {
    try {
        try {
            throw;
        } catch (const Failure& failure) {
            return failure;
        } catch (const std::bad_alloc&) {
            return Failure(kOutOfMemory, source);
        } catch (const std::exception& e) {
            return Failure(kInternalError, L"Internal error: " + Widen(e.what()), source);
        } catch (...) {
            return Failure(kInternalError, L"Internal error", source);
        }
    } catch (...) {
        // Building the failure itself ran out of memory.
        std::terminate();
    }
}

std::wstring FailureReport(const std::wstring& introduction, const Failure& failure) {
    return introduction + L"\r\n description = " + failure.Description() + L"\r\n source = " +
           failure.Source() + L"\r\n number = " + std::to_wstring(failure.Number());
}

}  // namespace zendrel
