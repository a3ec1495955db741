#include "core/tray_icon.h"

#include <shellapi.h>

namespace {

constexpr UINT kIconId = 1;

static_assert(trayevents::kLeftButtonUp == WM_LBUTTONUP && trayevents::kRightButtonUp == WM_RBUTTONUP &&
              trayevents::kContextMenu == WM_CONTEXTMENU && trayevents::kSelect == NIN_SELECT &&
              trayevents::kKeySelect == NIN_KEYSELECT);

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

TTrayIcon::TEvent TTrayIcon::Decode(LPARAM lParam) const { return DecodeTrayEvent(lParam, version4_); }
