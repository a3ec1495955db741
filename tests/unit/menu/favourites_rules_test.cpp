#include "menu/favourites_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::pair<std::wstring, int> Split(const std::wstring& text) {
  const TCaptionNumber split = Cap(text);
  return {split.caption, split.number};
}

// A short-path query that must not be needed: every path below is handled by the text rules.
std::wstring NoShortPath(const std::wstring&) {
  ADD_FAILURE() << "short path asked for";
  return {};
}

std::wstring Shorten(const std::wstring& path) { return TestName(path, NoShortPath); }

using TSplit = std::pair<std::wstring, int>;

}  // namespace

TEST(Cap, SplitsAtTheLastDollarAndReadsLeadingDigits) {
  EXPECT_EQ(Split(L"A$B$3"), TSplit(L"A$B", 3));
  EXPECT_EQ(Split(L"Documents$12"), TSplit(L"Documents", 12));
  EXPECT_EQ(Split(L"C:\\Bin$2"), TSplit(L"C:\\Bin", 2));
  EXPECT_EQ(Split(L"X$7z"), TSplit(L"X", 7));
  EXPECT_EQ(Split(L"Y$02"), TSplit(L"Y", 2));
  EXPECT_EQ(Split(L"X$z7"), TSplit(L"X", 0));
  EXPECT_EQ(Split(L"Y$-2"), TSplit(L"Y", 0));
  EXPECT_EQ(Split(L"\\\\server\\c$\\data"), TSplit(L"\\\\server\\c", 0));
}

TEST(Cap, TextWithoutNumberIsItsOwnCaption) {
  EXPECT_EQ(Split(L"Docs$"), TSplit(L"Docs$", 0));
  EXPECT_EQ(Split(L"Docs"), TSplit(L"Docs", 0));
  EXPECT_EQ(Split(L"$"), TSplit(L"$", 0));
  EXPECT_EQ(Split(L""), TSplit(L"", 0));
}

TEST(Cap, HugeNumberSaturatesInsteadOfWrappingToAMarker) {
  // 2^32 + 2 wraps to 2 in 32 bits and would turn a plain favourite into a submenu entry.
  EXPECT_EQ(Split(L"Z$4294967298"), TSplit(L"Z", 2147483647));
  EXPECT_EQ(Split(L"Z$99999999999999999999999"), TSplit(L"Z", 2147483647));
}

TEST(NameRoles, HeadersEntriesAndAdministrativeShares) {
  EXPECT_TRUE(IsSubmenuHeader(L"Submenu7"));
  EXPECT_FALSE(IsSubmenuHeader(L"C:\\Submenu7"));
  EXPECT_TRUE(IsSubmenuEntry(L"C:\\Bin$2"));
  EXPECT_FALSE(IsSubmenuEntry(L"C:\\Bin$3"));
  // A header named after a favourites subfolder "Links$2" is still a header.
  EXPECT_FALSE(IsSubmenuEntry(L"SubmenuLinks$2"));

  EXPECT_FALSE(IsSubmenuEntry(L"\\\\server\\c$\\data"));
  EXPECT_EQ(EntryPath(L"\\\\server\\c$\\data"), L"\\\\server\\c$\\data");
  EXPECT_EQ(EntryPath(L"\\\\server\\c$\\data$2"), L"\\\\server\\c$\\data");
  EXPECT_EQ(EntryPath(L"\\\\server\\d$"), L"\\\\server\\d$");
  EXPECT_EQ(EntryPath(L"\\\\server\\d$$2"), L"\\\\server\\d$");
  EXPECT_EQ(EntryPath(L"C:\\Bin$2"), L"C:\\Bin");
}

TEST(GetFolderName, LastComponent) {
  EXPECT_EQ(GetFolderName(L"C:\\Users\\Ann\\Music"), L"Music");
  EXPECT_EQ(GetFolderName(L"C:\\Users\\Ann\\Music\\"), L"Music");
  EXPECT_EQ(GetFolderName(L"C:\\"), L"C:\\");
  EXPECT_EQ(GetFolderName(L"Music"), L"");
}

