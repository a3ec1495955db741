#include "menu/folder_menu_session.h"

// After windows.h, which they build on.
#include <shellapi.h>
#include <shlobj.h>

#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "menu/folder_menu.h"
#include "menu/menu_model.h"
#include "menu/menu_tail_rules.h"
#include "menu/select_folder.h"
#include "navigation/foreign_window.h"
#include "navigation/jump_rules.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "navigation/window_navigation.h"
#include "navigation/window_path.h"
#include "settings/settings_registry.h"
#include "win/display_scale.h"
#include "win/files.h"
#include "win/shell_paths.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kApplicationTitle[] = L"Quillrook Folder";
constexpr wchar_t kInformation[] = L"Information";
constexpr wchar_t kConsoleBusy[] =
    L"The console is busy: a program other than its shell runs in it and would read what is typed. The folder is "
    L"typed once the console waits at its prompt.";
constexpr wchar_t kStoreNotSaved[] =
    L"The favourites and filters could not be saved; they are kept as they were before. The error log says why.";
// The Recent folder's changes come in bursts (a shortcut written, then touched): one scan after
// the last one has been quiet this long.
constexpr UINT kRecentQuietMs = 300;

}  // namespace

TFolderMenuSession::TFolderMenuSession(TMenuImages& images, const TSettingsValues& settings)
    : images_(images), settings_(settings) {}

bool TFolderMenuSession::Load(HINSTANCE instance) {
  instance_ = instance;
  thread_ = ::GetCurrentThreadId();
  // Every list exists before a dialog or a handler can run: the command line's folder may ask.
  recent_ = std::make_unique<TRecentMenus>(RecentFolderPath());
  return tail_.Load(instance, images_);
}

void TFolderMenuSession::StartRecent(HWND timerWindow, UINT_PTR timerId) {
  timerWindow_ = timerWindow;
  timerId_ = timerId;
  if (settings_.RecentFldr || settings_.RecentFls)
    Guarded(
        L"QuillFolder.FormCreate",
        [this] {
          recent_->FindFirstRecent(settings_.FilesCount, settings_.ClearLink);
          BuiltRecent(settings_.RecentFls, settings_.RecentFldr);
        },
        L"FindFirstRecent + BuiltRecent", L"common error");
  changeWatch_.SetCallback([this] { ShellChangeNotifier1Change(); });
  if (!recent_->Folder().empty()) changeWatch_.StartChangeWatch(recent_->Folder());
}

void TFolderMenuSession::StopRecent() {
  changeWatch_.StopChangeWatch();
  if (timerRunning_) ::KillTimer(timerWindow_, timerId_);
  timerRunning_ = false;
}

void TFolderMenuSession::ShellChangeNotifier1Change() {
  if ((settings_.RecentFldr || settings_.RecentFls) && !timerRunning_)
    timerRunning_ = ::SetTimer(timerWindow_, timerId_, kRecentQuietMs, nullptr) != 0;
}

bool TFolderMenuSession::OnTimer(UINT_PTR timerId) {
  if (timerId != timerId_ || timerWindow_ == nullptr) return false;
  Timer1Timer();
  return true;
}

void TFolderMenuSession::Timer1Timer() {
  ::KillTimer(timerWindow_, timerId_);
  timerRunning_ = false;
  CommonLogRunEvent(L"Timer1Timer", L"FindRecent");
  Guarded(
      L"Timer1Timer",
      [this] {
        if (recent_->FindRecent(settings_.FoldersCount)) BuiltRecent(true, true);
      },
      L"FindRecent", L"common error");
}

void TFolderMenuSession::RecentSettingsChanged(bool recentWereOff) {
  if (settings_.RecentFldr || settings_.RecentFls) {
    recent_->FindFirstRecent(settings_.FilesCount, settings_.ClearLink);
    if (recentWereOff)
      Guarded(
          L"Sett.Button11Click", [this] { recent_->FindRecent(settings_.FoldersCount); }, L"FindRecent",
          L"common error");
  }
  BuiltRecent(true, true);
}

