#include "app/SupportLogRules.h"

#include <algorithm>

#include "platform/CommonText.h"

namespace support_log {

std::wstring DefaultFileName(const std::tm& when) {
  return FormatString(L"KeltoSetup_%04d%02d%02d_%02d%02d%02d.log", when.tm_year + 1900,
                      when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
}

std::vector<std::wstring> Candidates(const Places& places, const std::tm& when) {
  const std::wstring name = DefaultFileName(when);
  std::vector<std::wstring> files;
  auto offer = [&files](const std::wstring& file) {
    if (file.empty() || std::find(files.begin(), files.end(), file) != files.end()) return;
    files.push_back(file);
  };
  auto offerFolder = [&](const std::wstring& folder) {
    if (!folder.empty()) offer(JoinPath(folder, name));
  };

  if (!places.given.empty()) {
    if (places.givenIsFolder) {
      offerFolder(places.given);
    } else {
      offer(places.given);
    }
  }
  if (places.hidden) {
    offerFolder(places.tempDir);
    offerFolder(places.programDir);
  } else {
    offerFolder(places.programDir);
    offerFolder(places.tempDir);
  }
  return files;
}

}  // namespace support_log
