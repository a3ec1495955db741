#include "menu/select_folder.h"

#include <shlobj.h>

#include "diagnostics/guarded.h"
#include "win/com.h"
#include "win/handles.h"

namespace {

// The dialog's edit box: a direct child of class "Edit" in the new-style dialog.
HWND EditBox(HWND dialog) { return ::FindWindowExW(dialog, nullptr, L"Edit", nullptr); }

void SetEditText(HWND dialog, const wchar_t* text) {
  if (const HWND edit = EditBox(dialog)) ::SetWindowTextW(edit, text);
}

}  // namespace

// A C callback: nothing in it can throw, and it must stay so.
int CALLBACK CallbackProc(HWND dialog, UINT message, LPARAM param, LPARAM data) {
  switch (message) {
    case BFFM_INITIALIZED: {
      const auto* initial = reinterpret_cast<const wchar_t*>(data);
      if (initial != nullptr && initial[0] != L'\0') {
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial));
        SetEditText(dialog, initial);
        // Wine's dialog, on its first showing in a process, selects its first folder once more
        // after this notification; asking again through the queue comes after that. The string
        // lives in SelectFolder's frame for as long as the dialog does.
        ::PostMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial));
      }
      break;
    }
    case BFFM_SELCHANGED: {
      wchar_t path[MAX_PATH] = {};
      const auto* item = reinterpret_cast<PCIDLIST_ABSOLUTE>(param);
      // Virtual items (the computer, the network) have no path: the box then shows nothing.
      if (item == nullptr || !::SHGetPathFromIDListW(item, path)) path[0] = L'\0';
      SetEditText(dialog, path);
      break;
    }
    default:
      break;
  }
  return 0;
}

namespace {

std::wstring SelectFolderUnguarded(HWND owner, const std::wstring& initial) {
  // The new-style dialog hosts OLE controls (drag and drop, the edit box's autocompletion).
  win::TComApartment apartment;
  win::TOleInitialization ole;
  win::TCoTaskMem<wchar_t> displayName(static_cast<wchar_t*>(::CoTaskMemAlloc(MAX_PATH * sizeof(wchar_t))));
  if (!displayName) return {};
  displayName.get()[0] = L'\0';

  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName.get();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = CallbackProc;
  info.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
  win::TCoTaskMem<ITEMIDLIST> chosen(::SHBrowseForFolderW(&info));
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(chosen.get(), path)) return {};
  return path;
}

}  // namespace

std::wstring SelectFolder(HWND owner, const std::wstring& initial) {
  std::wstring chosen;
  Guarded(L"SelectFolder", [&] { chosen = SelectFolderUnguarded(owner, initial); });
  return chosen;
}
