#include "navigation/shell_tab.h"

std::vector<std::wstring> FramesWithTabs(const std::vector<TFrameRead>& frames, const std::vector<TShellTab>& tabs) {
  std::vector<std::wstring> folders;
  for (const TFrameRead& frame : frames) {
    std::vector<std::wstring> listed;
    for (const TShellTab& tab : tabs)
      if (tab.frame == frame.frame) listed.push_back(tab.folder);
    if (!frame.styled && listed.empty()) continue;
    folders.push_back(frame.folder);
    folders.insert(folders.end(), listed.begin(), listed.end());
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
