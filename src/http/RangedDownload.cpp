#include "http/RangedDownload.h"

#include <windows.h>

#include <algorithm>

#include "http/DownloadRules.h"
#include "http/HttpDownloadFile.h"
#include "http/HttpEngine.h"
#include "http/HttpLog.h"
#include "http/HttpMgr.h"
#include "runtime/FileEx.h"

using range_plan::Range;

namespace {

// A progress report and a record at most this often.
constexpr DWORD kReportIntervalMs = 900;

bool ReadWholeFile(const std::wstring& path, std::string* text) {
  win::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buffer[4096];
  DWORD read = 0;
  text->clear();
  // A record is a few hundred bytes; anything much larger is not one.
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    text->append(buffer, read);
    if (text->size() > 64 * 1024) return false;
  }
  return true;
}

// Whether a file of `size` bytes holds every byte the ranges say is written.
bool Holds(const std::vector<Range>& ranges, uint64_t size) {
  for (const Range& range : ranges) {
    if (range.next > range.begin && range.next > size) return false;
  }
  return true;
}

}  // namespace

// ---- CRangePart ----

CRangePart::CRangePart(CRangedDownload& download, std::vector<std::wstring> urls)
    : CHttpBase(CHttpEngine::DownloadScheduler(), CHttpEngine::DownloadWorkshop()),
      download_(download),
      urls_(std::move(urls)) {
  refuseWebPages = true;
}

bool CRangePart::Join() { return CHttpEngine::JoinDownloadScheduler(this); }

bool CRangePart::Take(std::shared_ptr<CRangeCursor> cursor) {
  cursor_ = std::move(cursor);
  attempts = 0;
  retryPending = false;
  busy_ = Join();
  return busy_;
}

void CRangePart::Prepare() {
  CHttpBase::Prepare();
  if (!curl || !curl->easy) return;
  curl_easy_setopt(curl->easy, CURLOPT_BUFFERSIZE, download_.receiveBufferSize());
  const std::string range = std::to_string(requestedFrom_) + "-" + std::to_string(requestedEnd_ - 1);
  curl_easy_setopt(curl->easy, CURLOPT_RANGE, range.c_str());
}

bool CRangePart::Start() {
  if (running || !cursor_ || !download_.file()) return false;
  ReleaseTransfer();
  const Range range = cursor_->Get();
  if (range.done()) {
    // Another connection's steal or an earlier run finished it meanwhile.
    Stop();
    download_.OnPartDone(*this);
    return false;
  }
  requestedFrom_ = range.next;
  requestedEnd_ = range.end;
  CRefPtr<CCurlHttp> transfer = new CCurlHttp(owner);
  transfer->notifyProgress = true;
  transfer->refuseWebPages = refuseWebPages;
  transfer->rangeStart = static_cast<int64_t>(requestedFrom_);
  transfer->SetOutput(std::make_unique<RangeWriteFile>(download_.file(), cursor_));
  curl = transfer;
  // The range is asked for closed (Prepare), not from resumeOffset.
  resumeOffset = 0;
  result = ProtoValue(ProtoValue::kMap);
  LOG_FILE(0, L"CRangePart::Start() %lld-%lld %ls", static_cast<long long>(requestedFrom_),
           static_cast<long long>(requestedEnd_), GetUrl().c_str());
  return CHttpBase::Start();
}

void CRangePart::OnHttpCode(int status) {
  if (!running || (status >= 300 && status <= 399)) return;
  http_result::SetCode(result, http_result::kHttp, status);
  if (status != 206 || !curl) return;
  uint64_t length = 0;
  if (!download_rules::ParseContentLength(curl->HeaderValue(L"Content-Length"), &length)) return;
  if (length == requestedEnd_ - requestedFrom_) return;
  // Not the bytes asked for: whatever else the server sends, it cannot be trusted with ranges.
  LOG_TRACE(2, 2, L"CRangePart: %lld bytes in answer to a range of %lld", static_cast<long long>(length),
            static_cast<long long>(requestedEnd_ - requestedFrom_));
  Stop();
  busy_ = false;
  download_.OnRangeRefused();
}

