// Starting with Windows and with Explorer: the Run value that starts the agent at logon, and the
// registration of the shell extension beside the program. Main thread.
#pragma once

#include <string>

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Quillrook Folder";

// Whether the agent starts with Windows: the Run value exists (its data is not compared).
bool AutostartRegistered();
// Writes the Run value with the agent's path, or deletes it; false when that failed (starting
// with Windows is a convenience the user can switch on again, so callers only log it).
bool SetAutostart(bool on);

// Registers the shell extension beside the program (or with `on` false unregisters it) through
// the system's regsvr32, silently and without waiting for it.
void RegisterShellExtension(bool on);
