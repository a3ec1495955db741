#include "core/main_window.h"

#include <cassert>
#include <optional>

#include "settings/command_line.h"
#include "core/global_exception.h"
#include "core/hook_client.h"
#include "core/startup.h"
#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "menu/first_run.h"
#include "menu/folder_menu.h"
#include "menu/menu_tail_rules.h"
#include "navigation/foreign_window.h"
#include "navigation/target_kind.h"
#include "navigation/window_front.h"
#include "navigation/window_kinds.h"
#include "navigation/window_path.h"
#include "resource.h"
#include "settings/settings_registry.h"
#include "settings/settings_values.h"
#include "startup/scheduler.h"

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
  if (!PopupMenu2.Load(instance, images_))
    CommonLogErrorEvent(L"QuillFolder.LoadMenus", L"folder menu missing", L"", ::GetLastError(), false);
  // A hidden top-level window rather than a message-only one: other processes find the agent by
  // class and caption, and the shell's "TaskbarCreated" broadcast reaches only top-level windows.
  window_ = ::CreateWindowExW(0, kMainWindowClass, kMainWindowCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 300, 200, nullptr, nullptr, instance, this);
  if (window_ == nullptr) {
    CommonLogErrorEvent(L"QuillFolder.Create", L"CreateWindow fail", L"", ::GetLastError(), false);
    return false;
  }
  bool created = false;
  Guarded(L"QuillFolder.FormCreate", [&] { created = FormCreate(); });
  if (!created) {
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
  if (window_ != nullptr) ::DestroyWindow(window_);
  return result;
}

LRESULT CALLBACK TQuillFolder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<TQuillFolder*>(create->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TQuillFolder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  if (GuardedCallback(L"QuillFolder.WndProc", [&] { result = self->OnMessage(message, wParam, lParam); })) return result;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TQuillFolder::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  assert(::GetCurrentThreadId() == mainThreadId_ || mainThreadId_ == 0);  // one UI thread owns the window
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimer4 && hookPump_) hookPump_->OnTimer();
      if (wParam == kTimer1) Timer1Timer();
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
    case WM_INITMENUPOPUP:
      // TrackPopupMenu asks its owner window just before a submenu shows: "Open Folders" is read then.
      if (openFolders_.Fill(reinterpret_cast<HMENU>(wParam), instance_, images_)) return 0;
      break;
    case WM_SYSCOMMAND:
      // The window is never shown: minimising it must not bring it up on the taskbar.
      if ((wParam & 0xFFF0) == SC_MINIMIZE) return 0;
      break;
    case WM_ENDSESSION:
      if (wParam) FormDestroy();
      return 0;
    case WM_DESTROY:
      FormDestroy();
      window_ = nullptr;
      return 0;
    default:
      if (trayIcon_ && trayIcon_->OnBroadcast(message)) return 0;
      if (message == WM_QFTESTFAULT && WM_QFTESTFAULT != 0) RaiseTestFault(wParam);
      if (message == WakeMessage && WakeMessage != 0 && hookPump_) hookPump_->OnWake();
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

void TQuillFolder::ApplicationMessage(const MSG& msg) {
  if (msg.message == WM_QFADDFOLDER && WM_QFADDFOLDER != 0) {
    if (msg.wParam > 0xFFFF) return;
    const ATOM atom = static_cast<ATOM>(msg.wParam);
    wchar_t name[256] = {};
    const UINT length = ::GlobalGetAtomNameW(atom, name, 256);
    // The sender leaves the atom to us: delete it, or the global atom table fills up.
    ::GlobalDeleteAtom(atom);
    if (length == 0) return;
    CommonLogRunEvent(L"QuillFolder.WMHandler", std::wstring(L"WM_QFADDFOLDER recive: ") + name);
    AddListMenu(name);
    return;
  }
  switch (msg.message) {
    case WM_QFTRAYMENU:
      ShowMenu();
      break;
    case WM_QFFOLDERMENU:
    case WM_HOTKEY:
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
  // Every list exists before a dialog or a handler can run: the command line's folder may ask.
  recent_ = std::make_unique<TRecentMenus>(RecentFolderPath());

  // A replace of the store that a kill or a power cut ended gets its lists back before anything
  // reads them.
  RestoreInterruptedReplace();
  if (!LoadSettings(Settings)) FirstTime();

  wchar_t tip[128] = {};
  ::LoadStringW(instance_, IDS_TRAYTIP, tip, static_cast<int>(std::size(tip)));
  trayIcon_ = std::make_unique<TTrayIcon>(window_, WM_QFTRAYICON, icon_.get(), tip);
  trayIcon_->Show(Settings.ShowTray);
  RegisterHotKey();
  hookPump_ = std::make_unique<THookPump>(
      window_, kTimer4, [this] { return SetHook(mainThreadId_, Settings); }, [] { RemoveHook(); },
      [this](HWND target, int kind) { ShowPath(target, kind); });
  if (!hookPump_->Start()) {
    CommonLogErrorEvent(L"QuillFolder.FormCreate", L"SetHook fail", L"", ::GetLastError(), false);
    return false;
  }
  // The store is loaded before the command line's folder is added: against empty lists a folder
  // that is a favourite already would be asked about and added once more.
  UpdateListMenu();
  AddListMenu(CommandLineFolder);
  if (Settings.RecentFldr || Settings.RecentFls)
    Guarded(L"QuillFolder.FormCreate", [this] {
      recent_->FindFirstRecent(Settings.FilesCount, Settings.ClearLink);
      BuiltRecent(Settings.RecentFls, Settings.RecentFldr);
    }, L"FindFirstRecent + BuiltRecent", L"common error");
  changeWatch_.SetCallback([this] { ShellChangeNotifier1Change(); });
  if (!recent_->Folder().empty()) changeWatch_.StartChangeWatch(recent_->Folder());
  ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  return true;
}

void TQuillFolder::FormShow() { trayIcon_->Show(Settings.ShowTray); }

void TQuillFolder::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  UpdateScheduler();
  CloseAllLogs();
  changeWatch_.StopChangeWatch();
  if (hookPump_) hookPump_->Stop();
  if (trayIcon_) trayIcon_->Show(false);
  if (hotKeyRegistered_) ::UnregisterHotKey(window_, kHotKeyId);
  hotKeyRegistered_ = false;
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
  MoveWindowToFront(window_);
  const UINT command = static_cast<UINT>(::TrackPopupMenu(PopupMenu1, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x,
                                                          cursor.y, 0, window_, nullptr));
  ::PostMessageW(window_, WM_NULL, 0, 0);
  if (command != 0) RunCommand(command);
}

