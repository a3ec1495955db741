// shell_windows_stand_in.dll: the shell's window list (CLSID_ShellWindows) for the end-to-end
// scenarios, where Wine's shell keeps none. A scenario registers it in place of Wine's own
// (HKLM\Software\Classes\CLSID\{9BA05972-...}\InprocServer32: Wine's classes root is the
// machine's alone), and the
// agent then finds in it, as on Windows, one entry per tab of the Explorer stand-ins that
// target_windows shows with tab windows: every top-level "CabinetWClass" window's
// "ShellTabWindowClass" children, whose text is the folder the tab shows. Each entry answers as
// Explorer's does: its frame (IWebBrowser2::get_HWND), its location, its shell browser
// (IServiceProvider → IShellBrowser: the tab window, the view's folder through IFolderView →
// IPersistFolder2), and navigation (BrowseObject, Navigate2), which it hands to the tab window as
// a WM_COPYDATA the stand-in frame follows. With a file "<this dll>.hang" present, every call
// into the list sleeps two minutes (or the milliseconds the file names), as a hung Explorer's would; with a file "<this
// dll>.asked" present, every time the list is counted (once per read of it) adds a line to that file.
//
// The interfaces are built as C vtables (CINTERFACE): a slot the agent never calls answers
// E_NOTIMPL through one shared function, which the x64 calling convention allows whatever the
// slot's arguments (the caller cleans the stack).
#define CINTERFACE
#define COBJMACROS
#include <windows.h>
#include <exdisp.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

static_assert(sizeof(void*) == 8, "the shared E_NOTIMPL slot relies on the x64 calling convention");

namespace {

// What the stand-in frame takes in a WM_COPYDATA: the folder to show, as UTF-16 text.
constexpr ULONG_PTR kNavigateData = 0x51464E56;  // "QFNV"
constexpr DWORD kNavigateTimeoutMs = 2000;
constexpr DWORD kHangMs = 120000;
constexpr DWORD kUrlLength = 2084;  // the longest address the shell takes
constexpr GUID kTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

HMODULE self = nullptr;
std::atomic<long> objects{0};

// Sleeps where "<this dll>.hang" exists: for the milliseconds the file names, or two minutes.
void HangIfAsked() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(self, path, MAX_PATH);
  const HANDLE file = ::CreateFileW((std::wstring(path) + L".hang").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[16] = {};
  DWORD read = 0;
  ::ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
  ::CloseHandle(file);
  const unsigned long named = std::strtoul(text, nullptr, 10);
  ::Sleep(named != 0 ? static_cast<DWORD>(named) : kHangMs);
}

// One line in "<this dll>.asked", where the scenario made that file.
void CountAsked() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(self, path, MAX_PATH);
  const HANDLE file =
      ::CreateFileW((std::wstring(path) + L".asked").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, "asked\n", 6, &written, nullptr);
  ::CloseHandle(file);
}

HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }

// A vtable of `V` whose every slot answers E_NOTIMPL until it is given a body.
template <class V>
V Unanswered() {
  V table;
  auto** slots = reinterpret_cast<void**>(&table);
  for (std::size_t i = 0; i < sizeof(V) / sizeof(void*); ++i) slots[i] = reinterpret_cast<void*>(&NotImplemented);
  return table;
}

// One tab: the faces it shows (each an interface pointer whose object is this tab), its frame
// and its tab window. COM identity is the IWebBrowser2 face.
struct TTab;
struct TFace {
  const void* vtbl;
  TTab* tab;
};
struct TTab {
  TFace browser, services, shellBrowser, view, folderView, persist;
  std::atomic<long> refs{1};
  HWND frame = nullptr;
  HWND window = nullptr;
};

TTab* TabOf(void* face) { return static_cast<TFace*>(face)->tab; }

