// The exports of qf.dll, for the agent (which loads the library from its own folder) and
// for tests. The agent calls them from its main thread only; the library keeps the shared
// record mapped in the caller's process for as long as it stays loaded.
#pragma once

#include <windows.h>

#include <type_traits>

#include "hook/hook_contract.h"
#include "hook/qf_entry.h"

extern "C" {
// Installs the global hooks with the trigger flags (each 0 or 1, mouseWheel 0 to 3) and returns
// the shared record as mapped in the caller's process, or null. A second call re-installs.
hook::THookShare* WINAPI SetHook(DWORD agentThreadId, DWORD reserved, DWORD mouseWheel, DWORD unusedFlag, DWORD help,
                                 DWORD rExplorer, DWORD mExplorer, DWORD mIExplorer, DWORD mDesktop,
                                 DWORD mouseMButton) noexcept;
// Removes the hooks and lets the heartbeat go stale; the record stays mapped.
BOOL WINAPI RemoveHook() noexcept;
// The list of the user's own dialogs the hooks read, mapped for writing in the caller's process
// (made when it is not there yet), or null. The agent fills it before it installs the hooks.
hook::TDialogList* WINAPI DialogList() noexcept;
}

// The agent loads the exports by these types: a change of either side breaks the build.
static_assert(std::is_same_v<decltype(&SetHook), hook::TSetHook>);
static_assert(std::is_same_v<decltype(&RemoveHook), hook::TRemoveHook>);
static_assert(std::is_same_v<decltype(&DialogList), hook::TDialogListFn>);
