#include "navigation/window_front.h"

bool LockSetForegroundWindows(unsigned code) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  // GetVersionExW is the documented way to ask; the manifest makes it answer truthfully.
  if (!::GetVersionExW(&version)) return false;
  const bool supported = (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 3) ||
                         (version.dwPlatformId != VER_PLATFORM_WIN32_NT && version.dwMinorVersion >= 90);
  if (!supported) return false;
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return false;
  using TLock = BOOL(WINAPI*)(UINT);
  const auto lock = reinterpret_cast<TLock>(reinterpret_cast<void*>(::GetProcAddress(user32, "LockSetForegroundWindow")));
  return lock != nullptr && lock(code) != FALSE;
}

void MoveWindowToFront(HWND window) {
  LockSetForegroundWindows(LSFW_UNLOCK);
  if ((::GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZE) != 0) ::ShowWindowAsync(window, SW_RESTORE);
  ::SetForegroundWindow(window);
  LockSetForegroundWindows(LSFW_LOCK);
}

bool WindowAnswers(HWND window) {
  constexpr UINT kAnswerTimeoutMs = 200;
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result) != 0;
}
