#include "support/TestHttpServer.h"

#include <cctype>

#include "support/TestFiles.h"

namespace testing_support {

std::string LoggedRequest::Header(const std::string& name) const {
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    const std::string line = headers.substr(start, end - start);
    start = end + 1;
    const size_t colon = line.find(':');
    if (colon != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < colon && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(line[i])) ==
             std::tolower(static_cast<unsigned char>(name[i]));
    }
    if (!same) continue;
    const size_t value = line.find_first_not_of(' ', colon + 1);
    return value == std::string::npos ? std::string() : line.substr(value);
  }
  return std::string();
}

bool TestHttpServer::Start(const std::wstring& root, const Options& options) {
  const std::string unixRoot = UnixPathOf(root);
  if (unixRoot.empty()) return process_.Fail("no Unix path for the folder to serve");
  std::vector<std::string> args = {"--root", unixRoot};
  tls_ = !options.tlsCertificate.empty();
  if (tls_) args.insert(args.end(), {"--tls", options.tlsCertificate, options.tlsKey});
  if (options.proxy) args.push_back("--proxy");
  if (options.port != 0) args.insert(args.end(), {"--port", std::to_string(options.port)});
  return process_.Start("http_server.py", args);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return (tls_ ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(port()) + path;
}

std::wstring TestHttpServer::WideUrl(const std::string& path) const { return Utf8ToWide(Url(path)); }

bool TestHttpServer::AddRule(const FaultRule& rule) {
  return process_.Control("POST", "rules", rule.ToJson());
}

bool TestHttpServer::ClearRules() { return process_.Control("POST", "clear-rules"); }

bool TestHttpServer::Reset() { return process_.Control("POST", "reset"); }

std::vector<LoggedRequest> TestHttpServer::Requests() {
  std::vector<LoggedRequest> out;
  for (const JsonLine& line : process_.Log()) {
    LoggedRequest r;
    r.seq = static_cast<int>(line.Int("seq"));
    r.conn = static_cast<int>(line.Int("conn"));
    r.attempt = static_cast<int>(line.Int("attempt"));
    r.method = line.Text("method");
    r.target = line.Text("target");
    r.path = line.Text("path");
    r.range = line.Text("range");
    r.headers = line.Text("headers");
    r.body = line.Text("body");
    r.status = static_cast<int>(line.Int("status"));
    r.rule = static_cast<int>(line.Int("rule"));
    r.faults = line.Text("faults");
    r.sent = line.Int("sent");
    out.push_back(r);
  }
  return out;
}

std::vector<LoggedRequest> TestHttpServer::RequestsFor(const std::string& path) {
  std::vector<LoggedRequest> out;
  for (const LoggedRequest& r : Requests()) {
    if (r.path == path) out.push_back(r);
  }
  return out;
}

}  // namespace testing_support
