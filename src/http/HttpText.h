// Texts of the HTTP exchange that a transfer reads and writes: response header lines, the
// byte range of a continued download, and the excerpt of an error body that is logged.
//
// Contract: pure functions of their arguments, callable from any thread (header lines are
// parsed on the transfer workers). Bytes are taken as they come; the caller converts names
// and values from the system's code page. Nothing throws (allocation failure aside).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace http_text {

enum class HeaderLine {
  kEnd,      // the empty line that ends a header block
  kField,    // "Name: value"
  kIgnored,  // no ":", or nothing before it (the status line is one of these)
};

// Classifies one header line as libcurl hands it over (with its line end). For a field,
// `name` and `value` receive the texts before and after the first ":", trimmed of spaces,
// tabs, line ends, vertical tabs and form feeds at both ends.
HeaderLine ParseHeaderLine(const char* data, size_t length, std::string* name,
                           std::string* value);

// Whether the line is the status line that opens an answer ("HTTP/1.1 200 OK"): each answer
// of a redirect chain, and an interim "100 Continue", opens with one.
bool IsStatusLine(const char* data, size_t length);

// The open-ended byte range from `offset` to the end of the resource: "1024-".
std::string RangeFrom(uint64_t offset);

// The length of `data` without an unfinished UTF-8 sequence at its end, as a length limit
// leaves one when it cuts through a character. Other bytes are not judged.
size_t WithoutCutUtf8Sequence(const char* data, size_t length);

// The host an absolute URL names ("http://user@Host:80/x" gives "Host"; an IPv6 literal
// comes without its brackets); empty when the text has no "://" or no host.
std::string UrlHost(const std::string& url);

// Whether the URL's scheme is https (ASCII case ignored).
bool IsHttpsUrl(const std::string& url);

// The schemes a redirect from `url` may lead to: an https request never follows a redirect
// to plain http, where anyone on the way could hand over another package.
const char* RedirectProtocols(const std::string& url);

// Header names compare without regard to the case of ASCII letters.
bool SameHeaderName(const std::wstring& a, const std::wstring& b);

}  // namespace http_text
