// The system's side of the agent's look: reads what decides it (the Windows build, the user's
// apps colour setting, high contrast, whether the theme library has the entry points of dark
// menus), makes the process's menus follow it, and gives a window and its controls the dark or
// the light look. Every entry point that not every Windows has is looked up before it is
// called; where one is missing the look stays light and nothing fails. Main thread.
#pragma once

#include <windows.h>

#include "win/look_rules.h"

namespace win {

// What the look depends on, read from the system now.
look::TLookFacts ReadLookFacts();
// Decides the look from the system anew and, when it differs from the last, makes the
// process's menus follow it; true when it changed (and on the first call). `decision` and
// `facts` receive what it decided and from what.
bool RefreshLook(look::TLookDecision* decision = nullptr, look::TLookFacts* facts = nullptr);
// The look of the last RefreshLook; light before the first.
look::TLook CurrentLook();

// Gives `window` (a top-level window or a page) and every control in it `look`: a dark title
// bar, the controls' dark themes and dark list colours, or back to the system's own for light.
// A window that was never dark is left untouched by light, so that nothing is drawn by the
// agent where the system draws.
void ApplyLook(HWND window, look::TLook look);
// ApplyLook on every top-level window of the calling thread (the agent's dialogs and windows).
void ApplyLookToThreadWindows(look::TLook look);
// A dialog's answer to WM_CTLCOLORDLG, ...STATIC, ...BTN, ...EDIT and ...LISTBOX: with the dark
// look it sets the device context's colours and returns the brush to paint with; with the light
// look it returns null and leaves the message to the system.
HBRUSH LookColours(look::TLook look, UINT message, HDC dc);
// The colour of a system colour index (COLOR_WINDOW, COLOR_BTNFACE, ...) in `look`, and a brush
// of it (owned here, for the process's life): GetSysColor and GetSysColorBrush when light.
COLORREF LookColour(look::TLook look, int index);
HBRUSH LookBrush(look::TLook look, int index);

}  // namespace win
