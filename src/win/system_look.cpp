#include "win/system_look.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <array>
#include <vector>

#include "win/handles.h"
#include "win/registry.h"

namespace win {

namespace {

constexpr wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kAppsUseLightTheme[] = L"AppsUseLightTheme";

// The theme library's entry points of dark menus have no names, only ordinals, stable since
// Windows 10 1903: SetPreferredAppMode (135) and FlushMenuThemes (136); AllowDarkModeForWindow
// (133) lets a window's scroll bars follow. They are looked up, never assumed.
constexpr WORD kSetPreferredAppMode = 135;
constexpr WORD kFlushMenuThemes = 136;
constexpr WORD kAllowDarkModeForWindow = 133;
enum TPreferredAppMode : int { pamDefault = 0, pamForceDark = 2 };

using TSetPreferredAppMode = int(WINAPI*)(int);
using TFlushMenuThemes = void(WINAPI*)();
using TAllowDarkModeForWindow = BOOL(WINAPI*)(HWND, BOOL);
using TDwmSetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

struct TEntryPoints {
  TModuleHandle uxtheme;
  TModuleHandle dwmapi;
  TSetPreferredAppMode setPreferredAppMode = nullptr;
  TFlushMenuThemes flushMenuThemes = nullptr;
  TAllowDarkModeForWindow allowDarkModeForWindow = nullptr;
  TSetWindowTheme setWindowTheme = nullptr;
  TDwmSetWindowAttribute dwmSetWindowAttribute = nullptr;
};

const TEntryPoints& Entries() {
  static const TEntryPoints entries = [] {
    TEntryPoints e;
    e.uxtheme.reset(::LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    e.dwmapi.reset(::LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (e.uxtheme) {
      const HMODULE m = e.uxtheme.get();
      e.setPreferredAppMode = ProcAddress<TSetPreferredAppMode>(m, MAKEINTRESOURCEA(kSetPreferredAppMode));
      e.flushMenuThemes = ProcAddress<TFlushMenuThemes>(m, MAKEINTRESOURCEA(kFlushMenuThemes));
      e.allowDarkModeForWindow = ProcAddress<TAllowDarkModeForWindow>(m, MAKEINTRESOURCEA(kAllowDarkModeForWindow));
      e.setWindowTheme = ProcAddress<TSetWindowTheme>(m, "SetWindowTheme");
    }
    if (e.dwmapi)
      e.dwmSetWindowAttribute = ProcAddress<TDwmSetWindowAttribute>(e.dwmapi.get(), "DwmSetWindowAttribute");
    return e;
  }();
  return entries;
}

struct TVersion {
  unsigned major = 0;
  unsigned build = 0;
};

TVersion WindowsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  // The manifest declares Windows 10, so the answer is the true version, not 6.2.
  if (!::GetVersionExW(&info)) return {};
  return {info.dwMajorVersion, info.dwBuildNumber};
}

look::TLookDecision& Current() {
  static look::TLookDecision current;
  return current;
}

// The windows given the dark look, so that light gives back only what dark took.
std::vector<HWND>& Darkened() {
  static std::vector<HWND> windows;
  return windows;
}

bool IsClass(HWND window, const wchar_t* name) {
  std::array<wchar_t, 64> found{};
  if (::GetClassNameW(window, found.data(), static_cast<int>(found.size())) == 0) return false;
  return ::CompareStringOrdinal(found.data(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

void SetTheme(HWND window, const wchar_t* app, const wchar_t* ids) {
  if (Entries().setWindowTheme != nullptr) Entries().setWindowTheme(window, app, ids);
}

// One control in `look`: the theme of its class in the system's dark set, or none (the
// system's default) for light. Check boxes, radio buttons and group boxes have no dark theme:
// their theme is switched off, so that they paint with the dialog's colours.
void ApplyControlLook(HWND control, bool dark) {
  const auto& colours = look::TDarkColours{};
  if (IsClass(control, WC_BUTTONW)) {
    const LONG_PTR kind = ::GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    const bool push = kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON || kind == BS_SPLITBUTTON ||
                      kind == BS_DEFSPLITBUTTON || kind == BS_COMMANDLINK || kind == BS_DEFCOMMANDLINK;
    if (dark)
      SetTheme(control, push ? L"DarkMode_Explorer" : L"", push ? nullptr : L"");
    else
      SetTheme(control, nullptr, nullptr);
  } else if (IsClass(control, WC_EDITW) || IsClass(control, WC_COMBOBOXW) || IsClass(control, WC_COMBOBOXEXW)) {
    SetTheme(control, dark ? L"DarkMode_CFD" : nullptr, nullptr);
  } else if (IsClass(control, WC_LISTVIEWW)) {
    SetTheme(control, dark ? L"DarkMode_Explorer" : nullptr, nullptr);
    if (const HWND header = ListView_GetHeader(control); header != nullptr)
      SetTheme(header, dark ? L"DarkMode_ItemsView" : nullptr, nullptr);
    ListView_SetBkColor(control, dark ? colours.control : ::GetSysColor(COLOR_WINDOW));
    ListView_SetTextBkColor(control, dark ? colours.control : ::GetSysColor(COLOR_WINDOW));
    ListView_SetTextColor(control, dark ? colours.text : ::GetSysColor(COLOR_WINDOWTEXT));
  } else if (IsClass(control, WC_TREEVIEWW)) {
    SetTheme(control, dark ? L"DarkMode_Explorer" : nullptr, nullptr);
    TreeView_SetBkColor(control, dark ? colours.control : static_cast<COLORREF>(-1));
    TreeView_SetTextColor(control, dark ? colours.text : static_cast<COLORREF>(-1));
  } else if (IsClass(control, WC_SCROLLBARW) || IsClass(control, WC_LISTBOXW)) {
    SetTheme(control, dark ? L"DarkMode_Explorer" : nullptr, nullptr);
  }
  if (Entries().allowDarkModeForWindow != nullptr) Entries().allowDarkModeForWindow(control, dark ? TRUE : FALSE);
}

BOOL CALLBACK ApplyToChild(HWND child, LPARAM dark) {
  ApplyControlLook(child, dark != 0);
  return TRUE;
}

}  // namespace

look::TLookFacts ReadLookFacts() {
  look::TLookFacts facts;
  const TVersion version = WindowsVersion();
  facts.major = version.major;
  facts.build = version.build;
  if (const TRegKey key = OpenKey(HKEY_CURRENT_USER, kPersonalizeKey, KEY_QUERY_VALUE)) {
    LSTATUS status = ERROR_SUCCESS;
    const auto value = ReadDword(key.get(), kAppsUseLightTheme, &status);
    if (value)
      facts.apps = *value == 0 ? look::TAppsSetting::Dark : look::TAppsSetting::Light;
    else if (status == ERROR_DATATYPE_MISMATCH)
      facts.apps = look::TAppsSetting::NotNumber;
  }
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  facts.highContrast = ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) != FALSE &&
                       (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
  facts.darkEntryPoints = Entries().setPreferredAppMode != nullptr && Entries().flushMenuThemes != nullptr;
  return facts;
}

bool RefreshLook(look::TLookDecision* decision, look::TLookFacts* facts) {
  static bool decided = false;
  static bool menusDark = false;
  const look::TLookFacts read = ReadLookFacts();
  const look::TLookDecision now = look::DecideLook(read);
  if (decision != nullptr) *decision = now;
  if (facts != nullptr) *facts = read;
  const bool changed = !decided || now.look != Current().look;
  decided = true;
  Current() = now;
  // Menus are themed for the whole process. Dark needs the entry points (DecideLook saw them);
  // light asks the theme library nothing unless dark was set before.
  const bool dark = now.look == look::TLook::Dark;
  const auto& e = Entries();
  if (dark != menusDark && e.setPreferredAppMode != nullptr && e.flushMenuThemes != nullptr) {
    e.setPreferredAppMode(dark ? pamForceDark : pamDefault);
    e.flushMenuThemes();
    menusDark = dark;
  }
  return changed;
}

look::TLook CurrentLook() { return Current().look; }

void ApplyLook(HWND window, look::TLook look) {
  if (window == nullptr || !::IsWindow(window)) return;
  auto& darkened = Darkened();
  darkened.erase(std::remove_if(darkened.begin(), darkened.end(), [](HWND w) { return !::IsWindow(w); }),
                 darkened.end());
  const bool dark = look == look::TLook::Dark;
  const auto known = std::find(darkened.begin(), darkened.end(), window);
  if (!dark && known == darkened.end()) return;
  if (dark && known == darkened.end()) darkened.push_back(window);
  if (!dark && known != darkened.end()) darkened.erase(known);

  const TVersion version = WindowsVersion();
  if (const unsigned attribute = look::DarkTitleBarAttribute(version.major, version.build);
      attribute != 0 && Entries().dwmSetWindowAttribute != nullptr &&
      (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0) {
    const BOOL on = dark ? TRUE : FALSE;
    Entries().dwmSetWindowAttribute(window, attribute, &on, sizeof on);
  }
  if (Entries().allowDarkModeForWindow != nullptr) Entries().allowDarkModeForWindow(window, dark ? TRUE : FALSE);
  ::EnumChildWindows(window, ApplyToChild, dark ? 1 : 0);
  ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void ApplyLookToThreadWindows(look::TLook look) {
  // Collected first: a window's repaint may create or close others.
  std::vector<HWND> windows;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM into) {
        reinterpret_cast<std::vector<HWND>*>(into)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  for (const HWND window : windows) ApplyLook(window, look);
}

COLORREF LookColour(look::TLook look, int index) {
  if (look != look::TLook::Dark) return ::GetSysColor(index);
  const look::TDarkColours colours;
  switch (index) {
    case COLOR_WINDOW:
      return colours.control;
    case COLOR_BTNFACE:
    case COLOR_INACTIVEBORDER:
      return colours.window;
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
      return colours.text;
    case COLOR_GRAYTEXT:
      return colours.grayText;
    case COLOR_HIGHLIGHT:
    case COLOR_HOTLIGHT:
      return colours.highlight;
    case COLOR_HIGHLIGHTTEXT:
      return colours.highlightText;
    default:
      return ::GetSysColor(index);
  }
}

HBRUSH LookBrush(look::TLook look, int index) {
  if (look != look::TLook::Dark) return ::GetSysColorBrush(index);
  // One brush per colour for the process's life: a dialog repaints many times a second.
  static std::vector<std::pair<COLORREF, TBrushHandle>> brushes;
  const COLORREF colour = LookColour(look, index);
  for (const auto& [c, brush] : brushes)
    if (c == colour) return brush.get();
  brushes.emplace_back(colour, TBrushHandle(::CreateSolidBrush(colour)));
  return brushes.back().second.get();
}

HBRUSH LookColours(look::TLook look, UINT message, HDC dc) {
  if (look != look::TLook::Dark || dc == nullptr) return nullptr;
  const bool box = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  if (!box && message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) return nullptr;
  const int face = box ? COLOR_WINDOW : COLOR_BTNFACE;
  ::SetTextColor(dc, LookColour(look, COLOR_WINDOWTEXT));
  ::SetBkColor(dc, LookColour(look, face));
  return LookBrush(look, face);
}

}  // namespace win
