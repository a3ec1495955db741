#include "navigation/console_lines.h"
#include "win/text_rules.h"

#include <cwctype>

namespace {

std::wstring LowerFileName(const std::wstring& path) { return text::LowerCase(text::FileNameOf(path)); }

// Inside double quotes the command processor still expands "%name%"; a "%" (and a stray double
// quote) is put outside the quotes, escaped with "^", and the quotes go on after it.
std::wstring CmdQuoted(const std::wstring& path) {
  std::wstring quoted = L"\"";
  for (const wchar_t c : path) {
    if (c == L'%' || c == L'"') {
      quoted += L"\"^";
      quoted += c;
      quoted += L'"';
    } else {
      quoted += c;
    }
  }
  return quoted + L'"';
}

// A single-quoted PowerShell string is literal ("$", "`" included); a quote inside it is doubled,
// and PowerShell takes the typographic single quotes for quotes too.
std::wstring PowerShellQuoted(const std::wstring& path) {
  std::wstring quoted = L"'";
  for (const wchar_t c : path) {
    quoted += c;
    if (c == L'\'' || c == L'\u2018' || c == L'\u2019' || c == L'\u201A' || c == L'\u201B') quoted += c;
  }
  return quoted + L'\'';
}

}  // namespace

TConsoleShell ConsoleShell(const std::vector<std::wstring>& imageNames) {
  TConsoleShell shell = TConsoleShell::Cmd;
  for (const std::wstring& image : imageNames) {
    const std::wstring name = LowerFileName(image);
    if (name == L"cmd.exe") shell = TConsoleShell::Cmd;
    if (name == L"powershell.exe" || name == L"pwsh.exe") shell = TConsoleShell::PowerShell;
  }
  return shell;
}

bool ShellAtPrompt(const std::vector<std::wstring>& imageNames) {
  for (const std::wstring& image : imageNames) {
    const std::wstring name = LowerFileName(image);
    if (name != L"cmd.exe" && name != L"powershell.exe" && name != L"pwsh.exe") return false;
  }
  return !imageNames.empty();
}

std::optional<std::wstring> ChangeDirectoryLine(TConsoleShell shell, const std::wstring& path) {
  if (text::HasControlCharacter(path)) return std::nullopt;
  return shell == TConsoleShell::PowerShell ? L"Set-Location -LiteralPath " + PowerShellQuoted(path)
                                            : L"cd /d " + CmdQuoted(path);
}
