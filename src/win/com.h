// Owners for COM: the apartment of one call and interface pointers (memory from the shell
// allocator has its owner in handles.h). Used by the thread that entered the apartment.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <objbase.h>
#include <oleauto.h>

#include <string>
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

// Owns one BSTR.
class TBstr {
 public:
  TBstr() noexcept = default;
  explicit TBstr(const std::wstring& text)
      : p_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  ~TBstr() { ::SysFreeString(p_); }

  BSTR get() const noexcept { return p_; }
  // For a call that hands out a new string: drops the old one first.
  BSTR* put() noexcept {
    ::SysFreeString(p_);
    p_ = nullptr;
    return &p_;
  }
  std::wstring Text() const { return p_ != nullptr ? std::wstring(p_, ::SysStringLen(p_)) : std::wstring(); }

 private:
  BSTR p_ = nullptr;
};

}  // namespace win
