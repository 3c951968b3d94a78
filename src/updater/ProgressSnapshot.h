// ProgressSnapshot: the update module's latest download progress, kept in a ProtoValue as
// progress["process"]["total"], ["complete"] and ["speed"]. The engine stores a snapshot about
// once a second; the module's window takes it when its message arrives, so snapshots stored
// faster than the window handles them collapse into the newest one.
//
// Contract: pure functions on a value that one thread (the user-interface thread) owns and
// that only Store writes to (another shape would make them throw ProtoValueException).
#pragma once

#include <cstdint>

#include "runtime/ProtoValue.h"

namespace progress_snapshot {

struct Progress {
  int64_t total = 0;
  int64_t complete = 0;
  int64_t speed = 0;
};

// Replaces the snapshot held in `progress`.
void Store(ProtoValue& progress, int64_t total, int64_t complete, int64_t speed);

// Moves the snapshot out of `progress`, which is empty afterwards. False when it held none.
bool Take(ProtoValue& progress, Progress* out);

}  // namespace progress_snapshot
