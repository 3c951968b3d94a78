// CTlsPeerCheck: whether the server at the other end of a libcurl connection showed a
// certificate chain that this machine trusts for the host the request names.
//
// Windows' Schannel checks the chain itself during the handshake; Wine's accepts any
// certificate at all. This check builds the chain of the certificate the server showed
// through crypt32 against the machine's trusted roots (the same store Schannel uses) and
// applies the SSL policy with the host name, so both platforms refuse what Windows refuses.
// Revocation is not asked for here: Schannel already checks it, best effort, in the
// handshake, and an unreachable revocation server must not fail a download.
//
// Contract: called on a transfer worker, from libcurl's pre-request callback (the connection
// is up, nothing has been sent). Stateless; any thread. Nothing throws; a refusal comes back
// as false with a sentence for the log.
#pragma once

#include <curl/curl.h>

#include <string>

class CTlsPeerCheck {
 public:
  // True for a plain HTTP connection and for a trusted chain; false, with `why` set, when
  // the request is https and its chain cannot be shown trusted for its host.
  static bool Verify(CURL* easy, std::wstring* why);
};
