#include "menu/favourites_store.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <exception>
#include <iterator>
#include <utility>

#include "settings/settings_values.h"
#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "win/com.h"
#include "win/files.h"
#include "win/registry.h"
#include "win/handles.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kEntryMarker[] = L"$2";
constexpr wchar_t kPlainImage[] = L"$0";
constexpr wchar_t kHeaderImage[] = L"$5";
constexpr wchar_t kDriveImage[] = L"$9";
constexpr wchar_t kDocumentsImage[] = L"$12";
constexpr wchar_t kMusicImage[] = L"$2";
constexpr wchar_t kPicturesImage[] = L"$1";
constexpr wchar_t kComputerHeader[] = L"Submenu234";
constexpr wchar_t kDefaultComputerName[] = L"My Computer";
constexpr wchar_t kDefaultDocumentsName[] = L"My documents";
constexpr wchar_t kProgramFolderValue[] = L"Path";
constexpr wchar_t kShellExtension[] = L"shellext.dll";
constexpr wchar_t kRegsvr32[] = L"Regsvr32";
constexpr DWORD kDriveBufferLength = 255;
constexpr std::size_t kMostDriveRoots = 61;
constexpr DWORD kLabelBufferLength = 250;
constexpr std::size_t kShortcutExtensionLength = 4;  // ".lnk"
// SHGDN_INCLUDE_NONFILESYS of the Windows SDK, which not every MinGW-w64 shobjidl.h declares;
// without it the computer folder, having no file-system path, may answer no name at all.
constexpr DWORD kIncludeNonFileSystem = 0x2000;

struct TFilter {
  const wchar_t* caption;
  const wchar_t* masks;
};
constexpr TFilter kDefaultFilters[] = {
    {L"All Files", L"*.*"},
    {L"Text Documents", L"*.txt;*.doc*;*.rtf;*.hlp;*.chm;*.xls*;*.pdf;*.ppt*;*.pps*;*.odt"},
    {L"Pictures",
     L"*.bmp;*.cdr;*.clp;*.cgm;*.dib;*.drw;*.dxf;*.emf;*.eps;*.gif;*.ico;*.icl;*.iff;*img;*.jpg;*.jpeg;*.lbm;"
     L"*.ldf;*.lwf;*.pbm;*.pcd;*.pcx;*.pgm;*.pic;*.pct;*.png;*.ppm;*.psd;*.psp;*.qtif;*.ras;*.rgb;*.rle;*.sfw;"
     L"*.tga;*.tif;*.tiff;*.wmf;*.wpg;*.jpe;*.iff"},
    {L"Video",
     L"*.asf;*.avi;*.bik;*.divx;*.m1v;*.mkv;*.mp4;*.mpe*;*.mpg;*.mpg4;*.mov;*.ogm;*.qt;*.rm;*.smk;*.vob;*.wmv;"
     L"*.xvid;*.flv;*.mov;*.qt;*.swf;*.3gp;*.ram;*.rmvb;*.m2v;*.ts;*.p4s;*.vpl;*.wpl;*.bpp"},
};

constexpr REGSAM kReadWrite = KEY_QUERY_VALUE | KEY_SET_VALUE;

win::TRegKey OpenKey(const wchar_t* path, REGSAM access, LSTATUS& status) {
  return win::OpenKey(HKEY_CURRENT_USER, path, access, &status);
}

win::TRegKey CreateKey(const wchar_t* path, LSTATUS& status) {
  return win::CreateKey(HKEY_CURRENT_USER, path, kReadWrite, &status);
}

using win::ValueExists;
using win::WriteString;

