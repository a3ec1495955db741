// Owners for COM: the apartment of one call and interface pointers (memory from the shell
// allocator has its owner in handles.h). Used by the thread that entered the apartment.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <objbase.h>

#include <utility>

#include "win/handles.h"

namespace win {

// Enters a single-threaded apartment for a scope and leaves it again. A thread that already
// lives in a multithreaded apartment keeps it (RPC_E_CHANGED_MODE): COM is usable, and there
// is nothing of ours to undo.
class TComApartment {
 public:
  TComApartment() noexcept : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;
  ~TComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  bool Usable() const noexcept { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
  HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// Holds one reference to an interface.
template <class T>
class TComPtr {
 public:
  TComPtr() noexcept = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ~TComPtr() { reset(); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void reset(T* p = nullptr) noexcept {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // For a call that hands out a new reference: drops the old one first.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

}  // namespace win
