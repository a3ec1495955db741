// The icon's callback events as the shell sends them, in its old form and in version 4's: which
// mean the menu, which the icon's action, and that every other event means nothing.
#include "core/tray_events.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The system's numbers, written out: this test runs where <windows.h> does not exist.
constexpr std::uint32_t kMouseMove = 0x0200, kLeftButtonDown = 0x0201, kLeftButtonUp = 0x0202,
                        kLeftDoubleClick = 0x0203, kRightButtonDown = 0x0204, kRightButtonUp = 0x0205,
                        kMiddleButtonUp = 0x0208, kContextMenu = 0x007B, kSelect = 0x0400, kKeySelect = 0x0401,
                        kBalloonShow = 0x0402, kPopupOpen = 0x0406;

// Version 4's lParam: the event in the low word, the icon's id in the high one.
std::intptr_t Version4(std::uint32_t event, std::uint32_t iconId = 1) {
  return static_cast<std::intptr_t>(iconId << 16 | event);
}

struct TCase {
  std::intptr_t lParam;
  bool version4;
  TTrayEvent expected;
  const char* what;
};

const TCase kCases[] = {
    // The old form: the mouse message whole.
    {kRightButtonUp, false, TTrayEvent::Menu, "WM_RBUTTONUP"},
    {kLeftButtonUp, false, TTrayEvent::Select, "WM_LBUTTONUP"},
    {kMouseMove, false, TTrayEvent::None, "WM_MOUSEMOVE"},
    {kLeftButtonDown, false, TTrayEvent::None, "WM_LBUTTONDOWN"},
    {kLeftDoubleClick, false, TTrayEvent::None, "WM_LBUTTONDBLCLK"},
    {kRightButtonDown, false, TTrayEvent::None, "WM_RBUTTONDOWN"},
    {kMiddleButtonUp, false, TTrayEvent::None, "WM_MBUTTONUP"},
    // Version 4's events mean nothing in the old form, and a word above the message is no id there.
    {kContextMenu, false, TTrayEvent::None, "WM_CONTEXTMENU, old form"},
    {kSelect, false, TTrayEvent::None, "NIN_SELECT, old form"},
    {kKeySelect, false, TTrayEvent::None, "NIN_KEYSELECT, old form"},
    {Version4(kRightButtonUp), false, TTrayEvent::None, "WM_RBUTTONUP with an id, old form"},
    {Version4(kLeftButtonUp), false, TTrayEvent::None, "WM_LBUTTONUP with an id, old form"},
    // Version 4: the event in the low word, whatever the icon's id.
    {Version4(kContextMenu), true, TTrayEvent::Menu, "WM_CONTEXTMENU"},
    {Version4(kContextMenu, 0x7FFF), true, TTrayEvent::Menu, "WM_CONTEXTMENU, another id"},
    {Version4(kSelect), true, TTrayEvent::Select, "NIN_SELECT"},
    {Version4(kKeySelect), true, TTrayEvent::Select, "NIN_KEYSELECT"},
    {Version4(kKeySelect, 0), true, TTrayEvent::Select, "NIN_KEYSELECT, id 0"},
    // The mouse messages that come beside them are not the menu or the action a second time.
    {Version4(kRightButtonUp), true, TTrayEvent::None, "WM_RBUTTONUP, version 4"},
    {Version4(kLeftButtonUp), true, TTrayEvent::None, "WM_LBUTTONUP, version 4"},
    {Version4(kMouseMove), true, TTrayEvent::None, "WM_MOUSEMOVE, version 4"},
    {Version4(kLeftButtonDown), true, TTrayEvent::None, "WM_LBUTTONDOWN, version 4"},
    {Version4(kBalloonShow), true, TTrayEvent::None, "NIN_BALLOONSHOW"},
    {Version4(kPopupOpen), true, TTrayEvent::None, "NIN_POPUPOPEN"},
};

TEST(DecodeTrayEvent, RightClickIsTheMenuLeftClickTheActionInEitherFormAndTheRestNothing) {
  for (const TCase& c : kCases) EXPECT_EQ(DecodeTrayEvent(c.lParam, c.version4), c.expected) << c.what;
}

}  // namespace
