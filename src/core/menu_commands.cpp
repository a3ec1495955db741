// The commands of the tray menu and the fixed commands of the folder menu's tail, and the one call
// that carries out a pick of the folder menu: TQuillFolder's click handlers. Main thread, after
// the menu that offered them has closed.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "core/main_window.h"
#include "core/startup.h"
#include "diagnostics/logger.h"
#include "dialogs/help.h"
#include "navigation/window_front.h"
#include "resource.h"
#include "settings/settings_registry.h"
#include "startup/autostart.h"

namespace {

constexpr wchar_t kContactPage[] = L"https://www.brantwelltools.com/contact/";

void OpenAddress(const wchar_t* address) {
  ::ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void TQuillFolder::RunCommand(UINT id) {
  switch (id) {
    case IDM_EXIT:
      Exit1Click();
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
      PopupMenu2.AddClick([this](std::wstring& caption) { return AskCaption(caption); });
      break;
    case IDM_REMOVECURRENT:
      PopupMenu2.RemoveClick();
      break;
    case IDM_OPENFOLDER:
      PopupMenu2.OpenFolderClick();
      break;
    case IDM_JUMPHERE:
      if (jump_) jump_->SetWorksIn(PopupMenu2.Target().program, !PopupMenu2.Target().jumpWorks);
      break;
    case IDM_CLEARFOLDERS:
    case IDM_CLEARFILES:
      PopupMenu2.Clear1Click();
      break;
    case IDM_SEARCH:
      ShowSearch(trayForeground_);
      break;
    case IDM_COPYDETAILS:
      dialogs_->CopyWindowDetails(window_, trayForeground_, hookPump_->OwnDialogs());
      break;
    case IDM_OPTIONS:
    case IDM_SETTING:
      Settings1Click(TSett::kFoldersPage);
      break;
    case IDM_ABOUT:
      Settings1Click(TSett::kAboutPage);
      break;
    default:
      if (const auto pick = PopupMenu2.Decode(id)) {
        PopupMenu2.CarryOut(*pick);
        break;
      }
      // Commands whose dialogs this build does not have yet only leave a trace.
      CommonLogRunEvent(L"QuillFolder.Command", L"not available yet, Id=" + std::to_wstring(id));
      break;
  }
}

void TQuillFolder::Exit1Click() {
  CommonLogRunEvent(L"QuillFolder.Exit1Click");
  TerminateApplication();
}

void TerminateApplication() {
  SaveAllLogs(false);
  MarkApplicationTerminating();
  ::PostQuitMessage(0);
}

bool TQuillFolder::AskCaption(std::wstring& caption) { return dialogs_->AskCaption(caption, Settings); }

TAddResult TQuillFolder::AddListMenu(const std::wstring& text) {
  return PopupMenu2.AddListMenu(text, [this](std::wstring& caption) { return AskCaption(caption); });
}

void TQuillFolder::Addfolder1Click() {
  MoveWindowToFront(window_);
  PopupMenu2.AddChosenFolder(window_, [this](std::wstring& caption) { return AskCaption(caption); });
}

void TQuillFolder::Saveconfiguration1Click() {
  MoveWindowToFront(window_);
  PopupMenu2.ExportLists(window_, ConfigurationFolder);
}

void TQuillFolder::Openconfiguration1Click() {
  MoveWindowToFront(window_);
  PopupMenu2.ImportLists(window_, ConfigurationFolder);
}

void TQuillFolder::Settings1Click(int page) {
  if (!options_) options_ = std::make_unique<TSett>(instance_, static_cast<TOptionsHost&>(*this), Settings);
  options_->Show(page);
}

bool TQuillFolder::ServeOptionsRequest(const MSG& msg) {
  if (msg.message != WM_QFOPTIONS || !options_ || options_->Window() == nullptr) return false;
  Settings1Click(TSett::kFoldersPage);
  return true;
}

void TQuillFolder::RegisterHotKey() {
  if (hotKeyRegistered_) ::UnregisterHotKey(window_, kHotKeyId);
  hotKeyRegistered_ = Settings.Alt != 0 && ::RegisterHotKey(window_, kHotKeyId, static_cast<UINT>(Settings.Alt),
                                                            static_cast<UINT>(Settings.Keys)) != FALSE;
  dialogs_->RegisterToolKeys(window_, Settings.SearchKey, Settings.DetailsKey);
}

const TFavouriteLists& TQuillFolder::ReloadStore() {
  PopupMenu2.UpdateListMenu();
  return PopupMenu2.Lists();
}

void TQuillFolder::SaveOptions(const TOptionsSave& save) {
  const bool recentWereOff = !Settings.RecentFldr && !Settings.RecentFls;
  if (save.favourites || save.filters)
    PopupMenu2.ReplaceStore(options_ ? options_->Window() : window_, save.favourites ? &*save.favourites : nullptr,
                            save.filters ? &*save.filters : nullptr);
  Settings = save.settings;
  RegisterShellExtension(Settings.ExpEnch);
  trayIcon_->Show(save.trayIconShown);
  SaveSettings(Settings);
  RegisterHotKey();
  if (save.jumpExcluded) SaveJumpExcluded(*save.jumpExcluded);
  if (save.ownDialogs) SaveOwnDialogs(save.ownDialogs->written, save.ownDialogs->removed);
  if (jump_) jump_->Apply(Settings);
  SetAutostart(save.autostart);
  PopupMenu2.RecentSettingsChanged(recentWereOff);
  hookPump_->SetOwnDialogs(LoadOwnDialogs());
  if (!hookPump_->Reinstall()) {
    // Without its hook the agent cannot do its work.
    CommonLogErrorEvent(L"Sett.SaveOptions", L"SetHook fail", L"", ::GetLastError(), false);
    ::PostQuitMessage(1);
  }
}
