// journalprep PATH
// Creates the activity log at PATH, or opens it when it exists, with an access
// list that lets every user write to it, and appends the line "Initialize Log".
// Prints nothing. Exit codes:
//   0  the line was appended;
//   1  not exactly one argument: nothing is done;
//   2  the file could not be opened or created (missing folder, no rights,
//      sharing conflict, invalid name): nothing is changed;
//   3  the line could not be appended in full: the file was put back as it was
//      (cut back to its former size, or removed again when this run created it);
//   4  the line could not be appended in full, and putting the file back failed
//      too: the file may hold part of the line, or a file this run created may
//      remain.
#include <windows.h>

// Header-only: journalprep still links nothing of ours.
#include "../common/handles.h"
#include "../common/system_libraries.h"
#include "world_acl.h"

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

// Opens the log for appending; others may read it meanwhile. A file this run
// creates is opened with DELETE access as well, so that a failed run removes
// it through this very handle rather than by a name that may by then belong to
// another file. An existing file is opened without it: asking DELETE of a log
// that a reader holds without delete sharing (as fopen does) would fail.
OpenedLog OpenLog(const char* path, SECURITY_ATTRIBUTES* attributes) {
    OpenedLog log;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        // The descriptor applies only when the file is created here.
        log.file.Reset(CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, attributes,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (log.file) {
            log.created = true;
            return log;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        log.file.Reset(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, attributes, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (log.file || GetLastError() != ERROR_FILE_NOT_FOUND) break;
        // Removed between the two calls: create it after all.
    }
    if (!log.file) journalprep::lastError = GetLastError();
    return log;
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

}  // namespace

int main(int argc, char** argv) {
    zendrel::KeepLibrarySearchToSystemFolder();
    if (argc != 2) return kExitUsage;

    // A failed list leaves worldAcl null, which the descriptor below turns into
    // access for everyone, as the log needs.
    journalprep::MakeWorldAcl();
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    journalprep::PrepareSecurityAttributes(&descriptor, &attributes);

    int exitCode = kExitNotOpened;
    {
        // Closed before the list and the identifier are released.
        OpenedLog log = OpenLog(argv[1], &attributes);
        if (log.file) exitCode = Append(log);
    }
    journalprep::ReleaseWorldAcl();
    return exitCode;
}
