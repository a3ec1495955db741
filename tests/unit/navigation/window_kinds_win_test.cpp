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

}  // namespace
