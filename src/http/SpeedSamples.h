// CSpeedSamples: the speed a download shows: the bytes of the last ten one-second samples,
// summed and divided by ten. Over the first seconds, while fewer samples exist, the sum is
// still divided by ten, so the figure climbs to the true speed instead of jumping about.
//
// Contract: a plain value used by one thread (the download's, on the user-interface thread);
// nothing throws (allocation failure aside).
#pragma once

#include <cstdint>
#include <deque>

class CSpeedSamples {
 public:
  static constexpr size_t kKept = 10;

  // One second's worth of bytes; the oldest sample goes once more than kKept are held.
  void Add(uint32_t bytes) {
    samples_.push_back(bytes);
    sum_ += bytes;
    if (samples_.size() > kKept) {
      sum_ -= samples_.front();
      samples_.pop_front();
    }
  }

  uint32_t BytesPerSecond() const { return static_cast<uint32_t>(sum_ / kKept); }
  size_t size() const { return samples_.size(); }
  void Clear() {
    samples_.clear();
    sum_ = 0;
  }

 private:
  std::deque<uint32_t> samples_;
  uint64_t sum_ = 0;
};
