// Every private window message of the installer, in one place, so that no two parts of the
// program pick the same number for different meanings.
//
// Contract: plain constants; any thread may post these (PostMessageW is thread-safe). The
// handler of each runs on the thread that owns the receiving window, the user-interface
// thread. Registered messages (RegisterWindowMessageW) are listed by name.
#pragma once

#include <windows.h>

namespace msg {

// Install dialog: the install worker found the package unusable (wParam 0, lParam 0).
constexpr UINT kPackageUnusable = WM_USER + 100;  // 0x464
// Install dialog: the install worker is about to run the package; the phase label says so
// (wParam 0, lParam 0).
constexpr UINT kPackageRunning = WM_USER + 101;  // 0x465
// Install dialog: take the start-up decision (wParam 0, lParam 0). Posted by the dialog to
// itself at creation, so that the window's first frame does not wait for the launcher's
// records to be read.
constexpr UINT kStartupDecision = WM_USER + 102;  // 0x466

// Update module helper window (wParam, lParam = error type, error code unless noted).
constexpr UINT kUpdaterManifest = WM_USER + 1000;     // 0x7E8: manifest fetched
constexpr UINT kUpdaterProgress = WM_USER + 1001;     // 0x7E9: progress snapshot (0, 0)
constexpr UINT kUpdaterPackageDone = WM_USER + 1002;  // 0x7EA: package download ended
// WM_USER + 1003 to WM_USER + 1007 are reserved by the update module and answered with 0.
constexpr UINT kUpdaterReservedFirst = WM_USER + 1003;
constexpr UINT kUpdaterReservedLast = WM_USER + 1007;

// Skinned windows' paint manager (sent by a window to itself):
// delete the controls queued for delayed deletion (wParam 0, lParam 0).
constexpr UINT kDelayedCleanup = WM_APP + 1;  // 0x8001
// queued asynchronous notifications are waiting to be delivered (wParam 0, lParam 0).
constexpr UINT kNotifyPending = WM_APP + 2;  // 0x8002
// Base of messages reflected back to the child window that sent them (WM_COMMAND, WM_NOTIFY
// and the colour requests of the native edit box): reflected = kReflectBase + message.
constexpr UINT kReflectBase = 0x2000;

// Registered: wakes the main-thread task window to run posted tasks.
constexpr const wchar_t* kMainThreadFiredName = L"com.kelto.MainThreadFired";

}  // namespace msg