void CRangePart::OnRecieveBytes(int64_t count) { download_.OnBytes(count); }

void CRangePart::Progress() { download_.Progress(); }

void CRangePart::Done(CURLcode code) {
  if (!running) return;
  http_result::SetCode(result, http_result::kCurl, code);
  const bool refused = curl && curl->rangeRefused();
  const bool page = curl && curl->refusedWebPage();
  Stop();
  // 1. The range is written to its end: also when this run was cut at an end that moved.
  if (cursor_->Get().done()) {
    busy_ = false;
    download_.OnPartDone(*this);
    return;
  }
  // 2. The server does not answer ranges as asked.
  if (refused) {
    busy_ = false;
    download_.OnRangeRefused();
    return;
  }
  if (page) http_result::SetCode(result, http_result::kHttp, http_result::kStatusWebPage);
  // An answer that ended cleanly short of the range is a broken transfer.
  if (GetError().type == http_result::kNone) {
    http_result::SetCode(result, http_result::kCurl, CURLE_PARTIAL_FILE);
  }
  const http_result::Error error = GetError();
  // 3. The same address again, then the next one.
  if (error.type == http_result::kCurl && attempts <= maxRetries) {
    LOG_TRACE(2, 0, L"CRangePart retry code:%d url:%ls", error.code, GetUrl().c_str());
  } else if (urlIndex_ + 1 < urls_.size()) {
    ++urlIndex_;
    attempts = 0;
    LOG_TRACE(2, 0, L"CRangePart type:%d code:%d, next address %ls", error.type, error.code,
              GetUrl().c_str());
  } else {
    // 4. This connection is spent; its range waits for another.
    LOG_TRACE(2, 0, L"CRangePart gives up type:%d code:%d", error.type, error.code);
    busy_ = false;
    download_.OnPartGaveUp(*this);
    return;
  }
  if (WaitForRetry(&CHttpEngine::JoinDownloadScheduler)) return;
  busy_ = false;
  download_.OnPartGaveUp(*this);
}

// ---- CRangedDownload ----

CRangedDownload::CRangedDownload(CHttpDownloadFile& owner) : owner_(owner) {}

CRangedDownload::~CRangedDownload() { Stop(); }

std::wstring CRangedDownload::RecordPath(const std::wstring& localPath) {
  return localPath + L".ranges";
}

long CRangedDownload::receiveBufferSize() const { return owner_.receiveBufferSize; }

std::vector<Range> CRangedDownload::Plan(const std::string& tag) {
  // 1. The record, when it is this download's and its file is there.
  std::string text;
  range_plan::Record record;
  const int64_t size = CFileEx::SizeOf(owner_.localPath);
  if (ReadWholeFile(recordPath_, &text)) {
    if (size >= 0 && range_plan::ParseRecord(text, &record) && record.size == owner_.expectedSize &&
        record.tag == tag && Holds(record.ranges, static_cast<uint64_t>(size))) {
      LOG_TRACE(2, 0, L"CRangedDownload: continuing from the record, %lld bytes written",
                static_cast<long long>(range_plan::WrittenBytes(record.ranges)));
      return record.ranges;
    }
    // Bytes of another version, or of nobody knows what: none of them may stay.
    LOG_TRACE(2, 2, L"CRangedDownload: the record %ls is not this download's; starting afresh",
              recordPath_.c_str());
    ::DeleteFileW(owner_.localPath.c_str());
    ::DeleteFileW(recordPath_.c_str());
    if (owner_.digest) owner_.digest->Restart();
    return {};
  }
  // 2. A file written as one stream (or none): its bytes are a gap-free start.
  const uint64_t start = size > 0 ? static_cast<uint64_t>(size) : 0;
  std::vector<Range> ranges;
  if (start > 0 && start < owner_.expectedSize) ranges.push_back(Range{0, start, start});
  return ranges;
}

