#include "settings/command_line.h"
#include "win/text_rules.h"

std::wstring BuildCommandLineFolder(const std::vector<std::wstring>& args,
                                    const std::function<bool(const std::wstring&)>& isFolder) {
  if (args.empty()) return {};
  if (isFolder(args.front())) return args.front();
  std::wstring joined;
  for (const auto& arg : args) {
    if (!joined.empty()) joined += L' ';
    joined += arg;
  }
  return joined;
}

bool KeepsNoLogs(const std::vector<std::wstring>& args) { return !args.empty() && args.front() == kSwitchEraseIntel; }

void CheckPath(std::wstring& path) { path = text::WithTrailingSeparator(path); }

std::wstring QuotedArgument(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else {
      // Backslashes before a quote are doubled and the quote escaped; elsewhere they stand.
      if (c == L'"') quoted.append(backslashes + 1, L'\\');
      backslashes = 0;
    }
    quoted += c;
  }
  // The closing quote must not be escaped by a folder's trailing backslash.
  quoted.append(backslashes, L'\\');
  return quoted + L"\"";
}
