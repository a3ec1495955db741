#include "menu/folder_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resource.h"
#include "../test_resources.h"
#include "../test_windows.h"

namespace {

// What one menu item is, read back from the menu.
struct TItem {
  std::wstring text;
  UINT id = 0;
  ULONG_PTR data = 0;
  HMENU submenu = nullptr;
  HBITMAP bitmap = nullptr;
  bool separator = false;
};

TItem ItemAt(HMENU menu, int position) {
  TItem item;
  wchar_t text[256] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_DATA | MIIM_SUBMENU | MIIM_BITMAP | MIIM_FTYPE;
  if (!::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) return item;
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
  item.text = text;
  item.id = info.wID;
  item.data = info.dwItemData;
  item.submenu = info.hSubMenu;
  item.bitmap = info.hbmpItem;
  item.separator = (info.fType & MFT_SEPARATOR) != 0;
  return item;
}

std::vector<TItem> Items(HMENU menu) {
  std::vector<TItem> items;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) items.push_back(ItemAt(menu, i));
  return items;
}

TMenuModelItem Entry(const wchar_t* caption, int image, int tag) {
  return TMenuModelItem{caption, image, tag, false, {}};
}

TMenuModelItem Header(const wchar_t* caption, int image, int tag, std::vector<TMenuModelItem> children) {
  return TMenuModelItem{caption, image, tag, true, std::move(children)};
}

// The folder menu as the agent has it: the fixed tail from the program's own resources.
class FolderMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(testres::Program(), nullptr) << "qrfolder.exe must be built beside the tests";
    ASSERT_TRUE(images_.Load(testres::Program()));
    bar_.reset(::LoadMenuW(testres::Program(), MAKEINTRESOURCEW(IDR_FOLDERMENU)));
    ASSERT_TRUE(bar_);
    menu_ = ::GetSubMenu(bar_.get(), 0);
    ASSERT_NE(menu_, nullptr);
    tail_ = Items(menu_);
    ASSERT_FALSE(tail_.empty());
    ASSERT_TRUE(tail_.front().separator);
  }

  // The items from the first separator down must be exactly the tail as loaded.
  void ExpectTailIntact(std::size_t favourites) {
    const auto items = Items(menu_);
    ASSERT_EQ(items.size(), favourites + tail_.size());
    for (std::size_t i = 0; i < tail_.size(); ++i) {
      SCOPED_TRACE(i);
      const TItem& now = items[favourites + i];
      EXPECT_EQ(now.text, tail_[i].text);
      EXPECT_EQ(now.id, tail_[i].id);
      EXPECT_EQ(now.submenu, tail_[i].submenu);
      EXPECT_EQ(now.separator, tail_[i].separator);
    }
  }

  TMenuImages images_;
  win::TMenuHandle bar_;
  HMENU menu_ = nullptr;
  std::vector<TItem> tail_;
};

const std::vector<TMenuModelItem> kModel = {
    Entry(L"My Documents", miDocumentsFolder, 20),
    Header(L"My Computer", miComputer, 21, {Entry(L"System (C:)", miDrive, 22), Entry(L"Z:\\", miDrive, 23)}),
    Entry(L"Music", miMusicFolder, 25),
    Entry(L"Pictures", miPicturesFolder, 26),
    Entry(L"Projects", 42, 30),  // an image index no image list has: no image
};

TEST_F(FolderMenu, FavouritesGoAboveTheTailInOrder) {
  ApplyFavourites(menu_, kModel, images_);

  ExpectTailIntact(kModel.size());
  const auto items = Items(menu_);
  const wchar_t* captions[] = {L"My Documents", L"My Computer", L"Music", L"Pictures", L"Projects"};
  const int tags[] = {20, 21, 25, 26, 30};
  for (std::size_t i = 0; i < kModel.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i].text, captions[i]);
    EXPECT_EQ(items[i].data, static_cast<ULONG_PTR>(tags[i]));
    EXPECT_FALSE(items[i].separator);
  }
  // Plain favourites are commands that lead back to their PathNames position.
  for (std::size_t i : {0u, 2u, 3u, 4u}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i].submenu, nullptr);
    EXPECT_EQ(FavouriteIndexFromCommand(items[i].id), tags[i] - kFavouriteTagBase);
    EXPECT_EQ(FilterIndexFromCommand(items[i].id), std::nullopt);
  }
  // The header is a submenu with its entries.
  ASSERT_NE(items[1].submenu, nullptr);
  const auto children = Items(items[1].submenu);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0].text, L"System (C:)");
  EXPECT_EQ(children[1].text, L"Z:\\");
  EXPECT_EQ(children[0].data, 22u);
  EXPECT_EQ(children[1].data, 23u);
  EXPECT_EQ(FavouriteIndexFromCommand(children[0].id), 2);
  EXPECT_EQ(FavouriteIndexFromCommand(children[1].id), 3);
}

