// Checks of the system, the process token and the user's groups that decide how the agent
// starts. Each cached check is computed once per process. Main thread (the caches are not locked).
#pragma once

#include <string>

bool IsElevated();
bool IsUAC();
bool IsMemberOfGroup(unsigned long relativeId);
bool IsWindowsAdmin();
bool IsAdminUser();
bool IsPowerUserLoggedOn();
bool IsPowerUser();
bool IsRealUserAdmin();
bool IsWow64();
// The user's security identifier as text ("S-1-5-21-..."), or empty.
std::wstring GetAccountSID(const std::wstring& userName);
// GetUserNameW and GetComputerNameW with 260-character buffers; empty on failure.
std::wstring CurrentUserName();
std::wstring CurrentComputerName();