TEST(TestName, ShortPathsAndLongLastComponentsStandAsTheyAre) {
  const std::wstring fifty = L"C:\\" + std::wstring(47, L'a');
  EXPECT_EQ(Shorten(fifty), fifty);
  const std::wstring name45(45, L'n');
  const std::wstring path = L"C:\\ab\\" + name45;
  ASSERT_EQ(path.size(), 51u);
  EXPECT_EQ(Shorten(path), name45);
  EXPECT_EQ(Shorten(L"C:\\x\\" + std::wstring(50, L'g')), std::wstring(50, L'g'));
}

TEST(TestName, NameLongerThanFiftyIsCutAroundItsLastExtension) {
  std::wstring name;
  for (int i = 0; name.size() < 56; ++i) name += static_cast<wchar_t>(L'a' + i % 26);
  name += L".txt";
  ASSERT_EQ(name.size(), 60u);
  EXPECT_EQ(Shorten(L"D:\\Reports\\" + name), name.substr(0, 45) + L"~~.txt");

  const std::wstring dotted = std::wstring(26, L'c') + L".tar" + std::wstring(23, L'd') + L".gz";
  EXPECT_EQ(Shorten(L"D:\\" + dotted), dotted.substr(0, 46) + L"~~.gz");
  EXPECT_EQ(Shorten(L"D:\\" + std::wstring(55, L'b')), std::wstring(49, L'b') + L"~~");
  // An extension longer than the caption leaves nothing of the name before the mark.
  EXPECT_EQ(Shorten(L"D:\\a." + std::wstring(55, L'e')), L"~~." + std::wstring(55, L'e'));
}

TEST(TestName, ShortNameKeepsTheTailOfItsFolders) {
  const std::wstring path = L"C:\\Archive\\Customers\\North Region\\2011\\Quarterly\\Statements";
  ASSERT_EQ(path.size(), 59u);
  EXPECT_EQ(Shorten(path), L"C:\\..\\North Region\\2011\\Quarterly\\Statements");
  EXPECT_EQ(Shorten(L"E:\\" + std::wstring(60, L'x') + L"\\Short"), L"E:\\..\\Short");
  EXPECT_EQ(Shorten(L"C:\\Archive\\Customers\\North Region\\2011\\Quarterly\\Reports\\"),
            L"C:\\..\\Customers\\North Region\\2011\\Quarterly\\Reports\\");
  // Once the rest begins with "\" nothing more is dropped.
  const std::wstring ys(50, L'y');
  EXPECT_EQ(Shorten(L"C:\\x\\\\" + ys + L"\\Name"), L"C:\\..\\\\" + ys + L"\\Name");
}

TEST(TestName, NetworkPathKeepsItsServerAndShare) {
  const std::wstring server(30, L's');
  const std::wstring share(15, L't');
  const struct {
    std::wstring path;
    std::wstring caption;
  } cases[] = {
      {L"\\\\fileserver\\projects\\Archive\\Customers\\North Region\\2011\\Statements",
       L"\\\\fileserver\\projects\\..\\2011\\Statements"},
      {L"\\\\fileserver\\projects\\Archive\\Customers\\North Region\\2011\\Reports\\",
       L"\\\\fileserver\\projects\\..\\2011\\Reports\\"},
      // Head and name alone: nothing can go.
      {L"\\\\" + server + L"\\" + share + L"\\Name", L"\\\\" + server + L"\\" + share + L"\\Name"},
      // A head as long as a caption keeps only the name after it.
      {L"\\\\" + server + L"\\" + server + L"\\Deep\\Name", L"\\\\" + server + L"\\" + server + L"\\..\\Name"},
      // A name longer than a caption is cut as anywhere else.
      {L"\\\\" + std::wstring(60, L's'), std::wstring(49, L's') + L"~~"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shorten(c.path), c.caption) << c.path;
}
