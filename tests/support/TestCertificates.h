// The TLS test certificates the build makes (make_test_certificates.sh): a test root
// authority, a "localhost" certificate it signed, and a self-signed "localhost" certificate
// that no machine trusts; and the step that makes this Wine prefix trust the authority.
//
// Contract: any thread. Paths are Unix paths, as TestHttpServer::Options takes them.
// TrustTestAuthority adds the authority to the machine's trusted roots (the store Windows
// keeps in HKLM\Software\Microsoft\SystemCertificates\Root); it is idempotent, so every
// test that needs it calls it. Failures come back as false with the reason in `error`.
#pragma once

#include <string>

namespace testing_support {

struct TlsFiles {
  std::string certificate;
  std::string key;
};

// Signed by the test authority: trusted once TrustTestAuthority has run.
TlsFiles TrustedLocalhost();
// Self-signed: never trusted.
TlsFiles RogueLocalhost();

bool TrustTestAuthority(std::string* error);

}  // namespace testing_support
