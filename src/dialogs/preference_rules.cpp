#include "dialogs/preference_rules.h"

#include <climits>
#include <cwctype>

int CountFromText(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == L' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

int CountShown(int count) { return count < 1 ? 1 : count; }

int MouseWheelFrom(bool wheel, bool forward, bool backward) {
  if (!wheel) return 0;
  if (forward) return 2;
  if (backward) return 3;
  return 1;
}

std::wstring NaturalKeyText(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 0xFFFF) return {};
  return std::wstring(1, static_cast<wchar_t>(std::towupper(static_cast<wint_t>(virtualKey))));
}

bool IsCustomHotKey(int alt) { return alt == kModAlt || alt == kModCtrl || alt == kModShift; }

THotKeyView HotKeyView(int alt, int keys, const std::optional<THotKey>& lastCustom) {
  THotKeyView view;
  view.mode = alt == 0 ? THotKeyMode::None : alt == kModWin ? THotKeyMode::Natural : THotKeyMode::Custom;
  // The natural mode shows the stored key whenever it is chosen, so the box follows Keys.
  view.naturalKey = NaturalKeyText(keys);
  view.setNaturalKey = view.mode == THotKeyMode::Natural;
  const THotKey shown = IsCustomHotKey(alt) || !lastCustom ? THotKey{alt, keys} : *lastCustom;
  keys = shown.keys;
  switch (shown.alt) {
    case kModAlt:
      view.controlKey = keys;
      view.controlModifiers = kControlAlt;
      break;
    case kModCtrl:
      view.controlKey = keys;
      view.controlModifiers = kControlCtrl;
      break;
    case kModShift:
      view.controlKey = keys;
      view.controlModifiers = kControlShift;
      break;
    default:
      break;
  }
  return view;
}

THotKey HotKeyFrom(THotKeyMode mode, const std::wstring& naturalKey, int controlKey, int controlModifiers,
                   THotKey stored) {
  switch (mode) {
    case THotKeyMode::None:
      return {0, stored.keys};
    case THotKeyMode::Natural:
      if (naturalKey.empty()) return stored;
      return {kModWin, static_cast<int>(naturalKey.front())};
    case THotKeyMode::Custom: {
      THotKey result{stored.alt, controlKey};
      if (controlKey != 0) {
        if ((controlModifiers & kControlAlt) != 0)
          result.alt = kModAlt;
        else if ((controlModifiers & kControlShift) != 0)
          result.alt = kModShift;
        else if ((controlModifiers & kControlCtrl) != 0)
          result.alt = kModCtrl;
      }
      return result;
    }
  }
  return stored;
}

TKeyChordView KeyChordView(int stored) {
  const auto value = static_cast<unsigned>(stored);
  const unsigned modifiers = value >> 16;
  TKeyChordView view;
  if (stored == 0) return view;
  view.controlKey = static_cast<int>(value & 0xFF);
  if (modifiers & kModShift) view.controlModifiers |= kControlShift;
  if (modifiers & kModCtrl) view.controlModifiers |= kControlCtrl;
  if (modifiers & kModAlt) view.controlModifiers |= kControlAlt;
  return view;
}

int KeyChordFrom(int controlKey, int controlModifiers, int stored) {
  if (controlKey == 0) return 0;
  if (KeyChordView(stored) == TKeyChordView{controlKey, controlModifiers}) return stored;
  int modifiers = 0;
  if (controlModifiers & kControlShift) modifiers |= kModShift;
  if (controlModifiers & kControlCtrl) modifiers |= kModCtrl;
  if (controlModifiers & kControlAlt) modifiers |= kModAlt;
  return (modifiers << 16) | (controlKey & 0xFF);
}

int AutoJumpShown(int stored) { return stored == 1 || stored == 2 ? stored : 0; }

bool ShowTrayStored(bool showTray, int mouseWheel, bool mouseMButton) {
  return showTray || (mouseWheel == 0 && !mouseMButton);
}
