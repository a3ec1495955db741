#include "navigation/window_navigation.h"

#include <gtest/gtest.h>

// After windows.h (through the header above): these depend on its types.
#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../test_temp_folder.h"
#include "../test_windows.h"
#include "navigation/own_dialog_target.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"

namespace {

using testwin::Child;
using testwin::Control;
using testwin::Frame;
using testwin::TWindow;

constexpr wchar_t kSpyProp[] = L"qf.test.spy";

// What a window's own procedure received, recorded by replacing it for the test.
struct TSpy {
  WNDPROC old = nullptr;
  std::vector<std::pair<UINT, WPARAM>> seen;
  int Count(UINT message, WPARAM wParam) const {
    return static_cast<int>(std::count(seen.begin(), seen.end(), std::make_pair(message, wParam)));
  }
};

LRESULT CALLBACK SpyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* spy = static_cast<TSpy*>(::GetPropW(window, kSpyProp));
  spy->seen.emplace_back(message, wParam);
  if (message == WM_NCDESTROY) ::RemovePropW(window, kSpyProp);
  return ::CallWindowProcW(spy->old, window, message, wParam, lParam);
}

// The spy must outlive the window.
void Spy(HWND window, TSpy& spy) {
  ::SetPropW(window, kSpyProp, &spy);
  spy.old = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyProc)));
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[261] = {};
  ::GetWindowTextW(window, buffer, 261);
  return buffer;
}

// A drop-down combo box as the system makes it, and the edit field inside it.
HWND DropDown(HWND parent, RECT r = {0, 0, 200, 100}) { return Control(parent, L"ComboBox", CBS_DROPDOWN, r); }
HWND EditOf(HWND combo) { return ::FindWindowExW(combo, nullptr, L"Edit", nullptr); }

DWORD Self() { return ::GetCurrentThreadId(); }

// A folder of the temporary directory with two files, removed at the end.
class TFolder {
 public:
  TFolder() {
    for (const wchar_t* name : {L"alpha.txt", L"beta.log"}) testtmp::WriteBytes(temp_.Path(name));
  }
  const std::wstring& Path() const { return temp_.Root(); }

 private:
  const testtmp::TTempFolder temp_{L"qf_nav"};
};

// Waits without pumping (the window belongs to another thread, which pumps itself).
template <class Done>
bool WaitFor(Done done, DWORD timeoutMs = 10000) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(20);
  }
  return true;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  if (ClassIs(window, 10, L"#32770") && ::IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

// The system's Save As dialog, run modally on a thread of its own as another program would.
class TSaveDialog {
 public:
  TSaveDialog() : thread_([this] { Run(); }) {
    WaitFor([this] {
      HWND found = nullptr;
      if (threadId_ != 0) ::EnumThreadWindows(threadId_, FindDialog, reinterpret_cast<LPARAM>(&found));
      dialog_ = found;
      return found != nullptr || done_;
    });
  }
  ~TSaveDialog() {
    WaitFor([this] {
      if (dialog_) ::PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
      return done_.load();
    });
    thread_.join();
  }
  HWND Window() const { return dialog_; }
  std::wstring Folder() const {
    wchar_t buffer[MAX_PATH] = {};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(dialog_, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 5000,
                          &result);
    return buffer;
  }
  // The names the dialog's file list shows.
  std::vector<std::wstring> Listed() const {
    std::vector<std::wstring> names;
    const HWND view = ::FindWindowExW(dialog_, nullptr, L"SHELLDLL_DefView", nullptr);
    const HWND list = view ? ::FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
    if (list == nullptr) return names;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[MAX_PATH] = {};
      LVITEMW item{};
      item.iSubItem = 0;
      item.pszText = text;
      item.cchTextMax = MAX_PATH;
      ::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
      names.emplace_back(text);
    }
    return names;
  }

 private:
  void Run() {
    threadId_ = ::GetCurrentThreadId();
    wchar_t file[MAX_PATH] = L"probe.txt";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFilter = L"All\0*.*\0";
    ofn.lpstrInitialDir = L"C:\\";
    ofn.Flags = OFN_EXPLORER;
    ::GetSaveFileNameW(&ofn);
    done_ = true;
  }

  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> done_{false};
  HWND dialog_ = nullptr;
  std::thread thread_;
};

