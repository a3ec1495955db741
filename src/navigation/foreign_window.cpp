#include "navigation/foreign_window.h"

bool TimedSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kForeignSendTimeoutMs, &result) != 0;
}

std::wstring ReadText(HWND window, bool* timedOut) {
  wchar_t buffer[kForeignTextLimit + 1] = {};
  DWORD_PTR length = 0;
  ::SetLastError(ERROR_SUCCESS);
  const bool answered = ::SendMessageTimeoutW(window, WM_GETTEXT, kForeignTextLimit, reinterpret_cast<LPARAM>(buffer),
                                              SMTO_NORMAL, kForeignSendTimeoutMs, &length) != 0;
  if (timedOut) *timedOut = !answered && ::GetLastError() == ERROR_TIMEOUT;
  if (!answered) return {};
  buffer[kForeignTextLimit] = L'\0';
  return buffer;
}

void SetText(HWND window, const std::wstring& text) {
  TimedSend(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 0);
  ::PostMessageW(window, WM_KEYUP, key, 0);
}

DWORD ThreadOf(HWND window) { return ::GetWindowThreadProcessId(window, nullptr); }

bool WindowAnswers(HWND window) {
  DWORD_PTR result = 0;
  // A thread the system already knows to be hung is not waited for at all.
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kForeignSendTimeoutMs,
                               &result) != 0;
}
