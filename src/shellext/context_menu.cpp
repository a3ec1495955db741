#include "shellext/context_menu.h"

#include <memory>

#include "shellext/shellext.h"

namespace shellext {

TContextMenuHandler::TContextMenuHandler() noexcept { ModuleAddRef(); }

TContextMenuHandler::~TContextMenuHandler() { ModuleRelease(); }

HRESULT TContextMenuHandler::Create(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  std::unique_ptr<TContextMenuHandler> handler;
  try {
    handler = std::make_unique<TContextMenuHandler>();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  // From here COM's count owns the object: the creation reference is dropped after the query,
  // which leaves exactly the caller's, or none (and the object gone) when the query failed.
  TContextMenuHandler* raw = handler.release();
  const HRESULT result = raw->QueryInterface(iid, object);
  raw->Release();
  return result;
}

HRESULT TContextMenuHandler::QueryInterface(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit)) {
    *object = static_cast<IShellExtInit*>(this);
  } else if (IsEqualIID(iid, IID_IContextMenu)) {
    *object = static_cast<IContextMenu*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TContextMenuHandler::AddRef() noexcept { return ++references_; }

ULONG TContextMenuHandler::Release() noexcept {
  const ULONG left = --references_;
  // The last reference owns the object.
  if (left == 0) std::unique_ptr<TContextMenuHandler> last(this);
  return left;
}

HRESULT TContextMenuHandler::Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) noexcept { return S_OK; }

HRESULT TContextMenuHandler::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) noexcept {
  // The code of a successful answer carries the number of commands added: none so far.
  return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
}

HRESULT TContextMenuHandler::InvokeCommand(CMINVOKECOMMANDINFO*) noexcept { return E_INVALIDARG; }

HRESULT TContextMenuHandler::GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) noexcept { return E_INVALIDARG; }

HRESULT TClassFactory::QueryInterface(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TClassFactory::AddRef() noexcept {
  ModuleAddRef();
  return 2;
}

ULONG TClassFactory::Release() noexcept {
  ModuleRelease();
  return 1;
}

HRESULT TClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return TContextMenuHandler::Create(iid, object);
}

HRESULT TClassFactory::LockServer(BOOL lock) noexcept {
  if (lock)
    ModuleAddRef();
  else
    ModuleRelease();
  return S_OK;
}

}  // namespace shellext
