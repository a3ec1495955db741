// Puts the favourites model and the filter model onto the real folder menu. Owns nothing: the
// menus belong to their owners, the images to a TMenuImages that outlives them and draws them for
// the menus' owner window (see menu_images.h). Main thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_images.h"
#include "menu/menu_model.h"

// Command ids of generated items. The fixed commands of res/resource.h lie far below; each
// range holds kCommandRangeSize entries, and TrackPopupMenu's 16-bit results hold both ranges.
inline constexpr UINT kFavouriteCommandBase = 20000;
inline constexpr UINT kFilterCommandBase = 40000;
inline constexpr UINT kCommandRangeSize = 20000;
// The recent submenus' items: the shown item's place in its submenu, counted from the top.
inline constexpr UINT kRecentFolderCommandBase = 60000;
inline constexpr UINT kRecentFileCommandBase = 62500;
inline constexpr UINT kRecentCommandRangeSize = 2500;
inline constexpr UINT kOpenFolderCommandBase = 65000;
inline constexpr UINT kOpenFolderCommandRangeSize = 100;

// A caption as a menu shows it: menus read "&" as the mark of a mnemonic, so a folder named
// "Tom & Jerry" gets its "&" doubled.
std::wstring MenuCaption(const std::wstring& caption);
// Takes every item out of a menu (submenus of items go with them).
void EmptyMenu(HMENU menu);
// Appends a folder or file item: its `TestName` caption, `data` as its tag, an image place the
// owner draws.
void AppendPathItem(HMENU menu, UINT command, const std::wstring& path, ULONG_PTR data);

// The favourites section is everything above the first separator of the folder menu, which
// begins the fixed tail: the separator's position, or -1 when there is none.
int FirstSeparator(HMENU menu);

// The command id of the item with this tag (favourite: PathNames position + 20, filter:
// FilterMasks position + 300); 0 for a tag outside the range, which then gets no item.
UINT FavouriteCommand(int tag);
UINT FilterCommand(int tag);
// A picked command back to its PathNames or FilterMasks position; none for other commands.
std::optional<int> FavouriteIndexFromCommand(UINT command);
std::optional<int> FilterIndexFromCommand(UINT command);

// BuiltPath on the menu itself: deletes the items above the first separator (with the
// submenus of their headers) and inserts the model there, top to bottom: captions, item data =
// tag, command ids as above (a header's id only names its image: it sends no command), images
// (or empty places) assigned in `images` by command id; headers become submenus of their
// children.
void ApplyFavourites(HMENU menu, const std::vector<TMenuModelItem>& model, TMenuImages& images);
// Empties the Filter submenu and fills it from the model, without images.
void ApplyFilters(HMENU filterMenu, const std::vector<TMenuModelItem>& model);
