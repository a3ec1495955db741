// The registry export of an error report: the system's own export tool writes the key, never a
// program of the same name that someone put beside the program (a per-user copy's folder is the
// user's to write), in the current folder or on the search path.
#include "diagnostics/bug_report.h"

#include <gtest/gtest.h>

#include <string>

#include "../test_temp_folder.h"
#include "diagnostics/logger.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  return value;
}

TEST(BackupRegistryKey, TheSystemsExportToolWritesTheKeyNotOneOfTheSameNameNearby) {
  const testtmp::TTempFolder temp{L"qf_backup"};
  const std::wstring folder = temp.Root();
  ResetLoggerForTests(folder + L"\\Log\\");
  // Stand-ins that write no file: the test tool, which prints its usage for these arguments.
  const std::wstring programFolder = ProgramFolder();
  const std::wstring standIn = programFolder + L"qftool.exe";
  ASSERT_TRUE(FileExists(standIn)) << "no program to plant";
  const win::TScopeGuard removed([&] {
    for (const wchar_t* name : {L"regedit.exe", L"reg.exe"}) ::DeleteFileW((programFolder + name).c_str());
  });
  for (const wchar_t* name : {L"regedit.exe", L"reg.exe"}) {
    ASSERT_TRUE(::CopyFileW(standIn.c_str(), (folder + L"\\" + name).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(standIn.c_str(), (programFolder + name).c_str(), FALSE));
  }
  const std::wstring path = Environment(L"PATH");
  wchar_t current[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, current);
  ::SetEnvironmentVariableW(L"PATH", (folder + L";" + path).c_str());
  ::SetCurrentDirectoryW(folder.c_str());
  const win::TScopeGuard restored([&] {
    ::SetCurrentDirectoryW(current);
    ::SetEnvironmentVariableW(L"PATH", path.c_str());
    CloseAllLogs();
    ResetLoggerForTests(L"");
  });

  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QfBackupTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &raw, nullptr),
            ERROR_SUCCESS);
  const win::TRegKey key(raw);
  const wchar_t data[] = L"kept";
  ::RegSetValueExW(key.get(), L"Value", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);

  BackupRegistryKey(L"Software\\QfBackupTest", folder + L"\\out", true, true, false);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QfBackupTest");
  EXPECT_TRUE(FileExists(folder + L"\\out.reg")) << "the export was not written by the system's tool";
}

TEST(ScrubRegistryExport, TheSystemsExportLeavesWithoutTheMailSettingsAndAHiveNotAtAll) {
  const testtmp::TTempFolder temp{L"qf_scrub"};
  const std::wstring folder = temp.Root();
  ResetLoggerForTests(folder + L"\\Log\\");
  const win::TScopeGuard restored([] {
    CloseAllLogs();
    ResetLoggerForTests(L"");
  });
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QfScrubTest\\1.0", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &raw, nullptr),
            ERROR_SUCCESS);
  const win::TRegKey key(raw);
  const win::TScopeGuard removed([] { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QfScrubTest"); });
  const wchar_t host[] = L"smtp.quillrook.test", caption[] = L"MailHost";
  ::RegSetValueExW(key.get(), L"MailHost", 0, REG_SZ, reinterpret_cast<const BYTE*>(host), sizeof host);
  ::RegSetValueExW(key.get(), L"Caption", 0, REG_SZ, reinterpret_cast<const BYTE*>(caption), sizeof caption);
  // Long enough for the export to carry it over several lines.
  std::string sealed(120, '\x5a');
  ::RegSetValueExW(key.get(), L"MailPassword", 0, REG_BINARY, reinterpret_cast<const BYTE*>(sealed.data()),
                   static_cast<DWORD>(sealed.size()));
  const DWORD width = 16;
  ::RegSetValueExW(key.get(), L"Width", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&width), sizeof width);

  BackupRegistryKey(L"Software\\QfScrubTest", folder + L"\\cur_opt", true, true, false);
  const std::wstring exported = folder + L"\\cur_opt.reg";
  ASSERT_TRUE(FileExists(exported));
  std::string bytes = ReadFileBytes(exported);
  const auto holds = [&](const wchar_t* text) {
    const std::wstring wide = text;
    return bytes.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)) != std::string::npos;
  };
  ASSERT_TRUE(holds(L"5a,5a")) << "the export carries the password's bytes";
  ASSERT_TRUE(ScrubRegistryExport(exported));
  bytes = ReadFileBytes(exported);
  EXPECT_TRUE(holds(L"\"Width\"=dword:00000010")) << "the rest stays";
  EXPECT_TRUE(holds(L"\"Caption\"=\"MailHost\""));
  EXPECT_FALSE(holds(L"\"MailHost\"="));
  EXPECT_FALSE(holds(L"smtp.quillrook.test"));
  EXPECT_FALSE(holds(L"\"MailPassword\""));
  EXPECT_FALSE(holds(L"5a,5a")) << "no line of the password's data is left";

  // A hive (what the backup privilege saves) holds them too and cannot be cleaned: it stays home.
  const std::wstring hive = folder + L"\\all_opt.reg";
  {
    const win::TFileHandle out(::CreateFileW(hive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(WriteAll(out.get(), std::string("regf\x01\0\0\0MailPassword", 20)));
  }
  EXPECT_FALSE(ScrubRegistryExport(hive));
  EXPECT_FALSE(FileExists(hive));
}

TEST(BackupSystem, AFileLinkedIntoTheLogFolderIsNeitherPackedNorRewritten) {
  const testtmp::TTempFolder temp{L"qf_linked"};
  const std::wstring folder = temp.Root() + L"\\";
  ForceDirectories(folder + L"Log");
  ResetLoggerForTests(folder + L"Log\\");
  const win::TScopeGuard restored([] {
    CloseAllLogs();
    ResetLoggerForTests(L"");
  });
  // A file of someone else's, and a name for it in the log folder, as a registry export with a
  // mail setting to take out and as a log.
  const std::wstring secret = temp.Root() + L"\\secret.txt";
  const std::string text = "REGEDIT4\r\n\"MailHost\"=\"x\"\r\nprivate\r\n";
  {
    const win::TFileHandle out(::CreateFileW(secret.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(WriteAll(out.get(), text));
  }
  ASSERT_TRUE(::CreateHardLinkW((folder + L"Log\\old.reg").c_str(), secret.c_str(), nullptr));
  ASSERT_TRUE(::CreateHardLinkW((folder + L"Log\\old.log").c_str(), secret.c_str(), nullptr));
  {
    const win::TFileHandle out(
        ::CreateFileW((folder + L"Log\\plain.log").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(WriteAll(out.get(), "a log of its own\r\n"));
  }
  EXPECT_TRUE(IsLinkedFile(folder + L"Log\\old.log"));
  EXPECT_FALSE(IsLinkedFile(folder + L"Log\\plain.log"));
  TBugReport report;
  ASSERT_TRUE(BackupSystem(folder, report));
  bool plainPacked = false;
  for (const TReportFile& file : report.files) {
    EXPECT_EQ(file.entry.find(L"old."), std::wstring::npos) << file.entry;
    plainPacked = plainPacked || file.entry == L"Log\\plain.log";
  }
  EXPECT_TRUE(plainPacked);
  EXPECT_EQ(ReadFileBytes(secret), text) << "the linked file is left as it was";
}

}  // namespace
