#include "menu/menu_model.h"

#include "menu/favourites_rules.h"

namespace {

// The lists are parallel, but a value list cut short by a failed read must not take the menu
// down: a missing value reads as an empty caption.
const std::wstring& ValueAt(const std::vector<std::wstring>& values, std::size_t i) {
  static const std::wstring empty;
  return i < values.size() ? values[i] : empty;
}

TMenuModelItem ItemFor(const std::wstring& value, std::size_t position) {
  const TCaptionNumber split = Cap(value);
  TMenuModelItem item;
  item.caption = split.caption;
  item.image = split.number;
  item.tag = static_cast<int>(position) + kFavouriteTagBase;
  return item;
}

}  // namespace

std::vector<TMenuModelItem> BuildFavouritesModel(const std::vector<std::wstring>& pathNames,
                                                 const std::vector<std::wstring>& pathValues,
                                                 const std::function<bool(const std::wstring&)>& usable) {
  std::vector<TMenuModelItem> items;
  const std::size_t count = pathNames.size();
  std::size_t i = 0;
  while (i < count) {
    const std::wstring& name = pathNames[i];
    if (IsSubmenuHeader(name)) {
      // A header whose next line is no entry heads an empty submenu, which is not shown.
      if (i + 1 >= count || !IsSubmenuEntry(pathNames[i + 1])) {
        ++i;
        continue;
      }
      TMenuModelItem header = ItemFor(ValueAt(pathValues, i), i);
      header.submenu = true;
      std::size_t j = i + 1;
      for (; j < count; ++j) {
        const std::wstring& entry = pathNames[j];
        if (IsSubmenuHeader(entry)) break;
        // A folder that is gone is passed over without ending the submenu, so the entries
        // after it stay where the user put them.
        if (!usable(EntryPath(entry))) continue;
        if (!IsSubmenuEntry(entry)) break;
        header.children.push_back(ItemFor(ValueAt(pathValues, j), j));
      }
      items.push_back(std::move(header));
      i = j;
      continue;
    }
    if (!IsSubmenuEntry(name) && usable(EntryPath(name))) items.push_back(ItemFor(ValueAt(pathValues, i), i));
    ++i;
  }
  return items;
}

std::vector<TMenuModelItem> BuildFilterModel(const std::vector<std::wstring>& filterMasks,
                                             const std::vector<std::wstring>& filterCaptions) {
  std::vector<TMenuModelItem> items;
  items.reserve(filterMasks.size());
  for (std::size_t i = 0; i < filterMasks.size(); ++i) {
    TMenuModelItem item;
    item.caption = ValueAt(filterCaptions, i);
    item.tag = static_cast<int>(i) + kFilterTagBase;
    items.push_back(std::move(item));
  }
  return items;
}
