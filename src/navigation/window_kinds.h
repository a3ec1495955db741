// Recognition of foreign windows by class, style and child classes. Shared by the agent and by
// qf.dll (which runs it inside other programs, so it allocates nothing and never waits).
// Any thread may call it.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "navigation/target_kind.h"

// The recognition limits, shared with the hook library's own walks: the steps up a parent
// chain, and the class-name buffer every dialog-class test reads with (so "bosa_sdm_Word9"
// reads "bosa_sdm_").
inline constexpr int kMaxWalkSteps = 51;
inline constexpr int kDialogClassBuffer = 10;
// The longest class-name buffer any rule reads with, terminator included: a whole name.
inline constexpr int kWholeClassBuffer = 32;

// The window under the mouse, walked up (at most 51 steps) to the one that matters: the
// foreground window, a window without parent, or, when stopAtKnownClass, a dialog-like class.
HWND GetWindowP(bool stopAtKnownClass);
// The window if it is a file Open/Save dialog (common dialog of either style, Office), else 0.
// A window of 0 means the one GetWindowP(true) finds.
HWND IsDialog(HWND window);
// The window if it is an Explorer frame (kind 2) or a browser frame (kind 3), else 0; `kind` is
// set only on success. Mode > 0 accepts only Explorer, 0 both, < 0 only the browser. A window
// of 0 means the one GetWindowP(false) finds.
HWND IsExplorer(int& kind, int mode, HWND window);
// The window if it is an archiver window (kinds 5 to 8), else 0; `kind` is set only on success.
// A window of 0 means the one GetWindowP(true) finds.
HWND IsRar(int& kind, HWND window);
// The kind of a window as the hot key sees it: file dialog, then Explorer or browser frame, then
// archiver, else the desktop kind. A window of 0 is the desktop kind: the cursor is not asked.
TargetKind ClassifyWindow(HWND window);
// The folder tree of a folder-browse dialog: a direct child, or (newer systems) one inside the
// name-space control; 0 for none.
HWND BrowseDialogTree(HWND dialog);
// True for the desktop itself: the system's desktop window, the shell's, or a top-level window of
// the desktop's classes ("Progman", "WorkerW"; Explorer frames hold child "WorkerW"s of their own).
bool IsDesktopFrame(HWND window);
// True when the agent's own recognition takes `window` as a target of `kind`, as the hook reports
// one: a file dialog, an archiver window of that kind, a folder-browse dialog whose tree is
// `control`, an Explorer or browser frame of that kind (or `shellFrame`, an Explorer frame the
// shell's window list named), or the desktop. Any other kind is refused.
bool RecognisedAs(HWND window, int kind, HWND control, HWND shellFrame);
// The file-name edit box of a file dialog of either style, or 0.
HWND CheckVistaDialog(HWND dialog);
// Walks down a chain of child classes (the first child of each class); 0 when a link is missing.
HWND ChildPath(HWND window, std::initializer_list<const wchar_t*> classes);
// A combo box's edit field: the "ComboBox" child's "Edit" child of a combo box's parent (a
// ComboBoxEx32 or a sink window), or 0.
HWND ComboEdit(HWND comboParent);
// The class name of a window read into a buffer of `bufferChars` characters (terminator
// included), so longer names read as their prefix, as the recognition rules expect.
bool ClassIs(HWND window, int bufferChars, const wchar_t* name);
