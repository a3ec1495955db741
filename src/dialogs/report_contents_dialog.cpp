#include "dialogs/report_contents_dialog.h"

#include "diagnostics/report_rules.h"
#include "resource.h"
#include "win/files.h"

namespace {

// Shown from the error dialog: a failure here is logged only, as the error dialog's are.
constexpr wchar_t kDialogProc[] = L"ReportContents.DialogProc";
// A packed file is at most this large (TZip::kLargestFile), and so is what is shown of one.
constexpr std::size_t kShownBytes = 500000;

}  // namespace

void TReportContents::Show(HWND owner, const TBugReport& report) {
  report_ = &report;
  ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_REPORTCONTENTS), owner,
                    DialogThunk<TReportContents, kDialogProc, TDialogFailures::LoggedOnly>,
                    reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  report_ = nullptr;
}

INT_PTR TReportContents::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG: {
      const HWND files = ::GetDlgItem(dialog_, IDC_RC_FILES);
      for (const TReportFile& file : report_->files)
        ::SendMessageW(files, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(file.entry.c_str()));
      ::SendDlgItemMessageW(dialog_, IDC_RC_TEXT, EM_SETLIMITTEXT, kShownBytes * 2, 0);
      ::SendMessageW(files, LB_SETCURSEL, 0, 0);
      ShowSelected();
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_RC_FILES && HIWORD(wParam) == LBN_SELCHANGE) {
        ShowSelected();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        ::EndDialog(dialog_, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void TReportContents::ShowSelected() {
  // The list box keeps the report's order (no LBS_SORT), so its index is the file's.
  const LRESULT chosen = ::SendDlgItemMessageW(dialog_, IDC_RC_FILES, LB_GETCURSEL, 0, 0);
  const std::wstring text =
      chosen >= 0 && static_cast<std::size_t>(chosen) < report_->files.size()
          ? reportrules::ShownText(ReadFileBytes(report_->files[static_cast<std::size_t>(chosen)].path, kShownBytes))
          : std::wstring();
  ::SetDlgItemTextW(dialog_, IDC_RC_TEXT, text.c_str());
}
