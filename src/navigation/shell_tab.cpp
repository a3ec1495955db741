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

std::optional<std::size_t> FrontTabIndex(std::uintptr_t frame, std::uintptr_t frontTab,
                                         const std::vector<TShellTab>& tabs) {
  std::optional<std::size_t> only;
  int count = 0;
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i].frame != frame) continue;
    if (frontTab != 0 && tabs[i].tab == frontTab) return i;
    only = i;
    ++count;
  }
  return count == 1 ? only : std::nullopt;
}

std::wstring FrontTabFolder(std::uintptr_t frame, std::uintptr_t frontTab, const std::vector<TShellTab>& tabs) {
  const auto front = FrontTabIndex(frame, frontTab, tabs);
  return front ? tabs[*front].folder : std::wstring();
}
