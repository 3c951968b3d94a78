#include "runtime/PrefixDigest.h"

#include <algorithm>

#include "runtime/HexDigests.h"
#include "runtime/Logging.h"

namespace {

// Large enough that each turn's lock and system call cost nothing against the digesting.
constexpr size_t kBlock = 1 << 20;

}  // namespace

CPrefixDigest::CPrefixDigest(std::wstring path, bool sha256) : path_(std::move(path)) {
  if (sha256) {
    sha256_.reset(new Lane());
    sha256_->sha256 = true;
    sha256_->thread = std::thread([this] { Run(*sha256_); });
  }
  md5_.thread = std::thread([this] { Run(md5_); });
}

CPrefixDigest::~CPrefixDigest() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  changed_.notify_all();
  md5_.thread.join();
  if (sha256_) sha256_->thread.join();
}

void CPrefixDigest::Advance(uint64_t available) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (available <= available_) return;
    available_ = available;
  }
  changed_.notify_all();
}

void CPrefixDigest::Extend(uint64_t from, uint64_t to) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    // Bytes beyond a gap wait until the download says the gap is filled (Advance).
    if (from > available_ || to <= available_) return;
    available_ = to;
  }
  changed_.notify_all();
}

void CPrefixDigest::Restart(uint64_t kept) {
  std::unique_lock<std::mutex> hold(lock_);
  ++generation_;
  available_ = kept;
  changed_.notify_all();
  changed_.wait(hold, [this] {
    return stop_ || (md5_.generation == generation_ &&
                     (!sha256_ || sha256_->generation == generation_));
  });
}

bool CPrefixDigest::SetTarget(uint64_t size) {
  if (hasTarget_) return target_ == size;
  hasTarget_ = true;
  target_ = size;
  available_ = std::max(available_, size);
  changed_.notify_all();
  return true;
}

void CPrefixDigest::Complete(uint64_t size) {
  std::lock_guard<std::mutex> hold(lock_);
  SetTarget(size);
}

bool CPrefixDigest::AllFinished() const {
  return md5_.finished && (!sha256_ || sha256_->finished);
}

bool CPrefixDigest::AnyFailed() const { return md5_.failed || (sha256_ && sha256_->failed); }

bool CPrefixDigest::Wait(uint64_t size, std::wstring* md5, std::wstring* sha256) {
  std::unique_lock<std::mutex> hold(lock_);
  if ((sha256 && !sha256_) || !SetTarget(size)) return false;
  changed_.wait(hold, [this] { return AllFinished() || AnyFailed() || stop_; });
  if (!AllFinished()) return false;
  *md5 = md5_.text;
  if (sha256) *sha256 = sha256_->text;
  return true;
}

bool CPrefixDigest::IsFile(HANDLE file) const {
  BY_HANDLE_FILE_INFORMATION other = {};
  if (!::GetFileInformationByHandle(file, &other)) return false;
  const Identity held{other.dwVolumeSerialNumber, other.nFileIndexHigh, other.nFileIndexLow};
  std::lock_guard<std::mutex> hold(lock_);
  // Every lane must have read this very file.
  return md5_.identified && md5_.identity == held &&
         (!sha256_ || (sha256_->identified && sha256_->identity == held));
}

bool CPrefixDigest::OpenFile(Lane& lane) {
  // Everything shared: the writers hold the file open for writing meanwhile, and the finished
  // file is renamed into place while this handle still reads it.
  lane.file.reset(::CreateFileW(path_.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!lane.file || !::GetFileInformationByHandle(lane.file.get(), &info)) {
    LOG_FILE(2, L"CPrefixDigest: %ls cannot be read: %u", path_.c_str(),
             static_cast<unsigned>(::GetLastError()));
    lane.file.reset();
    return false;
  }
  std::lock_guard<std::mutex> hold(lock_);
  lane.identity = Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  lane.identified = true;
  return true;
}

void CPrefixDigest::Run(Lane& lane) {
  // The transfer comes first: on a link faster than the digests, they catch up after its end
  // rather than slow it down.
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  std::unique_ptr<char[]> block(new char[kBlock]);
  CHexDigests digest(!lane.sha256, lane.sha256);
  uint64_t position = UINT64_MAX;  // of the file pointer; UINT64_MAX: not known
  for (;;) {
    uint64_t from = 0, to = 0;
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [&] {
        return stop_ || generation_ != lane.generation ||
               (!lane.finished && !lane.failed &&
                (lane.digested < available_ || (hasTarget_ && lane.digested == target_)));
      });
      if (stop_) return;
      // 1. The file started over, and may be another file now: so does the digest.
      if (generation_ != lane.generation) {
        lane.file.reset();
        lane.generation = generation_;
        lane.digested = 0;
        lane.failed = lane.finished = lane.identified = false;
        changed_.notify_all();
        hold.unlock();
        digest.Reset();
        position = UINT64_MAX;
        continue;
      }
      // 2. Everything a Wait needs is digested: the verdict. The file is let go at once (the
      //    install step deletes it once it has run); its identity stays known.
      if (hasTarget_ && lane.digested == target_) {
        lane.file.reset();
        lane.finished = digest.Finish(&lane.text, &lane.text);
        lane.failed = !lane.finished;
        changed_.notify_all();
        continue;
      }
      // 3. The next block of the gap-free start; never past what a Wait asks for.
      from = lane.digested;
      to = std::min<uint64_t>(available_, from + kBlock);
      if (hasTarget_) to = std::min(to, target_);
    }
    // 4. Read it back and digest it, without the lock.
    bool read = lane.file || OpenFile(lane);
    if (read && position != from) {
      LARGE_INTEGER offset;
      offset.QuadPart = static_cast<LONGLONG>(from);
      read = ::SetFilePointerEx(lane.file.get(), offset, nullptr, FILE_BEGIN) != FALSE;
    }
    const DWORD wanted = static_cast<DWORD>(to - from);
    DWORD got = 0;
    read = read && ::ReadFile(lane.file.get(), block.get(), wanted, &got, nullptr) && got == wanted;
    position = read ? to : UINT64_MAX;
    read = read && digest.Update(block.get(), got);
    std::lock_guard<std::mutex> hold(lock_);
    // A Restart meanwhile makes this block worthless; the next turn starts over.
    if (generation_ != lane.generation) continue;
    if (!read) {
      LOG_FILE(2, L"CPrefixDigest: %ls cannot be digested at %llu: %u", path_.c_str(),
               static_cast<unsigned long long>(from), static_cast<unsigned>(::GetLastError()));
      lane.failed = true;
      changed_.notify_all();
      continue;
    }
    lane.digested = to;
  }
}
