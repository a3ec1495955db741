// Driving a window of another program to a folder the way a user would: finding its address or
// file-name box by class and layout, then sending the messages and keys that typing produces,
// verifying each step in bounded loops. Main thread (the agent's), synchronously in a menu click.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "settings/own_dialogs.h"

// The window the folder menu was last shown for, and its kind (TargetKind); for one of the user's
// own dialogs the entry that took it, as it was then.
struct TNavigationTarget {
  TNavigationTarget(HWND w = nullptr, int k = 0, std::optional<TOwnDialog> entry = std::nullopt)
      : window(w), kind(k), ownDialog(std::move(entry)) {}
  HWND window;
  int kind;
  std::optional<TOwnDialog> ownDialog;
};

enum class TSetDataOutcome {
  Done,         // carried out, or refused with a log line
  ConsoleBusy,  // the console runs another program, which would have read the line: nothing typed
};
// Navigates the target to `path` (a folder, a file, or with `filter` a mask list).
// `agentThreadId` is the agent's main thread, the second party of every input attachment.
TSetDataOutcome SetData(const TNavigationTarget& target, DWORD agentThreadId, const std::wstring& path, bool filter);

// Opens the folder in a new window of the shell with `verb` ("open", "explore"); a path that names no folder (a file, a
// program, a mask, nothing) is refused with a log line and nothing is started. True when it opened.
bool OpenFolderInShell(const std::wstring& path, const wchar_t* verb = L"open");
// Opens a document in its program through the shell (its default verb); a program file, a script or a shortcut
// (IsProgramFileName, and what the system calls dangerous) is refused with a log line and
// nothing is started. True when it opened.
bool OpenDocumentInShell(const std::wstring& path);

// The address bar of an Explorer window as it is, found without a message: the edit box of its
// ComboBoxEx32 (the classic bar, or the breadcrumb bar in edit mode), else the breadcrumb bar's
// toolbar, whose text is the path after a label; or 0.
HWND ExplorerAddressBar(HWND window);
// The address-bar edit box of an Explorer window (switching a breadcrumb bar into edit mode
// first), or 0.
HWND GetExplorerComponent(HWND window, DWORD agentThreadId);
// The address-bar edit box of a browser frame, or 0.
HWND GetIEcomponent(HWND window);

// The pieces SetData is built from, with the target passed in rather than remembered.

// Puts `path` into an edit box of the target with WM_SETTEXT (and with `enter`, a posted
// VK_RETURN). An edit box of 0 only logs.
void SetPath(const TNavigationTarget& target, DWORD agentThreadId, HWND edit, const std::wstring& path, bool enter);
// The same by emulated typing, for boxes that only react to keys: the last character is set as
// text, the others are posted as WM_CHAR in front of it.
void SetPath2(const TNavigationTarget& target, DWORD agentThreadId, HWND edit, const std::wstring& path, bool enter);
// A push button of the window by position: rule 33 the leftmost one narrower than 28 pixels,
// any other rule (22) the last one whose top lies less than 28 pixels below its parent's top.
HWND FindButton(HWND window, int rule);
// The file-dialog recipe: types `path` into the dialog's file-name box, presses Enter and puts
// the user's typed name back. Attempts 0 to 3; `typedName` is carried into the retries.
void SetDataToDialog(HWND dialog, DWORD agentThreadId, const std::wstring& path, bool filter, int attempt,
                     const std::wstring& typedName);
// The same recipe for a dialog whose box `findBox` finds (asked again at each attempt; 0 when
// there is none).
void SetDataToBox(HWND dialog, const std::function<HWND(HWND dialog)>& findBox, DWORD agentThreadId,
                  const std::wstring& path, bool filter);
