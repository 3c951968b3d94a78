#include "app/InstallLocationRules.h"

#include "platform/CommonText.h"

namespace install_location {

InstallDirCheck DescribeInstallDirCheck(int result, std::uint64_t freeBytes) {
  InstallDirCheck check;
  check.result = result;
  switch (result) {
    case kDirAccepted:
      check.tipText = FormatString(L"所需磁盘空间：%ls          可用磁盘空间：%ls",
                                   FormatSize(kRequiredFreeBytes).c_str(),
                                   FormatSize(freeBytes).c_str());
      check.tipColor = kTipColorNormal;
      check.installEnabled = true;
      break;
    case kDirNoSpace:
      check.tipText = L"该磁盘剩余空间不足，请选择其他目录安装";
      break;
    case kDirNotWritable:
      check.tipText = L"该目录权限不足，请选择其他目录安装";
      break;
    default:
      check.result = kDirInvalid;
      check.tipText = L"安装目录无效，请选择正确的目录";
      break;
  }
  return check;
}

bool IsValidPath(const std::wstring& path) {
  // 1. The drive piece: exactly a letter and a colon.
  const std::size_t firstEnd = path.find(L'\\');
  const std::wstring drive = path.substr(0, firstEnd);
  if (drive.size() != 2 || drive[1] != L':') return false;
  const wchar_t letter = drive[0];
  if (!((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) return false;
  if (firstEnd == std::wstring::npos) return true;

  // 2. Every later piece: no character Windows refuses in a file name. Control characters
  //    are refused too: such a folder passes every other check and then cannot be created.
  for (std::size_t i = firstEnd + 1; i < path.size(); ++i) {
    const wchar_t c = path[i];
    if (c < 0x20) return false;
    switch (c) {
      case L'/': case L':': case L'*': case L'?': case L'"': case L'<': case L'>': case L'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

}  // namespace install_location
