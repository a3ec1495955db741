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
      mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, hook::kShareSize,
                                     hook::kShareName);
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
  if (text.rfind(L"WM_", 0) == 0)
    return ::RegisterWindowMessageW((text + hook::kMessageSuffix).c_str());
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

int Usage() {
  std::fwprintf(stderr,
                L"usage: qftool agent | thread | slot N | queue N MSG WPARAM LPARAM [N MSG WPARAM LPARAM ...]\n"
                L"       | post-thread MSG [WPARAM [LPARAM]] | post-window MSG [WPARAM] | add-folder TEXT\n"
                L"       | menu | menu-keys VK... | pick-latency TITLE ID TEXT VK... | dialog-text TITLE CLASS TEXT | dialog-click TITLE ID\n"
                L"       | control-text TITLE ID | control-set TITLE ID TEXT | list-count TITLE | close CLASS [TITLE]\n"
                L"       | hold SECONDS | idle-window SECONDS | atom TEXT | recent PATH\n"
                L"       | hotkey-free MOD VK | elevation-task register|exists | lock-file PATH SECONDS | trust-ca FILE\n"
                L"       | control-state TITLE ID | windows CLASS [TITLE] | heartbeat | age-heartbeat MS\n"
                L"       | set-menu-open 0|1 | latency\n"
                L"       | click-latency X Y | console-read PID | console-type PID TEXT\n");
  return 2;
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
      if (SUCCEEDED(service->NewTask(0, &definition)) &&
          SUCCEEDED(root->RegisterTaskDefinition(name, definition, TASK_CREATE_OR_UPDATE, empty, empty,
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring command = argv[1];
  if (command == L"agent") {
    // How many agent windows there are, and the first one's handle and process id.
    const auto windows = TopWindows(kAgentClass, kAgentCaption, false);
    DWORD pid = 0;
    if (!windows.empty()) ::GetWindowThreadProcessId(windows.front(), &pid);
    std::wprintf(L"%u %llX %lu\n", static_cast<unsigned>(windows.size()),
                 windows.empty() ? 0ULL : reinterpret_cast<unsigned long long>(windows.front()), pid);
    return windows.empty() ? 1 : 0;
  }
  if (command == L"elevation-task" && argc >= 3) return ElevationTask(argv[2]);
  if (command == L"windows" && argc >= 3) {
    const auto windows = TopWindows(argv[2], argc >= 4 ? argv[3] : nullptr, false);
    for (HWND w : windows) {
      RECT r{};
      ::GetWindowRect(w, &r);
      std::wprintf(L"%06llX %d %ld %ld %ld %ld\n", reinterpret_cast<unsigned long long>(w),
                   ::IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right, r.bottom);
    }
    return windows.empty() ? 1 : 0;
  }
  if (command == L"client" && argc >= 3) {
    // The screen rectangle of a top-level window's client area, found by its title.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    RECT r{};
    if (window == nullptr || !::GetClientRect(window, &r)) return 1;
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    std::wprintf(L"%ld %ld %ld %ld\n", origin.x, origin.y, origin.x + r.right, origin.y + r.bottom);
    return 0;
  }
  if (command == L"recent" && argc >= 3) {
    // Puts a file into the shell's recent documents, as opening it in a program does.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    LPITEMIDLIST item = nullptr;
    const bool parsed = SUCCEEDED(::SHParseDisplayName(argv[2], nullptr, &item, 0, nullptr));
    if (parsed) ::SHAddToRecentDocs(SHARD_PIDL, item);
    ::CoTaskMemFree(item);
    ::CoUninitialize();
    return parsed ? 0 : 1;
  }
  if ((command == L"control-at" || command == L"checked") && argc >= 4) {
    // A control anywhere below a window found by its title: the screen point at its centre and
    // its rectangle, or whether a check box is checked (exit code 0 checked, 1 not).
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND control = window != nullptr ? FindControl(window, static_cast<int>(Value(argv[3]))) : nullptr;
    if (control == nullptr) return 2;
    if (command == L"checked") {
      DWORD_PTR state = 0;
      ::SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
      return state == BST_CHECKED ? 0 : 1;
    }
    RECT r{};
    ::GetWindowRect(control, &r);
    std::wprintf(L"%ld %ld %ld %ld %ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2, r.left, r.top, r.right,
                 r.bottom);
    return 0;
  }
  if (command == L"control-state" && argc >= 4) {
    // A control below a window found by its title: whether it is visible, and for a hot-key
    // control its key and modifiers (HKM_GETHOTKEY), else 0 0.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND control = window != nullptr ? FindControl(window, static_cast<int>(Value(argv[3]))) : nullptr;
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
  if (command == L"tab-at" && argc >= 5) {
    // The screen point at the centre of a tab of a tab control below a window found by its title.
    // The control answers into memory of its own process, read back from there.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND tabs = window != nullptr ? FindControl(window, static_cast<int>(Value(argv[3]))) : nullptr;
    if (tabs == nullptr) return 2;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(tabs, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return 1;
    void* remote = ::VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    RECT r{};
    DWORD_PTR found = 0;
    const bool read = remote != nullptr &&
                      ::SendMessageTimeoutW(tabs, TCM_GETITEMRECT, Value(argv[4]), reinterpret_cast<LPARAM>(remote),
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
  if (command == L"hotkey-free" && argc >= 4) {
    // Whether a hot key (modifiers, virtual key) is free: another program holding it refuses it here.
    const int id = 0x7001;
    if (!::RegisterHotKey(nullptr, id, Value(argv[2]), Value(argv[3]))) return 1;
    ::UnregisterHotKey(nullptr, id);
    return 0;
  }
  if (command == L"atom" && argc >= 3) {
    // Whether a global atom of that name exists: a folder handed to the agent that nobody took.
    return ::GlobalFindAtomW(argv[2]) != 0 ? 0 : 1;
  }
  if (command == L"focus" && argc >= 3) {
    // For a top-level window found by its title: whether it is the foreground window, and the
    // class and control id of the window that has the keyboard focus in its thread's input.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (window == nullptr || !::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return 1;
    wchar_t name[64] = L"-";
    if (info.hwndFocus != nullptr) ::GetClassNameW(info.hwndFocus, name, 64);
    std::wprintf(L"%d %ls %d\n", ::GetForegroundWindow() == window ? 1 : 0, name,
                 info.hwndFocus != nullptr ? ::GetDlgCtrlID(info.hwndFocus) : 0);
    return 0;
  }
  if (command == L"menu-keys" && argc >= 3) {
    // Presses keys in the open popup menu, as a user at the keyboard would (virtual-key codes).
    const auto menus = TopWindows(L"#32768", nullptr, true);
    if (menus.empty()) return 1;
    for (int i = 2; i < argc; ++i) {
      PressKey(menus.back(), Value(argv[i]));
      ::Sleep(50);
    }
    return 0;
  }
  if (command == L"pick-latency" && argc >= 6) {
    // Picks in the open folder menu with the keys given and times, in ms, from the last key (the
    // pick itself) until a control of a window found by its title (a direct child, by id) reads
    // TEXT: from the user's pick to the target showing the chosen folder.
    const auto menus = TopWindows(L"#32768", nullptr, true);
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND control = window != nullptr ? ::GetDlgItem(window, static_cast<int>(Value(argv[3]))) : nullptr;
    if (menus.empty() || control == nullptr) return 1;
    LARGE_INTEGER frequency{}, start{}, now{};
    ::QueryPerformanceFrequency(&frequency);
    for (int i = 5; i < argc; ++i) {
      if (i + 1 == argc) ::QueryPerformanceCounter(&start);
      PressKey(menus.back(), Value(argv[i]));
      if (i + 1 < argc) ::Sleep(50);
    }
    for (;;) {
      wchar_t text[1024] = {};
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                            &ignored);
      ::QueryPerformanceCounter(&now);
      const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
      if (std::wcscmp(text, argv[4]) == 0) {
        std::wprintf(L"%.1f\n", ms);
        return 0;
      }
      if (ms > 10000) return 1;
      ::Sleep(1);
    }
  }
  if (command == L"dialog-text" && argc >= 5) {
    // Types a text into the first child of a class in a top-level window found by its title.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND child = window != nullptr ? ::FindWindowExW(window, nullptr, argv[3], nullptr) : nullptr;
    if (child == nullptr) return 1;
    ::SendMessageTimeoutW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_ABORTIFHUNG, 2000, nullptr);
    return 0;
  }
  if ((command == L"control-text" && argc >= 4) || (command == L"control-set" && argc >= 5)) {
    // Reads, or sets, the text of an edit box found by its control id anywhere below a window
    // found by its title (a dialog's file-name box sits inside combo boxes), else of any control
    // of that id (a label).
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND edit = window != nullptr ? FindEdit(window, static_cast<int>(Value(argv[3]))) : nullptr;
    if (edit == nullptr && window != nullptr) edit = FindControl(window, static_cast<int>(Value(argv[3])));
    if (edit == nullptr) return 1;
    DWORD_PTR ignored = 0;
    if (command == L"control-set")
      return ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_ABORTIFHUNG, 2000,
                                   &ignored) != 0
                 ? 0
                 : 1;
    wchar_t text[1024] = {};
    ::SendMessageTimeoutW(edit, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
    std::wprintf(L"%ls\n", text);
    return 0;
  }
  if (command == L"list-count" && argc >= 3) {
    // How many items the first list view below a window found by its title shows.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    HWND view = window != nullptr ? ::FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr) : nullptr;
    HWND list = view != nullptr ? ::FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
    DWORD_PTR count = 0;
    if (list == nullptr ||
        !::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count))
      return 1;
    std::wprintf(L"%lu\n", static_cast<unsigned long>(count));
    return 0;
  }
  if (command == L"dialog-click" && argc >= 4) {
    // Clicks a button of a dialog by its control id, hidden ones too; one of a page of the dialog
    // when the dialog itself has none of that id.
    HWND window = ::FindWindowW(nullptr, argv[2]);
    const int id = static_cast<int>(Value(argv[3]));
    HWND button = window != nullptr ? ::GetDlgItem(window, id) : nullptr;
    if (button == nullptr && window != nullptr) button = FindControl(window, id);
    if (button == nullptr) return 1;
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"close" && argc >= 3) {
    // Asks every top-level window of a class to close, as its close button would.
    for (HWND w : TopWindows(argv[2], argc >= 4 ? argv[3] : nullptr, false)) ::PostMessageW(w, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"idle-window" && argc >= 3) {
    // The smallest Wine window program: one hidden window pumping messages for some seconds,
    // the yardstick for the agent's memory.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QfIdleWindow";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, L"QfIdleWindow", L"idle", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    ::SetTimer(window, 1, Value(argv[2]) * 1000, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_TIMER) break;
      ::DispatchMessageW(&msg);
    }
    ::DestroyWindow(window);
    return 0;
  }
  if (command == L"menu") {
    // Visible popup menus (class "#32768") with their screen rectangles.
    const auto menus = TopWindows(L"#32768", nullptr, true);
    for (HWND w : menus) {
      RECT r{};
      ::GetWindowRect(w, &r);
      std::wprintf(L"%06llX %ld %ld %ld %ld\n", reinterpret_cast<unsigned long long>(w), r.left, r.top, r.right,
                   r.bottom);
    }
    return menus.empty() ? 1 : 0;
  }
  if (command == L"post-window" && argc >= 3) {
    const auto windows = TopWindows(kAgentClass, kAgentCaption, false);
    if (windows.empty()) return 1;
    return ::PostMessageW(windows.front(), Value(argv[2]), argc >= 4 ? Value(argv[3]) : 0, 0) ? 0 : 1;
  }
  if (command == L"lock-file" && argc >= 4) {
    // Holds a file open for a while, shared with nobody, as a program that has it open would.
    const HANDLE file = ::CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::wprintf(L"locked\n");
    std::fflush(stdout);
    ::Sleep(Value(argv[3]) * 1000);
    ::CloseHandle(file);
    return 0;
  }
  if (command == L"trust-ca" && argc >= 3) {
    // Adds a certificate (PEM or DER file) to the current user's trusted root authorities.
    return TrustCertificate(argv[2]);
  }

  TRecord record;
  if (record.share == nullptr) return 1;
  hook::THookShare& share = *record.share;
  if (command == L"thread") {
    std::wprintf(L"%lu\n", static_cast<unsigned long>(share.agentThreadId));
    return share.agentThreadId != 0 ? 0 : 1;
  }
  if (command == L"heartbeat") {
    std::wprintf(L"%lu %lu %lu\n", static_cast<unsigned long>(::GetTickCount() - share.heartbeat),
                 static_cast<unsigned long>(share.heartbeat), static_cast<unsigned long>(share.flags.installed));
    return 0;
  }
  if (command == L"age-heartbeat" && argc >= 3) {
    // Makes the heartbeat look as old as given (ms), as if the hook had stopped working.
    std::atomic_ref<std::uint32_t>(share.heartbeat).store(::GetTickCount() - Value(argv[2]));
    return 0;
  }
  if (command == L"set-menu-open" && argc >= 3) {
    std::atomic_ref<std::uint32_t>(share.menuOpen).store(Value(argv[2]));
    return 0;
  }
  if (command == L"slot" && argc >= 3) {
    const unsigned long i = Value(argv[2]);
    if (i >= hook::kQueueSlots) return 2;
    std::wprintf(L"%lu\n", static_cast<unsigned long>(std::atomic_ref<std::uint32_t>(share.queue[i].message).load()));
    return 0;
  }
  if (command == L"queue" && argc >= 6 && (argc - 2) % 4 == 0) {
    // Claims every named slot first, fills them, then publishes them in the order given.
    struct TWrite {
      unsigned long slot, message, wParam, lParam;
    };
    std::vector<TWrite> writes;
    for (int i = 2; i + 3 < argc; i += 4)
      writes.push_back({Value(argv[i]), Value(argv[i + 1]), Value(argv[i + 2]), Value(argv[i + 3])});
    for (const auto& w : writes) {
      if (w.slot >= hook::kQueueSlots) return 2;
      std::atomic_ref<std::uint32_t>(share.queue[w.slot].message).store(hook::kSlotClaimed);
      share.queue[w.slot].wParam = w.wParam;
      share.queue[w.slot].lParam = w.lParam;
    }
    for (const auto& w : writes) std::atomic_ref<std::uint32_t>(share.queue[w.slot].message).store(w.message);
    return 0;
  }
  if (command == L"latency") {
    // Queues a folder-menu request for the agent's own window and times, in ms, until a menu
    // is visible: the path from a hook's slot to the user seeing the menu.
    const auto agents = TopWindows(kAgentClass, kAgentCaption, false);
    if (agents.empty() || !TopWindows(L"#32768", nullptr, true).empty()) return 1;
    const LARGE_INTEGER start = Now();
    const auto handle = win::HandleToRecord(agents.front());
    if (hook::PushSlot(share, ::RegisterWindowMessageW(L"WM_QFMDESKTOP by Quillrook Folder"), handle, 1, 0, 0, 0) < 0)
      return 1;
    return PrintMsUntilMenuShows(start);
  }
  if (command == L"click-latency" && argc >= 4) {
    // A real middle click at X,Y through the system's input queue, as the user's mouse makes
    // it, timed in ms until a menu is visible: the whole path through the hook.
    if (!TopWindows(L"#32768", nullptr, true).empty()) return 1;
    ::SetCursorPos(static_cast<int>(Value(argv[2])), static_cast<int>(Value(argv[3])));
    ::Sleep(100);  // the move reaches the window under the cursor before the click
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
    const LARGE_INTEGER start = Now();
    if (::SendInput(2, click, sizeof(INPUT)) != 2) return 1;
    return PrintMsUntilMenuShows(start);
  }
  if ((command == L"console-read" || command == L"console-type") && argc >= 3) {
    // The text of a process's console, line by line, or keys typed into it ("\\r" for Enter).
    // A console program has a console already; it has to leave it to join another.
    ::FreeConsole();
    if (!::AttachConsole(Value(argv[2]))) return 1;
    const wchar_t* device = command == L"console-read" ? L"CONOUT$" : L"CONIN$";
    const HANDLE console = ::CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
    int result = 1;
    if (console != INVALID_HANDLE_VALUE && command == L"console-type" && argc >= 4) {
      std::vector<INPUT_RECORD> keys;
      for (const wchar_t* c = argv[3]; *c; ++c) {
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
  if (command == L"hold" && argc >= 3) {
    // Keeps the record mapped for a while, as programs with the hook loaded do between agents,
    // and says so once it holds it.
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    ::Sleep(Value(argv[2]) * 1000);
    return 0;
  }
  if (command == L"post-thread" && argc >= 3) {
    const unsigned long wParam = argc >= 4 ? Value(argv[3]) : 0;
    const unsigned long lParam = argc >= 5 ? Value(argv[4]) : 0;
    return ::PostThreadMessageW(share.agentThreadId, Value(argv[2]), wParam, lParam) ? 0 : 1;
  }
  return Usage();
}
