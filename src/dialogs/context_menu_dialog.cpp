#include "dialogs/context_menu_dialog.h"

#include "diagnostics/guarded.h"
#include "resource.h"

namespace {

constexpr int kBoxes[] = {IDC_CM_MAIN, IDC_CM_ADDDEL, IDC_CM_NEW};
constexpr wchar_t kDialogProc[] = L"SettContextMenu.DialogProc";

}  // namespace

bool TSettContextMenu::Show(HWND owner, TContextMenuItems& items) {
  items_ = &items;
  return ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_CONTEXTMENU), owner,
                           DialogThunk<TSettContextMenu, kDialogProc>, reinterpret_cast<LPARAM>(this)) == IDOK;
}

INT_PTR TSettContextMenu::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  std::optional<bool>* stored[] = {&items_->mainMenu, &items_->addRemove, &items_->newWindow};
  switch (message) {
    case WM_INITDIALOG: {
      for (int i = 0; i < 3; ++i) {
        if (stored[i]->has_value()) checked_[i] = **stored[i];
        SetChecked(dialog_, kBoxes[i], checked_[i]);
      }
      // Centred on the owner.
      RECT owner{}, own{};
      const HWND parent = ::GetWindow(dialog_, GW_OWNER);
      ::GetWindowRect(parent != nullptr ? parent : ::GetDesktopWindow(), &owner);
      ::GetWindowRect(dialog_, &own);
      ::SetWindowPos(dialog_, nullptr, (owner.left + owner.right - (own.right - own.left)) / 2,
                     (owner.top + owner.bottom - (own.bottom - own.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        for (int i = 0; i < 3; ++i) {
          checked_[i] = IsChecked(dialog_, kBoxes[i]);
          *stored[i] = checked_[i];
        }
        ::EndDialog(dialog_, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog_, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
