#include "navigation/window_kinds.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "../test_windows.h"

namespace {

using testwin::Child;
using testwin::Control;
using testwin::Dialog;
using testwin::Frame;
using testwin::TWindow;

constexpr DWORD kDialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION;
constexpr DWORD kNewStyleBit = 0x200;

// The edit field the system itself gives a drop-down combo box.
HWND EditOfCombo(HWND combo) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  return ::GetComboBoxInfo(combo, &info) ? info.hwndItem : nullptr;
}

TEST(ClassIs, LongClassNamesReadAsThePrefixTheBufferHolds) {
  TWindow office = Frame(L"bosa_sdm_Word9", {0, 0, 50, 50});
  TWindow rar = Frame(L"WinRarWindow", {0, 0, 50, 50});
  ASSERT_TRUE(office && rar);

  EXPECT_TRUE(ClassIs(office.get(), 10, L"bosa_sdm_"));
  EXPECT_FALSE(ClassIs(office.get(), 10, L"bosa_sdm_Word9"));
  EXPECT_FALSE(ClassIs(office.get(), 16, L"bosa_sdm_"));
  EXPECT_TRUE(ClassIs(office.get(), 16, L"bosa_sdm_Word9"));
  EXPECT_TRUE(ClassIs(rar.get(), 10, L"WinRarWin"));
  EXPECT_TRUE(ClassIs(rar.get(), 16, L"WINRARWINDOW"));
  EXPECT_FALSE(ClassIs(nullptr, 16, L"WinRarWindow"));
}

TEST(IsDialog, OfficeDialogIsRecognisedByPrefixAndNeedsSnakeList) {
  TWindow office = Frame(L"bosa_sdm_Word9", {0, 0, 300, 200});
  ASSERT_TRUE(office);
  // The shell view and combo of a common dialog do not make an Office window a dialog.
  Child(office.get(), L"ShellDll_DefView");
  Child(office.get(), L"ComboBoxEx32");
  EXPECT_EQ(IsDialog(office.get()), nullptr);

  Child(office.get(), L"Snake List");
  EXPECT_EQ(IsDialog(office.get()), office.get());
}

TEST(IsDialog, NewStyleDialogNeedsTheStyleBit) {
  TWindow plain = Dialog(kDialogStyle);
  TWindow marked = Dialog(kDialogStyle | kNewStyleBit);
  ASSERT_TRUE(plain && marked);
  ASSERT_EQ(::GetWindowLongW(marked.get(), GWL_STYLE) & kNewStyleBit, LONG{kNewStyleBit});
  ASSERT_EQ(::GetWindowLongW(plain.get(), GWL_STYLE) & kNewStyleBit, 0);
  for (HWND d : {plain.get(), marked.get()}) {
    Child(d, L"DUIViewWndClassName");
    // Would make an old-style dialog; the new-style rule decides first.
    Child(d, L"ShellDll_DefView");
    Child(d, L"ComboBoxEx32");
  }
  EXPECT_EQ(IsDialog(marked.get()), marked.get());
  EXPECT_EQ(IsDialog(plain.get()), nullptr);
}

TEST(IsDialog, OldStyleDialogNeedsShellViewBesideComboBoxEx) {
  TWindow dialog = Dialog(kDialogStyle);
  ASSERT_TRUE(dialog);
  Child(dialog.get(), L"ComboBoxEx32");
  EXPECT_EQ(IsDialog(dialog.get()), nullptr);

  // Wine's spelling of the shell view class; class names compare case-insensitively.
  Child(dialog.get(), L"SHELLDLL_DefView");
  EXPECT_EQ(IsDialog(dialog.get()), dialog.get());
}

TEST(IsDialog, ComboAndEditBesideShellViewOnlyInADialogClass) {
  TWindow dialog = Dialog(kDialogStyle);
  TWindow other = Frame(L"QfTestNotADialog", {0, 0, 300, 200});
  ASSERT_TRUE(dialog && other);
  for (HWND w : {dialog.get(), other.get()}) {
    Child(w, L"ShellDll_DefView");
    // The edit field of a drop-down combo is the combo's child, not the dialog's.
    ASSERT_NE(EditOfCombo(Control(w, L"ComboBox", CBS_DROPDOWN)), nullptr);
  }
  EXPECT_EQ(IsDialog(dialog.get()), nullptr);

  for (HWND w : {dialog.get(), other.get()}) Control(w, L"Edit");
  EXPECT_EQ(IsDialog(dialog.get()), dialog.get());
  EXPECT_EQ(IsDialog(other.get()), nullptr);
}

