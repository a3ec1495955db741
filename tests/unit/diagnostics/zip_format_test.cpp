#include "diagnostics/zip_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZipFormat, EntryNamesAreRelativeToTheBaseStayInsideItAndHaveWideCharactersReplaced) {
  const std::wstring base = L"C:\\Users\\anna\\Quillrook files\\";
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\Users\\anna\\Quillrook files\\Log\\folder.log", L"Log\\folder.log"},
      {L"c:\\users\\ANNA\\quillrook files\\cur_opt.reg", L"cur_opt.reg"},
      // Outside the base: never a name that climbs out of the folder it is unpacked into, nor a drive.
      {L"C:\\Users\\anna\\Other\\x.log", L"Other\\x.log"},
      {L"D:\\x.log", L"D_\\x.log"},
      {L"\\\\host\\share\\x.log", L"host\\share\\x.log"},
      {L"C:\\Users\\anna\\Quillrook files\\Log\\..\\..\\..\\x.log", L"Log\\x.log"},
      {L"C:\\Users\\anna\\Quillrook files\\a.log:stream", L"a.log_stream"},
      {L"C:\\Users\\anna\\Quillrook files\\Log\\\u0416\u0401\u00e9.log", L"Log\\_\u0401\u00e9.log"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(ZipEntryName(path, base), name);
  EXPECT_EQ(ZipEntryName(base + std::wstring(300, L'a'), base).size(), 255u);
}

TEST(ZipFormat, ErrorCodesReadAsTheirReasonAndOperation) {
  const std::pair<int, std::wstring> cases[] = {
      {0x4001, L"Create file error (Zip)"}, {0x4002, L"Open file error (Zip)"},   {0x4004, L"Read file error (Zip)"},
      {0x4005, L"Write file error (Zip)"},  {0x4007, L"Low disk space (Zip)"},    {0x1006, L"Set file attr. error (Copy)"},
      {0x2008, L"Illegal GZip header (GZip)"}, {0x3009, L"Corrupt file (GUnzip)"}, {0x5014, L"Terminated by user (Encrypt)"},
      {0x6003, L"Close file error (Decrypt)"}, {0x4063, L"Unknown error (Zip)"},   {0x7002, L"Open file error"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(GetCopyErrMsg(code), text) << code;
  EXPECT_EQ(ZipCrc32(0, "123456789", 9), 0xCBF43926u);
}

}  // namespace
