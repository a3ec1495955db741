// The commands of the tray menu and of the folder menu's tail and favourites: TQuillFolder's
// click handlers. Main thread, after the menu that offered them has closed.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "core/main_window.h"
#include "core/startup.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "dialogs/help.h"
#include "diagnostics/guarded.h"
#include "menu/favourites_rules.h"
#include "menu/favourites_store.h"
#include "menu/folder_menu.h"
#include "menu/menu_model.h"
#include "menu/select_folder.h"
#include "navigation/target_kind.h"
#include "navigation/window_front.h"
#include "navigation/window_navigation.h"
#include "navigation/window_path.h"
#include "resource.h"
#include "settings/settings_registry.h"
#include "settings/settings_values.h"
#include "startup/autostart.h"
#include "win/files.h"
#include "win/shell_paths.h"

namespace {

constexpr wchar_t kContactPage[] = L"https://www.brantwelltools.com/contact/";
constexpr wchar_t kApplicationTitle[] = L"Quillrook Folder";
constexpr wchar_t kInformation[] = L"Information";
constexpr wchar_t kStoreNotSaved[] =
    L"The favourites and filters could not be saved; they are kept as they were before. The error log says why.";

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
      AddClick();
      break;
    case IDM_REMOVECURRENT:
      RemoveClick();
      break;
    case IDM_OPENFOLDER:
      OpenFolderClick();
      break;
    case IDM_CLEARFOLDERS:
    case IDM_CLEARFILES:
      Clear1Click();
      break;
    case IDM_OPTIONS:
    case IDM_SETTING:
      Settings1Click(TSett::kFoldersPage);
      break;
    case IDM_ABOUT:
      Settings1Click(TSett::kAboutPage);
      break;
    default:
      if (const auto favourite = FavouriteIndexFromCommand(id)) {
        FavouriteClick(*favourite);
        break;
      }
      if (const auto filter = FilterIndexFromCommand(id)) {
        FilterClick(*filter);
        break;
      }
      if (const auto folder = openFolders_.FolderOf(id)) {
        OpenFoldersClick(*folder);
        break;
      }
      if (recent_->FolderOf(id)) {
        RecentFolderClick(id);
        break;
      }
      if (recent_->FileOf(id)) {
        RecentFileClick(id);
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

void TQuillFolder::UpdateListMenu() {
  LoadLists(lists_);
  BuiltPath();
}

void TQuillFolder::BuiltPath() {
  ApplyFavourites(PopupMenu2.Menu(), BuildFavouritesModel(lists_.PathNames, lists_.PathValues, IsUsableFolder),
                  images_);
  ApplyFilters(PopupMenu2.Filter(), BuildFilterModel(lists_.FilterMasks, lists_.FilterCaptions));
}

bool TQuillFolder::AskCaption(std::wstring& caption) {
  if (!addItemDialog_) addItemDialog_ = std::make_unique<TfmAddItem>(instance_);
  if (!addItemDialog_->Show(nullptr, caption)) return false;
  caption = addItemDialog_->Name();
  SaveAlwaysAddDialog(Settings, addItemDialog_->AlwaysAddDialog());
  return true;
}

TAddResult TQuillFolder::AddListMenu(const std::wstring& text) {
  const TAddResult result =
      AddFavourite(lists_, text, Settings.AlwaysAddDialog, [this](std::wstring& c) { return AskCaption(c); });
  switch (result) {
    case TAddResult::Reload:
      UpdateListMenu();
      break;
    case TAddResult::Added:
      BuiltPath();
      break;
    case TAddResult::Ignored:
    case TAddResult::Refused:
    case TAddResult::Cancelled:
      break;
  }
  return result;
}

void TQuillFolder::Addfolder1Click() {
  MoveWindowToFront(window_);
  // The user picked this folder: a refusal is said, not only logged.
  if (AddListMenu(SelectFolder(window_, std::wstring())) == TAddResult::Refused)
    ::MessageBoxW(window_, kEndsLikeSubmenuEntry, kInformation, MB_OK | MB_ICONINFORMATION);
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
  // The lists kept before the import are the store as it is now, changes made elsewhere included
  // (and the menu follows them, so its items keep naming their entries).
  UpdateListMenu();
  const std::wstring problem = ImportConfiguration(file, listEncodings_, lists_, folder);
  if (!problem.empty()) {
    ::MessageBoxW(window_, problem.c_str(), kApplicationTitle, MB_OK);
    return;
  }
  UpdateListMenu();
}

void TQuillFolder::AddClick() { AddListMenu(GetPath(targetWindow_, targetKind_, mainThreadId_)); }

void TQuillFolder::RemoveClick() {
  const std::wstring folder = GetPath(targetWindow_, targetKind_, mainThreadId_);
  if (!folder.empty()) RemoveFavourite(folder);
  UpdateListMenu();
}

void TQuillFolder::OpenFolderClick() {
  const std::wstring folder = GetPath(targetWindow_, targetKind_, mainThreadId_);
  if (!folder.empty()) ::ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TQuillFolder::FavouriteClick(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= lists_.PathNames.size()) return;
  const std::wstring path = EntryPath(lists_.PathNames[index]);
  CommonLogRunEvent(L"QuillFolder.FavoriteClick", L"Path=" + path + L", W=" + logformat::HandleText(targetWindow_));
  SetData({targetWindow_, targetKind_}, mainThreadId_, path, false);
}

void TQuillFolder::OpenFoldersClick(const std::wstring& folder) {
  CommonLogRunEvent(L"QuillFolder.OpenFoldersClick",
                    L"Path=" + folder + L", W=" + logformat::HandleText(targetWindow_));
  SetData({targetWindow_, targetKind_}, mainThreadId_, folder, false);
}

void TQuillFolder::FilterClick(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= lists_.FilterMasks.size()) return;
  CommonLogRunEvent(L"QuillFolder.FilterClick",
                    L"Mask=" + lists_.FilterMasks[index] + L", W=" + logformat::HandleText(targetWindow_));
  SetData({targetWindow_, targetKind_}, mainThreadId_, lists_.FilterMasks[index], true);
}

void TQuillFolder::BuiltRecent(bool files, bool folders) {
  if (folders && Settings.RecentFldr) recent_->BuildFolders(PopupMenu2.RecentFolders(), Settings.FoldersCount, images_);
  if (files && Settings.RecentFls) recent_->BuildFiles(PopupMenu2.RecentFiles(), Settings.FilesCount, images_);
}

void TQuillFolder::RecentFolderClick(UINT command) {
  const std::wstring folder = recent_->FolderOf(command).value_or(std::wstring());
  // A folder gone since the menu was built is greyed where it stands.
  if (!IsUsableFolder(folder)) {
    ::EnableMenuItem(PopupMenu2.RecentFolders(), command, MF_BYCOMMAND | MF_GRAYED);
    return;
  }
  CommonLogRunEvent(L"QuillFolder.RecentFolderClick",
                    L"Path=" + folder + L", W=" + logformat::HandleText(targetWindow_));
  SetData({targetWindow_, targetKind_}, mainThreadId_, folder, false);
  recent_->TouchFolder(command);
  BuiltRecent(false, true);
}

void TQuillFolder::RecentFileClick(UINT command) {
  const std::wstring file = recent_->FileOf(command).value_or(std::wstring());
  if (!IsRemoteFile(file) && !FileExists(file)) {
    ::EnableMenuItem(PopupMenu2.RecentFiles(), command, MF_BYCOMMAND | MF_GRAYED);
    return;
  }
  CommonLogRunEvent(L"QuillFolder.RecentFileClick", L"Path=" + file + L", W=" + logformat::HandleText(targetWindow_));
  // A file dialog takes the file's path; anywhere else the file opens in its program.
  if (targetKind_ == tkFileDialog)
    SetData({targetWindow_, targetKind_}, mainThreadId_, file, false);
  else
    ::ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  AddToRecentDocuments(file);
  BuiltRecent(true, false);
}

void TQuillFolder::Clear1Click() {
  // The system's own list goes too; the lists are emptied whatever the system does with it.
  ::SHAddToRecentDocs(SHARD_PIDL, nullptr);
  recent_->Clear();
  BuiltRecent(true, true);
}

void TQuillFolder::Settings1Click(int page) {
  if (!options_) options_ = std::make_unique<TSett>(instance_, static_cast<TOptionsHost&>(*this));
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
}

const TFavouriteLists& TQuillFolder::ReloadStore() {
  UpdateListMenu();
  return lists_;
}

void TQuillFolder::SaveOptions(const TOptionsSave& save) {
  const bool recentWereOff = !Settings.RecentFldr && !Settings.RecentFls;
  if (save.favourites || save.filters) {
    // A key whose new values cannot be written gets back what it held, and the user is told.
    if (!ReplaceStoreKeys(save.favourites ? &*save.favourites : nullptr, save.filters ? &*save.filters : nullptr))
      ::MessageBoxW(options_ ? options_->Window() : window_, kStoreNotSaved, kInformation, MB_OK | MB_ICONINFORMATION);
    UpdateListMenu();
  }
  Settings = save.settings;
  RegisterShellExtension(Settings.ExpEnch);
  if (Settings.RecentFldr || Settings.RecentFls) {
    recent_->FindFirstRecent(Settings.FilesCount, Settings.ClearLink);
    if (recentWereOff)
      Guarded(
          L"Sett.Button11Click", [this] { recent_->FindRecent(Settings.FoldersCount); }, L"FindRecent",
          L"common error");
  }
  trayIcon_->Show(save.trayIconShown);
  SaveSettings(Settings);
  RegisterHotKey();
  SetAutostart(save.autostart);
  BuiltRecent(true, true);
  if (!hookPump_->Reinstall()) {
    // Without its hook the agent cannot do its work.
    CommonLogErrorEvent(L"Sett.SaveOptions", L"SetHook fail", L"", ::GetLastError(), false);
    ::PostQuitMessage(1);
  }
}
