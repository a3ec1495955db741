#include "navigation/window_front.h"

#include "diagnostics/logger.h"
#include "navigation/foreign_window.h"

void MoveWindowToFront(HWND window) {
  ::LockSetForegroundWindow(LSFW_UNLOCK);
  if ((::GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZE) != 0) ::ShowWindowAsync(window, SW_RESTORE);
  ::SetForegroundWindow(window);
  ::LockSetForegroundWindow(LSFW_LOCK);
}

TTargetInputAttachment::TTargetInputAttachment(HWND window, DWORD thread) : window_(window) {
  if (WindowAnswers(window))
    attachment_.emplace(ThreadOf(window), thread);
  else
    CommonLogRunEvent(L"ShowPath", L"window does not answer, input not attached");
}

void TTargetInputAttachment::LetGoIfHung() {
  if (!attachment_ || WindowAnswers(window_)) return;
  CommonLogRunEvent(L"ShowPath", L"window stopped answering, input detached");
  attachment_.reset();
}
