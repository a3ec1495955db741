// Drives a modal dialog of the test's thread from a helper thread: the test thread sits in the
// dialog's own message loop, the helper finds the dialog and works its controls with messages
// as a user's clicks would. Used by one helper thread per modal call.
#pragma once

#include <windows.h>

#include <string>

namespace testdlg {

struct TSearch {
  const wchar_t* caption;
  HWND found;
};

inline BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TSearch*>(param);
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  if (::lstrcmpW(className, L"#32770") != 0 || !::IsWindowVisible(window)) return TRUE;
  if (search->caption != nullptr) {
    wchar_t caption[256] = {};
    ::GetWindowTextW(window, caption, 256);
    if (::lstrcmpW(caption, search->caption) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

// The visible dialog of `thread` with this caption (any caption when null), once it is up and
// its thread is back in the dialog's message loop; null when none comes within a bound meant
// only to end a broken run.
inline HWND WaitForDialog(DWORD thread, const wchar_t* caption = nullptr) {
  for (int i = 0; i < 1000; ++i) {
    TSearch search{caption, nullptr};
    ::EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      // A dialog may be visible while it still initialises (a template with WS_VISIBLE): a sent
      // message is answered only once the thread takes messages again, and everything that the
      // initialisation posted is queued before what the helper posts afterwards.
      ::SendMessageW(search.found, WM_NULL, 0, 0);
      return search.found;
    }
    ::Sleep(10);
  }
  return nullptr;
}

inline std::wstring Text(HWND window) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(window, text, 1024);
  return text;
}

inline std::wstring ChildText(HWND dialog, int id) { return Text(::GetDlgItem(dialog, id)); }

}  // namespace testdlg
