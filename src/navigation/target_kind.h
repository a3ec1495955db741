// The kinds of foreign window the agent can drive; the numbers are shared with qf.dll, which
// sends them in its queue messages. Portable.
#pragma once

#include <cstdint>

enum TargetKind : std::int32_t {
  tkDesktop = 1,
  tkExplorer = 2,
  tkInternetExplorer = 3,
  tkFileDialog = 4,
  tkRarExtract = 5,
  tkRarWindow = 6,
  tkZipExtract = 7,
  tkAceExtract = 8,
  tkBrowseDialog = 9,
  // A console window: the hot key and the tray click find it; the hook never reports one.
  tkConsole = 10,
  // Windows Terminal's window, whose tabs are consoles without windows on the screen; found as a
  // console window is.
  tkTerminal = 11,
  // A window one of the user's own dialog entries takes, which the recognition knows as nothing
  // else; driven as the entry says.
  tkOwnDialog = 12,
};

// The kinds whose target is a shell at a console's prompt.
inline bool IsConsoleKind(int kind) { return kind == tkConsole || kind == tkTerminal; }
