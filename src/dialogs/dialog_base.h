// The one way a dialog of the agent meets Windows: the thunk that stores the dialog object at
// WM_INITDIALOG in DWLP_USER and hands every message to its OnMessage through the exception
// boundary, the same for a dialog's pages, and the control helpers every dialog uses. A dialog
// class declares `HWND dialog_` and `INT_PTR OnMessage(UINT, WPARAM, LPARAM)`, and passes
// DialogThunk<TClass, kName> to DialogBoxParam with `this`. Every dialog and page also takes the
// agent's look here: dark controls once it is made, and dark colours for what the dialog does
// not colour itself. Main thread.
#pragma once

#include <windows.h>

#include <string>

#include "diagnostics/guarded.h"
#include "win/display_scale.h"
#include "win/system_look.h"

// The look's part of a dialog procedure, after the dialog's own: a dialog or page just made
// takes the agent's look, and a control colour the dialog left to the system is the dark one
// when the look is dark.
inline INT_PTR WithLook(HWND dialog, UINT message, WPARAM wParam, INT_PTR handled) {
  if (message == WM_INITDIALOG) {
    win::ApplyLook(dialog, win::CurrentLook());
  } else if (handled == 0 && message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    return reinterpret_cast<INT_PTR>(win::LookColours(win::CurrentLook(), message, reinterpret_cast<HDC>(wParam)));
  }
  return handled;
}

// How a dialog's failures leave its procedure: to the global handler like every callback's, or,
// for the error dialog (which that handler shows), only into the log.
enum class TDialogFailures { ToGlobalHandler, LoggedOnly };

template <class T, const wchar_t* Where, TDialogFailures Failures = TDialogFailures::ToGlobalHandler>
INT_PTR CALLBACK DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // The dialog object comes with the dialog's own WM_INITDIALOG; another one, which any program
  // may send with a parameter of its choosing, is not taken and not handled.
  if (message == WM_INITDIALOG) {
    if (::GetWindowLongPtrW(dialog, DWLP_USER) != 0 || lParam == 0) return FALSE;
    reinterpret_cast<T*>(lParam)->dialog_ = dialog;
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  }
  auto* self = reinterpret_cast<T*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (self == nullptr) return FALSE;
  // A DPI change that is not the window's own comes from another program: taken as handled,
  // so that neither the dialog nor the dialog manager's scaling follows its rectangle.
  if (message == WM_DPICHANGED && !win::IsOwnDpiChange(dialog, wParam)) return TRUE;
  INT_PTR result = FALSE;
  const auto work = [&] { result = WithLook(dialog, message, wParam, self->OnMessage(message, wParam, lParam)); };
  if constexpr (Failures == TDialogFailures::LoggedOnly)
    Guarded(Where, work);
  else
    GuardedCallback(Where, work);
  return result;
}

// A page: a child dialog made with CreateDialogParam and its owner object; each message goes
// to the owner's OnPageMessage with the page's window.
template <class T, const wchar_t* Where>
INT_PTR CALLBACK PageThunk(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    if (::GetWindowLongPtrW(page, DWLP_USER) != 0) return FALSE;  // sent again, from outside
    ::SetWindowLongPtrW(page, DWLP_USER, lParam);
  }
  auto* self = reinterpret_cast<T*>(::GetWindowLongPtrW(page, DWLP_USER));
  if (self == nullptr) return message == WM_INITDIALOG ? TRUE : FALSE;
  INT_PTR result = FALSE;
  GuardedCallback(
      Where, [&] { result = WithLook(page, message, wParam, self->OnPageMessage(page, message, wParam, lParam)); });
  return result;
}

// The control helpers.
inline std::wstring ItemText(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  const int copied = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}
inline std::wstring ItemText(HWND dialog, int id) { return ItemText(::GetDlgItem(dialog, id)); }
inline bool IsChecked(HWND control) { return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }
inline void SetChecked(HWND control, bool on) {
  ::SendMessageW(control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}
inline bool IsChecked(HWND dialog, int id) { return IsChecked(::GetDlgItem(dialog, id)); }
inline void SetChecked(HWND dialog, int id, bool on) { SetChecked(::GetDlgItem(dialog, id), on); }
