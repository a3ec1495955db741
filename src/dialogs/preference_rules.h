// The options dialog's Preferences page as data: how its boxes read and what they store. The
// count boxes' numbers, the mouse-wheel boxes, the hot key in its three modes and the rule that
// keeps the tray icon for an agent left without dialog triggers. Portable; main thread.
#pragma once

#include <optional>
#include <string>

// The number of a count box: its leading decimal digits after optional blanks and one sign; 0
// when there are none. A box left below 1 shows 1.
int CountFromText(const std::wstring& text);
int CountShown(int count);

// MouseWheel from the wheel box and its forward and backward boxes: 0 off, 1 either way, 2
// forward only, 3 backward only.
int MouseWheelFrom(bool wheel, bool forward, bool backward);

// The hot-key drop-down.
enum class THotKeyMode { None = 0, Natural = 1, Custom = 2 };

// Modifier bits as the hot-key control gives them, and as the hot key is registered (Alt).
inline constexpr int kControlShift = 1, kControlCtrl = 2, kControlAlt = 4;
inline constexpr int kModAlt = 1, kModCtrl = 2, kModShift = 4, kModWin = 8;

// What the page shows for the stored Alt and Keys: the mode, the natural key box's character
// (none: leave the box as it is), and the hot-key control's key and modifiers (key 0: leave it).
struct THotKeyView {
  THotKeyMode mode = THotKeyMode::None;
  std::wstring naturalKey;
  bool setNaturalKey = false;
  int controlKey = 0;
  int controlModifiers = 0;
};
// What saving stores from the page: the new Alt and Keys, from the mode, the natural key box's
// text and the hot-key control's key and modifiers, and the stored values before.
struct THotKey {
  int alt = 0;
  int keys = 0;
  friend bool operator==(const THotKey&, const THotKey&) = default;
};
// Whether Alt is one the hot-key control shows (Alt, Ctrl or Shift alone).
bool IsCustomHotKey(int alt);
// `lastCustom`, the custom key last stored, fills the control when the stored key is not custom,
// so choosing "Custom" again offers the key the user had, not the control's default.
THotKeyView HotKeyView(int alt, int keys, const std::optional<THotKey>& lastCustom = std::nullopt);
THotKey HotKeyFrom(THotKeyMode mode, const std::wstring& naturalKey, int controlKey, int controlModifiers,
                   THotKey stored);

// The character the natural key box shows for a virtual-key code: letters and digits as such.
std::wstring NaturalKeyText(int virtualKey);

// The boxes of Explorer Jump's key and the search box's key, hot-key controls: a stored JumpKey or
// SearchKey (modifiers in the high word as Alt takes them, the key in the low) as the control
// shows it, and what saving stores from it. The
// control cannot show the Windows key: a stored key with it shows without it, and is stored again
// as it was while the box still shows it so. An empty box stores 0, no key.
struct TKeyChordView {
  int controlKey = 0;
  int controlModifiers = 0;
  friend bool operator==(const TKeyChordView&, const TKeyChordView&) = default;
};
TKeyChordView KeyChordView(int stored);
int KeyChordFrom(int controlKey, int controlModifiers, int stored);
// AutoJump from the page's three choices (0 never, 1 coming back from Explorer, 2 also new
// dialogs), and the choice a stored value shows (anything else shows as never).
int AutoJumpShown(int stored);

// An agent with neither the wheel nor the middle button as a dialog trigger keeps its tray icon.
bool ShowTrayStored(bool showTray, int mouseWheel, bool mouseMButton);
