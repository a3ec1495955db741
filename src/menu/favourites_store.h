// The favourites and filters store: the registry keys of record and their in-memory mirror (the
// four lists the folder menu is built from): loading, asking, adding, removing and replacing.
// The lists belong to the main window; everything here runs on the main thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "settings/settings_registry.h"

inline constexpr wchar_t kFavouritesKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\Path";
inline constexpr wchar_t kFiltersKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\Filter";

// The mirror of the two keys, in registry enumeration order: PathNames[i] is a value name of
// the favourites key and PathValues[i] its data ("caption$image"); FilterMasks[i] a filter's mask
// list and FilterCaptions[i] its caption. A position is an entry's identity in the menu's tags.
struct TFavouriteLists {
  std::vector<std::wstring> PathNames;
  std::vector<std::wstring> PathValues;
  std::vector<std::wstring> FilterMasks;
  std::vector<std::wstring> FilterCaptions;
};

// Refills all four lists from the registry. A missing key leaves its lists empty; a value that
// is not a string is left out with an error event, and the others still load.
void LoadLists(TFavouriteLists& lists);

// True when PathNames holds the path itself or as a submenu entry (path + "$2"), in any case.
bool IsFavourite(const TFavouriteLists& lists, const std::wstring& path);

enum class TAddResult {
  Added,      // appended to the lists (and written, unless the registry already had it)
  Reload,     // the text was the reload command: the caller reloads the lists and the menu
  Ignored,    // empty, not a usable folder, or already a favourite: nothing changed
  Refused,    // a folder that cannot stand at the top level (kEndsLikeSubmenuEntry)
  Cancelled,  // the user closed the add dialog without OK
};

// Adds a folder as a favourite at the end of the lists and of the favourites key. With
// alwaysAddDialog, askCaption gets the proposed caption to change, and answers false for a
// cancelled dialog. The caller rebuilds the menu.
TAddResult AddFavourite(TFavouriteLists& lists, const std::wstring& text, bool alwaysAddDialog,
                        const std::function<bool(std::wstring& caption)>& askCaption);

// Deletes the favourite named path, or else its submenu entry path + "$2"; a header left without
// entries stays. The caller reloads the lists.
void RemoveFavourite(const std::wstring& path);

// Replaces the favourites key and the filters key with the lists, written in list order (a new
// key keeps creation order). A complete copy of both keys is kept in the registry until the new
// values are written, so a replace cut short (a kill, a power cut) is undone at the next start.
// When a write fails, or a key ends with fewer values than it was given (two names the registry
// holds as one), both keys get back what they held before and the answer is false.
bool ReplaceStore(const TFavouriteLists& lists);
// The same for one key or both, as (name, data) pairs: a key left out is not touched.
using TStoreValues = std::vector<std::pair<std::wstring, std::wstring>>;
bool ReplaceStoreKeys(const TStoreValues* favourites, const TStoreValues* filters);
// At start: a replace that did not finish left its copy; both keys get it back (logged). True
// when it restored them.
bool RestoreInterruptedReplace();
