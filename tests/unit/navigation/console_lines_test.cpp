#include "navigation/console_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(ChangeDirectoryLine, EachShellReadsThePathLiterally) {
  struct TRow {
    std::wstring path;
    std::wstring cmd;
    std::wstring powerShell;
  } rows[] = {
      {L"C:\\Data", L"cd /d \"C:\\Data\"", L"Set-Location -LiteralPath 'C:\\Data'"},
      {L"C:\\Program Files\\My App", L"cd /d \"C:\\Program Files\\My App\"",
       L"Set-Location -LiteralPath 'C:\\Program Files\\My App'"},
      {L"D:\\R&D (old)", L"cd /d \"D:\\R&D (old)\"", L"Set-Location -LiteralPath 'D:\\R&D (old)'"},
      {L"C:\\100% %PATH%", L"cd /d \"C:\\100\"^%\" \"^%\"PATH\"^%\"\"", L"Set-Location -LiteralPath 'C:\\100% %PATH%'"},
      {L"C:\\It's $HOME `n", L"cd /d \"C:\\It's $HOME `n\"", L"Set-Location -LiteralPath 'C:\\It''s $HOME `n'"},
      {L"C:\\Say \u2018hi\u2019", L"cd /d \"C:\\Say \u2018hi\u2019\"",
       L"Set-Location -LiteralPath 'C:\\Say \u2018\u2018hi\u2019\u2019'"},
      {L"C:\\a\"b", L"cd /d \"C:\\a\"^\"\"b\"", L"Set-Location -LiteralPath 'C:\\a\"b'"},
      {L"\\\\server\\share\\x y", L"cd /d \"\\\\server\\share\\x y\"",
       L"Set-Location -LiteralPath '\\\\server\\share\\x y'"},
  };
  for (const TRow& row : rows) {
    EXPECT_EQ(ChangeDirectoryLine(TConsoleShell::Cmd, row.path), row.cmd);
    EXPECT_EQ(ChangeDirectoryLine(TConsoleShell::PowerShell, row.path), row.powerShell);
  }
}

TEST(ChangeDirectoryLine, APathWithAControlCharacterGivesNoLine) {
  // A line break would run what follows it as a command of its own; the others are keys the
  // shell acts on (Backspace, Escape, Ctrl+C, Tab's completion).
  for (const std::wstring& path : {std::wstring(L"\\\\host\\share\rcalc.exe"), std::wstring(L"C:\\x\ndel /q *"),
                                   std::wstring(L"C:\\x\b\b\bWindows"), std::wstring(L"C:\\\x1B\x03x"),
                                   std::wstring(L"C:\\a\tb"), std::wstring(L"C:\\a\x7F"), std::wstring(L"C:\\a\0b", 6)})
    for (const TConsoleShell shell : {TConsoleShell::Cmd, TConsoleShell::PowerShell})
      EXPECT_EQ(ChangeDirectoryLine(shell, path), std::nullopt);
}

TEST(ShellAtPrompt, OnlyShellsBesideTheAgent) {
  const struct {
    const char* what;
    std::vector<std::wstring> images;
    bool atPrompt;
  } rows[] = {
      {"the shell alone", {L"C:\\Windows\\System32\\cmd.exe"}, true},
      {"a shell started from another", {L"cmd.exe", L"PWSH.EXE"}, true},
      {"a program the shell runs reads the input", {L"cmd.exe", L"ping.exe"}, false},
      {"a program that attached to the console", {L"powershell.exe", L"C:\\Tools\\evil.exe"}, false},
      {"a program named like a shell in its folder is still read by its name", {L"cmd.exe", L"cmd.exe.exe"}, false},
      {"no process known", {}, false},
  };
  for (const auto& row : rows) EXPECT_EQ(ShellAtPrompt(row.images), row.atPrompt) << row.what;
}

TEST(ConsoleShell, TheNewestShellOfTheConsoleReadsThePrompt) {
  EXPECT_EQ(ConsoleShell({}), TConsoleShell::Cmd);
  EXPECT_EQ(ConsoleShell({L"C:\\Windows\\System32\\cmd.exe"}), TConsoleShell::Cmd);
  EXPECT_EQ(ConsoleShell({L"cmd.exe", L"C:\\Program Files\\PowerShell\\7\\PWSH.EXE"}), TConsoleShell::PowerShell);
  EXPECT_EQ(ConsoleShell({L"powershell.exe", L"cmd.exe", L"ping.exe"}), TConsoleShell::Cmd);
  EXPECT_EQ(ConsoleShell({L"cmd.exe", L"WindowsPowerShell\\v1.0\\powershell.exe", L"git.exe"}),
            TConsoleShell::PowerShell);
}

}  // namespace
