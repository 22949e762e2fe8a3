#pragma once
// Handle<T>: the reference-counted pointer that passes files, archives,
// tracks and factories around. The last holder deletes the object.

#include <cstdint>
#include <new>

template <typename T>
class Handle {
 public:
  Handle() = default;
  Handle(T* object) { Take(object); }  // NOLINT: converts like a raw pointer
  Handle(const Handle& other) : object_(other.object_), count_(other.count_) { AddRef(); }
  template <typename U>
  Handle(const Handle<U>& other) : object_(other.object_), count_(other.count_) { AddRef(); }
  ~Handle() { Release(); }

  Handle& operator=(const Handle& other) {
    if (object_ != other.object_) {
      Release();
      object_ = other.object_;
      count_ = other.count_;
      AddRef();
    }
    return *this;
  }
  Handle& operator=(T* object) {
    if (object_ != object) {
      Release();
      Take(object);
    }
    return *this;
  }

  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  T* Get() const { return object_; }
  /// Number of holders sharing the object (0 for an empty handle).
  uint32_t Holders() const { return count_ ? *count_ : 0; }

 private:
  template <typename U>
  friend class Handle;

  void Take(T* object) {
    object_ = object;
    count_ = nullptr;
    if (object_) count_ = new (std::nothrow) uint32_t(1);
  }
  void AddRef() {
    if (count_) ++*count_;
  }
  void Release() {
    if (count_ && --*count_ == 0) Destroy(object_, count_);
    object_ = nullptr;
    count_ = nullptr;
  }

  // Kept out of line: inlined into callers, GCC's optimiser mistakes the
  // shared count's release for a use after free.
  [[gnu::noinline]] static void Destroy(T* object, uint32_t* count) {
    delete object;
    delete count;
  }

  T* object_ = nullptr;
  uint32_t* count_ = nullptr;
};
