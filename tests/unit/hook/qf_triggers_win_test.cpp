// The hook's triggers, one family at a time: real windows with the classes and styles of the
// programs they stand for, real input, and for each the slot written, the input kept from the
// window, and, with the trigger's flag off, nothing written and the input left to the window.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "../test_windows.h"
#include "hook_library_fixture.h"
#include "hook/hook_contract.h"
#include "hook/qf.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "win/handles.h"

namespace {

using hooktest::Drain;
using hooktest::HandleValue;
using testwin::TWindow;

constexpr wchar_t kSeenProperty[] = L"QfTriggerSeen";

// Everything the mouse did to one window, as its own procedure saw it.
struct TSeen {
  WNDPROC previous = nullptr;
  int wheel = 0;
  int middleDown = 0;
  int middleUp = 0;
  int rightDown = 0;
  int rightUp = 0;
  int leftUp = 0;
  // Where the window's hit test answers HTHELP (screen coordinates), if anywhere.
  RECT helpButton{};
};

LRESULT CALLBACK SeeingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* seen = static_cast<TSeen*>(::GetPropW(window, kSeenProperty));
  if (seen == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_NCHITTEST: {
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (::PtInRect(&seen->helpButton, at)) return HTHELP;
      break;
    }
    case WM_MOUSEWHEEL:
      ++seen->wheel;
      return 0;  // not handed to the parent, which would count it again
    case WM_MBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      ++seen->middleDown;
      break;
    case WM_MBUTTONUP:
    case WM_NCMBUTTONUP:
      ++seen->middleUp;
      break;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      ++seen->rightDown;
      break;
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
      ++seen->rightUp;
      break;
    case WM_LBUTTONUP:
      ++seen->leftUp;
      break;
    case WM_CONTEXTMENU:
      return 0;  // a system menu would hold the test in its loop
    default:
      break;
  }
  return ::CallWindowProcW(seen->previous, window, message, wParam, lParam);
}

// Lets the test see the window's mouse input; the record must outlive the window.
HWND Watch(HWND window, TSeen& seen) {
  if (window == nullptr) return nullptr;
  ::SetPropW(window, kSeenProperty, &seen);
  seen.previous =
      reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SeeingProc)));
  return window;
}

UINT Message(hook::THookMessage which) { return ::RegisterWindowMessageW(hook::RegisteredName(which).c_str()); }

void ExpectOneSlot(hook::THookShare& share, hook::THookMessage message, HWND target, std::uint32_t lParam) {
  const auto slots = Drain(share);
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].message, Message(message));
  EXPECT_EQ(slots[0].wParam, HandleValue(target));
  EXPECT_EQ(slots[0].lParam, lParam);
}

// Input arrives in order: once a left click on the window is in, whatever went before it
// (a release to swallow included) has been dealt with. Left clicks trigger nothing.
bool Fence(HWND window, TSeen& seen) {
  const int before = seen.leftUp;
  return testwin::ClickAt(testwin::CenterOf(window), MOUSEEVENTF_LEFTDOWN) &&
         testwin::PumpUntil([&] { return seen.leftUp > before; });
}

bool Click(HWND window, TSeen& seen, DWORD downFlag) {
  return testwin::ClickAt(testwin::CenterOf(window), downFlag) && Fence(window, seen);
}

bool Wheel(HWND window, TSeen& seen, int delta) {
  const POINT centre = testwin::CenterOf(window);
  if (!::SetCursorPos(centre.x, centre.y)) return false;
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_WHEEL;
  input.mi.mouseData = static_cast<DWORD>(delta);
  return ::SendInput(1, &input, sizeof(input)) == 1 && Fence(window, seen);
}

// A frame with exactly the styles the recognition accepts (the system adds bits of its own to
// new frames, so they are set again once it exists).
TWindow ShellFrame(const wchar_t* className, int x) {
  constexpr DWORD style =
      WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  testwin::EnsureClass(className);
  TWindow frame(::CreateWindowExW(WS_EX_WINDOWEDGE, className, L"frame", style, x, 40, 300, 260, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr));
  if (frame) {
    ::SetWindowLongW(frame.get(), GWL_STYLE, static_cast<LONG>(style));
    ::SetWindowLongW(frame.get(), GWL_EXSTYLE, static_cast<LONG>(WS_EX_WINDOWEDGE));
  }
  return frame;
}

// A "#32770" that the recognition takes for an old-style Open/Save dialog.
struct TFileDialog {
  TWindow dialog;
  HWND view = nullptr;

