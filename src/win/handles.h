// Move-only owners for Win32 resources and scope guards for undo actions that are not handles.
// Every handle, key, menu, icon, module, hook, mapping view and input attachment of the program
// lives in one of these. Any thread may use them; an owner is used by one thread at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace win {

// Window handles are 32 bits wide in every process, 32-bit and 64-bit alike, so a record shared
// between processes keeps one in 32 bits; 64-bit Windows sign-extends it back.
inline std::uint32_t HandleToRecord(HWND window) noexcept {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}
inline HWND HandleFromRecord(std::uint32_t value) noexcept {
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<std::int32_t>(value)));
}

// A loaded library's entry point as the function type it has; null when it has none of that name.
template <class T>
T ProcAddress(HMODULE module, const char* name) noexcept {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// One owner per resource kind; Traits gives the empty value and the release call.
template <class Traits>
class TUnique {
 public:
  using Type = typename Traits::Type;
  TUnique() noexcept = default;
  explicit TUnique(Type value) noexcept : value_(value) {}
  TUnique(const TUnique&) = delete;
  TUnique& operator=(const TUnique&) = delete;
  TUnique(TUnique&& other) noexcept : value_(other.release()) {}
  TUnique& operator=(TUnique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~TUnique() { reset(); }

  Type get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Empty(); }
  Type release() noexcept { return std::exchange(value_, Traits::Empty()); }
  void reset(Type value = Traits::Empty()) noexcept {
    Type old = std::exchange(value_, value);
    if (old != Traits::Empty()) Traits::Close(old);
  }

 private:
  Type value_ = Traits::Empty();
};

struct THandleTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};
// CreateFile reports failure with INVALID_HANDLE_VALUE rather than null.
struct TFileTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct TViewTraits {
  using Type = void*;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type p) noexcept { ::UnmapViewOfFile(p); }
};
struct TKeyTraits {
  using Type = HKEY;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type k) noexcept { ::RegCloseKey(k); }
};
struct TMenuTraits {
  using Type = HMENU;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type m) noexcept { ::DestroyMenu(m); }
};
struct TIconTraits {
  using Type = HICON;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type i) noexcept { ::DestroyIcon(i); }
};
struct TModuleTraits {
  using Type = HMODULE;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type m) noexcept { ::FreeLibrary(m); }
};
struct THookTraits {
  using Type = HHOOK;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
};
struct TWinEventHookTraits {
  using Type = HWINEVENTHOOK;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::UnhookWinEvent(h); }
};
// FindFirstFile handles are closed with FindClose, and fail with INVALID_HANDLE_VALUE.
struct TFindTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::FindClose(h); }
};
struct TAtomTraits {
  using Type = ATOM;
  static Type Empty() noexcept { return 0; }
  static void Close(Type a) noexcept { ::GlobalDeleteAtom(a); }
};
struct TBitmapTraits {
  using Type = HBITMAP;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type b) noexcept { ::DeleteObject(b); }
};
struct TFontTraits {
  using Type = HFONT;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type f) noexcept { ::DeleteObject(f); }
};
struct TBrushTraits {
  using Type = HBRUSH;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type b) noexcept { ::DeleteObject(b); }
};
// A memory device context of our own (CreateCompatibleDC), not one borrowed with GetDC.
struct TMemoryDcTraits {
  using Type = HDC;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type dc) noexcept { ::DeleteDC(dc); }
};
// The service manager and its services.
struct TServiceTraits {
  using Type = SC_HANDLE;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type s) noexcept { ::CloseServiceHandle(s); }
};
// Memory from the shell's (COM task) allocator: item id lists, display-name buffers.
template <class T>
struct TCoTaskMemTraits {
  using Type = T*;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type p) noexcept { ::CoTaskMemFree(p); }
};

