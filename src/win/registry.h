// Reading registry values of the shapes the agent stores. Any thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); none when the value is missing or
// of another type.
std::optional<std::wstring> ReadRegistryString(HKEY key, const wchar_t* name);
