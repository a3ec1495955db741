// The Preferences page's reading and storing rules.
#include "dialogs/preference_rules.h"

#include <gtest/gtest.h>

#include <utility>

TEST(PreferenceRules, CountBoxes) {
  const struct {
    const wchar_t* text;
    int count;
  } cases[] = {{L"20", 20}, {L"7x", 7}, {L"  12", 12}, {L"+3", 3}, {L"-4", -4}, {L"", 0}, {L"x7", 0}, {L"0", 0}};
  for (const auto& c : cases) EXPECT_EQ(CountFromText(c.text), c.count) << c.text;
  EXPECT_EQ(CountShown(0), 1);
  EXPECT_EQ(CountShown(-4), 1);
  EXPECT_EQ(CountShown(30), 30);
  EXPECT_EQ(CountFromText(L"99999999999"), 2147483647);
}

TEST(PreferenceRules, WheelAndTray) {
  EXPECT_EQ(MouseWheelFrom(false, true, false), 0);
  EXPECT_EQ(MouseWheelFrom(true, false, false), 1);
  EXPECT_EQ(MouseWheelFrom(true, true, false), 2);
  EXPECT_EQ(MouseWheelFrom(true, false, true), 3);
  EXPECT_TRUE(ShowTrayStored(false, 0, false)) << "no dialog trigger left: the icon stays";
  EXPECT_FALSE(ShowTrayStored(false, 1, false));
  EXPECT_FALSE(ShowTrayStored(false, 0, true));
}

TEST(PreferenceRules, HotKeyShownAndStored) {
  const THotKeyView natural = HotKeyView(kModWin, 'Z');
  EXPECT_EQ(natural.mode, THotKeyMode::Natural);
  EXPECT_EQ(natural.naturalKey, L"Z");
  const THotKeyView custom = HotKeyView(kModShift, 0x74);
  EXPECT_EQ(custom.mode, THotKeyMode::Custom);
  EXPECT_EQ(custom.controlKey, 0x74);
  EXPECT_EQ(custom.controlModifiers, kControlShift);
  EXPECT_EQ(HotKeyView(0, 'Z').mode, THotKeyMode::None);
  EXPECT_EQ(HotKeyView(kModAlt, 'Q').controlModifiers, kControlAlt);
  // With the stored key not custom, the control shows the custom key last stored; a custom
  // stored key shows itself.
  struct TCase {
    int alt, keys;
    std::optional<THotKey> lastCustom;
    int controlKey, controlModifiers;
  } cases[] = {
      {0, 0x74, THotKey{kModShift, 0x74}, 0x74, kControlShift},
      {kModWin, 'Z', THotKey{kModAlt, 'K'}, 'K', kControlAlt},
      {kModCtrl, 'Q', THotKey{kModAlt, 'K'}, 'Q', kControlCtrl},
      {0, 0x74, std::nullopt, 0, 0},
      {kModWin, 'Z', std::nullopt, 0, 0},
  };
  for (const auto& c : cases) {
    const THotKeyView view = HotKeyView(c.alt, c.keys, c.lastCustom);
    EXPECT_EQ(view.controlKey, c.controlKey) << c.alt;
    EXPECT_EQ(view.controlModifiers, c.controlModifiers) << c.alt;
  }
  EXPECT_EQ(HotKeyView(kModWin, 'Z', THotKey{kModAlt, 'K'}).naturalKey, L"Z");

  const THotKey stored{kModCtrl, 'Q'};
  EXPECT_EQ(HotKeyFrom(THotKeyMode::Natural, L"Z", 0, 0, stored), (THotKey{8, 90}));
  EXPECT_EQ(HotKeyFrom(THotKeyMode::Natural, L"", 0, 0, stored), stored);
  EXPECT_EQ(HotKeyFrom(THotKeyMode::Custom, L"", 0x74, kControlShift, stored), (THotKey{4, 116}));
  EXPECT_EQ(HotKeyFrom(THotKeyMode::Custom, L"", 0x51, kControlAlt | kControlShift, stored), (THotKey{1, 0x51}));
  EXPECT_EQ(HotKeyFrom(THotKeyMode::Custom, L"", 0, 0, stored), (THotKey{kModCtrl, 0}))
      << "empty box: Keys 0, Alt kept";
  EXPECT_EQ(HotKeyFrom(THotKeyMode::None, L"Z", 0, 0, stored), (THotKey{0, 'Q'})) << "none keeps Keys";
  EXPECT_EQ(NaturalKeyText('a'), L"A");
}

TEST(KeyChordBox, ShowsTheStoredKeyAndStoresWhatTheBoxSays) {
  constexpr int kCtrl = kModCtrl << 16, kAlt = kModAlt << 16, kShift = kModShift << 16, kWin = kModWin << 16;
  struct TRow {
    const char* what;
    int stored;
    TKeyChordView shown;
    int controlKey, controlModifiers;  // the box when saved
    int saved;
  } rows[] = {
      {"Ctrl+G kept", kCtrl | 'G', {'G', kControlCtrl}, 'G', kControlCtrl, kCtrl | 'G'},
      {"Ctrl+G made Alt+Shift+J",
       kCtrl | 'G',
       {'G', kControlCtrl},
       'J',
       kControlAlt | kControlShift,
       kAlt | kShift | 'J'},
      {"the box emptied: off", kCtrl | 'G', {'G', kControlCtrl}, 0, 0, 0},
      {"off, and a key typed", 0, {0, 0}, 'K', kControlCtrl, kCtrl | 'K'},
      {"Windows+J, which the box cannot show, kept while untouched", kWin | 'J', {'J', 0}, 'J', 0, kWin | 'J'},
      {"Windows+Ctrl+J changed to Ctrl+K loses the Windows key",
       kWin | kCtrl | 'J',
       {'J', kControlCtrl},
       'K',
       kControlCtrl,
       kCtrl | 'K'},
  };
  for (const TRow& row : rows) {
    EXPECT_EQ(KeyChordView(row.stored), row.shown) << row.what;
    EXPECT_EQ(KeyChordFrom(row.controlKey, row.controlModifiers, row.stored), row.saved) << row.what;
  }
  const std::pair<int, int> autoJumps[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}};
  for (const auto& [stored, shown] : autoJumps) EXPECT_EQ(AutoJumpShown(stored), shown) << stored;
}