void TQuillFolder::ShowHot(HWND window) {
  if (window == nullptr) window = ::GetForegroundWindow();
  // Nothing has the foreground for a moment after a window closes: the desktop is then the
  // window the user sees, and the menu is for it.
  if (window == nullptr) window = ::GetShellWindow();
  if (window == nullptr) window = ::GetDesktopWindow();
  ShowPath(window, ClassifyWindow(window));
}

void TQuillFolder::ShowPath(HWND window, int kind) {
  if (window == nullptr) {
    CommonLogErrorEvent(L"ShowPath", L"W = 0", L"", ::GetLastError(), true);
    return;
  }
  CommonLogRunEvent(L"ShowPath",
                    L"begin, type=" + std::to_wstring(kind) + L", W=" + logformat::HandleText(window));
  if (TakeReloadRequest()) UpdateListMenu();
  targetWindow_ = window;
  targetKind_ = kind;
  const UINT command = ShowFolderMenu(window, kind);
  // The pick runs with the target's input let go: the command attaches by itself where it
  // focuses or types, and a dialog it opens is the agent's own.
  if (command != 0) RunCommand(command);
}

UINT TQuillFolder::ShowFolderMenu(HWND window, int kind) {
  // With the target's input attached, keys and Escape reach the menu under Wine; but a target
  // that does not answer would hold the agent's own foreground change and menu for ever.
  std::optional<win::TThreadInputAttachment> attachment;
  if (WindowAnswers(window))
    attachment.emplace(ThreadOf(window), mainThreadId_);
  else
    CommonLogRunEvent(L"ShowPath", L"window does not answer, input not attached");

  TTailInput input;
  input.kind = kind;
  input.officeDialog = kind == tkFileDialog && ClassIs(window, kDialogClassBuffer, L"bosa_sdm_");
  input.hasFilters = !lists_.FilterMasks.empty();
  input.recentFoldersOn = Settings.RecentFldr;
  input.hasRecentFolders = !recent_->Lists().RecentFolders().empty();
  input.recentFilesOn = Settings.RecentFls;
  input.hasRecentFiles = !recent_->Lists().RecentFiles().empty();
  std::wstring folder;
  if (AsksCurrentFolder(kind, input.officeDialog)) {
    folder = GetPath(window, kind, mainThreadId_);
    input.folderKnown = !folder.empty();
    input.folderIsFavourite = input.folderKnown && IsFavourite(lists_, folder);
  }
  input.openFoldersOn = Settings.OpenFolders;
  // Only whether other frames exist is known here: they are read when the submenu opens.
  input.hasOpenFolders =
      Settings.OpenFolders && openFolders_.Prepare(PopupMenu2.OpenFolders(), window, folder, instance_);
  PopupMenu2.Apply(TailVisibility(input), images_);
  // Reading the folder may have found the target hung since.
  if (attachment && !WindowAnswers(window)) {
    CommonLogRunEvent(L"ShowPath", L"window stopped answering, input detached");
    attachment.reset();
  }

  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::SetForegroundWindow(window_);
  UINT command = 0;
  {
    hookPump_->SetMenuOpen(true);
    win::TScopeGuard menuClosed([this] { hookPump_->SetMenuOpen(false); });
    command = static_cast<UINT>(::TrackPopupMenu(PopupMenu2.Menu(),
                                                 TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
                                                 cursor.x, cursor.y, 0, window_, nullptr));
  }
  ::PostMessageW(window_, WM_NULL, 0, 0);
  return command;
}

void TQuillFolder::ShellChangeNotifier1Change() {
  if ((Settings.RecentFldr || Settings.RecentFls) && !timer1Running_)
    timer1Running_ = ::SetTimer(window_, kTimer1, kTimer1IntervalMs, nullptr) != 0;
}

void TQuillFolder::Timer1Timer() {
  ::KillTimer(window_, kTimer1);
  timer1Running_ = false;
  CommonLogRunEvent(L"Timer1Timer", L"FindRecent");
  Guarded(L"Timer1Timer", [this] {
    if (recent_->FindRecent(Settings.FoldersCount)) BuiltRecent(true, true);
  }, L"FindRecent", L"common error");
}

int RunMainWindow(HINSTANCE instance) {
  TQuillFolder mainWindow;
  if (!mainWindow.Create(instance)) {
    CloseAllLogs();
    return 1;
  }
  return mainWindow.Run();
}
