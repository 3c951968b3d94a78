#include "updater/ProgressSnapshot.h"

namespace progress_snapshot {

namespace {

constexpr const wchar_t* kProcess = L"process";
constexpr const wchar_t* kTotal = L"total";
constexpr const wchar_t* kComplete = L"complete";
constexpr const wchar_t* kSpeed = L"speed";

}  // namespace

void Store(ProtoValue& progress, int64_t total, int64_t complete, int64_t speed) {
  ProtoValue& process = progress[kProcess];
  process[kTotal] = total;
  process[kComplete] = complete;
  process[kSpeed] = speed;
}

bool Take(ProtoValue& progress, Progress* out) {
  const bool held = progress.HasKey(kProcess);
  if (held && out) {
    const ProtoValue& process = progress.Get(kProcess);
    out->total = process.Get(kTotal).integer();
    out->complete = process.Get(kComplete).integer();
    out->speed = process.Get(kSpeed).integer();
  }
  progress.Clear();
  return held;
}

}  // namespace progress_snapshot
