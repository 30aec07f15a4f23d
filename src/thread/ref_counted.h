#pragma once
// Shared ownership across threads: an intrusive reference count and the pointer that holds one
// reference. The last Release, on whatever thread it happens, deletes the object.
#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

// Base of a class T that has a virtual destructor. A new object has no references; the first
// CRefPtr to it takes one.
template <typename T>
class CRefThreadSafeBase {
 public:
  void AddRef() { refCount_.fetch_add(1, std::memory_order_relaxed); }

  // Returns the references left; at 0 the object has been deleted.
  int32_t Release() {
    const int32_t left = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete static_cast<T*>(this);
    return left;
  }

 protected:
  CRefThreadSafeBase() = default;
  // A copy is a new object: it starts without references.
  CRefThreadSafeBase(const CRefThreadSafeBase&) : refCount_(0) {}
  CRefThreadSafeBase& operator=(const CRefThreadSafeBase&) { return *this; }
  ~CRefThreadSafeBase() = default;

 private:
  std::atomic<int32_t> refCount_{0};
};

// Holds one reference to a T (or nothing).
template <typename T>
class CRefPtr {
 public:
  CRefPtr() = default;
  CRefPtr(T* object) : object_(object) {  // NOLINT: implicit, like the raw pointer it wraps
    if (object_ != nullptr) object_->AddRef();
  }
  CRefPtr(const CRefPtr& other) : CRefPtr(other.object_) {}
  CRefPtr(CRefPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  CRefPtr(const CRefPtr<U>& other) : CRefPtr(other.Get()) {}  // NOLINT: derived to base
  ~CRefPtr() { Reset(); }

  // The new reference is taken before the old one is dropped: the old object may be the only
  // owner of the new one.
  CRefPtr& operator=(T* object) {
    if (object != nullptr) object->AddRef();
    T* old = std::exchange(object_, object);
    if (old != nullptr) old->Release();
    return *this;
  }
  CRefPtr& operator=(const CRefPtr& other) { return *this = other.object_; }
  CRefPtr& operator=(CRefPtr&& other) noexcept {
    if (this != &other) {
      T* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      if (old != nullptr) old->Release();
    }
    return *this;
  }

  void Reset() {
    if (T* old = std::exchange(object_, nullptr)) old->Release();
  }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  operator T*() const { return object_; }  // NOLINT: used where a raw pointer is expected

 private:
  T* object_ = nullptr;
};
