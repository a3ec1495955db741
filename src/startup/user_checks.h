// Checks of the system, the process token and the user's groups that decide how the agent
// starts. Each cached check is computed once per process. Main thread (the caches are not locked).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

bool IsElevated();
bool IsUAC();
// IsUAC's answer for an administrator whose token is of `tokenType` (none: it could not be
// read): a split token, or else the machine's "EnableLUA" switch.
bool UacInForce(std::optional<TOKEN_ELEVATION_TYPE> tokenType);
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
// The FileVersion text of a program's version resource, in the first language it lists; empty
// without one. GetProgramVersion: the running program's, read once.
std::wstring FileVersion(const std::wstring& program);
std::wstring GetProgramVersion();

// Test only: fixes the answers of IsUAC, IsElevated and IsAdminUser (and IsRealUserAdmin) for
// the process, as a test program that plays an administrator's unelevated agent needs them.
void PresetUserChecksForTests(bool uac, bool elevated, bool admin);
