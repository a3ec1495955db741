// The look's decisions as tables: image sizes and pixels at each scale, and light or dark.
#include "win/look_rules.h"

#include <gtest/gtest.h>

TEST(LookRules, EachScaleTakesTheLargestStripThatIsNotStretched) {
  struct {
    unsigned dpi;
    int size;
  } rows[] = {{96, 16},  {120, 20}, {144, 24}, {168, 24}, {192, 32}, {216, 32}, {240, 40},
              {288, 48}, {480, 48}, {72, 16},  {0, 16},   {119, 16}, {121, 20}, {65535, 48}};
  for (const auto& r : rows) EXPECT_EQ(look::ImageSizeFor(r.dpi), r.size) << r.dpi;
}

TEST(LookRules, PixelsScaleRoundedAndAForgedDpiStaysInRange) {
  struct {
    int pixels;
    unsigned from, to;
    int scaled;
  } rows[] = {{3, 96, 144, 5},   {3, 96, 120, 4},  {100, 96, 96, 100},    {100, 144, 96, 67}, {250, 120, 240, 500},
              {-3, 96, 144, -5}, {10, 0, 192, 20}, {10, 96, 100000, 100}, {10, 96, 1, 5}};
  for (const auto& r : rows) EXPECT_EQ(look::Rescaled(r.pixels, r.from, r.to), r.scaled) << r.pixels << " " << r.to;
  EXPECT_EQ(look::Scaled(16, 144), 24);
  EXPECT_EQ(look::UsableDpi(0), 96u);
  EXPECT_EQ(look::UsableDpi(20), 48u);
  EXPECT_EQ(look::UsableDpi(0xFFFFFFFFu), 960u);
}

TEST(LookRules, DarkOnlyWhereTheUserAndTheSystemBothHaveIt) {
  using look::TAppsSetting;
  using look::TLook;
  struct {
    unsigned major, build;
    TAppsSetting apps;
    bool highContrast, entryPoints;
    TLook look;
  } rows[] = {
      {10, 22631, TAppsSetting::Dark, false, true, TLook::Dark},      // Windows 11, dark apps
      {10, 18362, TAppsSetting::Dark, false, true, TLook::Dark},      // 1903, the first with it
      {10, 17763, TAppsSetting::Dark, false, true, TLook::Light},     // 1809: no dark menus yet
      {6, 9600, TAppsSetting::Dark, false, true, TLook::Light},       // Windows 8.1
      {10, 19045, TAppsSetting::Dark, false, false, TLook::Light},    // entry points missing (Wine)
      {10, 22631, TAppsSetting::Light, false, true, TLook::Light},    // light setting
      {10, 22631, TAppsSetting::Missing, false, true, TLook::Light},  // never set
      {10, 22631, TAppsSetting::NotNumber, false, true, TLook::Light},
      {10, 22631, TAppsSetting::Dark, true, true, TLook::Light},  // high contrast on
      {10, 22631, TAppsSetting::Light, true, true, TLook::Light},
  };
  for (const auto& r : rows) {
    const auto decision = look::DecideLook({r.major, r.build, r.apps, r.highContrast, r.entryPoints});
    EXPECT_EQ(decision.look, r.look) << r.build << " " << static_cast<int>(r.apps) << " " << r.highContrast;
    EXPECT_NE(std::wstring(decision.reason), L"");
  }
  // The log says why: high contrast wins over the setting, and a wrong value is named as such.
  EXPECT_EQ(std::wstring(look::DecideLook({10, 22631, TAppsSetting::Dark, true, true}).reason),
            L"high contrast is on: the system's colours stand");
  EXPECT_EQ(std::wstring(look::DecideLook({10, 22631, TAppsSetting::NotNumber, false, true}).reason),
            L"the apps colour setting is not a number");

  struct {
    unsigned major, build, attribute;
  } titles[] = {{10, 22631, 20}, {10, 18985, 20}, {10, 18363, 19}, {10, 18362, 19}, {10, 17763, 0}, {6, 9600, 0}};
  for (const auto& t : titles) EXPECT_EQ(look::DarkTitleBarAttribute(t.major, t.build), t.attribute) << t.build;
}
