#include "core/main_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <exception>
#include <optional>

#include "../../res/resource.h"
#include "core/command_line.h"
#include "core/hook_client.h"
#include "core/settings_registry.h"
#include "core/settings_values.h"
#include "core/startup.h"
#include "dialogs/help.h"
#include "menu/configuration_files.h"
#include "menu/favourites_rules.h"
#include "menu/folder_menu.h"
#include "menu/menu_model.h"
#include "menu/select_folder.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/target_kind.h"
#include "navigation/window_front.h"
#include "navigation/window_kinds.h"
#include "navigation/window_navigation.h"
#include "navigation/window_path.h"
#include "startup/scheduler.h"
#include "win/files.h"
#include "win/text.h"

hook::THookShare* HookShare = nullptr;
DWORD MainThreadId = 0;

namespace {

constexpr wchar_t kHomePage[] = L"https://www.brantwelltools.com/quillrook-folder/";
constexpr wchar_t kContactPage[] = L"https://www.brantwelltools.com/contact/";
constexpr wchar_t kTaskbarCreated[] = L"TaskbarCreated";
constexpr wchar_t kApplicationTitle[] = L"Quillrook Folder";
constexpr UINT kTrayIconId = 1;
constexpr UINT kTimer4IntervalMs = 50;

// Every handler is an exception boundary: what escapes is logged and the agent keeps running.
template <class F>
void Guarded(const wchar_t* where, F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    // Our exceptions carry UTF-8 texts.
    CommonLogErrorEvent(where, win::ToWide(e.what(), CP_UTF8), L"", ::GetLastError(), false);
  } catch (...) {
    CommonLogErrorEvent(where, L"common error", L"", ::GetLastError(), false);
  }
}

std::wstring MenuText(HMENU menu, UINT position) {
  wchar_t buffer[256] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = buffer;
  info.cch = static_cast<UINT>(std::size(buffer));
  if (!::GetMenuItemInfoW(menu, position, TRUE, &info)) return {};
  return buffer;
}

}  // namespace

TQuillFolder::~TQuillFolder() {
  // The tail's submenus have owners of their own: take them out before the menu goes.
  if (PopupMenu2) {
    while (::GetMenuItemCount(PopupMenu2.get()) > 0) ::RemoveMenu(PopupMenu2.get(), 0, MF_BYPOSITION);
  }
}

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
  LoadMenus(instance);
  taskbarCreated_ = ::RegisterWindowMessageW(kTaskbarCreated);
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
    Guarded(L"QuillFolder.WMHandler", [&] { ApplicationMessage(msg); });
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
  bool handled = false;
  Guarded(L"QuillFolder.WndProc", [&] {
    result = self->OnMessage(message, wParam, lParam);
    handled = true;
  });
  return handled ? result : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TQuillFolder::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimer4) Timer4Timer();
      return 0;
    case WM_QFTRAYICON:
      OnTrayIcon(wParam, lParam);
      return 0;
    case WM_MEASUREITEM:
      // The menus' images are drawn by their owner, with alpha (see TMenuImages).
      if (images_.MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (images_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
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
      if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // Explorer restarted and forgot every icon: put ours back.
        trayShown_ = false;
        if (Settings.ShowTray) TrayAdd();
        return 0;
      }
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
      ShowHot(nullptr);
      break;
    case WM_QFOPTIONS:
      RunCommand(IDM_OPTIONS);
      break;
    case WM_HOTKEY:
      ShowHot(nullptr);
      break;
    default:
      break;
  }
}

bool TQuillFolder::FormCreate() {
  CommonLogRunEvent(L"QuillFolder.FormCreate", L"begin");
  MainThreadId = ::GetCurrentThreadId();
  CommonInit();

  try {
    if (!LoadSettings(Settings)) FirstTime();
  } catch (const EInvalidDataType& e) {
    // A value the agent cannot read must not leave the user with an agent that has neither tray
    // icon nor hook: it is reported, and start-up goes on with the values read so far.
    const std::string what = e.what();
    CommonLogErrorEvent(L"QuillFolder.FormCreate", std::wstring(what.begin(), what.end()), L"", 0, false);
  }

  if (Settings.ShowTray) TrayAdd();
  if (Settings.Alt != 0) {
    hotKeyRegistered_ = ::RegisterHotKey(window_, kHotKeyId, static_cast<UINT>(Settings.Alt),
                                         static_cast<UINT>(Settings.Keys)) != FALSE;
  }
  HookShare = SetHook(MainThreadId, Settings);
  if (HookShare == nullptr) {
    CommonLogErrorEvent(L"QuillFolder.FormCreate", L"SetHook fail", L"", ::GetLastError(), false);
    return false;
  }
  // Programs that still map the record keep what hooks queued for an agent that has gone;
  // those clicks are long past, and acting on them now would pop up a menu out of nowhere.
  const int stale = hook::DrainQueue(*HookShare, [](const hook::TQueueSlot&) {});
  if (stale > 0) CommonLogRunEvent(L"QuillFolder.FormCreate", L"stale hook messages dropped: " + std::to_wstring(stale));
  ::SetTimer(window_, kTimer4, kTimer4IntervalMs, nullptr);
  // The store is loaded before the command line's folder is added: against empty lists a folder
  // that is a favourite already would be asked about and added once more.
  UpdateListMenu();
  AddListMenu(CommandLineFolder);
  ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  return true;
}

