#include "updater/ProgressSnapshot.h"

namespace progress_snapshot {

namespace {

constexpr const wchar_t* kProcess = L"process";
constexpr const wchar_t* kTotal = L"total";
constexpr const wchar_t* kComplete = L"complete";
constexpr const wchar_t* kSpeed = L"speed";

int64_t IntegerOr0(const ProtoValue& value) {
  return value.type() == ProtoValue::kInteger ? value.integer() : 0;
}

}  // namespace

void Store(ProtoValue& progress, int64_t total, int64_t complete, int64_t speed) {
  if (progress.type() != ProtoValue::kMap) progress = ProtoValue(ProtoValue::kMap);
  ProtoValue& process = progress[kProcess];
  if (process.type() != ProtoValue::kMap) process = ProtoValue(ProtoValue::kMap);
  process[kTotal] = total;
  process[kComplete] = complete;
  process[kSpeed] = speed;
}

bool Take(ProtoValue& progress, Progress* out) {
  const bool held = progress.HasKey(kProcess) && progress.Get(kProcess).type() == ProtoValue::kMap;
  if (held && out) {
    const ProtoValue& process = progress.Get(kProcess);
    out->total = IntegerOr0(process.Get(kTotal));
    out->complete = IntegerOr0(process.Get(kComplete));
    out->speed = IntegerOr0(process.Get(kSpeed));
  }
  progress.Clear();
  return held;
}

}  // namespace progress_snapshot
