#include "menu/menu_images.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resource.h"
#include "../test_resources.h"

namespace {

struct TBrushTraits {
  using Type = HBRUSH;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type b) noexcept { ::DeleteObject(b); }
};

// The pixels of one image as the menus get them: 32-bit BGRA words, top row first. GetDIBits
// hands them over in the row order asked for, whatever order the bitmap keeps them in.
std::vector<std::uint32_t> Pixels(HBITMAP bitmap) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = TMenuImages::kSize;
  info.bmiHeader.biHeight = -TMenuImages::kSize;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(TMenuImages::kSize * TMenuImages::kSize);
  const HDC screen = ::GetDC(nullptr);
  const int rows = ::GetDIBits(screen, bitmap, 0, TMenuImages::kSize, pixels.data(), &info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (rows != TMenuImages::kSize) return {};
  return pixels;
}

std::uint32_t Alpha(std::uint32_t pixel) { return pixel >> 24; }

std::uint32_t AlphaAt(const std::vector<std::uint32_t>& pixels, int x, int y) {
  return Alpha(pixels[static_cast<std::size_t>(y * TMenuImages::kSize + x)]);
}

// Solid enough to be part of the drawing rather than its anti-aliased rim.
bool Solid(const std::vector<std::uint32_t>& pixels, int x, int y) { return AlphaAt(pixels, x, y) >= 200; }

TEST(MenuImages, ProgramStripGivesTwentyPremultipliedImagesWithAlpha) {
  ASSERT_NE(testres::Program(), nullptr) << "qrfolder.exe must be built beside the tests";
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));

  std::vector<std::vector<std::uint32_t>> all;
  for (int i = 0; i < TMenuImages::kCount; ++i) {
    SCOPED_TRACE(i);
    const HBITMAP bitmap = images.Bitmap(i);
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(::GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib)) << "not a DIB section";
    EXPECT_EQ(dib.dsBm.bmWidth, 16);
    EXPECT_EQ(dib.dsBm.bmHeight, 16);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    const auto pixels = Pixels(bitmap);
    ASSERT_EQ(pixels.size(), 256u);
    bool transparent = false;
    bool opaque = false;
    for (std::uint32_t p : pixels) {
      const std::uint32_t a = Alpha(p);
      transparent |= a == 0;
      opaque |= a == 255;
      // Premultiplied: no colour channel can exceed the pixel's coverage.
      EXPECT_LE(p & 0xFF, a);
      EXPECT_LE((p >> 8) & 0xFF, a);
      EXPECT_LE((p >> 16) & 0xFF, a);
    }
    EXPECT_TRUE(transparent) << "the alpha channel was lost";
    EXPECT_TRUE(opaque);
    for (std::size_t j = 0; j < all.size(); ++j) EXPECT_NE(all[j], pixels) << "same picture as image " << j;
    all.push_back(pixels);
  }
}

TEST(MenuImages, ImagesStandUpright) {
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));
  // The folder: an empty top row, its tab on the left, a solid bottom.
  const auto folder = Pixels(images.Bitmap(miFolder));
  ASSERT_EQ(folder.size(), 256u);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(AlphaAt(folder, x, 0), 0u) << x;
  EXPECT_TRUE(Solid(folder, 2, 1));
  EXPECT_EQ(AlphaAt(folder, 14, 1), 0u);
  EXPECT_TRUE(Solid(folder, 8, 14));
  // The computer: a screen at the top, an empty bottom row.
  const auto computer = Pixels(images.Bitmap(miComputer));
  ASSERT_EQ(computer.size(), 256u);
  EXPECT_TRUE(Solid(computer, 6, 0));
  for (int x = 0; x < 16; ++x) EXPECT_EQ(AlphaAt(computer, x, 15), 0u) << x;
}

