#include "core/main_window.h"

#include <cassert>
#include <utility>

#include "core/global_exception.h"
#include "core/hook_client.h"
#include "core/startup.h"
#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "navigation/target_kind.h"
#include "navigation/window_front.h"
#include "settings/settings_registry.h"
#include "resource.h"

bool TQuillFolder::Create(HINSTANCE instance) {
  instance_ = instance;
  icon_.reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  windowClass.hIconSm = icon_.get();
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kMainWindowClass;
  if (!::RegisterClassExW(&windowClass)) {
    CommonLogErrorEvent(L"QuillFolder.Create", L"RegisterClass fail", L"", ::GetLastError(), false);
    return false;
  }
  if (!images_.Load(instance))
    CommonLogErrorEvent(L"QuillFolder.LoadMenus", L"menu images missing", L"", ::GetLastError(), false);
  trayMenuBar_.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAYMENU)));
  PopupMenu1 = ::GetSubMenu(trayMenuBar_.get(), 0);
  ApplyCommandImages(PopupMenu1, images_);
  if (!PopupMenu2.Load(instance))
    CommonLogErrorEvent(L"QuillFolder.LoadMenus", L"folder menu missing", L"", ::GetLastError(), false);
  // A hidden top-level window rather than a message-only one: other processes find the agent by
  // class and caption, and the shell's "TaskbarCreated" broadcast reaches only top-level windows.
  {
    const win::TWindowCreation creation(this);
    window_ = ::CreateWindowExW(0, kMainWindowClass, kMainWindowCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 300, 200, nullptr, nullptr, instance, nullptr);
  }
  if (window_ == nullptr) {
    CommonLogErrorEvent(L"QuillFolder.Create", L"CreateWindow fail", L"", ::GetLastError(), false);
    return false;
  }
  bool created = false;
  Guarded(L"QuillFolder.FormCreate", [&] { created = FormCreate(); });
  if (!created) {
    closing_ = true;
    ::DestroyWindow(window_);
    return false;
  }
  FormShow();
  return true;
}

int TQuillFolder::Run() {
  MSG msg;
  int result = 0;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      result = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) break;
    // Requests that reached a modal loop of ours were kept for this moment, in their order.
    for (const MSG& kept : requests_.Take())
      GuardedCallback(L"QuillFolder.WMHandler", [&] { ApplicationMessage(kept); });
    GuardedCallback(L"QuillFolder.WMHandler", [&] { ApplicationMessage(msg); });
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  closing_ = true;
  if (window_ != nullptr) ::DestroyWindow(window_);
  return result;
}