// Registry string data need not end with a terminator, and may hold one early; the text ends at
// the first one.
std::wstring TextOf(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  const auto end = text.find(L'\0');
  if (end != std::wstring::npos) text.resize(end);
  return text;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Appends every string value of the key in enumeration order (the order of creation).
void ReadStringValues(const wchar_t* path, std::vector<std::wstring>& names, std::vector<std::wstring>& data) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = OpenKey(path, KEY_QUERY_VALUE, status);
  if (!key) return;
  std::vector<win::TRegValue> values;
  status = win::ReadValues(key.get(), values);
  if (status != ERROR_SUCCESS)
    CommonLogErrorEvent(L"QuillFolder.UpdateListMenu", L"RegEnumValue fail",
                        std::wstring(L"Key=") + path + L", Index=" + std::to_wstring(values.size()),
                        static_cast<unsigned long>(status), false);
  for (const auto& value : values) {
    if (!IsStringType(value.type)) {
      CommonLogErrorEvent(L"QuillFolder.UpdateListMenu", L"Invalid data type, value skipped",
                          std::wstring(L"Key=") + path + L", Name=" + value.name + L", Type=" +
                              std::to_wstring(value.type),
                          0, false);
      continue;
    }
    names.push_back(value.name);
    data.push_back(TextOf(value.data));
  }
}

// A string value of the shell folders key as stored (an unexpanded REG_EXPAND_SZ included).
std::wstring ShellFolder(HKEY key, const wchar_t* name) { return win::ReadString(key, name).value_or(std::wstring()); }

std::wstring FromAnsi(const char* text, std::size_t length) { return win::ToWide({text, length}, CP_ACP); }

std::wstring SpecialFolderDisplayName(IShellFolder* desktop, int csidl) {
  LPITEMIDLIST raw = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &raw))) return {};
  const win::TCoTaskMem<ITEMIDLIST> item(raw);
  STRRET name{};
  if (FAILED(desktop->GetDisplayNameOf(item.get(), SHGDN_NORMAL | kIncludeNonFileSystem, &name))) return {};
  return GetDisplayName(name, item.get());
}

// The target of a shortcut file, or empty when it cannot be loaded or points nowhere in the
// file system.
std::wstring ShortcutTarget(const std::wstring& file) {
  win::TComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return {};
  win::TComPtr<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void()))) return {};
  if (FAILED(persist->Load(file.c_str(), STGM_READ))) return {};
  std::array<wchar_t, MAX_PATH> target{};
  if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) return {};
  return target.data();
}

// One drive root's caption: "System (C:)" for a fixed drive with a label, else the root itself.
std::wstring DriveCaption(const std::wstring& root) {
  if (::GetDriveTypeW(root.c_str()) == DRIVE_FIXED) {
    std::array<wchar_t, kLabelBufferLength> label{};
    if (::GetVolumeInformationW(root.c_str(), label.data(), kLabelBufferLength, nullptr, nullptr, nullptr, nullptr,
                                0) &&
        label[0] != L'\0')
      return std::wstring(label.data()) + L" (" + root.substr(0, 2) + L")";
  }
  return root;
}

std::vector<std::wstring> DriveRoots() {
  std::array<wchar_t, kDriveBufferLength> buffer{};
  const DWORD length = ::GetLogicalDriveStringsW(kDriveBufferLength, buffer.data());
  std::vector<std::wstring> roots;
  if (length == 0 || length > kDriveBufferLength) return roots;
  for (const wchar_t* root = buffer.data(); *root != L'\0' && roots.size() < kMostDriveRoots;
       root += std::wcslen(root) + 1)
    roots.emplace_back(root);
  return roots;
}

// Reports which first-run step failed; FirstTime then stops where it is.
struct TStepFailure {
  std::wstring step;
  unsigned long code;
};

void Check(LSTATUS status, const std::wstring& step) {
  if (status != ERROR_SUCCESS) throw TStepFailure{step, static_cast<unsigned long>(status)};
}

}  // namespace