void TQuillFolder::FormShow() {
  if (Settings.ShowTray)
    TrayAdd();
  else
    TrayRemove();
}

void TQuillFolder::FormDestroy() {
  static bool done = false;
  if (done) return;
  done = true;
  UpdateScheduler();
  CloseAllLogs();
  ::KillTimer(window_, kTimer4);
  TrayRemove();
  if (hotKeyRegistered_) ::UnregisterHotKey(window_, kHotKeyId);
  hotKeyRegistered_ = false;
  RemoveHook();
  HookShare = nullptr;
}

void TQuillFolder::Timer4Timer() {
  if (HookShare == nullptr) return;
  ::KillTimer(window_, kTimer4);
  win::TScopeGuard enableAgain([this] { ::SetTimer(window_, kTimer4, kTimer4IntervalMs, nullptr); });
  hook::DrainQueue(*HookShare, [this](const hook::TQueueSlot& slot) {
    Guarded(L"QuillFolder.HandleMsg", [&] { HandleMsg(slot); });
  });
  Guarded(L"QuillFolder.Timer4Timer", [this] {
    std::atomic_ref<std::uint32_t> heartbeat(HookShare->heartbeat);
    if (!hook::HeartbeatStale(::GetTickCount(), heartbeat.load())) return;
    // While re-installing fails the heartbeat stays stale, and every tick tries again; the log
    // tells only when that state begins and ends.
    if (!hookFailing_) CommonLogRunEvent(L"QuillFolder.Timer4Timer", L"hook heartbeat stale, re-installing the hook");
    RemoveHook();
    if (hook::THookShare* share = SetHook(MainThreadId, Settings)) {
      HookShare = share;
      if (hookFailing_) CommonLogRunEvent(L"QuillFolder.Timer4Timer", L"hook installed again");
      hookFailing_ = false;
    } else if (!hookFailing_) {
      hookFailing_ = true;
      CommonLogErrorEvent(L"QuillFolder.Timer4Timer", L"SetHook fail", L"", ::GetLastError(), false);
    }
  });
}

void TQuillFolder::HandleMsg(const hook::TQueueSlot& slot) {
  using hook::THookMessage;
  struct TEntry {
    THookMessage message;
    const wchar_t* text;
  };
  static constexpr TEntry kHandled[] = {
      {THookMessage::QfMBrowse, L"WM_QFMBROWSE recive: Hwnd="},
      {THookMessage::QfRExplorer, L"WM_QFREXPLORER recive: Hwnd="},
      {THookMessage::QfMDesktop, L"WM_QFMDESKTOP recive: Hwnd="},
      {THookMessage::QfMExplorer, L"WM_QFMEXPLORER recive: Hwnd="},
      {THookMessage::WheelMouse, L"WM_WHEELMOUSE recive: Hwnd="},
      {THookMessage::QfHelp, L"WM_QFHELP recive: Hwnd="},
      {THookMessage::QfMDialog, L"WM_QFMDIALOG recive: Hwnd="},
      {THookMessage::QfRButton, L"WM_QFRBUTTON recive: Hwnd="},
  };
  for (const TEntry& entry : kHandled) {
    if (slot.message != HookMessageId(entry.message)) continue;
    // Window handles cross processes as 32 bits and are sign-extended on 64-bit Windows.
    HWND target = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<std::int32_t>(slot.wParam)));
    if (entry.message == THookMessage::QfMBrowse) {
      CommonLogRunEvent(L"QuillFolder.WMHandler",
                        entry.text + logformat::HexText(slot.wParam) + L", Ctrl=" + logformat::HexText(slot.lParam));
      ShowPath(target, tkBrowseDialog);
    } else {
      CommonLogRunEvent(L"QuillFolder.WMHandler",
                        entry.text + logformat::HexText(slot.wParam) + L", Type=" +
                            std::to_wstring(static_cast<std::int32_t>(slot.lParam)));
      ShowPath(target, static_cast<std::int32_t>(slot.lParam));
    }
  }
}

