// The line that takes a console's shell to a folder, as typed at its prompt: "cd /d" for the
// command processor, "Set-Location -LiteralPath" for PowerShell, the path quoted so that each
// shell reads every character of it literally. Portable, no state; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TConsoleShell { Cmd, PowerShell };

// The shell at a console's prompt, from the image names of the console's processes, oldest
// first: the newest shell started there is the one reading the prompt ("cmd.exe",
// "powershell.exe", "pwsh.exe", case-blind, with or without a folder); the command processor when
// none is known.
TConsoleShell ConsoleShell(const std::vector<std::wstring>& imageNames);

// The line without the Enter that runs it; none for a path with a control character (a line
// break or a key the shell would act on), which is never typed.
std::optional<std::wstring> ChangeDirectoryLine(TConsoleShell shell, const std::wstring& path);

// Whether the console's shell waits at its prompt, from the image names of the console's
// processes other than the agent: every one of them is a shell (a shell started from another
// waits for it, and the newest reads the prompt). Any other program reads the console's input
// itself, and what the agent typed would be its input.
bool ShellAtPrompt(const std::vector<std::wstring>& imageNames);