void LoadLists(TFavouriteLists& lists) {
  lists.PathNames.clear();
  lists.PathValues.clear();
  lists.FilterMasks.clear();
  lists.FilterCaptions.clear();
  Guarded(L"QuillFolder.UpdateListMenu", [&] {
    ReadStringValues(kFavouritesKey, lists.PathNames, lists.PathValues);
    ReadStringValues(kFiltersKey, lists.FilterMasks, lists.FilterCaptions);
  });
}

bool IsFavourite(const TFavouriteLists& lists, const std::wstring& path) {
  const std::wstring entry = path + kEntryMarker;
  for (const auto& name : lists.PathNames)
    if (SameText(name, path) || SameText(name, entry)) return true;
  return false;
}

TAddResult AddFavourite(TFavouriteLists& lists, const std::wstring& text, bool alwaysAddDialog,
                        const std::function<bool(std::wstring& caption)>& askCaption) {
  if (text == kUpdateCommand) return TAddResult::Reload;
  if (text.empty() || !IsUsableFolder(text)) return TAddResult::Ignored;
  if (IsFavourite(lists, text)) return TAddResult::Ignored;
  // A folder whose own name ends like a submenu marker ("D:\Old$2") would be stored as an entry
  // of another folder (D:\Old) and open the wrong place; it cannot be kept as a favourite.
  if (!CanStandAtTopLevel(text)) {
    CommonLogRunEvent(L"QuillFolder.AddListMenu", L"Name reads as a submenu entry, not added: " + text);
    return TAddResult::Refused;
  }

  std::wstring caption = TestName(text, ShortPathName);
  if (alwaysAddDialog && askCaption && !askCaption(caption)) return TAddResult::Cancelled;

  // The in-memory value carries its image like the stored one, so a "$" in the caption is
  // never taken for the image separator.
  const std::wstring value = caption + kPlainImage;
  lists.PathNames.push_back(text);
  lists.PathValues.push_back(value);

  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = CreateKey(kFavouritesKey, status);
  if (!key) {
    CommonLogErrorEvent(L"QuillFolder.AddListMenu", L"Can't open key", std::wstring(L"Key=") + kFavouritesKey,
                        static_cast<unsigned long>(status), false);
    return TAddResult::Added;
  }
  if (!ValueExists(key.get(), text) && !ValueExists(key.get(), text + kEntryMarker)) {
    status = WriteString(key.get(), text, value);
    if (status != ERROR_SUCCESS)
      CommonLogErrorEvent(L"QuillFolder.AddListMenu", L"Can't write value", L"Name=" + text,
                          static_cast<unsigned long>(status), false);
  }
  return TAddResult::Added;
}

void RemoveFavourite(const std::wstring& path) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = CreateKey(kFavouritesKey, status);
  if (!key) {
    CommonLogErrorEvent(L"QuillFolder.RemoveClick", L"Can't open key", std::wstring(L"Key=") + kFavouritesKey,
                        static_cast<unsigned long>(status), false);
    return;
  }
  const std::wstring name = ValueExists(key.get(), path) ? path : path + kEntryMarker;
  status = ::RegDeleteValueW(key.get(), name.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    CommonLogErrorEvent(L"QuillFolder.RemoveClick", L"Can't delete value", L"Name=" + name,
                        static_cast<unsigned long>(status), false);
}

