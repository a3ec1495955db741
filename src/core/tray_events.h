// What an event of the notification-area icon's callback means, in the shell's old form and in
// the form of NOTIFYICON_VERSION_4: the rule apart from the icon, which applies it. Portable (no
// Windows headers), no state; any thread.
#pragma once

#include <cstdint>

enum class TTrayEvent { None, Menu, Select };

namespace trayevents {

// The shell's event numbers, as <windows.h> and <shellapi.h> have them (tray_icon.cpp checks
// them against those headers).
inline constexpr std::uint32_t kLeftButtonUp = 0x0202;   // WM_LBUTTONUP
inline constexpr std::uint32_t kRightButtonUp = 0x0205;  // WM_RBUTTONUP
inline constexpr std::uint32_t kContextMenu = 0x007B;    // WM_CONTEXTMENU
inline constexpr std::uint32_t kSelect = 0x0400;         // NIN_SELECT
inline constexpr std::uint32_t kKeySelect = 0x0401;      // NIN_KEYSELECT

}  // namespace trayevents

// `lParam` as the callback message brings it; `version4` when the shell took version 4, which
// carries the event in the low word (the icon's id in the high one) and reports a right click
// and the context key as WM_CONTEXTMENU, a left click, Enter and Space as NIN_SELECT and
// NIN_KEYSELECT; older shells send the mouse message whole.
TTrayEvent DecodeTrayEvent(std::intptr_t lParam, bool version4);
