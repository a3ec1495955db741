#include "menu/menu_model.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::wstring>;

// A favourites key as the registry enumerates it, and the folders that exist.
struct TStore {
  Texts names;
  Texts values;
  std::set<std::wstring> existing;
  Texts probed;
  TStore& Add(const std::wstring& name, const std::wstring& value) {
    names.push_back(name);
    values.push_back(value);
    return *this;
  }
  std::vector<TMenuModelItem> Build() {
    return BuildFavouritesModel(names, values, [this](const std::wstring& path) {
      probed.push_back(path);
      return existing.count(path) != 0;
    });
  }
};

Texts Captions(const std::vector<TMenuModelItem>& items) {
  Texts captions;
  for (const auto& item : items) captions.push_back(item.caption);
  return captions;
}

std::vector<int> Tags(const std::vector<TMenuModelItem>& items) {
  std::vector<int> tags;
  for (const auto& item : items) tags.push_back(item.tag);
  return tags;
}

}  // namespace

TEST(BuildFavouritesModel, HeaderThenEntryThenFavourite) {
  TStore store;
  store.existing = {L"C:\\Bin", L"D:\\Data"};
  store.Add(L"Submenu7", L"Tools$5").Add(L"C:\\Bin$2", L"Bin$0").Add(L"D:\\Data", L"Data$0");
  const auto items = store.Build();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[0].submenu);
  EXPECT_EQ(items[0].caption, L"Tools");
  EXPECT_EQ(items[0].image, 5);
  EXPECT_EQ(Captions(items[0].children), Texts{L"Bin"});
  EXPECT_EQ(items[0].children[0].image, 0);
  EXPECT_EQ(Tags(items), (std::vector<int>{20, 22}));
  EXPECT_EQ(Tags(items[0].children), std::vector<int>{21});
  EXPECT_FALSE(items[1].submenu);
  // An entry's folder is probed without its marker.
  EXPECT_EQ(store.probed.front(), L"C:\\Bin");
}

TEST(BuildFavouritesModel, EntryAfterAFavouriteIsShownNowhere) {
  TStore store;
  store.existing = {L"C:\\Bin", L"D:\\Data"};
  store.Add(L"Submenu7", L"Tools$5").Add(L"D:\\Data", L"Data$0").Add(L"C:\\Bin$2", L"Bin$0");
  const auto items = store.Build();
  EXPECT_EQ(Captions(items), Texts{L"Data"});
  EXPECT_EQ(Tags(items), std::vector<int>{21});
  EXPECT_FALSE(items[0].submenu);
}

TEST(BuildFavouritesModel, SubmenusEndAtTheNextHeaderAndEmptyHeadersAreHidden) {
  TStore store;
  store.existing = {L"C:\\A", L"C:\\B", L"C:\\C"};
  store.Add(L"Submenu0", L"Empty$5").Add(L"Submenu1", L"One$5").Add(L"C:\\A$2", L"A$0");
  store.Add(L"Submenu2", L"Two$5").Add(L"C:\\B$2", L"B$9").Add(L"C:\\C$2", L"C$1").Add(L"Submenu3", L"Last$5");
  const auto items = store.Build();
  EXPECT_EQ(Captions(items), (Texts{L"One", L"Two"}));
  EXPECT_EQ(Tags(items), (std::vector<int>{21, 23}));
  EXPECT_EQ(Captions(items[0].children), Texts{L"A"});
  EXPECT_EQ(Captions(items[1].children), (Texts{L"B", L"C"}));
  EXPECT_EQ(Tags(items[1].children), (std::vector<int>{24, 25}));
  EXPECT_EQ(items[1].children[1].image, 1);
}

TEST(BuildFavouritesModel, GoneFoldersArePassedOverWithoutEndingTheSubmenu) {
  TStore store;
  store.existing = {L"C:\\A", L"C:\\C", L"D:\\Data"};
  store.Add(L"Submenu1", L"Tools$5").Add(L"C:\\A$2", L"A$0").Add(L"C:\\Gone$2", L"Gone$0");
  store.Add(L"E:\\GonePlain", L"GonePlain$0").Add(L"C:\\C$2", L"C$0").Add(L"D:\\Data", L"Data$0");
  const auto items = store.Build();
  EXPECT_EQ(Captions(items), (Texts{L"Tools", L"Data"}));
  EXPECT_EQ(Captions(items[0].children), (Texts{L"A", L"C"}));
  EXPECT_EQ(Tags(items[0].children), (std::vector<int>{21, 24}));
  EXPECT_EQ(items[1].tag, 25);
}

TEST(BuildFavouritesModel, HeaderOfOnlyGoneEntriesIsAnEmptySubmenu) {
  TStore store;
  store.existing = {L"D:\\Data"};
  store.Add(L"Submenu1", L"Tools$5").Add(L"C:\\Gone$2", L"Gone$0").Add(L"C:\\Lost$2", L"Lost$0");
  store.Add(L"D:\\Data", L"Data$0");
  const auto items = store.Build();
  ASSERT_EQ(Captions(items), (Texts{L"Tools", L"Data"}));
  EXPECT_TRUE(items[0].submenu);
  EXPECT_TRUE(items[0].children.empty());
  EXPECT_EQ(items[1].tag, 23);
}

TEST(BuildFavouritesModel, UnusableAndEntryNamesStayOffTheTopLevel) {
  TStore store;
  store.existing = {L"C:\\One", L"C:\\Three", L"C:\\Bin"};
  store.Add(L"C:\\Bin$2", L"Bin$0").Add(L"C:\\One", L"One$0").Add(L"C:\\Two", L"Two$0");
  store.Add(L"C:\\Three", L"Three$12");
  const auto items = store.Build();
  EXPECT_EQ(Captions(items), (Texts{L"One", L"Three"}));
  EXPECT_EQ(Tags(items), (std::vector<int>{21, 23}));
  EXPECT_EQ(items[1].image, 12);
}

TEST(BuildFavouritesModel, DollarPathsAndDollarCaptions) {
  TStore store;
  store.existing = {L"\\\\server\\c$\\data", L"\\\\server\\d$"};
  store.Add(L"\\\\server\\c$\\data", L"\\\\server\\c$\\data$0").Add(L"Submenu1", L"Shares$5");
  store.Add(L"\\\\server\\d$$2", L"Price$ list$0").Add(L"\\\\server\\c$\\data$2", L"Data$0");
  const auto items = store.Build();
  ASSERT_EQ(Captions(items), (Texts{L"\\\\server\\c$\\data", L"Shares"}));
  EXPECT_EQ(items[0].image, 0);
  EXPECT_EQ(Captions(items[1].children), (Texts{L"Price$ list", L"Data"}));
  EXPECT_EQ(store.probed, (Texts{L"\\\\server\\c$\\data", L"\\\\server\\d$", L"\\\\server\\c$\\data"}));
}

TEST(BuildFilterModel, OneItemPerFilterWithoutImage) {
  const auto items = BuildFilterModel({L"*.*", L"*.txt;*.doc*"}, {L"All Files", L"Text Documents"});
  EXPECT_EQ(Captions(items), (Texts{L"All Files", L"Text Documents"}));
  EXPECT_EQ(Tags(items), (std::vector<int>{300, 301}));
  EXPECT_EQ(items[1].image, -1);
  EXPECT_TRUE(BuildFilterModel({}, {}).empty());
}
