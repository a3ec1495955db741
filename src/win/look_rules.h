// How the agent's menus and windows look on a display, decided without the system: which strip
// of menu images a monitor's scale takes, pixel sizes at a DPI, and whether the agent is dark.
// The Win32 side (win/system_look, win/display_scale) gathers the facts and applies the answer.
// Portable, no state; any thread.
#pragma once

#include <array>
#include <cstdint>

namespace look {

// The DPI at which the program's sizes in pixels are given (100 % scaling).
inline constexpr unsigned kBaseDpi = 96;
// The sizes of the menu-image strips in the resources, smallest first.
inline constexpr std::array<int, 6> kImageSizes{16, 20, 24, 32, 40, 48};

// A DPI the program works with: 0 (unknown) is 96, and anything outside 48..960 (no monitor has
// it; a forged message may claim it) is brought into that range.
unsigned UsableDpi(unsigned dpi);
// `pixels` at 96 DPI scaled to `dpi`, rounded to the nearest pixel.
int Scaled(int pixels, unsigned dpi);
// `pixels` measured at `fromDpi` as many at `toDpi` (a list column kept across a DPI change).
int Rescaled(int pixels, unsigned fromDpi, unsigned toDpi);
// The image size for a monitor of `dpi`: the largest strip no bigger than 16 pixels scaled to
// it, so that an image is never stretched (100 % 16, 125 % 20, 150 % 24, 175 % 24, 200 % 32,
// 250 % 40, 300 % and more 48).
int ImageSizeFor(unsigned dpi);

enum class TLook { Light, Dark };

// The apps colour setting as read from the user's registry.
enum class TAppsSetting { Missing, NotNumber, Light, Dark };

// What the look depends on.
struct TLookFacts {
  unsigned major = 0;  // Windows version; 10 on Windows 10 and 11
  unsigned build = 0;
  TAppsSetting apps = TAppsSetting::Missing;
  bool highContrast = false;
  bool darkEntryPoints = false;  // the system library has the entry points of dark menus
};

struct TLookDecision {
  TLook look = TLook::Light;
  const wchar_t* reason = L"";  // for the log: why
};

// The first Windows build with dark menus for programs (Windows 10 1903).
inline constexpr unsigned kDarkMenusBuild = 18362;

// Dark only when the user's apps are dark, high contrast is off (its colours stand) and the
// system offers dark menus; light in every other case, missing or unreadable facts included.
TLookDecision DecideLook(const TLookFacts& facts);

// The window attribute that makes a title bar dark on that build: 20 from build 18985, 19 on
// the builds before it that have dark menus, 0 where there is none.
unsigned DarkTitleBarAttribute(unsigned major, unsigned build);

// The colours of a dark window, as 0x00BBGGRR values (a COLORREF): Explorer's own.
struct TDarkColours {
  std::uint32_t window = 0x00202020;   // a dialog's face
  std::uint32_t control = 0x002B2B2B;  // boxes and lists
  std::uint32_t text = 0x00F0F0F0;
  std::uint32_t grayText = 0x00A0A0A0;   // disabled and secondary text
  std::uint32_t highlight = 0x00D77800;  // a selection and a link
  std::uint32_t highlightText = 0x00FFFFFF;
};

}  // namespace look
