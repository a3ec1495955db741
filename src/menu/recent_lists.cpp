#include "menu/recent_lists.h"
#include "win/text_rules.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <unordered_set>

namespace {

// Files of these types each show an icon of their own, keyed by the whole path.
constexpr const wchar_t* kOwnIconExtensions[] = {L".bmp", L".cpt", L".cdr", L".gif",
                                                 L".ico", L".cmx", L".clk", L".exe"};

std::wstring Folded(const std::wstring& text) { return text::UpperCase(text); }

long KeyTime(const std::wstring& key) { return std::wcstol(key.c_str(), nullptr, 10); }

std::wstring KeyRest(const std::wstring& key) {
  const auto at = key.find(L'@');
  return at == std::wstring::npos ? std::wstring() : key.substr(at + 1);
}

}  // namespace

bool IsScannableRecentFolder(const std::wstring& path) {
  for (const wchar_t c : path)
    if (c < L' ') return false;
  std::wstring trimmed = path;
  while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
  const auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  if (trimmed.size() > 3 && isLetter(trimmed[0]) && trimmed[1] == L':' && trimmed[2] == L'\\')
    return trimmed[3] != L'\\';
  if (trimmed.starts_with(L"\\\\") && !trimmed.starts_with(L"\\\\?\\") && !trimmed.starts_with(L"\\\\.\\")) {
    // \\server\share is the share's root; a folder below it has a third separator.
    const auto server = trimmed.find(L'\\', 2);
    const auto share = server == std::wstring::npos ? std::wstring::npos : trimmed.find(L'\\', server + 1);
    return server > 2 && share != std::wstring::npos && share > server + 1 && share + 1 < trimmed.size();
  }
  return false;
}

std::wstring ChooseRecentFolder(const std::wstring& shellFoldersValue, const std::wstring& knownFolder) {
  if (IsScannableRecentFolder(shellFoldersValue)) return shellFoldersValue;
  if (IsScannableRecentFolder(knownFolder)) return knownFolder;
  return {};
}

std::wstring RecentKey(std::int32_t time, const std::wstring& path) { return std::to_wstring(time) + L"@" + path; }

bool RecentKeyLess(const std::wstring& a, const std::wstring& b) {
  const long timeA = KeyTime(a);
  const long timeB = KeyTime(b);
  if (timeA != timeB) return timeA < timeB;
  return Folded(KeyRest(a)) < Folded(KeyRest(b));
}

std::wstring RecentFolderOf(const std::wstring& path) {
  std::wstring folder = text::ParentOf(path);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::wstring IconKey(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  const auto dot = path.find_last_of(L'.');
  const std::wstring extension = dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)
                                     ? std::wstring()
                                     : text::LowerCase(path.substr(dot));
  for (const wchar_t* own : kOwnIconExtensions)
    if (extension == own) return path;
  return extension;
}

void TRecentLists::AddDrives(const std::wstring& letters) { drives_ += letters; }

bool TRecentLists::OnKnownDrive(const std::wstring& target) const {
  return !target.empty() && drives_.find(target[0]) != std::wstring::npos;
}

int TRecentLists::ImageFor(const std::wstring& path, TRecentSource& source) {
  const std::wstring key = IconKey(path);
  if (const auto known = IconKeys.find(key); known != IconKeys.end()) return known->second;
  const int image = source.LoadIcon(path);
  IconKeys.emplace(key, image);
  return image;
}

void TRecentLists::SortFiles() {
  std::stable_sort(files_.begin(), files_.end(),
                   [](const TRecentEntry& a, const TRecentEntry& b) { return RecentKeyLess(a.key, b.key); });
}

void TRecentLists::SortFolders() {
  std::stable_sort(folders_.begin(), folders_.end(),
                   [](const TRecentEntry& a, const TRecentEntry& b) { return RecentKeyLess(a.key, b.key); });
}

void TRecentLists::RemoveKey(std::vector<TRecentEntry>& list, const std::wstring& key) {
  const auto found = std::find_if(list.begin(), list.end(),
                                  [&](const TRecentEntry& entry) { return text::SameCaseBlind(entry.key, key); });
  if (found != list.end()) list.erase(found);
}

void TRecentLists::FindFirstRecent(std::vector<TShortcutFile> shortcuts, TRecentSource& source, int filesCount,
                                   bool clearLink, std::vector<std::wstring>& excess) {
  for (const auto& shortcut : shortcuts) {
    shortcutIndex_[Folded(shortcut.name)] = RecentShortcuts.size();
    RecentShortcuts.push_back({shortcut.name, {shortcut.time, std::to_wstring(shortcut.time)}});
  }
  if (shortcuts.empty()) return;
  std::stable_sort(shortcuts.begin(), shortcuts.end(),
                   [](const TShortcutFile& a, const TShortcutFile& b) { return a.time < b.time; });
  int accepted = 0;
  for (auto shortcut = shortcuts.rbegin(); shortcut != shortcuts.rend(); ++shortcut) {
    if (accepted >= kRecentShortcutsKept) {
      if (!clearLink) break;
      excess.push_back(shortcut->name);
      continue;
    }
    const auto target = source.Target(shortcut->name);
    if (!target || !OnKnownDrive(*target) || !source.Usable(*target)) continue;
    ++accepted;
    files_.push_back({RecentKey(shortcut->time, *target), {*target, 0}});
  }
  SortFiles();

  // Each folder once, keyed by its newest file.
  std::unordered_set<std::wstring> listed;
  for (const auto& folder : folders_) listed.insert(folder.item.path);
  for (auto file = files_.rbegin(); file != files_.rend(); ++file) {
    const std::wstring folder = RecentFolderOf(file->item.path);
    if (listed.insert(folder).second) folders_.push_back({file->key, {folder, 0}});
  }
  SortFolders();

  const std::size_t withIcons = filesCount > 0 ? static_cast<std::size_t>(filesCount) : files_.size();
  for (std::size_t done = 0; done < withIcons && done < files_.size(); ++done) {
    TRecentEntry& file = files_[files_.size() - 1 - done];
    file.item.imageIndex = ImageFor(file.item.path, source);
  }
}

