// The text Copy Window Details copies: each window's path of classes, and nothing another
// program put in a name or title can break a line or pass for one of the agent's own.
#include "navigation/window_details.h"

#include <gtest/gtest.h>

TEST(WindowDetails, TreeLinesCarryEachWindowsPathAndHostileNamesStayOnTheirLine) {
  details::TDetails d;
  d.program = L"archiver.exe";
  d.className = L"QfTestDialog";
  d.title = L"Extract\r\nProgram: evil.exe";
  d.style = 0x94C00000;
  d.width = 460;
  d.height = 260;
  d.children = {{L"QfPane", 1, 0, 0x50000000, true, true, 0},
                {L"QfInner", 2, 0, 0x50000000, true, true, 0},
                {L"Edit", 3, 1001, 0x50010080, true, true, 15},
                {L"Button", 2, 1, 0x58000000, true, false, -1},
                {L"Status\x1b[2J", 1, 7, 0x40000000, false, true, 3}};
  d.hung = true;
  d.recognition = {{L"file dialog", L"no"}, {L"the menu takes it as", L"the desktop (nothing else took it)"}};
  const std::wstring text = details::FormatDetails(d);

  EXPECT_NE(text.find(L"Program: archiver.exe\r\n"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"Window: QfTestDialog \"Extract??Program: evil.exe\" style=0x94C00000 exstyle=0x00000000 "
                      L"size=460x260\r\n"),
            std::wstring::npos)
      << text;
  EXPECT_NE(text.find(L"      Edit id=1001 style=0x50010080 visible enabled text=15 path=QfPane\\QfInner\\Edit\r\n"),
            std::wstring::npos)
      << text;
  // A sibling after a deeper window starts its path again from its own depth.
  EXPECT_NE(text.find(L"    Button id=1 style=0x58000000 visible disabled text=? path=QfPane\\Button\r\n"),
            std::wstring::npos)
      << text;
  EXPECT_NE(text.find(L"  Status?[2J id=7 style=0x40000000 hidden enabled text=3 path=Status?[2J\r\n"),
            std::wstring::npos)
      << text;
  EXPECT_NE(text.find(L"Child windows: 5 (the window stopped answering"), std::wstring::npos);
  EXPECT_NE(text.find(L"  the menu takes it as: the desktop (nothing else took it)\r\n"), std::wstring::npos);
  // Only the lines the format makes begin with "Program:".
  EXPECT_EQ(text.find(L"\r\nProgram:"), std::wstring::npos);
  for (wchar_t c : text) EXPECT_TRUE(c >= L' ' || c == L'\r' || c == L'\n') << static_cast<int>(c);

  struct {
    std::wstring in, shown;
  } rows[] = {{L"plain", L"plain"},
              {L"a\tb", L"a?b"},
              {std::wstring(L"x\0y", 3), L"x?y"},
              {L"\x85line\x2028", L"?line?"},
              {std::wstring(250, L'w'), std::wstring(200, L'w') + L"..."}};
  for (const auto& r : rows) EXPECT_EQ(details::Shown(r.in), r.shown);

  details::TDetails many;
  many.cutShort = true;
  EXPECT_NE(details::FormatDetails(many).find(L"(the first 400, 8 deep)"), std::wstring::npos);
}
