// WebPageCheck: tells a web page from the file that was asked for. A captive portal (a hotel's
// or café's sign-in page), a proxy's error page or an operator's notice answers any address
// with "200 OK" and an HTML page; the installer expects a package (binary) or a manifest (INI
// text), never markup. Such an answer is a network problem: it must not be written into a
// partial file, checked as a package, or read as a manifest.
//
// Contract: pure functions, any thread (the download's transfer judges on its worker). An
// answer is a page when its Content-Type says HTML, or when its body opens with markup: "<"
// followed by a letter, "!" or "?", after an optional UTF-8 byte-order mark and white space.
// A server that announces the package as text/html is therefore refused too: it is
// misconfigured, and its players would otherwise get whatever else it serves that way.
#pragma once

#include <cstddef>
#include <string>

namespace web_page {

// The white space a page may open with that is still held before the body is judged; past
// it, a body of only white space is not a page.
constexpr size_t kSniffLimit = 1024;

// Whether the Content-Type's media type is text/html or application/xhtml+xml (parameters
// and case ignored).
bool IsPageType(const std::wstring& contentType);

enum class Verdict {
  kPage,      // the body opens with markup
  kNotPage,   // the first byte that counts is no "<", or "<" is followed by no tag
  kNeedMore,  // white space, a byte-order mark or a lone "<" so far: the next bytes decide
};

// Judges the first `length` bytes of a body, all that arrived so far.
Verdict JudgeBodyStart(const char* data, size_t length);

// A whole answer: its Content-Type and body. A body too short to judge is no page.
bool IsPage(const std::wstring& contentType, const std::string& body);

}  // namespace web_page