using TUniqueHandle = TUnique<THandleTraits>;
using TFileHandle = TUnique<TFileTraits>;
using TMapView = TUnique<TViewTraits>;
using TRegKey = TUnique<TKeyTraits>;
using TMenuHandle = TUnique<TMenuTraits>;
using TIconHandle = TUnique<TIconTraits>;
using TModuleHandle = TUnique<TModuleTraits>;
using THookHandle = TUnique<THookTraits>;
using TWinEventHook = TUnique<TWinEventHookTraits>;
using TGlobalAtom = TUnique<TAtomTraits>;
using TBitmapHandle = TUnique<TBitmapTraits>;
using TMemoryDc = TUnique<TMemoryDcTraits>;
using TFontHandle = TUnique<TFontTraits>;
using TBrushHandle = TUnique<TBrushTraits>;
template <class T>
using TCoTaskMem = TUnique<TCoTaskMemTraits<T>>;
using TFindHandle = TUnique<TFindTraits>;
using TServiceHandle = TUnique<TServiceTraits>;

// Runs an undo action when the scope ends, however it ends.
template <class F>
class TScopeGuard {
 public:
  explicit TScopeGuard(F f) : f_(std::move(f)) {}
  TScopeGuard(const TScopeGuard&) = delete;
  TScopeGuard& operator=(const TScopeGuard&) = delete;
  ~TScopeGuard() {
    if (armed_) f_();
  }
  void Dismiss() noexcept { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};

// Joins one thread's input state to another's for a scope; always undone, because a thread
// left attached to a foreign window's thread shares its focus and can hang with it.
class TThreadInputAttachment {
 public:
  TThreadInputAttachment(DWORD from, DWORD to) noexcept
      : from_(from),
        to_(to),
        attached_(from != 0 && to != 0 && from != to && ::AttachThreadInput(from, to, TRUE) != FALSE) {}
  TThreadInputAttachment(const TThreadInputAttachment&) = delete;
  TThreadInputAttachment& operator=(const TThreadInputAttachment&) = delete;
  ~TThreadInputAttachment() {
    if (attached_) ::AttachThreadInput(from_, to_, FALSE);
  }
  bool Attached() const noexcept { return attached_; }

 private:
  DWORD from_;
  DWORD to_;
  bool attached_;
};

// OLE for the calling thread, for a scope (after a win::TComApartment of com.h). Balanced only
// when it succeeded (S_FALSE too: the thread had it already); a thread in a multithreaded
// apartment cannot have OLE, which Ok() then reports.
class TOleInitialization {
 public:
  TOleInitialization() noexcept : ok_(SUCCEEDED(::OleInitialize(nullptr))) {}
  TOleInitialization(const TOleInitialization&) = delete;
  TOleInitialization& operator=(const TOleInitialization&) = delete;
  ~TOleInitialization() {
    if (ok_) ::OleUninitialize();
  }
  bool Ok() const noexcept { return ok_; }

 private:
  bool ok_;
};

// The object a window of the agent is being made for, known to the window's procedure only
// through the agent's own CreateWindowEx call on this thread: WM_NCCREATE takes it from here,
// never from the message's creation parameters, which any program that sends the message
// chooses. Made around the call; the procedure takes the object once.
class TWindowCreation {
 public:
  explicit TWindowCreation(void* object) noexcept : previous_(creating_) { creating_ = object; }
  TWindowCreation(const TWindowCreation&) = delete;
  TWindowCreation& operator=(const TWindowCreation&) = delete;
  ~TWindowCreation() { creating_ = previous_; }

  // WM_NCCREATE: the object the window is made for, when the window has none yet and the agent
  // is making one on this thread; null otherwise (a message another program sent).
  static void* Take(HWND window) noexcept {
    if (::GetWindowLongPtrW(window, GWLP_USERDATA) != 0 || creating_ == nullptr) return nullptr;
    void* object = creating_;
    creating_ = nullptr;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }

 private:
  static inline thread_local void* creating_ = nullptr;
  void* previous_;
};

}  // namespace win
