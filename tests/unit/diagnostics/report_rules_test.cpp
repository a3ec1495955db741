#include "diagnostics/report_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using reportrules::IsRegistryExportText;
using reportrules::ShownText;
using reportrules::WithoutMailSettings;

TEST(ReportRules, AnExportLosesEveryMailSettingAndNothingElse) {
  const std::wstring head =
      L"\xFEFFWindows Registry Editor Version "
      L"5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\BrantwellTools\\QuillrookFolder\\1.0]\r\n";
  struct TCase {
    std::wstring values, kept;
    int removed;
  };
  const TCase cases[] = {
      {L"\"MailHost\"=\"smtp.example\"\r\n\"Width\"=dword:00000010\r\n", L"\"Width\"=dword:00000010\r\n", 1},
      // The password as the agent stores it: hex over several lines, every one of them dropped.
      {L"\"MailPassword\"=hex:01,00,00,00,d0,8c,9d,df,\\\r\n  01,15,d1,11,8c,7a,\\\r\n  00,c0\r\n\"Next\"=\"x\"\r\n",
       L"\"Next\"=\"x\"\r\n", 1},
      // Any case, blanks before the name, and every one of the six.
      {L"  \"mailuser\"=\"a\"\r\n\"MAILSENDER\"=\"b\"\r\n\"MailRecipient\"=\"c\"\r\n\"MailPort\"=dword:0000024b\r\n"
       L"\"MailPassword\"=\"Sekrit-123\"\r\n",
       L"", 5},
      // Names that only look like one, and data that mentions one, stay.
      {L"\"MailHostName\"=\"k\"\r\n\"Caption\"=\"\\\"MailHost\\\"=x\"\r\n@=\"MailPassword\"\r\n",
       L"\"MailHostName\"=\"k\"\r\n\"Caption\"=\"\\\"MailHost\\\"=x\"\r\n@=\"MailPassword\"\r\n", 0},
      // An escaped quotation mark in a name is read through.
      {L"\"Mail\\\"Host\"=\"a\"\r\n\"Mail\\\\Host\"=\"b\"\r\n", L"\"Mail\\\"Host\"=\"a\"\r\n\"Mail\\\\Host\"=\"b\"\r\n",
       0},
      // A continued value that is no mail setting keeps its lines; the last line lacks its end.
      {L"\"Blob\"=hex:00,\\\r\n  01\r\n\"MailUser\"=\"u\"", L"\"Blob\"=hex:00,\\\r\n  01\r\n", 1},
  };
  for (const TCase& c : cases) {
    int removed = -1;
    EXPECT_EQ(WithoutMailSettings(head + c.values, removed), head + c.kept) << c.values;
    EXPECT_EQ(removed, c.removed) << c.values;
  }
}

TEST(ReportRules, OnlyATextExportCanBeCheckedAndOnlyTextIsShown) {
  EXPECT_TRUE(IsRegistryExportText(L"\xFEFFWindows Registry Editor Version 5.00\r\n"));
  EXPECT_TRUE(IsRegistryExportText(L"REGEDIT4\r\n"));
  EXPECT_FALSE(IsRegistryExportText(L"regf\x01"));  // a saved hive
  EXPECT_FALSE(IsRegistryExportText(L""));

  EXPECT_EQ(ShownText(std::string("\xFF\xFE"
                                  "a\0b\0\r\0\n\0",
                                  10)),
            L"ab\r\n");
  EXPECT_EQ(ShownText("plain\r\ntext\t."), L"plain\r\ntext\t.");
  EXPECT_EQ(ShownText(std::string("\xFF\xD8\xFF\xE0\0\x10", 6)), L"(6 bytes, not text)");
  EXPECT_EQ(ShownText(""), L"");
}

}  // namespace
