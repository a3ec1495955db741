#include "win/windows_version.h"

#include <windows.h>

#include <atomic>

bool IsWindowsVista() {
  // 0 unknown, 1 no, 2 yes; racing first callers compute the same answer, so no lock is needed.
  static std::atomic<int> cached{0};
  int answer = cached.load(std::memory_order_relaxed);
  if (answer == 0) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    // GetVersionExW is the documented way to ask; the manifest makes it answer truthfully.
    const bool vista =
        ::GetVersionExW(&info) != FALSE && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
    answer = vista ? 2 : 1;
    cached.store(answer, std::memory_order_relaxed);
  }
  return answer == 2;
}
