// The one way the program opens registry keys and reads and writes their values: owners for
// the keys, the status of every failing call (a registry call reports its error as its result,
// not through GetLastError), and one place every value write passes. Any thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win/handles.h"

namespace win {

// Opens an existing key; empty when it cannot be opened, with the reason in `status`.
TRegKey OpenKey(HKEY root, const std::wstring& path, REGSAM access, LSTATUS* status = nullptr);
// Opens a key, creating it and any missing parent first.
TRegKey CreateKey(HKEY root, const std::wstring& path, REGSAM access, LSTATUS* status = nullptr);

// The 64-bit view of the registry added to `access` when `view64` asks for it (a 32-bit process
// on a 64-bit system otherwise sees the 32-bit view of the machine's software keys).
inline REGSAM WithView(REGSAM access, bool view64) { return view64 ? access | KEY_WOW64_64KEY : access; }

bool ValueExists(HKEY key, const std::wstring& name);

// A REG_DWORD value; none when it is missing or of another type or size. `status` tells which:
// ERROR_FILE_NOT_FOUND for a missing value, ERROR_DATATYPE_MISMATCH for another type or size
// (`type` then says which), the call's own status for any other failure.
std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name, LSTATUS* status = nullptr, DWORD* type = nullptr);

// A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); none when the value is missing or
// of another type. The text ends at the first terminator the data holds. `type` tells which of
// the two it was; `status` why there is none, as ReadDword says it.
std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name, DWORD* type = nullptr, LSTATUS* status = nullptr);

// A REG_BINARY value's bytes; none when the value is missing or of another type (`type` says
// which).
std::optional<std::vector<BYTE>> ReadBinary(HKEY key, const wchar_t* name, DWORD* type = nullptr);

// One value whole: its name, its type and its bytes.
struct TRegValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};
// Every value of the key in enumeration order (creation order on Windows, sorted by name under
// Wine); the status of the first failing call, ERROR_SUCCESS when all were read.
LSTATUS ReadValues(HKEY key, std::vector<TRegValue>& values);
// The names of the key's subkeys in enumeration order; the status of the first failing call,
// ERROR_SUCCESS when all were read. At most `limit` names.
LSTATUS ReadSubkeyNames(HKEY key, std::vector<std::wstring>& names, std::size_t limit);
// A REG_SZ value of that text, its terminator included.
TRegValue StringValue(const std::wstring& name, const std::wstring& text);

LSTATUS WriteValue(HKEY key, const TRegValue& value);
LSTATUS WriteString(HKEY key, const std::wstring& name, const std::wstring& data);
LSTATUS WriteDword(HKEY key, const std::wstring& name, DWORD data);

// Called with every value the program writes, before the write, on the writing thread. Windows
// keeps a key's values in the order they were written, which is the menu's order; Wine sorts
// them by name, so a test that checks that order watches the writes themselves. Null: no one.
using TValueWriteWatch = void (*)(HKEY key, const std::wstring& name);
void WatchValueWrites(TValueWriteWatch watch);

}  // namespace win
