// The shell extension library's module-wide state: its own module handle, the count of live
// objects and server locks that DllCanUnloadNow answers from, and its context-menu handler's
// class id. Explorer may call in from any of its apartment threads.
#pragma once

#include <windows.h>

namespace shellext {

// {4339DE8C-A2D8-44FE-AEC6-EE2DB8F9381F}: the context-menu handler, ours alone.
inline constexpr CLSID kContextMenuClsid = {
    0x4339de8c, 0xa2d8, 0x44fe, {0xae, 0xc6, 0xee, 0x2d, 0xb8, 0xf9, 0x38, 0x1f}};
inline constexpr wchar_t kContextMenuClsidText[] = L"{4339DE8C-A2D8-44FE-AEC6-EE2DB8F9381F}";

// Per-user registration, so that registering needs no administrator: the class under
// HKCU\Software\Classes\CLSID and the handler under the folders' context-menu handlers.
inline constexpr wchar_t kClassesKey[] = L"Software\\Classes";
inline constexpr wchar_t kClsidKey[] = L"Software\\Classes\\CLSID\\{4339DE8C-A2D8-44FE-AEC6-EE2DB8F9381F}";
inline constexpr wchar_t kHandlersKey[] = L"Software\\Classes\\Directory\\shellex\\ContextMenuHandlers";
inline constexpr wchar_t kHandlerName[] = L"QuillrookFolder";

// Every object and every IClassFactory::LockServer(TRUE) holds the module.
void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;

}  // namespace shellext
