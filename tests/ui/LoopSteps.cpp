#include "LoopSteps.h"

#include <map>
#include <utility>

namespace testing_support {

namespace {

std::map<UINT_PTR, std::function<bool()>>& Steps() {
  static std::map<UINT_PTR, std::function<bool()>> steps;
  return steps;
}

void CALLBACK StepTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  const auto found = Steps().find(id);
  if (found == Steps().end()) {
    ::KillTimer(nullptr, id);
    return;
  }
  // A copy: the step may add steps, which changes the map.
  const std::function<bool()> step = found->second;
  if (!step()) return;
  ::KillTimer(nullptr, id);
  Steps().erase(id);
}

}  // namespace

void RunInLoop(std::function<bool()> step, UINT periodMs) {
  const UINT_PTR id = ::SetTimer(nullptr, 0, periodMs, StepTimerProc);
  if (id) Steps()[id] = std::move(step);
}

void StopLoopSteps() {
  for (const auto& entry : Steps()) ::KillTimer(nullptr, entry.first);
  Steps().clear();
}

std::function<bool()> When(std::function<bool()> ready, std::function<void()> action) {
  return [ready = std::move(ready), action = std::move(action)] {
    if (!ready()) return false;
    action();
    return true;
  };
}

}  // namespace testing_support