TEST(IsDialog, NoWindowMeansTheDialogUnderTheCursor) {
  TWindow dialog = Dialog(kDialogStyle, 0, 40, 40, 200, 150);
  ASSERT_TRUE(dialog);
  const HWND view = Child(dialog.get(), L"ShellDll_DefView", {10, 10, 250, 200});
  Child(dialog.get(), L"ComboBoxEx32", {10, 210, 250, 230});
  Child(view, L"QfTestListInsideView", {5, 5, 200, 150});
  testwin::Pump();
  const POINT inList = testwin::CenterOf(view);
  ASSERT_TRUE(::SetCursorPos(inList.x, inList.y));

  EXPECT_EQ(IsDialog(nullptr), dialog.get());
}

TEST(CheckVistaDialog, OldStyleAnswersTheEditOfTheComboInsideComboBoxEx) {
  TWindow dialog = Dialog(kDialogStyle);
  ASSERT_TRUE(dialog);
  const HWND comboEx = Child(dialog.get(), L"ComboBoxEx32", {0, 0, 150, 100});
  const HWND combo = Control(comboEx, L"ComboBox", CBS_DROPDOWN);
  Control(dialog.get(), L"Edit");
  const HWND nameBox = EditOfCombo(combo);
  ASSERT_NE(nameBox, nullptr);

  EXPECT_EQ(CheckVistaDialog(dialog.get()), nameBox);
}

TEST(CheckVistaDialog, OldStyleWithoutTheEditFallsBackToTheLoneEdit) {
  TWindow dialog = Dialog(kDialogStyle);
  ASSERT_TRUE(dialog);
  const HWND comboEx = Child(dialog.get(), L"ComboBoxEx32", {0, 0, 150, 100});
  Control(comboEx, L"ComboBox", CBS_DROPDOWNLIST);
  const HWND lone = Control(dialog.get(), L"Edit");

  EXPECT_EQ(CheckVistaDialog(dialog.get()), lone);
}

// dialog -> DUIViewWndClassName -> DirectUIHWND, under which the sinks go.
HWND DirectUiOf(HWND dialog) {
  const HWND view = Child(dialog, L"DUIViewWndClassName", {0, 0, 300, 200});
  return Child(view, L"DirectUIHWND", {0, 0, 300, 200});
}

TEST(CheckVistaDialog, NewStyleAnswersTheEditInTheFirstSink) {
  TWindow dialog = Dialog(kDialogStyle | kNewStyleBit);
  ASSERT_TRUE(dialog);
  const HWND directUi = DirectUiOf(dialog.get());
  const HWND first = Child(directUi, L"FloatNotifySink", {0, 0, 150, 100});
  const HWND second = Child(directUi, L"FloatNotifySink", {0, 100, 150, 200});
  const HWND nameBox = EditOfCombo(Control(first, L"ComboBox", CBS_DROPDOWN));
  Control(second, L"ComboBox", CBS_DROPDOWN);
  Control(dialog.get(), L"Edit");
  ASSERT_NE(nameBox, nullptr);

  EXPECT_EQ(CheckVistaDialog(dialog.get()), nameBox);
}

