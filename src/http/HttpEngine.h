// CHttpEngine: the process's two families of HTTP transfers, commands and downloads, each a
// transfer workshop (its worker thread and multi handle) paired with a scheduler, and the
// engine's 500 ms timer that drives retries and download progress.
//
// Contract: every routine runs on the user-interface thread, which owns the families and
// the timer (a thread timer: it fires only while that thread pumps messages). Start-up
// creates what is missing and is safe to call again; shut-down stops the workshop's thread
// (waiting as long as it takes), closes the multi handle and lets the scheduler's tasks go
// without stopping them: they belong to their creators, who may still stop or destroy them
// afterwards. The accessors return null while a family is down, and joining a task then
// fails (false).
#pragma once

#include <cstdint>

class CCurlWorkshop;
class CHttpBase;
class CHttpMgr;

class CHttpEngine {
 public:
  // Identifier asked for the scheduler timer (a thread timer's real identifier is the one
  // SetTimer returns).
  static constexpr uintptr_t kTimerId = 100;
  static constexpr unsigned kTimerPeriodMs = 500;

  // Starts the scheduler timer once; true when it runs.
  static bool StartTimer();
  static void StopTimer();
  static bool TimerRunning();

  // Each also starts the timer when it does not run yet.
  static bool StartCommandFamily();
  static bool StartDownloadFamily();
  static void ShutdownCommandFamily();
  static void ShutdownDownloadFamily();

  static CHttpMgr* CommandScheduler();
  static CCurlWorkshop* CommandWorkshop();
  static CHttpMgr* DownloadScheduler();
  static CCurlWorkshop* DownloadWorkshop();

  // Hands a task to the family's scheduler, which starts it when a slot is free. A task made
  // while the family was down gets the family's workshop here.
  static bool JoinCommandScheduler(CHttpBase* task);
  static bool JoinDownloadScheduler(CHttpBase* task);

  // The timer's routine: download progress every second, then the retries of both families.
  static void OnTimer();

  CHttpEngine() = delete;
};
