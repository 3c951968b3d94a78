#include "support/TestCertificates.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "support/TestFiles.h"

namespace testing_support {

namespace {

std::string TlsFile(const char* name) { return std::string(KELTO_TEST_TLS_DIR) + "/" + name; }

}  // namespace

TlsFiles TrustedLocalhost() { return {TlsFile("server.pem"), TlsFile("server.key")}; }
TlsFiles RogueLocalhost() { return {TlsFile("rogue.pem"), TlsFile("rogue.key")}; }

bool TrustTestAuthority(std::string* error) {
  const std::string pem = ReadBinaryFile(WindowsPathOfBuildFile(TlsFile("ca.pem").c_str()));
  DWORD size = 0;
  if (pem.empty() ||
      !::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
    *error = "cannot read the test authority " + TlsFile("ca.pem");
    return false;
  }
  std::vector<BYTE> der(size);
  ::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                         der.data(), &size, nullptr, nullptr);
  HCERTSTORE roots =
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!roots) {
    *error = "cannot open the trusted roots: " + std::to_string(::GetLastError());
    return false;
  }
  const BOOL added = ::CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, der.data(), size,
                                                        CERT_STORE_ADD_USE_EXISTING, nullptr);
  const DWORD code = ::GetLastError();
  ::CertCloseStore(roots, 0);
  if (!added) *error = "cannot add the test authority: " + std::to_string(code);
  return added != FALSE;
}

}  // namespace testing_support
