// Whether the program's folder is protected from the unelevated user, as it must be before the
// agent may start itself elevated: a copy in a folder the user can write (a per-user or portable
// install) could be changed by any program of the user into code that the elevated start runs.
// Main thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "startup/program_folder_rules.h"

// The rights `userToken` (an impersonation or identification token) has to `folder`'s files, to
// the folder itself and to every folder above it, in that order; `folder` has no trailing "\".
std::vector<programfolder::TPathAccess> ReadFolderAccess(HANDLE userToken, const std::wstring& folder);
// The user's unelevated token: the linked token of an elevated process, the process's own token
// otherwise; null when neither can be had.
HANDLE UnelevatedUserToken();
// Why the unelevated user could change what the program runs, or none when its folder is
// protected. Read once for the process.
std::optional<std::wstring> ProgramFolderExposure();
// The test build of the unelevated agent states the answer for a folder Wine cannot protect.
void PresetProgramFolderExposureForTests(std::optional<std::wstring> exposure);
