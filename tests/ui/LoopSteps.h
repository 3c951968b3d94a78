// Test helper: steps that run from inside whatever message loop the test's thread is in,
// such as the modal loop of a dialog that the test itself waits in (ShowModal), so that a
// test can look at a modal window and answer it while the loop runs.
//
// Contract: the test's thread, which must dispatch messages (every modal loop does). A step
// is called every `periodMs` from a thread timer until it returns true; steps may add
// further steps. StopLoopSteps drops the steps still pending (call it between tests).
// Nothing throws; a step that fails a gtest assertion simply returns.
#pragma once

#include <windows.h>

#include <functional>

namespace testing_support {

void RunInLoop(std::function<bool()> step, UINT periodMs = 20);
void StopLoopSteps();

// A step that waits until `ready` holds, then runs `action` once.
std::function<bool()> When(std::function<bool()> ready, std::function<void()> action);

}  // namespace testing_support
