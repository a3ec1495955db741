// Benchmark of the folder menu's rebuild: reloading 1,000 favourites in 50 submenus and 100
// filters from the registry (UpdateListMenu) and building the menu from them (BuiltPath), with
// real folders behind every favourite. Prints figures; writes the bench store into the current
// user's registry of the Wine prefix it runs in and removes it afterwards.
// `menu_bench open-folders` instead times deciding that "Open Folders" shows and reading the
// Explorer windows open into it; `menu_bench search` the search box's ranking per keystroke.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "menu/favourites_store.h"
#include "menu/folder_menu.h"
#include "menu/menu_images.h"
#include "menu/menu_model.h"
#include "menu/open_folders_menu.h"
#include "menu/search_ranking.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/shell_paths.h"
#include "win/text_rules.h"

namespace {

constexpr int kSubmenus = 50;
constexpr int kEntriesPerSubmenu = 20;
constexpr int kFilters = 100;
constexpr int kRuns = 20;

void SetString(HKEY key, const std::wstring& name, const std::wstring& data) {
  ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

win::TRegKey CreateKey(const wchar_t* path) {
  HKEY raw = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr);
  return win::TRegKey(raw);
}

// Deciding whether "Open Folders" shows, as every display of the menu does, and reading the open
// Explorer windows into the submenu, as its opening does.
int OpenFoldersBench() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  TMenuImages images;
  images.Load(instance);
  win::TMenuHandle submenu(::CreatePopupMenu());
  TOpenFoldersMenu openFolders;
  std::vector<double> prepare, fill;
  for (int run = 0; run < kRuns; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    openFolders.Prepare(submenu.get(), nullptr, L"", instance);
    const auto t1 = std::chrono::steady_clock::now();
    TShellTabsRead shellTabs;
    openFolders.Fill(submenu.get(), instance, images, shellTabs);
    const auto t2 = std::chrono::steady_clock::now();
    prepare.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    fill.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  std::sort(prepare.begin(), prepare.end());
  std::sort(fill.begin(), fill.end());
  std::wprintf(
      L"\"Open Folders\" with %d Explorer windows listed: on the menu's path (frames found) median %.2f ms, "
      L"worst %.2f ms; when the submenu opens (frames read) median %.2f ms, worst %.2f ms (%d runs)\n",
      ::GetMenuItemCount(submenu.get()), prepare[kRuns / 2], prepare.back(), fill[kRuns / 2], fill.back(), kRuns);
  return 0;
}

// The search box's ranking over 10,000 entries (favourites, recent files and folders), a query
// typed letter by letter, each keystroke timed; beside it, as the yardstick, a plain case-blind
// search for the typed text in the same entries' captions and paths.
int SearchBench() {
  std::vector<TSearchEntry> entries;
  const wchar_t* words[] = {L"Projects", L"Reports", L"Archive", L"Photos",  L"Invoices",
                            L"Drafts",   L"Music",   L"Backup",  L"Clients", L"Source"};
  for (int i = 0; i < 10000; ++i) {
    const std::wstring a = words[i % 10], b = words[(i / 10) % 10], c = words[(i / 100) % 10];
    const std::wstring caption = b + L" " + std::to_wstring(i);
    const auto source =
        i % 3 == 0 ? TSearchSource::Favourite : (i % 3 == 1 ? TSearchSource::RecentFile : TSearchSource::RecentFolder);
    entries.push_back({caption, L"D:\\" + a + L"\\" + c + L"\\" + caption + (i % 3 == 1 ? L".docx" : L""), source});
  }
  std::vector<std::wstring> lowered;
  for (const TSearchEntry& entry : entries) lowered.push_back(text::LowerCase(entry.caption + L"|" + entry.path));
  TSearchIndex index(std::move(entries));
  TPickHistory history;
  for (int i = 0; i < 100; ++i) history.Picked(index.Entries()[static_cast<std::size_t>(i * 37)].path);
  const std::wstring query = L"prj arch 12";
  std::vector<double> ranked, plain;
  std::size_t hits = 0, found = 0;
  for (int run = 0; run < kRuns; ++run) {
    for (std::size_t length = 1; length <= query.size(); ++length) {
      const std::wstring typed = query.substr(0, length);
      const auto t0 = std::chrono::steady_clock::now();
      hits = index.Rank(typed, history, 500).size();
      const auto t1 = std::chrono::steady_clock::now();
      const std::wstring needle = text::LowerCase(typed);
      found = 0;
      for (const std::wstring& text : lowered) found += text.find(needle) != std::wstring::npos;
      const auto t2 = std::chrono::steady_clock::now();
      ranked.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      plain.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
  }
  std::sort(ranked.begin(), ranked.end());
  std::sort(plain.begin(), plain.end());
  const auto p90 = [](const std::vector<double>& v) { return v[v.size() * 9 / 10]; };
  std::wprintf(
      L"search over %zu entries, \"%ls\" typed letter by letter (%zu keystrokes): ranking median %.2f ms, "
      L"p90 %.2f ms, worst %.2f ms (%zu hits at the end); a plain substring search of the same texts median "
      L"%.2f ms, p90 %.2f ms (%zu found): ratio %.1f (goal: the ranking at most 2 ms)\n",
      index.Entries().size(), query.c_str(), ranked.size(), ranked[ranked.size() / 2], p90(ranked), ranked.back(), hits,
      plain[plain.size() / 2], p90(plain), found, ranked[ranked.size() / 2] / std::max(plain[plain.size() / 2], 1e-6));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"open-folders") return OpenFoldersBench();
  if (argc >= 2 && std::wstring(argv[1]) == L"search") return SearchBench();
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"qf-menu-bench\\";
  // The lists as Windows enumerates the values, in creation order. Wine enumerates them sorted
  // by name, which would hide every submenu, so the build is timed on these.
  TFavouriteLists ordered;
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFavouritesKey);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFiltersKey);
  {
    win::TRegKey favourites = CreateKey(kFavouritesKey);
    for (int s = 0; s < kSubmenus; ++s) {
      SetString(favourites.get(), L"Submenu" + std::to_wstring(s), L"Group " + std::to_wstring(s) + L"$5");
      ordered.PathNames.push_back(L"Submenu" + std::to_wstring(s));
      ordered.PathValues.push_back(L"Group " + std::to_wstring(s) + L"$5");
      for (int e = 0; e < kEntriesPerSubmenu; ++e) {
        const std::wstring folder = root + L"g" + std::to_wstring(s) + L"\\f" + std::to_wstring(e);
        ForceDirectories(folder);
        SetString(favourites.get(), folder + L"$2", L"Folder " + std::to_wstring(e) + L"$0");
        ordered.PathNames.push_back(folder + L"$2");
        ordered.PathValues.push_back(L"Folder " + std::to_wstring(e) + L"$0");
      }
    }
    win::TRegKey filters = CreateKey(kFiltersKey);
    for (int f = 0; f < kFilters; ++f)
      SetString(filters.get(), L"*.x" + std::to_wstring(f) + L";*.y" + std::to_wstring(f),
                L"Filter " + std::to_wstring(f));
  }

  TMenuImages images;
  images.Load(::GetModuleHandleW(nullptr));
  win::TMenuHandle menu(::CreatePopupMenu());
  win::TMenuHandle filterMenu(::CreatePopupMenu());
  ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu.get(), MF_STRING, 1001, L"Options...");

  // The rebuild is split as the agent does it: deciding the model (each folder checked on disk)
  // and applying it to the menu.
  std::vector<double> load, model, apply;
  TFavouriteLists lists;
  for (int run = 0; run < kRuns; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    LoadLists(lists);
    const auto t1 = std::chrono::steady_clock::now();
    const auto favourites = BuildFavouritesModel(ordered.PathNames, ordered.PathValues, IsUsableFolder);
    const auto filters = BuildFilterModel(lists.FilterMasks, lists.FilterCaptions);
    const auto t2 = std::chrono::steady_clock::now();
    ApplyFavourites(menu.get(), favourites, images);
    ApplyFilters(filterMenu.get(), filters);
    const auto t3 = std::chrono::steady_clock::now();
    load.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    model.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    apply.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
  }
  // The load's yardstick: as many bare registry calls as it reads values. Each call is a round
  // trip to the registry's owner (the Wine server here), which is what a load cannot do without.
  std::vector<double> bare;
  {
    win::TRegKey key = CreateKey(kFavouritesKey);
    for (int run = 0; run < kRuns; ++run) {
      const auto t0 = std::chrono::steady_clock::now();
      for (std::size_t call = 0; call < lists.PathNames.size() + lists.FilterMasks.size(); ++call) {
        DWORD values = 0;
        ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr);
      }
      bare.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
  }
  // The rebuild's yardstick: as many bare folder checks as the model makes, one attribute read
  // of each favourite's folder, which a rebuild that shows only existing folders cannot skip.
  std::vector<double> checks;
  for (int run = 0; run < kRuns; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::wstring& name : ordered.PathNames)
      if (name.ends_with(L"$2")) ::GetFileAttributesW(name.substr(0, name.size() - 2).c_str());
    checks.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  for (auto* figures : {&load, &model, &apply, &bare, &checks}) std::sort(figures->begin(), figures->end());
  int submenuItems = 0;
  for (int i = 0; i < ::GetMenuItemCount(menu.get()); ++i)
    if (HMENU sub = ::GetSubMenu(menu.get(), i)) submenuItems += ::GetMenuItemCount(sub);
  std::wprintf(
      L"%zu favourite values, %zu filters (%d top items, %d submenu items), medians of %d runs:\n"
      L"  load (UpdateListMenu) %.1f ms; as many bare registry calls %.1f ms: ratio %.2f "
      L"(goal: within 1.1 times as many bare registry calls)\n"
      L"  rebuild (BuiltPath) %.1f ms: model with folder checks %.1f ms, menu %.1f ms; as many bare folder "
      L"checks %.1f ms: ratio %.2f to the bare checks plus the menu (goal: within 1.2 times the bare folder "
      L"checks plus the menu)\n",
      lists.PathNames.size(), lists.FilterMasks.size(), ::GetMenuItemCount(menu.get()), submenuItems, kRuns,
      load[kRuns / 2], bare[kRuns / 2], load[kRuns / 2] / bare[kRuns / 2], model[kRuns / 2] + apply[kRuns / 2],
      model[kRuns / 2], apply[kRuns / 2], checks[kRuns / 2],
      (model[kRuns / 2] + apply[kRuns / 2]) / (checks[kRuns / 2] + apply[kRuns / 2]));

  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFavouritesKey);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFiltersKey);
  for (int s = 0; s < kSubmenus; ++s) {
    for (int e = 0; e < kEntriesPerSubmenu; ++e)
      ::RemoveDirectoryW((root + L"g" + std::to_wstring(s) + L"\\f" + std::to_wstring(e)).c_str());
    ::RemoveDirectoryW((root + L"g" + std::to_wstring(s)).c_str());
  }
  ::RemoveDirectoryW(root.c_str());
  return 0;
}