void TQuillFolder::TrayAdd() {
  if (trayShown_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  data.uCallbackMessage = WM_QFTRAYICON;
  data.hIcon = icon_.get();
  ::LoadStringW(instance_, IDS_TRAYTIP, data.szTip, static_cast<int>(std::size(data.szTip)));
  if (!::Shell_NotifyIconW(NIM_ADD, &data)) return;
  trayShown_ = true;
  data.uVersion = NOTIFYICON_VERSION_4;
  trayVersion4_ = ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
}

void TQuillFolder::TrayRemove() {
  if (!trayShown_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = kTrayIconId;
  ::Shell_NotifyIconW(NIM_DELETE, &data);
  trayShown_ = false;
}

void TQuillFolder::OnTrayIcon(WPARAM /*wParam*/, LPARAM lParam) {
  const UINT event = trayVersion4_ ? LOWORD(lParam) : static_cast<UINT>(lParam);
  if (trayVersion4_) {
    if (event == WM_CONTEXTMENU) ShowMenu();
    if (event == NIN_SELECT || event == NIN_KEYSELECT) TrayIconClick();
  } else {
    if (event == WM_RBUTTONUP) ShowMenu();
    if (event == WM_LBUTTONUP) TrayIconClick();
  }
}

void TQuillFolder::TrayIconClick() { ShowHot(nullptr); }

void TQuillFolder::LoadMenus(HINSTANCE instance) {
  if (!images_.Load(instance))
    CommonLogErrorEvent(L"QuillFolder.LoadMenus", L"menu images missing", L"", ::GetLastError(), false);
  trayMenuBar_.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAYMENU)));
  PopupMenu1 = ::GetSubMenu(trayMenuBar_.get(), 0);
  ApplyCommandImages(PopupMenu1, images_);

  // The folder menu's tail comes from the resource; its items are kept apart so that each can
  // be hidden (taken out) and shown (put back) before every display.
  win::TMenuHandle template_(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_FOLDERMENU)));
  HMENU source = ::GetSubMenu(template_.get(), 0);
  const int count = ::GetMenuItemCount(source);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
    if (!::GetMenuItemInfoW(source, static_cast<UINT>(i), TRUE, &info)) continue;
    TTailItem item;
    item.id = info.wID;
    item.submenu = info.hSubMenu;
    item.separator = (info.fType & MFT_SEPARATOR) != 0;
    if (!item.separator) item.caption = MenuText(source, static_cast<UINT>(i));
    tail_.push_back(item);
  }
  while (::GetMenuItemCount(source) > 0) ::RemoveMenu(source, 0, MF_BYPOSITION);
  // Fixed order of the submenus in the tail: recent folders, recent files, filter.
  std::vector<HMENU> submenus;
  for (const auto& item : tail_)
    if (item.submenu != nullptr) submenus.push_back(item.submenu);
  if (submenus.size() == 3) {
    Recent1.reset(submenus[0]);
    Recentfiles1.reset(submenus[1]);
    Filter1.reset(submenus[2]);
    // A resource popup cannot be empty: the Filter list starts with a placeholder.
    while (::GetMenuItemCount(Filter1.get()) > 0) ::DeleteMenu(Filter1.get(), 0, MF_BYPOSITION);
  }
  PopupMenu2.reset(::CreatePopupMenu());
  ApplyTail();
}

TQuillFolder::TTailItem* TQuillFolder::TailItem(UINT id) {
  for (auto& item : tail_) {
    if (item.submenu == nullptr && !item.separator && item.id == id) return &item;
  }
  return nullptr;
}

