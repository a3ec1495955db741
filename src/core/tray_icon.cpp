#include "core/tray_icon.h"

#include <shellapi.h>

namespace {

constexpr UINT kIconId = 1;

}  // namespace

TTrayIcon::TTrayIcon(HWND window, UINT callbackMessage, HICON icon, std::wstring tip)
    : window_(window),
      callbackMessage_(callbackMessage),
      icon_(icon),
      tip_(std::move(tip)),
      taskbarCreated_(::RegisterWindowMessageW(L"TaskbarCreated")) {}

void TTrayIcon::Show(bool shown) {
  wanted_ = shown;
  if (shown == shown_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = kIconId;
  if (!shown) {
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
    return;
  }
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_;
  tip_.copy(data.szTip, std::size(data.szTip) - 1);
  if (!::Shell_NotifyIconW(NIM_ADD, &data)) return;
  shown_ = true;
  data.uVersion = NOTIFYICON_VERSION_4;
  version4_ = ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
}

bool TTrayIcon::OnBroadcast(UINT message) {
  if (taskbarCreated_ == 0 || message != taskbarCreated_) return false;
  // Also an icon that could not be added before the shell was there.
  shown_ = false;
  if (wanted_) Show(true);
  return true;
}

TTrayIcon::TEvent TTrayIcon::Decode(LPARAM lParam) const {
  // Version 4 carries the event in the low word; older shells send it whole.
  const UINT event = version4_ ? LOWORD(lParam) : static_cast<UINT>(lParam);
  if (version4_) {
    if (event == WM_CONTEXTMENU) return TEvent::Menu;
    if (event == NIN_SELECT || event == NIN_KEYSELECT) return TEvent::Select;
  } else {
    if (event == WM_RBUTTONUP) return TEvent::Menu;
    if (event == WM_LBUTTONUP) return TEvent::Select;
  }
  return TEvent::None;
}
