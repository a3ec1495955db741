#include "core/command_line.h"

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

void CheckPath(std::wstring& path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
}

