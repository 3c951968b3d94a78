#include "http/TlsPeerCheck.h"

#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include "http/AnsiText.h"
#include "http/HttpText.h"
#include "runtime/WideFormat.h"

namespace {

struct CertificateOwner {
  PCCERT_CONTEXT cert = nullptr;
  ~CertificateOwner() {
    if (cert) ::CertFreeCertificateContext(cert);
  }
};

struct ChainOwner {
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  ~ChainOwner() {
    if (chain) ::CertFreeCertificateChain(chain);
  }
};

const wchar_t* PolicyErrorText(DWORD error) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT): return L"its root is not trusted";
    case static_cast<DWORD>(CERT_E_CHAINING): return L"its chain is incomplete";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH): return L"it names another host";
    case static_cast<DWORD>(CERT_E_EXPIRED): return L"it has expired or is not yet valid";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE): return L"it is not for servers";
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE): return L"a signature is wrong";
    case static_cast<DWORD>(CRYPT_E_REVOKED): return L"it was revoked";
    default: return L"the chain is refused";
  }
}

// The chain of `cert` (with what the server sent besides it) under the SSL policy for `host`.
bool ChainTrusted(PCCERT_CONTEXT cert, const std::wstring& host, std::wstring* why) {
  static char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  static char serverGated[] = szOID_SERVER_GATED_CRYPTO;
  static char netscapeGated[] = szOID_SGC_NETSCAPE;
  static LPSTR usages[] = {serverAuth, serverGated, netscapeGated};
  CERT_CHAIN_PARA para = {};
  para.cbSize = sizeof(para);
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  para.RequestedUsage.Usage.cUsageIdentifier = ARRAYSIZE(usages);
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  ChainOwner built;
  if (!::CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr,
                                 &built.chain)) {
    *why = wide_format::Format(L"no chain could be built (error %lu)", ::GetLastError());
    return false;
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA server = {};
  server.cbSize = sizeof(server);
  server.dwAuthType = AUTHTYPE_SERVER;
  server.pwszServerName = const_cast<wchar_t*>(host.c_str());
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof(policy);
  policy.pvExtraPolicyPara = &server;
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof(status);
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, built.chain, &policy, &status)) {
    *why = wide_format::Format(L"the chain could not be judged (error %lu)", ::GetLastError());
    return false;
  }
  if (status.dwError == 0) return true;
  *why = wide_format::Format(L"%ls (0x%08lx)", PolicyErrorText(status.dwError), status.dwError);
  return false;
}

}  // namespace

bool CTlsPeerCheck::Verify(CURL* easy, std::wstring* why) {
  char* effective = nullptr;
  if (!easy || curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK ||
      !effective) {
    *why = L"the request's address is unknown";
    return false;
  }
  const std::string url = effective;
  if (!http_text::IsHttpsUrl(url)) return true;
  const std::wstring host = AnsiToWide(http_text::UrlHost(url));
  // 1. The TLS session of the connection; an https request without one is never trusted.
  curl_tlssessioninfo* session = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || !session ||
      session->backend != CURLSSLBACKEND_SCHANNEL || !session->internals) {
    *why = wide_format::Format(L"%ls: no TLS session to check", host.c_str());
    return false;
  }
  // 2. The certificate the server showed. (The security library is linked for loading at its
  //    first call: an https transfer has loaded it already for its session.)
  CertificateOwner shown;
  const SECURITY_STATUS got =
      ::QueryContextAttributesW(static_cast<CtxtHandle*>(session->internals),
                                SECPKG_ATTR_REMOTE_CERT_CONTEXT, &shown.cert);
  if (got != SEC_E_OK || !shown.cert) {
    *why = wide_format::Format(L"%ls: the server's certificate cannot be read (0x%08lx)", host.c_str(),
                      static_cast<unsigned long>(got));
    return false;
  }
  // 3. Its chain up to a trusted root, for this host.
  std::wstring reason;
  if (ChainTrusted(shown.cert, host, &reason)) return true;
  *why = wide_format::Format(L"the certificate of %ls is not trusted: %ls", host.c_str(), reason.c_str());
  return false;
}