bool SameFolder(std::wstring a, std::wstring b) {
  while (!a.empty() && a.back() == L'\\') a.pop_back();
  while (!b.empty() && b.back() == L'\\') b.pop_back();
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST(SetData, SaveDialogOpensTheFolderAndKeepsTheTypedName) {
  TFolder folder;
  TSaveDialog dialog;
  ASSERT_NE(dialog.Window(), nullptr);
  const HWND box = CheckVistaDialog(dialog.Window());
  ASSERT_NE(box, nullptr);
  ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"report.txt"));
  ASSERT_FALSE(SameFolder(dialog.Folder(), folder.Path()));

  SetData({dialog.Window(), tkFileDialog}, Self(), folder.Path(), false);

  EXPECT_TRUE(SameFolder(dialog.Folder(), folder.Path()))
      << std::string(dialog.Folder().begin(), dialog.Folder().end());
  EXPECT_EQ(TextOf(box), L"report.txt");
}

TEST(SetData, FilterMaskNarrowsTheDialogsList) {
  TFolder folder;
  TSaveDialog dialog;
  ASSERT_NE(dialog.Window(), nullptr);
  const HWND box = CheckVistaDialog(dialog.Window());
  ASSERT_NE(box, nullptr);
  SetData({dialog.Window(), tkFileDialog}, Self(), folder.Path(), false);
  ASSERT_TRUE(WaitFor([&] { return dialog.Listed().size() == 2; })) << dialog.Listed().size();
  ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"notes.txt"));

  SetData({dialog.Window(), tkFileDialog}, Self(), L"*.log", true);

  EXPECT_TRUE(WaitFor([&] { return dialog.Listed().size() == 1; })) << dialog.Listed().size();
  const auto listed = dialog.Listed();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].rfind(L"beta", 0), 0u);
  EXPECT_EQ(TextOf(box), L"notes.txt");
}

