// CRefThreadSafeBase: an intrusive reference count changed only by atomic operations.
// CRefPtr: the owning smart pointer to such an object.
//
// Contract: AddRef and Release may be called on any thread at any time; the object deletes
// itself, through its virtual destructor, on whichever thread drops the last reference. A
// CRefPtr itself is not thread-safe: each thread works on its own copies. A class derives
// from CRefThreadSafeBase instantiated for itself (class CTask : public
// CRefThreadSafeBase<CTask>), is created with new and lives as long as some CRefPtr holds it.
// Copying such an object does not copy its count. Nothing here throws.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

template <typename T>
class CRefThreadSafeBase {
 public:
  void AddRef() const { count_.fetch_add(1, std::memory_order_relaxed); }

  void Release() const {
    // acq_rel: the deleting thread sees every write that other owners made before letting go.
    if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete static_cast<const T*>(this);
  }

 protected:
  CRefThreadSafeBase() = default;
  CRefThreadSafeBase(const CRefThreadSafeBase&) : count_(0) {}
  CRefThreadSafeBase& operator=(const CRefThreadSafeBase&) { return *this; }
  virtual ~CRefThreadSafeBase() = default;

 private:
  mutable std::atomic<int32_t> count_{0};
};

template <typename T>
class CRefPtr {
 public:
  CRefPtr() = default;
  CRefPtr(std::nullptr_t) {}
  CRefPtr(T* object) : object_(object) {
    if (object_) object_->AddRef();
  }
  CRefPtr(const CRefPtr& other) : CRefPtr(other.object_) {}
  CRefPtr(CRefPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  // From a pointer to a derived class.
  template <typename U>
  CRefPtr(const CRefPtr<U>& other) : CRefPtr(other.get()) {}
  ~CRefPtr() {
    if (object_) object_->Release();
  }

  CRefPtr& operator=(const CRefPtr& other) { return *this = other.object_; }
  CRefPtr& operator=(CRefPtr&& other) noexcept {
    if (this != &other) {
      T* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      if (old) old->Release();
    }
    return *this;
  }
  // The new target gains its reference before the old one loses its own, so an object that
  // is reached only through the old target stays alive meanwhile.
  CRefPtr& operator=(T* object) {
    if (object == object_) return *this;
    if (object) object->AddRef();
    T* old = std::exchange(object_, object);
    if (old) old->Release();
    return *this;
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

  void reset() { *this = nullptr; }

 private:
  T* object_ = nullptr;
};

template <typename T, typename U>
bool operator==(const CRefPtr<T>& a, const CRefPtr<U>& b) { return a.get() == b.get(); }
template <typename T, typename U>
bool operator!=(const CRefPtr<T>& a, const CRefPtr<U>& b) { return a.get() != b.get(); }
template <typename T, typename U>
bool operator==(const CRefPtr<T>& a, const U* b) { return a.get() == b; }
template <typename T, typename U>
bool operator!=(const CRefPtr<T>& a, const U* b) { return a.get() != b; }
template <typename T>
bool operator==(const CRefPtr<T>& a, std::nullptr_t) { return !a; }
template <typename T>
bool operator!=(const CRefPtr<T>& a, std::nullptr_t) { return static_cast<bool>(a); }
