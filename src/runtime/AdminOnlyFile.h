// AdminOnlyFile: files that only SYSTEM and the Administrators group may change. The elevated
// installer downloads the game's package into the player's own folder and keeps the digest
// it computed while writing; trusting that digest later is sound only when no program of
// lower rights could have rewritten the file in between, so the installer creates the file
// with a descriptor that shuts everybody else out, and checks what it holds before trusting it.
//
// Contract: every function may be called from any thread. CreationDescriptor's result is made
// once per process and owned by this module for the whole run (never free it). The checks
// never throw: anything they cannot read or do not understand makes them answer false (the
// file is then treated as one anybody may have written), with a log line for a failed read.
#pragma once

#include <windows.h>

namespace admin_only_file {

// The descriptor to create a package file with: owned by Administrators, full access for
// SYSTEM and Administrators, nothing for anybody else, no inherited entries. Null when this
// process is not elevated: it then creates files as it always did, with the folder's
// inherited permissions (it could not set such an owner anyway).
PSECURITY_DESCRIPTOR CreationDescriptor();

// Whether `descriptor` lets only SYSTEM and Administrators change the file: its owner is one
// of them (an owner may always rewrite the permissions), it has a DACL (none grants
// everything), and every entry that allows a right changing the file's data, attributes,
// permissions or existence names one of them. Entries of a form this check does not read
// (object or callback entries) make it false; plain deny entries are ignored.
bool DescriptorWritableOnlyByAdmins(PSECURITY_DESCRIPTOR descriptor);

// DescriptorWritableOnlyByAdmins on the owner and DACL of the open `file`, read through the
// handle (which needs READ_CONTROL, as any handle opened with GENERIC_READ has); false for a
// handle that is not one of a file on a disk.
bool IsWritableOnlyByAdmins(HANDLE file);

}  // namespace admin_only_file
