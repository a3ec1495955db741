#include "navigation/window_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "../test_temp_folder.h"
#include "../test_windows.h"
#include "settings/command_line.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/shell_windows.h"
#include "navigation/target_kind.h"
#include "win/handles.h"

namespace {

using testwin::Child;
using testwin::Control;
using testwin::Frame;
using testwin::TWindow;

std::wstring Hex(HWND window) { return logformat::HandleText(window); }

// Each test gets a fresh folder to name in titles and a private log to read the events from.
class GetPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.Root();
    folder_ = root_ + L"\\some folder";
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ResetLoggerForTests(root_ + L"\\Log\\");
  }
  void TearDown() override {
    CloseAllLogs();
    ResetLoggerForTests(L"");
  }

  // The event texts of the run log so far, each without its time.
  std::vector<std::wstring> Events() const {
    SaveAllLogs(false);
    std::string bytes;
    win::TFileHandle file(::CreateFileW((root_ + L"\\Log\\folder.log").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
      bytes.append(buffer, got);
    }
    std::vector<std::wstring> events;
    for (const std::wstring& line : logformat::DecodeLogLines(bytes)) {
      for (const wchar_t* mark : {L" Log (common): ", L" Err (common): "}) {
        const auto at = line.find(mark);
        if (at != std::wstring::npos) events.push_back(line.substr(at));
      }
    }
    return events;
  }

  // GetPath as the folder menu asks it, with a read of the shell's list of its own.
  static std::wstring PathOf(HWND window, int kind) {
    TShellTabsRead shellTabs;
    return GetPath(window, kind, ::GetCurrentThreadId(), shellTabs);
  }

  bool Logged(const std::wstring& text) const {
    const auto events = Events();
    return std::find(events.begin(), events.end(), text) != events.end();
  }

  const testtmp::TTempFolder temp_{L"qf_path"};
  std::wstring root_;
  std::wstring folder_;
};

TWindow TitledFrame(const wchar_t* className, const std::wstring& title) {
  TWindow frame = Frame(className, {0, 0, 400, 300});
  if (frame) ::SetWindowTextW(frame.get(), title.c_str());
  return frame;
}

// The classic address bar's tree in an Explorer frame; its combo box, whose text is the address.
HWND ClassicAddressBox(HWND explorer) {
  const HWND rebar = Child(Child(explorer, L"WorkerW", {0, 0, 400, 40}), L"ReBarWindow32", {0, 0, 400, 40});
  return Control(Child(rebar, L"ComboBoxEx32", {0, 0, 400, 30}), L"ComboBox", CBS_DROPDOWN, {0, 0, 400, 100});
}

TEST_F(GetPathTest, ExplorerTitledWithAFolderYieldsIt) {
  TWindow explorer = TitledFrame(L"CabinetWClass", folder_);
  ASSERT_TRUE(explorer);

  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), folder_);
  const std::wstring parameters = L"Wnd=" + Hex(explorer.get()) + L", Path=" + folder_;
  EXPECT_TRUE(Logged(logformat::RunEventText(L"GetPath", parameters)));
}

TEST_F(GetPathTest, ExplorerWithoutAFolderTitleReadsTheAddressBox) {
  TWindow explorer = TitledFrame(L"CabinetWClass", L"Documents");
  ASSERT_TRUE(explorer);
  const HWND combo = ClassicAddressBox(explorer.get());
  ASSERT_NE(combo, nullptr);
  ASSERT_TRUE(::SetWindowTextW(combo, folder_.c_str()));

  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), folder_);
}

TEST_F(GetPathTest, AShareIsNeverProbedTakenFromTheAddressBoxAndNotFromATitle) {
  // A title is any program's to set: a share there would make a probe sign in to that host.
  TWindow explorer = TitledFrame(L"CabinetWClass", L"\\\\attacker\\share");
  ASSERT_TRUE(explorer);
  const HWND combo = ClassicAddressBox(explorer.get());
  ASSERT_NE(combo, nullptr);
  // The address box shows the share Explorer is in, which no probe could reach from here.
  const std::wstring share = L"\\\\fileserver\\team\\docs";
  ASSERT_TRUE(::SetWindowTextW(combo, share.c_str()));
  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), share);
  ASSERT_TRUE(::SetWindowTextW(combo, L"\\\\fileserver\rdel"));
  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), L"") << "a share's text with a control character";

  TWindow browser = TitledFrame(L"IEFrame", L"\\\\attacker\\share - Browser");
  ASSERT_TRUE(browser);
  EXPECT_EQ(PathOf(browser.get(), tkInternetExplorer), L"");
}

