#include "http/HttpEngine.h"

#include <winsock2.h>  // before windows.h, as libcurl needs it
#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>

#include "http/CurlWorkshop.h"
#include "http/HttpBase.h"
#include "http/HttpMgr.h"
#include "runtime/Logging.h"

namespace {

struct Family {
  std::unique_ptr<CCurlWorkshop> workshop;
  std::unique_ptr<CHttpMgr> scheduler;
};

// Touched only on the user-interface thread.
struct Engine {
  Family commands;
  Family downloads;
  UINT_PTR timer = 0;
  uint32_t ticks = 0;
};

Engine& TheEngine() {
  // Never destroyed: shut-down brings the families down explicitly, in its own order.
  static Engine* const engine = new Engine();
  return *engine;
}

// A timer procedure is called from DispatchMessageW: nothing may unwind through it.
void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD) {
  try {
    CHttpEngine::OnTimer();
  } catch (const std::exception& e) {
    LOG_FILE(2, L"CHttpEngine::OnTimer threw: %s", e.what());
  } catch (...) {
    LOG_FILE(2, L"CHttpEngine::OnTimer threw");
  }
}

bool StartFamily(Family& family) {
  CHttpEngine::StartTimer();
  if (!family.workshop) {
    family.workshop = std::make_unique<CCurlWorkshop>();
    family.workshop->Init();
    family.workshop->StartThread();
  }
  if (!family.scheduler) family.scheduler = std::make_unique<CHttpMgr>();
  return family.workshop->IsRunning();
}

void ShutdownFamily(Family& family) {
  CHttpBase::ForgetEngineParts(family.scheduler.get(), family.workshop.get());
  if (family.workshop) {
    family.workshop->StopThread(INFINITE);
    family.workshop->Cleanup();
    family.workshop.reset();
  }
  if (family.scheduler) {
    family.scheduler->ForgetTasks();
    family.scheduler.reset();
  }
}

bool Join(Family& family, CHttpBase* task) {
  if (!family.scheduler || !task) return false;
  // A request made while its family was down knows no workshop: without the family's, its
  // run would hold a slot for ever with nothing to carry it out.
  if (!task->workshop && (!task->owner || task->owner == family.scheduler.get())) {
    task->workshop = family.workshop.get();
  }
  return family.scheduler->Join(task);
}

}  // namespace

bool CHttpEngine::StartTimer() {
  Engine& engine = TheEngine();
  if (!engine.timer) engine.timer = ::SetTimer(nullptr, kTimerId, kTimerPeriodMs, TimerProc);
  return engine.timer != 0;
}

void CHttpEngine::StopTimer() {
  Engine& engine = TheEngine();
  if (engine.timer) ::KillTimer(nullptr, engine.timer);
  engine.timer = 0;
  engine.ticks = 0;
}

bool CHttpEngine::TimerRunning() { return TheEngine().timer != 0; }

bool CHttpEngine::StartCommandFamily() { return StartFamily(TheEngine().commands); }
bool CHttpEngine::StartDownloadFamily() { return StartFamily(TheEngine().downloads); }
void CHttpEngine::ShutdownCommandFamily() { ShutdownFamily(TheEngine().commands); }
void CHttpEngine::ShutdownDownloadFamily() { ShutdownFamily(TheEngine().downloads); }

CHttpMgr* CHttpEngine::CommandScheduler() { return TheEngine().commands.scheduler.get(); }
CCurlWorkshop* CHttpEngine::CommandWorkshop() { return TheEngine().commands.workshop.get(); }
CHttpMgr* CHttpEngine::DownloadScheduler() { return TheEngine().downloads.scheduler.get(); }
CCurlWorkshop* CHttpEngine::DownloadWorkshop() { return TheEngine().downloads.workshop.get(); }

bool CHttpEngine::JoinCommandScheduler(CHttpBase* task) {
  return Join(TheEngine().commands, task);
}

bool CHttpEngine::JoinDownloadScheduler(CHttpBase* task) {
  return Join(TheEngine().downloads, task);
}

void CHttpEngine::OnTimer() {
  Engine& engine = TheEngine();
  // 1. Download progress on every second tick. Each step looks the scheduler up again: a
  //    handler called by the one before may have brought the engine down.
  if (engine.ticks % 2 == 0 && engine.downloads.scheduler) {
    engine.downloads.scheduler->ReportProgress();
  }
  // 2. Retries whose pause is over: downloads, then commands.
  if (engine.downloads.scheduler) engine.downloads.scheduler->ReleaseRetries();
  if (engine.commands.scheduler) engine.commands.scheduler->ReleaseRetries();
  // 3.
  ++engine.ticks;
}
