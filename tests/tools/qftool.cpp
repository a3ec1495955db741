// A test-only command-line tool that pokes the running agent the way other programs and the
// hook library do: it reads and writes the shared record, posts messages and looks for windows.
// Prints its answers on stdout; exit code 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <taskschd.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <span>
#include <string>
#include <vector>

#include "hook/hook_contract.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kAgentClass[] = L"TQuillFolder";
constexpr wchar_t kAgentCaption[] = L"Quillrook Folder 1.X";

struct TRecord {
  HANDLE mapping = nullptr;
  hook::THookShare* share = nullptr;
  TRecord() {
    // The record grants map-read and map-write only, so ask for no more than that.
    mapping = ::OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, hook::kShareName);
    if (mapping == nullptr)
      mapping =
          ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, hook::kShareSize, hook::kShareName);
    if (mapping != nullptr)
      share = static_cast<hook::THookShare*>(
          ::MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, hook::kShareSize));
  }
  ~TRecord() {
    if (share != nullptr) ::UnmapViewOfFile(share);
    if (mapping != nullptr) ::CloseHandle(mapping);
  }
  TRecord(const TRecord&) = delete;
  TRecord& operator=(const TRecord&) = delete;
};

// A number in decimal or 0x-hexadecimal, or a hook message name ("WM_QFMDIALOG").
unsigned long Value(const std::wstring& text) {
  if (text.rfind(L"WM_", 0) == 0) return ::RegisterWindowMessageW((text + hook::kMessageSuffix).c_str());
  return std::wcstoul(text.c_str(), nullptr, 0);
}