// Counts the clicks a breadcrumb bar gets; a click would switch Explorer's into edit mode.
LRESULT CALLBACK CountingClicksProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) {
    auto* clicks = reinterpret_cast<int*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (clicks != nullptr) ++*clicks;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(GetPathTest, ExplorerBreadcrumbIsReadAsItIsAndClickedOnlyWhenItNamesNoFolder) {
  TWindow explorer = TitledFrame(L"CabinetWClass", L"some folder");
  ASSERT_TRUE(explorer);
  const HWND rebar = Child(Child(explorer.get(), L"WorkerW", {0, 0, 400, 40}), L"ReBarWindow32", {0, 0, 400, 40});
  const HWND progress =
      Child(Child(rebar, L"Address Band Root", {0, 0, 400, 30}), L"msctls_progress32", {0, 0, 400, 30});
  const HWND crumbs =
      Child(Child(progress, L"Breadcrumb Parent", {0, 0, 400, 30}), L"ToolbarWindow32", {0, 0, 400, 30});
  ASSERT_NE(crumbs, nullptr);
  int clicks = 0;
  ::SetWindowLongPtrW(crumbs, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&clicks));
  ::SetWindowLongPtrW(crumbs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingClicksProc));

  // Explorer's breadcrumb bar names the folder after a label.
  ASSERT_TRUE(::SetWindowTextW(crumbs, (L"Address: " + folder_).c_str()));
  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), folder_);
  EXPECT_EQ(clicks, 0);

  // A virtual folder names no path: only then is the bar clicked for an edit box.
  ASSERT_TRUE(::SetWindowTextW(crumbs, L"Address: Libraries"));
  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), L"");
  EXPECT_EQ(clicks, 1);
}

TEST_F(GetPathTest, VirtualFolderWithoutBackslashYieldsNothing) {
  TWindow explorer = TitledFrame(L"CabinetWClass", L"Control Panel");
  // Relative to the current folder this title names an existing folder, but it has no backslash.
  const std::wstring relative = folder_.substr(root_.size() + 1);
  TWindow relativeTitle = TitledFrame(L"CabinetWClass", relative);
  ASSERT_TRUE(explorer && relativeTitle);
  wchar_t previous[MAX_PATH + 1];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH + 1, previous), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(root_.c_str()));
  const std::wstring fromRelative = PathOf(relativeTitle.get(), tkExplorer);
  ::SetCurrentDirectoryW(previous);

  EXPECT_EQ(fromRelative, L"");
  EXPECT_EQ(PathOf(explorer.get(), tkExplorer), L"");
  EXPECT_TRUE(Logged(logformat::RunEventText(L"GetPath", L"Wnd=" + Hex(explorer.get()) + L", Path=")));
}

TEST_F(GetPathTest, BrowserTitleIsCutBeforeTheBrowserName) {
  TWindow browser = TitledFrame(L"IEFrame", folder_ + L" - Browser - Extra");
  ASSERT_TRUE(browser);

  EXPECT_EQ(PathOf(browser.get(), tkInternetExplorer), folder_);
}

TEST_F(GetPathTest, BrowserWithoutAFolderTitleReadsAndLogsTheAddressBox) {
  TWindow browser = TitledFrame(L"IEFrame", L"Start page - Browser");
  ASSERT_TRUE(browser);
  const HWND rebar = Child(Child(browser.get(), L"WorkerW", {0, 0, 400, 40}), L"ReBarWindow32", {0, 0, 400, 40});
  const HWND edit = Control(Child(rebar, L"Address Band Root", {0, 0, 400, 30}), L"Edit", 0, {0, 0, 400, 20});
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(::SetWindowTextW(edit, folder_.c_str()));

  EXPECT_EQ(PathOf(browser.get(), tkInternetExplorer), folder_);
  EXPECT_TRUE(Logged(logformat::RunEventText(L"GetPath", L"Wnd=" + Hex(edit) + L", Path=" + folder_)));
}

TEST_F(GetPathTest, FileDialogAndOtherKindsYieldNothing) {
  // Titled with a real folder, so only the kind keeps it from being the answer.
  TWindow window = TitledFrame(L"QfTestAnyWindow", folder_);
  ASSERT_TRUE(window);

  EXPECT_EQ(PathOf(window.get(), tkFileDialog), L"");
  EXPECT_EQ(PathOf(window.get(), tkDesktop), L"");
  EXPECT_EQ(PathOf(window.get(), tkRarWindow), L"");
}

TEST_F(GetPathTest, NoWindowYieldsNothingAndLogsTheError) {
  ::SetLastError(0);
  EXPECT_EQ(PathOf(nullptr, tkExplorer), L"");
  EXPECT_TRUE(Logged(logformat::ErrorEventText(L"GetPath", L"Wnd = 0", L"", 0, L"")));
}

}  // namespace
