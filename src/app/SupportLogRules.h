// SupportLogRules: where the support log goes, decided without touching the file system, so
// that the rules are tested natively. SupportLog.h opens the file.
//
// Contract: pure functions of their arguments; any thread. Nothing throws for odd input: an
// empty folder is simply not offered as a place.
//
// The rules. The option's value names the file (or, when it names a folder, the folder for
// the dated default name). Without a value the dated file goes beside the installer, where a
// player finds it next to the program they ran; in hidden mode it goes to the temporary
// folder first, since a silent deployment often runs the installer from a place that is
// read-only or deleted afterwards. When a place cannot take the file, the next one is tried,
// so that a support log asked for is never lost silently.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace support_log {

// "KeltoSetup_20240131_142501.log" for the local time `when`.
std::wstring DefaultFileName(const std::tm& when);

struct Places {
  std::wstring given;          // the option's value, made absolute; empty when none was given
  bool givenIsFolder = false;  // it names an existing folder, or ends with a separator
  bool hidden = false;         // hidden mode
  std::wstring programDir;     // the installer's own folder
  std::wstring tempDir;        // the user's temporary folder
};

// The files to try, in order, without repeats.
std::vector<std::wstring> Candidates(const Places& places, const std::tm& when);

}  // namespace support_log
