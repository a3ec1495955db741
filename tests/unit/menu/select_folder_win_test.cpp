#include "menu/select_folder.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <thread>

#include "../test_dialog_driver.h"
#include "../test_temp_folder.h"
#include "win/files.h"

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Two real folders, one inside the other, removed again afterwards.
class SelectFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    outer_ = temp_.Root();
    inner_ = outer_ + L"\\Inner";
    ASSERT_TRUE(ForceDirectories(inner_));
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

  // Selects an item through the dialog's queue and waits until the edit box shows `expected`
  // and keeps showing it. Wine's dialog re-selects its first folder once more while it settles;
  // a selection that lands before that is undone, and a user would click again: so does this.
  template <class Click>
  static std::wstring Select(HWND dialog, Click click, const std::wstring& expected) {
    constexpr int kClicks = 5;
    constexpr int kSettledPolls = 30;  // 300 ms of the box showing the selection
    std::wstring shown;
    for (int attempt = 0; attempt < kClicks; ++attempt) {
      click();
      int settled = 0;
      for (int i = 0; i < 200 && settled < kSettledPolls; ++i, ::Sleep(10)) {
        shown = EditText(dialog);
        settled = SamePath(shown, expected) ? settled + 1 : 0;
      }
      if (settled >= kSettledPolls) break;
    }
    return shown;
  }

  // Clicks the child called `name` of the tree's selected item, opening that item first, as a
  // user does. (Selecting by path instead sometimes finds no match in Wine's tree.)
  static void ClickChild(HWND dialog, const wchar_t* name) {
    HWND tree = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND window, LPARAM found) -> BOOL {
          wchar_t name[32] = {};
          ::GetClassNameW(window, name, 32);
          if (std::wstring(name) != WC_TREEVIEWW) return TRUE;
          *reinterpret_cast<HWND*>(found) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&tree));
    const auto selected = TreeView_GetSelection(tree);
    TreeView_Expand(tree, selected, TVE_EXPAND);
    for (auto item = TreeView_GetChild(tree, selected); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
      wchar_t text[MAX_PATH] = {};
      TVITEMW data{};
      data.mask = TVIF_TEXT;
      data.hItem = item;
      data.pszText = text;
      data.cchTextMax = MAX_PATH;
      if (TreeView_GetItem(tree, &data) && ::lstrcmpiW(text, name) == 0) {
        TreeView_SelectItem(tree, item);
        return;
      }
    }
  }

  static void Press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
  }

  // In its long form, as the dialog answers it; with a space in its name.
  const testtmp::TTempFolder temp_{L"qf select"};
  std::wstring outer_;
  std::wstring inner_;
};

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
    shown = Select(dialog, [dialog] { ClickChild(dialog, L"Inner"); }, inner_);
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
      shown = Select(
          dialog, [dialog, computer] { ::PostMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer)); },
          L"");
      ::CoTaskMemFree(computer);
    }
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(shown, L"");
  EXPECT_EQ(chosen, L"");
}

}  // namespace
