// The decisions of a file download that need no platform: which addresses it tries and in
// what order, where a partial file is continued from, how an answer's "Content-Length" is
// read, and how the addresses of the DNS step are put into the primary address.
//
// Contract: pure functions of their arguments, callable from any thread (the download calls
// them on the user-interface thread); nothing throws (allocation failure aside). Malformed
// input never yields something half-parsed: a URL whose host cannot be found gives an empty
// host, and no address is put into it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace download_rules {

// Addresses shorter than this are never tried (the empty piece after a trailing ";").
constexpr size_t kMinUrlLength = 3;

// The address list of a new download: the backup addresses (";"-separated) in their order,
// without pieces shorter than kMinUrlLength and without copies of the primary address,
// behind the primary address when there is one.
std::vector<std::wstring> MakeUrlList(const std::wstring& backupUrls, const std::wstring& primary);

// What the partial file's size means for the next run.
enum class ResumeAction {
  kWholeFileUnknownSize,  // the expected size is not known: empty the file, no range
  kRestartTooLarge,       // larger than expected: empty the file, no range
  kComplete,              // exactly the expected size: nothing to transfer
  kFromStart,             // empty or missing: no range
  kContinue,              // a part is there: ask for the rest with an open-ended range
};

struct ResumePlan {
  ResumeAction action;
  uint64_t offset;  // the first byte to ask for
};

// `fileSize` is -1 for a missing file.
ResumePlan PlanResume(int64_t fileSize, uint64_t expectedSize);

// A "Content-Length" value: decimal digits, blanks around them allowed. False for anything
// else (a sign, a second number, a value beyond 63 bits), which the download then ignores.
bool ParseContentLength(const std::wstring& text, uint64_t* length);

// A "Content-Range" value of a 206 answer, "bytes <first>-<last>/<total>" ("*" for an unknown
// total gives 0). False for anything else, and for last < first.
bool ParseContentRange(const std::wstring& text, uint64_t* first, uint64_t* last, uint64_t* total);

// The host of an "scheme://[user@]host[:port]/..." address (also without "scheme://"): a
// name of ASCII letters, digits, "-", "_" and "."; empty when the address has none or the
// host is anything else (an IPv6 literal, a name in other letters).
std::wstring HostOfUrl(const std::wstring& url);

// The address with its host, and only its host, replaced by `host`; empty when the address
// has no host that HostOfUrl accepts.
std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& host);

// The dotted IPv4 addresses of a ";"-separated address text, in order; other pieces are
// left out.
std::vector<std::wstring> ResolvedAddresses(const std::wstring& text);

}  // namespace download_rules
