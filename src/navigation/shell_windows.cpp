#include "navigation/shell_windows.h"

#include <exdisp.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/foreign_window.h"
#include "navigation/window_kinds.h"
#include "win/com.h"

namespace {

constexpr wchar_t kShellTabClass[] = L"ShellTabWindowClass";

// A call into the shell on a thread of its own, in the multithreaded apartment, waited for until
// a deadline; a late one finishes on its own and its answer is dropped.
template <class T>
class TBoundedCall {
 public:
  TBoundedCall(const wchar_t* where, std::function<T()> work) {
    auto state = std::make_shared<TState>();
    try {
      std::thread([state, where, work = std::move(work)] {
        T value{};
        Guarded(where, [&] {
          if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
          const win::TScopeGuard uninitialize([] { ::CoUninitialize(); });
          value = work();
        });
        const std::lock_guard<std::mutex> held(state->lock);
        state->value = std::move(value);
        state->done = true;
        state->ended.notify_all();
      }).detach();
      state_ = std::move(state);
    } catch (const std::system_error&) {
      // No thread to be had: the call is not made.
    }
  }

  // The answer, if the call ended by `deadline`.
  std::optional<T> Wait(std::chrono::steady_clock::time_point deadline) {
    if (!state_) return std::nullopt;
    std::unique_lock<std::mutex> held(state_->lock);
    if (!state_->ended.wait_until(held, deadline, [this] { return state_->done; })) return std::nullopt;
    return std::move(state_->value);
  }

