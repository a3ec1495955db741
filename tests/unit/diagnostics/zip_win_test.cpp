// The archive on real files under Wine: names, the size limit, failures, and the caller's
// windows answering while a file is packed.
#include "diagnostics/zip.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../test_temp_folder.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

struct TListed {
  std::string name;
  std::uint32_t crc;
  std::uint32_t size;
  friend bool operator==(const TListed&, const TListed&) = default;
};

std::string Bytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::uint32_t At32(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8 |
         static_cast<unsigned char>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t At16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

// The central directory's entries: name bytes, CRC and uncompressed size.
std::vector<TListed> CentralDirectory(const std::string& zip) {
  std::vector<TListed> listed;
  const std::size_t end = zip.size() - 22;
  EXPECT_EQ(At32(zip, end), 0x06054b50u);
  for (std::size_t at = At32(zip, end + 16); at < end && At32(zip, at) == 0x02014b50;) {
    const std::uint16_t nameLength = At16(zip, at + 28);
    listed.push_back({zip.substr(at + 46, nameLength), At32(zip, at + 16), At32(zip, at + 24)});
    at += 46 + nameLength + At16(zip, at + 30) + At16(zip, at + 32);
  }
  return listed;
}

TEST(Zip, PacksRealFilesLeavesOutLargeOnesAndReportsFailuresByCode) {
  const testtmp::TTempFolder temp(L"qf-zip");
  const std::wstring base = temp.Root() + L"\\";
  ASSERT_TRUE(ForceDirectories(base + L"Log"));
  const std::string log = "7:00:00 Log (common): start\r\n";
  ASSERT_TRUE(testtmp::WriteBytes(base + L"Log\\folder.log", log));
  ASSERT_TRUE(testtmp::WriteBytes(base + L"Log\\limit.jpg", std::string(500000, 'j')));
  ASSERT_TRUE(testtmp::WriteBytes(base + L"Log\\over.jpg", std::string(500001, 'o')));
  ASSERT_TRUE(testtmp::WriteBytes(base + L"Log\\caf\u00e9 \u0416.log", "x"));
  const std::wstring archive = base + L"bug-report.zip";

  // A window of this thread that counts what reaches it while the files are packed.
  static int delivered = 0;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_APP) ++delivered;
    return ::DefWindowProcW(w, m, wp, lp);
  };
  windowClass.lpszClassName = L"QfZipTestWindow";
  ::RegisterClassW(&windowClass);
  const HWND window = ::CreateWindowW(L"QfZipTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  {
    TZip zip(archive, 4096, base);
    ::PostMessageW(window, WM_APP, 0, 0);
    zip.AddFile(base + L"Log\\folder.log");
    EXPECT_EQ(delivered, 1) << "the caller's messages are answered while the worker packs";
    // The tray's "Exit" while a file is packed: the quit is still there for the main loop after.
    ::PostQuitMessage(7);
    zip.AddFile(base + L"Log\\limit.jpg");
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was swallowed";
    EXPECT_EQ(quit.wParam, 7u);
    zip.AddFile(base + L"Log\\over.jpg");    // too large: left out
    zip.AddFile(base + L"Log\\missing.log");  // gone: left out
    zip.AddFile(base + L"Log\\caf\u00e9 \u0416.log");
    try {
      zip.AddFile(base + L"Log");
      ADD_FAILURE() << "a folder is no file";
    } catch (const EZipError& e) {
      EXPECT_EQ(e.Code(), 0x4004);
      EXPECT_STREQ(e.what(), "Read file error");
    }
    {
      // Held open by someone who shares it with nobody.
      const win::TFileHandle locked(
          ::CreateFileW((base + L"Log\\folder.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(locked);
      try {
        zip.AddFile(base + L"Log\\folder.log");
        ADD_FAILURE() << "a file nobody may open";
      } catch (const EZipError& e) {
        EXPECT_EQ(e.Code(), 0x4002);
        EXPECT_STREQ(e.what(), "Open file error");
      }
    }
    zip.Close();
  }
  ::DestroyWindow(window);
  const std::string bigOne(500000, 'j');
  // Names relative to the base, in the ANSI code page, with the letter outside it made "_".
  const std::vector<TListed> expected = {
      {"Log\\folder.log", ZipCrc32(0, log.data(), log.size()), static_cast<std::uint32_t>(log.size())},
      {"Log\\limit.jpg", ZipCrc32(0, bigOne.data(), bigOne.size()), 500000},
      {"Log\\caf\xe9 _.log", ZipCrc32(0, "x", 1), 1},
  };
  EXPECT_EQ(CentralDirectory(Bytes(archive)), expected);

  // An archive that cannot be created.
  try {
    TZip nowhere(L"Q:\\no\\such\\folder\\bug-report.zip", 4096, base);
    ADD_FAILURE() << "no drive Q:";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Code(), 0x4001);
    EXPECT_EQ(std::string(e.what()), "Error creating Q:\\no\\such\\folder\\bug-report.zip");
  }
}

}  // namespace