TEST(CheckVistaDialog, NewStyleTriesTheNextSinkOnlyOnce) {
  TWindow dialog = Dialog(kDialogStyle | kNewStyleBit);
  TWindow third = Dialog(kDialogStyle | kNewStyleBit);
  ASSERT_TRUE(dialog && third);

  // Sinks come back in creation order: the empty first one, then the one with the name box.
  const HWND directUi = DirectUiOf(dialog.get());
  Child(directUi, L"FloatNotifySink", {0, 0, 150, 100});
  const HWND second = Child(directUi, L"FloatNotifySink", {0, 100, 150, 200});
  const HWND nameBox = EditOfCombo(Control(second, L"ComboBox", CBS_DROPDOWN));
  ASSERT_NE(nameBox, nullptr);
  EXPECT_EQ(CheckVistaDialog(dialog.get()), nameBox);

  // A name box in a third sink is not looked for.
  const HWND otherDirectUi = DirectUiOf(third.get());
  Child(otherDirectUi, L"FloatNotifySink", {0, 0, 150, 60});
  Child(otherDirectUi, L"FloatNotifySink", {0, 60, 150, 120});
  const HWND last = Child(otherDirectUi, L"FloatNotifySink", {0, 120, 150, 180});
  ASSERT_NE(EditOfCombo(Control(last, L"ComboBox", CBS_DROPDOWN)), nullptr);
  EXPECT_EQ(CheckVistaDialog(third.get()), nullptr);
}

TEST(CheckVistaDialog, LoneEditIsTheAnswerButTwoEditsGiveNone) {
  TWindow dialog = Dialog(kDialogStyle);
  ASSERT_TRUE(dialog);
  const HWND first = Control(dialog.get(), L"Edit");
  EXPECT_EQ(CheckVistaDialog(dialog.get()), first);

  Control(dialog.get(), L"Edit");
  EXPECT_EQ(CheckVistaDialog(dialog.get()), nullptr);
}

// A chain of windows each filling its parent, so the deepest one is under the frame's centre.
std::vector<HWND> NestedChain(HWND top, int depth) {
  std::vector<HWND> chain{top};
  for (int i = 0; i < depth; ++i) {
    const HWND child = Child(chain.back(), L"QfTestNested", {0, 0, 300, 300});
    if (child == nullptr) break;
    chain.push_back(child);
  }
  return chain;
}

TEST(GetWindowP, WalkGivesUpAfter51StepsUpTheChain) {
  TWindow frame = Frame(L"QfTestChainFrame", {500, 100, 800, 400});
  ASSERT_TRUE(frame);
  const std::vector<HWND> chain = NestedChain(frame.get(), 60);
  ASSERT_EQ(chain.size(), 61u);
  testwin::Pump();
  const POINT centre = testwin::CenterOf(frame.get());
  ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));
  ASSERT_EQ(::WindowFromPoint(centre), chain.back());

  EXPECT_EQ(GetWindowP(false), chain[60 - 51]);
}

TEST(GetWindowP, StopsAtDialogLikeClassesOnlyWhenAsked) {
  struct TCase {
    const wchar_t* className;
    bool stops;
  };
  const TCase cases[] = {{L"bosa_sdm_Word9", true}, {L"WinRarWindow", true},
                         {L"TTargetDlg", true},     {L"#32770", true},
                         {L"bosa_sdmXWord", false}, {L"WinRarWndX", false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.className);
    TWindow frame = Frame(L"QfTestChainFrame", {500, 100, 800, 400});
    ASSERT_TRUE(frame);
    const HWND middle = std::wstring_view(c.className) == L"#32770"
                            ? Control(frame.get(), c.className, 0, {0, 0, 300, 300})
                            : Child(frame.get(), c.className, {0, 0, 300, 300});
    ASSERT_NE(middle, nullptr);
    const HWND inner = Child(middle, L"QfTestNested", {0, 0, 300, 300});
    Child(inner, L"QfTestNested", {0, 0, 300, 300});
    testwin::Pump();
    const POINT centre = testwin::CenterOf(frame.get());
    ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));

    EXPECT_EQ(GetWindowP(true), c.stops ? middle : frame.get());
    EXPECT_EQ(GetWindowP(false), frame.get());
  }
}

