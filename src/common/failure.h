// A numbered run-time failure: number, description and source, as the error
// reports of the settings program show them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zendrel {

// The settings program's name: the source of the failures it reports, and
// the title of its plain message boxes.
inline constexpr wchar_t kProgramName[] = L"ZendrelPanel";

// The classic run-time numbers that the programs raise and report.
enum FailureNumber : std::int32_t {
    kInvalidArgument = 5,    // "Invalid procedure call or argument"
    kOverflow = 6,           // "Overflow"
    kOutOfMemory = 7,        // "Out of memory"
    kTypeMismatch = 13,      // "Type mismatch"
    kFileNotFound = 53,      // "File not found"
    kDiskFull = 61,          // "Disk full"
    kPermissionDenied = 70,  // "Permission denied": the one number the savers treat specially
    kPathNotFound = 76,      // "Path not found"
};

class Failure : public std::exception {
  public:
    Failure(std::int32_t number, std::wstring description, std::wstring source)
        : number_(number), description_(std::move(description)), source_(std::move(source)) {}

    // A failure with the standard description of its number.
    Failure(std::int32_t number, std::wstring source)
        : Failure(number, StandardDescription(number), std::move(source)) {}

    std::int32_t Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const std::wstring& Source() const noexcept { return source_; }
    const char* what() const noexcept override { return "zendrel::Failure"; }

    static std::wstring StandardDescription(std::int32_t number);

  private:
    std::int32_t number_;
    std::wstring description_;
    std::wstring source_;
};

// The failure of the exception being handled; call it only inside a catch
// block. A Failure is returned as it is, running out of memory as 7, and any
// other exception as 51 "Internal error" with the exception's own text, with
// `source` as its source.
Failure CurrentFailure(const wchar_t* source = kProgramName) noexcept;

// The text of a failure report: the introduction, then CR LF-separated lines
// " description = ", " source = " and " number = ".
std::wstring FailureReport(const std::wstring& introduction, const Failure& failure);

}  // namespace zendrel
