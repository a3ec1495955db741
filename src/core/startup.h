// The agent's main routine: what this process does before any window exists (wait for an old
// instance, remove the task, hand over to an elevated copy, pass a folder on, or become the
// agent), and the data folders it settles. Main thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

inline constexpr wchar_t kMainWindowClass[] = L"TQuillFolder";
inline constexpr wchar_t kMainWindowCaption[] = L"Quillrook Folder 1.X";
inline constexpr wchar_t kInstanceMappingName[] = L"Quillrook Folder";
inline constexpr wchar_t kAddFolderMessageName[] = L"WM_QFADDFOLDER by Quillrook Folder";
// What an upgrade gives a file it had to rename aside because another program still held it; the
// agent deletes such files in its folder at its start (RemoveRenamedAsideFiles).
inline constexpr wchar_t kRenamedAsideEnding[] = L".qf-old";

// Settled at start-up: the data folder (ends with "\") and its "Log\" subfolder.
extern std::wstring ConfigurationFolder;
// The folder or command given on the command line; empty without arguments.
extern std::wstring CommandLineFolder;
// The registered number of "WM_QFADDFOLDER by Quillrook Folder".
extern UINT WM_QFADDFOLDER;

// The command-line arguments after the program name.
std::vector<std::wstring> CommandLineArguments();

void GetConfigurationFolder();
std::wstring GetCurrentUserDocSettingsPath();
std::wstring AdvCheck(const std::wstring& valueName);
void EraseSettings();
void RemoveRenamedAsideFiles();
// The main window's first step: a replace of the favourites store that was cut short undone, and
// the settings loaded, or set up as on the first run when the settings key is missing.
void LoadStoreAndSettings();
// The main window's last step: the elevation task kept current and the logs closed.
void FinishAgent();

// The folder a second start passed in WM_QFADDFOLDER's global atom: the atom's name when it names
// a folder, and the atom then deleted. Any other atom (another program's, a forged message's) is
// left as it is, with a log line a second at most.
std::optional<std::wstring> TakePassedFolder(WPARAM atom);

// Runs the whole main routine; returns the process exit code.
int AgentMain(HINSTANCE instance);