TEST_F(FolderMenu, ItemsShowTheirImages) {
  ApplyFavourites(menu_, kModel, images_);
  const auto items = Items(menu_);
  const int expected[] = {miDocumentsFolder, miComputer, miMusicFolder, miPicturesFolder, -1};
  for (std::size_t i = 0; i < items.size() - tail_.size(); ++i) {
    SCOPED_TRACE(i);
    // The owner window draws the image: the item asks for it, and its command says which. The
    // entry whose index names no image gets an empty place of the same size.
    EXPECT_EQ(items[i].bitmap, HBMMENU_CALLBACK);
    EXPECT_TRUE(images_.Assigned(items[i].id));
    EXPECT_EQ(images_.ImageOf(items[i].id), expected[i]);
  }
  for (const TItem& child : Items(items[1].submenu)) {
    EXPECT_EQ(child.bitmap, HBMMENU_CALLBACK);
    EXPECT_EQ(images_.ImageOf(child.id), miDrive);
  }
}

TEST_F(FolderMenu, ApplyingAgainReplacesTheSection) {
  ApplyFavourites(menu_, kModel, images_);
  const HMENU oldSubmenu = ItemAt(menu_, 1).submenu;
  ASSERT_TRUE(::IsMenu(oldSubmenu));

  const std::vector<TMenuModelItem> smaller = {Entry(L"Projects", miFolder, 24),
                                               Header(L"Tools", miComputer, 20, {Entry(L"Bin", miFolder, 21)})};
  ApplyFavourites(menu_, smaller, images_);

  ExpectTailIntact(smaller.size());
  const auto items = Items(menu_);
  EXPECT_EQ(items[0].text, L"Projects");
  EXPECT_EQ(FavouriteIndexFromCommand(items[0].id), 4);
  EXPECT_EQ(items[1].text, L"Tools");
  ASSERT_NE(items[1].submenu, nullptr);
  ASSERT_EQ(::GetMenuItemCount(items[1].submenu), 1);
  // The old header's submenu serves the new one, holding only its entries; the old entries'
  // images went with them.
  EXPECT_EQ(items[1].submenu, oldSubmenu);
  EXPECT_EQ(images_.ImageOf(FavouriteCommand(25)), -1);
  EXPECT_EQ(images_.ImageOf(FavouriteCommand(20)), miComputer);
}

TEST_F(FolderMenu, EmptyModelLeavesTheMenuBeginningWithTheSeparator) {
  ApplyFavourites(menu_, kModel, images_);
  const HMENU oldSubmenu = ItemAt(menu_, 1).submenu;
  ApplyFavourites(menu_, {}, images_);
  // A submenu no header needs any more is destroyed.
  EXPECT_FALSE(::IsMenu(oldSubmenu));
  ExpectTailIntact(0);
  EXPECT_TRUE(ItemAt(menu_, 0).separator);
}

TEST_F(FolderMenu, FilterSubmenuIsFilledAndEmptied) {
  win::TMenuHandle filter(::CreatePopupMenu());
  ::AppendMenuW(filter.get(), MF_STRING, 1, L"left over");
  const std::vector<TMenuModelItem> filters = {Entry(L"All Files", -1, 300), Entry(L"Text Documents", -1, 301),
                                               Entry(L"Pictures", -1, 302)};
  ApplyFilters(filter.get(), filters);

  const auto items = Items(filter.get());
  ASSERT_EQ(items.size(), 3u);
  const wchar_t* captions[] = {L"All Files", L"Text Documents", L"Pictures"};
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i].text, captions[i]);
    EXPECT_EQ(items[i].data, 300u + i);
    EXPECT_EQ(items[i].bitmap, nullptr);
    EXPECT_EQ(FilterIndexFromCommand(items[i].id), static_cast<int>(i));
    EXPECT_EQ(FavouriteIndexFromCommand(items[i].id), std::nullopt);
  }

  ApplyFilters(filter.get(), {});
  EXPECT_EQ(::GetMenuItemCount(filter.get()), 0);
}

