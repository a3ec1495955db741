#include "menu/recent_menus.h"

#include <shellapi.h>
#include <shlobj.h>

#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "menu/favourites_store.h"
#include "menu/folder_menu.h"
#include "resource.h"
#include "startup/user_checks.h"
#include "win/com.h"
#include "win/display_scale.h"
#include "win/files.h"
#include "win/registry.h"
#include "win/shell_paths.h"

namespace {

constexpr int kSmallestIcon = 16;

bool UsableFile(const std::wstring& path) { return IsRemoteFile(path) || FileExists(path); }

// The shell's icon of a file at `size` pixels or more (the menu draws it at `size`), if the
// menus can use it: one at least 16 by 16 pixels.
win::TIconHandle GetIcon(const std::wstring& path, int size, DWORD attributes = 0, UINT flags = 0) {
  SHFILEINFOW info{};
  if (!::SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | flags))
    return {};
  const HIMAGELIST list = win::ShellIconList(size);
  win::TIconHandle icon(list != nullptr ? ImageList_GetIcon(list, info.iIcon, ILD_TRANSPARENT) : nullptr);
  ICONINFO parts{};
  if (!icon || !::GetIconInfo(icon.get(), &parts)) return {};
  const win::TBitmapHandle mask(parts.hbmMask);
  const win::TBitmapHandle colour(parts.hbmColor);
  BITMAP bitmap{};
  if (!::GetObjectW(colour ? colour.get() : mask.get(), sizeof bitmap, &bitmap)) return {};
  // A mask-only icon stacks its two masks in one bitmap of double height.
  const LONG height = colour ? bitmap.bmHeight : bitmap.bmHeight / 2;
  if (bitmap.bmWidth < kSmallestIcon || height < kSmallestIcon) return {};
  return icon;
}

// The icon of a file of no known type.
win::TIconHandle GenericFileIcon(int size) {
  return GetIcon(L"file", size, FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES);
}

// The "Clear" item and the separator above it close both submenus.
void AppendClear(HMENU menu, UINT command, TMenuImages& images) {
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, command, L"Clear");
  ApplyCommandImages(menu, images);
}

std::optional<int> Shown(const std::vector<int>& shown, UINT command, UINT base) {
  if (command < base || command >= base + shown.size()) return std::nullopt;
  return shown[command - base];
}

}  // namespace

// The system's answers for the scans: shortcuts loaded through one shell link object, files
// probed only where that is safe, icons loaded into the menus' list.
class TSystemRecentSource final : public TRecentSource {
 public:
  explicit TSystemRecentSource(TRecentMenus& menus) : menus_(menus) {}

  std::optional<std::wstring> Target(const std::wstring& name) override {
    return shortcuts_.Target(menus_.folder_ + L"\\" + name);
  }
  bool Usable(const std::wstring& path) override { return UsableFile(path); }
  int LoadIcon(const std::wstring& path) override {
    win::TIconHandle icon = GetIcon(path, menus_.iconSize_);
    if (!icon) return 0;
    menus_.Lst.push_back(std::move(icon));
    menus_.iconFiles_.push_back(path);
    return static_cast<int>(menus_.Lst.size() - 1);
  }

 private:
  TRecentMenus& menus_;
  // One link object for the scan: a scan that finds nothing new needs no COM at all.
  TShortcutReader shortcuts_;
};

std::wstring RecentFolderPath() {
  const std::wstring value = ShellFoldersValue(L"Recent");
  std::wstring known;
  if (!IsScannableRecentFolder(value)) {
    PWSTR raw = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Recent, KF_FLAG_DONT_VERIFY, nullptr, &raw))) known = raw;
    ::CoTaskMemFree(raw);
  }
  const std::wstring folder = ChooseRecentFolder(value, known);
  if (folder.empty())
    CommonLogErrorEvent(L"QuillFolder.RecentFolder", L"No Recent folder to read: the recent lists are not shown",
                        L"Recent=" + value + L", Known=" + known, 0, false);
  else if (folder != value)
    CommonLogRunEvent(L"QuillFolder.RecentFolder", L"Recent=" + folder + L" (the shell folders value is unusable)");
  return folder;
}

std::vector<TShortcutFile> RecentShortcutFiles(const std::wstring& folder) {
  std::vector<TShortcutFile> files;
  // Never a relative search, which would read (and trim) the current drive's root.
  if (!IsScannableRecentFolder(folder)) return files;
  WIN32_FIND_DATAW found{};
  const win::TFindHandle find(::FindFirstFileW((folder + L"\\*.lnk").c_str(), &found));
  if (!find) return files;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    // As a file search reports it: the local last-write time in DOS form.
    FILETIME local{};
    WORD date = 0, time = 0;
    ::FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
    ::FileTimeToDosDateTime(&local, &date, &time);
    files.push_back({found.cFileName, static_cast<std::int32_t>(static_cast<std::uint32_t>(date) << 16 | time)});
  } while (::FindNextFileW(find.get(), &found));
  return files;
}

std::int32_t NowDosDateTime() {
  FILETIME now{}, local{};
  ::GetSystemTimeAsFileTime(&now);
  ::FileTimeToLocalFileTime(&now, &local);
  WORD date = 0, time = 0;
  ::FileTimeToDosDateTime(&local, &date, &time);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(date) << 16 | time);
}

