// RangePlan: the arithmetic of a download fetched as several byte ranges at once, and the
// text of the record kept beside its partial file.
//
// Contract: pure functions and a plain value; any thread; nothing throws. A range is
// [begin, end) of the file with `next` the first byte not yet written (begin <= next <= end).
// The record comes from disk and may be anything: ParseRecord accepts only a record whose
// ranges lie inside the file, do not overlap and are sorted, and says false otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace range_plan {

struct Range {
  uint64_t begin = 0;
  uint64_t next = 0;
  uint64_t end = 0;

  uint64_t left() const { return end - next; }
  bool done() const { return next >= end; }
};

// The record's first line; a record of any other form is discarded with its file.
constexpr const char* kRecordMagic = "kelto-ranges 1";
// A range is not split below this, nor a rest below it halved: smaller steals cost more in
// requests than they save.
constexpr uint64_t kMinSplit = 1024 * 1024;
// The longest range Split makes: each costs one request, and the file's gap-free start (which
// its digest follows) trails the download by about a range per connection.
constexpr uint64_t kMaxChunk = 16 * 1024 * 1024;
// At most this many ranges, so that the record stays a few pages.
constexpr uint64_t kMaxChunks = 1024;

// `size` bytes from `start` on (the bytes before it are there already) in ranges of equal
// length, about four for each of `count` connections, each between kMinSplit and kMaxChunk;
// the connections take them front first. Fewer when the bytes are too few to be worth it.
std::vector<Range> Split(uint64_t start, uint64_t size, int count);

// The range whose unwritten rest is the largest, when that rest (kMinSplit or more) is worth
// halving; -1 when none is. A range being written keeps the lower half; the upper half goes to whoever takes it.
int LargestToSteal(const std::vector<Range>& ranges);
// The point where StealFrom would cut `range`: the middle of its unwritten rest.
uint64_t StealPoint(const Range& range);

// How many bytes from the file's start are written without a gap.
uint64_t ContiguousPrefix(const std::vector<Range>& ranges);
// Bytes written over all ranges.
uint64_t WrittenBytes(const std::vector<Range>& ranges);

struct Record {
  uint64_t size = 0;    // the whole file's
  std::string tag;      // the version and digests the bytes belong to, one line
  std::vector<Range> ranges;
};

std::string FormatRecord(const Record& record);
bool ParseRecord(const std::string& text, Record* record);

}  // namespace range_plan