namespace {

// While the store is replaced, a complete copy of both keys waits here; "Complete" is written
// last, so a copy without it was never finished and the keys were not touched yet.
constexpr wchar_t kReplaceCopyKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\Replacing";
constexpr wchar_t kReplaceCopyComplete[] = L"Complete";
// A rewrite that left fewer values than it was given lost some: two names the registry holds for
// one (they differ only in case). It has no code of its own among the registry's.
constexpr LSTATUS kValuesLost = ERROR_DUP_NAME;

struct TStoreKey {
  const wchar_t* path;
  const wchar_t* copyName;  // the subkey of kReplaceCopyKey that holds its copy
};
constexpr TStoreKey kStoreKeys[] = {{kFavouritesKey, L"Path"}, {kFiltersKey, L"Filter"}};

std::wstring CopyPath(const TStoreKey& key) { return std::wstring(kReplaceCopyKey) + L"\\" + key.copyName; }

DWORD ValueCount(HKEY key) {
  DWORD count = 0;
  ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
  return count;
}

// Deletes a key and creates it again with the values in order (a new key keeps creation order);
// the first failure's status, kValuesLost when the key holds fewer values than it was given.
LSTATUS RewriteKey(const std::wstring& path, const std::vector<win::TRegValue>& values) {
  LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, path, kReadWrite, &status);
  if (!key) return status;
  for (const auto& value : values) {
    status = win::WriteValue(key.get(), value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ValueCount(key.get()) < values.size() ? kValuesLost : ERROR_SUCCESS;
}

// Everything the key holds now, whatever the type: what an undo must put back.
struct TKeySnapshot {
  bool existed = false;
  std::vector<win::TRegValue> values;
};

LSTATUS TakeSnapshot(const std::wstring& path, TKeySnapshot& snapshot) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE, &status);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (!key) return status;
  snapshot.existed = true;
  return win::ReadValues(key.get(), snapshot.values);
}

LSTATUS PutBack(const std::wstring& path, const TKeySnapshot& snapshot) {
  const LSTATUS status =
      snapshot.existed ? RewriteKey(path, snapshot.values) : ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    CommonLogErrorEvent(L"QuillFolder.ReplaceStore", L"Can't restore key", L"Key=" + path,
                        static_cast<unsigned long>(status), false);
    return status;
  }
  return ERROR_SUCCESS;
}

void DropReplaceCopy() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kReplaceCopyKey); }

// Writes the copy of both keys that a start restores if the replace never finishes.
LSTATUS WriteReplaceCopy(const TKeySnapshot (&snapshots)[2]) {
  DropReplaceCopy();
  for (std::size_t i = 0; i < std::size(kStoreKeys); ++i) {
    if (!snapshots[i].existed) continue;
    const LSTATUS status = RewriteKey(CopyPath(kStoreKeys[i]), snapshots[i].values);
    if (status != ERROR_SUCCESS) return status;
  }
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey copy = win::CreateKey(HKEY_CURRENT_USER, kReplaceCopyKey, kReadWrite, &status);
  return copy ? win::WriteDword(copy.get(), kReplaceCopyComplete, 1) : status;
}

}  // namespace

bool RestoreInterruptedReplace() {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey copy = win::OpenKey(HKEY_CURRENT_USER, kReplaceCopyKey, KEY_QUERY_VALUE, &status);
  if (!copy) return false;
  if (!ValueExists(copy.get(), kReplaceCopyComplete)) {
    CommonLogRunEvent(L"QuillFolder.ReplaceStore", L"an unfinished copy of the store found and dropped");
    DropReplaceCopy();
    return false;
  }
  TKeySnapshot snapshots[2];
  for (std::size_t i = 0; i < std::size(kStoreKeys); ++i) {
    status = TakeSnapshot(CopyPath(kStoreKeys[i]), snapshots[i]);
    if (status != ERROR_SUCCESS) {
      CommonLogErrorEvent(L"QuillFolder.ReplaceStore", L"Can't read the store's copy, kept for the next start",
                          CopyPath(kStoreKeys[i]), static_cast<unsigned long>(status), false);
      return false;
    }
  }
  for (std::size_t i = 0; i < std::size(kStoreKeys); ++i)
    if (PutBack(kStoreKeys[i].path, snapshots[i]) != ERROR_SUCCESS) return false;
  DropReplaceCopy();
  CommonLogErrorEvent(L"QuillFolder.ReplaceStore",
                      L"The last replace of the store did not finish: favourites and filters restored", L"", 0, false);
  return true;
}

