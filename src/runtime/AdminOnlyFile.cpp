#include "runtime/AdminOnlyFile.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "runtime/Logging.h"
#include "runtime/Win32Handles.h"

namespace admin_only_file {
namespace {

struct LocalFreeDeleter {
  void operator()(void* memory) const { ::LocalFree(memory); }
};
using LocalDescriptor = std::unique_ptr<void, LocalFreeDeleter>;

// The owner is named too: an elevated token holds Administrators as a group it may give
// ownership to, and an owner of the player's own account could open the permissions again
// (the token's default owner is the player under some policies).
constexpr wchar_t kAdminOnly[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";

// Every right that lets its holder change the file, its attributes, its permissions or its
// existence; the generic forms count, since a DACL may carry them unmapped.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER |
                                      GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

bool IsAdminSid(PSID sid) {
  return sid && ::IsValidSid(sid) &&
         (::IsWellKnownSid(sid, WinLocalSystemSid) ||
          ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
}

bool ProcessIsElevated() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const win::ScopedHandle token(raw);
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation,
                               &size) &&
         elevation.TokenIsElevated != 0;
}

LocalDescriptor MakeCreationDescriptor() {
  if (!ProcessIsElevated()) return nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnly, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    LOG_FILE(2, L"[AdminOnlyFile] no descriptor: %u", static_cast<unsigned>(::GetLastError()));
    return nullptr;
  }
  return LocalDescriptor(descriptor);
}

}  // namespace

PSECURITY_DESCRIPTOR CreationDescriptor() {
  static const LocalDescriptor descriptor = MakeCreationDescriptor();
  return descriptor.get();
}

bool DescriptorWritableOnlyByAdmins(PSECURITY_DESCRIPTOR descriptor) {
  if (!descriptor || !::IsValidSecurityDescriptor(descriptor)) return false;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !IsAdminSid(owner)) {
    return false;
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
      !dacl) {
    return false;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(dacl, i, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & kChangeRights) != 0 && !IsAdminSid(&allowed->SidStart)) return false;
  }
  return true;
}

bool IsWritableOnlyByAdmins(HANDLE file) {
  // Asked about another kind of object, GetSecurityInfo answers with that object's descriptor:
  // INVALID_HANDLE_VALUE is the process itself, which an elevated process's Administrators own.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    LOG_FILE(1, L"[AdminOnlyFile] not a file on a disk: %p", file);
    return false;
  }
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD error =
      ::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION |
                                                  DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, &raw);
  if (error != ERROR_SUCCESS) {
    LOG_FILE(1, L"[AdminOnlyFile] cannot read the file's permissions: %u",
             static_cast<unsigned>(error));
    return false;
  }
  const LocalDescriptor descriptor(raw);
  return DescriptorWritableOnlyByAdmins(descriptor.get());
}

}  // namespace admin_only_file
