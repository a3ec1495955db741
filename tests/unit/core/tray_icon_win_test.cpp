// The icon with the system's notification area under Wine: its events are decoded in the form
// of the version the shell took for it, the old one while no version was agreed.
#include "core/tray_icon.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "../test_windows.h"

namespace {

using TEvent = TTrayIcon::TEvent;

// What the icon makes of version 4's events and of the old form's.
void ExpectVersion4(const TTrayIcon& icon) {
  EXPECT_EQ(icon.Decode(MAKELPARAM(WM_CONTEXTMENU, 1)), TEvent::Menu);
  EXPECT_EQ(icon.Decode(MAKELPARAM(NIN_SELECT, 1)), TEvent::Select);
  EXPECT_EQ(icon.Decode(MAKELPARAM(NIN_KEYSELECT, 1)), TEvent::Select);
  EXPECT_EQ(icon.Decode(MAKELPARAM(WM_RBUTTONUP, 1)), TEvent::None);
  EXPECT_EQ(icon.Decode(MAKELPARAM(WM_LBUTTONUP, 1)), TEvent::None);
}
void ExpectOldForm(const TTrayIcon& icon) {
  EXPECT_EQ(icon.Decode(WM_RBUTTONUP), TEvent::Menu);
  EXPECT_EQ(icon.Decode(WM_LBUTTONUP), TEvent::Select);
  EXPECT_EQ(icon.Decode(WM_CONTEXTMENU), TEvent::None);
  EXPECT_EQ(icon.Decode(NIN_SELECT), TEvent::None);
  EXPECT_EQ(icon.Decode(WM_MOUSEMOVE), TEvent::None);
}

TEST(TrayIcon, EventsAreDecodedInTheFormOfTheVersionTheShellTook) {
  // A hidden top-level window, as the main window is.
  const testwin::TWindow window = testwin::Frame(L"QfTrayIconTest", {0, 0, 10, 10}, WS_POPUP);
  ASSERT_TRUE(window);
  TTrayIcon icon(window.get(), WM_APP + 1, ::LoadIconW(nullptr, IDI_APPLICATION), L"Quillrook tray test");
  ExpectOldForm(icon);

  icon.Show(true);
  bool version4 = false;
  if (icon.Shown()) {
    // The shell's own answer for the agent's one icon (id 1) of this window: whether it takes
    // version 4. An icon that could not be added agreed on none.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window.get();
    data.uID = 1;
    data.uVersion = NOTIFYICON_VERSION_4;
    version4 = ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
  }
  if (version4)
    ExpectVersion4(icon);
  else
    ExpectOldForm(icon);
  icon.Show(false);
  EXPECT_FALSE(icon.Shown());
}

}  // namespace
