// SupportLog: the support log, which option l ("log") turns on: the file logger writes every
// diagnostic of the run into a UTF-16 file, each line with its time stamp, process and thread
// ids and a CRLF ending, so that a player can send it and the studio's support can read it.
//
// Contract: start-up calls Open once, on the user-interface thread, right after the options
// are read and before anything else logs; WriteEnd last, before the process exits. Where the
// file goes is decided by SupportLogRules.h. Failures are not reported to the player: a place
// that cannot take the file gives way to the next one, and when none can, the run goes on
// without a log (Open returns an empty path).
#pragma once

#include <string>

#include "runtime/LogLine.h"

struct StartupSettings;

namespace support_log {

// Time stamp, process id, thread id; each line ends with "\r\n".
LoggerConfig Config();

// Turns the file logger on for the file the settings ask for and writes the run's first
// lines: the program and its version, the command line, the options, the system and the
// update servers. Returns the file in use; empty when none could be opened (the logger then
// stays off).
std::wstring Open(const StartupSettings& settings);

// The run's last line, with the exit code; the file is closed.
void WriteEnd(int exitCode);

}  // namespace support_log