bool ReplaceStoreKeys(const TStoreValues* favourites, const TStoreValues* filters) {
  const auto values = [](const TStoreValues& pairs) {
    std::vector<win::TRegValue> result;
    for (const auto& [name, data] : pairs) result.push_back(win::StringValue(name, data));
    return result;
  };
  // Nothing is deleted before both keys are known whole and copied where a start finds them.
  TKeySnapshot snapshots[2];
  LSTATUS status = TakeSnapshot(kFavouritesKey, snapshots[0]);
  if (status == ERROR_SUCCESS) status = TakeSnapshot(kFiltersKey, snapshots[1]);
  if (status == ERROR_SUCCESS) status = WriteReplaceCopy(snapshots);
  if (status != ERROR_SUCCESS) {
    DropReplaceCopy();
    CommonLogErrorEvent(L"QuillFolder.ReplaceStore", L"Can't keep a copy of the store, nothing replaced", L"",
                        static_cast<unsigned long>(status), false);
    return false;
  }
  const TStoreValues* wanted[] = {favourites, filters};
  for (std::size_t i = 0; i < std::size(kStoreKeys) && status == ERROR_SUCCESS; ++i)
    if (wanted[i] != nullptr) status = RewriteKey(kStoreKeys[i].path, values(*wanted[i]));
  if (status == ERROR_SUCCESS) {
    DropReplaceCopy();
    return true;
  }
  CommonLogErrorEvent(L"QuillFolder.ReplaceStore",
                      status == kValuesLost ? L"Two values of the store share one name, restoring it"
                                            : L"Can't write the store, restoring it",
                      L"", static_cast<unsigned long>(status), false);
  bool restored = true;
  for (std::size_t i = 0; i < std::size(kStoreKeys); ++i)
    if (wanted[i] != nullptr) restored = PutBack(kStoreKeys[i].path, snapshots[i]) == ERROR_SUCCESS && restored;
  // A restore that failed leaves the copy for the next start to try again.
  if (restored) DropReplaceCopy();
  return false;
}

bool ReplaceStore(const TFavouriteLists& lists) {
  TStoreValues favourites, filters;
  for (std::size_t i = 0; i < lists.PathNames.size() && i < lists.PathValues.size(); ++i)
    favourites.emplace_back(lists.PathNames[i], lists.PathValues[i]);
  for (std::size_t i = 0; i < lists.FilterMasks.size() && i < lists.FilterCaptions.size(); ++i)
    filters.emplace_back(lists.FilterMasks[i], lists.FilterCaptions[i]);
  return ReplaceStoreKeys(&favourites, &filters);
}

namespace {

// The type of a drive, asked of the system at most once a second per drive letter: a menu
// rebuild asks for every favourite, and the question costs a round trip to the mount manager.
UINT CachedDriveType(const std::wstring& root) {
  struct TEntry {
    UINT type = DRIVE_UNKNOWN;
    ULONGLONG asked = 0;
    bool known = false;
  };
  static TEntry entries[26];
  const wchar_t letter = static_cast<wchar_t>(std::towupper(root[0]));
  if (letter < L'A' || letter > L'Z') return ::GetDriveTypeW(root.c_str());
  TEntry& entry = entries[letter - L'A'];
  const ULONGLONG now = ::GetTickCount64();
  if (!entry.known || now - entry.asked > 1000) {
    entry.type = ::GetDriveTypeW(root.c_str());
    entry.asked = now;
    entry.known = true;
  }
  return entry.type;
}

}  // namespace

bool IsRemoteFile(const std::wstring& path) {
  if (path.size() < 3) return false;
  if (path.starts_with(L"\\\\")) return true;
  if (path[2] != L'\\') return false;
  switch (CachedDriveType(path.substr(0, 3))) {
    case DRIVE_REMOVABLE:
    case DRIVE_REMOTE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
      return true;
    default:
      return false;
  }
}

bool IsUsableFolder(const std::wstring& path) { return IsRemoteFile(path) || DirectoryExists(path); }