TEST(FolderMenuCommands, FixedCommandsAreNeitherFavouritesNorFilters) {
  for (UINT id = 1; id < 2000; ++id) {
    EXPECT_EQ(FavouriteIndexFromCommand(id), std::nullopt) << id;
    EXPECT_EQ(FilterIndexFromCommand(id), std::nullopt) << id;
  }
  // The ranges meet without overlapping, and both fit the 16 bits a menu command keeps.
  EXPECT_EQ(FavouriteIndexFromCommand(FavouriteCommand(kFavouriteTagBase + 19999)), 19999);
  EXPECT_EQ(FilterIndexFromCommand(FavouriteCommand(kFavouriteTagBase + 19999)), std::nullopt);
  EXPECT_EQ(FavouriteCommand(kFavouriteTagBase + 20000), 0u);
  EXPECT_EQ(FavouriteCommand(kFavouriteTagBase - 1), 0u);
  EXPECT_LE(FilterCommand(kFilterTagBase + 19999), 0xFFFFu);
}

// The owner of a shown menu: draws the items' images as the main window will, and notes which
// commands the menu asked it to draw.
struct TOwnerLog {
  TMenuImages* images = nullptr;
  std::vector<UINT> drawn;
  int ticks = 0;
};
TOwnerLog* OwnerLog = nullptr;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (OwnerLog != nullptr && message == WM_MEASUREITEM &&
      OwnerLog->images->MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
    return TRUE;
  if (OwnerLog != nullptr && message == WM_DRAWITEM) {
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (OwnerLog->images->DrawItem(item)) {
      OwnerLog->drawn.push_back(item.itemID);
      return TRUE;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(FolderMenu, ShownMenuHasItsOwnerDrawEveryImage) {
  ApplyFavourites(menu_, kModel, images_);
  ApplyCommandImages(menu_, images_);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QfMenuImageOwner";
  ::RegisterClassW(&windowClass);
  testwin::TWindow owner(::CreateWindowExW(0, L"QfMenuImageOwner", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(owner);
  TOwnerLog log;
  log.images = &images_;
  OwnerLog = &log;
  win::TScopeGuard forget([] { OwnerLog = nullptr; });

  // The menu closes itself once it has been drawn (or after a bound, for a broken build).
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    if (OwnerLog->drawn.size() >= 10 || ++OwnerLog->ticks > 200) ::EndMenu();
  });
  ::SetForegroundWindow(owner.get());
  ::TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_NONOTIFY, 100, 100, 0, owner.get(), nullptr);
  ::KillTimer(nullptr, timer);

  // Every favourite (the header among them, the one without an image for its empty place) and
  // every command of the tail.
  const UINT wanted[] = {FavouriteCommand(20), FavouriteCommand(21), FavouriteCommand(25), FavouriteCommand(26),
                         FavouriteCommand(30), IDM_ADDCURRENT,       IDM_REMOVECURRENT,    IDM_OPENFOLDER,
                         IDM_SETTING,          IDM_CHECKFORUPDATES};
  for (UINT id : wanted)
    EXPECT_NE(std::find(log.drawn.begin(), log.drawn.end(), id), log.drawn.end()) << "not drawn: " << id;
}

// A pick in the real popup, made with the keyboard, comes back as the command of the entry.
TEST_F(FolderMenu, KeyboardPickInTheSubmenuReturnsItsEntry) {
  ApplyFavourites(menu_, kModel, images_);
  testwin::TWindow owner = testwin::Frame(L"QfMenuOwner", {10, 10, 60, 60});
  ASSERT_TRUE(owner);
  ::SetForegroundWindow(owner.get());

  // Runs inside the menu's own loop: down twice to the header, into its submenu, down to the
  // second entry, Enter.
  static int step = 0;
  step = 0;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    const UINT keys[] = {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN};
    const int count = static_cast<int>(std::size(keys));
    // A menu that ignores the keys is closed after a while rather than left to hang the run.
    if (step >= count) {
      if (++step > count + 100) ::EndMenu();
      return;
    }
    HWND popup = ::FindWindowW(L"#32768", nullptr);
    if (popup == nullptr) return;
    ::PostMessageW(popup, WM_KEYDOWN, keys[step++], 0);
  });
  ASSERT_NE(timer, 0u);
  const UINT command =
      static_cast<UINT>(::TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_NONOTIFY, 100, 100, 0, owner.get(), nullptr));
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(FavouriteIndexFromCommand(command), 3) << "command " << command;
}

}  // namespace