struct TFound {
  const wchar_t* className;
  const wchar_t* title;
  bool visibleOnly;
  std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND window, LPARAM data) {
  auto* found = reinterpret_cast<TFound*>(data);
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  if (found->className != nullptr && _wcsicmp(name, found->className) != 0) return TRUE;
  if (found->title != nullptr) {
    wchar_t title[512] = {};
    ::GetWindowTextW(window, title, 512);
    if (std::wcscmp(title, found->title) != 0) return TRUE;
  }
  if (found->visibleOnly && !::IsWindowVisible(window)) return TRUE;
  found->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> TopWindows(const wchar_t* className, const wchar_t* title, bool visibleOnly) {
  TFound found{className, title, visibleOnly, {}};
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

// A control found by its id anywhere below a window (a page of a dialog is a child dialog);
// with `className`, only one of that class.
HWND FindControl(HWND window, int id, const wchar_t* className = nullptr) {
  struct TSearch {
    int id;
    const wchar_t* className;
    HWND found;
  } search{id, className, nullptr};
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(data);
        wchar_t name[32] = {};
        ::GetClassNameW(child, name, 32);
        if (::GetDlgCtrlID(child) != s->id || (s->className != nullptr && _wcsicmp(name, s->className) != 0))
          return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindEdit(HWND window, int id) { return FindControl(window, id, L"Edit"); }

// A key pressed in a popup menu window, as the user's keyboard would deliver it.
void PressKey(HWND menu, unsigned long key) {
  ::PostMessageW(menu, WM_KEYDOWN, key, 1);
  ::PostMessageW(menu, WM_KEYUP, key, 0xC0000001);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  return now;
}

// Prints the ms from `start` until a popup menu is visible; 1 when none comes within 5 s.
int PrintMsUntilMenuShows(LARGE_INTEGER start) {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  for (;;) {
    const double ms = 1000.0 * static_cast<double>(Now().QuadPart - start.QuadPart) / frequency.QuadPart;
    if (!TopWindows(L"#32768", nullptr, true).empty()) {
      std::wprintf(L"%.1f\n", ms);
      return 0;
    }
    if (ms > 5000) return 1;
    ::Sleep(0);
  }
}

// Trusts a certificate authority for this user, as a test that runs its own TLS server needs.
int TrustCertificate(const wchar_t* path) {
  const HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::string text(1 << 16, '\0');
  DWORD got = 0;
  ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  ::CloseHandle(file);
  text.resize(got);
  std::vector<BYTE> der(text.size());
  DWORD size = static_cast<DWORD>(der.size());
  if (!::CryptStringToBinaryA(text.c_str(), got, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
    der.assign(text.begin(), text.end());
    size = got;
  }
  const HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT");
  if (store == nullptr) return 1;
  const bool added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
  ::CertCloseStore(store, 0);
  return added ? 0 : 1;
}

// The user's elevation task ("Quillrook Folder-" + user name) in the Task Scheduler's root
// folder: "register" makes a plain one (what Wine can register), "exists" asks for it.
int ElevationTask(const std::wstring& action) {
  wchar_t user[260] = {};
  DWORD size = 260;
  ::GetUserNameW(user, &size);
  const BSTR name = ::SysAllocString((std::wstring(L"Quillrook Folder-") + user).c_str());
  const BSTR slash = ::SysAllocString(L"\\");
  int result = 1;
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ITaskService* service = nullptr;
  ITaskFolder* root = nullptr;
  VARIANT empty;
  ::VariantInit(&empty);
  if (SUCCEEDED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   reinterpret_cast<void**>(&service))) &&
      SUCCEEDED(service->Connect(empty, empty, empty, empty)) && SUCCEEDED(service->GetFolder(slash, &root))) {
    if (action == L"exists") {
      IRegisteredTask* task = nullptr;
      if (SUCCEEDED(root->GetTask(name, &task))) {
        task->Release();
        result = 0;
      }
    } else if (action == L"register") {
      ITaskDefinition* definition = nullptr;
      IRegisteredTask* task = nullptr;
      // Its program is the agent beside this tool, quoted as the agent registers it.
      wchar_t self[MAX_PATH] = {};
      ::GetModuleFileNameW(nullptr, self, MAX_PATH);
      std::wstring program = self;
      program = L"\"" + program.substr(0, program.find_last_of(L'\\') + 1) + L"qrfolder.exe\"";
      IActionCollection* actions = nullptr;
      IAction* action = nullptr;
      IExecAction* exec = nullptr;
      const bool defined = SUCCEEDED(service->NewTask(0, &definition)) &&
                           SUCCEEDED(definition->get_Actions(&actions)) &&
                           SUCCEEDED(actions->Create(TASK_ACTION_EXEC, &action)) &&
                           SUCCEEDED(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(&exec)));
      if (defined) {
        // Every part the agent reads back, as its own registration sets them.
        const BSTR path = ::SysAllocString(program.c_str());
        const BSTR arguments = ::SysAllocString(L"");
        const BSTR folder = ::SysAllocString(program.substr(1, program.find_last_of(L'\\') - 1).c_str());
        exec->put_Path(path);
        exec->put_Arguments(arguments);
        exec->put_WorkingDirectory(folder);
        for (const BSTR text : {path, arguments, folder}) ::SysFreeString(text);
      }
      for (IUnknown* part :
           {static_cast<IUnknown*>(exec), static_cast<IUnknown*>(action), static_cast<IUnknown*>(actions)})
        if (part != nullptr) part->Release();
      if (defined && SUCCEEDED(root->RegisterTaskDefinition(name, definition, TASK_CREATE_OR_UPDATE, empty, empty,
                                                            TASK_LOGON_INTERACTIVE_TOKEN, empty, &task))) {
        task->Release();
        result = 0;
      }
      if (definition != nullptr) definition->Release();
    }
  }
  if (root != nullptr) root->Release();
  if (service != nullptr) service->Release();
  ::CoUninitialize();
  ::SysFreeString(name);
  ::SysFreeString(slash);
  return result;
}

// A command's arguments: the words after its name.
using TArgs = std::span<wchar_t* const>;

int Usage();

// A top-level window found by its title, and a control of it found by the id in the next
// argument anywhere below it; null when either is missing.
HWND TitledControl(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  return window != nullptr ? FindControl(window, static_cast<int>(Value(args[1]))) : nullptr;
}

// Runs a command with the shared record mapped for its whole run; 1 when it cannot be had.
template <int (*Run)(hook::THookShare&, TArgs)>
int WithRecord(TArgs args) {
  TRecord record;
  if (record.share == nullptr) return 1;
  return Run(*record.share, args);
}

int Agent(TArgs) {
  const auto windows = TopWindows(kAgentClass, kAgentCaption, false);
  DWORD pid = 0;
  if (!windows.empty()) ::GetWindowThreadProcessId(windows.front(), &pid);
  std::wprintf(L"%u %llX %lu\n", static_cast<unsigned>(windows.size()),
               windows.empty() ? 0ULL : reinterpret_cast<unsigned long long>(windows.front()), pid);
  return windows.empty() ? 1 : 0;
}

int ElevationTaskCommand(TArgs args) { return ElevationTask(args[0]); }

int Windows(TArgs args) {
  const auto windows = TopWindows(args[0], args.size() >= 2 ? args[1] : nullptr, false);
  for (HWND w : windows) {
    RECT r{};
    ::GetWindowRect(w, &r);
    std::wprintf(L"%06llX %d %ld %ld %ld %ld\n", reinterpret_cast<unsigned long long>(w), ::IsWindowVisible(w) ? 1 : 0,
                 r.left, r.top, r.right, r.bottom);
  }
  return windows.empty() ? 1 : 0;
}

int Client(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  RECT r{};
  if (window == nullptr || !::GetClientRect(window, &r)) return 1;
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  std::wprintf(L"%ld %ld %ld %ld\n", origin.x, origin.y, origin.x + r.right, origin.y + r.bottom);
  return 0;
}

int Recent(TArgs args) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  LPITEMIDLIST item = nullptr;
  const bool parsed = SUCCEEDED(::SHParseDisplayName(args[0], nullptr, &item, 0, nullptr));
  if (parsed) ::SHAddToRecentDocs(SHARD_PIDL, item);
  ::CoTaskMemFree(item);
  ::CoUninitialize();
  return parsed ? 0 : 1;
}

