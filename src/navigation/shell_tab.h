// One tab of a shell window as the shell's window list names it, and how the tabs join the
// folders read from the frames themselves. Portable, no state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The frame the tab lives in (a window handle as a number), its folder, empty where that is
// no folder of the file system, and the tab's own window inside the frame (0 where the shell
// did not name it).
struct TShellTab {
  std::uintptr_t frame = 0;
  std::wstring folder;
  std::uintptr_t tab = 0;
};

// The folders frame by frame, nearest first: each frame's own read (its tab in front), then its
// tabs in the shell's order. Tabs of frames not in `frames` (hidden, or the target's own) are
// left out. `frameReads` holds one entry per frame.
std::vector<std::wstring> FramesWithTabs(const std::vector<std::uintptr_t>& frames,
                                         const std::vector<std::wstring>& frameReads,
                                         const std::vector<TShellTab>& tabs);

// The position in `tabs` of the tab `frame` shows in front, by the shell's list alone: its one
// tab, or where it has several, the one whose own window is `frontTab` (the frame's visible tab
// window). None when the list does not tell.
std::optional<std::size_t> FrontTabIndex(std::uintptr_t frame, std::uintptr_t frontTab,
                                         const std::vector<TShellTab>& tabs);
// That tab's folder; empty when the list does not tell.
std::wstring FrontTabFolder(std::uintptr_t frame, std::uintptr_t frontTab, const std::vector<TShellTab>& tabs);
