// The line that takes a console's shell to a folder, as typed at its prompt: "cd /d" for the
// command processor, "Set-Location -LiteralPath" for PowerShell, the path quoted so that each
// shell reads every character of it literally. Portable, no state; any thread.
#pragma once

#include <string>
#include <vector>

enum class TConsoleShell { Cmd, PowerShell };

// The shell at a console's prompt, from the image names of the console's processes, oldest
// first: the newest shell started there is the one reading the prompt ("cmd.exe",
// "powershell.exe", "pwsh.exe", case-blind, with or without a folder); the command processor when
// none is known.
TConsoleShell ConsoleShell(const std::vector<std::wstring>& imageNames);

// The line without the Enter that runs it.
std::wstring ChangeDirectoryLine(TConsoleShell shell, const std::wstring& path);