int ControlAt(TArgs args) {
  HWND control = TitledControl(args);
  if (control == nullptr) return 2;
  RECT r{};
  ::GetWindowRect(control, &r);
  std::wprintf(L"%ld %ld %ld %ld %ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2, r.left, r.top, r.right,
               r.bottom);
  return 0;
}

int Checked(TArgs args) {
  HWND control = TitledControl(args);
  if (control == nullptr) return 2;
  DWORD_PTR state = 0;
  ::SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
  return state == BST_CHECKED ? 0 : 1;
}

// The items of a list box, one a line (the system carries LB_GETTEXT across processes).
int ListItems(TArgs args) {
  HWND list = TitledControl(args);
  if (list == nullptr) return 2;
  DWORD_PTR count = 0;
  ::SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  for (DWORD_PTR i = 0; i < count && i < 1000; ++i) {
    wchar_t item[1024] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &length);
    if (length >= 1024) continue;
    ::SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG, 2000, &length);
    std::wprintf(L"%ls\n", item);
  }
  return 0;
}

int ControlState(TArgs args) {
  HWND control = TitledControl(args);
  if (control == nullptr) return 2;
  wchar_t name[64] = {};
  ::GetClassNameW(control, name, 64);
  DWORD_PTR hotKey = 0;
  if (::lstrcmpiW(name, HOTKEY_CLASSW) == 0)
    ::SendMessageTimeoutW(control, HKM_GETHOTKEY, 0, 0, SMTO_ABORTIFHUNG, 2000, &hotKey);
  std::wprintf(L"%d %u %u\n", ::IsWindowVisible(control) ? 1 : 0, static_cast<unsigned>(LOBYTE(hotKey)),
               static_cast<unsigned>(HIBYTE(hotKey)));
  return 0;
}

// The control answers into memory of its own process, read back from there.
int TabAt(TArgs args) {
  HWND tabs = TitledControl(args);
  if (tabs == nullptr) return 2;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(tabs, &pid);
  HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return 1;
  void* remote = ::VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
  RECT r{};
  DWORD_PTR found = 0;
  const bool read = remote != nullptr &&
                    ::SendMessageTimeoutW(tabs, TCM_GETITEMRECT, Value(args[2]), reinterpret_cast<LPARAM>(remote),
                                          SMTO_ABORTIFHUNG, 2000, &found) &&
                    found && ::ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
  if (remote != nullptr) ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  ::CloseHandle(process);
  if (!read) return 1;
  POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ::ClientToScreen(tabs, &centre);
  std::wprintf(L"%ld %ld\n", centre.x, centre.y);
  return 0;
}

// Another program holding the hot key refuses it here.
int HotkeyFree(TArgs args) {
  const int id = 0x7001;
  if (!::RegisterHotKey(nullptr, id, Value(args[0]), Value(args[1]))) return 1;
  ::UnregisterHotKey(nullptr, id);
  return 0;
}

int Atom(TArgs args) {
  const ATOM atom = ::GlobalFindAtomW(args[0]);
  if (atom != 0) std::wprintf(L"%04X\n", atom);
  return atom != 0 ? 0 : 1;
}

// A global atom, as any program may add one; it outlives this process.
int AtomAdd(TArgs args) {
  const ATOM atom = ::GlobalAddAtomW(args[0]);
  if (atom != 0) std::wprintf(L"%04X\n", atom);
  return atom != 0 ? 0 : 1;
}

int Focus(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (window == nullptr || !::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return 1;
  wchar_t name[64] = L"-";
  if (info.hwndFocus != nullptr) ::GetClassNameW(info.hwndFocus, name, 64);
  std::wprintf(L"%d %ls %d\n", ::GetForegroundWindow() == window ? 1 : 0, name,
               info.hwndFocus != nullptr ? ::GetDlgCtrlID(info.hwndFocus) : 0);
  return 0;
}

int MenuKeys(TArgs args) {
  const auto menus = TopWindows(L"#32768", nullptr, true);
  if (menus.empty()) return 1;
  for (wchar_t* key : args) {
    PressKey(menus.back(), Value(key));
    ::Sleep(50);
  }
  return 0;
}

// From the user's pick to the target showing the chosen folder.
int PickLatency(TArgs args) {
  const auto menus = TopWindows(L"#32768", nullptr, true);
  HWND window = ::FindWindowW(nullptr, args[0]);
  HWND control = window != nullptr ? ::GetDlgItem(window, static_cast<int>(Value(args[1]))) : nullptr;
  if (menus.empty() || control == nullptr) return 1;
  LARGE_INTEGER frequency{}, start{}, now{};
  ::QueryPerformanceFrequency(&frequency);
  const TArgs keys = args.subspan(3);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i + 1 == keys.size()) ::QueryPerformanceCounter(&start);
    PressKey(menus.back(), Value(keys[i]));
    if (i + 1 < keys.size()) ::Sleep(50);
  }
  for (;;) {
    wchar_t text[1024] = {};
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &ignored);
    ::QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
    if (std::wcscmp(text, args[2]) == 0) {
      std::wprintf(L"%.1f\n", ms);
      return 0;
    }
    if (ms > 10000) return 1;
    ::Sleep(1);
  }
}

