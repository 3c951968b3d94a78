// Conversions between the program's wide strings and the system's ANSI code page, the
// encoding in which libcurl takes URLs and hands over header lines; and the decoding of a
// body excerpt for the log.
//
// Contract: pure conversions, callable from any thread; nothing throws (allocation failure
// aside) and no error is reported: bytes that are not valid in the code page are converted
// as the system converts them.
#pragma once

#include <string>

// A character the code page cannot hold becomes a space.
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

// An excerpt of text bytes of unknown encoding for a log line, as a server's error page: UTF-8
// when the bytes are valid UTF-8 (an unfinished character at the end, cut by a length limit,
// is dropped), otherwise the ANSI code page (the local encoding of pages from older proxies
// and routers). Line breaks and other control characters become spaces, so that the excerpt
// stays on its line.
std::wstring LogExcerpt(const char* data, size_t length);
