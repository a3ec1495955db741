#include "menu/open_folders_rules.h"
#include "win/text_rules.h"

std::vector<std::wstring> OpenFolderList(const std::vector<std::wstring>& nearestFirst,
                                         const std::wstring& targetFolder, const TSameFolder& same) {
  const std::wstring target = text::WithoutTrailingSeparator(targetFolder);
  std::vector<std::wstring> list;
  for (const std::wstring& read : nearestFirst) {
    const std::wstring folder = text::WithoutTrailingSeparator(read);
    if (folder.empty() || (!target.empty() && same(folder, target))) continue;
    bool listed = false;
    for (const std::wstring& earlier : list) listed = listed || same(earlier, folder);
    if (!listed) list.push_back(folder);
  }
  return list;
}