void TFolderMenuSession::Begin(HWND window, int kind, const TOwnDialog* ownDialog) {
  CommonLogRunEvent(L"ShowPath", L"begin, type=" + std::to_wstring(kind) + L", W=" + logformat::HandleText(window));
  if (TakeReloadRequest()) UpdateListMenu();
  target_ = TMenuTarget();
  target_.window = window;
  target_.kind = kind;
  if (ownDialog != nullptr) target_.ownDialog = *ownDialog;
  shellTabs_ = TShellTabsRead();
}

void TFolderMenuSession::Prepare() {
  const HWND window = target_.window;
  const int kind = target_.kind;

  TTailInput input;
  input.kind = kind;
  input.officeDialog = kind == tkFileDialog && ClassIs(window, kDialogClassBuffer, L"bosa_sdm_");
  input.hasFilters = !lists_.FilterMasks.empty();
  input.recentFoldersOn = settings_.RecentFldr;
  input.hasRecentFolders = !recent_->Lists().RecentFolders().empty();
  input.recentFilesOn = settings_.RecentFls;
  input.hasRecentFiles = !recent_->Lists().RecentFiles().empty();
  if (AsksCurrentFolder(kind, input.officeDialog)) {
    target_.folder = GetPath(window, kind, thread_, shellTabs_);
    target_.folderRead = true;
    input.folderKnown = !target_.folder.empty();
    input.folderIsFavourite = input.folderKnown && IsFavourite(lists_, target_.folder);
  }
  input.openFoldersOn = settings_.OpenFolders;
  // Only whether other frames exist is known here: they are read when the submenu opens.
  input.hasOpenFolders =
      settings_.OpenFolders && openFolders_.Prepare(tail_.OpenFolders(), window, target_.folder, instance_);
  // Explorer Jump's switch for the dialog's program, where the jump is on at all.
  if (kind == tkFileDialog && (settings_.JumpKey != 0 || settings_.AutoJump != 0) && !OfThisProcess(window)) {
    target_.program = ProgramNameOf(window);
    target_.jumpWorks = !ProgramListed(LoadJumpExcluded(), target_.program);
    input.jumpOffered = !target_.program.empty();
  }
  tail_.Apply(TailVisibility(input), images_);
  if (input.jumpOffered) tail_.SetJumpSwitch(target_.program, target_.jumpWorks);
}

bool TFolderMenuSession::OnInitMenuPopup(HMENU opened) {
  return openFolders_.Fill(opened, instance_, images_, shellTabs_);
}

std::optional<TMenuPick> TFolderMenuSession::Decode(UINT command) const {
  using TKind = TMenuPick::TKind;
  if (const auto favourite = FavouriteIndexFromCommand(command)) {
    if (*favourite < 0 || static_cast<std::size_t>(*favourite) >= lists_.PathNames.size()) return std::nullopt;
    return TMenuPick{TKind::Favourite, EntryPath(lists_.PathNames[*favourite]), command};
  }
  if (const auto filter = FilterIndexFromCommand(command)) {
    if (*filter < 0 || static_cast<std::size_t>(*filter) >= lists_.FilterMasks.size()) return std::nullopt;
    return TMenuPick{TKind::Filter, lists_.FilterMasks[*filter], command};
  }
  if (const auto folder = openFolders_.FolderOf(command)) return TMenuPick{TKind::OpenFolder, *folder, command};
  if (const auto folder = recent_->FolderOf(command)) return TMenuPick{TKind::RecentFolder, *folder, command};
  if (const auto file = recent_->FileOf(command)) return TMenuPick{TKind::RecentFile, *file, command};
  return std::nullopt;
}