bool CRangedDownload::Begin(int parallel, const std::string& tag) {
  Stop();
  parts_.clear();
  cursors_.clear();
  tag_ = tag;
  recordPath_ = RecordPath(owner_.localPath);
  const int count = std::min(std::max(parallel, 1), kMaxParallel);
  std::vector<Range> ranges = Plan(tag);
  // 1. The ranges still to fetch, split among the connections.
  const uint64_t written = range_plan::ContiguousPrefix(ranges);
  if (ranges.empty() || (ranges.size() == 1 && ranges.front().done())) {
    const int64_t size = CFileEx::SizeOf(owner_.localPath);
    if (size >= static_cast<int64_t>(owner_.expectedSize)) return false;
    ranges = range_plan::Split(written, owner_.expectedSize, count);
    if (written > 0) ranges.insert(ranges.begin(), Range{0, written, written});
  }
  // 2. The file, open for the whole download.
  DWORD error = 0;
  file_ = CRangeFile::Open(owner_.localPath, &error);
  if (!file_) {
    LOG_TRACE(2, 2, L"CRangedDownload: %ls cannot be opened: %u", owner_.localPath.c_str(),
              static_cast<unsigned>(error));
    return false;
  }
  for (const Range& range : ranges) cursors_.push_back(std::make_shared<CRangeCursor>(range));
  file_->digest = owner_.digest;
  FollowDigest();
  // 3. The record first, so that no range is written before it is known.
  active_ = true;
  WriteRecord();
  // 4. The connections, spread over the addresses.
  const std::vector<std::wstring>& urls = owner_.urls;
  for (int n = 0; n < count && !urls.empty(); ++n) {
    std::vector<std::wstring> rotated(urls.begin() + (n % urls.size()), urls.end());
    rotated.insert(rotated.end(), urls.begin(), urls.begin() + (n % urls.size()));
    parts_.push_back(std::make_unique<CRangePart>(*this, rotated));
  }
  lastProgressTick_ = ::GetTickCount();
  pendingBytes_ = 0;
  for (const std::unique_ptr<CRangePart>& part : parts_) {
    if (!active_) break;
    if (!GiveWork(*part)) break;
  }
  if (active_ && !AnyBusy()) {
    // The scheduler takes nothing (the engine is down): one stream reports it.
    End(false);
    return true;
  }
  LOG_TRACE(2, 0, L"CRangedDownload: %ls in %d ranges over %d connections",
            owner_.localPath.c_str(), static_cast<int>(cursors_.size()), static_cast<int>(parts_.size()));
  return true;
}

void CRangedDownload::Stop() {
  for (const std::unique_ptr<CRangePart>& part : parts_) part->Stop();
  if (active_) WriteRecord();
  active_ = false;
  file_.reset();
}

std::vector<Range> CRangedDownload::Ranges() const {
  std::vector<Range> ranges;
  for (const std::shared_ptr<CRangeCursor>& cursor : cursors_) ranges.push_back(cursor->Get());
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  return ranges;
}

