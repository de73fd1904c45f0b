#include "world_acl.h"

namespace journalprep {

PSID worldSid = nullptr;
PACL worldAcl = nullptr;
DWORD lastError = NO_ERROR;

bool MakeWorldSid() {
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                  &worldSid)) {
        lastError = GetLastError();
        worldSid = nullptr;
        return false;
    }
    return true;
}

bool AddWorldAccess() {
    if (!AddAccessAllowedAce(worldAcl, ACL_REVISION, GENERIC_ALL, worldSid)) {
        lastError = GetLastError();
        return false;
    }
    return true;
}

bool MakeWorldAcl() {
    if (!MakeWorldSid()) return false;
    if (!IsValidSid(worldSid)) {
        lastError = ERROR_INVALID_SID;  // IsValidSid sets no error code of its own
        return false;
    }
    DWORD size = 2 * GetLengthSid(worldSid) + 16;
    worldAcl = static_cast<PACL>(HeapAlloc(GetProcessHeap(), 0, size));
    if (worldAcl == nullptr) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;  // HeapAlloc sets none either
        return false;
    }
    bool complete = false;
    if (!InitializeAcl(worldAcl, size, ACL_REVISION)) {
        lastError = GetLastError();
    } else {
        complete = AddWorldAccess();
    }
    if (!complete) {
        // An uninitialised block would be no list at all, and an empty one would
        // shut everyone out: give none, which leaves the file open to everyone.
        HeapFree(GetProcessHeap(), 0, worldAcl);
        worldAcl = nullptr;
    }
    return complete;
}

bool PrepareSecurityAttributes(SECURITY_DESCRIPTOR* descriptor, SECURITY_ATTRIBUTES* attributes) {
    attributes->nLength = sizeof(SECURITY_ATTRIBUTES);
    attributes->lpSecurityDescriptor = nullptr;
    attributes->bInheritHandle = FALSE;
    if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(descriptor, TRUE, worldAcl, FALSE)) {
        lastError = GetLastError();
        return false;
    }
    attributes->lpSecurityDescriptor = descriptor;
    return true;
}

void ReleaseWorldAcl() {
    if (worldAcl != nullptr) {
        HeapFree(GetProcessHeap(), 0, worldAcl);
        worldAcl = nullptr;
    }
    if (worldSid != nullptr) {
        FreeSid(worldSid);
        worldSid = nullptr;
    }
}

}  // namespace journalprep