TEST(GetWindowP, StopsAtTheForegroundWindowOnTheWayToTheOwner) {
  TWindow owner = Frame(L"QfTestChainFrame", {100, 100, 300, 300});
  ASSERT_TRUE(owner);
  TWindow popup(::CreateWindowExW(0, L"QfTestChainFrame", L"owned", WS_POPUP | WS_VISIBLE, 500,
                                  100, 300, 300, owner.get(), nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(popup);
  Child(popup.get(), L"QfTestNested", {0, 0, 300, 300});
  const POINT centre = testwin::CenterOf(popup.get());

  ASSERT_TRUE(::SetForegroundWindow(popup.get()));
  testwin::Pump();
  ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));
  EXPECT_EQ(GetWindowP(false), popup.get());

  ASSERT_TRUE(::SetForegroundWindow(owner.get()));
  testwin::Pump();
  ASSERT_EQ(::GetForegroundWindow(), owner.get());
  ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));
  EXPECT_EQ(GetWindowP(false), owner.get());
}

// The style of a restored shell or browser frame the user works in (349110272).
constexpr DWORD kFrameStyle = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU |
                              WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
// What IsExplorer leaves in the kind when it refuses.
constexpr int kUntouched = -7;

// A top-level frame of the class with exactly the styles given: the system adds bits of its own
// to new frames, so they are set again once it exists.
TWindow ShellFrame(const wchar_t* className, DWORD style = kFrameStyle,
                   DWORD exStyle = WS_EX_WINDOWEDGE) {
  testwin::EnsureClass(className);
  TWindow frame(::CreateWindowExW(exStyle, className, L"frame", style, 40, 40, 400, 300, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (frame) {
    ::SetWindowLongW(frame.get(), GWL_STYLE, static_cast<LONG>(style));
    ::SetWindowLongW(frame.get(), GWL_EXSTYLE, static_cast<LONG>(exStyle));
  }
  return frame;
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)); }
DWORD ExStyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)); }

// The kind IsExplorer reports, or kUntouched when it refuses (checking it answers the window).
int ExplorerKind(int mode, HWND window) {
  int kind = kUntouched;
  const HWND answer = IsExplorer(kind, mode, window);
  EXPECT_EQ(answer, kind == kUntouched ? nullptr : window);
  return kind;
}

int RarKind(HWND window) {
  int kind = kUntouched;
  const HWND answer = IsRar(kind, window);
  EXPECT_EQ(answer, kind == kUntouched ? nullptr : window);
  return kind;
}

TEST(IsExplorer, AcceptsTheFourUsualFrameStylesAndNoOther) {
  const DWORD accepted[] = {kFrameStyle, kFrameStyle | WS_MAXIMIZE, kFrameStyle | WS_CLIPCHILDREN,
                            kFrameStyle | WS_MAXIMIZE | WS_CLIPCHILDREN};
  const DWORD refused[] = {kFrameStyle | WS_DISABLED, kFrameStyle & ~WS_MAXIMIZEBOX,
                           kFrameStyle & ~WS_VISIBLE, kFrameStyle | WS_VSCROLL};
  for (const DWORD style : accepted) {
    TWindow frame = ShellFrame(L"CabinetWClass", style);
    ASSERT_TRUE(frame);
    ASSERT_EQ(StyleOf(frame.get()), style);
    ASSERT_EQ(ExStyleOf(frame.get()), DWORD{WS_EX_WINDOWEDGE});
    EXPECT_EQ(ExplorerKind(0, frame.get()), tkExplorer) << style;
  }
  for (const DWORD style : refused) {
    TWindow frame = ShellFrame(L"CabinetWClass", style);
    ASSERT_TRUE(frame);
    ASSERT_EQ(StyleOf(frame.get()), style);
    EXPECT_EQ(ExplorerKind(0, frame.get()), kUntouched) << style;
  }
}

TEST(IsExplorer, MaximisedFrameIsAcceptedMinimisedIsNot) {
  TWindow frame = ShellFrame(L"CabinetWClass");
  ASSERT_TRUE(frame);
  ::ShowWindow(frame.get(), SW_MAXIMIZE);
  testwin::Pump();
  ASSERT_EQ(StyleOf(frame.get()), 365887488u);
  EXPECT_EQ(ExplorerKind(1, frame.get()), tkExplorer);

  ::ShowWindow(frame.get(), SW_MINIMIZE);
  testwin::Pump();
  ASSERT_NE(StyleOf(frame.get()) & WS_MINIMIZE, 0u);
  EXPECT_EQ(ExplorerKind(1, frame.get()), kUntouched);
}

