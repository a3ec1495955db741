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

// A top-level window of Explorer's classes, as the frames were found: whether its styles are an
// Explorer frame's, and the folder read from the frame itself (its tab in front; empty where it
// could not be read).
struct TFrameRead {
  std::uintptr_t frame = 0;
  bool styled = false;
  std::wstring folder;
};

// The folders frame by frame, nearest first: each frame's own read, then its tabs in the shell's
// order. A frame whose styles are not an Explorer frame's counts only where the shell's list
// names it (Windows 11 draws some so). Tabs of frames not in `frames` (hidden, or the target's
// own) are left out.
std::vector<std::wstring> FramesWithTabs(const std::vector<TFrameRead>& frames, const std::vector<TShellTab>& tabs);

// The position in `tabs` of the tab `frame` shows in front, by the shell's list alone: its one
// tab, or where it has several, the one whose own window is `frontTab` (the frame's visible tab
// window). None when the list does not tell.
std::optional<std::size_t> FrontTabIndex(std::uintptr_t frame, std::uintptr_t frontTab,
                                         const std::vector<TShellTab>& tabs);
// That tab's folder; empty when the list does not tell.
std::wstring FrontTabFolder(std::uintptr_t frame, std::uintptr_t frontTab, const std::vector<TShellTab>& tabs);
