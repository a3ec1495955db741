#include "menu/open_folders_rules.h"

namespace {

std::wstring WithoutTrailingBackslash(std::wstring path) {
  // "C:\" stays: without its backslash it would name the drive's current folder.
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

}  // namespace

std::vector<std::wstring> OpenFolderList(const std::vector<std::wstring>& nearestFirst,
                                         const std::wstring& targetFolder, const TSameFolder& same) {
  const std::wstring target = WithoutTrailingBackslash(targetFolder);
  std::vector<std::wstring> list;
  for (const std::wstring& read : nearestFirst) {
    const std::wstring folder = WithoutTrailingBackslash(read);
    if (folder.empty() || (!target.empty() && same(folder, target))) continue;
    bool listed = false;
    for (const std::wstring& earlier : list) listed = listed || same(earlier, folder);
    if (!listed) list.push_back(folder);
  }
  return list;
}
