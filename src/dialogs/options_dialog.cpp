#include "dialogs/options_dialog.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "diagnostics/guarded.h"
#include "dialogs/help.h"
#include "dialogs/preference_rules.h"
#include "menu/favourites_store.h"
#include "menu/menu_images.h"
#include "menu/select_folder.h"
#include "navigation/window_details.h"
#include "navigation/window_details_reader.h"
#include "navigation/window_front.h"
#include "resource.h"
#include "settings/settings_registry.h"
#include "startup/autostart.h"
#include "startup/user_checks.h"
#include "win/display_scale.h"
#include "win/files.h"
#include "win/look_rules.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kDialogProc[] = L"Sett.DialogProc";
constexpr wchar_t kPageProc[] = L"Sett.PageProc";

constexpr wchar_t kInformation[] = L"Information";
constexpr wchar_t kConfirm[] = L"Confirm";
constexpr wchar_t kConfirmRemove[] = L"Do you really want to delete this item?";
constexpr const wchar_t* kPageNames[] = {L"Folders",       L"Filters", L"Preferences",
                                         L"Explorer Jump", L"Dialogs", L"About"};
constexpr int kPageTemplates[] = {IDD_PAGE_FOLDERS, IDD_PAGE_FILTERS, IDD_PAGE_PREFERENCES,
                                  IDD_PAGE_JUMP,    IDD_PAGE_DIALOGS, IDD_PAGE_ABOUT};
constexpr const wchar_t* kHelpTopics[] = {L"editfldr.htm", L"addfilter.htm", L"options.htm",
                                          L"jump.htm",     L"dialogs.htm",   L"about.htm"};
static_assert(std::size(kPageNames) == TSett::kPageCount && std::size(kPageTemplates) == TSett::kPageCount &&
              std::size(kHelpTopics) == TSett::kPageCount);
constexpr wchar_t kNoProgramName[] = L"Please enter the file name of a program, such as notepad.exe.";
constexpr int kJumpChoices[] = {IDC_JUMP_AUTO_OFF, IDC_JUMP_AUTO_BACK, IDC_JUMP_AUTO_NEW};
constexpr const wchar_t* kHotKeyModes[] = {L"none", L"Natural Keyboard (Win + )", L"Custom"};
constexpr int kTitleWidth = 152, kPathWidth = 215;
// The hot-key box allows exactly one of Shift, Ctrl and Alt; anything else becomes Ctrl.
constexpr WPARAM kRefusedCombinations = HKCOMB_NONE | HKCOMB_SC | HKCOMB_SA | HKCOMB_CA | HKCOMB_SCA;
constexpr UINT_PTR kNaturalKeySubclass = 1;
// The Dialogs page: its methods as the combo box lists them, its columns, and "Pick a Window...".
constexpr const wchar_t* kOwnDialogMethods[] = {L"edit", L"keys", L"address"};
constexpr const wchar_t* kOwnDialogColumns[] = {L"Name", L"Class", L"Method"};
constexpr int kOwnDialogColumnWidth = 100;
constexpr UINT kWindowPicked = WM_APP + 20;
constexpr UINT_PTR kPickTimer = 20;
constexpr wchar_t kPickCaption[] = L"Pick a Window...";
constexpr wchar_t kPickingCaption[] = L"Click a window...";
constexpr std::pair<int, TOwnDialogField> kOwnDialogBoxes[] = {{IDC_DIALOGS_PROGRAM, TOwnDialogField::Program},
                                                               {IDC_DIALOGS_CLASS, TOwnDialogField::Class},
                                                               {IDC_DIALOGS_TITLE, TOwnDialogField::Title},
                                                               {IDC_DIALOGS_BOX, TOwnDialogField::Box}};

std::wstring MethodShown(const TOwnDialogRow& row) {
  return row.problem.empty() ? row.values.method : L"passed over: " + row.problem;
}

void AddColumn(HWND list, int index, const wchar_t* caption, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(caption);
  column.cx = width;
  ListView_InsertColumn(list, index, &column);
}

void AddRow(HWND list, int row, const std::wstring& caption, const std::wstring& second, int image, int indent) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(caption.c_str());
  item.iImage = image;
  item.iIndent = indent;
  ListView_InsertItem(list, &item);
  ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(second.c_str()));
}

void SelectRow(HWND list, std::optional<int> row) {
  if (!row || *row < 0 || *row >= ListView_GetItemCount(list)) return;
  ListView_SetItemState(list, *row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, *row, FALSE);
}

// The natural key box shows the character of the key pressed in it, whatever it types.
LRESULT CALLBACK NaturalKeyProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  int& pressed = *reinterpret_cast<int*>(data);
  if (message == WM_KEYDOWN) pressed = static_cast<int>(wParam);
  if (message == WM_CHAR) {
    ::SetWindowTextW(box, NaturalKeyText(pressed).c_str());
    return 0;
  }
  return ::DefSubclassProc(box, message, wParam, lParam);
}

// The menus' images as an image list for the list views and the editor's icon list; they keep
// their alpha (premultiplied, as AlphaBlend draws it).
// `size` pixels square.
HIMAGELIST ListImages(HINSTANCE resources, int size) {
  const HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, TMenuImages::kCount, 0);
  TMenuImages menuImages;
  if (list != nullptr && menuImages.Load(resources))
    for (int i = 0; i < TMenuImages::kCount; ++i) ImageList_Add(list, menuImages.Bitmap(i, size), nullptr);
  return list;
}

}  // namespace

