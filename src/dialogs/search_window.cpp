#include "dialogs/search_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "diagnostics/logger.h"
#include "navigation/window_front.h"
#include "navigation/window_path.h"
#include "resource.h"
#include "win/display_scale.h"
#include "win/handles.h"
#include "win/look_rules.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kDialogProc[] = L"QuillSearch.DialogProc";
// The worker's entries have come.
constexpr UINT WM_QFLATERENTRIES = WM_APP + 41;
constexpr UINT_PTR kEditSubclass = 1;
constexpr int kCaptionWidth = 190, kPathWidth = 260, kSourceWidth = 90;

const wchar_t* SourceName(TSearchSource source) {
  switch (source) {
    case TSearchSource::Favourite:
      return L"favourite";
    case TSearchSource::RecentFolder:
      return L"recent folder";
    case TSearchSource::RecentFile:
      return L"recent file";
    case TSearchSource::OpenFolder:
      return L"open folder";
    case TSearchSource::Filter:
      return L"filter";
    case TSearchSource::Folder:
      return L"folder";
  }
  return L"";
}

void AddColumn(HWND list, int index, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = width;
  ListView_InsertColumn(list, index, &column);
}

}  // namespace

struct TQuillSearch::TLater {
  std::mutex lock;
  std::vector<TSearchEntry> entries;
  bool answered = false;
  // The box while it is up, told of the answer.
  HWND window = nullptr;
};

std::optional<TSearchEntry> TQuillSearch::Show(POINT at, const std::wstring& typed, std::vector<TSearchEntry> entries,
                                               const TPickHistory& history, TLaterEntries later) {
  at_ = at;
  typed_ = typed;
  entries_ = std::move(entries);
  index_ = std::make_unique<TSearchIndex>(entries_);
  history_ = &history;
  hits_.clear();
  typedFolder_.reset();
  taken_.reset();
  active_ = false;
  later_ = std::make_shared<TLater>();
  std::thread worker;
  // The worker is waited for before the box's answer goes back, also when the box fails.
  const win::TScopeGuard joined([&worker] {
    if (worker.joinable()) worker.join();
  });
  if (later) {
    worker = std::thread([later = std::move(later), answer = later_]() {
      std::vector<TSearchEntry> read;
      Guarded(L"QuillSearch.Later", [&] { read = later(); });
      const std::lock_guard<std::mutex> hold(answer->lock);
      answer->entries = std::move(read);
      answer->answered = true;
      // A box that is not up yet looks for the answer when it comes up; one that has closed
      // wants none.
      if (answer->window != nullptr) ::PostMessageW(answer->window, WM_QFLATERENTRIES, 0, 0);
    });
  }
  if (::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_SEARCH), nullptr, DialogThunk<TQuillSearch, kDialogProc>,
                        reinterpret_cast<LPARAM>(this)) == -1)
    CommonLogErrorEvent(L"QuillSearch.Show", L"DialogBoxParam fail", L"", ::GetLastError(), false);
  {
    const std::lock_guard<std::mutex> hold(later_->lock);
    later_->window = nullptr;
  }
  dialog_ = nullptr;
  return taken_;
}

LRESULT CALLBACK TQuillSearch::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self) {
  // The keys that move in the list are the list's, while the typing stays in the box.
  if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR || wParam == VK_NEXT)) {
    const HWND list = ::GetDlgItem(reinterpret_cast<TQuillSearch*>(self)->dialog_, IDC_SEARCH_LIST);
    ::SendMessageW(list, WM_KEYDOWN, wParam, lParam);
    return 0;
  }
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(edit, EditProc, kEditSubclass);
  return ::DefSubclassProc(edit, message, wParam, lParam);
}

