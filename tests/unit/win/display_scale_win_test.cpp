// The DPI of monitors and windows as the system reports it, the shell's icon lists by size, and a
// DPI change told by another program told apart from the system's own.
#include "win/display_scale.h"

#include <gtest/gtest.h>

TEST(DisplayScale, DpiIconListsAndAForgedDpiChange) {
  const HDC screen = ::GetDC(nullptr);
  const auto systemDpi = static_cast<unsigned>(::GetDeviceCaps(screen, LOGPIXELSY));
  ::ReleaseDC(nullptr, screen);
  const HWND window = ::CreateWindowExW(0, L"STATIC", L"scale", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                                        nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const unsigned dpi = win::DpiOfWindow(window);
  EXPECT_GE(dpi, 48u);
  // One monitor here (Wine's, or a test machine's primary): the window and the point agree.
  EXPECT_EQ(win::DpiAtPoint(POINT{20, 20}), dpi);
  EXPECT_GE(systemDpi, 48u);

  // The system's own change names the window's DPI on both axes; a program's other one does not.
  EXPECT_TRUE(win::IsOwnDpiChange(window, MAKEWPARAM(dpi, dpi)));
  EXPECT_FALSE(win::IsOwnDpiChange(window, MAKEWPARAM(dpi * 2, dpi * 2)));
  EXPECT_FALSE(win::IsOwnDpiChange(window, MAKEWPARAM(dpi, dpi * 2)));
  EXPECT_FALSE(win::IsOwnDpiChange(window, 0));
  ::DestroyWindow(window);

  // Each size gets a list of icons at least that large, up to the shell's largest.
  int last = 0;
  for (const int size : {16, 20, 24, 32, 40, 48}) {
    SCOPED_TRACE(size);
    const HIMAGELIST list = win::ShellIconList(size);
    ASSERT_NE(list, nullptr);
    const int got = win::IconListSize(list);
    EXPECT_GE(got, std::min(size, 48));
    EXPECT_GE(got, last) << "a larger size got smaller icons";
    last = got;
  }
  EXPECT_EQ(win::IconListSize(nullptr), 0);
}