void TFolderMenuSession::CarryOut(const TMenuPick& pick) {
  using TKind = TMenuPick::TKind;
  const TNavigationTarget target{target_.window, target_.kind, target_.ownDialog};
  const std::wstring where = L", W=" + logformat::HandleText(target_.window);
  const auto drive = [&](bool filter) {
    if (SetData(target, thread_, pick.text, filter) == TSetDataOutcome::ConsoleBusy)
      ::MessageBoxW(nullptr, kConsoleBusy, kApplicationTitle, MB_OK | MB_ICONINFORMATION);
  };
  switch (pick.kind) {
    case TKind::Favourite:
      CommonLogRunEvent(L"QuillFolder.FavoriteClick", L"Path=" + pick.text + where);
      drive(false);
      break;
    case TKind::Filter:
      CommonLogRunEvent(L"QuillFolder.FilterClick", L"Mask=" + pick.text + where);
      drive(true);
      break;
    case TKind::OpenFolder:
      CommonLogRunEvent(L"QuillFolder.OpenFoldersClick", L"Path=" + pick.text + where);
      drive(false);
      break;
    case TKind::RecentFolder:
      // A folder gone since the menu was built is greyed where it stands.
      if (!IsUsableFolder(pick.text)) {
        ::EnableMenuItem(tail_.RecentFolders(), pick.command, MF_BYCOMMAND | MF_GRAYED);
        return;
      }
      CommonLogRunEvent(L"QuillFolder.RecentFolderClick", L"Path=" + pick.text + where);
      drive(false);
      recent_->TouchFolder(pick.command);
      BuiltRecent(false, true);
      break;
    case TKind::RecentFile:
      if (!IsRemoteFile(pick.text) && !FileExists(pick.text)) {
        ::EnableMenuItem(tail_.RecentFiles(), pick.command, MF_BYCOMMAND | MF_GRAYED);
        return;
      }
      CommonLogRunEvent(L"QuillFolder.RecentFileClick", L"Path=" + pick.text + where);
      // A file dialog (or a dialog of the user's own) takes the file's path; anywhere else the
      // file opens in its program.
      if (target_.kind == tkFileDialog || target_.kind == tkOwnDialog)
        drive(false);
      else
        OpenDocumentInShell(pick.text);
      AddToRecentDocuments(pick.text);
      BuiltRecent(true, false);
      break;
  }
}

std::vector<TSearchEntry> TFolderMenuSession::SearchEntries() const {
  std::vector<TSearchEntry> entries;
  for (std::size_t i = 0; i < lists_.PathNames.size() && i < lists_.PathValues.size(); ++i) {
    const std::wstring path = EntryPath(lists_.PathNames[i]);
    if (path.empty() || IsSubmenuHeader(lists_.PathNames[i])) continue;
    entries.push_back({Cap(lists_.PathValues[i]).caption, path, TSearchSource::Favourite});
  }
  if (settings_.RecentFldr)
    for (const TRecentEntry& recent : recent_->Lists().RecentFolders())
      entries.push_back({text::FileNameOf(recent.item.path), recent.item.path, TSearchSource::RecentFolder});
  const bool foldersOnly = target_.kind == tkRarExtract || target_.kind == tkRarWindow ||
                           target_.kind == tkZipExtract || IsConsoleKind(target_.kind);
  if (settings_.RecentFls && !foldersOnly)
    for (const TRecentEntry& recent : recent_->Lists().RecentFiles())
      entries.push_back({text::FileNameOf(recent.item.path), recent.item.path, TSearchSource::RecentFile});
  if (target_.kind == tkFileDialog)
    for (std::size_t i = 0; i < lists_.FilterMasks.size() && i < lists_.FilterCaptions.size(); ++i)
      entries.push_back({lists_.FilterCaptions[i], lists_.FilterMasks[i], TSearchSource::Filter});
  return entries;
}

void TFolderMenuSession::CarryOutSearch(const TSearchEntry& entry) {
  using TKind = TMenuPick::TKind;
  TMenuPick pick;
  pick.text = entry.path;
  switch (entry.source) {
    case TSearchSource::Favourite:
    case TSearchSource::Folder:
      pick.kind = TKind::Favourite;
      break;
    case TSearchSource::RecentFolder:
      pick.kind = TKind::RecentFolder;
      break;
    case TSearchSource::RecentFile:
      pick.kind = TKind::RecentFile;
      break;
    case TSearchSource::OpenFolder:
      pick.kind = TKind::OpenFolder;
      break;
    case TSearchSource::Filter:
      pick.kind = TKind::Filter;
      break;
  }
  CommonLogRunEvent(L"QuillSearch.Take", L"Path=" + entry.path);
  CarryOut(pick);
}