void TQuillFolder::ApplyTail() {
  HMENU menu = PopupMenu2.get();
  // Everything from the first separator down is the tail; the favourites above stay.
  int first = -1;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    if (::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) && (info.fType & MFT_SEPARATOR) != 0) {
      first = i;
      break;
    }
  }
  if (first >= 0) {
    while (::GetMenuItemCount(menu) > first) ::RemoveMenu(menu, static_cast<UINT>(first), MF_BYPOSITION);
  }
  bool lastWasSeparator = false;
  for (const auto& item : tail_) {
    if (!item.visible) continue;
    // Hidden items would leave separators next to each other: one is enough. The first one
    // always stays, since it marks where the favourites end.
    if (item.separator && lastWasSeparator) continue;
    lastWasSeparator = item.separator;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    if (item.separator) {
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_SEPARATOR;
    } else {
      info.fMask = MIIM_STRING | MIIM_ID | (item.submenu != nullptr ? MIIM_SUBMENU : 0u);
      info.wID = item.id;
      info.hSubMenu = item.submenu;
      info.dwTypeData = const_cast<wchar_t*>(item.caption.c_str());
    }
    ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
  }
  ApplyCommandImages(menu, images_);
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
  CommonLogRunEvent(L"ShowPath", L"begin, type=" + std::to_wstring(kind) + L", W=" +
                                     logformat::HandleText(window));
  {
    // Another component asks for a reload by leaving "Update" in the settings key.
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ | KEY_WRITE, &raw) == ERROR_SUCCESS) {
      win::TRegKey key(raw);
      if (::RegQueryValueExW(key.get(), L"Update", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        ::RegDeleteValueW(key.get(), L"Update");
        UpdateListMenu();
      }
    }
  }
  targetWindow_ = window;
  targetKind_ = kind;
  targetEdit_ = kind == tkFileDialog ? CheckVistaDialog(window) : nullptr;

  // The recent lists are empty until they are kept; with them, visibility follows the settings.
  for (auto& item : tail_) {
    if (item.submenu == Recent1.get() || item.submenu == Recentfiles1.get() || item.submenu == Filter1.get())
      item.visible = false;
  }
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
    attachment.emplace(::GetWindowThreadProcessId(window, nullptr), ::GetCurrentThreadId());
  else
    CommonLogRunEvent(L"ShowPath", L"window does not answer, input not attached");
  for (UINT id : {IDM_ADDCURRENT, IDM_REMOVECURRENT, IDM_OPENFOLDER})
    if (TTailItem* item = TailItem(id)) item->visible = false;
  // The current folder decides between adding and removing; file dialogs name none, but an
  // Office dialog is asked all the same.
  const bool officeDialog = kind == tkFileDialog && ClassIs(window, 10, L"bosa_sdm_");
  if (kind == tkExplorer || kind == tkInternetExplorer || officeDialog) {
    const std::wstring folder = GetPath(window, kind, MainThreadId);
    if (!folder.empty()) {
      const bool known = IsFavourite(lists_, folder);
      TailItem(IDM_REMOVECURRENT)->visible = known;
      TailItem(IDM_ADDCURRENT)->visible = !known;
      TailItem(IDM_OPENFOLDER)->visible = !officeDialog;
    }
  }
  for (auto& item : tail_) {
    if (item.submenu == Filter1.get())
      item.visible = kind == tkFileDialog && !lists_.FilterMasks.empty();
  }
  ApplyTail();
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
    if (HookShare != nullptr) std::atomic_ref<std::uint32_t>(HookShare->menuOpen).store(1);
    win::TScopeGuard menuClosed([] {
      if (HookShare != nullptr) std::atomic_ref<std::uint32_t>(HookShare->menuOpen).store(0);
    });
    command = static_cast<UINT>(::TrackPopupMenu(PopupMenu2.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN |
                                                                       TPM_RIGHTBUTTON,
                                                 cursor.x, cursor.y, 0, window_, nullptr));
  }
  ::PostMessageW(window_, WM_NULL, 0, 0);
  return command;
}

