// CCriticalSection: an owned Win32 critical section; CAutoLock: holds one for a scope.
//
// Contract: a CCriticalSection is initialised by its constructor and deleted by its
// destructor; any thread may enter it, and the same thread may enter it again (Win32 critical
// sections are recursive). Neither class throws or reports errors.
#pragma once

#include <windows.h>

class CCriticalSection {
 public:
  CCriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CCriticalSection() { ::DeleteCriticalSection(&section_); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() { ::EnterCriticalSection(&section_); }
  void Leave() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCriticalSection& section) : section_(section) { section_.Enter(); }
  ~CAutoLock() { section_.Leave(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCriticalSection& section_;
};
