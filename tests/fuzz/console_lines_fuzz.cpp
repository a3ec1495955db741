// Feeds arbitrary paths to the console-line builder and reads each line it makes the way the
// command processor and PowerShell read a typed line: every line must be one command whose
// argument is the path itself, character for character, and a path with a control character
// must give no line at all.
//
// The readers are models of the shells' rules for these lines. The command processor: percent
// expansion first (a "%" inside double quotes, or outside them without a caret, may expand);
// then, outside double quotes, a caret takes the next character literally and "&", "|", "<",
// ">", "(" and ")" end the command or redirect it; a double quote opens or closes a quoted part.
// PowerShell: after the command, one single-quoted string (any of ' ‘ ’ ‚ ‛ opens or closes it, and
// a doubled one is one literal quote), and nothing after it.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "navigation/console_lines.h"

namespace {

// The argument the command processor reads from a "cd /d" line, or none where the line would run
// more than that one command, redirect it, or expand a variable.
std::optional<std::wstring> CmdArgument(const std::wstring& line) {
  const std::wstring prefix = L"cd /d ";
  if (line.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  std::wstring argument;
  bool quoted = false;
  for (std::size_t i = prefix.size(); i < line.size(); ++i) {
    const wchar_t c = line[i];
    if (c == L'%' && (quoted || i == 0 || line[i - 1] != L'^')) return std::nullopt;
    if (quoted) {
      if (c == L'"')
        quoted = false;
      else
        argument += c;
      continue;
    }
    switch (c) {
      case L'"':
        quoted = true;
        break;
      case L'^':
        if (++i == line.size()) return std::nullopt;  // a caret at the end continues the line
        argument += line[i];
        break;
      case L'&':
      case L'|':
      case L'<':
      case L'>':
      case L'(':
      case L')':
      case L' ':
        return std::nullopt;  // another command, a redirection, or a second argument
      default:
        argument += c;
        break;
    }
  }
  if (quoted) return std::nullopt;  // an open quote swallows what follows
  return argument;
}

bool IsPowerShellQuote(wchar_t c) {
  return c == L'\'' || c == L'\u2018' || c == L'\u2019' || c == L'\u201A' || c == L'\u201B';
}

// The literal path of a "Set-Location -LiteralPath" line, or none where anything but the one
// single-quoted string follows the command.
std::optional<std::wstring> PowerShellArgument(const std::wstring& line) {
  const std::wstring prefix = L"Set-Location -LiteralPath ";
  if (line.compare(0, prefix.size(), prefix) != 0 || line.size() < prefix.size() + 2 ||
      !IsPowerShellQuote(line[prefix.size()]))
    return std::nullopt;
  std::wstring argument;
  for (std::size_t i = prefix.size() + 1; i < line.size(); ++i) {
    if (!IsPowerShellQuote(line[i])) {
      argument += line[i];
      continue;
    }
    if (i + 1 < line.size() && IsPowerShellQuote(line[i + 1])) {
      argument += line[i];
      ++i;
      continue;
    }
    // The string ends here: the line must end with it.
    return i + 1 == line.size() ? std::optional<std::wstring>(argument) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes as UTF-16 units, as Windows holds a path.
  std::wstring path;
  for (std::size_t i = 0; i + 1 < size; i += 2) path += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  bool control = false;
  for (const wchar_t c : path) control = control || c < 0x20 || c == 0x7F;
  for (const TConsoleShell shell : {TConsoleShell::Cmd, TConsoleShell::PowerShell}) {
    const std::optional<std::wstring> line = ChangeDirectoryLine(shell, path);
    if (control) {
      if (line) std::abort();  // a control character was let through
      continue;
    }
    if (!line) std::abort();
    const auto argument = shell == TConsoleShell::Cmd ? CmdArgument(*line) : PowerShellArgument(*line);
    if (!argument || *argument != path) std::abort();
  }
  return 0;
}