// Waits until the control's text is `expected`; prints the ms since `start`. 1 after 10 s.
int PrintMsUntilText(HWND control, const wchar_t* expected, LARGE_INTEGER start) {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  for (;;) {
    wchar_t text[1024] = {};
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &ignored);
    const double ms = 1000.0 * static_cast<double>(Now().QuadPart - start.QuadPart) / frequency.QuadPart;
    if (std::wcscmp(text, expected) == 0) {
      std::wprintf(L"%.1f\n", ms);
      return 0;
    }
    if (ms > 10000) return 1;
    ::Sleep(1);
  }
}

// A hot key pressed as the keyboard would (Ctrl with VK, through the system's input), timed until
// the control shows TEXT.
int KeyLatency(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  HWND control = window != nullptr ? ::GetDlgItem(window, static_cast<int>(Value(args[1]))) : nullptr;
  if (control == nullptr) return 1;
  const WORD key = static_cast<WORD>(Value(args[3]));
  INPUT keys[4] = {};
  for (INPUT& input : keys) input.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_CONTROL;
  keys[1].ki.wVk = key;
  keys[2].ki.wVk = key;
  keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
  keys[3].ki.wVk = VK_CONTROL;
  keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  const LARGE_INTEGER start = Now();
  if (::SendInput(4, keys, sizeof(INPUT)) != 4) return 1;
  return PrintMsUntilText(control, args[2], start);
}

int DialogText(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  HWND child = window != nullptr ? ::FindWindowExW(window, nullptr, args[1], nullptr) : nullptr;
  if (child == nullptr) return 1;
  ::SendMessageTimeoutW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[2]), SMTO_ABORTIFHUNG, 2000, nullptr);
  return 0;
}

// An edit box found by its control id anywhere below a window found by its title (a dialog's
// file-name box sits inside combo boxes), else any control of that id (a label).
HWND TitledEdit(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  HWND edit = window != nullptr ? FindEdit(window, static_cast<int>(Value(args[1]))) : nullptr;
  if (edit == nullptr && window != nullptr) edit = FindControl(window, static_cast<int>(Value(args[1])));
  return edit;
}

// A letter typed in the open popup menu, timed until the window titled TITLE is visible and its
// control ID (a list view) shows rows.
int MenuCharLatency(TArgs args) {
  const auto menus = TopWindows(L"#32768", nullptr, true);
  if (menus.empty()) return 1;
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  const LARGE_INTEGER start = Now();
  PressKey(menus.back(), Value(args[0]));
  for (;;) {
    const HWND window = ::FindWindowW(nullptr, args[1]);
    const HWND list = window != nullptr ? ::GetDlgItem(window, static_cast<int>(Value(args[2]))) : nullptr;
    DWORD_PTR rows = 0;
    if (list != nullptr && ::IsWindowVisible(window))
      ::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &rows);
    const double ms = 1000.0 * static_cast<double>(Now().QuadPart - start.QuadPart) / frequency.QuadPart;
    if (rows > 0) {
      std::wprintf(L"%.1f\n", ms);
      return 0;
    }
    if (ms > 10000) return 1;
    ::Sleep(1);
  }
}

// Posts keys (down and up) to a control, as typing into it delivers them.
int ControlKeys(TArgs args) {
  HWND edit = TitledEdit(args);
  if (edit == nullptr) return 1;
  for (wchar_t* key : args.subspan(2)) {
    PressKey(edit, Value(key));
    ::Sleep(50);
  }
  return 0;
}

int ControlText(TArgs args) {
  HWND edit = TitledEdit(args);
  if (edit == nullptr) return 1;
  DWORD_PTR ignored = 0;
  wchar_t text[1024] = {};
  ::SendMessageTimeoutW(edit, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
  std::wprintf(L"%ls\n", text);
  return 0;
}

int ControlSet(TArgs args) {
  HWND edit = TitledEdit(args);
  if (edit == nullptr) return 1;
  DWORD_PTR ignored = 0;
  return ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[2]), SMTO_ABORTIFHUNG, 2000,
                               &ignored) != 0
             ? 0
             : 1;
}

