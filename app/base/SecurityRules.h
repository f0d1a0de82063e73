#pragma once
#include <windows.h>

#include <string>

#include "UniqueResource.h"

// Who may change a folder or a named object, judged from its security
// descriptor: the program runs elevated, so what a normal process of the user
// can write must decide nothing.

// True when the owner is the Administrators or SYSTEM and the DACL is present,
// protected and allows access only to those two.
bool IsAdministratorsOnly(PSECURITY_DESCRIPTOR descriptor);

// True when anyone but the Administrators, SYSTEM or TrustedInstaller can add,
// delete or replace something in the folder itself: an allowing entry that
// applies to the folder with such rights, an owner who is none of them (an
// owner may rewrite the DACL), or no DACL at all.
bool WritableByNonAdministrators(PSECURITY_DESCRIPTOR descriptor);

// True when the kernel object (a mapping, a mutex) is owned by the
// Administrators or SYSTEM, i.e. no normal process made it.
bool OwnedByAdministratorsOrSystem(HANDLE object);

// The owner and DACL of the folder at path; empty when they cannot be read.
UniqueLocalMemory ReadFolderSecurity(const std::wstring& path);
