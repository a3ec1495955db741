#include "dialogs/add_item_dialog.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "resource.h"
#include "../test_dialog_driver.h"
#include "../test_registry.h"
#include "../test_resources.h"
#include "settings/settings_registry.h"
#include "settings/settings_values.h"

namespace {

constexpr wchar_t kCaption[] = L"Add new item";
constexpr wchar_t kCyrillicOk[] = L"\x041E\x041A";

std::optional<DWORD> StoredAlwaysAddDialog() {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"AlwaysAddDialog", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool SettingsKeyExists() { return static_cast<bool>(testreg::Open(HKEY_CURRENT_USER, kSettingsKey)); }

// What the helper saw of the dialog while it was up.
struct TSeen {
  bool found = false;
  std::wstring name;
  std::wstring okCaption;
  bool okEnabled = false;
  bool checked = false;
};

void Look(HWND dialog, TSeen& seen) {
  seen.found = true;
  seen.name = testdlg::ChildText(dialog, IDC_ADDITEM_NAME);
  seen.okCaption = testdlg::ChildText(dialog, IDOK);
  seen.okEnabled = ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE;
  seen.checked = ::SendDlgItemMessageW(dialog, IDC_ADDITEM_ALWAYS, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Shows the dialog on this thread while `drive` works it from a helper thread, and stores its
// answer as its owner does.
template <class F>
bool ShowDriven(TfmAddItem& dialog, const std::wstring& suggested, F drive) {
  const DWORD thread = ::GetCurrentThreadId();
  std::thread helper([thread, &drive] {
    if (const HWND window = testdlg::WaitForDialog(thread, kCaption)) drive(window);
  });
  const bool ok = dialog.Show(nullptr, suggested);
  helper.join();
  TSettingsValues settings;
  if (ok) SaveAlwaysAddDialog(settings, dialog.AlwaysAddDialog());
  return ok;
}

class AddItemDialog : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(testres::Program(), nullptr) << "qrfolder.exe must be built beside the tests"; }
  // The settings key starts absent and is put back as it was afterwards.
  testreg::TKeyStash stash_{HKEY_CURRENT_USER, kSettingsKey};
  TfmAddItem dialog_{testres::Program()};
};

TEST_F(AddItemDialog, OkStoresTheSettingAndReturnsTheEnteredName) {
  ASSERT_TRUE(testreg::Create(HKEY_CURRENT_USER, kSettingsKey));
  TSeen seen;
  const bool ok = ShowDriven(dialog_, L"Projects", [&](HWND window) {
    Look(window, seen);
    ::SetDlgItemTextW(window, IDC_ADDITEM_NAME, L"My projects");
    Click(window, IDOK);
  });

  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.name, L"Projects");
  EXPECT_EQ(seen.okCaption, kCyrillicOk);
  EXPECT_TRUE(seen.okEnabled);
  EXPECT_TRUE(seen.checked) << "the check box starts checked";
  EXPECT_TRUE(ok);
  EXPECT_EQ(dialog_.Name(), L"My projects");
  EXPECT_TRUE(dialog_.AlwaysAddDialog());
  EXPECT_EQ(StoredAlwaysAddDialog(), 1u);
}

TEST_F(AddItemDialog, OkFollowsTheNameBoxAndTheCheckBoxIsKept) {
  ASSERT_TRUE(testreg::Create(HKEY_CURRENT_USER, kSettingsKey));
  bool enabledWhenEmpty = true;
  bool enabledAfterTyping = false;
  const bool ok = ShowDriven(dialog_, L"Projects", [&](HWND window) {
    ::SetDlgItemTextW(window, IDC_ADDITEM_NAME, L"");
    enabledWhenEmpty = ::IsWindowEnabled(::GetDlgItem(window, IDOK)) != FALSE;
    ::SetDlgItemTextW(window, IDC_ADDITEM_NAME, L"D");
    enabledAfterTyping = ::IsWindowEnabled(::GetDlgItem(window, IDOK)) != FALSE;
    Click(window, IDC_ADDITEM_ALWAYS);
    Click(window, IDOK);
  });
  EXPECT_FALSE(enabledWhenEmpty);
  EXPECT_TRUE(enabledAfterTyping);
  ASSERT_TRUE(ok);
  EXPECT_EQ(dialog_.Name(), L"D");
  EXPECT_FALSE(dialog_.AlwaysAddDialog());
  EXPECT_EQ(StoredAlwaysAddDialog(), 0u);

  // Shown again: the box is as the user left it, the result name is emptied, Cancel keeps the
  // stored setting and the last result.
  TSeen again;
  const bool okAgain = ShowDriven(dialog_, L"Music", [&](HWND window) {
    Look(window, again);
    Click(window, IDCANCEL);
  });
  ASSERT_TRUE(again.found);
  EXPECT_FALSE(again.checked);
  EXPECT_EQ(again.name, L"Music");
  EXPECT_FALSE(okAgain);
  EXPECT_EQ(dialog_.Name(), L"");
  EXPECT_FALSE(dialog_.AlwaysAddDialog());
  EXPECT_EQ(StoredAlwaysAddDialog(), 0u);
}

TEST_F(AddItemDialog, CancelStoresNothing) {
  ASSERT_TRUE(testreg::Create(HKEY_CURRENT_USER, kSettingsKey));
  const bool ok = ShowDriven(dialog_, L"Projects", [&](HWND window) {
    ::SetDlgItemTextW(window, IDC_ADDITEM_NAME, L"Other");
    Click(window, IDC_ADDITEM_ALWAYS);
    Click(window, IDCANCEL);
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(dialog_.Name(), L"");
  EXPECT_TRUE(dialog_.AlwaysAddDialog()) << "the setting changes only with OK";
  EXPECT_EQ(StoredAlwaysAddDialog(), std::nullopt);
}

TEST_F(AddItemDialog, WithoutTheSettingsKeyOkWritesNothingAndCreatesNoKey) {
  const bool ok = ShowDriven(dialog_, L"Projects", [&](HWND window) {
    Click(window, IDC_ADDITEM_ALWAYS);
    Click(window, IDOK);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(dialog_.Name(), L"Projects");
  EXPECT_FALSE(dialog_.AlwaysAddDialog());
  EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(AddItemDialog, EnterWithAnEmptyNameDoesNotCloseTheDialog) {
  bool enabledAtStart = true;
  const bool ok = ShowDriven(dialog_, L"", [&](HWND window) {
    enabledAtStart = ::IsWindowEnabled(::GetDlgItem(window, IDOK)) != FALSE;
    // What Enter in the name box sends, whether or not the button is enabled.
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::SetDlgItemTextW(window, IDC_ADDITEM_NAME, L"Typed later");
    Click(window, IDOK);
  });
  EXPECT_FALSE(enabledAtStart);
  EXPECT_TRUE(ok);
  EXPECT_EQ(dialog_.Name(), L"Typed later");
}

}  // namespace
