// The DPI of a monitor and of a window, as the program's menus and dialogs size themselves by
// it: each monitor has its own scale, and a program that says so in its manifest (per-monitor,
// version 2) is told the real one. Also the shell's icon list for a size. The entry points of Windows 8.1 and 10 1607
// are looked up before they are called; without them every monitor has the system's DPI. Main thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace win {

// The DPI of the monitor that holds `point` (screen coordinates), or of the nearest one.
unsigned DpiAtPoint(POINT point);
// The DPI a window is drawn at: its monitor's for a per-monitor window.
unsigned DpiOfWindow(HWND window);

// Whether a WM_DPICHANGED names the DPI the window now has, as the system's own does (the
// window's DPI has changed when it comes). Any program can send the message, with a rectangle
// pointer of its choosing that the default handling would follow: one that names another DPI
// is neither followed nor passed on.
bool IsOwnDpiChange(HWND window, WPARAM wParam);

// The shell's image list of the smallest kind whose icons are at least `size` pixels (its small
// icons at 100 %, its large or extra-large ones on a monitor scaled up); the system owns it,
// for the process's life. Null when the shell gives none.
HIMAGELIST ShellIconList(int size);
// The pixel size of the icons of `list`; 0 for none.
int IconListSize(HIMAGELIST list);

}  // namespace win
