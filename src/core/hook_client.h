// The agent's side of qf.dll: the registered hook messages and installing/removing the hook.
// Main thread only.
#pragma once

#include <windows.h>

#include <array>
#include <vector>

#include "hook/hook_contract.h"
#include "settings/own_dialogs.h"
#include "settings/settings_values.h"

// The registered numbers of the twelve hook messages, filled by CommonInit.
extern std::array<UINT, static_cast<int>(hook::THookMessage::Count)> HookMessages;
inline UINT HookMessageId(hook::THookMessage m) { return HookMessages[static_cast<int>(m)]; }

// The registered number of the hook's wake message, filled by CommonInit.
extern UINT WakeMessage;

// Registers the hook messages.
void CommonInit();

// Loads qf.dll from the program's folder (once; it stays loaded, since the record and the
// library's keep-alive timer procedure live in it) and installs the hook with the current
// settings; the keep-alive runs on the calling thread, which must dispatch its messages.
// Before that the hooks' list of the user's own dialogs is filled from `ownDialogs`.
// Returns the shared record, or null when the library or its hook cannot be had.
hook::THookShare* SetHook(DWORD agentThreadId, const TSettingsValues& settings,
                          const std::vector<TOwnDialog>& ownDialogs);
void RemoveHook();
