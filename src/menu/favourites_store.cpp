#include "menu/favourites_store.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "settings/settings_values.h"
#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "settings/command_line.h"
#include "win/com.h"
#include "win/files.h"
#include "win/registry.h"
#include "win/shell_paths.h"
#include "win/handles.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {


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
    CommonLogRegistryError(L"QuillFolder.UpdateListMenu", L"RegEnumValue fail",
                           std::wstring(L"Key=") + path + L", Index=" + std::to_wstring(values.size()), status);
  for (const auto& value : values) {
    if (!IsStringType(value.type)) {
      CommonLogErrorEvent(
          L"QuillFolder.UpdateListMenu", L"Invalid data type, value skipped",
          std::wstring(L"Key=") + path + L", Name=" + value.name + L", Type=" + std::to_wstring(value.type), 0, false);
      continue;
    }
    names.push_back(value.name);
    data.push_back(TextOf(value.data));
  }
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
  if (text == kSwitchUpdate) return TAddResult::Reload;
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
    CommonLogCantOpenKey(L"QuillFolder.AddListMenu", kFavouritesKey, status);
    return TAddResult::Added;
  }
  if (!ValueExists(key.get(), text) && !ValueExists(key.get(), text + kEntryMarker)) {
    status = WriteString(key.get(), text, value);
    if (status != ERROR_SUCCESS)
      CommonLogRegistryError(L"QuillFolder.AddListMenu", L"Can't write value", L"Name=" + text, status);
  }
  return TAddResult::Added;
}

void RemoveFavourite(const std::wstring& path) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = CreateKey(kFavouritesKey, status);
  if (!key) {
    CommonLogCantOpenKey(L"QuillFolder.RemoveClick", kFavouritesKey, status);
    return;
  }
  const std::wstring name = ValueExists(key.get(), path) ? path : path + kEntryMarker;
  status = ::RegDeleteValueW(key.get(), name.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    CommonLogRegistryError(L"QuillFolder.RemoveClick", L"Can't delete value", L"Name=" + name, status);
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
    CommonLogRegistryError(L"QuillFolder.ReplaceStore", L"Can't restore key", L"Key=" + path, status);
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
      CommonLogRegistryError(L"QuillFolder.ReplaceStore", L"Can't read the store's copy, kept for the next start",
                             CopyPath(kStoreKeys[i]), status);
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
    CommonLogRegistryError(L"QuillFolder.ReplaceStore", L"Can't keep a copy of the store, nothing replaced", L"",
                           status);
    return false;
  }
  const TStoreValues* wanted[] = {favourites, filters};
  for (std::size_t i = 0; i < std::size(kStoreKeys) && status == ERROR_SUCCESS; ++i)
    if (wanted[i] != nullptr) status = RewriteKey(kStoreKeys[i].path, values(*wanted[i]));
  if (status == ERROR_SUCCESS) {
    DropReplaceCopy();
    return true;
  }
  CommonLogRegistryError(L"QuillFolder.ReplaceStore",
                         status == kValuesLost ? L"Two values of the store share one name, restoring it"
                                               : L"Can't write the store, restoring it",
                         L"", status);
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
