// Benchmark of the recent lists: the full scan and the incremental scan after one changed
// shortcut, with 2,000 shortcuts (to existing files) in a Recent folder of its own, and the
// rebuild of the recent-files submenu with 40 files. Prints figures; removes its folder.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "menu/menu_images.h"
#include "menu/recent_menus.h"
#include "win/com.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

constexpr int kShortcuts = 2000;
constexpr int kRuns = 9;

using TClock = std::chrono::steady_clock;

double Ms(TClock::time_point from, TClock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void SetWriteTime(const std::wstring& file, ULONGLONG minutes) {
  FILETIME time{};
  SYSTEMTIME day{2024, 5, 0, 10, 8, 0, 0, 0};
  ::SystemTimeToFileTime(&day, &time);
  ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
  value.QuadPart += minutes * 60 * 10000000ull;
  time = {value.LowPart, value.HighPart};
  win::TFileHandle handle(::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  ::SetFileTime(handle.get(), nullptr, nullptr, &time);
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace

int wmain() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"qf-recent-bench";
  const std::wstring recent = root + L"\\Recent";
  ForceDirectories(recent);
  ForceDirectories(root + L"\\files");
  {
    const win::TComApartment apartment;
    win::TComPtr<IShellLinkW> link;
    win::TComPtr<IPersistFile> persist;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void());
    link->QueryInterface(IID_IPersistFile, persist.put_void());
    for (int i = 0; i < kShortcuts; ++i) {
      const std::wstring file = root + L"\\files\\doc" + std::to_wstring(i) + L".txt";
      win::TFileHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      link->SetPath(file.c_str());
      const std::wstring shortcut = recent + L"\\doc" + std::to_wstring(i) + L".txt.lnk";
      persist->Save(shortcut.c_str(), TRUE);
      SetWriteTime(shortcut, static_cast<ULONGLONG>(i));
    }
  }

  std::vector<double> listing;
  for (int run = 0; run < kRuns; ++run) {
    const auto t0 = TClock::now();
    RecentShortcutFiles(recent);
    listing.push_back(Ms(t0, TClock::now()));
  }
  std::vector<double> full, incremental;
  for (int run = 0; run < kRuns; ++run) {
    TRecentMenus menus(recent);
    const auto t0 = TClock::now();
    menus.FindFirstRecent(20, false);
    const auto t1 = TClock::now();
    SetWriteTime(recent + L"\\doc" + std::to_wstring(run) + L".txt.lnk", kShortcuts + run);
    const auto t2 = TClock::now();
    menus.FindRecent(20);
    const auto t3 = TClock::now();
    full.push_back(Ms(t0, t1));
    incremental.push_back(Ms(t2, t3));
  }
  std::wprintf(L"recent lists, %d shortcuts: full scan median %.1f ms, incremental scan after one change median "
               L"%.1f ms (%.0f%% of the full); listing the folder alone median %.1f ms\n",
               kShortcuts, Median(full), Median(incremental), 100.0 * Median(incremental) / Median(full), Median(listing));

  TRecentMenus menus(recent);
  menus.FindFirstRecent(40, false);
  TMenuImages images;
  images.Load(::GetModuleHandleW(nullptr));
  win::TMenuHandle menu(::CreatePopupMenu());
  std::vector<double> build;
  for (int run = 0; run < 20; ++run) {
    const auto t0 = TClock::now();
    menus.BuildFiles(menu.get(), 40, images);
    build.push_back(Ms(t0, TClock::now()));
  }
  std::wprintf(L"recent files submenu, %d items: rebuild median %.2f ms\n", ::GetMenuItemCount(menu.get()) - 2,
               Median(build));

  std::wstring from = root + L'\0';
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&operation);
  return 0;
}
