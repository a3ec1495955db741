// Driving a console window's shell to a folder: the shell is found among the processes of that
// console (for a terminal window such as Windows Terminal, of its newest tab's pseudo console),
// and the line that changes its directory is typed into the console's input, as the
// keyboard would (never through the clipboard). Main thread (the agent's); owns nothing beyond
// the call.
#pragma once

#include <windows.h>

#include <string>

enum class TConsoleTyping {
  Typed,    // the line went into the console's input
  Refused,  // the path holds a control character: nothing is typed (logged)
  Busy,     // another program runs in the console and would read the line: nothing is typed
  NoShell,  // no shell of that console could be reached, or the console took no input (logged)
};
// Types "cd /d" or "Set-Location" with `path`, then Enter, into the console that the window
// `console` shows, once its shell waits at its prompt; what the user had typed there is cleared
// first (Escape).
TConsoleTyping SetDataToConsole(HWND console, const std::wstring& path);

// The current folder of the shell at the console's prompt, where it can be read: the command
// processor keeps it as its process's own; PowerShell keeps a location of its own that no other
// program can read, so for it (and when no shell answers) the answer is empty.
std::wstring ConsoleCurrentFolder(HWND console);