  TFileDialog(DWORD style, DWORD exStyle) : dialog(testwin::Dialog(style, exStyle, 30, 30, 250, 180)) {
    if (!dialog) return;
    view = testwin::Child(dialog.get(), L"SHELLDLL_DefView", {10, 10, 300, 220});
    testwin::Child(dialog.get(), L"ComboBoxEx32", {10, 230, 300, 250});
    testwin::Pump();
  }
};

class QfHookTriggers : public hooktest::THookLibraryTest {
 protected:
  // Installs with the given flags and starts from an empty queue.
  hook::THookShare* InstallClean(DWORD mouseWheel, DWORD help, DWORD rExplorer, DWORD mExplorer, DWORD mIExplorer,
                                 DWORD mDesktop, DWORD mouseMButton) {
    hook::THookShare* share = Install(mouseWheel, help, rExplorer, mExplorer, mIExplorer, mDesktop, mouseMButton);
    if (share) Drain(*share);
    return share;
  }
};

TEST_F(QfHookTriggers, WheelInAFileDialogFollowsTheDirectionSetting) {
  TFileDialog fake(WS_POPUP | WS_VISIBLE | WS_CAPTION, 0);
  TSeen seen;
  ASSERT_NE(Watch(fake.view, seen), nullptr);
  ::SetForegroundWindow(fake.dialog.get());
  ::SetFocus(fake.view);

  hook::THookShare* share = InstallClean(2, 0, 0, 0, 0, 0, 0);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(Wheel(fake.view, seen, WHEEL_DELTA));
  ExpectOneSlot(*share, hook::THookMessage::WheelMouse, fake.dialog.get(), tkFileDialog);
  EXPECT_EQ(seen.wheel, 0);
  ASSERT_TRUE(Wheel(fake.view, seen, -WHEEL_DELTA));
  EXPECT_TRUE(Drain(*share).empty()) << "forward only";
  EXPECT_EQ(seen.wheel, 1);

  ASSERT_NE(InstallClean(3, 0, 0, 0, 0, 0, 0), nullptr);
  ASSERT_TRUE(Wheel(fake.view, seen, -WHEEL_DELTA));
  ExpectOneSlot(*share, hook::THookMessage::WheelMouse, fake.dialog.get(), tkFileDialog);
  EXPECT_EQ(seen.wheel, 1);

  ASSERT_NE(InstallClean(0, 1, 1, 1, 1, 1, 1), nullptr);
  ASSERT_TRUE(Wheel(fake.view, seen, WHEEL_DELTA));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(seen.wheel, 2);
}