TSett::TSett(HINSTANCE resources, TOptionsHost& host, const TSettingsValues& settings)
    : resources_(resources), host_(host), settings_(settings) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                                                     ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  images_ = ListImages(resources, TMenuImages::kSize);
}

TSett::~TSett() {
  if (images_ != nullptr) ImageList_Destroy(images_);
}

void TSett::Show(int page) {
  if (dialog_ != nullptr) {
    // Asked for again while it is up: in front, on the page asked for this time.
    ::ShowWindow(dialog_, SW_RESTORE);
    TabCtrl_SetCurSel(::GetDlgItem(dialog_, IDC_OPTIONS_TABS), page);
    ShowPage(page);
    MoveWindowToFront(dialog_);
    return;
  }
  initialPage_ = page;
  if (::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_OPTIONS), nullptr, DialogThunk<TSett, kDialogProc>,
                        reinterpret_cast<LPARAM>(this)) == -1)
    CommonLogErrorEvent(L"Sett.Show", L"DialogBoxParam fail", L"", ::GetLastError(), false);
  dialog_ = nullptr;
  pages_.fill(nullptr);
}

INT_PTR TSett::OnPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_SETCURSOR: {
      const INT_PTR result = OnMessage(message, wParam, lParam);
      // A notification's answer is the dialog's message result.
      if (message == WM_NOTIFY) ::SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
      return result;
    }
    default:
      return FALSE;
  }
}

INT_PTR TSett::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return FALSE;  // the focus is set
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_HELP:
      HelpTopic();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Item(IDC_ABOUT_LINK)) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, win::LookColour(win::CurrentLook(), COLOR_HIGHLIGHT));
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(win::LookBrush(win::CurrentLook(), COLOR_BTNFACE));
      }
      return FALSE;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == Item(IDC_ABOUT_LINK)) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        ::SetWindowLongPtrW(pages_[kAboutPage], DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_DPICHANGED:
      // Moved to a monitor of another scale: the dialog manager scales the controls and fonts
      // (FALSE lets it); the lists' images and columns are the dialog's own to follow.
      FollowDpi();
      return FALSE;
    case WM_SIZE:
      PlacePages();
      return FALSE;
    case kWindowPicked:
      OnWindowPicked(reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_TIMER:
      if (wParam != kPickTimer) return FALSE;
      picker_.Stop();
      OnWindowPicked(nullptr);
      return TRUE;
    case WM_DESTROY:
      picker_.Stop();
      if (const HWND box = Item(IDC_PREF_NATURALKEY)) ::RemoveWindowSubclass(box, NaturalKeyProc, kNaturalKeySubclass);
      return FALSE;
    default:
      return FALSE;
  }
}

void TSett::FollowDpi() {
  // The window's own DPI, not the message's: any program can send the message.
  const unsigned dpi = win::DpiOfWindow(dialog_);
  for (int list : {IDC_FOLDERS_LIST, IDC_FILTERS_LIST, IDC_DIALOGS_LIST})
    for (int column = 0; column < (list == IDC_DIALOGS_LIST ? 3 : 2); ++column)
      ListView_SetColumnWidth(Item(list), column,
                              look::Rescaled(ListView_GetColumnWidth(Item(list), column), dpi_, dpi));
  dpi_ = dpi;
  const int size = look::ImageSizeFor(dpi);
  if (size == imageSize_ && images_ != nullptr) return;
  const HIMAGELIST list = ListImages(resources_, size);
  if (list == nullptr) return;
  ListView_SetImageList(Item(IDC_FOLDERS_LIST), list, LVSIL_SMALL);
  if (images_ != nullptr) ImageList_Destroy(images_);
  images_ = list;
  imageSize_ = size;
}

void TSett::PlacePages() {
  // The pages fill what the tabs leave of the control, which the tabs' row decides.
  const HWND tabs = ::GetDlgItem(dialog_, IDC_OPTIONS_TABS);
  RECT area{};
  ::GetWindowRect(tabs, &area);
  ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&area), 2);
  TabCtrl_AdjustRect(tabs, FALSE, &area);
  for (const HWND page : pages_)
    if (page != nullptr)
      ::SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOACTIVATE | SWP_NOZORDER);
}

HWND TSett::Item(int id) const {
  if (const HWND own = ::GetDlgItem(dialog_, id)) return own;
  for (HWND page : pages_)
    if (const HWND item = page != nullptr ? ::GetDlgItem(page, id) : nullptr) return item;
  return nullptr;
}

bool TSett::Checked(int id) const { return IsChecked(Item(id)); }

void TSett::Check(int id, bool on) { SetChecked(Item(id), on); }

