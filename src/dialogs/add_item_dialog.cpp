#include "dialogs/add_item_dialog.h"

#include <exception>

#include "dialogs/dialog_base.h"
#include "resource.h"
#include "diagnostics/guarded.h"

namespace {

constexpr wchar_t kDialogProc[] = L"TfmAddItem.DialogProc";

}  // namespace

bool TfmAddItem::Show(HWND owner, const std::wstring& suggested) {
  name_.clear();
  suggested_ = suggested;
  const INT_PTR result = ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_ADDITEM), owner,
                                           DialogThunk<TfmAddItem, kDialogProc>, reinterpret_cast<LPARAM>(this));
  if (result == -1) {
    CommonLogErrorEvent(L"TfmAddItem.Show", L"DialogBoxParam fail", L"", ::GetLastError(), false);
    return false;
  }
  return result == IDOK;
}

INT_PTR TfmAddItem::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // focus to the first tab stop: the name box
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_ADDITEM_NAME:
          if (HIWORD(wParam) == EN_CHANGE) OnNameChange();
          return TRUE;
        case IDOK:
          OnOk();
          return TRUE;
        case IDCANCEL:
          OnCancel();
          return TRUE;
        default:
          return FALSE;
      }
    case WM_NCDESTROY:
      dialog_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void TfmAddItem::OnInitDialog() {
  SetChecked(dialog_, IDC_ADDITEM_ALWAYS, alwaysShowChecked_);
  // Setting the text sends EN_CHANGE, which sets the OK button for the suggested name.
  ::SetDlgItemTextW(dialog_, IDC_ADDITEM_NAME, suggested_.c_str());
  OnNameChange();
  ::SendDlgItemMessageW(dialog_, IDC_ADDITEM_NAME, EM_SETSEL, 0, -1);
}

void TfmAddItem::OnNameChange() {
  const bool named = ::GetWindowTextLengthW(::GetDlgItem(dialog_, IDC_ADDITEM_NAME)) > 0;
  ::EnableWindow(::GetDlgItem(dialog_, IDOK), named ? TRUE : FALSE);
}

void TfmAddItem::KeepCheckBox() { alwaysShowChecked_ = IsChecked(dialog_, IDC_ADDITEM_ALWAYS); }

void TfmAddItem::OnOk() {
  // Enter in the name box presses OK even while it is disabled: an empty name is no answer.
  if (::GetWindowTextLengthW(::GetDlgItem(dialog_, IDC_ADDITEM_NAME)) == 0) return;
  KeepCheckBox();
  name_ = ItemText(dialog_, IDC_ADDITEM_NAME);
  alwaysAddDialog_ = alwaysShowChecked_;
  ::EndDialog(dialog_, IDOK);
}

void TfmAddItem::OnCancel() {
  KeepCheckBox();
  ::EndDialog(dialog_, IDCANCEL);
}
