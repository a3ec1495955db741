// The registry view against the real registry under Wine: relative and absolute key paths.
#include "startup/view_registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "../test_registry.h"

namespace {

TEST(ViewRegistry, RelativePathsBuildOnTheOpenKeyAndReadOnlyOpensFindAnAccess) {
  const testreg::TKeyStash stash(HKEY_CURRENT_USER, L"Software\\QfViewTest");
  TViewRegistry registry;
  ASSERT_TRUE(CommonOpenRegistryKey(registry, true, L"Software\\QfViewTest", false, true));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest");
  ASSERT_TRUE(registry.OpenKey(L"Inner", true, false));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest\\Inner");
  EXPECT_TRUE(registry.WriteInteger(L"Start", 3));
  EXPECT_EQ(registry.ReadInteger(L"Start"), 3u);
  EXPECT_EQ(registry.ReadInteger(L"Missing"), std::nullopt);

  // An absolute path starts again from the root; a failed open keeps the key that was open.
  ASSERT_TRUE(registry.OpenKeyReadOnly(L"\\Software\\QfViewTest\\Inner", true));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest\\Inner");
  EXPECT_EQ(registry.ReadInteger(L"Start"), 3u);
  EXPECT_FALSE(registry.OpenKeyReadOnly(L"Absent", false));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest\\Inner");
  testreg::SetString(registry.CurrentKey(), L"Text", L"3");
  EXPECT_EQ(registry.ReadInteger(L"Text"), std::nullopt);  // of another type
  EXPECT_TRUE(TViewRegistry::IsRelative(L"a\\b"));
  EXPECT_FALSE(TViewRegistry::IsRelative(L"\\a"));
}

}  // namespace
