#include "support/SupportLogFile.h"

#include <regex>

#include "support/TestFiles.h"

namespace testing_support {

std::vector<std::wstring> SupportLogFile::Messages(const std::wstring& start) const {
  std::vector<std::wstring> found;
  for (const SupportLogLine& line : lines) {
    if (line.message.compare(0, start.size(), start) == 0) found.push_back(line.message);
  }
  return found;
}

SupportLogFile ReadSupportLog(const std::wstring& path) {
  SupportLogFile log;
  const std::string bytes = ReadBinaryFile(path);
  if (bytes.size() < 2) return log;
  log.byteOrderMark = bytes[0] == '\xff' && bytes[1] == '\xfe';
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                   (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
  }
  log.endsWithLineEnd = text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0;
  static const std::wregex kLine(
      L"\\[(INFO|WARN|ERRO)\\]\\[(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\\]"
      L"\\[pid:(\\d+)\\]\\[tid:(\\d+)\\]\\[([^\\]]+:\\d+)\\]([^]*)");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    start = end + 2;
    std::wsmatch match;
    if (!std::regex_match(line, match, kLine)) {
      log.malformed.push_back(line);
      continue;
    }
    log.lines.push_back({match[1], match[2], static_cast<unsigned>(std::stoul(match[3])),
                         static_cast<unsigned>(std::stoul(match[4])), match[5], match[6]});
  }
  return log;
}

}  // namespace testing_support