void TSett::OnInitDialog() {
  const HWND tabs = ::GetDlgItem(dialog_, IDC_OPTIONS_TABS);
  for (int page = 0; page < kPageCount; ++page) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kPageNames[page]);
    TabCtrl_InsertItem(tabs, page, &item);
  }
  for (int page = 0; page < kPageCount; ++page) {
    pages_[static_cast<std::size_t>(page)] =
        ::CreateDialogParamW(resources_, MAKEINTRESOURCEW(kPageTemplates[page]), dialog_, PageThunk<TSett, kPageProc>,
                             reinterpret_cast<LPARAM>(this));
    ::ShowWindow(pages_[static_cast<std::size_t>(page)], SW_HIDE);
  }
  PlacePages();
  // Made at the DPI of the monitor the dialog opens on, and following it from there.
  dpi_ = win::DpiOfWindow(dialog_);
  for (int list : {IDC_FOLDERS_LIST, IDC_FILTERS_LIST}) {
    const HWND view = Item(list);
    ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT);
    AddColumn(view, 0, list == IDC_FOLDERS_LIST ? L"Title" : L"Name", look::Scaled(kTitleWidth, dpi_));
    AddColumn(view, 1, list == IDC_FOLDERS_LIST ? L"Path" : L"Mask", look::Scaled(kPathWidth, dpi_));
  }
  ListView_SetImageList(Item(IDC_FOLDERS_LIST), images_, LVSIL_SMALL);
  ListView_SetExtendedListViewStyle(Item(IDC_DIALOGS_LIST), LVS_EX_FULLROWSELECT);
  for (int column = 0; column < 3; ++column)
    AddColumn(Item(IDC_DIALOGS_LIST), column, kOwnDialogColumns[column], look::Scaled(kOwnDialogColumnWidth, dpi_));
  for (const wchar_t* method : kOwnDialogMethods)
    ::SendMessageW(Item(IDC_DIALOGS_METHOD), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(method));
  FollowDpi();
  for (const wchar_t* mode : kHotKeyModes)
    ::SendMessageW(Item(IDC_PREF_HOTKEYMODE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
  ::SendMessageW(Item(IDC_PREF_HOTKEY), HKM_SETRULES, kRefusedCombinations, MAKELPARAM(HOTKEYF_CONTROL, 0));
  // The jump key is held while a dialog is in front: a plain or shifted key would be lost to its
  // name box, so the box makes it a Ctrl key.
  for (const int box : {IDC_JUMP_KEY, IDC_PREF_SEARCHKEY, IDC_DIALOGS_DETAILSKEY})
    ::SendMessageW(Item(box), HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL, 0));
  ::SendMessageW(Item(IDC_PREF_HOTKEY), HKM_SETHOTKEY, MAKEWORD('Q', HOTKEYF_CONTROL), 0);
  ::SetWindowSubclass(Item(IDC_PREF_NATURALKEY), NaturalKeyProc, kNaturalKeySubclass,
                      reinterpret_cast<DWORD_PTR>(&naturalKey_));
  for (int spin : {IDC_PREF_FILESSPIN, IDC_PREF_FOLDERSSPIN}) ::SendMessageW(Item(spin), UDM_SETRANGE32, 0, 100);
  ::SetWindowTextW(Item(IDC_ABOUT_NAME), (ItemText(Item(IDC_ABOUT_NAME)) + GetProgramVersion()).c_str());

  TabCtrl_SetCurSel(tabs, initialPage_);
  ShowPage(initialPage_);
  OptionShow();
  // Asked for by another program (message 1149, the shell extension), the agent is not the
  // foreground program and a plain first showing would open behind the window the user works in.
  MoveWindowToFront(dialog_);
}

int TSett::Page() const { return TabCtrl_GetCurSel(::GetDlgItem(dialog_, IDC_OPTIONS_TABS)); }

void TSett::CustomizeContextMenu() {
  if (!contextMenu_) contextMenu_ = std::make_unique<TSettContextMenu>(resources_);
  TContextMenuItems items = LoadContextMenuItems();
  if (contextMenu_->Show(dialog_, items)) SaveContextMenuItems(items);
}

void TSett::ShowPage(int page) {
  for (int i = 0; i < kPageCount; ++i) ::ShowWindow(pages_[static_cast<std::size_t>(i)], i == page ? SW_SHOW : SW_HIDE);
  if (page == kFoldersPage) ::SetFocus(Item(IDC_FOLDERS_LIST));
  if (page == kFiltersPage) ::SetFocus(Item(IDC_FILTERS_LIST));
  UpdateButtons();
}

