// Command-line rules of the agent: the switches and the folder passed on, stated once for every
// part that starts the agent or reads how it was started. Portable; any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

inline constexpr wchar_t kSwitchRestart[] = L"/restart";
inline constexpr wchar_t kSwitchEraseFull[] = L"/erasefull";
inline constexpr wchar_t kSwitchEraseIntel[] = L"/eraseintel";
inline constexpr wchar_t kSwitchUpdate[] = L"/update";

// "/eraseintel" as the first argument, compared exactly as every switch is: the logs are kept
// from the first line on.
bool KeepsNoLogs(const std::vector<std::wstring>& args);

// The folder (or command) given on the command line: the first argument unchanged when it names
// an existing folder, else every argument joined by single blanks (an unquoted path with blanks
// comes back whole); empty without arguments. Switches are compared exactly.
std::wstring BuildCommandLineFolder(const std::vector<std::wstring>& args,
                                    const std::function<bool(const std::wstring&)>& isFolder);

// Appends "\" to a non-empty path that does not end with one.
void CheckPath(std::wstring& path);

// `arg` as one argument of a command line that CommandLineToArgvW (and the C runtime) splits
// back into the same text: quoted, with the backslashes before a quote doubled.
std::wstring QuotedArgument(const std::wstring& arg);
