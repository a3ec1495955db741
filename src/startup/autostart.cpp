#include "startup/autostart.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "diagnostics/logger.h"
#include "win/files.h"
#include "win/registry.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kShellExtension[] = L"shellext.dll";
// Started from the system folder by its full path, never found through the search path, where a
// program of the user's could stand in for it.
constexpr wchar_t kRegsvr32[] = L"regsvr32.exe";

}  // namespace

bool AutostartRegistered() {
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kRunKey, KEY_QUERY_VALUE);
  return win::ValueExists(key.get(), kRunValue);
}

bool SetAutostart(bool on) {
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kRunKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (!key) return false;
  const LSTATUS status =
      on ? win::WriteString(key.get(), kRunValue, ProgramPath()) : ::RegDeleteValueW(key.get(), kRunValue);
  return status == ERROR_SUCCESS || (!on && status == ERROR_FILE_NOT_FOUND);
}

void RegisterShellExtension(bool on) {
  const std::wstring parameters =
      std::wstring(on ? L"/s" : L"/s /u") + L" \"" + ProgramFolder() + kShellExtension + L"\"";
  const std::wstring program = SystemProgram(kRegsvr32);
  if (program.empty()) {
    CommonLogErrorEvent(L"QuillFolder.RegisterShellExtension", L"No system folder", parameters, ::GetLastError(),
                        false);
    return;
  }
  const auto started = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, nullptr, program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
  // ShellExecute reports success as a value above 32.
  if (started <= 32)
    CommonLogErrorEvent(L"QuillFolder.RegisterShellExtension", L"Can't start Regsvr32", parameters, ::GetLastError(),
                        false);
}