// Whether every label of a dialog (its pages too) shows its whole text: each static, check box,
// radio button, group box and push button with text is measured in the dialog's font (the
// template's, "MS Shell Dlg" 8 pt, at the screen's DPI, which the agent and this tool share)
// against its own size. Prints a line for each control cut and one "measured N" at the end.
int TextFit(TArgs args) {
  ::SetProcessDPIAware();  // the real pixels, as the per-monitor agent has them
  const HWND window = ::FindWindowW(nullptr, args[0]);
  if (window == nullptr) return 1;
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  const HFONT font =
      ::CreateFontW(-::MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
  const HGDIOBJ old = ::SelectObject(screen, font);
  struct TFit {
    HDC dc;
    int dpi;
    int measured = 0;
    int cut = 0;
  } fit{screen, dpi};
  ::EnumChildWindows(
      window,
      [](HWND control, LPARAM data) -> BOOL {
        auto& f = *reinterpret_cast<TFit*>(data);
        wchar_t name[32] = {};
        ::GetClassNameW(control, name, 32);
        const LONG style = ::GetWindowLongW(control, GWL_STYLE);
        const bool isStatic = _wcsicmp(name, L"Static") == 0;
        const bool isButton = _wcsicmp(name, L"Button") == 0;
        // A control the dialog keeps hidden shows nothing to cut; one of a page not in front does.
        if ((!isStatic && !isButton) || (style & WS_VISIBLE) == 0) return TRUE;
        if (isStatic && (style & SS_TYPEMASK) > SS_RIGHT && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP) return TRUE;
        wchar_t text[1024] = {};
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                              &ignored);
        if (text[0] == 0) return TRUE;
        RECT client{};
        ::GetClientRect(control, &client);
        int width = client.right;
        const int kind = style & BS_TYPEMASK;
        const bool box = isButton && (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE ||
                                      kind == BS_AUTO3STATE || kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON);
        const bool group = isButton && kind == BS_GROUPBOX;
        // What the control's own drawing leaves for the text: the box and its gap, a group
        // box's corners, a push button's edges.
        if (box) width -= ::MulDiv(13 + 4, f.dpi, 96);
        if (group) width -= ::MulDiv(2 * 8, f.dpi, 96);
        if (isButton && !box && !group) width -= ::MulDiv(2 * 3, f.dpi, 96);
        const bool wraps = (isStatic && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP && (style & SS_CENTERIMAGE) == 0) ||
                           (isButton && (style & BS_MULTILINE) != 0);
        RECT need{0, 0, width, 0};
        const UINT prefix = isStatic && (style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0;
        ::DrawTextW(f.dc, text, -1, &need, DT_CALCRECT | prefix | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
        ++f.measured;
        const bool fits = need.right <= width && (group || need.bottom <= client.bottom);
        if (!fits) {
          ++f.cut;
          std::wprintf(L"cut %d %ls needs %ldx%ld has %dx%ld: %ls\n", ::GetDlgCtrlID(control), name, need.right,
                       need.bottom, width, client.bottom, text);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&fit));
  ::SelectObject(screen, old);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, screen);
  std::wprintf(L"measured %d at %d dpi\n", fit.measured, dpi);
  return fit.cut == 0 ? 0 : 3;
}

// The clipboard's Unicode text, as it is; exit code 1 when it holds none.
int Clipboard(TArgs) {
  if (!::OpenClipboard(nullptr)) return 1;
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  const auto* text = data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
  if (text != nullptr) {
    std::wprintf(L"%ls\n", text);
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text != nullptr ? 0 : 1;
}

int ListCount(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  HWND view = window != nullptr ? ::FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr) : nullptr;
  HWND list = view != nullptr ? ::FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
  DWORD_PTR count = 0;
  if (list == nullptr || !::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count)) return 1;
  std::wprintf(L"%lu\n", static_cast<unsigned long>(count));
  return 0;
}

int DialogClick(TArgs args) {
  HWND window = ::FindWindowW(nullptr, args[0]);
  const int id = static_cast<int>(Value(args[1]));
  HWND button = window != nullptr ? ::GetDlgItem(window, id) : nullptr;
  if (button == nullptr && window != nullptr) button = FindControl(window, id);
  if (button == nullptr) return 1;
  ::PostMessageW(button, BM_CLICK, 0, 0);
  return 0;
}

int Close(TArgs args) {
  for (HWND w : TopWindows(args[0], args.size() >= 2 ? args[1] : nullptr, false)) ::PostMessageW(w, WM_CLOSE, 0, 0);
  return 0;
}

int IdleWindow(TArgs args) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QfIdleWindow";
  ::RegisterClassW(&windowClass);
  HWND window = ::CreateWindowExW(0, L"QfIdleWindow", L"idle", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  ::SetTimer(window, 1, Value(args[0]) * 1000, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER) break;
    ::DispatchMessageW(&msg);
  }
  ::DestroyWindow(window);
  return 0;
}

int Menu(TArgs) {
  const auto menus = TopWindows(L"#32768", nullptr, true);
  for (HWND w : menus) {
    RECT r{};
    ::GetWindowRect(w, &r);
    std::wprintf(L"%06llX %ld %ld %ld %ld\n", reinterpret_cast<unsigned long long>(w), r.left, r.top, r.right,
                 r.bottom);
  }
  return menus.empty() ? 1 : 0;
}

int PostWindow(TArgs args) {
  const auto windows = TopWindows(kAgentClass, kAgentCaption, false);
  if (windows.empty()) return 1;
  return ::PostMessageW(windows.front(), Value(args[0]), args.size() >= 2 ? Value(args[1]) : 0, 0) ? 0 : 1;
}

