// CWindowHostUI control timers: a control asks for a timer by its own id; the manager runs
// it as a window timer of the paint window and turns each WM_TIMER into a timer event.
#include <algorithm>

#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"

namespace SkinUI {

UINT CWindowHostUI::NextWindowTimerId() {
  // Ids run through 1..254; one still held by a record (live or killed, kept for reuse) is
  // skipped, so that two records never share a window timer.
  for (int attempt = 0; attempt < 255; ++attempt) {
    timerCounter_ = (timerCounter_ + 1) % 255;
    const UINT id = timerCounter_;
    if (id == 0) continue;
    const bool taken = std::any_of(timers_.begin(), timers_.end(), [id](const TTimerRecord& t) {
      return t.windowId == id;
    });
    if (!taken) return id;
  }
  return 0;
}

bool CWindowHostUI::SetTimer(CControlUI* control, UINT timerId, UINT elapse) {
  if (!control || !paintWindow_) return false;
  for (TTimerRecord& timer : timers_) {
    if (timer.sender != control || timer.window != paintWindow_ || timer.localId != timerId) {
      continue;
    }
    if (!timer.killed) return false;
    if (!::SetTimer(paintWindow_, timer.windowId, elapse, nullptr)) return false;
    timer.killed = false;
    return true;
  }
  const UINT windowId = NextWindowTimerId();
  if (windowId == 0 || !::SetTimer(paintWindow_, windowId, elapse, nullptr)) return false;
  timers_.push_back(TTimerRecord{control, timerId, paintWindow_, windowId, false});
  return true;
}

bool CWindowHostUI::KillTimer(CControlUI* control, UINT timerId) {
  for (TTimerRecord& timer : timers_) {
    if (timer.sender != control || timer.localId != timerId || timer.killed) continue;
    if (::IsWindow(timer.window)) ::KillTimer(timer.window, timer.windowId);
    timer.killed = true;
    return true;
  }
  return false;
}

void CWindowHostUI::KillTimer(CControlUI* control) {
  auto first = std::stable_partition(timers_.begin(), timers_.end(),
                                     [control](const TTimerRecord& t) { return t.sender != control; });
  for (auto it = first; it != timers_.end(); ++it) {
    if (!it->killed && ::IsWindow(it->window)) ::KillTimer(it->window, it->windowId);
  }
  timers_.erase(first, timers_.end());
}

void CWindowHostUI::StopAllTimers() {
  for (const TTimerRecord& timer : timers_) {
    if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.windowId);
  }
  timers_.clear();
}

}  // namespace SkinUI
