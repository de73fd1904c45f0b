#include "world_acl.h"

#include <aclapi.h>

#include <initializer_list>

namespace journalprep {

PSID worldSid = nullptr;
PSID systemSid = nullptr;
PSID administratorsSid = nullptr;
PACL worldAcl = nullptr;
DWORD lastError = NO_ERROR;

namespace {

bool Allocate(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first, DWORD second,
              PSID* sid) {
    if (!AllocateAndInitializeSid(&authority, count, first, second, 0, 0, 0, 0, 0, 0, sid)) {
        lastError = GetLastError();
        *sid = nullptr;
        return false;
    }
    return true;
}

bool AddAllowed(ACCESS_MASK access, PSID sid) {
    if (!AddAccessAllowedAce(worldAcl, ACL_REVISION, access, sid)) {
        lastError = GetLastError();
        return false;
    }
    return true;
}

// The bytes of one access-allowed entry for `sid`: its header and mask, then
// the identifier in place of the entry's SidStart.
DWORD EntrySize(PSID sid) {
    return sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
}

}  // namespace

bool MakeWorldSid() {
    return Allocate(SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0, &worldSid);
}

bool MakeAdministratorSids() {
    return Allocate(SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID, 0, &systemSid) &&
           Allocate(SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                    &administratorsSid);
}

bool AddAdministratorAccess() {
    return AddAllowed(kAdministratorAccess, systemSid) &&
           AddAllowed(kAdministratorAccess, administratorsSid);
}

bool AddWorldAccess() {
    return AddAllowed(kWorldAccess, worldSid);
}

bool MakeWorldAcl() {
    if (!MakeWorldSid() || !MakeAdministratorSids()) return false;
    for (PSID sid : {worldSid, systemSid, administratorsSid}) {
        if (!IsValidSid(sid)) {
            lastError = ERROR_INVALID_SID;  // IsValidSid sets no error code of its own
            return false;
        }
    }
    DWORD size =
        sizeof(ACL) + EntrySize(systemSid) + EntrySize(administratorsSid) + EntrySize(worldSid);
    worldAcl = static_cast<PACL>(HeapAlloc(GetProcessHeap(), 0, size));
    if (worldAcl == nullptr) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;  // HeapAlloc sets none either
        return false;
    }
    bool complete = false;
    if (!InitializeAcl(worldAcl, size, ACL_REVISION)) {
        lastError = GetLastError();
    } else {
        complete = AddAdministratorAccess() && AddWorldAccess();
    }
    if (!complete) {
        // An uninitialised or partial block is no list to give the log.
        HeapFree(GetProcessHeap(), 0, worldAcl);
        worldAcl = nullptr;
    }
    return complete;
}

bool PrepareSecurityAttributes(SECURITY_DESCRIPTOR* descriptor, SECURITY_ATTRIBUTES* attributes) {
    attributes->nLength = sizeof(SECURITY_ATTRIBUTES);
    attributes->lpSecurityDescriptor = nullptr;
    attributes->bInheritHandle = FALSE;
    if (worldAcl == nullptr) {
        lastError = ERROR_INVALID_ACL;
        return false;
    }
    if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(descriptor, TRUE, worldAcl, FALSE) ||
        !SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
        lastError = GetLastError();
        return false;
    }
    attributes->lpSecurityDescriptor = descriptor;
    return true;
}

bool ApplyWorldAcl(HANDLE file) {
    if (worldAcl == nullptr || administratorsSid == nullptr) {
        lastError = ERROR_INVALID_ACL;
        return false;
    }
    DWORD error = SetSecurityInfo(file, SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                      PROTECTED_DACL_SECURITY_INFORMATION,
                                  administratorsSid, nullptr, worldAcl, nullptr);
    if (error != ERROR_SUCCESS) {
        lastError = error;
        return false;
    }
    return true;
}

void ReleaseWorldAcl() {
    if (worldAcl != nullptr) {
        HeapFree(GetProcessHeap(), 0, worldAcl);
        worldAcl = nullptr;
    }
    for (PSID* sid : {&worldSid, &systemSid, &administratorsSid}) {
        if (*sid != nullptr) {
            FreeSid(*sid);
            *sid = nullptr;
        }
    }
}

}  // namespace journalprep