TEST(MenuImages, IndicesOutsideTheListHaveNoImage) {
  TMenuImages images;
  EXPECT_EQ(images.Bitmap(0), nullptr);
  ASSERT_TRUE(images.Load(testres::Program()));
  EXPECT_EQ(images.Bitmap(-1), nullptr);
  EXPECT_EQ(images.Bitmap(TMenuImages::kCount), nullptr);
  EXPECT_NE(images.Bitmap(TMenuImages::kCount - 1), nullptr);
}

TEST(MenuImages, ModuleWithoutTheStripLoadsNothing) {
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));
  // The test program carries no strip: a failed load must not keep the old images either.
  EXPECT_FALSE(images.Load(::GetModuleHandleW(nullptr)));
  for (int i = 0; i < TMenuImages::kCount; ++i) EXPECT_EQ(images.Bitmap(i), nullptr) << i;
}

TEST(MenuImages, OnlyAssignedCommandsAreMeasuredAndDrawn) {
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));
  images.Assign(1234, miDrive);
  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_MENU;
  measure.itemID = 1234;
  ASSERT_TRUE(images.MeasureItem(measure));
  EXPECT_EQ(measure.itemWidth, static_cast<UINT>(TMenuImages::kSize + 2 * TMenuImages::kMargin));
  EXPECT_EQ(measure.itemHeight, static_cast<UINT>(TMenuImages::kSize));

  measure.itemID = 1235;
  EXPECT_FALSE(images.MeasureItem(measure)) << "another owner-drawn item is not ours";
  measure.itemID = 1234;
  measure.CtlType = ODT_BUTTON;
  EXPECT_FALSE(images.MeasureItem(measure));

  EXPECT_FALSE(images.Assigned(1235));
  images.Assign(1235, 99);
  EXPECT_EQ(images.ImageOf(1235), -1);
  EXPECT_TRUE(images.Assigned(1235)) << "an index without an image is an empty place";
  measure.itemID = 1235;
  measure.CtlType = ODT_MENU;
  EXPECT_TRUE(images.MeasureItem(measure));
  EXPECT_EQ(measure.itemWidth, static_cast<UINT>(TMenuImages::kSize + 2 * TMenuImages::kMargin));
  images.Assign(20000, miFolder);
  images.Assign(20005, -1);
  images.Assign(40000, miFolder);
  images.Unassign(20000, 39999);
  EXPECT_FALSE(images.Assigned(20000));
  EXPECT_FALSE(images.Assigned(20005));
  EXPECT_EQ(images.ImageOf(40000), miFolder);
}

// Drawn into an item of a menu's colour, the image covers what it paints and lets the
// background through where it is transparent: no black box around it.
TEST(MenuImages, DrawnImageBlendsIntoTheItemBackground) {
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));
  images.Assign(1234, miFolder);

  const HDC screen = ::GetDC(nullptr);
  const win::TMemoryDc dc(::CreateCompatibleDC(screen));
  const win::TBitmapHandle canvas(::CreateCompatibleBitmap(screen, 40, 30));
  ::ReleaseDC(nullptr, screen);
  ASSERT_TRUE(dc && canvas);
  const HGDIOBJ old = ::SelectObject(dc.get(), canvas.get());
  win::TScopeGuard deselect([&] { ::SelectObject(dc.get(), old); });
  const COLORREF background = RGB(200, 220, 240);
  const RECT all{0, 0, 40, 30};
  const win::TUnique<TBrushTraits> brush(::CreateSolidBrush(background));
  ::FillRect(dc.get(), &all, brush.get());

  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_MENU;
  draw.itemID = 1234;
  draw.hDC = dc.get();
  draw.rcItem = RECT{10, 5, 10 + TMenuImages::kSize + 2 * TMenuImages::kMargin, 25};
  ASSERT_TRUE(images.DrawItem(draw));

  // The image sits centred in the rectangle: (12, 7) is its top-left pixel.
  const int left = 10 + TMenuImages::kMargin;
  const int top = 5 + (20 - TMenuImages::kSize) / 2;
  EXPECT_EQ(::GetPixel(dc.get(), left + 8, top + 0), background) << "transparent top row";
  EXPECT_EQ(::GetPixel(dc.get(), left + 14, top + 1), background) << "transparent beside the tab";
  EXPECT_NE(::GetPixel(dc.get(), left + 8, top + 10), background) << "the folder itself";
  EXPECT_NE(::GetPixel(dc.get(), left + 8, top + 10), RGB(0, 0, 0));
  EXPECT_EQ(::GetPixel(dc.get(), 5, 5), background) << "nothing outside the rectangle";

  draw.itemID = 1235;
  EXPECT_FALSE(images.DrawItem(draw)) << "not ours";

  // An empty place is answered and leaves the background alone.
  ::FillRect(dc.get(), &all, brush.get());
  images.Assign(1236, -1);
  draw.itemID = 1236;
  EXPECT_TRUE(images.DrawItem(draw));
  for (int y = 0; y < 30; y += 3)
    for (int x = 0; x < 40; x += 3) ASSERT_EQ(::GetPixel(dc.get(), x, y), background) << x << "," << y;
}

}  // namespace

