// The access list that journalprep gives the activity log. The add-on runs as
// each user and appends to the log, so everyone (S-1-1-0) may read and write
// it; but no user may delete it, change its list or take it over, so that one
// account cannot stop every other account's logging. SYSTEM (S-1-5-18) and the
// Administrators (S-1-5-32-544) keep full control. The list is protected:
// nothing is inherited from the folder.
#pragma once

#include <windows.h>

namespace journalprep {

// What everyone may do with the log: read it, write and append to it, and
// write its attributes (a program that opens it with GENERIC_WRITE asks for
// all of these). Not DELETE, WRITE_DAC or WRITE_OWNER.
inline constexpr ACCESS_MASK kWorldAccess = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
// What SYSTEM and the Administrators may do: everything.
inline constexpr ACCESS_MASK kAdministratorAccess = FILE_ALL_ACCESS;

// Process-wide slots, alive from the start of a run to its end. The
// identifiers are made by AllocateAndInitializeSid and released by FreeSid;
// worldAcl is a block of the process heap. Each is null when not held.
extern PSID worldSid;
extern PSID systemSid;
extern PSID administratorsSid;
extern PACL worldAcl;
// System error code of the last call that failed in the routines below.
extern DWORD lastError;

// Allocates the world identifier (authority 0,0,0,0,0,1; one sub-authority 0)
// into worldSid.
bool MakeWorldSid();

// Allocates SYSTEM (authority 0,0,0,0,0,5; sub-authority 18) into systemSid and
// the Administrators (the same authority; 32, 544) into administratorsSid.
bool MakeAdministratorSids();

// Makes the three identifiers, then allocates and initialises worldAcl
// (revision 2, just large enough for its three entries) and adds the entries:
// SYSTEM and the Administrators first, then everyone. When it fails after
// allocating the block, the block is released again, so that worldAcl is
// either a complete list or null.
bool MakeWorldAcl();

// Adds the access-allowed entries kAdministratorAccess for systemSid and
// administratorsSid to worldAcl.
bool AddAdministratorAccess();

// Adds the access-allowed entry kWorldAccess for worldSid to worldAcl.
bool AddWorldAccess();

// Fills the security descriptor and attributes used to create the log file.
// The descriptor is absolute, revision 1, its DACL worldAcl (present, not
// defaulted, protected from inheritance); owner and group are left to the
// creator (the Administrators, for an elevated administrator). Without a
// worldAcl no descriptor is attached (a null DACL would let anyone delete the
// log or change its list) and it returns false: the log must not be created
// then. Returns whether the descriptor is attached.
bool PrepareSecurityAttributes(SECURITY_DESCRIPTOR* descriptor, SECURITY_ATTRIBUTES* attributes);

// Puts worldAcl (protected) on the open file and makes the Administrators its
// owner, so that a log made by an earlier version, or by a user, gets the same
// list as a new one. The handle needs WRITE_DAC and WRITE_OWNER.
bool ApplyWorldAcl(HANDLE file);

// Frees worldAcl, then the identifiers, and sets them to null; any may be null.
void ReleaseWorldAcl();

}  // namespace journalprep