void AddToRecentDocuments(const std::wstring& path) {
  // The item-list form: the path form makes a broken shortcut under Wine, and both forms end
  // in the same shortcut on Windows.
  const win::TComApartment apartment;
  LPITEMIDLIST raw = nullptr;
  if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, &raw, 0, nullptr))) return;
  const win::TCoTaskMem<ITEMIDLIST> item(raw);
  ::SHAddToRecentDocs(SHARD_PIDL, item.get());
}

TRecentMenus::TRecentMenus(std::wstring folder) : folder_(std::move(folder)) { ResetIcons(); }

void TRecentMenus::ResetIcons() {
  Lst.clear();
  iconFiles_.clear();
  // Image 0: the shell's icon of a file of no known type.
  Lst.push_back(GenericFileIcon(iconSize_));
  iconFiles_.emplace_back();
}

void TRecentMenus::SetIconSize(int size) {
  if (size == iconSize_) return;
  iconSize_ = size;
  // The same places in the list, so the items' image indices stay right; an icon the shell no
  // longer gives at the new size keeps the one it had.
  for (std::size_t i = 0; i < Lst.size(); ++i) {
    win::TIconHandle icon = i == 0 ? GenericFileIcon(size) : GetIcon(iconFiles_[i], size);
    if (icon) Lst[i] = std::move(icon);
  }
}

void TRecentMenus::FindFirstRecent(int filesCount, bool clearLink) {
  lists_.ForgetShortcuts();
  lists_.AddDrives(FixedAndNetworkDriveLetters());
  TSystemRecentSource source(*this);
  std::vector<std::wstring> excess;
  lists_.FindFirstRecent(RecentShortcutFiles(folder_), source, filesCount, clearLink, excess);
  // An elevated agent deletes nothing in a Recent folder reached through a junction or symbolic
  // link: any program of the user could have pointed it at a folder only an administrator may change.
  if (!excess.empty() && IsElevated()) {
    if (const std::wstring link = LinkOnPath(folder_, 0); !link.empty()) {
      CommonLogRunEvent(L"QuillFolder.RecentFolder",
                        L"shortcuts left, the Recent folder passes through a junction or symbolic link: " + link);
      return;
    }
  }
  for (const auto& name : excess) {
    const std::wstring file = folder_ + L"\\" + name;
    // A failed deletion is left for the next full scan; a link to a directory goes as one.
    if (!::DeleteFileW(file.c_str()) && DirectoryExists(file)) ::RemoveDirectoryW(file.c_str());
  }
}

bool TRecentMenus::FindRecent(int foldersCount) {
  TSystemRecentSource source(*this);
  return lists_.FindRecent(RecentShortcutFiles(folder_), source, foldersCount);
}

namespace {

// Fills a recent submenu with `items` (commands from `base` up, each item's list position kept
// in `shown`), `image` giving each its picture, then the separator and "Clear".
template <class Image>
void FillRecent(HMENU menu, const std::vector<TRecentItem>& items, UINT base, std::vector<int>& shown,
                UINT clearCommand, TMenuImages& images, Image image) {
  EmptyMenu(menu);
  images.Unassign(base, base + kRecentCommandRangeSize - 1);
  shown.clear();
  for (const auto& item : items) {
    if (shown.size() >= kRecentCommandRangeSize) break;
    const UINT command = base + static_cast<UINT>(shown.size());
    // The list position is the item's tag.
    AppendPathItem(menu, command, item.path, static_cast<ULONG_PTR>(item.position));
    image(command, item);
    shown.push_back(item.position);
  }
  AppendClear(menu, clearCommand, images);
}

}  // namespace

void TRecentMenus::BuildFolders(HMENU menu, int count, TMenuImages& images) {
  FillRecent(menu, lists_.FoldersToShow(count, IsUsableFolder), kRecentFolderCommandBase, shownFolders_,
             IDM_CLEARFOLDERS, images, [&](UINT command, const TRecentItem&) { images.Assign(command, miFolder); });
}

void TRecentMenus::BuildFiles(HMENU menu, int count, TMenuImages& images) {
  FillRecent(menu, lists_.FilesToShow(count, UsableFile), kRecentFileCommandBase, shownFiles_, IDM_CLEARFILES, images,
             [&](UINT command, const TRecentItem& item) {
               const auto index = static_cast<std::size_t>(item.imageIndex);
               images.AssignIcon(command, index < Lst.size() ? Lst[index].get() : nullptr);
             });
}

std::optional<std::wstring> TRecentMenus::FolderOf(UINT command) const {
  const auto position = Shown(shownFolders_, command, kRecentFolderCommandBase);
  if (!position || static_cast<std::size_t>(*position) >= lists_.RecentFolders().size()) return std::nullopt;
  return lists_.RecentFolders()[static_cast<std::size_t>(*position)].item.path;
}

std::optional<std::wstring> TRecentMenus::FileOf(UINT command) const {
  const auto position = Shown(shownFiles_, command, kRecentFileCommandBase);
  if (!position || static_cast<std::size_t>(*position) >= lists_.RecentFiles().size()) return std::nullopt;
  return lists_.RecentFiles()[static_cast<std::size_t>(*position)].item.path;
}

void TRecentMenus::TouchFolder(UINT command) {
  if (const auto position = Shown(shownFolders_, command, kRecentFolderCommandBase))
    lists_.TouchFolder(*position, NowDosDateTime());
}

void TRecentMenus::Clear() {
  lists_.Clear(RecentShortcutFiles(folder_));
  ResetIcons();
}
