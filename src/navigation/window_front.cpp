#include "navigation/window_front.h"

void MoveWindowToFront(HWND window) {
  ::LockSetForegroundWindow(LSFW_UNLOCK);
  if ((::GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZE) != 0) ::ShowWindowAsync(window, SW_RESTORE);
  ::SetForegroundWindow(window);
  ::LockSetForegroundWindow(LSFW_LOCK);
}
