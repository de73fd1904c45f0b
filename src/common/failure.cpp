#include "failure.h"

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

std::wstring FailureReport(const std::wstring& introduction, const Failure& failure) {
    return introduction + L"\r\n description = " + failure.Description() + L"\r\n source = " +
           failure.Source() + L"\r\n number = " + std::to_wstring(failure.Number());
}

}  // namespace zendrel