TEST(SetData, HungDialogCostsOnlyBoundedTime) {
  // A dialog whose thread stops pumping messages, as a hung program's would.
  std::atomic<HWND> hung{nullptr};
  win::TUniqueHandle resume(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread owner([&] {
    TWindow dialog = testwin::Dialog(WS_POPUP | WS_VISIBLE | WS_CAPTION);
    Control(dialog.get(), L"Edit", 0, {10, 10, 200, 30});
    hung = dialog.get();
    ::WaitForSingleObject(resume.get(), INFINITE);
  });
  ASSERT_TRUE(WaitFor([&] { return hung.load() != nullptr; }));

  win::TUniqueHandle finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread agent([&] {
    SetData({hung.load(), tkFileDialog}, ::GetCurrentThreadId(), L"C:\\", false);
    ::SetEvent(finished.get());
  });
  // Every send gives up after 200 ms and every loop after ten checks: some seconds in all.
  const DWORD waited = ::WaitForSingleObject(finished.get(), 20000);
  ::SetEvent(resume.get());
  agent.join();
  owner.join();
  EXPECT_EQ(waited, WAIT_OBJECT_0);
}

// A dialog whose name box never takes the Enter (its thread is busy in SetData): a folder is
// tried four times, a filter once, and the typed name comes back either way.
TEST(SetDataToDialog, EnterNotTakenRetriesOnlyFolders) {
  for (const bool filter : {false, true}) {
    TSpy spy;
    TWindow dialog = testwin::Dialog(WS_POPUP | WS_VISIBLE | WS_CAPTION);
    const HWND box = Control(dialog.get(), L"Edit", ES_AUTOHSCROLL, {10, 10, 250, 30});
    ::SetWindowTextW(box, L"draft.txt");
    Spy(box, spy);

    SetData({dialog.get(), tkFileDialog}, Self(), filter ? L"*.log" : L"C:\\users", filter);

    // Every attempt types a space before it sets the path.
    EXPECT_EQ(spy.Count(WM_CHAR, L' '), filter ? 1 : 4) << filter;
    EXPECT_EQ(TextOf(box), L"draft.txt") << filter;
  }
}

TEST(SetPath2, ThreeCharacterPathIsTypedInFrontOfItsLastCharacter) {
  TWindow frame = Frame(L"QfNavPlain", {0, 0, 200, 100});
  const HWND edit = Control(frame.get(), L"Edit", ES_AUTOHSCROLL, {0, 0, 180, 20});
  TSpy spy;
  Spy(edit, spy);
  SetPath2({frame.get(), tkAceExtract}, Self(), edit, L"C:\\", false);
  testwin::Pump();
  EXPECT_EQ(TextOf(edit), L"C:\\");
  EXPECT_EQ(spy.Count(WM_CHAR, L'C'), 1);
  EXPECT_EQ(spy.Count(WM_CHAR, L':'), 1);
  EXPECT_EQ(spy.Count(WM_CHAR, L'\\'), 0);
}

TEST(FindButton, RulesChooseByPosition) {
  TWindow dialog = testwin::Dialog(WS_POPUP | WS_VISIBLE);
  // Rule 22: near the top of its own parent, even when that parent sits lower in the window.
  Control(dialog.get(), L"Button", BS_PUSHBUTTON, {10, 100, 90, 125});
  Control(dialog.get(), L"Static", 0, {100, 2, 180, 20});
  const HWND panel = Child(dialog.get(), L"QfNavPanel", {0, 150, 300, 250});
  const HWND nested = Control(panel, L"Button", BS_PUSHBUTTON, {10, 5, 90, 30});
  EXPECT_EQ(FindButton(dialog.get(), 22), nested);

  // Rule 33: the leftmost of the narrow ones.
  Control(dialog.get(), L"Button", BS_PUSHBUTTON, {5, 40, 60, 60});
  Control(dialog.get(), L"Button", BS_PUSHBUTTON, {200, 40, 220, 60});
  const HWND narrowLeft = Control(dialog.get(), L"Button", BS_PUSHBUTTON, {100, 40, 120, 60});
  EXPECT_EQ(FindButton(dialog.get(), 33), narrowLeft);
  EXPECT_EQ(FindButton(panel, 33), nullptr);
}

TEST(SetData, RarExtractDialogGetsThePathAndItsTopButtonClicked) {
  TSpy spy;
  TWindow dialog = testwin::Dialog(WS_POPUP | WS_VISIBLE);
  const HWND combo = DropDown(dialog.get(), {10, 60, 200, 160});
  const HWND ok = Control(dialog.get(), L"Button", BS_PUSHBUTTON, {210, 5, 280, 25});
  Spy(ok, spy);
  SetData({dialog.get(), tkRarExtract}, Self(), L"C:\\users", false);
  EXPECT_EQ(TextOf(EditOf(combo)), L"C:\\users");
  EXPECT_EQ(spy.Count(BM_CLICK, 0), 1);

  // Without the box the button is still pressed.
  TSpy lonelySpy;
  TWindow lonely = testwin::Dialog(WS_POPUP | WS_VISIBLE);
  const HWND lonelyOk = Control(lonely.get(), L"Button", BS_PUSHBUTTON, {210, 5, 280, 25});
  Spy(lonelyOk, lonelySpy);
  SetData({lonely.get(), tkRarExtract}, Self(), L"C:\\users", false);
  EXPECT_EQ(lonelySpy.Count(BM_CLICK, 0), 1);
}

TEST(SetData, ZipDialogPrefersTheArrowButton) {
  TSpy arrowSpy;
  TSpy narrowSpy;
  TWindow dialog = testwin::Dialog(WS_POPUP | WS_VISIBLE);
  const HWND combo = DropDown(dialog.get(), {10, 60, 200, 160});
  const HWND narrow = Control(dialog.get(), L"Button", BS_PUSHBUTTON, {2, 40, 20, 60});
  const HWND arrow = Control(dialog.get(), L"Button", BS_PUSHBUTTON, {210, 60, 260, 80});
  ::SetWindowTextW(arrow, L"->");
  Spy(arrow, arrowSpy);
  Spy(narrow, narrowSpy);
  SetData({dialog.get(), tkZipExtract}, Self(), L"C:\\users", false);
  EXPECT_EQ(TextOf(EditOf(combo)), L"C:\\users");
  EXPECT_EQ(arrowSpy.Count(BM_CLICK, 0), 1);
  EXPECT_EQ(narrowSpy.Count(BM_CLICK, 0), 0);

  ::DestroyWindow(arrow);
  SetData({dialog.get(), tkZipExtract}, Self(), L"C:\\users", false);
  EXPECT_EQ(narrowSpy.Count(BM_CLICK, 0), 1);
}

// WinRAR's main window: the address box in its rebar and the file list beside it.
struct TRarWindow {
  TSpy listSpy;
  TSpy editSpy;
  TWindow frame = Frame(L"WinRarWindow", {0, 0, 400, 300});
  HWND edit = nullptr;
  TRarWindow() {
    const HWND rebar = Child(frame.get(), L"ReBarWindow32", {0, 0, 400, 40});
    const HWND comboEx = Child(rebar, L"ComboBoxEx32", {0, 0, 380, 30});
    edit = EditOf(DropDown(comboEx));
    Spy(Child(frame.get(), L"SysListView32", {0, 50, 400, 300}), listSpy);
    Spy(edit, editSpy);
  }
};

TEST(SetData, RarWindowLeavesAnArchiveThenTypesThePath) {
  TFolder folder;
  TRarWindow inArchive;
  TRarWindow inFolder;
  ::SetWindowTextW(inArchive.edit, L"backup.rar");
  ::SetWindowTextW(inFolder.edit, folder.Path().c_str());
  SetData({inArchive.frame.get(), tkRarWindow}, Self(), L"C:\\users", false);
  SetData({inFolder.frame.get(), tkRarWindow}, Self(), L"C:\\users", false);
  testwin::Pump();
  // The address did not change after the first backspace, so the loop stopped there.
  EXPECT_EQ(inArchive.listSpy.Count(WM_KEYDOWN, VK_BACK), 1);
  EXPECT_EQ(inFolder.listSpy.Count(WM_KEYDOWN, VK_BACK), 0);
  for (const TRarWindow* rar : {&inArchive, &inFolder}) {
    EXPECT_EQ(TextOf(rar->edit), L"C:\\users");
    EXPECT_EQ(rar->editSpy.Count(WM_KEYDOWN, VK_RETURN), 1);
  }
}

TEST(SetData, AceDialogIsTyped) {
  TWindow dialog = Frame(L"TTargetDlg", {0, 0, 300, 200});
  const HWND address = Child(Child(dialog.get(), L"TPanel", {0, 0, 300, 50}), L"TIEAddress", {0, 0, 280, 30});
  const HWND edit = Control(address, L"Edit", ES_AUTOHSCROLL, {0, 0, 260, 20});
  SetData({dialog.get(), tkAceExtract}, Self(), L"C:\\users\\", false);
  testwin::Pump();
  EXPECT_EQ(TextOf(edit), L"C:\\users\\");
}

// The classic address bar: WorkerW → ReBarWindow32 → ComboBoxEx32 → ComboBox → Edit.
HWND ClassicAddress(HWND frame) {
  const HWND rebar = Child(Child(frame, L"WorkerW", {0, 0, 500, 40}), L"ReBarWindow32", {0, 0, 500, 40});
  return EditOf(DropDown(Child(rebar, L"ComboBoxEx32", {0, 0, 480, 30})));
}

TEST(SetData, ExplorerWithClassicAddressBarIsTyped) {
  TSpy spy;
  TWindow frame = Frame(L"CabinetWClass", {0, 0, 500, 300});
  const HWND edit = ClassicAddress(frame.get());
  Spy(edit, spy);
  EXPECT_EQ(GetExplorerComponent(frame.get(), Self()), edit);
  SetData({frame.get(), tkExplorer}, Self(), L"C:\\users", false);
  testwin::Pump();
  EXPECT_EQ(TextOf(edit), L"C:\\users");
  EXPECT_EQ(spy.Count(WM_KEYDOWN, VK_RETURN), 1);
}

// A breadcrumb bar that turns into an edit box when clicked, as Explorer's does.
constexpr wchar_t kProgressProp[] = L"qf.test.progress";
LRESULT CALLBACK BreadcrumbProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONUP && GET_X_LPARAM(lParam) > 10000) {
    const auto progress = static_cast<HWND>(::GetPropW(window, kProgressProp));
    if (::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr) == nullptr) {
      DropDown(Child(progress, L"ComboBoxEx32", {0, 0, 480, 30}));
    }
  }
  if (message == WM_NCDESTROY) ::RemovePropW(window, kProgressProp);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(GetExplorerComponent, BreadcrumbIsClickedIntoAnEditBox) {
  TWindow frame = Frame(L"CabinetWClass", {0, 0, 500, 300});
  const HWND rebar = Child(Child(frame.get(), L"WorkerW", {0, 0, 500, 40}), L"ReBarWindow32", {0, 0, 500, 40});
  const HWND progress =
      Child(Child(rebar, L"Address Band Root", {0, 0, 480, 30}), L"msctls_progress32", {0, 0, 480, 30});
  const HWND toolbar =
      Child(Child(progress, L"Breadcrumb Parent", {0, 0, 480, 30}), L"ToolbarWindow32", {0, 0, 480, 30});
  ::SetPropW(toolbar, kProgressProp, progress);
  ::SetWindowLongPtrW(toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BreadcrumbProc));
  ASSERT_EQ(::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr), nullptr);

  SetData({frame.get(), tkExplorer}, Self(), L"C:\\users", false);

  const HWND comboEx = ::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr);
  ASSERT_NE(comboEx, nullptr);
  const HWND edit = EditOf(::FindWindowExW(comboEx, nullptr, L"ComboBox", nullptr));
  EXPECT_EQ(TextOf(edit), L"C:\\users");
  EXPECT_EQ(GetExplorerComponent(frame.get(), Self()), edit);
}

