// The keys of an account's own hive (HKEY_USERS\<SID>), as our elevated
// programs and the guard reach them. The account has full control of its
// hive: it may give any key a list that refuses SYSTEM and the
// Administrators, rename or delete its own keys, and make a key a registry
// link to another key of its hive. Nothing here follows such a link or gives
// up on such a list. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "handles.h"

namespace zendrel {

// The security descriptor of an SDDL text, freed with the handle (empty when
// the text is no descriptor).
LocalMemoryHandle DescriptorOf(const wchar_t* sddl);

// Whether the account's hive is loaded (its profile is in use).
bool HiveLoaded(const std::wstring& sid);

enum class HiveOpen {
    Read,    // change nothing: a link or a key that refuses gives an empty handle
    Repair,  // delete links, open keys that refuse
    Create,  // as Repair, and make what is missing (a deleted link included)
};

// Opens HKEY_USERS\<sid>\<path> one key at a time from the hive root, so that
// no registry link is followed. Beyond Read: a link found on the path is
// deleted (the link, not what it points to); a key that refuses this process
// is opened with the backup and restore privileges (Windows) or else taken
// over (owner the Administrators; its entries that deny anyone removed;
// SYSTEM and the Administrators given full control beside what it grants).
// An empty handle when the hive is not loaded or the key could not be had.
RegistryKeyHandle OpenAccountKey(const std::wstring& sid, const std::wstring& path, REGSAM access,
                                 HiveOpen how);

// Makes a filtered account's settings key like a policy key: owned by the
// Administrators, SYSTEM and the Administrators full control, the account
// read only (its add-on only reads "mode" there); and its parent
// Software\Orvantix owned by the Administrators, the account allowed to read
// it and make keys of its own in it, not to rename, delete or re-list it.
// False when a list could not be set.
bool HoldAccountKey(const std::wstring& sid);

// Enables the privileges that let the guard (LocalSystem) reach any key:
// taking ownership, backup and restore.
void EnableGuardPrivileges();

}  // namespace zendrel