TEST(IsExplorer, ExtendedStyleMustBeWindowEdgeAlone) {
  for (const DWORD exStyle : {DWORD{WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES},
                              DWORD{WS_EX_WINDOWEDGE | WS_EX_TOPMOST},
                              DWORD{WS_EX_WINDOWEDGE | WS_EX_APPWINDOW}}) {
    TWindow frame = ShellFrame(L"ExploreWClass", kFrameStyle, exStyle);
    ASSERT_TRUE(frame);
    ASSERT_EQ(ExStyleOf(frame.get()), exStyle);
    EXPECT_EQ(ExplorerKind(0, frame.get()), kUntouched) << exStyle;
  }
}

TEST(IsExplorer, ModeChoosesBetweenShellAndBrowserFrames) {
  TWindow browser = ShellFrame(L"IEFrame");
  TWindow cabinet = ShellFrame(L"CabinetWClass");
  TWindow explore = ShellFrame(L"ExploreWClass");
  // The class is read through 14 characters, so a longer name reads as the shell's.
  TWindow longer = ShellFrame(L"CabinetWClassXY");
  TWindow other = ShellFrame(L"QfTestOtherFrame");
  ASSERT_TRUE(browser && cabinet && explore && longer && other);

  EXPECT_EQ(ExplorerKind(1, browser.get()), kUntouched);
  EXPECT_EQ(ExplorerKind(0, browser.get()), tkInternetExplorer);
  EXPECT_EQ(ExplorerKind(-1, browser.get()), tkInternetExplorer);
  for (HWND shell : {cabinet.get(), explore.get(), longer.get()}) {
    EXPECT_EQ(ExplorerKind(1, shell), tkExplorer);
    EXPECT_EQ(ExplorerKind(0, shell), tkExplorer);
    EXPECT_EQ(ExplorerKind(-1, shell), kUntouched);
  }
  for (int mode : {1, 0, -1}) EXPECT_EQ(ExplorerKind(mode, other.get()), kUntouched);
}

TEST(IsExplorer, NoWindowMeansTheFrameUnderTheCursor) {
  TWindow frame = ShellFrame(L"CabinetWClass");
  ASSERT_TRUE(frame);
  RECT client{};
  ::GetClientRect(frame.get(), &client);
  const HWND view = Child(frame.get(), L"QfTestInsideFrame", client);
  testwin::Pump();
  const POINT centre = testwin::CenterOf(view);
  ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));
  ASSERT_EQ(::WindowFromPoint(centre), view);

  int kind = kUntouched;
  EXPECT_EQ(IsExplorer(kind, 0, nullptr), frame.get());
  EXPECT_EQ(kind, tkExplorer);
}

// A "#32770" dialog owned by the window, as an archiver opens its extraction dialog.
TWindow OwnedDialog(HWND owner) {
  alignas(DWORD) WORD storage[16] = {};
  auto* tmpl = reinterpret_cast<DLGTEMPLATE*>(storage);
  tmpl->style = kDialogStyle;
  tmpl->cx = 200;
  tmpl->cy = 150;
  return TWindow(::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), tmpl, owner,
                                              testwin::PlainDialogProc, 0));
}

TEST(IsRar, ArchiverMainWindowIsKindSix) {
  TWindow rar = Frame(L"WinRarWindow", {0, 0, 300, 200});
  TWindow zip = Frame(L"WinZipWClass", {0, 0, 300, 200});
  ASSERT_TRUE(rar && zip);
  EXPECT_EQ(RarKind(rar.get()), tkRarWindow);
  EXPECT_EQ(RarKind(zip.get()), kUntouched);
}

