// Test helper: runs the calling thread's message loop, as the installer's user-interface
// thread does, until a condition holds. Main-thread tasks and thread timers only run while a
// loop dispatches messages, so tests of anything that reports through them wait here.
//
// Contract: called on the thread whose messages are to be dispatched (the test's thread).
// The limit is a safety net against a hang, not a measurement: PumpMessagesUntil returns
// false when it passes before the condition holds. PumpMessagesFor dispatches for a fixed
// time, for tests that check that something does not happen. Nothing throws.
#pragma once

#include <windows.h>

#include <functional>

namespace testing_support {

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD limitMs = 30000);
void PumpMessagesFor(DWORD ms);

// This process's message-only window of `className`, or null. Other test programs running at
// the same time have windows of the same class, which a plain FindWindowEx would return.
HWND FindOwnMessageWindow(const wchar_t* className);

// Dispatches this thread's messages until process `processId` shows a top-level window of
// class `className`, and returns it; null when none shows within `limitMs`.
HWND WaitForShownWindowOf(DWORD processId, const wchar_t* className, DWORD limitMs = 20000);

}  // namespace testing_support
