// Conversions between the program's wide strings and the system's ANSI code page, the
// encoding in which libcurl takes URLs and hands over header lines.
//
// Contract: pure conversions, callable from any thread; nothing throws (allocation failure
// aside) and no error is reported: bytes that are not valid in the code page are converted
// as the system converts them.
#pragma once

#include <string>

// A character the code page cannot hold becomes a space.
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