INT_PTR TQuillSearch::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_SEARCH_TEXT && HIWORD(wParam) == EN_CHANGE) Search();
      if (LOWORD(wParam) == IDOK) Take();
      if (LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog_, IDCANCEL);
      return TRUE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
      ::SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_DPICHANGED:
      // The dialog manager scales the controls and fonts (FALSE lets it); icons and columns
      // are the box's own.
      FollowDpi();
      return FALSE;
    case WM_ACTIVATE:
      // The box goes when the user turns to another window, as a menu does.
      if (LOWORD(wParam) != WA_INACTIVE)
        active_ = true;
      else if (active_)
        ::EndDialog(dialog_, IDCANCEL);
      return FALSE;
    case WM_QFLATERENTRIES: {
      std::vector<TSearchEntry> more;
      {
        const std::lock_guard<std::mutex> hold(later_->lock);
        more.swap(later_->entries);
      }
      if (more.empty()) return TRUE;
      for (TSearchEntry& entry : more) entries_.push_back(std::move(entry));
      index_ = std::make_unique<TSearchIndex>(entries_);
      Search();
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void TQuillSearch::OnInitDialog() {
  const HWND edit = ::GetDlgItem(dialog_, IDC_SEARCH_TEXT);
  const HWND list = ::GetDlgItem(dialog_, IDC_SEARCH_LIST);
  ::SetWindowSubclass(edit, EditProc, kEditSubclass, reinterpret_cast<DWORD_PTR>(this));
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  AddColumn(list, 0, kCaptionWidth);
  AddColumn(list, 1, kPathWidth);
  AddColumn(list, 2, kSourceWidth);
  dpi_ = look::kBaseDpi;
  FollowDpi();

  // At the mouse, inside the work area of the monitor it is on.
  RECT box{};
  ::GetWindowRect(dialog_, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromPoint(at_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int left = std::max<LONG>(work.left, std::min<LONG>(at_.x, work.right - width));
  const int top = std::max<LONG>(work.top, std::min<LONG>(at_.y, work.bottom - height));
  ::SetWindowPos(dialog_, HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE);

  {
    const std::lock_guard<std::mutex> hold(later_->lock);
    later_->window = dialog_;
    if (later_->answered) ::PostMessageW(dialog_, WM_QFLATERENTRIES, 0, 0);
  }
  ::SetWindowTextW(edit, typed_.c_str());
  ::SendMessageW(edit, EM_SETSEL, typed_.size(), typed_.size());
  Search();
  MoveWindowToFront(dialog_);
  ::SetFocus(edit);
}

void TQuillSearch::FollowDpi() {
  // The window's own DPI, not a message's: any program can send one.
  const unsigned dpi = win::DpiOfWindow(dialog_);
  const HWND list = ::GetDlgItem(dialog_, IDC_SEARCH_LIST);
  if (const HIMAGELIST icons = win::ShellIconList(look::ImageSizeFor(dpi)); icons != nullptr)
    ListView_SetImageList(list, icons, LVSIL_SMALL);
  for (int column = 0; column < 3; ++column)
    ListView_SetColumnWidth(list, column, look::Rescaled(ListView_GetColumnWidth(list, column), dpi_, dpi));
  dpi_ = dpi;
}

void TQuillSearch::Search() {
  const std::wstring text = ItemText(dialog_, IDC_SEARCH_TEXT);
  hits_ = index_->Rank(text, *history_, kMostRows);
  typedFolder_.reset();
  if (LooksLikeFullPath(text)) {
    const std::wstring path = text::Trim(text);
    if (TextNamesFolder(path)) typedFolder_ = TSearchEntry{path, path, TSearchSource::Folder};
  }
  const HWND list = ::GetDlgItem(dialog_, IDC_SEARCH_LIST);
  const int rows = static_cast<int>(hits_.size()) + (typedFolder_ ? 1 : 0);
  ListView_SetItemCountEx(list, rows, 0);
  if (rows > 0) {
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, 0, FALSE);
  }
  ::InvalidateRect(list, nullptr, TRUE);
}

const TSearchEntry* TQuillSearch::Row(int row) const {
  if (row < 0) return nullptr;
  if (typedFolder_) {
    if (row == 0) return &*typedFolder_;
    --row;
  }
  if (static_cast<std::size_t>(row) >= hits_.size()) return nullptr;
  return &index_->Entries()[hits_[static_cast<std::size_t>(row)].entry];
}

int TQuillSearch::IconOf(const TSearchEntry& entry) const {
  if (entry.source == TSearchSource::Filter) return -1;
  // By the name alone: no file is opened, and a share is not asked.
  const bool file = entry.source == TSearchSource::RecentFile;
  SHFILEINFOW info{};
  if (!::SHGetFileInfoW(file ? entry.path.c_str() : L"folder", file ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DIRECTORY,
                        &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES))
    return -1;
  return info.iIcon;
}

bool TQuillSearch::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom != IDC_SEARCH_LIST) return false;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
      const TSearchEntry* entry = Row(item.iItem);
      if (entry == nullptr) return true;
      if (item.mask & LVIF_TEXT) {
        const std::wstring& text =
            item.iSubItem == 0 ? entry->caption : (item.iSubItem == 1 ? entry->path : std::wstring());
        const wchar_t* shown = item.iSubItem == 2 ? SourceName(entry->source) : text.c_str();
        ::lstrcpynW(item.pszText, shown, item.cchTextMax);
      }
      if (item.mask & LVIF_IMAGE) item.iImage = IconOf(*entry);
      return true;
    }
    case NM_CUSTOMDRAW: {
      // The path and the source greyed after the caption.
      auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
      if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
      } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        result = CDRF_NOTIFYSUBITEMDRAW;
      } else if (draw.nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
        const bool selected =
            ListView_GetItemState(header.hwndFrom, static_cast<int>(draw.nmcd.dwItemSpec), LVIS_SELECTED) != 0;
        if (draw.iSubItem > 0 && !selected) draw.clrText = win::LookColour(win::CurrentLook(), COLOR_GRAYTEXT);
        result = CDRF_DODEFAULT;
      }
      return true;
    }
    case NM_DBLCLK:
      Take();
      return true;
    default:
      return false;
  }
}

void TQuillSearch::Take() {
  const HWND list = ::GetDlgItem(dialog_, IDC_SEARCH_LIST);
  if (const TSearchEntry* entry = Row(ListView_GetNextItem(list, -1, LVNI_SELECTED))) {
    taken_ = *entry;
    ::EndDialog(dialog_, IDOK);
  }
}
