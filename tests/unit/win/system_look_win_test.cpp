// The look on real windows and the real registry: the apps colour setting as the system keeps
// it, dark controls and colours given and taken back, and light leaving the system's own alone.
#include "win/system_look.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "../test_registry.h"

namespace {

constexpr wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// The user's value put back as it was after the test.
class TAppsSettingKept {
 public:
  TAppsSettingKept() : key_(testreg::Create(HKEY_CURRENT_USER, kPersonalize)) {
    DWORD size = sizeof data_;
    had_ = ::RegQueryValueExW(key_.get(), L"AppsUseLightTheme", nullptr, &type_, data_, &size) == ERROR_SUCCESS;
    size_ = size;
  }
  ~TAppsSettingKept() {
    if (had_)
      ::RegSetValueExW(key_.get(), L"AppsUseLightTheme", 0, type_, data_, size_);
    else
      ::RegDeleteValueW(key_.get(), L"AppsUseLightTheme");
  }
  HKEY key() const { return key_.get(); }

 private:
  win::TRegKey key_;
  bool had_ = false;
  DWORD type_ = REG_NONE;
  BYTE data_[64] = {};
  DWORD size_ = 0;
};

}  // namespace

TEST(SystemLook, TheAppsSettingIsReadAsTheSystemStoresIt) {
  TAppsSettingKept kept;
  ASSERT_TRUE(kept.key());
  testreg::SetDword(kept.key(), L"AppsUseLightTheme", 0);
  EXPECT_EQ(win::ReadLookFacts().apps, look::TAppsSetting::Dark);
  testreg::SetDword(kept.key(), L"AppsUseLightTheme", 1);
  EXPECT_EQ(win::ReadLookFacts().apps, look::TAppsSetting::Light);
  // Any program of the user can write the value: a text is no setting, and nothing fails.
  testreg::SetString(kept.key(), L"AppsUseLightTheme", L"0");
  EXPECT_EQ(win::ReadLookFacts().apps, look::TAppsSetting::NotNumber);
  ::RegDeleteValueW(kept.key(), L"AppsUseLightTheme");
  EXPECT_EQ(win::ReadLookFacts().apps, look::TAppsSetting::Missing);

  // A dark setting decides dark only where the theme library has the entry points and the
  // build is new enough; where either lacks (Wine, this test program without the agent's
  // manifest, which is told an old version) the agent stays light and says why.
  testreg::SetDword(kept.key(), L"AppsUseLightTheme", 0);
  const look::TLookFacts facts = win::ReadLookFacts();
  EXPECT_GT(facts.build, 0u);
  look::TLookDecision decision;
  win::RefreshLook(&decision);
  EXPECT_EQ(win::CurrentLook(), decision.look);
  if (!facts.darkEntryPoints) {
    EXPECT_EQ(decision.look, look::TLook::Light);
    EXPECT_NE(std::wstring(decision.reason),
              look::DecideLook({10, 22631, look::TAppsSetting::Dark, false, true}).reason);
  }
  ::RegDeleteValueW(kept.key(), L"AppsUseLightTheme");
  win::RefreshLook();
  EXPECT_EQ(win::CurrentLook(), look::TLook::Light);
}

TEST(SystemLook, DarkIsGivenToControlsAndTakenBackAndLightTouchesNothingElse) {
  const HWND window =
      ::CreateWindowExW(0, L"STATIC", L"look", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const HWND list =
      ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, window, nullptr, nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  const look::TDarkColours dark;
  // Light on a window that never was dark leaves even a colour of the program's own.
  ListView_SetBkColor(list, RGB(255, 0, 0));
  win::ApplyLook(window, look::TLook::Light);
  EXPECT_EQ(ListView_GetBkColor(list), RGB(255, 0, 0));

  win::ApplyLook(window, look::TLook::Dark);
  EXPECT_EQ(ListView_GetBkColor(list), dark.control);
  EXPECT_EQ(ListView_GetTextColor(list), dark.text);
  win::ApplyLook(window, look::TLook::Light);
  EXPECT_EQ(ListView_GetBkColor(list), ::GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ListView_GetTextColor(list), ::GetSysColor(COLOR_WINDOWTEXT));

  // Control colours: dark ones set on the device context with the brush to paint with; light
  // leaves the message to the system.
  const HDC dc = ::GetDC(window);
  ::SetTextColor(dc, RGB(1, 2, 3));
  EXPECT_EQ(win::LookColours(look::TLook::Light, WM_CTLCOLORSTATIC, dc), nullptr);
  EXPECT_EQ(::GetTextColor(dc), RGB(1, 2, 3));
  const HBRUSH face = win::LookColours(look::TLook::Dark, WM_CTLCOLORSTATIC, dc);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(::GetTextColor(dc), dark.text);
  EXPECT_EQ(::GetBkColor(dc), dark.window);
  const HBRUSH box = win::LookColours(look::TLook::Dark, WM_CTLCOLOREDIT, dc);
  EXPECT_EQ(::GetBkColor(dc), dark.control);
  EXPECT_NE(box, face);
  EXPECT_EQ(win::LookColours(look::TLook::Dark, WM_CTLCOLOREDIT, dc), box) << "one brush per colour";
  EXPECT_EQ(win::LookColours(look::TLook::Dark, WM_PAINT, dc), nullptr);
  ::ReleaseDC(window, dc);
  EXPECT_EQ(win::LookColour(look::TLook::Dark, COLOR_GRAYTEXT), dark.grayText);
  EXPECT_EQ(win::LookColour(look::TLook::Light, COLOR_GRAYTEXT), ::GetSysColor(COLOR_GRAYTEXT));
  ::DestroyWindow(window);
}
