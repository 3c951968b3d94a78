// CRangedDownload: a large file fetched as several byte ranges at once, each on a connection
// of its own (CRangePart) spread over the download's addresses. A connection that finishes
// its range takes a range nobody carries any more, else the upper half of the largest one
// still being fetched. A record beside the partial file ("<file>.ranges") says which bytes
// are written, so that a download started again asks for none of them again.
//
// Contract:
// - User-interface thread only; owned by its CHttpDownloadFile, which Begins it from Setup
//   and hears how it ended through OnRangesEnded: complete (every range written; the record is
//   gone), or "one stream" when the server ignores ranges, answers a range with the wrong
//   length, or every connection gave up (their retries and addresses spent): the file is then
//   cut to the bytes written without a gap from its start, the record removed, and the
//   download's one-stream run (with its DNS step and its error reports) takes over from there.
//   OnRangesEnded may destroy the download; nothing here is touched after it.
// - Each range connection retries its address kMaxRetries times, then moves to the next of
//   its addresses; a range left by a connection that gave up is taken by the next that
//   finishes.
// - The record names the file's size and a tag (version and digests): a record for anything
//   else, or unreadable, is discarded with the partial file. It is replaced whole (written
//   aside, then renamed over), so a process killed at any instant leaves the old or the new
//   one, and it never counts a byte that was not yet in the file.
// - Stop ends every connection without a report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "http/HttpBase.h"
#include "http/RangePlan.h"
#include "http/RangeWriteFile.h"

class CHttpDownloadFile;
class CRangedDownload;

class CRangePart : public CHttpBase {
 public:
  CRangePart(CRangedDownload& download, std::vector<std::wstring> urls);

  // Carries `cursor`'s range from where it stands; false when the scheduler refuses.
  bool Take(std::shared_ptr<CRangeCursor> cursor);

  std::wstring GetUrl() const override { return urls_[urlIndex_]; }
  void Prepare() override;
  bool Start() override;
  void Done(CURLcode code) override;
  void OnHttpCode(int status) override;
  void Progress() override;
  void OnRecieveBytes(int64_t count) override;

  const std::shared_ptr<CRangeCursor>& cursor() const { return cursor_; }
  // Whether the part carries its range now (running or waiting for a retry).
  bool busy() const { return busy_; }

 private:
  bool Join();

  CRangedDownload& download_;
  std::vector<std::wstring> urls_;
  size_t urlIndex_ = 0;
  std::shared_ptr<CRangeCursor> cursor_;
  uint64_t requestedFrom_ = 0;
  uint64_t requestedEnd_ = 0;
  bool busy_ = false;
};

class CRangedDownload {
 public:
  static constexpr int kMaxParallel = 8;

  explicit CRangedDownload(CHttpDownloadFile& owner);
  ~CRangedDownload();

  // Starts `parallel` connections over the owner's addresses into its file, from the record
  // when it fits. False when the download should run as one stream instead (the file cannot
  // be opened this way, or nothing is left to fetch in ranges).
  bool Begin(int parallel, const std::string& tag);
  void Stop();
  bool active() const { return active_; }

  static std::wstring RecordPath(const std::wstring& localPath);

  // From the parts.
  void OnPartDone(CRangePart& part);
  void OnPartGaveUp(CRangePart& part);
  void OnRangeRefused();
  void OnBytes(int64_t count) { pendingBytes_ += static_cast<uint64_t>(count); }
  void Progress();
  long receiveBufferSize() const;
  const std::shared_ptr<CRangeFile>& file() const { return file_; }

 private:
  // The ranges from the record, when it is this download's; else from the file's size.
  std::vector<range_plan::Range> Plan(const std::string& tag);
  std::vector<range_plan::Range> Ranges() const;
  void WriteRecord();
  // Tells the file's digest how far the file is written without a gap.
  void FollowDigest();
  // A range that no busy part carries and is not done; null when none.
  std::shared_ptr<CRangeCursor> Orphan() const;
  // Gives `part` more to do: an orphaned range, else half of the largest; false when none.
  bool GiveWork(CRangePart& part);
  bool AnyBusy() const;
  void End(bool complete);

  CHttpDownloadFile& owner_;
  bool active_ = false;
  std::string tag_;
  std::wstring recordPath_;
  std::shared_ptr<CRangeFile> file_;
  std::vector<std::shared_ptr<CRangeCursor>> cursors_;
  std::vector<std::unique_ptr<CRangePart>> parts_;
  uint64_t pendingBytes_ = 0;
  uint32_t lastProgressTick_ = 0;
};
