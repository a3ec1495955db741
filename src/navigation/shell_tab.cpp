#include "navigation/shell_tab.h"

std::vector<std::wstring> FramesWithTabs(const std::vector<std::uintptr_t>& frames,
                                         const std::vector<std::wstring>& frameReads,
                                         const std::vector<TShellTab>& tabs) {
  std::vector<std::wstring> folders;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (i < frameReads.size()) folders.push_back(frameReads[i]);
    for (const TShellTab& tab : tabs)
      if (tab.frame == frames[i]) folders.push_back(tab.folder);
  }
  return folders;
}

std::wstring FrontTabFolder(std::uintptr_t frame, std::uintptr_t frontTab, const std::vector<TShellTab>& tabs) {
  const TShellTab* only = nullptr;
  int count = 0;
  for (const TShellTab& tab : tabs) {
    if (tab.frame != frame) continue;
    if (frontTab != 0 && tab.tab == frontTab) return tab.folder;
    only = &tab;
    ++count;
  }
  return count == 1 ? only->folder : std::wstring();
}