 private:
  struct TState {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    T value{};
  };
  std::shared_ptr<TState> state_;
};

// Set once the system answered that it keeps no window list (Wine does): later menus do not ask.
std::atomic<bool> listMissing{false};

// SID_STopLevelBrowser, the service of a shell view's browser (the tab); MinGW's headers lack it.
constexpr GUID kTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

win::TComPtr<IShellBrowser> BrowserOf(IDispatch* item) {
  win::TComPtr<IShellBrowser> browser;
  if (FAILED(::IUnknown_QueryService(item, kTopLevelBrowser, IID_IShellBrowser, browser.put_void()))) browser.reset();
  return browser;
}

// The tab's own window inside its frame: the window of its shell browser.
std::uintptr_t TabWindowOf(IShellBrowser* browser) {
  HWND tab = nullptr;
  if (browser == nullptr || FAILED(browser->GetWindow(&tab))) return 0;
  return reinterpret_cast<std::uintptr_t>(tab);
}

std::wstring PathOfItem(PCIDLIST_ABSOLUTE item) {
  wchar_t path[MAX_PATH] = {};
  return item != nullptr && ::SHGetPathFromIDListW(item, path) ? std::wstring(path) : std::wstring();
}

// The folder the tab's view shows, by its item id list: the view's folder (IFolderView) as it
// persists itself (IPersistFolder2). Empty for a virtual folder, or where the view does not say.
std::wstring FolderOfView(IShellBrowser* browser) {
  win::TComPtr<IShellView> view;
  win::TComPtr<IFolderView> folderView;
  win::TComPtr<IPersistFolder2> folder;
  PIDLIST_ABSOLUTE item = nullptr;
  if (browser == nullptr || FAILED(browser->QueryActiveShellView(view.put())) || !view ||
      FAILED(view->QueryInterface(IID_IFolderView, folderView.put_void())) ||
      FAILED(folderView->GetFolder(IID_IPersistFolder2, folder.put_void())) || !folder ||
      FAILED(folder->GetCurFolder(&item)))
    return {};
  const std::wstring path = PathOfItem(item);
  ::CoTaskMemFree(item);
  return path;
}

std::wstring FolderOfUrl(BSTR url) {
  if (url == nullptr || url[0] == L'\0') return {};
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = static_cast<DWORD>(std::size(path));
  return ::PathCreateFromUrlW(url, path, &length, 0) == S_OK ? std::wstring(path, length) : std::wstring();
}

struct TEntry {
  TShellTab tab;
  win::TComPtr<IWebBrowser2> browser;
  win::TComPtr<IShellBrowser> shellBrowser;
};

// Every entry of the shell's list with its frame and tab window, and with `withFolders` the
// folder it shows (its view's, else its location's).
std::vector<TEntry> ReadEntries(bool withFolders) {
  std::vector<TEntry> entries;
  win::TComPtr<IShellWindows> windows;
  const HRESULT created =
      ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.put_void());
  long count = 0;
  const HRESULT counted = SUCCEEDED(created) ? windows->get_Count(&count) : created;
  if (FAILED(counted)) {
    if (!listMissing.exchange(true))
      CommonLogRunEvent(L"OpenExplorerFolders", L"the shell lists no windows, hr=" + std::to_wstring(counted));
    return entries;
  }
  for (long i = 0; i < count; ++i) {
    VARIANT index{};
    index.vt = VT_I4;
    index.lVal = i;
    win::TComPtr<IDispatch> item;
    TEntry entry;
    SHANDLE_PTR frame = 0;
    if (windows->Item(index, item.put()) != S_OK || !item ||
        FAILED(item->QueryInterface(IID_IWebBrowser2, entry.browser.put_void())) ||
        FAILED(entry.browser->get_HWND(&frame)))
      continue;
    entry.shellBrowser = BrowserOf(item.get());
    entry.tab = {static_cast<std::uintptr_t>(frame), {}, TabWindowOf(entry.shellBrowser.get())};
    if (withFolders) {
      entry.tab.folder = FolderOfView(entry.shellBrowser.get());
      win::TBstr url;
      if (entry.tab.folder.empty() && SUCCEEDED(entry.browser->get_LocationURL(url.put())))
        entry.tab.folder = FolderOfUrl(url.get());
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<TShellTab> TabsOf(std::vector<TEntry> entries) {
  std::vector<TShellTab> tabs;
  for (TEntry& entry : entries) tabs.push_back(std::move(entry.tab));
  return tabs;
}

TShellNavigation Navigate(const TEntry& entry, const std::wstring& folder) {
  PIDLIST_ABSOLUTE item = nullptr;
  if (entry.shellBrowser && SUCCEEDED(::SHParseDisplayName(folder.c_str(), nullptr, &item, 0, nullptr))) {
    const HRESULT browsed = entry.shellBrowser->BrowseObject(item, SBSP_SAMEBROWSER | SBSP_ABSOLUTE);
    ::CoTaskMemFree(item);
    if (SUCCEEDED(browsed)) return TShellNavigation::Navigated;
  }
  const win::TBstr target(folder);
  VARIANT url{};
  url.vt = VT_BSTR;
  url.bstrVal = target.get();
  VARIANT empty{};
  return target.get() != nullptr && SUCCEEDED(entry.browser->Navigate2(&url, &empty, &empty, &empty, &empty))
             ? TShellNavigation::Navigated
             : TShellNavigation::Refused;
}

}  // namespace

struct TShellTabsRead::TState {
  TBoundedCall<std::vector<TShellTab>> call;
};

HWND FrontShellTab(HWND frame) {
  for (HWND tab = ::FindWindowExW(frame, nullptr, kShellTabClass, nullptr); tab != nullptr;
       tab = ::FindWindowExW(frame, tab, kShellTabClass, nullptr))
    if (::IsWindowVisible(tab)) return tab;
  return nullptr;
}

TShellNavigation NavigateShellTab(HWND frame, const std::wstring& folder, std::chrono::milliseconds limit) {
  if (listMissing) return TShellNavigation::NotListed;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto frameNumber = reinterpret_cast<std::uintptr_t>(frame);
  const auto frontTab = reinterpret_cast<std::uintptr_t>(FrontShellTab(frame));
  TBoundedCall<TShellNavigation> call(L"NavigateShellTab", [=] {
    const std::vector<TEntry> entries = ReadEntries(false);
    std::vector<TShellTab> tabs;
    for (const TEntry& entry : entries) tabs.push_back(entry.tab);
    const auto front = FrontTabIndex(frameNumber, frontTab, tabs);
    if (!front) return TShellNavigation::NotListed;
    // Past the deadline the caller has taken another way (a new window): the tab stays as it is.
    if (std::chrono::steady_clock::now() >= deadline) return TShellNavigation::Late;
    return Navigate(entries[*front], folder);
  });
  const auto answer = call.Wait(deadline);
  if (!answer) {
    CommonLogRunEvent(L"NavigateShellTab", L"the shell's window list did not answer in time");
    return TShellNavigation::Late;
  }
  return *answer;
}

TargetKind ClassifyWithShellList(HWND window, bool* byList) {
  if (byList != nullptr) *byList = false;
  const TargetKind kind = ClassifyWindow(window);
  if (kind != tkDesktop || listMissing || window == nullptr || ::GetAncestor(window, GA_ROOT) != window ||
      !(ClassIs(window, kWholeClassBuffer, L"CabinetWClass") || ClassIs(window, kWholeClassBuffer, L"ExploreWClass")))
    return kind;
  const auto frame = reinterpret_cast<std::uintptr_t>(window);
  TBoundedCall<bool> call(L"ClassifyWithShellList", [frame] {
    for (const TEntry& entry : ReadEntries(false))
      if (entry.tab.frame == frame) return true;
    return false;
  });
  const auto named = call.Wait(std::chrono::steady_clock::now() + std::chrono::milliseconds(kForeignSendTimeoutMs));
  if (!named || !*named) return kind;
  CommonLogRunEvent(L"ShowPath", L"an Explorer frame by the shell's window list, W=" + logformat::HandleText(window));
  if (byList != nullptr) *byList = true;
  return tkExplorer;
}

void TShellTabsRead::Start() {
  if (state_ || answer_ || listMissing) return;
  started_ = std::chrono::steady_clock::now();
  state_ = std::make_shared<TState>(TState{{L"OpenExplorerFolders", [] { return TabsOf(ReadEntries(true)); }}});
}

const std::vector<TShellTab>& TShellTabsRead::Wait(std::chrono::milliseconds limit) {
  Start();
  if (answer_) return *answer_;
  answer_.emplace();
  if (!state_) return *answer_;
  auto tabs = state_->call.Wait(started_ + limit);
  if (tabs) {
    *answer_ = std::move(*tabs);
  } else {
    CommonLogRunEvent(L"OpenExplorerFolders", L"the shell's window list did not answer in time");
  }
  state_.reset();
  return *answer_;
}

bool ShellWindowListMissing() { return listMissing; }
