// Feeds arbitrary datagrams to the answer check and parser, and arbitrary host names to the
// query builder, checking what must hold for every input.
#include <cstdlib>
#include <string>
#include <vector>

#include "http/DnsPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A datagram: the resolver receives at most its buffer's worth.
  const size_t received = size < dns::kAnswerBufferSize ? size : dns::kAnswerBufferSize;
  if (data && received >= 2) {
    const uint16_t identifier = static_cast<uint16_t>(data[0] | (data[1] << 8));
    dns::CheckAnswer(data, received, identifier);
    dns::DnsAnswer answer;
    if (dns::ParseAnswer(data, received, true, &answer)) {
      for (const std::string& alias : answer.aliases) {
        if (alias.size() > dns::kMaxDecodedName) std::abort();
      }
      dns::FormatAddresses(answer.addresses);
    }
  }

  // A host name: the query fits the buffer and its name decodes back to the host without
  // its empty labels.
  const std::string host(reinterpret_cast<const char*>(data), size);
  std::vector<uint8_t> query;
  if (dns::BuildQuery(host, 0x5A5A, &query) == dns::QueryError::kNone) {
    if (query.size() > dns::kQueryBufferSize) std::abort();
    std::string expected;
    for (size_t start = 0; start <= host.size();) {
      size_t dot = host.find('.', start);
      if (dot == std::string::npos) dot = host.size();
      if (dot > start) expected += (expected.empty() ? "" : ".") + host.substr(start, dot - start);
      start = dot + 1;
    }
    size_t offset = 12;
    std::string decoded;
    const bool fitsDecoder = expected.size() <= dns::kMaxDecodedName;
    if (dns::DecodeName(query.data(), query.size(), &offset, &decoded) != fitsDecoder) std::abort();
    if (fitsDecoder && (decoded != expected || offset + 4 != query.size())) std::abort();
  }
  return 0;
}
