// journalprep PATH
// Creates the activity log at PATH, or opens it when it exists, with an access
// list that lets every user write to it, and appends the line "Initialize Log".
// Prints nothing. Exit codes:
//   0  the line was appended;
//   1  not exactly one argument: nothing is done;
//   2  the file could not be opened or created (missing folder, no rights,
//      sharing conflict, invalid name): nothing is changed;
//   3  the line could not be appended in full: the file is put back as it was
//      (cut back to its former size, or removed again when this run created it).
#include <windows.h>

#include "world_acl.h"

#ifdef __MINGW32__
// The path is taken as it stands: no wildcard expansion of the arguments.
extern "C" {
int _dowildcard = 0;
}
#endif

namespace {

constexpr int kExitAppended = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotOpened = 2;
constexpr int kExitNotWritten = 3;

const char kLogLine[] = "Initialize Log";
const char kLineEnd[] = "\r\n";

// Appends the line at the end of the open file. On failure, cuts the file back
// to the size it had and returns false.
bool AppendLogLine(HANDLE file) {
    // Without a high part a position past 4 GB cannot be expressed: the call then
    // fails, and writing at the start instead would overwrite the log.
    SetLastError(NO_ERROR);
    DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
    if (end == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        journalprep::lastError = GetLastError();
        return false;
    }
    DWORD written = 0;
    bool complete = WriteFile(file, kLogLine, sizeof(kLogLine) - 1, &written, nullptr) &&
                    written == sizeof(kLogLine) - 1;
    if (complete) {
        DWORD endLength = static_cast<DWORD>(lstrlenA(kLineEnd));
        complete = WriteFile(file, kLineEnd, endLength, &written, nullptr) && written == endLength;
    }
    if (!complete) {
        journalprep::lastError = GetLastError();
        LONG endHigh = 0;  // the former size lies below 4 GB: read it as unsigned
        SetLastError(NO_ERROR);
        DWORD back = SetFilePointer(file, static_cast<LONG>(end), &endHigh, FILE_BEGIN);
        if (back != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR) SetEndOfFile(file);
    }
    return complete;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return kExitUsage;
    const char* path = argv[1];

    // A failed list leaves worldAcl null, which the descriptor below turns into
    // access for everyone, as the log needs.
    journalprep::MakeWorldAcl();
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    journalprep::PrepareSecurityAttributes(&descriptor, &attributes);

    int exitCode = kExitAppended;
    // The descriptor applies only when the file is created; an existing file keeps
    // its own access list. Others may read the log while it is open here.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, &attributes, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        journalprep::lastError = GetLastError();
        exitCode = kExitNotOpened;
    } else {
        bool created = GetLastError() != ERROR_ALREADY_EXISTS;
        if (!AppendLogLine(file)) exitCode = kExitNotWritten;
        CloseHandle(file);
        if (exitCode != kExitAppended && created) DeleteFileA(path);
    }
    journalprep::ReleaseWorldAcl();
    return exitCode;
}