void TQuillFolder::OpenAddress(const wchar_t* address) {
  ::ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

void TQuillFolder::RunCommand(UINT id) {
  switch (id) {
    case IDM_EXIT:
      CommonLogRunEvent(L"QuillFolder.Exit1Click");
      SaveAllLogs(false);
      MarkApplicationTerminating();
      ::PostQuitMessage(0);
      break;
    case IDM_VISITHOMEPAGE:
    case IDM_CHECKUPDATES:
    case IDM_CHECKFORUPDATES:
      OpenAddress(kHomePage);
      break;
    case IDM_REPORTBUG:
      OpenAddress(kContactPage);
      break;
    case IDM_HELP:
      OpenHelpFile(window_);
      break;
    case IDM_ADDFOLDER:
      Addfolder1Click();
      break;
    case IDM_SAVECONFIG:
      Saveconfiguration1Click();
      break;
    case IDM_OPENCONFIG:
      Openconfiguration1Click();
      break;
    case IDM_ADDCURRENT:
      AddListMenu(GetPath(targetWindow_, targetKind_, MainThreadId));
      break;
    case IDM_REMOVECURRENT: {
      const std::wstring folder = GetPath(targetWindow_, targetKind_, MainThreadId);
      if (!folder.empty()) RemoveFavourite(folder);
      UpdateListMenu();
      break;
    }
    case IDM_OPENFOLDER: {
      const std::wstring folder = GetPath(targetWindow_, targetKind_, MainThreadId);
      if (!folder.empty()) ::ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    }
    default:
      if (const auto favourite = FavouriteIndexFromCommand(id)) {
        FavouriteClick(*favourite);
        break;
      }
      if (const auto filter = FilterIndexFromCommand(id)) {
        FilterClick(*filter);
        break;
      }
      // Commands whose dialogs this build does not have yet only leave a trace.
      CommonLogRunEvent(L"QuillFolder.Command", L"not available yet, Id=" + std::to_wstring(id));
      break;
  }
}

void TQuillFolder::UpdateListMenu() {
  LoadLists(lists_);
  BuiltPath();
}

void TQuillFolder::BuiltPath() {
  ApplyFavourites(PopupMenu2.get(), BuildFavouritesModel(lists_.PathNames, lists_.PathValues, IsUsableFolder),
                  images_);
  ApplyFilters(Filter1.get(), BuildFilterModel(lists_.FilterMasks, lists_.FilterCaptions));
}

bool TQuillFolder::AskCaption(std::wstring& caption) {
  if (!addItemDialog_) addItemDialog_ = std::make_unique<TfmAddItem>(instance_);
  if (!addItemDialog_->Show(nullptr, caption)) return false;
  caption = addItemDialog_->Name();
  Settings.AlwaysAddDialog = addItemDialog_->AlwaysAddDialog();
  return true;
}

void TQuillFolder::AddListMenu(const std::wstring& text) {
  switch (AddFavourite(lists_, text, Settings.AlwaysAddDialog, [this](std::wstring& c) { return AskCaption(c); })) {
    case TAddResult::Reload:
      UpdateListMenu();
      break;
    case TAddResult::Added:
      BuiltPath();
      break;
    case TAddResult::Ignored:
    case TAddResult::Cancelled:
      break;
  }
}

void TQuillFolder::Addfolder1Click() {
  MoveWindowToFront(window_);
  AddListMenu(SelectFolder(window_, std::wstring()));
}

void TQuillFolder::Saveconfiguration1Click() {
  const std::wstring folder = ConfigurationDialogFolder(ConfigurationFolder);
  MoveWindowToFront(window_);
  const std::wstring file = AskConfigurationFile(window_, true, folder);
  if (file.empty()) return;
  // The export holds the store as it is now, changes made elsewhere included.
  UpdateListMenu();
  ExportConfiguration(file, lists_, listEncodings_);
}

void TQuillFolder::Openconfiguration1Click() {
  const std::wstring folder = ConfigurationDialogFolder(ConfigurationFolder);
  MoveWindowToFront(window_);
  const std::wstring file = AskConfigurationFile(window_, false, folder);
  if (file.empty()) return;
  const std::wstring problem = ImportConfiguration(file, listEncodings_);
  if (!problem.empty()) {
    ::MessageBoxW(window_, problem.c_str(), kApplicationTitle, MB_OK);
    return;
  }
  UpdateListMenu();
}

void TQuillFolder::FavouriteClick(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= lists_.PathNames.size()) return;
  const std::wstring path = EntryPath(lists_.PathNames[index]);
  CommonLogRunEvent(L"QuillFolder.FavoriteClick",
                    L"Path=" + path + L", W=" + logformat::HandleText(targetWindow_));
  SetData({targetWindow_, targetKind_}, MainThreadId, path, false);
}

void TQuillFolder::FilterClick(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= lists_.FilterMasks.size()) return;
  CommonLogRunEvent(L"QuillFolder.FilterClick", L"Mask=" + lists_.FilterMasks[index] + L", W=" +
                                                    logformat::HandleText(targetWindow_));
  SetData({targetWindow_, targetKind_}, MainThreadId, lists_.FilterMasks[index], true);
}

int RunMainWindow(HINSTANCE instance) {
  TQuillFolder mainWindow;
  if (!mainWindow.Create(instance)) {
    CloseAllLogs();
    return 1;
  }
  return mainWindow.Run();
}
