// The data folders settled at start-up, against the real registry and file system under Wine.
#include "core/startup.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../test_log_files.h"
#include "../test_registry.h"
#include "../test_temp_folder.h"
#include "diagnostics/logger.h"
#include "startup/user_checks.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kDataKey[] = L"Software\\BrantwellTools\\Stewardry";
constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Sets a string value for one test and puts back what was there before.
class TRegistryValue {
 public:
  // Without a value: the value is removed for the test.
  TRegistryValue(const wchar_t* path, const wchar_t* name) : TRegistryValue(path, name, REG_NONE, L"") {
    ::RegDeleteValueW(key_.get(), name);
  }
  TRegistryValue(const wchar_t* path, const wchar_t* name, DWORD type, const std::wstring& value)
      : path_(path), name_(name) {
    HKEY raw = nullptr;
    EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    key_.reset(raw);
    DWORD size = 0;
    hadOld_ = ::RegQueryValueExW(raw, name, nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS;
    if (hadOld_) {
      old_.resize(size);
      ::RegQueryValueExW(raw, name, nullptr, &oldType_, old_.data(), &size);
    }
    ::RegSetValueExW(raw, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  ~TRegistryValue() {
    if (hadOld_)
      ::RegSetValueExW(key_.get(), name_, 0, oldType_, old_.data(), static_cast<DWORD>(old_.size()));
    else
      ::RegDeleteValueW(key_.get(), name_);
  }

 private:
  const wchar_t* path_;
  const wchar_t* name_;
  win::TRegKey key_;
  bool hadOld_ = false;
  DWORD oldType_ = 0;
  std::basic_string<BYTE> old_;
};

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(GetConfigurationFolder, StoredDataFolderIsCreatedAndGetsItsBackslash) {
  const testtmp::TTempFolder temp(L"qf-data");
  // Two levels that do not exist yet.
  const std::wstring folder = temp.Path(L"data\\nested");
  TRegistryValue saveDir(kDataKey, L"SaveDir", REG_SZ, folder);
  GetConfigurationFolder();
  EXPECT_EQ(ConfigurationFolder, folder + L"\\");
  EXPECT_EQ(LogFolder, folder + L"\\Log\\");
  EXPECT_TRUE(DirectoryExists(LogFolder));
}

TEST(GetConfigurationFolder, UncreatableDataFolderFallsBackToTheDocumentsFolder) {
  // No drive Q: exists, so the folder cannot be created.
  TRegistryValue saveDir(kDataKey, L"SaveDir", REG_SZ, L"Q:\\nowhere\\data\\");
  GetConfigurationFolder();
  EXPECT_TRUE(EndsWith(ConfigurationFolder, L"\\Quillrook files\\")) << ConfigurationFolder;
  EXPECT_NE(ConfigurationFolder.find(L":\\"), std::wstring::npos);
  EXPECT_TRUE(DirectoryExists(ConfigurationFolder));
  EXPECT_EQ(LogFolder, ConfigurationFolder + L"Log\\");
}

TEST(GetConfigurationFolder, TheProfileLookupIsNotAskedWhenTheDocumentsFolderServes) {
  TRegistryValue saveDir(kDataKey, L"SaveDir", REG_SZ, L"Q:\\nowhere\\data\\");
  GetConfigurationFolder();
  const std::wstring errorLog = LogFolder + L"folder_error.log";
  SaveAllLogs(false);
  ::DeleteFileW(errorLog.c_str());
  {
    // The documents folder is found by the shell; the second way to it, through the profile
    // folder and this value, is not needed and must leave no error behind.
    TRegistryValue personal(kShellFoldersKey, L"Personal");
    GetConfigurationFolder();
    SaveAllLogs(false);
  }
  EXPECT_TRUE(EndsWith(ConfigurationFolder, L"\\Quillrook files\\")) << ConfigurationFolder;
  EXPECT_FALSE(testlog::Has(testlog::Lines(errorLog), L"AdvCheck"));
}

TEST(GetCurrentUserDocSettingsPath, ProfileFolderEndsWithBackslashAndExists) {
  const std::wstring profile = GetCurrentUserDocSettingsPath();
  ASSERT_FALSE(profile.empty());
  EXPECT_EQ(profile.back(), L'\\');
  EXPECT_TRUE(DirectoryExists(profile));
}

TEST(AdvCheck, UserProfileValueResolvesToTheProfileFolderAndIsCreated) {
  TRegistryValue value(kShellFoldersKey, L"QfTestFolder", REG_EXPAND_SZ, L"%USERPROFILE%\\QfAdvCheck");
  const std::wstring resolved = AdvCheck(L"QfTestFolder");
  EXPECT_EQ(resolved, GetCurrentUserDocSettingsPath() + L"QfAdvCheck");
  EXPECT_TRUE(DirectoryExists(resolved));
  ::RemoveDirectoryW(resolved.c_str());
}

TEST(AdvCheck, CaseOfTheVariableDoesNotMatterAndOtherTextStandsAsItIs) {
  TRegistryValue lower(kShellFoldersKey, L"QfTestLower", REG_EXPAND_SZ, L"%userprofile%\\QfLower");
  EXPECT_EQ(AdvCheck(L"QfTestLower"), GetCurrentUserDocSettingsPath() + L"QfLower");
  ::RemoveDirectoryW((GetCurrentUserDocSettingsPath() + L"QfLower").c_str());
  TRegistryValue plain(kShellFoldersKey, L"QfTestPlain", REG_SZ, L"D:\\Elsewhere");
  EXPECT_EQ(AdvCheck(L"QfTestPlain"), L"D:\\Elsewhere");
}

TEST(AdvCheck, MissingValueGivesEmpty) { EXPECT_EQ(AdvCheck(L"QfNoSuchValue"), L""); }

TEST(AdvCheck, WithoutAProfileFolderNothingRelativeIsMade) {
  const std::wstring sid = GetAccountSID(CurrentUserName());
  ASSERT_FALSE(sid.empty());
  const testreg::TKeyStash profile(HKEY_LOCAL_MACHINE,
                                   L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid);
  ASSERT_EQ(GetCurrentUserDocSettingsPath(), L"");
  TRegistryValue value(kShellFoldersKey, L"QfTestRelative", REG_EXPAND_SZ, L"%USERPROFILE%\\QfRelative");
  EXPECT_EQ(AdvCheck(L"QfTestRelative"), L"");
  EXPECT_FALSE(DirectoryExists(L"QfRelative"));
  // Nor does a relative data folder of the sibling key take: the documents route is used.
  TRegistryValue saveDir(kDataKey, L"SaveDir", REG_SZ, L"QfRelativeData");
  GetConfigurationFolder();
  EXPECT_FALSE(DirectoryExists(L"QfRelativeData"));
  EXPECT_TRUE(EndsWith(ConfigurationFolder, L"\\Quillrook files\\")) << ConfigurationFolder;
}

}  // namespace

TEST(TakePassedFolder, OnlyAnAtomNamingAFolderIsTakenAndDeletedAndAnyOtherProgramsAtomIsLeftAlone) {
  const testtmp::TTempFolder temp(L"qf_passed_folder");
  const std::wstring folder = temp.Root() + L"\\passed on";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  // {atom's text, taken}: a folder, the reload switch, a share's path (never probed); another
  // program's text, a missing folder, a folder with a line break.
  const struct {
    std::wstring text;
    bool taken;
  } atoms[] = {{folder, true},
               {L"/update", true},
               {L"\\\\host\\share\\projects", true},
               {L"OleDdeWndClass", false},
               {folder + L"\\missing", false},
               {folder + L"\r\n", false}};
  for (const auto& atom : atoms) {
    const ATOM number = ::GlobalAddAtomW(atom.text.c_str());
    ASSERT_NE(number, 0);
    const auto taken = TakePassedFolder(number);
    EXPECT_EQ(taken.has_value(), atom.taken) << atom.text;
    if (taken) {
      EXPECT_EQ(*taken, atom.text);
    }
    EXPECT_EQ(::GlobalFindAtomW(atom.text.c_str()) == 0, atom.taken) << "deleted only when taken: " << atom.text;
    if (!atom.taken) ::GlobalDeleteAtom(number);
  }
  // Integer atoms and numbers past the atom table name nothing.
  EXPECT_FALSE(TakePassedFolder(0x1234));
  EXPECT_FALSE(TakePassedFolder(0x12345));
}