ULONG STDMETHODCALLTYPE TabAddRef(void* face) { return static_cast<ULONG>(++TabOf(face)->refs); }
ULONG STDMETHODCALLTYPE TabRelease(void* face) {
  TTab* tab = TabOf(face);
  const long left = --tab->refs;
  if (left == 0) {
    delete tab;
    --objects;
  }
  return static_cast<ULONG>(left);
}
HRESULT STDMETHODCALLTYPE TabQueryInterface(void* face, REFIID iid, void** out) {
  TTab* tab = TabOf(face);
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser2) ||
      IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser))
    *out = &tab->browser;
  else if (IsEqualIID(iid, IID_IServiceProvider))
    *out = &tab->services;
  else if (IsEqualIID(iid, IID_IShellBrowser) || IsEqualIID(iid, IID_IOleWindow))
    *out = &tab->shellBrowser;
  else if (IsEqualIID(iid, IID_IShellView))
    *out = &tab->view;
  else if (IsEqualIID(iid, IID_IFolderView))
    *out = &tab->folderView;
  else if (IsEqualIID(iid, IID_IPersistFolder2) || IsEqualIID(iid, IID_IPersistFolder) || IsEqualIID(iid, IID_IPersist))
    *out = &tab->persist;
  if (*out == nullptr) return E_NOINTERFACE;
  TabAddRef(face);
  return S_OK;
}

std::wstring FolderOf(TTab* tab) {
  wchar_t text[MAX_PATH] = {};
  // Another process's window: the system answers from its own copy of the text, no message.
  ::GetWindowTextW(tab->window, text, MAX_PATH);
  return text;
}

HRESULT NavigateTo(TTab* tab, const std::wstring& folder) {
  HangIfAsked();
  COPYDATASTRUCT data{kNavigateData, static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)),
                      const_cast<wchar_t*>(folder.c_str())};
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(tab->window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                             kNavigateTimeoutMs, &answer))
    return E_FAIL;
  return answer ? S_OK : E_FAIL;
}