void CRangedDownload::WriteRecord() {
  range_plan::Record record;
  record.size = owner_.expectedSize;
  record.tag = tag_;
  record.ranges = Ranges();
  const std::string text = range_plan::FormatRecord(record);
  const std::wstring aside = recordPath_ + L".new";
  {
    win::ScopedHandle file(::CreateFileW(aside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) ||
        written != text.size()) {
      LOG_FILE(2, L"CRangedDownload: the record cannot be written: %u",
               static_cast<unsigned>(::GetLastError()));
      return;
    }
  }
  if (!::MoveFileExW(aside.c_str(), recordPath_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    LOG_FILE(2, L"CRangedDownload: the record cannot be replaced: %u",
             static_cast<unsigned>(::GetLastError()));
  }
}

std::shared_ptr<CRangeCursor> CRangedDownload::Orphan() const {
  // The frontmost: the file then fills from its start, where its digest reads.
  std::shared_ptr<CRangeCursor> front;
  for (const std::shared_ptr<CRangeCursor>& cursor : cursors_) {
    const Range range = cursor->Get();
    if (range.done() || (front && front->Get().begin < range.begin)) continue;
    bool carried = false;
    for (const std::unique_ptr<CRangePart>& part : parts_) {
      if (part->busy() && part->cursor() == cursor) carried = true;
    }
    if (!carried) front = cursor;
  }
  return front;
}

bool CRangedDownload::AnyBusy() const {
  for (const std::unique_ptr<CRangePart>& part : parts_) {
    if (part->busy()) return true;
  }
  return false;
}

bool CRangedDownload::GiveWork(CRangePart& part) {
  // 1. A range nobody carries.
  if (std::shared_ptr<CRangeCursor> orphan = Orphan()) return part.Take(orphan);
  // 2. The upper half of the largest range still being fetched.
  std::vector<Range> carried;
  std::vector<std::shared_ptr<CRangeCursor>> owners;
  for (const std::unique_ptr<CRangePart>& other : parts_) {
    if (!other->busy() || !other->cursor()) continue;
    carried.push_back(other->cursor()->Get());
    owners.push_back(other->cursor());
  }
  const int largest = range_plan::LargestToSteal(carried);
  if (largest < 0) return false;
  const Range& victim = carried[static_cast<size_t>(largest)];
  const uint64_t cut = range_plan::StealPoint(victim);
  if (!owners[static_cast<size_t>(largest)]->EndAt(cut)) return false;
  cursors_.push_back(std::make_shared<CRangeCursor>(Range{cut, cut, victim.end}));
  WriteRecord();
  return part.Take(cursors_.back());
}

void CRangedDownload::OnPartDone(CRangePart& part) {
  if (!active_) return;
  bool complete = true;
  for (const std::shared_ptr<CRangeCursor>& cursor : cursors_) {
    if (!cursor->Get().done()) complete = false;
  }
  if (complete) {
    End(true);
    return;
  }
  WriteRecord();
  FollowDigest();
  GiveWork(part);
  if (!AnyBusy()) End(false);
}

void CRangedDownload::FollowDigest() {
  if (owner_.digest) owner_.digest->Advance(range_plan::ContiguousPrefix(Ranges()));
}

void CRangedDownload::OnPartGaveUp(CRangePart& part) {
  if (!active_) return;
  WriteRecord();
  // Every connection spent: one stream, with its DNS step, makes the last attempts.
  if (!AnyBusy()) End(false);
}

void CRangedDownload::OnRangeRefused() {
  if (!active_) return;
  LOG_TRACE(2, 0, L"CRangedDownload: the server does not answer ranges as asked; one stream");
  End(false);
}

void CRangedDownload::Progress() {
  if (!active_) return;
  const uint32_t now = ::GetTickCount();
  if (now - lastProgressTick_ < kReportIntervalMs) return;
  lastProgressTick_ = now;
  WriteRecord();
  FollowDigest();
  if (!owner_.onProgress) return;
  owner_.speedSamples.Add(static_cast<uint32_t>(pendingBytes_));
  pendingBytes_ = 0;
  owner_.onProgress(owner_.userData, owner_.expectedSize, range_plan::WrittenBytes(Ranges()),
                    owner_.speedSamples.BytesPerSecond());
}

void CRangedDownload::End(bool complete) {
  for (const std::unique_ptr<CRangePart>& part : parts_) part->Stop();
  active_ = false;
  if (file_) {
    // What one stream continues must hold nothing but written bytes from its start.
    const uint64_t keep = complete ? owner_.expectedSize : range_plan::ContiguousPrefix(Ranges());
    if (!file_->CutTo(keep)) {
      LOG_FILE(2, L"CRangedDownload: cutting to %lld bytes failed: %u; the file goes",
               static_cast<long long>(keep), static_cast<unsigned>(::GetLastError()));
      file_.reset();
      ::DeleteFileW(owner_.localPath.c_str());
      if (owner_.digest) owner_.digest->Restart();
    }
  }
  file_.reset();
  ::DeleteFileW(recordPath_.c_str());
  owner_.OnRangesEnded(complete);
}