TEST(GetIEcomponent, FindsTheComboOrTheAddressBandEdit) {
  TWindow classic = Frame(L"IEFrame", {0, 0, 500, 300});
  const HWND classicEdit = ClassicAddress(classic.get());
  EXPECT_EQ(GetIEcomponent(classic.get()), classicEdit);

  TWindow banded = Frame(L"IEFrame", {0, 0, 500, 300});
  const HWND rebar = Child(Child(banded.get(), L"WorkerW", {0, 0, 500, 40}), L"ReBarWindow32", {0, 0, 500, 40});
  const HWND edit = Control(Child(rebar, L"Address Band Root", {0, 0, 480, 30}), L"Edit", 0, {0, 0, 400, 20});
  EXPECT_EQ(GetIEcomponent(banded.get()), edit);
  SetData({banded.get(), tkInternetExplorer}, Self(), L"C:\\users", false);
  EXPECT_EQ(TextOf(edit), L"C:\\users");

  TWindow bare = Frame(L"IEFrame", {0, 0, 500, 300});
  Child(bare.get(), L"WorkerW");
  EXPECT_EQ(GetIEcomponent(bare.get()), nullptr);
}

}  // namespace

namespace {

// A Dialogs entry's box is found by its path of classes through any sibling of each class, the
// first visible box on the path winning; a path that leads nowhere finds none.
TEST(OwnDialogBox, ThePathOfClassesFindsTheVisibleBoxThroughAnySibling) {
  TWindow dialog = Frame(L"QfTestDialog", {20, 20, 420, 320});
  const HWND first = Child(Child(dialog.get(), L"QfPane", {0, 0, 400, 100}), L"QfInner", {0, 0, 400, 100});
  const HWND hidden = Control(first, L"Edit");
  ::ShowWindow(hidden, SW_HIDE);
  const HWND second = Child(Child(dialog.get(), L"QfPane", {0, 100, 400, 200}), L"QfInner", {0, 0, 400, 100});
  const HWND shown = Control(second, L"Edit");
  ASSERT_TRUE(hidden && shown);

  EXPECT_EQ(FindOwnDialogBox(dialog.get(), {L"QfPane", L"QfInner", L"Edit"}), shown);
  EXPECT_EQ(FindOwnDialogBox(dialog.get(), {L"qfpane", L"QFINNER", L"edit"}), shown) << "classes are case-blind";
  EXPECT_EQ(FindOwnDialogBox(dialog.get(), {L"QfPane", L"Edit"}), nullptr) << "a step left out";
  EXPECT_EQ(FindOwnDialogBox(dialog.get(), {L"QfPane", L"QfMissing", L"Edit"}), nullptr);
  EXPECT_EQ(FindOwnDialogBox(dialog.get(), {}), nullptr);
  ::ShowWindow(shown, SW_HIDE);
  EXPECT_EQ(FindOwnDialogBox(dialog.get(), {L"QfPane", L"QfInner", L"Edit"}), nullptr) << "only hidden boxes";
}

}  // namespace