// IWebBrowser2
HRESULT STDMETHODCALLTYPE BrowserHwnd(IWebBrowser2* face, SHANDLE_PTR* frame) {
  HangIfAsked();
  *frame = reinterpret_cast<SHANDLE_PTR>(TabOf(face)->frame);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE BrowserLocationUrl(IWebBrowser2* face, BSTR* url) {
  HangIfAsked();
  wchar_t text[kUrlLength] = {};
  DWORD length = kUrlLength;
  const std::wstring folder = FolderOf(TabOf(face));
  if (FAILED(::UrlCreateFromPathW(folder.c_str(), text, &length, 0))) return E_FAIL;
  *url = ::SysAllocString(text);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE BrowserNavigate2(IWebBrowser2* face, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
  if (url == nullptr || url->vt != VT_BSTR || url->bstrVal == nullptr) return E_INVALIDARG;
  std::wstring folder = url->bstrVal;
  wchar_t path[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (::PathIsURLW(folder.c_str()) && SUCCEEDED(::PathCreateFromUrlW(folder.c_str(), path, &length, 0))) folder = path;
  return NavigateTo(TabOf(face), folder);
}

// IServiceProvider
HRESULT STDMETHODCALLTYPE ServicesQuery(IServiceProvider* face, REFGUID service, REFIID iid, void** out) {
  *out = nullptr;
  if (!IsEqualGUID(service, kTopLevelBrowser) && !IsEqualGUID(service, SID_SShellBrowser)) return E_NOINTERFACE;
  return TabQueryInterface(face, iid, out);
}

// IShellBrowser
HRESULT STDMETHODCALLTYPE ShellBrowserWindow(IShellBrowser* face, HWND* window) {
  HangIfAsked();
  *window = TabOf(face)->window;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE ShellBrowserBrowse(IShellBrowser* face, PCUIDLIST_RELATIVE item, UINT flags) {
  wchar_t path[MAX_PATH] = {};
  if ((flags & SBSP_NEWBROWSER) != 0 || !::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(item), path))
    return E_FAIL;
  return NavigateTo(TabOf(face), path);
}
HRESULT STDMETHODCALLTYPE ShellBrowserActiveView(IShellBrowser* face, IShellView** view) {
  HangIfAsked();
  return TabQueryInterface(face, IID_IShellView, reinterpret_cast<void**>(view));
}

// IFolderView
HRESULT STDMETHODCALLTYPE FolderViewFolder(IFolderView* face, REFIID iid, void** out) {
  return TabQueryInterface(face, iid, out);
}

// IPersistFolder2
HRESULT STDMETHODCALLTYPE PersistClass(IPersistFolder2*, CLSID* id) {
  *id = CLSID_ShellFSFolder;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE PersistCurFolder(IPersistFolder2* face, PIDLIST_ABSOLUTE* item) {
  HangIfAsked();
  const std::wstring folder = FolderOf(TabOf(face));
  return folder.empty() ? E_FAIL : ::SHParseDisplayName(folder.c_str(), nullptr, item, 0, nullptr);
}

template <class V>
V TabFace() {
  V table = Unanswered<V>();
  table.QueryInterface = reinterpret_cast<decltype(table.QueryInterface)>(&TabQueryInterface);
  table.AddRef = reinterpret_cast<decltype(table.AddRef)>(&TabAddRef);
  table.Release = reinterpret_cast<decltype(table.Release)>(&TabRelease);
  return table;
}

const IWebBrowser2Vtbl kBrowserFace = [] {
  IWebBrowser2Vtbl table = TabFace<IWebBrowser2Vtbl>();
  table.get_HWND = BrowserHwnd;
  table.get_LocationURL = BrowserLocationUrl;
  table.Navigate2 = BrowserNavigate2;
  return table;
}();
const IServiceProviderVtbl kServicesFace = [] {
  IServiceProviderVtbl table = TabFace<IServiceProviderVtbl>();
  table.QueryService = ServicesQuery;
  return table;
}();
const IShellBrowserVtbl kShellBrowserFace = [] {
  IShellBrowserVtbl table = TabFace<IShellBrowserVtbl>();
  table.GetWindow = ShellBrowserWindow;
  table.BrowseObject = ShellBrowserBrowse;
  table.QueryActiveShellView = ShellBrowserActiveView;
  return table;
}();
const IShellViewVtbl kViewFace = TabFace<IShellViewVtbl>();
const IFolderViewVtbl kFolderViewFace = [] {
  IFolderViewVtbl table = TabFace<IFolderViewVtbl>();
  table.GetFolder = FolderViewFolder;
  return table;
}();
const IPersistFolder2Vtbl kPersistFace = [] {
  IPersistFolder2Vtbl table = TabFace<IPersistFolder2Vtbl>();
  table.GetClassID = PersistClass;
  table.GetCurFolder = PersistCurFolder;
  return table;
}();

TTab* NewTab(HWND frame, HWND window) {
  auto* tab = new (std::nothrow) TTab;
  if (tab == nullptr) return nullptr;
  ++objects;
  tab->browser = {&kBrowserFace, tab};
  tab->services = {&kServicesFace, tab};
  tab->shellBrowser = {&kShellBrowserFace, tab};
  tab->view = {&kViewFace, tab};
  tab->folderView = {&kFolderViewFace, tab};
  tab->persist = {&kPersistFace, tab};
  tab->frame = frame;
  tab->window = window;
  return tab;
}

struct TTabWindow {
  HWND frame;
  HWND window;
};

// The tabs of the stand-in frames as the shell would list them: frame by frame, each frame's tab
// windows last to first (the shell's order is not the windows' order).
std::vector<TTabWindow> TabWindows() {
  std::vector<TTabWindow> tabs;
  for (HWND frame = ::FindWindowExW(nullptr, nullptr, L"CabinetWClass", nullptr); frame != nullptr;
       frame = ::FindWindowExW(nullptr, frame, L"CabinetWClass", nullptr)) {
    std::vector<TTabWindow> own;
    for (HWND tab = ::FindWindowExW(frame, nullptr, L"ShellTabWindowClass", nullptr); tab != nullptr;
         tab = ::FindWindowExW(frame, tab, L"ShellTabWindowClass", nullptr))
      own.insert(own.begin(), {frame, tab});
    tabs.insert(tabs.end(), own.begin(), own.end());
  }
  return tabs;
}

// The list itself.
struct TList {
  const IShellWindowsVtbl* vtbl;
  std::atomic<long> refs{1};
};

ULONG STDMETHODCALLTYPE ListAddRef(IShellWindows* list) {
  return static_cast<ULONG>(++reinterpret_cast<TList*>(list)->refs);
}
ULONG STDMETHODCALLTYPE ListRelease(IShellWindows* list) {
  auto* self = reinterpret_cast<TList*>(list);
  const long left = --self->refs;
  if (left == 0) {
    delete self;
    --objects;
  }
  return static_cast<ULONG>(left);
}
HRESULT STDMETHODCALLTYPE ListQueryInterface(IShellWindows* list, REFIID iid, void** out) {
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, IID_IShellWindows))
    return E_NOINTERFACE;
  *out = list;
  ListAddRef(list);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE ListCount(IShellWindows*, LONG* count) {
  CountAsked();
  HangIfAsked();
  *count = static_cast<LONG>(TabWindows().size());
  return S_OK;
}
HRESULT STDMETHODCALLTYPE ListItem(IShellWindows*, VARIANT index, IDispatch** item) {
  HangIfAsked();
  *item = nullptr;
  const auto tabs = TabWindows();
  if (index.vt != VT_I4 || index.lVal < 0 || static_cast<std::size_t>(index.lVal) >= tabs.size()) return S_FALSE;
  TTab* tab =
      NewTab(tabs[static_cast<std::size_t>(index.lVal)].frame, tabs[static_cast<std::size_t>(index.lVal)].window);
  if (tab == nullptr) return E_OUTOFMEMORY;
  *item = reinterpret_cast<IDispatch*>(&tab->browser);
  return S_OK;
}

const IShellWindowsVtbl kListFace = [] {
  IShellWindowsVtbl table = Unanswered<IShellWindowsVtbl>();
  table.QueryInterface = ListQueryInterface;
  table.AddRef = ListAddRef;
  table.Release = ListRelease;
  table.get_Count = ListCount;
  table.Item = ListItem;
  return table;
}();

// The class factory: one static object.
HRESULT STDMETHODCALLTYPE FactoryQueryInterface(IClassFactory* factory, REFIID iid, void** out) {
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *out = factory;
  return S_OK;
}
ULONG STDMETHODCALLTYPE FactoryAddRef(IClassFactory*) { return 2; }
ULONG STDMETHODCALLTYPE FactoryRelease(IClassFactory*) { return 1; }
HRESULT STDMETHODCALLTYPE FactoryCreate(IClassFactory*, IUnknown* outer, REFIID iid, void** out) {
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* list = new (std::nothrow) TList{&kListFace};
  if (list == nullptr) return E_OUTOFMEMORY;
  ++objects;
  auto* face = reinterpret_cast<IShellWindows*>(list);
  const HRESULT result = ListQueryInterface(face, iid, out);
  ListRelease(face);
  return result;
}
HRESULT STDMETHODCALLTYPE FactoryLock(IClassFactory*, BOOL) { return S_OK; }

const IClassFactoryVtbl kFactoryFace = {FactoryQueryInterface, FactoryAddRef, FactoryRelease, FactoryCreate,
                                        FactoryLock};
struct {
  const IClassFactoryVtbl* vtbl;
} factory{&kFactoryFace};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID id, REFIID iid, void** out) {
  if (!IsEqualCLSID(id, CLSID_ShellWindows)) return CLASS_E_CLASSNOTAVAILABLE;
  return FactoryQueryInterface(reinterpret_cast<IClassFactory*>(&factory), iid, out);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return objects == 0 ? S_OK : S_FALSE; }
