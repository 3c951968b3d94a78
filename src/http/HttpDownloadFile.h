// CHttpDownloadFile: downloads one resource into one local file. It continues a partial file
// with an open-ended byte range, checks the length the server announces against the size it
// expects, reports progress and speed once a second, tries each address up to three times,
// then the backup addresses, and at last makes one more pass through its DNS step, where its
// own resolver (CDNSThread) looks the primary address's host up (unless the host is an IPv4
// address already: the pass then starts at once).
//
// Contract:
// - User-interface thread only. The creator calls Setup, which joins the download family's
//   scheduler (HttpEngine.h); the scheduler starts the download when a slot is free. The
//   creator owns the download; destroying it stops everything, its resolver included.
// - `onDone` (userData, error type, error code) is called once per Setup: type 0 with code 0
//   when the file is complete, else the last attempt's error: 1 the local file cannot be
//   opened (system code), 3 with 2007 the length differs from the expected size, 4 an HTTP
//   status, 5 a libcurl code (23: the local file could not be written). It may be called
//   from inside Setup, when the file is complete already or cannot be opened; when the DNS
//   step cannot go on it comes as a posted task. The callback may destroy the download.
//   Stop never calls it.
// - `onProgress` (userData, total, present, bytes per second) follows the first answer's
//   header and then comes once a second while bytes arrive; it must not destroy the download.
// - An answer whose length does not give the expected size is cut off the file again, and a
//   clean end short of it counts as a broken transfer: the file is only ever reported complete
//   at exactly the expected size (when one is given).
// - A file of at least kRangeThreshold bytes (when its size is known and `parallelRanges` is
//   above 1) is fetched as that many ranges at once (RangedDownload.h); when the server
//   ignores ranges or every range connection gives up, the download goes on as one stream
//   from the bytes written without a gap, and reports as above. `rangeTag` (the version and
//   digests the bytes belong to) ties the ranges' record to this exact file.
// - The DNS step connects to the resolved addresses while the requests still name the
//   original host (Host header, TLS name): `urls` shows the addresses as URLs, but the
//   transfer keeps the host's name and is only routed to the address.
// - With `wantDigest`, each Setup makes a new `digest` that follows the file as it is written
//   (PrefixDigest.h); it stays with the download until the next Setup, and whoever holds on
//   to it may Wait for the complete file's digest on a thread of its own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "http/DNSThread.h"
#include "http/HttpBase.h"
#include "http/SpeedSamples.h"
#include "runtime/PrefixDigest.h"

class CRangedDownload;

class CHttpDownloadFile : public CHttpBase {
 public:
  using DoneCallback = void (*)(void* userData, int type, int code);
  using ProgressCallback = void (*)(void* userData, uint64_t total, uint64_t present,
                                    uint32_t bytesPerSecond);

  static constexpr long kReceiveBufferSize = 512 * 1024;
  static constexpr uint64_t kRangeThreshold = 32ull * 1024 * 1024;
  static constexpr int kDefaultParallelRanges = 4;

  // A download of the download family (scheduler and workshop as they are now).
  CHttpDownloadFile();
  ~CHttpDownloadFile() override;

  // Starts a download of `primary` (then of the ";"-separated `backupUrls`) into
  // `localPath`. False while a download is under way (nothing changes then) or when the
  // scheduler refuses it.
  bool Setup(const std::wstring& backupUrls, const std::wstring& primary,
             const std::wstring& localPath, uint64_t expectedSize, void* userData,
             DoneCallback onDone, ProgressCallback onProgress);

  std::wstring GetUrl() const override;
  void Prepare() override;
  bool Start() override;
  // Ends the current run, or the DNS step's wait, without a report.
  bool Stop() override;
  void Done(CURLcode code) override;
  void OnHttpCode(int status) override;
  void Progress() override;
  void OnRecieveBytes(int64_t count) override;
  // The DNS step's outcome: the host and its addresses ("a.b.c.d;a.b.c.d", may be empty).
  void OnDNSResult(const std::wstring& host, const std::wstring& addresses);

  // Whether the DNS step waits for its resolver.
  bool resolving() const { return dnsPending_; }
  // Whether the file is being fetched in ranges.
  bool ranged() const;
  // The ranges' end (RangedDownload.h): complete, or on as one stream.
  void OnRangesEnded(bool complete);

  std::wstring primaryUrl;  // emptied when the DNS step has been used
  CDNSThread dns;
  std::wstring localPath;
  uint64_t expectedSize = 0;  // 0: not known
  DoneCallback onDone = nullptr;
  ProgressCallback onProgress = nullptr;
  void* userData = nullptr;
  std::vector<std::wstring> urls;  // the front one is in use
  uint64_t received = 0;           // in the current run
  uint32_t pendingBytes = 0;       // since the last progress report
  uint64_t contentLength = 0;      // of the current answer; 0: not known
  CSpeedSamples speedSamples;
  // libcurl's receive buffer for this download: the most each read, and each write to the
  // file, takes at once.
  long receiveBufferSize = kReceiveBufferSize;
  // Connections for a large file; 1 fetches every file as one stream.
  int parallelRanges = kDefaultParallelRanges;
  uint64_t rangeThreshold = kRangeThreshold;
  std::string rangeTag;
  // The MD5 of the file while it downloads, and its SHA-256 too with `wantSha256`.
  bool wantDigest = false;
  bool wantSha256 = false;
  std::shared_ptr<CPrefixDigest> digest;

 private:
  // An address made by the DNS step: the URL with the host's name, and where to connect.
  struct DnsRoute {
    std::wstring namedUrl;
    std::string host;
    std::string address;
  };

  // The resolver's report, posted to the user-interface thread; `context` is the download,
  // which may be gone by then.
  static void OnResolverAnswer(int elapsed, void* context, const std::string& host,
                               const std::string& addresses);
  // Starts the resolver for `host`; false when it cannot run.
  bool StartResolver(const std::wstring& host);
  void CancelResolver();
  // Start could not run the transfer: the download leaves its scheduler and reports.
  void EndInStart(int type, int code);
  // The download is over: no address is left, and `onDone` hears how it ended.
  void Finish(int type, int code);
  // The run ended cleanly: a file short of the expected size is a broken transfer, a
  // longer one a length mismatch.
  void CheckCompleteFile();
  bool Join();
  // Back into the scheduler, which starts the next run after its retry pause; false when
  // there is no scheduler to go back to.
  bool WaitForRetry();
  // As Finish, with the report posted: the DNS step could not go on.
  void FinishLater();

  std::unique_ptr<CRangedDownload> ranged_;
  bool dnsPending_ = false;
  std::string dnsHost_;
  std::map<std::wstring, DnsRoute> dnsRoutes_;  // by the address's URL in `urls`
};
