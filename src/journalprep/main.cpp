// journalprep PATH
// Creates the activity log at PATH, or opens it when it exists, gives it the
// access list of world_acl.h (every user may write to it, none may delete it or
// change its list), and appends the line "Initialize Log". Prints nothing but
// the reason for codes 5 and 6, on standard error. Exit codes:
//   0  the line was appended;
//   1  not exactly one argument: nothing is done;
//   2  the file could not be opened or created (missing folder, no rights,
//      sharing conflict, invalid name): nothing is changed;
//   3  the line could not be appended in full: the file's contents were put
//      back as they were (cut back to its former size, or removed again when
//      this run created it);
//   4  the line could not be appended in full, and putting the file back failed
//      too: the file may hold part of the line, or a file this run created may
//      remain;
//   5  what is at PATH is not a plain file: a folder, a link (symbolic link,
//      junction or another reparse point), a file that has another name too (a
//      hard link) or a device; it is left alone, since it could lead the
//      administrator's run to another file;
//   6  the access list could not be made, or could not be put on the existing
//      log: nothing is changed.
#include <windows.h>

// Header-only: journalprep still links nothing of ours.
#include "../common/handles.h"
#include "../common/system_libraries.h"
#include "world_acl.h"

#include <string>

#ifdef JOURNALPREP_TEST_FAULTS
#include <cstdlib>
#include <cstring>
#endif

#ifdef __MINGW32__
// The path is taken as it stands: no wildcard expansion of the arguments.
extern "C" {
int _dowildcard = 0;
}
#endif

