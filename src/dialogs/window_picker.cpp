#include "dialogs/window_picker.h"

#include "diagnostics/guarded.h"
#include "navigation/foreign_window.h"

thread_local TWindowPicker* TWindowPicker::active_ = nullptr;

bool TWindowPicker::Start(HWND owner, UINT message, UINT_PTR timerId) {
  Stop();
  owner_ = owner;
  message_ = message;
  timerId_ = timerId;
  pressed_ = nullptr;
  hook_.reset(::SetWindowsHookExW(WH_MOUSE_LL, MouseProc, ::GetModuleHandleW(nullptr), 0));
  if (!hook_) return false;
  active_ = this;
  ::SetTimer(owner_, timerId_, kPickTimeoutMs, nullptr);
  return true;
}

void TWindowPicker::Stop() {
  if (!hook_) return;
  hook_.reset();
  if (active_ == this) active_ = nullptr;
  ::KillTimer(owner_, timerId_);
}

void TWindowPicker::Finish(HWND picked) {
  Stop();
  // Posted: the hook procedure returns at once, and the owner reads the window in its own time.
  ::PostMessageW(owner_, message_, 0, reinterpret_cast<LPARAM>(picked));
}

LRESULT CALLBACK TWindowPicker::MouseProc(int code, WPARAM wParam, LPARAM lParam) {
  TWindowPicker* self = active_;
  bool swallow = false;
  GuardedCallback(L"TWindowPicker.MouseProc", [&] {
    if (code != HC_ACTION || self == nullptr) return;
    const auto& mouse = *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (wParam == WM_LBUTTONDOWN) {
      const HWND under = ::WindowFromPoint(mouse.pt);
      if (under == nullptr || OfThisProcess(under)) {
        self->Finish(nullptr);
        return;
      }
      self->pressed_ = under;
      swallow = true;
    } else if (wParam == WM_LBUTTONUP && self->pressed_ != nullptr) {
      self->Finish(self->pressed_);
      swallow = true;
    }
  });
  if (swallow) return 1;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
