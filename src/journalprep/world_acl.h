// The access list that journalprep gives a log file it creates: one entry that
// grants everyone (S-1-1-0) all access.
#pragma once

#include <windows.h>

namespace journalprep {

// Process-wide slots, alive from the start of a run to its end. worldSid is made
// by AllocateAndInitializeSid and released by FreeSid; worldAcl is a block of the
// process heap. Both are null when not held.
extern PSID worldSid;
extern PACL worldAcl;
// System error code of the last call that failed in the routines below.
extern DWORD lastError;

// Allocates the world identifier (authority 0,0,0,0,0,1; one sub-authority 0)
// into worldSid.
bool MakeWorldSid();

// Makes worldSid, then allocates and initialises worldAcl (revision 2, size
// 2 x length of the identifier + 16) and adds the everyone entry. When it fails
// after allocating the block, the block is released again, so that worldAcl is
// either a complete list or null.
bool MakeWorldAcl();

// Adds the access-allowed entry GENERIC_ALL for worldSid to worldAcl.
bool AddWorldAccess();

// Fills the security descriptor and attributes used to create the log file. The
// descriptor is absolute, revision 1, its DACL worldAcl (present, not
// defaulted; a null worldAcl leaves the file open to everyone). When the
// descriptor cannot be prepared, the attributes carry none and a created file
// gets the default security of its folder. Returns whether the descriptor is
// attached.
bool PrepareSecurityAttributes(SECURITY_DESCRIPTOR* descriptor, SECURITY_ATTRIBUTES* attributes);

// Frees worldAcl, then worldSid, and sets them to null; either may be null.
void ReleaseWorldAcl();

}  // namespace journalprep