void TSett::OptionShow() {
  favouritesChanged_ = filtersChanged_ = false;
  Check(IDC_PREF_TRAY, settings_.ShowTray);
  Check(IDC_PREF_FOLDERS, settings_.RecentFldr);
  Check(IDC_PREF_FILES, settings_.RecentFls);
  Check(IDC_PREF_CLEARLINK, settings_.ClearLink);
  for (const auto& [box, spin, on] : {std::tuple{IDC_PREF_FILESCOUNT, IDC_PREF_FILESSPIN, settings_.RecentFls},
                                      std::tuple{IDC_PREF_FOLDERSCOUNT, IDC_PREF_FOLDERSSPIN, settings_.RecentFldr}}) {
    ::EnableWindow(Item(box), on);
    ::EnableWindow(Item(spin), on);
  }
  ::SetWindowTextW(Item(IDC_PREF_FILESCOUNT), std::to_wstring(settings_.FilesCount).c_str());
  ::SetWindowTextW(Item(IDC_PREF_FOLDERSCOUNT), std::to_wstring(settings_.FoldersCount).c_str());
  Check(IDC_PREF_WHEEL, settings_.MouseWheel > 0);
  Check(IDC_PREF_WHEELFORWARD, settings_.MouseWheel == 2);
  Check(IDC_PREF_WHEELBACKWARD, settings_.MouseWheel == 3);
  ::EnableWindow(Item(IDC_PREF_WHEELFORWARD), settings_.MouseWheel > 0);
  ::EnableWindow(Item(IDC_PREF_WHEELBACKWARD), settings_.MouseWheel > 0);
  Check(IDC_PREF_MBUTTON, settings_.MouseMButton);
  Check(IDC_PREF_HELP, settings_.Help);
  Check(IDC_PREF_MEXPLORER, settings_.MExplorer);
  Check(IDC_PREF_MIEXPLORER, settings_.MIExplorer);
  Check(IDC_PREF_REXPLORER, settings_.RExplorer);
  Check(IDC_PREF_MDESKTOP, settings_.MDesktop);
  Check(IDC_PREF_EXPENCH, settings_.ExpEnch);
  Check(IDC_PREF_OPENFOLDERS, settings_.OpenFolders);

  const TFavouriteLists& store = host_.ReloadStore();
  rows_ = TFavouriteRows::FromStore(store.PathNames, store.PathValues);
  filters_ = TFilterRows::FromStore(store.FilterMasks, store.FilterCaptions);
  FillFolders(std::nullopt);
  FillFilters(std::nullopt);
  Check(IDC_PREF_AUTOSTART, AutostartRegistered());

  if (IsCustomHotKey(settings_.Alt)) lastCustom_ = THotKey{settings_.Alt, settings_.Keys};
  const THotKeyView view = HotKeyView(settings_.Alt, settings_.Keys, lastCustom_);
  if (view.controlKey != 0)
    ::SendMessageW(Item(IDC_PREF_HOTKEY), HKM_SETHOTKEY, MAKEWORD(view.controlKey, view.controlModifiers), 0);
  ::SendMessageW(Item(IDC_PREF_HOTKEYMODE), CB_SETCURSEL, static_cast<WPARAM>(view.mode), 0);
  ShowHotKeyMode();

  for (const auto& [box, stored] : {std::pair{IDC_JUMP_KEY, settings_.JumpKey},
                                    {IDC_PREF_SEARCHKEY, settings_.SearchKey},
                                    {IDC_DIALOGS_DETAILSKEY, settings_.DetailsKey}}) {
    const TKeyChordView key = KeyChordView(stored);
    ::SendMessageW(Item(box), HKM_SETHOTKEY, MAKEWORD(key.controlKey, key.controlModifiers), 0);
  }
  const int autoJump = AutoJumpShown(settings_.AutoJump);
  for (int choice = 0; choice < 3; ++choice) Check(kJumpChoices[choice], choice == autoJump);
  jumpExcluded_ = LoadJumpExcluded();
  jumpExcludedChanged_ = false;
  FillJumpExcluded();
  ownDialogs_ = TOwnDialogRows::FromStore(LoadStoredOwnDialogs());
  FillOwnDialogs(ownDialogs_.Size() > 0 ? std::optional<int>(0) : std::nullopt);
  if (Page() == kFoldersPage) ::SetFocus(Item(IDC_FOLDERS_LIST));
}

void TSett::FillJumpExcluded() {
  const HWND list = Item(IDC_JUMP_EXCLUDED);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& program : jumpExcluded_)
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(program.c_str()));
}

void TSett::AddJumpExcluded() {
  const std::wstring program = text::Trim(ItemText(Item(IDC_JUMP_PROGRAM)));
  if (!text::IsBareFileName(program)) {
    ::MessageBoxW(dialog_, kNoProgramName, kInformation, MB_OK | MB_ICONINFORMATION);
    return;
  }
  ::SetWindowTextW(Item(IDC_JUMP_PROGRAM), L"");
  for (const std::wstring& listed : jumpExcluded_)
    if (text::SameCaseBlind(listed, program)) return;
  jumpExcluded_.push_back(program);
  jumpExcludedChanged_ = true;
  FillJumpExcluded();
}

void TSett::RemoveJumpExcluded() {
  const HWND list = Item(IDC_JUMP_EXCLUDED);
  const auto selected = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (selected < 0) return;
  std::wstring program(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, selected, 0)), L'\0');
  ::SendMessageW(list, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(program.data()));
  std::erase_if(jumpExcluded_, [&](const std::wstring& listed) { return text::SameCaseBlind(listed, program); });
  jumpExcludedChanged_ = true;
  FillJumpExcluded();
}

void TSett::ShowHotKeyMode() {
  const auto mode = static_cast<THotKeyMode>(::SendMessageW(Item(IDC_PREF_HOTKEYMODE), CB_GETCURSEL, 0, 0));
  ::ShowWindow(Item(IDC_PREF_NATURALKEY), mode == THotKeyMode::Natural ? SW_SHOW : SW_HIDE);
  ::ShowWindow(Item(IDC_PREF_HOTKEY), mode == THotKeyMode::Custom ? SW_SHOW : SW_HIDE);
  if (mode == THotKeyMode::Natural) ::SetWindowTextW(Item(IDC_PREF_NATURALKEY), NaturalKeyText(settings_.Keys).c_str());
}

void TSett::FillFolders(std::optional<int> selected) {
  const HWND list = Item(IDC_FOLDERS_LIST);
  ListView_DeleteAllItems(list);
  for (std::size_t i = 0; i < rows_.Size(); ++i)
    AddRow(list, static_cast<int>(i), rows_[i].caption, rows_[i].path, rows_[i].image, rows_[i].level);
  SelectRow(list, selected);
  UpdateButtons();
}

void TSett::FillFilters(std::optional<int> selected) {
  const HWND list = Item(IDC_FILTERS_LIST);
  ListView_DeleteAllItems(list);
  for (std::size_t i = 0; i < filters_.Size(); ++i)
    AddRow(list, static_cast<int>(i), filters_.Rows()[i].name, filters_.Rows()[i].mask, -1, 0);
  SelectRow(list, selected);
  UpdateButtons();
}

std::optional<int> TSett::Selected(int list) const {
  const int row = ListView_GetNextItem(Item(list), -1, LVNI_SELECTED);
  return row >= 0 ? std::optional<int>(row) : std::nullopt;
}

