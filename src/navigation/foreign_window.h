// Talking to windows of other programs: every message that waits for an answer is bounded by one
// timeout, so a hung program costs the agent no more than that per message. Main thread (the
// agent's); owns nothing.
#pragma once

#include <windows.h>

#include <string>

// How long a window of another program gets to answer one message.
inline constexpr UINT kForeignSendTimeoutMs = 200;
// Text is read from a control 260 characters at most.
inline constexpr std::size_t kForeignTextLimit = 260;

// A timed SendMessage whose result is not wanted; false when the window did not answer in time.
bool TimedSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A control's text by a timed WM_GETTEXT (GetWindowText cannot read another program's edit box:
// it answers the creation caption). Empty when it did not answer; `timedOut` then says whether
// the time ran out.
std::wstring ReadText(HWND window, bool* timedOut = nullptr);
// A control's text length by a timed WM_GETTEXTLENGTH, never its text; -1 when it did not answer
// in time (`timedOut` then true) or at all.
int ReadTextLength(HWND window, bool* timedOut = nullptr);
// WM_SETTEXT, timed.
void SetText(HWND window, const std::wstring& text);
// A key as typing delivers it: WM_KEYDOWN and WM_KEYUP posted.
void PostKey(HWND window, WPARAM key);
// The thread that owns the window.
DWORD ThreadOf(HWND window);

// True when the window's thread answers a null message within the timeout. A thread that does
// not must never have its input attached to ours: focus and foreground changes then wait for it
// without a bound, and the agent would hang with it.
bool WindowAnswers(HWND window);

// The full path of the window's program, or empty when it cannot be asked.
std::wstring ProgramPathOf(HWND window);
// Its executable name ("notepad.exe"), or empty.
std::wstring ProgramNameOf(HWND window);
// The window's whole class name (the longest the system registers), or empty. Asks nothing of
// the window's thread.
std::wstring ClassNameOf(HWND window);
// Whether the window belongs to the system's shell, the explorer.exe of the Windows folder.
bool OfTheShell(HWND window);
// Whether the window is one of the agent's own.
bool OfThisProcess(HWND window);
