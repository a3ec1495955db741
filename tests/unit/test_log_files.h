// The program's log files as the Windows tests read them back. Any thread.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "diagnostics/log_format.h"

namespace testlog {

// The lines of a UTF-16 log file; none when it does not exist.
inline std::vector<std::wstring> Lines(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return logformat::DecodeLogLines(std::string(std::istreambuf_iterator<char>(file), {}));
}

inline bool Has(const std::vector<std::wstring>& lines, const std::wstring& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::wstring& line) { return line.find(part) != std::wstring::npos; });
}

}  // namespace testlog