TEST(CommandImages, TrayMenuAndTailGetTheirImages) {
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));
  win::TMenuHandle tray(::LoadMenuW(testres::Program(), MAKEINTRESOURCEW(IDR_TRAYMENU)));
  win::TMenuHandle folder(::LoadMenuW(testres::Program(), MAKEINTRESOURCEW(IDR_FOLDERMENU)));
  ASSERT_TRUE(tray && folder);
  ApplyCommandImages(::GetSubMenu(tray.get(), 0), images);
  ApplyCommandImages(::GetSubMenu(folder.get(), 0), images);

  const auto bitmapOf = [](HMENU menu, UINT id) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP;
    return ::GetMenuItemInfoW(menu, id, FALSE, &info) ? info.hbmpItem : HBITMAP{};
  };
  const struct {
    HMENU menu;
    UINT id;
    int image;
  } expected[] = {
      {tray.get(), IDM_ABOUT, -1},        {tray.get(), IDM_HELP, 18},         {tray.get(), IDM_VISITHOMEPAGE, 19},
      {tray.get(), IDM_REPORTBUG, -1},    {tray.get(), IDM_CHECKUPDATES, -1}, {tray.get(), IDM_OPENCONFIG, 17},
      {tray.get(), IDM_SAVECONFIG, 16},   {tray.get(), IDM_ADDFOLDER, 14},    {tray.get(), IDM_OPTIONS, 15},
      {tray.get(), IDM_EXIT, -1},         {folder.get(), IDM_ADDCURRENT, 14}, {folder.get(), IDM_REMOVECURRENT, 13},
      {folder.get(), IDM_OPENFOLDER, -1}, {folder.get(), IDM_SETTING, 15},    {folder.get(), IDM_CHECKFORUPDATES, -1},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.id);
    // Commands without an image keep an empty place, so that every caption lines up.
    EXPECT_EQ(bitmapOf(e.menu, e.id), HBMMENU_CALLBACK);
    EXPECT_EQ(images.ImageOf(e.id), e.image);
  }
  // Submenus belong to their own builders: the Clear item of the recent folders stays as it is.
  const HMENU recent = ::GetSubMenu(::GetSubMenu(folder.get(), 0), 1);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(bitmapOf(recent, IDM_CLEARFOLDERS), nullptr);
  EXPECT_FALSE(images.Assigned(IDM_CLEARFOLDERS));
}