// As any program of the user may: sends a message with parameters of its choosing to the first
// top-level or message-only window of a class, and prints what the window answered.
int SendWindow(TArgs args) {
  HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, args[0], nullptr);
  if (window == nullptr) window = ::FindWindowW(args[0], nullptr);
  if (window == nullptr) return 2;
  DWORD_PTR answer = 0;
  if (::SendMessageTimeoutW(window, Value(args[1]), Value(args[2]), Value(args[3]), SMTO_ABORTIFHUNG, 5000, &answer) ==
      0)
    return 1;
  std::wprintf(L"%llu\n", static_cast<unsigned long long>(answer));
  return 0;
}

int LockFile(TArgs args) {
  const HANDLE file = ::CreateFileW(args[0], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::wprintf(L"locked\n");
  std::fflush(stdout);
  ::Sleep(Value(args[1]) * 1000);
  ::CloseHandle(file);
  return 0;
}

// Maps a library as the loader does for a program that uses it, and keeps it for a while.
int HoldLibrary(TArgs args) {
  const HMODULE library = ::LoadLibraryExW(args[0], nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (library == nullptr) return 1;
  std::wprintf(L"locked\n");
  std::fflush(stdout);
  ::Sleep(Value(args[1]) * 1000);
  ::FreeLibrary(library);
  return 0;
}

int TrustCa(TArgs args) { return TrustCertificate(args[0]); }

int Thread(hook::THookShare& share, TArgs) {
  std::wprintf(L"%lu\n", static_cast<unsigned long>(share.agentThreadId));
  return share.agentThreadId != 0 ? 0 : 1;
}

int Heartbeat(hook::THookShare& share, TArgs) {
  std::wprintf(L"%lu %lu %lu\n", static_cast<unsigned long>(::GetTickCount() - share.heartbeat),
               static_cast<unsigned long>(share.heartbeat), static_cast<unsigned long>(share.flags.installed));
  return 0;
}

int AgeHeartbeat(hook::THookShare& share, TArgs args) {
  std::atomic_ref<std::uint32_t>(share.heartbeat).store(::GetTickCount() - Value(args[0]));
  return 0;
}

int SetMenuOpen(hook::THookShare& share, TArgs args) {
  std::atomic_ref<std::uint32_t>(share.menuOpen).store(Value(args[0]));
  return 0;
}

int Slot(hook::THookShare& share, TArgs args) {
  const unsigned long i = Value(args[0]);
  if (i >= hook::kQueueSlots) return 2;
  std::wprintf(L"%lu\n", static_cast<unsigned long>(std::atomic_ref<std::uint32_t>(share.queue[i].message).load()));
  return 0;
}

// Claims every named slot first, fills them, then publishes them in the order given.
int Queue(hook::THookShare& share, TArgs args) {
  if (args.size() % 4 != 0) return Usage();
  struct TWrite {
    unsigned long slot, message, wParam, lParam;
  };
  std::vector<TWrite> writes;
  for (std::size_t i = 0; i + 3 < args.size(); i += 4)
    writes.push_back({Value(args[i]), Value(args[i + 1]), Value(args[i + 2]), Value(args[i + 3])});
  for (const auto& w : writes) {
    if (w.slot >= hook::kQueueSlots) return 2;
    std::atomic_ref<std::uint32_t>(share.queue[w.slot].message).store(hook::kSlotClaimed);
    share.queue[w.slot].wParam = w.wParam;
    share.queue[w.slot].lParam = w.lParam;
  }
  for (const auto& w : writes) std::atomic_ref<std::uint32_t>(share.queue[w.slot].message).store(w.message);
  return 0;
}

// The path from a hook's slot to the user seeing the menu.
// The agent takes a queued request only for a window under the mouse (or in front) that is of the
// request's kind: the mouse goes to an empty spot of the desktop, and the request is for the
// desktop window there.
int Latency(hook::THookShare& share, TArgs args) {
  if (!TopWindows(L"#32768", nullptr, true).empty()) return 1;
  const POINT at{args.size() >= 2 ? static_cast<LONG>(Value(args[0])) : 5,
                 args.size() >= 2 ? static_cast<LONG>(Value(args[1])) : 1015};
  ::SetCursorPos(at.x, at.y);
  const HWND under = ::WindowFromPoint(at);
  const HWND desktop = under != nullptr ? ::GetAncestor(under, GA_ROOT) : ::GetDesktopWindow();
  const LARGE_INTEGER start = Now();
  if (hook::PushSlot(share, ::RegisterWindowMessageW(L"WM_QFMDESKTOP by Quillrook Folder"),
                     win::HandleToRecord(desktop != nullptr ? desktop : under), 1, 0, 0, 0) < 0)
    return 1;
  return PrintMsUntilMenuShows(start);
}

// The whole path through the hook, from the system's input queue on.
int ClickLatency(TArgs args) {
  if (!TopWindows(L"#32768", nullptr, true).empty()) return 1;
  ::SetCursorPos(static_cast<int>(Value(args[0])), static_cast<int>(Value(args[1])));
  ::Sleep(100);  // the move reaches the window under the cursor before the click
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
  const LARGE_INTEGER start = Now();
  if (::SendInput(2, click, sizeof(INPUT)) != 2) return 1;
  return PrintMsUntilMenuShows(start);
}

// A process's console, joined for reading its text line by line or for typing keys into it
// ("\\r" for Enter); without keys to type, its input's text is read. A console program has a
// console already; it has to leave it to join another.
int Console(TArgs args, bool type) {
  ::FreeConsole();
  if (!::AttachConsole(Value(args[0]))) return 1;
  const HANDLE console = ::CreateFileW(type ? L"CONIN$" : L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  int result = 1;
  if (console != INVALID_HANDLE_VALUE && type && args.size() >= 2) {
    std::vector<INPUT_RECORD> keys;
    for (const wchar_t* c = args[1]; *c; ++c) {
      const bool enter = c[0] == L'\\' && c[1] == L'r';
      for (const BOOL down : {TRUE, FALSE}) {
        INPUT_RECORD key{};
        key.EventType = KEY_EVENT;
        key.Event.KeyEvent.bKeyDown = down;
        key.Event.KeyEvent.wRepeatCount = 1;
        key.Event.KeyEvent.wVirtualKeyCode = enter ? VK_RETURN : 0;
        key.Event.KeyEvent.uChar.UnicodeChar = enter ? L'\r' : *c;
        keys.push_back(key);
      }
      if (enter) ++c;
    }
    DWORD written = 0;
    result = ::WriteConsoleInputW(console, keys.data(), static_cast<DWORD>(keys.size()), &written) ? 0 : 1;
  } else if (console != INVALID_HANDLE_VALUE) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ::GetConsoleScreenBufferInfo(console, &info);
    // A row filled to the last column goes on in the next one: the two are one line.
    std::vector<wchar_t> row(static_cast<std::size_t>(info.dwSize.X));
    std::wstring line;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
      DWORD read = 0;
      ::ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), {0, y}, &read);
      std::wstring part(row.data(), read);
      while (!part.empty() && part.back() == L' ') part.pop_back();
      line += part;
      if (part.size() == row.size() && y < info.dwCursorPosition.Y) continue;
      std::wprintf(L"%ls\n", line.c_str());
      line.clear();
    }
    result = 0;
  }
  if (console != INVALID_HANDLE_VALUE) ::CloseHandle(console);
  ::FreeConsole();
  return result;
}