TEST(IsRar, ExtractionDialogNeedsAnArchiverOwnerAndAFolderTree) {
  TWindow rar = Frame(L"WinRarWindow", {0, 0, 300, 200});
  TWindow zip = Frame(L"WinZipWClass", {0, 0, 300, 200});
  TWindow other = Frame(L"QfTestOtherOwner", {0, 0, 300, 200});
  ASSERT_TRUE(rar && zip && other);
  TWindow rarDialog = OwnedDialog(rar.get());
  TWindow zipDialog = OwnedDialog(zip.get());
  TWindow otherDialog = OwnedDialog(other.get());
  TWindow lonely = OwnedDialog(nullptr);
  ASSERT_TRUE(rarDialog && zipDialog && otherDialog && lonely);
  ASSERT_EQ(::GetParent(rarDialog.get()), rar.get());

  for (HWND d : {rarDialog.get(), zipDialog.get(), otherDialog.get(), lonely.get()}) {
    EXPECT_EQ(RarKind(d), kUntouched);
    Child(d, L"SysTreeView32", {0, 0, 100, 100});
  }
  EXPECT_EQ(RarKind(rarDialog.get()), tkRarExtract);
  EXPECT_EQ(RarKind(zipDialog.get()), tkZipExtract);
  EXPECT_EQ(RarKind(otherDialog.get()), kUntouched);
  EXPECT_EQ(RarKind(lonely.get()), kUntouched);
}

TEST(IsRar, TargetDialogNeedsTheAddressBoxInsideAPanel) {
  TWindow plain = Frame(L"TTargetDlg", {0, 0, 300, 200});
  TWindow beside = Frame(L"TTargetDlg", {0, 0, 300, 200});
  TWindow inside = Frame(L"TTargetDlg", {0, 0, 300, 200});
  ASSERT_TRUE(plain && beside && inside);
  Child(plain.get(), L"TPanel", {0, 0, 200, 50});
  Child(beside.get(), L"TPanel", {0, 0, 200, 50});
  Child(beside.get(), L"TIEAddress", {0, 60, 200, 80});
  Child(Child(inside.get(), L"TPanel", {0, 0, 200, 50}), L"TIEAddress", {0, 0, 200, 20});

  EXPECT_EQ(RarKind(plain.get()), kUntouched);
  EXPECT_EQ(RarKind(beside.get()), kUntouched);
  EXPECT_EQ(RarKind(inside.get()), tkAceExtract);
}

TEST(ClassifyWindow, FileDialogFirstThenFramesThenArchiversElseDesktop) {
  TWindow rar = Frame(L"WinRarWindow", {0, 0, 300, 200});
  ASSERT_TRUE(rar);
  TWindow extract = OwnedDialog(rar.get());
  TWindow fileDialog = OwnedDialog(rar.get());
  TWindow cabinet = ShellFrame(L"CabinetWClass");
  TWindow browser = ShellFrame(L"IEFrame");
  TWindow minimised = ShellFrame(L"CabinetWClass", kFrameStyle | WS_MINIMIZE);
  TWindow unknown = Frame(L"QfTestOtherFrame", {0, 0, 300, 200});
  ASSERT_TRUE(extract && fileDialog && cabinet && browser && minimised && unknown);
  // The archiver's folder tree beside a file dialog's layout: the file dialog wins.
  for (HWND d : {extract.get(), fileDialog.get()}) Child(d, L"SysTreeView32");
  Child(fileDialog.get(), L"ShellDll_DefView");
  Child(fileDialog.get(), L"ComboBoxEx32");

  EXPECT_EQ(ClassifyWindow(fileDialog.get()), tkFileDialog);
  EXPECT_EQ(ClassifyWindow(extract.get()), tkRarExtract);
  EXPECT_EQ(ClassifyWindow(rar.get()), tkRarWindow);
  EXPECT_EQ(ClassifyWindow(cabinet.get()), tkExplorer);
  EXPECT_EQ(ClassifyWindow(browser.get()), tkInternetExplorer);
  EXPECT_EQ(ClassifyWindow(minimised.get()), tkDesktop);
  EXPECT_EQ(ClassifyWindow(unknown.get()), tkDesktop);
  EXPECT_EQ(ClassifyWindow(nullptr), tkDesktop);

  // The same layout in a shell frame reads as a file dialog too: the dialog test comes first.
  Child(cabinet.get(), L"ShellDll_DefView");
  Child(cabinet.get(), L"ComboBoxEx32");
  EXPECT_EQ(ClassifyWindow(cabinet.get()), tkFileDialog);
}

}  // namespace