void TSett::UpdateButtons() {
  const bool folders = Selected(IDC_FOLDERS_LIST).has_value();
  const bool filters = Selected(IDC_FILTERS_LIST).has_value();
  for (int id : {IDC_FOLDERS_EDIT, IDC_FOLDERS_REMOVE, IDC_FOLDERS_UP, IDC_FOLDERS_DOWN})
    ::EnableWindow(Item(id), folders);
  for (int id : {IDC_FILTERS_EDIT, IDC_FILTERS_REMOVE, IDC_FILTERS_UP, IDC_FILTERS_DOWN})
    ::EnableWindow(Item(id), filters);
}

bool TSett::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
      Save(true);
      return true;
    case IDC_OPTIONS_APPLY:
      Save(false);
      return true;
    case IDCANCEL:
      ::EndDialog(dialog_, IDCANCEL);
      return true;
    case IDC_OPTIONS_HELP:
      HelpTopic();
      return true;
    case IDC_FOLDERS_ADD:
      AddFolder();
      return true;
    case IDC_FOLDERS_ADDSUBMENU:
      AddSubmenu();
      return true;
    case IDC_FILTERS_ADD:
      ShowFilterEditor(true);
      return true;
    case IDC_FOLDERS_EDIT:
    case IDC_FILTERS_EDIT:
      EditRow();
      return true;
    case IDC_FOLDERS_REMOVE:
    case IDC_FILTERS_REMOVE:
      RemoveRow();
      return true;
    case IDC_FOLDERS_UP:
    case IDC_FILTERS_UP:
      MoveRow(true);
      return true;
    case IDC_FOLDERS_DOWN:
    case IDC_FILTERS_DOWN:
      MoveRow(false);
      return true;
    case IDC_PREF_FILES:
    case IDC_PREF_FOLDERS: {
      const bool on = Checked(id);
      ::EnableWindow(Item(id == IDC_PREF_FILES ? IDC_PREF_FILESCOUNT : IDC_PREF_FOLDERSCOUNT), on);
      ::EnableWindow(Item(id == IDC_PREF_FILES ? IDC_PREF_FILESSPIN : IDC_PREF_FOLDERSSPIN), on);
      return true;
    }
    case IDC_PREF_FILESCOUNT:
    case IDC_PREF_FOLDERSCOUNT:
      if (code == EN_KILLFOCUS) OnCountLeft(id);
      return true;
    case IDC_PREF_WHEEL:
    case IDC_PREF_WHEELFORWARD:
    case IDC_PREF_WHEELBACKWARD:
      OnWheelBox(id);
      return true;
    case IDC_PREF_HOTKEYMODE:
      if (code == CBN_SELCHANGE) ShowHotKeyMode();
      return true;
    case IDC_PREF_CUSTOMIZE:
      CustomizeContextMenu();
      return true;
    case IDC_JUMP_ADD:
      AddJumpExcluded();
      return true;
    case IDC_JUMP_REMOVE:
      RemoveJumpExcluded();
      return true;
    case IDC_DIALOGS_ADD:
      FillOwnDialogs(static_cast<int>(ownDialogs_.Add()));
      ::SetFocus(Item(IDC_DIALOGS_CLASS));
      return true;
    case IDC_DIALOGS_REMOVE:
      RemoveOwnDialog();
      return true;
    case IDC_DIALOGS_PICK:
      PickWindow();
      return true;
    case IDC_DIALOGS_PROGRAM:
    case IDC_DIALOGS_CLASS:
    case IDC_DIALOGS_TITLE:
    case IDC_DIALOGS_BOX:
    case IDC_DIALOGS_KEY:
      if (code == EN_CHANGE) OwnDialogEdited(id);
      return true;
    case IDC_DIALOGS_METHOD:
      if (code == CBN_SELCHANGE) OwnDialogEdited(id);
      return true;
    case IDC_ABOUT_LINK:
      if (code == STN_CLICKED) ::ShellExecuteW(nullptr, L"open", kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    default:
      return false;
  }
}

bool TSett::OnNotify(const NMHDR& header) {
  const int id = static_cast<int>(header.idFrom);
  if (header.code == TCN_SELCHANGE && id == IDC_OPTIONS_TABS) {
    ShowPage(Page());
    return true;
  }
  if (id == IDC_FOLDERS_LIST || id == IDC_FILTERS_LIST) {
    if (header.code == LVN_ITEMCHANGED) UpdateButtons();
    if (header.code == NM_DBLCLK && Selected(id)) EditRow();
    // The Delete key removes only what "Remove" could.
    if (header.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE && Selected(id))
      RemoveRow();
    return false;
  }
  if (id == IDC_DIALOGS_LIST) {
    if (header.code == LVN_ITEMCHANGED) {
      // The key box tells of a change by its own notice, which not every system sends: what it
      // shows goes to the entry it showed before another one's is shown.
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if ((change.uOldState & LVIS_SELECTED) != 0 && (change.uNewState & LVIS_SELECTED) == 0 && !showingOwnDialog_)
        CommitOwnDialogKey(change.iItem);
      ShowOwnDialog();
    }
    if (header.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE)
      RemoveOwnDialog();
    return false;
  }
  if (header.code == UDN_DELTAPOS && (id == IDC_PREF_FILESSPIN || id == IDC_PREF_FOLDERSSPIN)) {
    OnCountSpin(id == IDC_PREF_FILESSPIN ? IDC_PREF_FILESCOUNT : IDC_PREF_FOLDERSCOUNT,
                reinterpret_cast<const NMUPDOWN&>(header).iDelta);
    return true;  // the box's number is ours, not the control's
  }
  return false;
}

