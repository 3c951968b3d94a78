// The result record of an HTTP request and the error pair it gives.
//
// A request keeps a ProtoValue map keyed by error class ("sys", "crt", "user", "http",
// "curl"), each entry a map whose "code" is the class's code. GetError reads the classes in a
// fixed order and gives the (type, code) pair of the first one that holds an error: the pair
// that completion callbacks hand on. Type numbers are the class numbers below.
//
// Contract: pure functions, used on the user-interface thread with the request's own record.
// Nothing throws: entries of an unexpected shape count as absent.
#pragma once

#include <cstdint>

#include "runtime/ProtoValue.h"

namespace http_result {

enum Kind : int32_t {
  kNone = 0,
  kSystem = 1,       // "sys": a system error code of a local file or memory operation
  kRuntime = 2,      // "crt": recorded, never reported
  kApplication = 3,  // "user": one of the application codes below
  kHttp = 4,         // "http": an HTTP status outside 100..399
  kCurl = 5,         // "curl": a libcurl result code
};

// Application codes (kind 3).
constexpr int32_t kNoOutputFile = 2001;   // a body arrived for a file that is not open
constexpr int32_t kLengthMismatch = 2007;  // the announced length differs from the size expected

// The status a transfer reports (kind 4) when the answer is a web page instead of the file
// (WebPageCheck.h): "511 Network Authentication Required", the status meant for captive
// portals, so that the player's box and the support log name the network, not the package.
constexpr int32_t kStatusWebPage = 511;

// The HTTP status of a transfer before any is known.
constexpr int32_t kStatusUnknown = 700;

struct Error {
  int32_t type = kNone;
  int32_t code = 0;
};

// "ok", "sys", "crt", "user", "http", "curl" for kinds 0 to 5; null for any other number.
const wchar_t* KindName(int32_t kind);

// Stores `code` as the "code" of the entry of `kind`; kinds without a name are ignored.
void SetCode(ProtoValue& result, int32_t kind, int64_t code);

// The first of "sys" (code not 0), "user" (code not 0), "http" (present with a code outside
// 100..399) and "curl" (code not 0) that applies, else {0, 0}.
Error GetError(const ProtoValue& result);

// Statuses a transfer accepts and reads the body of: 100..399.
inline bool IsAcceptedStatus(int32_t status) { return status >= 100 && status <= 399; }

}  // namespace http_result