int TFolderMenuSession::SizeImagesAt(POINT point) {
  const int before = images_.Size();
  const int size = images_.SetDpi(win::DpiAtPoint(point));
  if (size != before) {
    CommonLogRunEvent(L"ShowPath", L"menu images: " + std::to_wstring(size) + L" pixels");
    recent_->SetIconSize(size);
    BuiltRecent(true, false);
    RemeasureMenu(tail_.Menu());
  }
  return size;
}

void TFolderMenuSession::UpdateListMenu() {
  LoadLists(lists_);
  BuiltPath();
}

void TFolderMenuSession::BuiltPath() {
  ApplyFavourites(tail_.Menu(), BuildFavouritesModel(lists_.PathNames, lists_.PathValues, IsUsableFolder), images_);
  ApplyFilters(tail_.Filter(), BuildFilterModel(lists_.FilterMasks, lists_.FilterCaptions));
}

void TFolderMenuSession::BuiltRecent(bool files, bool folders) {
  if (folders && settings_.RecentFldr) recent_->BuildFolders(tail_.RecentFolders(), settings_.FoldersCount, images_);
  if (files && settings_.RecentFls) recent_->BuildFiles(tail_.RecentFiles(), settings_.FilesCount, images_);
}

TAddResult TFolderMenuSession::AddListMenu(const std::wstring& text,
                                           const std::function<bool(std::wstring& caption)>& askCaption) {
  const TAddResult result = AddFavourite(lists_, text, settings_.AlwaysAddDialog, askCaption);
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

void TFolderMenuSession::AddChosenFolder(HWND owner, const std::function<bool(std::wstring& caption)>& askCaption) {
  // The user picked this folder: a refusal is said, not only logged.
  if (AddListMenu(SelectFolder(owner, std::wstring()), askCaption) == TAddResult::Refused)
    ::MessageBoxW(owner, kEndsLikeSubmenuEntry, kInformation, MB_OK | MB_ICONINFORMATION);
}

void TFolderMenuSession::AddClick(const std::function<bool(std::wstring& caption)>& askCaption) {
  AddListMenu(target_.folder, askCaption);
}

void TFolderMenuSession::RemoveClick() {
  if (!target_.folder.empty()) RemoveFavourite(target_.folder);
  UpdateListMenu();
}

void TFolderMenuSession::OpenFolderClick() const {
  if (!target_.folder.empty()) OpenFolderInShell(target_.folder, L"explore");
}

bool TFolderMenuSession::ReplaceStore(HWND owner, const TStoreValues* favourites, const TStoreValues* filters) {
  const bool replaced = ReplaceStoreKeys(favourites, filters);
  UpdateListMenu();
  // A key whose new values cannot be written gets back what it held, and the user is told.
  if (!replaced) ::MessageBoxW(owner, kStoreNotSaved, kInformation, MB_OK | MB_ICONINFORMATION);
  return replaced;
}

void TFolderMenuSession::ExportLists(HWND owner, const std::wstring& configurationFolder) {
  const std::wstring file = AskConfigurationFile(owner, true, ConfigurationDialogFolder(configurationFolder));
  if (file.empty()) return;
  // The export holds the store as it is now, changes made elsewhere included.
  UpdateListMenu();
  ExportConfiguration(file, lists_, listEncodings_);
}

void TFolderMenuSession::ImportLists(HWND owner, const std::wstring& configurationFolder) {
  const std::wstring folder = ConfigurationDialogFolder(configurationFolder);
  const std::wstring file = AskConfigurationFile(owner, false, folder);
  if (file.empty()) return;
  // The lists kept before the import are the store as it is now, changes made elsewhere included
  // (and the menu follows them, so its items keep naming their entries).
  UpdateListMenu();
  const std::wstring problem = ImportConfiguration(file, listEncodings_, lists_, folder);
  if (!problem.empty()) {
    ::MessageBoxW(owner, problem.c_str(), kApplicationTitle, MB_OK);
    return;
  }
  UpdateListMenu();
}

void TFolderMenuSession::Clear1Click() {
  // The system's own list goes too; the lists are emptied whatever the system does with it.
  ::SHAddToRecentDocs(SHARD_PIDL, nullptr);
  recent_->Clear();
  BuiltRecent(true, true);
}