namespace {

using zendrel::FileHandle;

constexpr int kExitAppended = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotOpened = 2;
constexpr int kExitNotWritten = 3;
constexpr int kExitNotPutBack = 4;
constexpr int kExitNotPlainFile = 5;
constexpr int kExitNoAccessList = 6;

// How often a file that appears or vanishes between the two opening calls is
// tried again before the run gives up.
constexpr int kOpenAttempts = 3;

const char kLogLine[] = "Initialize Log";
const char kLineEnd[] = "\r\n";

// The open log, and whether this run created it.
struct OpenedLog {
    FileHandle file;
    bool created = false;
};

// Opens the log for appending; others may read it meanwhile. Neither call
// follows a link at PATH (FILE_FLAG_OPEN_REPARSE_POINT): a link planted there,
// even one that leads nowhere yet, is opened itself, and then refused.
//
// A file this run creates is opened with DELETE access as well, so that a
// failed run removes it through this very handle rather than by a name that
// may by then belong to another file. An existing file is opened without it
// (asking DELETE of a log that a reader holds without delete sharing, as fopen
// does, would fail), but with WRITE_DAC and WRITE_OWNER to give it the list;
// with FILE_FLAG_BACKUP_SEMANTICS a folder opens too, so that it is refused
// for what it is.
OpenedLog OpenLog(const char* path, SECURITY_ATTRIBUTES* attributes) {
    OpenedLog log;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        // The descriptor applies only when the file is created here.
        log.file.Reset(CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, attributes,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
        if (log.file) {
            log.created = true;
            return log;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        log.file.Reset(CreateFileA(
            path, GENERIC_WRITE | WRITE_DAC | WRITE_OWNER, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
            nullptr));
        if (log.file || GetLastError() != ERROR_FILE_NOT_FOUND) break;
        // Removed between the two calls: create it after all.
    }
    if (!log.file) journalprep::lastError = GetLastError();
    return log;
}

// Why the file found at the log's place is not taken for the log, or null when
// it is a plain file with this one name. A link, a folder or a device could
// make the administrator's run list or write another file; so could a hard
// link, which shares the file with another name that a user may have chosen.
const char* NotPlainFile(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) return "a device";
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return "a file whose kind cannot be read";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "a link (a symbolic link, a junction or another reparse point)";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder";
    if (info.nNumberOfLinks != 1) return "a file that has other names too (a hard link)";
    return nullptr;
}

// "journalprep: ..." and a line end, on standard error.
void Report(const std::string& text) {
    std::string line = "journalprep: " + text + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

#ifdef JOURNALPREP_TEST_FAULTS
// The tests' build (journalprep_faults.exe, never installed) fails on purpose
// where the environment variable JOURNALPREP_FAULTS says: "write=N" lets N
// more bytes be written and then fails every write, as a full disk does;
// "putback" makes putting the file back fail as well.
namespace faults {

const char* Setting() {
    static char value[64] = {};
    static bool read = false;
    if (!read) {
        read = true;
        DWORD n = GetEnvironmentVariableA("JOURNALPREP_FAULTS", value, sizeof value);
        if (n >= sizeof value) value[0] = '\0';
    }
    return value;
}

// The bytes that may still be written, or -1 when writes do not fail.
long& WriteBudget() {
    static long budget = [] {
        const char* write = strstr(Setting(), "write=");
        return write ? strtol(write + 6, nullptr, 10) : -1L;
    }();
    return budget;
}

bool PutBackFails() {
    return strstr(Setting(), "putback") != nullptr;
}

}  // namespace faults
#endif

// Writes all of `bytes`; false when the write fails or stops short.
bool WriteBytes(HANDLE file, const char* bytes, DWORD length) {
    DWORD written = 0;
#ifdef JOURNALPREP_TEST_FAULTS
    if (long& budget = faults::WriteBudget(); budget >= 0 && budget < static_cast<long>(length)) {
        DWORD part = static_cast<DWORD>(budget);
        budget = 0;
        if (part > 0) WriteFile(file, bytes, part, &written, nullptr);
        SetLastError(ERROR_DISK_FULL);
        return false;
    } else if (budget >= 0) {
        budget -= static_cast<long>(length);
    }
#endif
    return WriteFile(file, bytes, length, &written, nullptr) && written == length;
}

// Appends the line at the end of the file, whose former size it gives back.
bool AppendLogLine(HANDLE file, DWORD& formerSize) {
    // Without a high part a position past 4 GB cannot be expressed: the call then
    // fails, and writing at the start instead would overwrite the log.
    SetLastError(NO_ERROR);
    formerSize = SetFilePointer(file, 0, nullptr, FILE_END);
    if (formerSize == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        journalprep::lastError = GetLastError();
        return false;
    }
    if (WriteBytes(file, kLogLine, sizeof(kLogLine) - 1) &&
        WriteBytes(file, kLineEnd, static_cast<DWORD>(lstrlenA(kLineEnd))))
        return true;
    journalprep::lastError = GetLastError();
    return false;
}

// Cuts an existing file back to its former size after a failed append. A file
// whose size did not change needs nothing: a device that takes no data and
// cannot be cut, for one, is left alone.
bool CutBack(HANDLE file, DWORD formerSize) {
#ifdef JOURNALPREP_TEST_FAULTS
    if (faults::PutBackFails()) return false;
#endif
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart == formerSize) return true;
    LARGE_INTEGER former{};
    former.QuadPart = formerSize;
    return SetFilePointerEx(file, former, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// Marks a file this run created for removal; it goes when its handle closes.
bool RemoveOnClose(HANDLE file) {
#ifdef JOURNALPREP_TEST_FAULTS
    if (faults::PutBackFails()) return false;
#endif
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

// Appends the line to the open log; after a failure, puts the file back.
int Append(const OpenedLog& log) {
    DWORD formerSize = 0;
    if (AppendLogLine(log.file.Get(), formerSize)) return kExitAppended;
    bool putBack =
        log.created ? RemoveOnClose(log.file.Get()) : CutBack(log.file.Get(), formerSize);
    return putBack ? kExitNotWritten : kExitNotPutBack;
}

// A log this run created has its list already; one that was there is checked
// and given the list before the line is appended to it.
int PrepareLog(const OpenedLog& log, const std::string& path) {
    if (!log.created) {
        if (const char* found = NotPlainFile(log.file.Get())) {
            Report(path + " is " + found + ", not a plain file; it was left alone");
            return kExitNotPlainFile;
        }
        if (!journalprep::ApplyWorldAcl(log.file.Get())) {
            Report("cannot give " + path + " its access list (error " +
                   std::to_string(journalprep::lastError) + "); nothing was changed");
            return kExitNoAccessList;
        }
    }
    return Append(log);
}

}  // namespace

int main(int argc, char** argv) {
    zendrel::KeepLibrarySearchToSystemFolder();
    if (argc != 2) return kExitUsage;
    const std::string path = argv[1];

    // Without the list the log is not made: any weaker one would let a user
    // delete it or shut the other accounts out.
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    if (!journalprep::MakeWorldAcl() ||
        !journalprep::PrepareSecurityAttributes(&descriptor, &attributes)) {
        Report("cannot make the access list for " + path + " (error " +
               std::to_string(journalprep::lastError) + "); nothing was changed");
        journalprep::ReleaseWorldAcl();
        return kExitNoAccessList;
    }

    int exitCode = kExitNotOpened;
    {
        // Closed before the list and the identifiers are released.
        OpenedLog log = OpenLog(path.c_str(), &attributes);
        if (log.file) exitCode = PrepareLog(log, path);
    }
    journalprep::ReleaseWorldAcl();
    return exitCode;
}