bool TRecentLists::FindRecent(const std::vector<TShortcutFile>& shortcuts, TRecentSource& source, int foldersCount) {
  bool appended = false;
  for (const auto& shortcut : shortcuts) {
    const std::wstring folded = Folded(shortcut.name);
    const auto known = shortcutIndex_.find(folded);
    std::optional<std::int32_t> oldTime;
    std::size_t position = 0;
    if (known == shortcutIndex_.end()) {
      position = RecentShortcuts.size();
      shortcutIndex_.emplace(folded, position);
      RecentShortcuts.push_back({shortcut.name, {shortcut.time, std::to_wstring(shortcut.time)}});
    } else {
      position = known->second;
      if (RecentShortcuts[position].stamp.time == shortcut.time) continue;
      oldTime = RecentShortcuts[position].stamp.time;
    }
    const auto storeTime = [&] {
      if (oldTime) RecentShortcuts[position].stamp = {shortcut.time, std::to_wstring(shortcut.time)};
    };
    const auto target = source.Target(shortcut.name);
    if (!target) {
      storeTime();
      continue;
    }
    // A drive the full scan did not see keeps the old time, so a later full scan looks again.
    if (!OnKnownDrive(*target)) continue;
    if (!source.Usable(*target)) {
      storeTime();
      continue;
    }
    if (oldTime) RemoveKey(files_, RecentKey(*oldTime, *target));
    files_.push_back({RecentKey(shortcut.time, *target), {*target, ImageFor(*target, source)}});

    if (oldTime) RemoveKey(folders_, RecentKey(*oldTime, *target));
    const std::wstring folder = RecentFolderOf(*target);
    const std::size_t window =
        foldersCount > 0 ? std::min(folders_.size(), static_cast<std::size_t>(foldersCount) + 1) : folders_.size();
    for (std::size_t i = folders_.size(); i > folders_.size() - window; --i) {
      if (folders_[i - 1].item.path == folder) {
        folders_.erase(folders_.begin() + static_cast<std::ptrdiff_t>(i - 1));
        break;
      }
    }
    folders_.push_back({RecentKey(shortcut.time, *target), {folder, 0}});
    storeTime();
    appended = true;
  }
  if (appended) {
    SortFolders();
    SortFiles();
  }
  return appended;
}

std::vector<TRecentItem> TRecentLists::FilesToShow(int count,
                                                   const std::function<bool(const std::wstring&)>& usable) const {
  std::vector<TRecentItem> items;
  std::unordered_set<std::wstring> shown;
  for (std::size_t i = files_.size(); i > 0; --i) {
    if (count > 0 && items.size() >= static_cast<std::size_t>(count)) break;
    const TRecentEntry& file = files_[i - 1];
    if (!shown.insert(Folded(file.item.path)).second || !usable(file.item.path)) continue;
    items.push_back({static_cast<int>(i - 1), file.item.path, file.item.imageIndex});
  }
  return items;
}

std::vector<TRecentItem> TRecentLists::FoldersToShow(int count,
                                                     const std::function<bool(const std::wstring&)>& usable) const {
  std::vector<TRecentItem> items;
  for (std::size_t i = folders_.size(); i > 0; --i) {
    if (count > 0 && items.size() >= static_cast<std::size_t>(count)) break;
    const TRecentEntry& folder = folders_[i - 1];
    if (!usable(folder.item.path)) continue;
    items.push_back({static_cast<int>(i - 1), folder.item.path, 0});
  }
  return items;
}

void TRecentLists::TouchFolder(int position, std::int32_t now) {
  if (position < 0 || static_cast<std::size_t>(position) >= folders_.size()) return;
  TRecentEntry& folder = folders_[static_cast<std::size_t>(position)];
  folder.key = RecentKey(now, KeyRest(folder.key));
  SortFolders();
}

void TRecentLists::ForgetShortcuts() {
  RecentShortcuts.clear();
  shortcutIndex_.clear();
}

void TRecentLists::Clear(const std::vector<TShortcutFile>& remaining) {
  ForgetShortcuts();
  files_.clear();
  folders_.clear();
  IconKeys.clear();
  for (const auto& shortcut : remaining) {
    shortcutIndex_[Folded(shortcut.name)] = RecentShortcuts.size();
    RecentShortcuts.push_back({shortcut.name, {shortcut.time, std::to_wstring(shortcut.time)}});
  }
}
