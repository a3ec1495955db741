#include "dialogs/editor_dialog.h"

#include "diagnostics/guarded.h"
#include "dialogs/list_editing.h"
#include "menu/favourites_rules.h"
#include "menu/select_folder.h"
#include "resource.h"
#include "win/display_scale.h"
#include "win/files.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kDialogProc[] = L"Ed.DialogProc";

// The icon list offers image indices 0 to 12.
constexpr int kEditorIcons = 13;
constexpr int kIconItemAir = 2;  // above and below an image in the icon list
constexpr wchar_t kInformation[] = L"Information";

}  // namespace

TEditorResult TEd::Show(HWND owner, const TEditorRequest& request, TApply apply) {
  request_ = request;
  apply_ = std::move(apply);
  const INT_PTR result = ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_EDITOR), owner,
                                           DialogThunk<TEd, kDialogProc>, reinterpret_cast<LPARAM>(this));
  if (result == IDOK) return TEditorResult::Ok;
  return result == IDC_ED_CANCEL ? TEditorResult::Cancel : TEditorResult::Closed;
}

INT_PTR TEd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          OnOk();
          return TRUE;
        case IDC_ED_CANCEL:
          ::EndDialog(dialog_, IDC_ED_CANCEL);
          return TRUE;
        case IDCANCEL:
          // Escape: the editor has no cancel button.
          return TRUE;
        case IDC_ED_BROWSE:
          OnBrowse();
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      ::EndDialog(dialog_, IDCLOSE);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      // The read-only path box is drawn in the inactive border's colour.
      if (reinterpret_cast<HWND>(lParam) == ::GetDlgItem(dialog_, IDC_ED_UPPER) && !request_.filterMode) {
        ::SetBkColor(reinterpret_cast<HDC>(wParam), win::LookColour(win::CurrentLook(), COLOR_INACTIVEBORDER));
        return reinterpret_cast<INT_PTR>(win::LookBrush(win::CurrentLook(), COLOR_INACTIVEBORDER));
      }
      return FALSE;
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item.CtlID != IDC_ED_ICON) return FALSE;
      item.itemHeight = static_cast<UINT>(ImageSize() + 2 * kIconItemAir);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID != IDC_ED_ICON) return FALSE;
      const bool selected = (item.itemState & ODS_SELECTED) != 0;
      ::FillRect(item.hDC, &item.rcItem, win::LookBrush(win::CurrentLook(), selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
      if (item.itemID != static_cast<UINT>(-1))
        ImageList_Draw(*images_, static_cast<int>(item.itemID), item.hDC, item.rcItem.left + kIconItemAir,
                       item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - ImageSize()) / 2, ILD_TRANSPARENT);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void TEd::OnInitDialog() {
  const bool folders = !request_.filterMode;
  ::SetDlgItemTextW(dialog_, IDC_ED_UPPERLABEL, folders ? L"Path" : L"Name");
  ::SetDlgItemTextW(dialog_, IDC_ED_LOWERLABEL, folders ? L"Title" : L"Mask");
  ::SendDlgItemMessageW(dialog_, IDC_ED_UPPER, EM_SETREADONLY, folders ? TRUE : FALSE, 0);
  if (folders) {
    const HWND menu = ::GetDlgItem(dialog_, IDC_ED_MENU);
    ::SendMessageW(menu, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"None"));
    for (const auto& title : request_.submenus)
      ::SendMessageW(menu, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title.c_str()));
    ::SendMessageW(menu, CB_SETCURSEL, static_cast<WPARAM>(request_.parent), 0);
    ::EnableWindow(menu, request_.parentEnabled);
    const HWND icons = ::GetDlgItem(dialog_, IDC_ED_ICON);
    for (int i = 0; i < kEditorIcons; ++i) ::SendMessageW(icons, CB_ADDSTRING, 0, static_cast<LPARAM>(i));
    ::SendMessageW(icons, CB_SETCURSEL,
                   static_cast<WPARAM>(request_.image >= 0 && request_.image < kEditorIcons ? request_.image : 0), 0);
    ::SetDlgItemTextW(dialog_, IDC_ED_UPPER, request_.path.c_str());
    ::SetDlgItemTextW(dialog_, IDC_ED_LOWER, request_.title.c_str());
    ::EnableWindow(::GetDlgItem(dialog_, IDC_ED_BROWSE), !text::Trim(request_.path).empty());
    const wchar_t* caption = request_.mode == 3 ? L"New submenu" : request_.mode == 2 ? L"New folder" : L"Edit folder";
    ::SetWindowTextW(dialog_, caption);
  } else {
    ::EnableWindow(::GetDlgItem(dialog_, IDC_ED_BROWSE), FALSE);
    ::SetDlgItemTextW(dialog_, IDC_ED_UPPER, request_.newFilter ? L"" : request_.name.c_str());
    ::SetDlgItemTextW(dialog_, IDC_ED_LOWER, request_.newFilter ? L"" : request_.mask.c_str());
    ::SetWindowTextW(dialog_, request_.newFilter ? L"New filter" : L"Edit Filter");
  }
  PlaceForMode();
  ::SetFocus(::GetDlgItem(dialog_, folders ? IDC_ED_LOWER : IDC_ED_UPPER));
}

