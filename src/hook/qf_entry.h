// How the agent loads qf.dll: the library's name and the types of its exports. Beside qf.h,
// which declares the exports themselves (and checks them against these types), so the agent can
// use the types without the declarations, whose names its own wrappers take. Main thread.
#pragma once

#include <windows.h>

#include "hook/hook_contract.h"

namespace hook {

inline constexpr wchar_t kLibraryName[] = L"qf.dll";
using TSetHook = THookShare*(WINAPI*)(DWORD agentThreadId, DWORD reserved, DWORD mouseWheel, DWORD unusedFlag,
                                      DWORD help, DWORD rExplorer, DWORD mExplorer, DWORD mIExplorer, DWORD mDesktop,
                                      DWORD mouseMButton) noexcept;
using TRemoveHook = BOOL(WINAPI*)() noexcept;
using TDialogListFn = TDialogList*(WINAPI*)() noexcept;

}  // namespace hook
