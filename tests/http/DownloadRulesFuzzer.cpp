// Addresses and server lists come from the manifest, the resolver and the deployment
// setting: any text must be handled without a fault, and what comes out must hold together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/DnsServerList.h"
#include "http/DownloadRules.h"
#include "http/RangePlan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Widened byte by byte, so every UTF-16 unit below 256 is reached.
  const std::wstring wide(text.begin(), text.end());

  // A host put back in its place gives the same address; any other host lands exactly there.
  const std::wstring host = download_rules::HostOfUrl(wide);
  if (!host.empty()) {
    if (download_rules::ReplaceUrlHost(wide, host) != wide) std::abort();
    const std::wstring moved = download_rules::ReplaceUrlHost(wide, L"10.0.0.7");
    if (download_rules::HostOfUrl(moved) != L"10.0.0.7") std::abort();
  } else if (!download_rules::ReplaceUrlHost(wide, L"10.0.0.7").empty()) {
    std::abort();
  }

  for (const std::wstring& url : download_rules::MakeUrlList(wide, L"http://a/b")) {
    if (url.size() < download_rules::kMinUrlLength) std::abort();
  }
  uint64_t length = 0;
  download_rules::ParseContentLength(wide, &length);
  uint64_t first = 0, last = 0, total = 0;
  if (download_rules::ParseContentRange(wide, &first, &last, &total) && last < first) std::abort();

  // A range record from disk: accepted only whole and sane, and it reads back as itself; the
  // plan it gives never reaches past the file nor counts a byte twice.
  range_plan::Record record;
  if (range_plan::ParseRecord(text, &record)) {
    range_plan::Record again;
    if (!range_plan::ParseRecord(range_plan::FormatRecord(record), &again) ||
        range_plan::FormatRecord(again) != range_plan::FormatRecord(record)) {
      std::abort();
    }
    if (range_plan::WrittenBytes(record.ranges) > record.size ||
        range_plan::ContiguousPrefix(record.ranges) > record.size) {
      std::abort();
    }
    const int stolen = range_plan::LargestToSteal(record.ranges);
    if (stolen >= 0) {
      const range_plan::Range& range = record.ranges[static_cast<size_t>(stolen)];
      const uint64_t cut = range_plan::StealPoint(range);
      if (cut <= range.next || cut >= range.end) std::abort();
    }
  }

  // Every address of an answer text, and every server of a list, reads back as itself.
  for (const std::wstring& address : download_rules::ResolvedAddresses(wide)) {
    if (!dns::ParseIpv4(std::string(address.begin(), address.end()))) std::abort();
  }
  const dns::ServerList list = dns::ParseServerList(text);
  for (const dns::ServerAddress& server : list.servers) {
    const dns::ServerList again = dns::ParseServerList(server.ToString());
    if (again.servers.size() != 1 || again.servers[0].ToString() != server.ToString()) std::abort();
  }
  return 0;
}
