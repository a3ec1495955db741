#include "win/display_scale.h"

#include <shellapi.h>
#include <shlobj.h>

#include "win/handles.h"
#include "win/look_rules.h"

namespace win {

namespace {

// MONITOR_DPI_TYPE's MDT_EFFECTIVE_DPI: the DPI the user's scale setting gives the monitor.
constexpr int kEffectiveDpi = 0;

using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using TGetDpiForWindow = UINT(WINAPI*)(HWND);

unsigned SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return look::kBaseDpi;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return look::UsableDpi(dpi > 0 ? static_cast<unsigned>(dpi) : 0);
}

// The shell's scaling library, from the system folder only; loaded once, kept for the process.
TGetDpiForMonitor MonitorDpiEntry() {
  static const TModuleHandle shcore(::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  static const TGetDpiForMonitor entry =
      shcore ? ProcAddress<TGetDpiForMonitor>(shcore.get(), "GetDpiForMonitor") : nullptr;
  return entry;
}

// IID_IImageList, which not every SDK's uuid library holds.
constexpr GUID kImageListInterface = {0x46EB5926, 0x582E, 0x4017, {0x9F, 0xDF, 0xE8, 0x99, 0x8D, 0xAA, 0x09, 0x50}};

}  // namespace

bool IsOwnDpiChange(HWND window, WPARAM wParam) {
  const unsigned x = LOWORD(wParam);
  const unsigned y = HIWORD(wParam);
  return x == y && x == DpiOfWindow(window);
}

HIMAGELIST ShellIconList(int size) {
  HIMAGELIST largest = nullptr;
  for (const int kind : {SHIL_SMALL, SHIL_LARGE, SHIL_EXTRALARGE}) {
    // The shell's lists are image-list objects, whose interface is the list itself.
    void* list = nullptr;
    if (FAILED(::SHGetImageList(kind, kImageListInterface, &list)) || list == nullptr) continue;
    largest = static_cast<HIMAGELIST>(list);
    if (IconListSize(largest) >= size) return largest;
  }
  return largest;
}

int IconListSize(HIMAGELIST list) {
  int width = 0;
  int height = 0;
  if (list == nullptr || !ImageList_GetIconSize(list, &width, &height)) return 0;
  return height;
}

unsigned DpiAtPoint(POINT point) {
  const TGetDpiForMonitor entry = MonitorDpiEntry();
  if (entry != nullptr) {
    UINT x = 0;
    UINT y = 0;
    const HMONITOR monitor = ::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    if (monitor != nullptr && SUCCEEDED(entry(monitor, kEffectiveDpi, &x, &y)) && y != 0) return look::UsableDpi(y);
  }
  return SystemDpi();
}

unsigned DpiOfWindow(HWND window) {
  static const TGetDpiForWindow entry =
      ProcAddress<TGetDpiForWindow>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (entry != nullptr && window != nullptr) {
    const UINT dpi = entry(window);
    if (dpi != 0) return look::UsableDpi(dpi);
  }
  return SystemDpi();
}

}  // namespace win