void TEd::PlaceForMode() {
  if (!request_.filterMode) return;
  for (int id : {IDC_ED_MENULABEL, IDC_ED_MENU, IDC_ED_ICONLABEL, IDC_ED_ICON})
    ::ShowWindow(::GetDlgItem(dialog_, id), SW_HIDE);
  // The buttons take the place of the hidden row, and the window is as much lower.
  RECT row{0, 57, 0, 90};
  ::MapDialogRect(dialog_, &row);
  const int lift = row.bottom - row.top;
  for (int id : {IDOK, IDC_ED_CANCEL}) {
    const HWND button = ::GetDlgItem(dialog_, id);
    RECT r{};
    ::GetWindowRect(button, &r);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
    ::SetWindowPos(button, nullptr, r.left, r.top - lift, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  RECT window{};
  ::GetWindowRect(dialog_, &window);
  ::SetWindowPos(dialog_, nullptr, 0, 0, window.right - window.left, window.bottom - window.top - lift,
                 SWP_NOMOVE | SWP_NOZORDER);
}

std::wstring TEd::Text(int id) const { return ItemText(dialog_, id); }

void TEd::OnOk() {
  TEditorAnswer answer{Text(IDC_ED_UPPER), Text(IDC_ED_LOWER), 0, 0};
  if (!request_.filterMode) {
    answer.parent = static_cast<int>(::SendDlgItemMessageW(dialog_, IDC_ED_MENU, CB_GETCURSEL, 0, 0));
    answer.image = static_cast<int>(::SendDlgItemMessageW(dialog_, IDC_ED_ICON, CB_GETCURSEL, 0, 0));
    if (answer.parent < 0) answer.parent = 0;
    if (answer.image < 0) answer.image = 0;
  }
  const std::wstring verdict = apply_ ? apply_(answer) : std::wstring();
  if (verdict.empty()) {
    ::EndDialog(dialog_, IDOK);
  } else if (verdict != kNoAnswer) {
    ::MessageBoxW(dialog_, verdict.c_str(), kInformation, MB_OK | MB_ICONINFORMATION);
  }
}

void TEd::OnBrowse() {
  const std::wstring folder = SelectFolder(dialog_, std::wstring());
  if (!folder.empty() && DirectoryExists(folder)) ::SetDlgItemTextW(dialog_, IDC_ED_UPPER, folder.c_str());
}

int TEd::ImageSize() const {
  const int size = images_ != nullptr ? win::IconListSize(*images_) : 0;
  return size > 0 ? size : 16;
}
