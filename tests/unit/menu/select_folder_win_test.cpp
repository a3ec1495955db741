#include "menu/select_folder.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <thread>

#include "../test_dialog_driver.h"
#include "win/files.h"

namespace {

// Two real folders, one inside the other, removed again afterwards.
class SelectFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
    wchar_t longTemp[MAX_PATH] = {};
    ASSERT_NE(::GetLongPathNameW(temp, longTemp, MAX_PATH), 0u);
    outer_ = std::wstring(longTemp) + L"qf select " + std::to_wstring(::GetCurrentProcessId());
    inner_ = outer_ + L"\\Inner";
    ASSERT_TRUE(ForceDirectories(inner_));
  }
  void TearDown() override {
    ::RemoveDirectoryW(inner_.c_str());
    ::RemoveDirectoryW(outer_.c_str());
  }

  // Shows the picker on this thread while `drive` works it from a helper thread.
  template <class F>
  std::wstring SelectDriven(const std::wstring& initial, F drive) {
    const DWORD thread = ::GetCurrentThreadId();
    std::thread helper([thread, &drive] {
      if (const HWND window = testdlg::WaitForDialog(thread)) drive(window);
    });
    std::wstring chosen = SelectFolder(nullptr, initial);
    helper.join();
    return chosen;
  }

  static std::wstring EditText(HWND dialog) {
    return testdlg::Text(::FindWindowExW(dialog, nullptr, L"Edit", nullptr));
  }

  // Selects an item the way a click in the tree would: posted, so it comes after the selection
  // the dialog's own start-up still has queued, then waits until the edit box shows `expected`.
  static std::wstring Select(HWND dialog, BOOL isPath, LPARAM item, const std::wstring& expected) {
    ::PostMessageW(dialog, BFFM_SETSELECTIONW, isPath, item);
    std::wstring shown;
    for (int i = 0; i < 500; ++i, ::Sleep(10)) {
      shown = EditText(dialog);
      if (::CompareStringOrdinal(shown.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL) break;
    }
    return shown;
  }

  static void Press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
  }

  std::wstring outer_;
  std::wstring inner_;
};

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST_F(SelectFolderTest, StartsAtTheInitialFolderAndReturnsIt) {
  std::wstring shown;
  bool found = false;
  const std::wstring chosen = SelectDriven(outer_, [&](HWND dialog) {
    found = true;
    shown = EditText(dialog);
    Press(dialog, IDOK);
  });
  ASSERT_TRUE(found);
  EXPECT_TRUE(SamePath(shown, outer_)) << shown;
  EXPECT_TRUE(SamePath(chosen, outer_)) << chosen;
}

TEST_F(SelectFolderTest, ChangedSelectionFillsTheEditBoxAndIsReturned) {
  std::wstring shown;
  const std::wstring chosen = SelectDriven(outer_, [&](HWND dialog) {
    shown = Select(dialog, TRUE, reinterpret_cast<LPARAM>(inner_.c_str()), inner_);
    Press(dialog, IDOK);
  });
  EXPECT_TRUE(SamePath(shown, inner_)) << shown;
  EXPECT_TRUE(SamePath(chosen, inner_)) << chosen;
}

TEST_F(SelectFolderTest, CancelReturnsNothing) {
  bool found = false;
  const std::wstring chosen = SelectDriven(outer_, [&](HWND dialog) {
    found = true;
    Press(dialog, IDCANCEL);
  });
  ASSERT_TRUE(found);
  EXPECT_EQ(chosen, L"");
}

TEST_F(SelectFolderTest, VirtualFolderLeavesTheEditBoxEmpty) {
  std::wstring shown = L"unchanged";
  const std::wstring chosen = SelectDriven(outer_, [&](HWND dialog) {
    // The computer folder has no file-system path.
    PIDLIST_ABSOLUTE computer = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer))) {
      shown = Select(dialog, FALSE, reinterpret_cast<LPARAM>(computer), L"");
      ::CoTaskMemFree(computer);
    }
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(shown, L"");
  EXPECT_EQ(chosen, L"");
}

}  // namespace
