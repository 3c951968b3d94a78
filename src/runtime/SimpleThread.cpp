#include "runtime/SimpleThread.h"

#include <process.h>

#include <exception>

#include "runtime/Logging.h"

namespace {

// TerminateThread only starts the termination; the owner waits this long for it to finish, so
// that what the thread used may be freed afterwards.
constexpr DWORD kTerminationWaitMs = 5000;

}  // namespace

CSimpleThread::~CSimpleThread() {
  // An ended thread whose handle nobody polled; a running thread is the owner's fault.
  if (HANDLE handle = threadHandle_.exchange(nullptr)) ::CloseHandle(handle);
}

bool CSimpleThread::IsRunning() {
  HANDLE handle = threadHandle_.exchange(nullptr);
  if (!handle) return false;
  DWORD code = 0;
  if (::GetExitCodeThread(handle, &code) && code == STILL_ACTIVE) {
    // Still running: give the handle back. Should Run have returned meanwhile, the worker found
    // the field empty and left the handle to the next poll.
    threadHandle_.store(handle);
    return true;
  }
  ::CloseHandle(handle);
  threadId_ = 0;
  return false;
}

bool CSimpleThread::StartThread() {
  if (IsRunning()) return true;
  stopRequested_ = false;
  if (HANDLE old = threadHandle_.exchange(nullptr)) ::CloseHandle(old);
  threadId_ = 0;

  // Created suspended, so that the handle and id are in place before Run can return and look
  // for them.
  unsigned id = 0;
  HANDLE handle = reinterpret_cast<HANDLE>(
      ::_beginthreadex(nullptr, 0, &CSimpleThread::ThreadProc, this, CREATE_SUSPENDED, &id));
  if (!handle) return false;
  threadId_ = id;
  threadHandle_.store(handle);
  if (::ResumeThread(handle) == static_cast<DWORD>(-1)) {
    threadHandle_.store(nullptr);
    ::TerminateThread(handle, 0);
    ::CloseHandle(handle);
    threadId_ = 0;
    return false;
  }
  return true;
}

bool CSimpleThread::StopThread(DWORD timeoutMs) {
  if (!IsRunning()) return true;
  stopRequested_ = true;
  WakeForStop();
  // False only when the worker released the handle itself meanwhile: it has ended then too.
  DestroyThread(timeoutMs);
  return true;
}

bool CSimpleThread::DestroyThread(DWORD timeoutMs) {
  HANDLE handle = threadHandle_.exchange(nullptr);
  if (!handle) return false;
  const DWORD id = threadId_;
  if (::GetCurrentThreadId() != id &&
      ::WaitForSingleObject(handle, timeoutMs) == WAIT_TIMEOUT) {
    LOG_CONSOLE(2, L"CSimpleThread::DestroyThread线程结束超时 tid:%d ", static_cast<int>(id));
    LOG_FILE(2, L"CSimpleThread::DestroyThread线程结束超时 tid:%d ", static_cast<int>(id));
    ::TerminateThread(handle, 0);
    ::WaitForSingleObject(handle, kTerminationWaitMs);
  }
  ::CloseHandle(handle);
  threadId_ = 0;
  return true;
}

unsigned __stdcall CSimpleThread::ThreadProc(void* param) {
  CSimpleThread* self = static_cast<CSimpleThread*>(param);
  try {
    self->Run();
  } catch (const std::exception& e) {
    LOG_FILE(2, L"CSimpleThread::Run threw: %s", e.what());
  } catch (...) {
    LOG_FILE(2, L"CSimpleThread::Run threw");
  }
  // Run may have let go of this thread (DestroyThread) and the owner started the next one:
  // only what is still this thread's own is taken. A handle's number may come back for the
  // successor's, so the handle is known by the thread it names.
  const DWORD me = ::GetCurrentThreadId();
  DWORD id = me;
  self->threadId_.compare_exchange_strong(id, 0);
  HANDLE handle = self->threadHandle_.load();
  // Once the handle is gone the owner may free the object: nothing below touches it.
  if (handle && ::GetThreadId(handle) == me &&
      self->threadHandle_.compare_exchange_strong(handle, nullptr)) {
    ::CloseHandle(handle);
  }
  // Returning ends the thread through the runtime library's thread exit, with code 0.
  return 0;
}