// Each scale takes its own strip: the images are that many pixels square, drawn (not stretched
// from the 16 pixel ones), and a menu item measured after the change is sized for them.
TEST(MenuImages, EachScaleShowsItsOwnStripAndMeasuresItsItems) {
  TMenuImages images;
  ASSERT_TRUE(images.Load(testres::Program()));
  EXPECT_EQ(images.Size(), 16) << "16 pixels until a DPI is given";
  images.Assign(1234, miHelp);
  struct {
    unsigned dpi;
    int size, width;
  } rows[] = {{144, 24, 24 + 2 * 5}, {120, 20, 20 + 2 * 4}, {192, 32, 32 + 2 * 6},
              {240, 40, 40 + 2 * 8}, {288, 48, 48 + 2 * 9}, {96, 16, 16 + 2 * 3}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.dpi);
    EXPECT_EQ(images.SetDpi(r.dpi), r.size);
    EXPECT_EQ(images.Size(), r.size);
    DIBSECTION dib{};
    ASSERT_EQ(::GetObjectW(images.Bitmap(miHelp), sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, r.size);
    EXPECT_EQ(dib.dsBm.bmHeight, r.size);
    EXPECT_EQ(images.Bitmap(miHelp, r.size), images.Bitmap(miHelp));
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemID = 1234;
    ASSERT_TRUE(images.MeasureItem(measure));
    EXPECT_EQ(measure.itemWidth, static_cast<UINT>(r.width));
    EXPECT_EQ(measure.itemHeight, static_cast<UINT>(r.size));
  }
  // Every strip holds twenty different pictures, each with its alpha: none was left as a copy
  // of another size or lost its transparency in the making.
  for (const int size : {20, 24, 32, 40, 48}) {
    SCOPED_TRACE(size);
    std::vector<std::vector<std::uint32_t>> seen;
    for (int i = 0; i < TMenuImages::kCount; ++i) {
      BITMAPINFO info{};
      info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size * size));
      const HDC screen = ::GetDC(nullptr);
      ASSERT_EQ(::GetDIBits(screen, images.Bitmap(i, size), 0, size, pixels.data(), &info, DIB_RGB_COLORS), size);
      ::ReleaseDC(nullptr, screen);
      EXPECT_EQ(Alpha(pixels.front()), 0u) << i << ": the corner is not transparent";
      for (const auto& other : seen) EXPECT_NE(other, pixels) << i;
      seen.push_back(std::move(pixels));
    }
  }
  // A size no strip has, an index outside the list, and a module without the strips.
  EXPECT_EQ(images.Bitmap(miHelp, 28), nullptr);
  EXPECT_EQ(images.Bitmap(TMenuImages::kCount, 24), nullptr);
  TMenuImages none;
  EXPECT_FALSE(none.Load(::GetModuleHandleW(nullptr)));
  EXPECT_EQ(none.SetDpi(144), 16);
  EXPECT_EQ(none.Bitmap(miHelp, 24), nullptr);
}

// A menu measured at one size is measured again at the next: the items keep their images.
TEST(MenuImages, RemeasuredMenuKeepsItsImagesInItsSubmenusToo) {
  const win::TMenuHandle menu(::CreatePopupMenu());
  const HMENU sub = ::CreatePopupMenu();
  ::AppendMenuW(sub, MF_STRING, 2001, L"inner");
  ::AppendMenuW(menu.get(), MF_STRING, 2000, L"outer");
  ::AppendMenuW(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"sub");
  ::AppendMenuW(menu.get(), MF_STRING, 2002, L"plain");
  MENUITEMINFOW set{};
  set.cbSize = sizeof set;
  set.fMask = MIIM_BITMAP;
  set.hbmpItem = HBMMENU_CALLBACK;
  ::SetMenuItemInfoW(menu.get(), 2000, FALSE, &set);
  ::SetMenuItemInfoW(sub, 2001, FALSE, &set);
  RemeasureMenu(menu.get());
  const auto bitmapOf = [](HMENU m, UINT id) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP;
    ::GetMenuItemInfoW(m, id, FALSE, &info);
    return info.hbmpItem;
  };
  EXPECT_EQ(bitmapOf(menu.get(), 2000), HBMMENU_CALLBACK);
  EXPECT_EQ(bitmapOf(sub, 2001), HBMMENU_CALLBACK);
  EXPECT_EQ(bitmapOf(menu.get(), 2002), nullptr) << "an item without an image got one";
}