std::wstring GetDisplayName(STRRET& name, LPCITEMIDLIST item) {
  switch (name.uType) {
    case STRRET_WSTR: {
      const win::TCoTaskMem<wchar_t> text(std::exchange(name.pOleStr, nullptr));
      return text ? std::wstring(text.get()) : std::wstring();
    }
    case STRRET_OFFSET: {
      if (item == nullptr) return {};
      const char* text = reinterpret_cast<const char*>(item) + name.uOffset;
      return FromAnsi(text, std::strlen(text));
    }
    case STRRET_CSTR:
      return FromAnsi(name.cStr, static_cast<std::size_t>(std::find(std::begin(name.cStr), std::end(name.cStr), '\0') -
                                                          std::begin(name.cStr)));
    default:
      return {};
  }
}

TShellNames GetNames() {
  TShellNames names;
  const win::TComApartment apartment;
  win::TComPtr<IShellFolder> desktop;
  if (!apartment.Usable() || FAILED(::SHGetDesktopFolder(desktop.put()))) return names;
  names.computer = SpecialFolderDisplayName(desktop.get(), CSIDL_DRIVES);
  names.documents = SpecialFolderDisplayName(desktop.get(), CSIDL_PERSONAL);
  if (DirectoryExists(names.documents)) names.documents = GetFolderName(names.documents);
  return names;
}

namespace {

void LoadFavoritesUnguarded(const std::wstring& folder, const std::wstring& subfolder) {
  try {
    const win::TComApartment apartment;
    LSTATUS status = ERROR_SUCCESS;
    const win::TRegKey key = CreateKey(kFavouritesKey, status);
    Check(status, L"Can't open key");

    const std::wstring source = subfolder.empty() ? folder : text::JoinPath(folder, subfolder);
    WIN32_FIND_DATAW found{};
    const win::TFindHandle find(::FindFirstFileW(text::JoinPath(source, L"*.lnk").c_str(), &found));
    if (!find) return;
    bool headerWritten = false;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      const std::wstring file = found.cFileName;
      const std::wstring target = ShortcutTarget(text::JoinPath(source, file));
      if (target.empty() || !IsUsableFolder(target)) continue;
      // As when adding: a top-level target named like a submenu entry would open another folder.
      if (subfolder.empty() && !CanStandAtTopLevel(target)) continue;
      const std::wstring caption =
          file.size() > kShortcutExtensionLength ? file.substr(0, file.size() - kShortcutExtensionLength) : L"";
      if (!subfolder.empty() && !headerWritten) {
        Check(WriteString(key.get(), kSubmenuHeaderPrefix + subfolder, subfolder + kHeaderImage),
              L"Can't write header");
        headerWritten = true;
      }
      Check(WriteString(key.get(), subfolder.empty() ? target : target + kEntryMarker, caption + kPlainImage),
            L"Can't write value");
    } while (::FindNextFileW(find.get(), &found));
  } catch (const TStepFailure& failure) {
    CommonLogErrorEvent(L"QuillFolder.LoadFavorites", failure.step, L"Folder=" + folder + L", Subfolder=" + subfolder,
                        failure.code, false);
  }
}

