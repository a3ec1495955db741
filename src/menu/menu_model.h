// The folder menu's favourites section and Filter submenu as plain data, built from the four
// in-memory lists by portable rules and applied to a real HMENU by the Win32 layer.
// Portable; main thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Tags carried by generated items: a favourite, header or entry carries its PathNames position
// plus kFavouriteTagBase, a filter its FilterMasks position plus kFilterTagBase.
inline constexpr int kFavouriteTagBase = 20;
inline constexpr int kFilterTagBase = 300;

struct TMenuModelItem {
  std::wstring caption;
  int image = -1;        // index in the 20-image menu image list; -1: no image
  int tag = 0;           // see the tag bases above
  bool submenu = false;  // a submenu header: no click of its own, `children` are its entries
  std::vector<TMenuModelItem> children;
};

// The favourites section, top to bottom. `usable` answers whether a folder may be shown
// (it exists, or it is a remote or removable path that is never probed).
std::vector<TMenuModelItem> BuildFavouritesModel(const std::vector<std::wstring>& pathNames,
                                                 const std::vector<std::wstring>& pathValues,
                                                 const std::function<bool(const std::wstring&)>& usable);
// The Filter submenu: one item per filter, caption from FilterCaptions, no image.
std::vector<TMenuModelItem> BuildFilterModel(const std::vector<std::wstring>& filterMasks,
                                             const std::vector<std::wstring>& filterCaptions);