namespace {

// An entry written by another program may name any window: a program file picked from the recent
// files is never put into it, whatever its method, for its Enter might run it.
TEST(OwnDialogBox, AProgramFileIsNeverTypedIntoADialogOfTheEntries) {
  TSpy spy;
  TWindow dialog = Frame(L"QfTestDialog", {20, 20, 420, 320});
  const HWND box = Control(Child(dialog.get(), L"QfPane", {0, 0, 400, 100}), L"Edit");
  ASSERT_NE(box, nullptr);
  Spy(box, spy);
  TOwnDialog entry;
  entry.name = L"Run-like";
  entry.className = L"QfTestDialog";
  for (const TOwnDialogMethod method : {TOwnDialogMethod::Keys, TOwnDialogMethod::Edit, TOwnDialogMethod::Address}) {
    entry.method = method;
    entry.box = {L"QfPane", L"Edit"};
    for (const wchar_t* program : {L"C:\\Users\\Public\\setup.exe", L"C:\\x\\run.cmd", L"C:\\x\\a.lnk"})
      EXPECT_FALSE(SetDataToOwnDialog(dialog.get(), entry, ::GetCurrentThreadId(), program, false)) << program;
  }
  testwin::Pump();
  EXPECT_EQ(TextOf(box), L"");
  EXPECT_EQ(spy.Count(WM_CHAR, L'C'), 0);
  EXPECT_EQ(spy.Count(WM_SETTEXT, 0), 0);
}

}  // namespace