TEST_F(QfHookTriggers, MiddleClickInExplorerAndBrowserFramesFollowsTheirOwnFlags) {
  TWindow cabinet = ShellFrame(L"CabinetWClass", 20);
  TWindow browser = ShellFrame(L"IEFrame", 340);
  TSeen inCabinet, inBrowser;
  const HWND cabinetView = Watch(testwin::Child(cabinet.get(), L"SHELLDLL_DefView", {10, 10, 250, 200}), inCabinet);
  const HWND browserView = Watch(testwin::Child(browser.get(), L"Shell DocObject View", {10, 10, 250, 200}), inBrowser);
  ASSERT_TRUE(cabinetView && browserView);
  testwin::Pump();

  hook::THookShare* share = InstallClean(0, 0, 0, 1, 0, 0, 0);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(Click(cabinetView, inCabinet, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMExplorer, cabinet.get(), tkExplorer);
  ASSERT_TRUE(Click(browserView, inBrowser, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inCabinet.middleDown + inCabinet.middleUp, 0);
  EXPECT_EQ(inBrowser.middleDown + inBrowser.middleUp, 2);

  ASSERT_NE(InstallClean(0, 0, 0, 0, 1, 0, 0), nullptr);
  ASSERT_TRUE(Click(browserView, inBrowser, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMExplorer, browser.get(), tkInternetExplorer);
  ASSERT_TRUE(Click(cabinetView, inCabinet, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inBrowser.middleDown + inBrowser.middleUp, 2);
  EXPECT_EQ(inCabinet.middleDown + inCabinet.middleUp, 2);
}

TEST_F(QfHookTriggers, MiddleClickOnTheDesktopIsReportedOnlyThroughItsOwnWindows) {
  TWindow progman = testwin::Frame(L"Progman", {20, 20, 420, 320});
  TSeen inView, inOther;
  const HWND view = Watch(testwin::Child(progman.get(), L"SHELLDLL_DefView", {0, 0, 400, 150}), inView);
  const HWND other = Watch(testwin::Child(progman.get(), L"QfTriggerOther", {0, 160, 400, 300}), inOther);
  ASSERT_TRUE(view && other);
  testwin::Pump();

  hook::THookShare* share = InstallClean(0, 0, 0, 0, 0, 1, 0);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(Click(view, inView, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMDesktop, progman.get(), tkDesktop);
  EXPECT_EQ(inView.middleDown + inView.middleUp, 0);
  ASSERT_TRUE(Click(other, inOther, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty()) << "not the desktop's view";
  EXPECT_EQ(inOther.middleDown + inOther.middleUp, 2);

  ASSERT_NE(InstallClean(1, 1, 1, 1, 1, 0, 1), nullptr);
  ASSERT_TRUE(Click(view, inView, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inView.middleDown + inView.middleUp, 2);
}

void Put(std::uint16_t (&field)[hook::kListedTextChars], const wchar_t* text) {
  std::size_t i = 0;
  for (; text[i] != 0; ++i) field[i] = static_cast<std::uint16_t>(text[i]);
  field[i] = 0;
}

TEST_F(QfHookTriggers, MiddleClickAndWheelOverADialogTheListNamesComeAfterWhatIsKnown) {
  hook::TDialogList* list = DialogList();
  ASSERT_NE(list, nullptr);
  // The list outlives the test in this process: it is emptied again whatever happens.
  win::TScopeGuard emptied([list] { std::atomic_ref<std::uint32_t>(list->count).store(0); });
  *list = {};
  Put(list->entries[0].program, L"*.exe");
  Put(list->entries[0].className, L"QfListed*");
  Put(list->entries[0].title, L"List?d");
  // An entry naming the desktop's class: the desktop stays the desktop.
  Put(list->entries[1].className, L"Progman");
  list->count = 0xFFFFFFFFu;  // a forged count is taken as the whole list

  TWindow listed = testwin::Frame(L"QfListedDialog", {20, 20, 320, 320}, WS_POPUP | WS_VISIBLE | WS_CAPTION);
  TWindow untitled = testwin::Frame(L"QfListedDialog", {340, 20, 640, 320}, WS_POPUP | WS_VISIBLE | WS_CAPTION);
  TWindow progman = testwin::Frame(L"Progman", {20, 340, 320, 640});
  ::SetWindowTextW(listed.get(), L"Listed");
  ::SetWindowTextW(untitled.get(), L"Other");
  TSeen inPane, inOther, inDesktop;
  const HWND pane = Watch(testwin::Child(listed.get(), L"QfListedPane", {0, 0, 280, 260}), inPane);
  const HWND other = Watch(testwin::Child(untitled.get(), L"QfListedPane", {0, 0, 280, 260}), inOther);
  const HWND view = Watch(testwin::Child(progman.get(), L"SHELLDLL_DefView", {0, 0, 280, 260}), inDesktop);
  ASSERT_TRUE(pane && other && view);
  testwin::Pump();

  hook::THookShare* share = InstallClean(1, 0, 0, 0, 0, 1, 1);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(Click(pane, inPane, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMDialog, listed.get(), tkOwnDialog);
  EXPECT_EQ(inPane.middleDown + inPane.middleUp, 0) << "the click is the menu's";
  ASSERT_TRUE(Wheel(pane, inPane, WHEEL_DELTA));
  ExpectOneSlot(*share, hook::THookMessage::WheelMouse, listed.get(), tkOwnDialog);
  ASSERT_TRUE(Click(other, inOther, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty()) << "a title the entry does not name";
  EXPECT_EQ(inOther.middleDown + inOther.middleUp, 2);
  ASSERT_TRUE(Click(view, inDesktop, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMDesktop, progman.get(), tkDesktop);

  // With the middle-click flag off the listed dialog's clicks are the program's again.
  ASSERT_NE(InstallClean(0, 0, 0, 0, 0, 0, 0), nullptr);
  ASSERT_TRUE(Click(pane, inPane, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inPane.middleDown + inPane.middleUp, 2);
}

TEST_F(QfHookTriggers, MiddleClickInAnArchiverOrAFolderBrowseDialog) {
  TWindow rar = testwin::Frame(L"WinRarWindow", {20, 20, 320, 320});
  TWindow browse = testwin::Dialog(WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 230, 20, 150, 150);
  TSeen inRar, inBrowse;
  const HWND rarList = Watch(testwin::Child(rar.get(), L"QfTriggerList", {10, 10, 250, 250}), inRar);
  const HWND tree = Watch(testwin::Child(browse.get(), L"SysTreeView32", {10, 10, 200, 200}), inBrowse);
  ASSERT_TRUE(rarList && tree);
  testwin::Pump();

  hook::THookShare* share = InstallClean(0, 0, 0, 0, 0, 0, 1);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(Click(rarList, inRar, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMDialog, rar.get(), tkRarWindow);
  ASSERT_TRUE(Click(tree, inBrowse, MOUSEEVENTF_MIDDLEDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfMBrowse, browse.get(), HandleValue(tree));
  EXPECT_EQ(inRar.middleDown + inRar.middleUp + inBrowse.middleDown + inBrowse.middleUp, 0);

  ASSERT_NE(InstallClean(1, 1, 1, 1, 1, 1, 0), nullptr);
  ASSERT_TRUE(Click(rarList, inRar, MOUSEEVENTF_MIDDLEDOWN));
  ASSERT_TRUE(Click(tree, inBrowse, MOUSEEVENTF_MIDDLEDOWN));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inRar.middleDown + inRar.middleUp, 2);
  EXPECT_EQ(inBrowse.middleDown + inBrowse.middleUp, 2);
}

TEST_F(QfHookTriggers, RightClickOnTheAddressBarOfAnExplorerFrame) {
  TWindow cabinet = ShellFrame(L"CabinetWClass", 20);
  TSeen inAddress, inView;
  const HWND band = testwin::Child(cabinet.get(), L"Address Band Root", {0, 0, 280, 40});
  const HWND address = Watch(testwin::Child(band, L"ComboBoxEx32", {0, 0, 280, 40}), inAddress);
  const HWND view = Watch(testwin::Child(cabinet.get(), L"SHELLDLL_DefView", {0, 50, 280, 200}), inView);
  ASSERT_TRUE(address && view);
  testwin::Pump();

  hook::THookShare* share = InstallClean(0, 0, 1, 0, 0, 0, 0);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(Click(address, inAddress, MOUSEEVENTF_RIGHTDOWN));
  ExpectOneSlot(*share, hook::THookMessage::QfRExplorer, cabinet.get(), tkExplorer);
  EXPECT_EQ(inAddress.rightDown + inAddress.rightUp, 0);
  ASSERT_TRUE(Click(view, inView, MOUSEEVENTF_RIGHTDOWN));
  EXPECT_TRUE(Drain(*share).empty()) << "outside the address bar";
  EXPECT_EQ(inView.rightDown + inView.rightUp, 2);

  ASSERT_NE(InstallClean(1, 1, 0, 1, 1, 1, 1), nullptr);
  ASSERT_TRUE(Click(address, inAddress, MOUSEEVENTF_RIGHTDOWN));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inAddress.rightDown + inAddress.rightUp, 2);
}

// Wine draws no "?" caption button, so the dialog's hit test answers for one where Windows
// puts it: in the caption, left of the close button. Returns its centre.
POINT AddHelpButton(HWND dialog, TSeen& seen) {
  RECT frame{};
  ::GetWindowRect(dialog, &frame);
  POINT clientTop{0, 0};
  ::ClientToScreen(dialog, &clientTop);
  seen.helpButton = {frame.right - 60, frame.top + 2, frame.right - 40, clientTop.y - 2};
  return {frame.right - 50, (frame.top + clientTop.y) / 2};
}

TEST_F(QfHookTriggers, RightClickOnTheHelpButtonOfAFileDialog) {
  TFileDialog fake(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, WS_EX_CONTEXTHELP);
  TSeen inDialog, inView;
  ASSERT_NE(Watch(fake.dialog.get(), inDialog), nullptr);
  ASSERT_NE(Watch(fake.view, inView), nullptr);
  const POINT help = AddHelpButton(fake.dialog.get(), inDialog);
  ASSERT_EQ(::SendMessageW(fake.dialog.get(), WM_NCHITTEST, 0, MAKELPARAM(help.x, help.y)), HTHELP);

  hook::THookShare* share = InstallClean(0, 1, 0, 0, 0, 0, 0);
  ASSERT_NE(share, nullptr);
  ASSERT_TRUE(testwin::ClickAt(help, MOUSEEVENTF_RIGHTDOWN) && Fence(fake.view, inView));
  ExpectOneSlot(*share, hook::THookMessage::QfHelp, fake.dialog.get(), tkFileDialog);
  EXPECT_EQ(inDialog.rightDown + inDialog.rightUp, 0);

  ASSERT_NE(InstallClean(1, 0, 1, 1, 1, 1, 1), nullptr);
  ASSERT_TRUE(testwin::ClickAt(help, MOUSEEVENTF_RIGHTDOWN) && Fence(fake.view, inView));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(inDialog.rightDown + inDialog.rightUp, 2);
}

}  // namespace