void TSett::AddFolder() {
  favouritesChanged_ = true;
  const std::wstring path = SelectFolder(dialog_, std::wstring());
  if (path.empty()) return;
  const std::wstring refused = rows_.RefusedFolder(path, Selected(IDC_FOLDERS_LIST));
  const auto row = refused.empty() ? rows_.AddFolder(path, Selected(IDC_FOLDERS_LIST)) : std::nullopt;
  if (!row) {
    ::MessageBoxW(dialog_, refused.c_str(), kInformation, MB_OK | MB_ICONINFORMATION);
    return;
  }
  FillFolders(row);
  ShowFolderEditor(*row, 2);
}

void TSett::AddSubmenu() {
  favouritesChanged_ = true;
  const int row = rows_.AddSubmenu();
  FillFolders(row);
  ShowFolderEditor(row, 3);
}

void TSett::EditRow() {
  if (Page() == kFoldersPage) {
    if (const auto row = Selected(IDC_FOLDERS_LIST)) ShowFolderEditor(*row, 1);
  } else {
    ShowFilterEditor(false);
  }
}

void TSett::ShowFolderEditor(int row, int mode) {
  if (!editor_) editor_ = std::make_unique<TEd>(resources_, &images_);
  const TFavouriteRow& edited = rows_[static_cast<std::size_t>(row)];
  TEditorRequest request;
  request.mode = mode;
  request.path = edited.path;
  request.title = edited.caption;
  request.image = edited.image;
  for (int header : rows_.Headers()) request.submenus.push_back(rows_[static_cast<std::size_t>(header)].caption);
  request.parent = mode == 3 ? kNoSubmenu : rows_.ParentOf(row);
  request.parentEnabled = mode != 3 && !edited.path.empty();
  const int initialParent = request.parent;
  const TEditorResult result = editor_->Show(dialog_, request, [&](const TEditorAnswer& answer) {
    std::wstring verdict = rows_.ApplyEdit(row, answer.parent, initialParent, answer.upper, answer.lower, answer.image);
    if (verdict.empty()) favouritesChanged_ = true;
    return verdict;
  });
  // Cancel takes a new folder's or submenu's placeholder away; the close box leaves it.
  if (result == TEditorResult::Cancel && (mode == 2 || mode == 3)) rows_.Remove(row);
  FillFolders(result == TEditorResult::Cancel && mode != 1 ? std::nullopt : std::optional<int>(row));
}

void TSett::ShowFilterEditor(bool newFilter) {
  const auto row = Selected(IDC_FILTERS_LIST);
  if (!newFilter && !row) return;
  if (!editor_) editor_ = std::make_unique<TEd>(resources_, &images_);
  TEditorRequest request;
  request.filterMode = true;
  request.newFilter = newFilter;
  if (row && !newFilter) {
    request.name = filters_.Rows()[static_cast<std::size_t>(*row)].name;
    request.mask = filters_.Rows()[static_cast<std::size_t>(*row)].mask;
  }
  const TEditorResult result = editor_->Show(dialog_, request, [&](const TEditorAnswer& answer) {
    std::wstring verdict = filters_.ApplyEdit(newFilter ? std::nullopt : row, answer.upper, answer.lower);
    if (verdict.empty()) filtersChanged_ = true;
    return verdict;
  });
  if (result == TEditorResult::Ok)
    FillFilters(newFilter ? std::optional<int>(static_cast<int>(filters_.Size()) - 1) : row);
}

