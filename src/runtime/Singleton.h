// CSingleton: the one process-wide instance of a service class, made on first use.
//
// Contract: Instance() may be called from any thread; the first call constructs the object
// (C++ makes that construction thread-safe, so two threads racing on the first call get the
// same object) and later calls return it. The instance is deliberately never destroyed:
// worker threads that outlive the main routine, and destructors of other process-wide
// objects that run at exit, may still reach it, and a destroyed service would crash them.
// The operating system reclaims its memory when the process ends.
//
// A service derives from CSingleton<itself>, keeps its constructor private and befriends
// CSingleton<itself>.
#pragma once

template <typename T>
class CSingleton {
 public:
  static T& Instance() {
    static T* const instance = new T();
    return *instance;
  }

  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;

 protected:
  CSingleton() = default;
  ~CSingleton() = default;
};
