#include "http/RangePlan.h"

#include <algorithm>
#include <cstdlib>

namespace range_plan {

std::vector<Range> Split(uint64_t start, uint64_t size, int count) {
  std::vector<Range> ranges;
  if (start >= size) return ranges;
  const uint64_t bytes = size - start;
  const uint64_t connections = static_cast<uint64_t>(std::max(count, 1));
  uint64_t chunk = std::min(std::max(bytes / (connections * 4), kMinSplit), kMaxChunk);
  chunk = std::max(chunk, (bytes + kMaxChunks - 1) / kMaxChunks);
  const uint64_t wanted = std::max<uint64_t>(bytes / chunk, 1);
  const uint64_t each = bytes / wanted;
  uint64_t begin = start;
  for (uint64_t n = 0; n < wanted; ++n) {
    const uint64_t end = n + 1 == wanted ? size : begin + each;
    ranges.push_back(Range{begin, begin, end});
    begin = end;
  }
  return ranges;
}

uint64_t StealPoint(const Range& range) { return range.next + range.left() / 2; }

int LargestToSteal(const std::vector<Range>& ranges) {
  int best = -1;
  for (size_t n = 0; n < ranges.size(); ++n) {
    if (best < 0 || ranges[n].left() > ranges[static_cast<size_t>(best)].left()) {
      best = static_cast<int>(n);
    }
  }
  if (best < 0 || ranges[static_cast<size_t>(best)].left() < kMinSplit) return -1;
  return best;
}

uint64_t ContiguousPrefix(const std::vector<Range>& ranges) {
  std::vector<Range> sorted = ranges;
  std::sort(sorted.begin(), sorted.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  uint64_t prefix = 0;
  for (const Range& range : sorted) {
    if (range.begin > prefix) break;
    prefix = std::max(prefix, range.next);
    if (!range.done()) break;
  }
  return prefix;
}

uint64_t WrittenBytes(const std::vector<Range>& ranges) {
  uint64_t written = 0;
  for (const Range& range : ranges) written += range.next - range.begin;
  return written;
}

std::string FormatRecord(const Record& record) {
  // No streams: the iostream machinery would add more to the program than the rest of the
  // download engine.
  std::string text = std::string(kRecordMagic) + "\n" + std::to_string(record.size) + " " +
                     record.tag + "\n";
  for (const Range& range : record.ranges) {
    text += std::to_string(range.begin) + " " + std::to_string(range.next) + " " +
            std::to_string(range.end) + "\n";
  }
  return text + "end\n";
}

namespace {

// A decimal number of at most 19 digits taking the whole of `text`.
bool ParseNumber(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = result;
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

bool ParseRecord(const std::string& text, Record* record) {
  // A record cut short (its last line has no end) is not a record.
  if (text.empty() || text.back() != '\n') return false;
  const std::vector<std::string> lines = Lines(text);
  // 1. The magic, the size and tag line, at least one range and the end mark.
  if (lines.size() < 4 || lines.front() != kRecordMagic || lines.back() != "end") return false;
  const std::string& head = lines[1];
  const size_t space = head.find(' ');
  if (space == std::string::npos) return false;
  Record parsed;
  if (!ParseNumber(head.substr(0, space), &parsed.size) || parsed.size == 0) return false;
  parsed.tag = head.substr(space + 1);
  // 2. The ranges: sorted, apart, inside the file, each with its written part inside it.
  uint64_t previousEnd = 0;
  for (size_t n = 2; n + 1 < lines.size(); ++n) {
    const std::string& line = lines[n];
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos) return false;
    const std::string begin = line.substr(0, first);
    const std::string next = line.substr(first + 1, second - first - 1);
    const std::string end = line.substr(second + 1);
    Range range;
    if (!ParseNumber(begin, &range.begin) || !ParseNumber(next, &range.next) ||
        !ParseNumber(end, &range.end)) {
      return false;
    }
    if (range.begin < previousEnd || range.next < range.begin || range.end < range.next ||
        range.end > parsed.size) {
      return false;
    }
    previousEnd = range.end;
    parsed.ranges.push_back(range);
  }
  *record = parsed;
  return true;
}

}  // namespace range_plan
