// shellext.dll: the entry points the system and regsvr32 call. Registration writes the
// per-user keys of the context-menu handler; the class object makes handlers.
#include "shellext/shellext.h"

#include <olectl.h>
#include <shlobj.h>

#include <atomic>
#include <string>

#include "shellext/context_menu.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/registry.h"

namespace shellext {
namespace {

HINSTANCE Module = nullptr;
std::atomic<long> ModuleReferences{0};
TClassFactory Factory;

constexpr wchar_t kHandlerDescription[] = L"Quillrook Folder context menu";
constexpr wchar_t kThreadingModel[] = L"Apartment";

std::wstring ModulePath() { return ModuleFileName(Module); }

// Creates `subKey` under HKCU and sets a string value (`name` null: the default value).
LSTATUS WriteString(const std::wstring& subKey, const wchar_t* name, const std::wstring& text) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, subKey, KEY_SET_VALUE, &status);
  if (!key) return status;
  return win::WriteString(key.get(), name != nullptr ? name : L"", text);
}

// Removes a key with everything under it; one that is not there is already removed.
LSTATUS DeleteTree(const wchar_t* parent, const wchar_t* name) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, parent, KEY_READ | KEY_WRITE | DELETE, &status);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (!key) return status;
  status = ::RegDeleteTreeW(key.get(), name);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

HRESULT Unregister() {
  const LSTATUS handler = DeleteTree(kHandlersKey, kHandlerName);
  const LSTATUS clsid = DeleteTree(L"Software\\Classes\\CLSID", kContextMenuClsidText);
  if (handler != ERROR_SUCCESS || clsid != ERROR_SUCCESS) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT Register() {
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  const std::wstring server = std::wstring(kClsidKey) + L"\\InprocServer32";
  const std::wstring handler = std::wstring(kHandlersKey) + L"\\" + kHandlerName;
  if (WriteString(kClsidKey, nullptr, kHandlerDescription) != ERROR_SUCCESS ||
      WriteString(server, nullptr, path) != ERROR_SUCCESS ||
      WriteString(server, L"ThreadingModel", kThreadingModel) != ERROR_SUCCESS ||
      WriteString(handler, nullptr, kContextMenuClsidText) != ERROR_SUCCESS) {
    // Half a registration would make Explorer look for a handler that cannot load.
    Unregister();
    return SELFREG_E_CLASS;
  }
  // Explorer caches the handlers of each file class: tell it they changed.
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return S_OK;
}

}  // namespace

void ModuleAddRef() noexcept { ++ModuleReferences; }
void ModuleRelease() noexcept { --ModuleReferences; }

}  // namespace shellext

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    shellext::Module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// The exported entry points are C callbacks: each is an exception boundary.
STDAPI DllRegisterServer() {
  try {
    return shellext::Register();
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return shellext::Unregister();
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, shellext::kContextMenuClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return shellext::Factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return shellext::ModuleReferences.load() == 0 ? S_OK : S_FALSE; }