int ConsoleRead(TArgs args) { return Console(args, false); }
int ConsoleType(TArgs args) { return Console(args, true); }

// As programs with the hook loaded do between agents.
int Hold(hook::THookShare&, TArgs args) {
  std::fputs("held\n", stdout);
  std::fflush(stdout);
  ::Sleep(Value(args[0]) * 1000);
  return 0;
}

int PostThread(hook::THookShare& share, TArgs args) {
  const unsigned long wParam = args.size() >= 2 ? Value(args[1]) : 0;
  const unsigned long lParam = args.size() >= 3 ? Value(args[2]) : 0;
  return ::PostThreadMessageW(share.agentThreadId, Value(args[0]), wParam, lParam) ? 0 : 1;
}

struct TCommand {
  const wchar_t* name;
  std::size_t minimum;  // arguments it needs; with fewer, the usage is printed
  const wchar_t* arguments;
  const wchar_t* description;
  int (*run)(TArgs);
};

// MSG and other numbers are decimal, 0x-hexadecimal, or a hook message name ("WM_QFMDIALOG").
constexpr TCommand kCommands[] = {
    {L"agent", 0, L"", L"how many agent windows there are, and the first one's handle and process id", Agent},
    {L"thread", 0, L"", L"the agent's thread id from the shared record", WithRecord<Thread>},
    {L"heartbeat", 0, L"", L"the hook's heartbeat: its age in ms, its tick and whether the hook is installed",
     WithRecord<Heartbeat>},
    {L"age-heartbeat", 1, L"MS", L"makes the heartbeat look MS old, as if the hook had stopped working",
     WithRecord<AgeHeartbeat>},
    {L"set-menu-open", 1, L"0|1", L"sets the shared record's menu-open flag", WithRecord<SetMenuOpen>},
    {L"slot", 1, L"N", L"the message waiting in queue slot N (0: free)", WithRecord<Slot>},
    {L"queue", 4, L"N MSG WPARAM LPARAM [N MSG WPARAM LPARAM ...]",
     L"claims and fills the slots, then publishes them in the order given", WithRecord<Queue>},
    {L"post-thread", 1, L"MSG [WPARAM [LPARAM]]", L"posts a thread message to the agent's thread",
     WithRecord<PostThread>},
    {L"post-window", 1, L"MSG [WPARAM]", L"posts a message to the agent's window", PostWindow},
    {L"send-window", 4, L"CLASS MSG WPARAM LPARAM",
     L"sends a message to the first top-level or message-only window of a class", SendWindow},
    {L"hold", 1, L"SECONDS", L"keeps the shared record mapped for a while, printing \"held\" once it does",
     WithRecord<Hold>},
    {L"windows", 1, L"CLASS [TITLE]", L"top-level windows of a class: handle, visibility and screen rectangle",
     Windows},
    {L"client", 1, L"TITLE", L"the screen rectangle of a top-level window's client area", Client},
    {L"close", 1, L"CLASS [TITLE]", L"asks every top-level window of a class to close", Close},
    {L"focus", 1, L"TITLE", L"whether the window is in front, and the class and id of the focus in its thread", Focus},
    {L"menu", 0, L"", L"visible popup menus with their screen rectangles", Menu},
    {L"menu-keys", 1, L"VK...", L"presses keys in the open popup menu", MenuKeys},
    {L"latency", 0, L"[X Y]",
     L"queues a folder-menu request for the desktop at X,Y (5,1015) and prints the ms until a menu shows",
     WithRecord<Latency>},
    {L"click-latency", 2, L"X Y", L"a real middle click at X,Y and the ms until a menu shows", ClickLatency},
    {L"pick-latency", 4, L"TITLE ID TEXT VK...",
     L"picks in the open menu with the keys and prints the ms until control ID of the window reads TEXT", PickLatency},
    {L"key-latency", 4, L"TITLE ID TEXT VK",
     L"presses Ctrl+VK through the system's input and prints the ms until the control shows TEXT", KeyLatency},
    {L"dialog-text", 3, L"TITLE CLASS TEXT", L"sets the text of the window's first child of a class", DialogText},
    {L"dialog-click", 2, L"TITLE ID", L"clicks a button of a dialog or of one of its pages", DialogClick},
    {L"control-text", 2, L"TITLE ID", L"the text of an edit box (else any control) of that id below the window",
     ControlText},
    {L"menuchar-latency", 3, L"VK TITLE ID",
     L"types a letter in the open menu and prints the ms until that window's list view shows rows", MenuCharLatency},
    {L"control-keys", 3, L"TITLE ID VK...", L"posts keys to an edit box (else any control) of that id", ControlKeys},
    {L"control-set", 3, L"TITLE ID TEXT", L"sets the text of an edit box (else any control) of that id", ControlSet},
    {L"control-at", 2, L"TITLE ID", L"a control's centre and screen rectangle (2: no such control)", ControlAt},
    {L"control-state", 2, L"TITLE ID", L"a control's visibility, and a hot-key control's key and modifiers",
     ControlState},
    {L"list-items", 2, L"TITLE ID", L"the items of a list box, one a line", ListItems},
    {L"checked", 2, L"TITLE ID", L"exit code 0 when the check box is checked, 1 when not", Checked},
    {L"tab-at", 3, L"TITLE ID INDEX", L"the screen point at the centre of a tab of a tab control", TabAt},
    {L"clipboard", 0, L"", L"the clipboard's text", Clipboard},
    {L"text-fit", 1, L"TITLE", L"every label of a dialog measured against its size: the cut ones and a count", TextFit},
    {L"list-count", 1, L"TITLE", L"how many items the window's file list shows", ListCount},
    {L"idle-window", 1, L"SECONDS", L"one hidden window pumping messages for a while (the memory yardstick)",
     IdleWindow},
    {L"atom", 1, L"TEXT", L"whether a global atom of that name exists, and its number", Atom},
    {L"atom-add", 1, L"TEXT", L"adds a global atom and prints its number", AtomAdd},
    {L"recent", 1, L"PATH", L"puts a file into the shell's recent documents", Recent},
    {L"hotkey-free", 2, L"MOD VK", L"whether nobody holds the hot key", HotkeyFree},
    {L"elevation-task", 1, L"register|exists", L"makes, or looks for, the user's elevation task", ElevationTaskCommand},
    {L"lock-file", 2, L"PATH SECONDS", L"holds a file open, shared with nobody, printing \"locked\"", LockFile},
    {L"hold-library", 2, L"PATH SECONDS", L"maps a library as a program using it does and holds it", HoldLibrary},
    {L"trust-ca", 1, L"FILE", L"adds a certificate (PEM or DER) to the user's trusted root authorities", TrustCa},
    {L"console-read", 1, L"PID", L"the text of a process's console, line by line", ConsoleRead},
    {L"console-type", 1, L"PID [TEXT]", L"types keys into a process's console (\"\\r\" for Enter)", ConsoleType},
};

int Usage() {
  std::fwprintf(stderr, L"usage: qftool COMMAND [ARGUMENTS]\n");
  for (const TCommand& command : kCommands) {
    const std::wstring call = std::wstring(command.name) + L" " + command.arguments;
    std::fwprintf(stderr, L"  %-52ls %ls\n", call.c_str(), command.description);
  }
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const TArgs args(argv + 2, static_cast<std::size_t>(argc - 2));
  for (const TCommand& command : kCommands)
    if (std::wcscmp(argv[1], command.name) == 0) return args.size() >= command.minimum ? command.run(args) : Usage();
  return Usage();
}
