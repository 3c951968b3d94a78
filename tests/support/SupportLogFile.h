// SupportLogFile: a support log as the studio's support reads it: a UTF-16 file with its
// byte-order mark, one diagnostic per CRLF-ended line, each line "[LEVEL][time][pid:N]
// [tid:N][source:line]message".
//
// Contract: a plain value filled by ReadSupportLog on a test's thread. A file that cannot be
// read gives an empty result (no byte-order mark, no lines); lines that do not have the
// format are kept aside in `malformed` rather than dropped. Nothing throws.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct SupportLogLine {
  std::wstring level;  // "INFO", "WARN" or "ERRO"
  std::wstring time;   // "2024-01-31 14:05:09"
  unsigned pid = 0;
  unsigned tid = 0;
  std::wstring location;  // "src/http/CurlHttp.cpp:170"
  std::wstring message;
};

struct SupportLogFile {
  bool byteOrderMark = false;
  bool endsWithLineEnd = false;
  std::vector<SupportLogLine> lines;
  std::vector<std::wstring> malformed;

  // The messages that begin with `start`, in file order.
  std::vector<std::wstring> Messages(const std::wstring& start) const;
};

SupportLogFile ReadSupportLog(const std::wstring& path);

}  // namespace testing_support
