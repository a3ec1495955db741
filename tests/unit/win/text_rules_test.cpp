// The text and path rules every part of the program shares, as tables.
#include "win/text_rules.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextRules, CaseBlindComparisonTrimmingAndPaths) {
  EXPECT_TRUE(text::SameCaseBlind(L"C:\\Users\\Ann", L"c:\\USERS\\ann"));
  EXPECT_FALSE(text::SameCaseBlind(L"C:\\Users", L"C:\\Users\\"));
  EXPECT_TRUE(text::LessCaseBlind(L"apple", L"Banana"));
  EXPECT_FALSE(text::LessCaseBlind(L"Banana", L"apple"));
  EXPECT_EQ(text::FindCaseBlind(L"%userprofile%\\Documents", L"%USERPROFILE%"), 0u);
  EXPECT_EQ(text::FindCaseBlind(L"D:\\Documents", L"%USERPROFILE%"), std::wstring::npos);

  // Blanks and control characters go from both ends; inside they stay.
  struct {
    const wchar_t* text;
    const wchar_t* trimmed;
  } trims[] = {{L"  C:\\My Folder \t\r\n", L"C:\\My Folder"},
               {L"   ", L""},
               {L"x", L"x"},
               {L"\x01"
                L"a b\x1f",
                L"a b"}};
  for (const auto& t : trims) EXPECT_EQ(text::Trim(t.text), t.trimmed) << t.text;

  struct {
    const wchar_t* path;
    const wchar_t* with;
    const wchar_t* without;
    const wchar_t* name;
    const wchar_t* parent;
  } paths[] = {
      {L"C:\\Docs", L"C:\\Docs\\", L"C:\\Docs", L"Docs", L"C:"},
      {L"C:\\Docs\\\\", L"C:\\Docs\\\\", L"C:\\Docs", L"", L"C:\\Docs\\"},
      {L"C:\\", L"C:\\", L"C:\\", L"", L"C:"},
      {L"\\\\server\\share\\", L"\\\\server\\share\\", L"\\\\server\\share", L"", L"\\\\server\\share"},
      {L"D:/games/", L"D:/games/", L"D:/games", L"", L"D:/games"},
      {L"file.txt", L"file.txt\\", L"file.txt", L"file.txt", L""},
      {L"", L"", L"", L"", L""},
  };
  for (const auto& p : paths) {
    EXPECT_EQ(text::WithTrailingSeparator(p.path), p.with) << p.path;
    EXPECT_EQ(text::WithoutTrailingSeparator(p.path), p.without) << p.path;
    EXPECT_EQ(text::FileNameOf(p.path), p.name) << p.path;
    EXPECT_EQ(text::ParentOf(p.path), p.parent) << p.path;
  }
  EXPECT_EQ(text::JoinPath(L"C:\\Docs", L"a.lnk"), L"C:\\Docs\\a.lnk");
  EXPECT_EQ(text::JoinPath(L"C:\\Docs\\", L"a.lnk"), L"C:\\Docs\\a.lnk");
  EXPECT_EQ(text::JoinPath(L"", L"a.lnk"), L"a.lnk");
}

TEST(TextRules, ProgramFilesAndControlCharacters) {
  const struct {
    const wchar_t* path;
    bool program;
  } rows[] = {
      {L"C:\\Docs\\report.docx", false},
      {L"C:\\Docs\\notes", false},
      {L"C:\\Docs\\setup.EXE", true},
      {L"\\\\host\\share\\run.bat", true},
      {L"C:\\Docs\\x.cmd", true},
      {L"C:\\Docs\\a.ps1", true},
      {L"C:\\Docs\\a.vbs", true},
      {L"C:\\Docs\\a.js", true},
      {L"C:\\Docs\\a.msi", true},
      {L"C:\\Docs\\a.lnk", true},
      {L"C:\\Docs\\a.scr", true},
      {L"C:\\Docs\\a.pif", true},
      {L"C:\\Docs\\a.cpl", true},
      {L"C:\\Docs\\a.com", true},
      {L"C:\\Docs\\setup.exe. . ", true},  // the file system drops the trailing dots and blanks
      {L"C:\\Docs\\x.txt:run.exe", true},  // a stream runs as what it names
      {L"C:\\setup.exe\\readme.txt", false},
  };
  for (const auto& row : rows) EXPECT_EQ(text::IsProgramFileName(row.path), row.program) << row.path;
  EXPECT_FALSE(text::HasControlCharacter(L"C:\\R&D (old) \u00C4 %x% 'y'"));
  for (const std::wstring& text : {std::wstring(L"a\rb"), std::wstring(L"a\nb"), std::wstring(L"\x1B"),
                                   std::wstring(L"a\x7F"), std::wstring(L"a\0b", 3)})
    EXPECT_TRUE(text::HasControlCharacter(text));
}
