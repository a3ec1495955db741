// Real windows for the Windows tests: classes registered on demand (any name a foreign program
// uses), "#32770" dialogs from an in-memory template, message pumping and synthetic input.
// Used by the test's own thread; the windows belong to the thread that creates them.
#pragma once

#include <windows.h>

#include <functional>

#include "win/handles.h"

namespace testwin {

struct TWindowTraits {
  using Type = HWND;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type w) noexcept { ::DestroyWindow(w); }
};
// Owns a top-level window; its children go with it.
using TWindow = win::TUnique<TWindowTraits>;

// What the mouse did to a test window, as its own window procedure saw it.
struct TMouseLog {
  int middleDown = 0;
  int middleUp = 0;
  int rightUp = 0;
};

inline LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto* log = reinterpret_cast<TMouseLog*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
    switch (message) {
      case WM_MBUTTONDOWN:
      case WM_MBUTTONDBLCLK:
        ++log->middleDown;
        break;
      case WM_MBUTTONUP:
        ++log->middleUp;
        break;
      case WM_RBUTTONUP:
        ++log->rightUp;
        break;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// Registers a class of this name for the test program (once), so a window can carry the exact
// class name of another program's control.
inline void EnsureClass(const wchar_t* name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = LoggingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  ::RegisterClassExW(&wc);
}

// A child window of a class this program registers under the given name, so it carries the
// exact class name of another program's control (a local class wins over a global one).
inline HWND Child(HWND parent, const wchar_t* className, RECT r = {0, 0, 60, 20},
                  TMouseLog* log = nullptr) {
  EnsureClass(className);
  const HWND child = ::CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, parent, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  if (child && log) ::SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
  return child;
}

// A child control of a system class ("ComboBox", "Edit", "#32770") as the system makes it.
inline HWND Control(HWND parent, const wchar_t* className, DWORD style = 0,
                    RECT r = {0, 0, 80, 100}) {
  return ::CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, parent, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

// A visible top-level window of a registered class.
inline TWindow Frame(const wchar_t* className, RECT r, DWORD style = WS_POPUP | WS_VISIBLE) {
  EnsureClass(className);
  return TWindow(::CreateWindowExW(0, className, L"test frame", style, r.left, r.top,
                                   r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr));
}

inline INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A modeless dialog of the system's own class "#32770", made from a template without
// controls; the size is in dialog units.
inline TWindow Dialog(DWORD style, DWORD exStyle = 0, short x = 20, short y = 20, short cx = 200,
                      short cy = 150) {
  alignas(DWORD) WORD storage[16] = {};
  auto* tmpl = reinterpret_cast<DLGTEMPLATE*>(storage);
  tmpl->style = style;
  tmpl->dwExtendedStyle = exStyle;
  tmpl->cdit = 0;
  tmpl->x = x;
  tmpl->y = y;
  tmpl->cx = cx;
  tmpl->cy = cy;
  // The menu, class and title words after the header stay 0: none, default class, no title.
  return TWindow(::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), tmpl, nullptr,
                                              PlainDialogProc, 0));
}

inline void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Pumps this thread's messages until the condition holds or the time is up (a bound for a
// broken build, not a measurement).
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Pump();
  }
  return true;
}

// Pumps this thread's messages for the given time, timers included.
inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

inline POINT CenterOf(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Moves the cursor to the point and presses and releases the buttons given as
// MOUSEEVENTF_*DOWN flags, one after the other, as the user's mouse would.
inline bool ClickAt(POINT at, DWORD downFlag) {
  if (!::SetCursorPos(at.x, at.y)) return false;
  INPUT input[2] = {};
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = downFlag;
  input[1].type = INPUT_MOUSE;
  input[1].mi.dwFlags = downFlag << 1;  // every *UP flag is its *DOWN flag shifted once
  return ::SendInput(2, input, sizeof(INPUT)) == 2;
}

}  // namespace testwin
