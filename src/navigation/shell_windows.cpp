#include "navigation/shell_windows.h"

#include <exdisp.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "win/com.h"

struct TShellTabsRead::TState {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  std::vector<TShellTab> tabs;
};

namespace {

// Set once the system answered that it keeps no window list (Wine does): later menus do not ask.
std::atomic<bool> listMissing{false};

// SID_STopLevelBrowser, the service of a shell view's browser (the tab); MinGW's headers lack it.
constexpr GUID kTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// The tab's own window inside its frame: the window of its shell browser.
std::uintptr_t TabWindowOf(IDispatch* item) {
  win::TComPtr<IShellBrowser> browser;
  HWND tab = nullptr;
  if (FAILED(::IUnknown_QueryService(item, kTopLevelBrowser, IID_IShellBrowser, browser.put_void())) || !browser ||
      FAILED(browser->GetWindow(&tab)))
    return 0;
  return reinterpret_cast<std::uintptr_t>(tab);
}

std::wstring FolderOfUrl(BSTR url) {
  if (url == nullptr || url[0] == L'\0') return {};
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = static_cast<DWORD>(std::size(path));
  return ::PathCreateFromUrlW(url, path, &length, 0) == S_OK ? std::wstring(path, length) : std::wstring();
}

std::vector<TShellTab> ReadTabs() {
  std::vector<TShellTab> tabs;
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return tabs;
  const win::TScopeGuard uninitialize([] { ::CoUninitialize(); });
  win::TComPtr<IShellWindows> windows;
  const HRESULT created = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                             windows.put_void());
  long count = 0;
  const HRESULT counted = SUCCEEDED(created) ? windows->get_Count(&count) : created;
  if (FAILED(counted)) {
    if (!listMissing.exchange(true))
      CommonLogRunEvent(L"OpenExplorerFolders", L"the shell lists no windows, hr=" + std::to_wstring(counted));
    return tabs;
  }
  for (long i = 0; i < count; ++i) {
    VARIANT index{};
    index.vt = VT_I4;
    index.lVal = i;
    win::TComPtr<IDispatch> item;
    win::TComPtr<IWebBrowser2> browser;
    SHANDLE_PTR frame = 0;
    win::TBstr url;
    if (windows->Item(index, item.put()) != S_OK || !item ||
        FAILED(item->QueryInterface(IID_IWebBrowser2, browser.put_void())) || FAILED(browser->get_HWND(&frame)) ||
        FAILED(browser->get_LocationURL(url.put())))
      continue;
    tabs.push_back({static_cast<std::uintptr_t>(frame), FolderOfUrl(url.get()), TabWindowOf(item.get())});
  }
  return tabs;
}

}  // namespace

TShellTabsRead::TShellTabsRead() : started_(std::chrono::steady_clock::now()) {
  if (listMissing) return;
  auto state = std::make_shared<TState>();
  try {
    std::thread([state] {
      std::vector<TShellTab> tabs;
      Guarded(L"OpenExplorerFolders", [&] { tabs = ReadTabs(); });
      const std::lock_guard<std::mutex> held(state->lock);
      state->tabs = std::move(tabs);
      state->done = true;
      state->ended.notify_all();
    }).detach();
    state_ = std::move(state);
  } catch (const std::system_error&) {
    // No thread to be had: the frames are read as they are.
  }
}

std::vector<TShellTab> TShellTabsRead::Wait(std::chrono::milliseconds limit) {
  if (!state_) return {};
  std::unique_lock<std::mutex> held(state_->lock);
  if (!state_->ended.wait_until(held, started_ + limit, [this] { return state_->done; })) {
    CommonLogRunEvent(L"OpenExplorerFolders", L"the shell's window list did not answer in time");
    return {};
  }
  return std::move(state_->tabs);
}