void FirstTimeUnguarded() {
  try {
    const win::TComApartment apartment;

    LSTATUS status = ERROR_SUCCESS;
    std::wstring documents, music, pictures, favorites;
    {
      const win::TRegKey shellFolders = OpenKey(kShellFoldersKey, KEY_QUERY_VALUE, status);
      documents = ShellFolder(shellFolders.get(), L"Personal");
      music = ShellFolder(shellFolders.get(), L"My Music");
      pictures = ShellFolder(shellFolders.get(), L"My Pictures");
      favorites = ShellFolder(shellFolders.get(), L"Favorites");
    }
    const std::wstring musicCaption = GetFolderName(music);
    const std::wstring picturesCaption = GetFolderName(pictures);

    TShellNames names = GetNames();
    if (names.computer.empty()) names.computer = kDefaultComputerName;
    if (names.documents.empty()) names.documents = kDefaultDocumentsName;

    if (const win::TRegKey key = CreateKey(kFavouritesKey, status)) {
      Check(WriteString(key.get(), kComputerHeader, names.computer + kHeaderImage), L"Can't write computer");
      for (const auto& root : DriveRoots())
        Check(WriteString(key.get(), root + kEntryMarker, DriveCaption(root) + kDriveImage),
              L"Can't write drive " + root);
      if (!documents.empty())
        Check(WriteString(key.get(), documents, names.documents + kDocumentsImage), L"Can't write documents");
      if (!music.empty()) Check(WriteString(key.get(), music, musicCaption + kMusicImage), L"Can't write music");
      if (!pictures.empty())
        Check(WriteString(key.get(), pictures, picturesCaption + kPicturesImage), L"Can't write pictures");
    } else {
      CommonLogErrorEvent(L"QuillFolder.FirstTime", L"Can't open key", std::wstring(L"Key=") + kFavouritesKey,
                          static_cast<unsigned long>(status), false);
    }

    if (!favorites.empty()) {
      WIN32_FIND_DATAW found{};
      std::vector<std::wstring> subfolders;
      {
        const win::TFindHandle find(::FindFirstFileW(text::JoinPath(favorites, L"*").c_str(), &found));
        if (find) {
          do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L".." && IsUsableFolder(text::JoinPath(favorites, name))) subfolders.push_back(name);
          } while (::FindNextFileW(find.get(), &found));
        }
      }
      for (const auto& subfolder : subfolders) LoadFavorites(favorites, subfolder);
      LoadFavorites(favorites, L"");
    }

    {
      const win::TRegKey key = CreateKey(kFiltersKey, status);
      Check(status, L"Can't open filters key");
      for (const auto& filter : kDefaultFilters)
        Check(WriteString(key.get(), filter.masks, filter.caption),
              std::wstring(L"Can't write filter ") + filter.caption);
    }
    {
      const win::TRegKey key = CreateKey(kSettingsKey, status);
      Check(status, L"Can't open settings key");
      Check(WriteString(key.get(), kProgramFolderValue, ProgramFolder()), L"Can't write Path");
    }
    {
      const win::TRegKey key = CreateKey(kRunKey, status);
      if (key) status = WriteString(key.get(), kRunValue, ProgramPath());
      // Autorun is a convenience the user can switch on again in the options.
      if (status != ERROR_SUCCESS)
        CommonLogErrorEvent(L"QuillFolder.FirstTime", L"Can't write Run value", L"", static_cast<unsigned long>(status),
                            false);
    }

    RegisterShellExtension(true);
    CommonLogRunEvent(L"QuillFolder.FirstTime", L"end");
  } catch (const TStepFailure& failure) {
    CommonLogErrorEvent(L"QuillFolder.FirstTime", failure.step, L"", failure.code, false);
  }
}

}  // namespace

void LoadFavorites(const std::wstring& folder, const std::wstring& subfolder) {
  Guarded(L"QuillFolder.LoadFavorites", [&] { LoadFavoritesUnguarded(folder, subfolder); });
}

void RegisterShellExtension(bool on) {
  const std::wstring parameters = std::wstring(on ? L"/s" : L"/s /u") + L" \"" + ProgramFolder() + kShellExtension + L"\"";
  const auto started = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, nullptr, kRegsvr32, parameters.c_str(), nullptr, SW_SHOWNORMAL));
  // ShellExecute reports success as a value above 32.
  if (started <= 32)
    CommonLogErrorEvent(L"QuillFolder.RegisterShellExtension", L"Can't start Regsvr32", parameters, ::GetLastError(),
                        false);
}

void FirstTime() {
  CommonLogRunEvent(L"QuillFolder.FirstTime", L"begin");
  Guarded(L"QuillFolder.FirstTime", FirstTimeUnguarded);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}
