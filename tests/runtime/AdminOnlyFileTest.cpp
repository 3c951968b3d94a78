#include "runtime/AdminOnlyFile.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/FileEx.h"
#include "support/TestFiles.h"

namespace {

bool Verdict(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
      << sddl;
  const bool verdict = admin_only_file::DescriptorWritableOnlyByAdmins(descriptor);
  ::LocalFree(descriptor);
  return verdict;
}

// The file's DACL as SDDL text; empty when it cannot be read.
std::wstring DaclText(HANDLE file) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return std::wstring();
  }
  wchar_t* text = nullptr;
  ::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
  const std::wstring result = text ? text : L"";
  ::LocalFree(text);
  ::LocalFree(descriptor);
  return result;
}

TEST(AdminOnlyFileTest, OnlySystemAndAdministratorsMayChangeTheFile) {
  const struct {
    const wchar_t* sddl;
    bool protectedFile;
  } cases[] = {
      {L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)", true},
      {L"O:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;BU)", true},
      {L"O:BAD:P(A;;FA;;;BA)(D;;FA;;;WD)", true},
      // An owner may rewrite the permissions.
      {L"O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;SY)(A;;FA;;;BA)", false},
      // No DACL lets everybody in.
      {L"O:BA", false},
      {L"O:BAD:P(A;;FA;;;BA)(A;;FW;;;BU)", false},
      {L"O:BAD:P(A;;FA;;;BA)(A;;0x4;;;WD)", false},
      {L"O:BAD:P(A;;FA;;;BA)(A;;SD;;;AU)", false},
      {L"O:BAD:P(A;;FA;;;BA)(A;;WD;;;S-1-5-21-1-2-3-1001)", false},
      {L"O:BAD:P(A;;FA;;;BA)(A;;GA;;;BU)", false},
      // Allow entries are what count, whatever a deny entry before them says.
      {L"O:BAD:P(D;;FA;;;BU)(A;;FA;;;SY)(A;;FA;;;BU)", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Verdict(c.sddl), c.protectedFile) << c.sddl;
  EXPECT_FALSE(admin_only_file::DescriptorWritableOnlyByAdmins(nullptr));
}

// Forms that Wine's SDDL reader does not make: a null DACL (everybody in) and a callback entry
// (a form the check does not read, so not protected even when it names Administrators).
TEST(AdminOnlyFileTest, NullDaclAndCallbackEntriesAreNotProtected) {
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorOwner(&descriptor, admins, FALSE));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EXPECT_FALSE(admin_only_file::DescriptorWritableOnlyByAdmins(&descriptor));

  alignas(DWORD) BYTE aclBuffer[256];
  auto* acl = reinterpret_cast<PACL>(aclBuffer);
  ASSERT_TRUE(::InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
  ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, admins));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
  EXPECT_TRUE(admin_only_file::DescriptorWritableOnlyByAdmins(&descriptor));
  // A callback entry is laid out as a plain one followed by its (here empty) condition.
  void* entry = nullptr;
  ASSERT_TRUE(::GetAce(acl, 0, &entry));
  static_cast<ACE_HEADER*>(entry)->AceType = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
  EXPECT_FALSE(admin_only_file::DescriptorWritableOnlyByAdmins(&descriptor));
}

// Wine keeps no owner given at creation (the file reads back as its user's), so a file
// created with the installer's descriptor is not protected here; reading it must still work.
// The process handle (INVALID_HANDLE_VALUE) has an owner that looks right and is no file.
TEST(AdminOnlyFileTest, AFileCreatedHereReadsBackAsNotProtected) {
  // Wine runs every process elevated, so the installer's descriptor is there to check.
  EXPECT_TRUE(admin_only_file::DescriptorWritableOnlyByAdmins(
      admin_only_file::CreationDescriptor()));
  testing_support::TempFolder folder;
  const unsigned flags = CFileEx::OpenReadWrite | CFileEx::Create;
  CFileEx file;
  file.SetCreationSecurity(admin_only_file::CreationDescriptor());
  ASSERT_TRUE(file.Open(folder / L"package.part", flags));
  EXPECT_FALSE(admin_only_file::IsWritableOnlyByAdmins(file.handle()));
  EXPECT_FALSE(admin_only_file::IsWritableOnlyByAdmins(INVALID_HANDLE_VALUE));
  // Wine does keep the DACL, as mode bits: the descriptor reached the file when Everyone lost
  // the read access an ordinary new file gets.
  CFileEx plain;
  ASSERT_TRUE(plain.Open(folder / L"plain.part", flags));
  EXPECT_NE(DaclText(plain.handle()).find(L";WD)"), std::wstring::npos);
  EXPECT_EQ(DaclText(file.handle()).find(L";WD)"), std::wstring::npos);
}

}  // namespace
