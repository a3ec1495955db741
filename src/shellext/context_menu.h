// The Explorer context-menu handler for folders, and the class factory that makes it. It
// implements what Explorer asks of such a handler (IShellExtInit, IContextMenu) and adds no
// items yet. Each object lives on the apartment thread that made it; its count is atomic anyway.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <atomic>

namespace shellext {

class TContextMenuHandler final : public IShellExtInit, public IContextMenu {
 public:
  // Makes a handler and asks it for `iid`; the caller's reference is the only one.
  static HRESULT Create(REFIID iid, void** object) noexcept;

  // Made through Create; the object then lives as long as its COM references.
  TContextMenuHandler() noexcept;
  TContextMenuHandler(const TContextMenuHandler&) = delete;
  TContextMenuHandler& operator=(const TContextMenuHandler&) = delete;
  ~TContextMenuHandler();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) noexcept override;
  STDMETHODIMP_(ULONG) AddRef() noexcept override;
  STDMETHODIMP_(ULONG) Release() noexcept override;
  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) noexcept override;
  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT lastCommand,
                                UINT flags) noexcept override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
  STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* name,
                                UINT size) noexcept override;

 private:
  std::atomic<ULONG> references_{1};
};

// One factory for the life of the module: its references are the module's own.
class TClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) noexcept override;
  STDMETHODIMP_(ULONG) AddRef() noexcept override;
  STDMETHODIMP_(ULONG) Release() noexcept override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
  STDMETHODIMP LockServer(BOOL lock) noexcept override;
};

}  // namespace shellext