void TSett::RemoveRow() {
  const bool folders = Page() == kFoldersPage;
  const auto row = Selected(folders ? IDC_FOLDERS_LIST : IDC_FILTERS_LIST);
  if (!row) return;
  if (folders && !rows_.CanRemove(*row)) {
    ::MessageBoxW(dialog_, kSubmenuNotEmpty, kInformation, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (::MessageBoxW(dialog_, kConfirmRemove, kConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  if (folders) {
    rows_.Remove(*row);
    favouritesChanged_ = true;
    FillFolders(std::nullopt);
  } else {
    filters_.Remove(*row);
    filtersChanged_ = true;
    FillFilters(std::nullopt);
  }
}

void TSett::MoveRow(bool up) {
  const bool folders = Page() == kFoldersPage;
  const HWND list = Item(folders ? IDC_FOLDERS_LIST : IDC_FILTERS_LIST);
  const auto row = Selected(folders ? IDC_FOLDERS_LIST : IDC_FILTERS_LIST);
  if (!row) return;
  // The list is redrawn once, when the move is done.
  ::LockWindowUpdate(list);
  if (folders) {
    favouritesChanged_ = true;
    const auto moved = up ? rows_.MoveUp(*row) : rows_.MoveDown(*row);
    FillFolders(moved ? moved : row);
  } else {
    filtersChanged_ = true;
    const auto moved = up ? filters_.MoveUp(*row) : filters_.MoveDown(*row);
    FillFilters(moved ? moved : row);
  }
  ::LockWindowUpdate(nullptr);
  ::SetFocus(list);
}

void TSett::OnCountSpin(int box, int delta) {
  if (!::IsWindowEnabled(Item(box))) return;
  const int count = CountFromText(ItemText(Item(box)));
  const int changed = delta > 0 ? count + 1 : CountShown(count - 1);
  ::SetWindowTextW(Item(box), std::to_wstring(changed).c_str());
}

void TSett::OnCountLeft(int box) {
  if (CountFromText(ItemText(Item(box))) < 1) ::SetWindowTextW(Item(box), L"1");
}

void TSett::OnWheelBox(int id) {
  if (id == IDC_PREF_WHEEL) {
    const bool on = Checked(IDC_PREF_WHEEL);
    ::EnableWindow(Item(IDC_PREF_WHEELFORWARD), on);
    ::EnableWindow(Item(IDC_PREF_WHEELBACKWARD), on);
  } else if (Checked(id)) {
    Check(id == IDC_PREF_WHEELFORWARD ? IDC_PREF_WHEELBACKWARD : IDC_PREF_WHEELFORWARD, false);
  }
}

void TSett::Save(bool close) {
  TOptionsSave save;
  if (favouritesChanged_) save.favourites = rows_.ToStore();
  if (filtersChanged_) save.filters = filters_.ToStore();
  TSettingsValues& s = save.settings;
  s = settings_;
  s.MExplorer = Checked(IDC_PREF_MEXPLORER);
  s.MIExplorer = Checked(IDC_PREF_MIEXPLORER);
  s.RExplorer = Checked(IDC_PREF_REXPLORER);
  s.MDesktop = Checked(IDC_PREF_MDESKTOP);
  s.FoldersCount = CountFromText(ItemText(Item(IDC_PREF_FOLDERSCOUNT)));
  s.FilesCount = CountFromText(ItemText(Item(IDC_PREF_FILESCOUNT)));
  s.ExpEnch = Checked(IDC_PREF_EXPENCH);
  s.OpenFolders = Checked(IDC_PREF_OPENFOLDERS);
  s.RecentFldr = Checked(IDC_PREF_FOLDERS);
  s.RecentFls = Checked(IDC_PREF_FILES);
  s.ClearLink = Checked(IDC_PREF_CLEARLINK);
  s.Help = Checked(IDC_PREF_HELP);
  s.MouseWheel =
      MouseWheelFrom(Checked(IDC_PREF_WHEEL), Checked(IDC_PREF_WHEELFORWARD), Checked(IDC_PREF_WHEELBACKWARD));
  s.MouseMButton = Checked(IDC_PREF_MBUTTON);
  save.trayIconShown = Checked(IDC_PREF_TRAY);
  s.ShowTray = ShowTrayStored(save.trayIconShown, s.MouseWheel, s.MouseMButton);
  const auto mode = static_cast<THotKeyMode>(::SendMessageW(Item(IDC_PREF_HOTKEYMODE), CB_GETCURSEL, 0, 0));
  const auto hotKey = static_cast<WORD>(::SendMessageW(Item(IDC_PREF_HOTKEY), HKM_GETHOTKEY, 0, 0));
  const THotKey chosen =
      HotKeyFrom(mode, ItemText(Item(IDC_PREF_NATURALKEY)), LOBYTE(hotKey), HIBYTE(hotKey), {s.Alt, s.Keys});
  s.Alt = chosen.alt;
  s.Keys = chosen.keys;
  if (IsCustomHotKey(chosen.alt)) lastCustom_ = chosen;
  save.autostart = Checked(IDC_PREF_AUTOSTART);
  const auto jumpKey = static_cast<WORD>(::SendMessageW(Item(IDC_JUMP_KEY), HKM_GETHOTKEY, 0, 0));
  s.JumpKey = KeyChordFrom(LOBYTE(jumpKey), HIBYTE(jumpKey), settings_.JumpKey);
  const auto searchKey = static_cast<WORD>(::SendMessageW(Item(IDC_PREF_SEARCHKEY), HKM_GETHOTKEY, 0, 0));
  s.SearchKey = KeyChordFrom(LOBYTE(searchKey), HIBYTE(searchKey), settings_.SearchKey);
  for (int choice = 0; choice < 3; ++choice)
    if (Checked(kJumpChoices[choice])) s.AutoJump = choice;
  if (jumpExcludedChanged_) save.jumpExcluded = jumpExcluded_;
  jumpExcludedChanged_ = false;
  const auto detailsKey = static_cast<WORD>(::SendMessageW(Item(IDC_DIALOGS_DETAILSKEY), HKM_GETHOTKEY, 0, 0));
  s.DetailsKey = KeyChordFrom(LOBYTE(detailsKey), HIBYTE(detailsKey), settings_.DetailsKey);
  if (const std::optional<int> row = Selected(IDC_DIALOGS_LIST)) CommitOwnDialogKey(*row);
  if (ownDialogs_.Changed()) save.ownDialogs = TOwnDialogsSave{ownDialogs_.Written(), ownDialogs_.Removed()};
  host_.SaveOptions(save);
  if (close) {
    ::EndDialog(dialog_, IDOK);
    return;
  }
  // Applied: the entries as they are stored now are the ones further edits start from.
  const std::optional<int> selected = Selected(IDC_DIALOGS_LIST);
  ownDialogs_ = TOwnDialogRows::FromStore(LoadStoredOwnDialogs());
  FillOwnDialogs(selected);
}

void TSett::FillOwnDialogs(std::optional<int> selected) {
  const HWND list = Item(IDC_DIALOGS_LIST);
  // The rows go and come with the entries as they are now: no row's going is an edit.
  showingOwnDialog_ = true;
  ListView_DeleteAllItems(list);
  for (std::size_t i = 0; i < ownDialogs_.Size(); ++i) {
    const TOwnDialogRow& row = ownDialogs_[i];
    AddRow(list, static_cast<int>(i), row.values.name, row.values.className, -1, 0);
    std::wstring method = MethodShown(row);
    ListView_SetItemText(list, static_cast<int>(i), 2, method.data());
  }
  SelectRow(list, selected);
  showingOwnDialog_ = false;
  ShowOwnDialog();
}

void TSett::ShowOwnDialog() {
  const std::optional<int> row = Selected(IDC_DIALOGS_LIST);
  showingOwnDialog_ = true;
  win::TScopeGuard shown([this] { showingOwnDialog_ = false; });
  const TOwnDialogValues none;
  const TOwnDialogValues& values = row ? ownDialogs_[static_cast<std::size_t>(*row)].values : none;
  for (const auto& [box, text] : {std::pair{IDC_DIALOGS_PROGRAM, &values.program},
                                  {IDC_DIALOGS_CLASS, &values.className},
                                  {IDC_DIALOGS_TITLE, &values.title},
                                  {IDC_DIALOGS_BOX, &values.box}})
    ::SetWindowTextW(Item(box), text->c_str());
  int method = -1;
  for (int i = 0; i < static_cast<int>(std::size(kOwnDialogMethods)); ++i)
    if (text::SameCaseBlind(text::Trim(values.method), kOwnDialogMethods[i])) method = i;
  ::SendMessageW(Item(IDC_DIALOGS_METHOD), CB_SETCURSEL, static_cast<WPARAM>(method), 0);
  const TKeyChordView key = KeyChordView(values.key);
  ::SendMessageW(Item(IDC_DIALOGS_KEY), HKM_SETHOTKEY, MAKEWORD(key.controlKey, key.controlModifiers), 0);
  for (int id : {IDC_DIALOGS_PROGRAM, IDC_DIALOGS_CLASS, IDC_DIALOGS_TITLE, IDC_DIALOGS_METHOD, IDC_DIALOGS_BOX,
                 IDC_DIALOGS_KEY, IDC_DIALOGS_REMOVE})
    ::EnableWindow(Item(id), row.has_value());
}

void TSett::OwnDialogEdited(int id) {
  const std::optional<int> selected = Selected(IDC_DIALOGS_LIST);
  if (showingOwnDialog_ || !selected) return;
  const auto row = static_cast<std::size_t>(*selected);
  if (id == IDC_DIALOGS_METHOD) {
    const auto method = static_cast<int>(::SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
    if (method >= 0 && method < static_cast<int>(std::size(kOwnDialogMethods)))
      ownDialogs_.Set(row, TOwnDialogField::Method, kOwnDialogMethods[method]);
  } else if (id == IDC_DIALOGS_KEY) {
    CommitOwnDialogKey(*selected);
  } else {
    for (const auto& [box, field] : kOwnDialogBoxes)
      if (box == id) ownDialogs_.Set(row, field, ItemText(Item(box)));
  }
  // The row shows the edit at once; the boxes keep their focus.
  const HWND list = Item(IDC_DIALOGS_LIST);
  std::wstring className = ownDialogs_[row].values.className, method = MethodShown(ownDialogs_[row]);
  ListView_SetItemText(list, *selected, 1, className.data());
  ListView_SetItemText(list, *selected, 2, method.data());
}

void TSett::CommitOwnDialogKey(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= ownDialogs_.Size()) return;
  const auto key = static_cast<WORD>(::SendMessageW(Item(IDC_DIALOGS_KEY), HKM_GETHOTKEY, 0, 0));
  const auto index = static_cast<std::size_t>(row);
  ownDialogs_.SetKey(index, KeyChordFrom(LOBYTE(key), HIBYTE(key), ownDialogs_[index].values.key));
}

void TSett::RemoveOwnDialog() {
  const std::optional<int> row = Selected(IDC_DIALOGS_LIST);
  if (!row || ::MessageBoxW(dialog_, kConfirmRemove, kConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  ownDialogs_.Remove(static_cast<std::size_t>(*row));
  const int left = static_cast<int>(ownDialogs_.Size());
  FillOwnDialogs(left > 0 ? std::optional<int>(std::min(*row, left - 1)) : std::nullopt);
}

void TSett::PickWindow() {
  if (picker_.Waiting()) {
    picker_.Stop();
    OnWindowPicked(nullptr);
    return;
  }
  if (!picker_.Start(dialog_, kWindowPicked, kPickTimer)) {
    CommonLogErrorEvent(L"Sett.PickWindow", L"SetWindowsHookEx fail", L"", ::GetLastError(), false);
    return;
  }
  ::SetWindowTextW(Item(IDC_DIALOGS_PICK), kPickingCaption);
}

void TSett::OnWindowPicked(HWND window) {
  ::SetWindowTextW(Item(IDC_DIALOGS_PICK), kPickCaption);
  if (window == nullptr) return;
  const TPickedWindow picked = ReadPickedWindow(window);
  if (picked.className.empty()) return;
  const std::optional<int> selected = Selected(IDC_DIALOGS_LIST);
  const std::size_t row = selected ? static_cast<std::size_t>(*selected) : ownDialogs_.Add();
  ownDialogs_.Fill(row, picked);
  CommonLogRunEvent(L"Sett.PickWindow", L"picked " + details::Shown(picked.program) + L" " +
                                            details::Shown(picked.className) + L", box " +
                                            (picked.boxPath.empty() ? L"none" : details::Shown(picked.boxPath)));
  FillOwnDialogs(static_cast<int>(row));
}

void TSett::HelpTopic() const {
  const int page = Page();
  if (page >= 0 && page < kPageCount) HtmlHelp(kHelpTopics[page]);
}
