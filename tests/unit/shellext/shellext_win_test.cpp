#include "shellext/shellext.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "../test_registry.h"
#include "../test_resources.h"
#include "win/com.h"
#include "win/handles.h"

namespace {

using TEntry = HRESULT(STDAPICALLTYPE*)();
using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);


std::wstring DefaultValue(const std::wstring& path) {
  const auto pairs = testreg::Strings(HKEY_CURRENT_USER, path);
  for (const auto& [name, text] : pairs)
    if (name.empty()) return text;
  return {};
}

std::wstring StringValue(const std::wstring& path, const std::wstring& wanted) {
  for (const auto& [name, text] : testreg::Strings(HKEY_CURRENT_USER, path))
    if (name == wanted) return text;
  return {};
}

// The real shellext.dll, loaded as a process of the shell would load it; its per-user keys start
// absent and are put back as they were afterwards.
class ShellExtension : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testres::BesideTests(L"shellext.dll");
    module_.reset(::LoadLibraryW(path_.c_str()));
    ASSERT_TRUE(module_) << "shellext.dll must be built beside the tests";
    wchar_t loaded[MAX_PATH] = {};
    ::GetModuleFileNameW(module_.get(), loaded, MAX_PATH);
    path_ = loaded;
  }

  win::TComApartment apartment_;
  testreg::TKeyStash clsid_{HKEY_CURRENT_USER, shellext::kClsidKey};
  testreg::TKeyStash handler_{HKEY_CURRENT_USER,
                              std::wstring(shellext::kHandlersKey) + L"\\" + shellext::kHandlerName};
  std::wstring path_;
  win::TModuleHandle module_;
};

TEST_F(ShellExtension, RegistersTheHandlerPerUserAndUnregistersIt) {
  const auto registerServer = win::ProcAddress<TEntry>(module_.get(), "DllRegisterServer");
  const auto unregisterServer = win::ProcAddress<TEntry>(module_.get(), "DllUnregisterServer");
  ASSERT_TRUE(registerServer && unregisterServer);

  ASSERT_EQ(registerServer(), S_OK);
  const std::wstring server = std::wstring(shellext::kClsidKey) + L"\\InprocServer32";
  const std::wstring handler = std::wstring(shellext::kHandlersKey) + L"\\" + shellext::kHandlerName;
  EXPECT_TRUE(::CompareStringOrdinal(DefaultValue(server).c_str(), -1, path_.c_str(), -1, TRUE) == CSTR_EQUAL)
      << DefaultValue(server);
  EXPECT_EQ(StringValue(server, L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(DefaultValue(handler), shellext::kContextMenuClsidText);
  EXPECT_FALSE(DefaultValue(shellext::kClsidKey).empty());
  // Registering twice is the same registration.
  EXPECT_EQ(registerServer(), S_OK);

  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_FALSE(testreg::Open(HKEY_CURRENT_USER, shellext::kClsidKey));
  EXPECT_FALSE(testreg::Open(HKEY_CURRENT_USER, handler));
  // The shared parent keys of other handlers stay.
  EXPECT_TRUE(testreg::Open(HKEY_CURRENT_USER, shellext::kHandlersKey));
  // Unregistering what is not registered is no failure (regsvr32 /u after a manual clean-up).
  EXPECT_EQ(unregisterServer(), S_OK);
}

TEST_F(ShellExtension, ClassObjectMakesAContextMenuHandlerThatAddsNothingYet) {
  const auto getClassObject = win::ProcAddress<TGetClassObject>(module_.get(), "DllGetClassObject");
  const auto canUnloadNow = win::ProcAddress<TEntry>(module_.get(), "DllCanUnloadNow");
  ASSERT_TRUE(getClassObject && canUnloadNow);
  EXPECT_EQ(canUnloadNow(), S_OK);

  win::TComPtr<IClassFactory> other;
  EXPECT_EQ(getClassObject(CLSID_ShellLink, IID_IClassFactory, other.put_void()), CLASS_E_CLASSNOTAVAILABLE);

  win::TComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(shellext::kContextMenuClsid, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a held class object keeps the module";

  win::TComPtr<IShellExtInit> init;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void()), S_OK);
  factory.reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a live handler keeps the module";
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);

  win::TComPtr<IContextMenu> menu;
  ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.put_void()), S_OK);
  win::TMenuHandle popup(::CreatePopupMenu());
  ::AppendMenuW(popup.get(), MF_STRING, 1, L"Open");
  const HRESULT added = menu->QueryContextMenu(popup.get(), 1, 100, 200, CMF_NORMAL);
  EXPECT_TRUE(SUCCEEDED(added));
  EXPECT_EQ(HRESULT_CODE(added), 0);
  EXPECT_EQ(::GetMenuItemCount(popup.get()), 1);

  win::TComPtr<IUnknown> unknown;
  EXPECT_EQ(menu->QueryInterface(IID_IDataObject, unknown.put_void()), E_NOINTERFACE);
  init.reset();
  menu.reset();
  EXPECT_EQ(canUnloadNow(), S_OK) << "every reference is gone";
}

}  // namespace