LRESULT CALLBACK TQuillFolder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<TQuillFolder*>(win::TWindowCreation::Take(window));
    // Sent again, by another program: nothing of it is read, not even by the default procedure.
    if (created == nullptr) return 0;
    created->window_ = window;
  }
  auto* self = reinterpret_cast<TQuillFolder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  if (GuardedCallback(L"QuillFolder.WndProc", [&] { result = self->OnMessage(message, wParam, lParam); }))
    return result;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TQuillFolder::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  assert(::GetCurrentThreadId() == mainThreadId_ || mainThreadId_ == 0);  // one UI thread owns the window
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimer4 && hookPump_) hookPump_->OnTimer();
      if (wParam == kTimer4 && jump_) jump_->OnTick();
      if (wParam == kTimer1) PopupMenu2.OnTimer(kTimer1);
      return 0;
    case WM_QFTRAYICON:
      OnTrayIcon(lParam);
      return 0;
    case WM_MEASUREITEM:
      // The menus' images are drawn by their owner, with alpha (see TMenuImages).
      if (images_.MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (images_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_MENUCHAR:
      // A letter that is no item's mnemonic: the folder menu closes, and the search box opens with
      // it typed.
      if (folderMenuUp_ && LOWORD(wParam) > L' ') {
        searchTyped_.assign(1, static_cast<wchar_t>(LOWORD(wParam)));
        return MAKELRESULT(0, MNC_CLOSE);
      }
      break;
    case WM_INITMENUPOPUP:
      // TrackPopupMenu asks its owner window just before a submenu shows: "Open Folders" is read then.
      if (PopupMenu2.OnInitMenuPopup(reinterpret_cast<HMENU>(wParam))) return 0;
      break;
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      // The apps colour setting, high contrast or the theme may have changed: the look follows.
      if (dialogs_) dialogs_->FollowSystemLook();
      break;
    case WM_SYSCOMMAND:
      // The window is never shown: minimising it must not bring it up on the taskbar.
      if ((wParam & 0xFFF0) == SC_MINIMIZE) return 0;
      break;
    case WM_ENDSESSION:
      // The session ends, or another program says it does: the agent finishes its work and ends
      // whole, never left running half stopped.
      if (wParam) {
        FormDestroy();
        TerminateApplication();
      }
      return 0;
    case WM_CLOSE:
      // Closed from outside (a task manager, an installer): as the tray's "Exit".
      CommonLogRunEvent(L"QuillFolder.FormClose");
      TerminateApplication();
      return 0;
    case WM_DESTROY:
      // The window is destroyed only by the agent's own call, at the end of its loop; the message
      // that another program sends or posts destroys nothing.
      if (!closing_) {
        CommonLogRunEvent(L"QuillFolder.WMHandler", L"WM_DESTROY from outside ignored");
        return 0;
      }
      FormDestroy();
      window_ = nullptr;
      return 0;
    default:
      if (trayIcon_ && trayIcon_->OnBroadcast(message)) return 0;
      if (HandleTestMessage(message, wParam)) return 0;
      if (message == WakeMessage && WakeMessage != 0 && hookPump_) hookPump_->OnWake();
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

void TQuillFolder::ApplicationMessage(const MSG& msg) {
  if (msg.message == WM_QFADDFOLDER && WM_QFADDFOLDER != 0) {
    if (const std::optional<std::wstring> folder = TakePassedFolder(msg.wParam)) {
      CommonLogRunEvent(L"QuillFolder.WMHandler", L"WM_QFADDFOLDER recive: " + *folder);
      AddListMenu(*folder);
    }
    return;
  }
  switch (msg.message) {
    case WM_QFTRAYMENU:
      ShowMenu();
      break;
    case WM_HOTKEY:
      if (msg.hwnd == window_ && msg.wParam == TExplorerJump::kHotKeyId) {
        if (jump_) jump_->OnHotKey();
        break;
      }
      if (msg.hwnd == window_ && msg.wParam == TAgentDialogs::kSearchHotKeyId) {
        ShowSearch(nullptr);
        break;
      }
      if (msg.hwnd == window_ && msg.wParam == TAgentDialogs::kDetailsHotKeyId) {
        // The window under the mouse, which need not be the one in front.
        POINT cursor{};
        ::GetCursorPos(&cursor);
        dialogs_->CopyWindowDetails(window_, ::WindowFromPoint(cursor), hookPump_->OwnDialogs());
        break;
      }
      ShowHot(nullptr);
      break;
    case WM_QFFOLDERMENU:
      ShowHot(nullptr);
      break;
    case WM_QFOPTIONS:
      Settings1Click(TSett::kFoldersPage);
      break;
    default:
      break;
  }
}

bool TQuillFolder::FormCreate() {
  CommonLogRunEvent(L"QuillFolder.FormCreate", L"begin");
  mainThreadId_ = ::GetCurrentThreadId();
  CommonInit();
  // Programs of any integrity may wake the agent: the wake only makes it look at the queue.
  ::ChangeWindowMessageFilterEx(window_, WakeMessage, MSGFLT_ALLOW, nullptr);
  requests_.Keep(WM_QFADDFOLDER);
  requests_.Keep(WM_QFOPTIONS);
  requests_.ServeAtOnce([this](const MSG& msg) { return ServeOptionsRequest(msg); });
  LoadStoreAndSettings();

  wchar_t tip[128] = {};
  ::LoadStringW(instance_, IDS_TRAYTIP, tip, static_cast<int>(std::size(tip)));
  trayIcon_ = std::make_unique<TTrayIcon>(window_, WM_QFTRAYICON, icon_.get(), tip);
  trayIcon_->Show(Settings.ShowTray);
  dialogs_ = std::make_unique<TAgentDialogs>(instance_);
  dialogs_->FollowSystemLook();
  RegisterHotKey();
  hookPump_ = std::make_unique<THookPump>(
      window_, kTimer4, [this] { return SetHook(mainThreadId_, Settings, hookPump_->OwnDialogs()); },
      [] { RemoveHook(); }, [this](HWND target, int kind) { ShowPath(target, kind); });
  hookPump_->SetOwnDialogs(LoadOwnDialogs());
  if (!hookPump_->Start()) {
    CommonLogErrorEvent(L"QuillFolder.FormCreate", L"SetHook fail", L"", ::GetLastError(), false);
    return false;
  }
  jump_ = std::make_unique<TExplorerJump>(window_, mainThreadId_);
  jump_->Apply(Settings);
  hookPump_->ListenToForeground([this](HWND window, int kind) { jump_->OnForeground(window, kind); });
  // The store is loaded before the command line's folder is added: against empty lists a folder
  // that is a favourite already would be asked about and added once more.
  PopupMenu2.UpdateListMenu();
  AddListMenu(CommandLineFolder);
  PopupMenu2.StartRecent(window_, kTimer1);
  ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  return true;
}

void TQuillFolder::FormShow() { trayIcon_->Show(Settings.ShowTray); }

void TQuillFolder::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  FinishAgent();
  PopupMenu2.StopRecent();
  if (hookPump_) hookPump_->Stop();
  jump_.reset();
  if (trayIcon_) trayIcon_->Show(false);
  if (hotKeyRegistered_) ::UnregisterHotKey(window_, kHotKeyId);
  hotKeyRegistered_ = false;
  if (dialogs_) dialogs_->RegisterToolKeys(window_, 0, 0);
}

void TQuillFolder::OnTrayIcon(LPARAM lParam) {
  switch (trayIcon_->Decode(lParam)) {
    case TTrayIcon::TEvent::Menu:
      ShowMenu();
      break;
    case TTrayIcon::TEvent::Select:
      // TrayIconClick: the folder menu for the foreground window.
      ShowHot(nullptr);
      break;
    case TTrayIcon::TEvent::None:
      break;
  }
}

void TQuillFolder::ShowMenu() {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  trayForeground_ = ::GetForegroundWindow();
  // The tray menu shares the images, and is measured anew when their size changed.
  if (const int size = PopupMenu2.SizeImagesAt(cursor); size != trayImageSize_) {
    trayImageSize_ = size;
    RemeasureMenu(PopupMenu1);
  }
  MoveWindowToFront(window_);
  const UINT command = static_cast<UINT>(
      ::TrackPopupMenu(PopupMenu1, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr));
  ::PostMessageW(window_, WM_NULL, 0, 0);
  if (command != 0) RunCommand(command);
}

void TQuillFolder::ShowHot(HWND window) {
  if (window == nullptr) window = ::GetForegroundWindow();
  // Nothing has the foreground for a moment after a window closes: the desktop is then the
  // window the user sees, and the menu is for it.
  if (window == nullptr) window = ::GetShellWindow();
  if (window == nullptr) window = ::GetDesktopWindow();
  // A frame the shell's list names is from now on Explorer's for the middle click too.
  ShowPath(window, hookPump_->ClassifyNamingFrame(window));
}

void TQuillFolder::ShowSearch(HWND window) {
  if (window == nullptr || !::IsWindow(window) || window == window_) window = ::GetForegroundWindow();
  if (window == nullptr || window == window_) window = ::GetShellWindow();
  if (window == nullptr) window = ::GetDesktopWindow();
  BeginMenuFor(window, hookPump_->ClassifyNamingFrame(window));
  dialogs_->Search(PopupMenu2, L"", Settings.OpenFolders);
}

void TQuillFolder::ShowPath(HWND window, int kind) {
  if (window == nullptr) {
    CommonLogErrorEvent(L"ShowPath", L"W = 0", L"", ::GetLastError(), true);
    return;
  }
  BeginMenuFor(window, kind);
  searchTyped_.clear();
  const UINT command = ShowFolderMenu();
  if (command == 0 && !searchTyped_.empty()) {
    const std::wstring typed = std::exchange(searchTyped_, std::wstring());
    dialogs_->Search(PopupMenu2, typed, Settings.OpenFolders);
    return;
  }
  // The pick runs with the target's input let go: the command attaches by itself where it
  // focuses or types, and a dialog it opens is the agent's own.
  if (command != 0) RunCommand(command);
}

void TQuillFolder::BeginMenuFor(HWND window, int kind) {
  const TOwnDialog* entry = kind == tkOwnDialog ? hookPump_->OwnDialogFor(window) : nullptr;
  // An entry gone since the trigger (the options saved meanwhile): the window is no more than that.
  if (kind == tkOwnDialog && entry == nullptr) kind = tkDesktop;
  PopupMenu2.Begin(window, kind, entry);
}

UINT TQuillFolder::ShowFolderMenu() {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  PopupMenu2.SizeImagesAt(cursor);
  TTargetInputAttachment attachment(PopupMenu2.Target().window, mainThreadId_);
  PopupMenu2.Prepare();
  attachment.LetGoIfHung();
  ::SetForegroundWindow(window_);
  UINT command = 0;
  {
    hookPump_->SetMenuOpen(true);
    folderMenuUp_ = true;
    win::TScopeGuard menuClosed([this] {
      hookPump_->SetMenuOpen(false);
      folderMenuUp_ = false;
    });
    command = static_cast<UINT>(::TrackPopupMenu(PopupMenu2.Menu(),
                                                 TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
                                                 cursor.x, cursor.y, 0, window_, nullptr));
  }
  ::PostMessageW(window_, WM_NULL, 0, 0);
  return command;
}

int RunMainWindow(HINSTANCE instance) {
  TQuillFolder mainWindow;
  if (!mainWindow.Create(instance)) {
    CloseAllLogs();
    return 1;
  }
  OfferLastCrash();
  return mainWindow.Run();
}
