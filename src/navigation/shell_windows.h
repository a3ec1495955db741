// The shell's own list of its windows (IShellWindows): one entry per Explorer tab, with the frame
// it lives in and the folder it shows, and the way to take a tab to another folder. The list is
// asked on a worker thread of its own, since a hung Explorer would hold a call into it without a
// bound; the caller waits no longer than it gives, and a late answer is dropped. Main thread (the
// agent's) starts and waits; the worker owns its COM objects.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "navigation/shell_tab.h"
#include "navigation/target_kind.h"

// The tab window an Explorer frame shows in front: its visible "ShellTabWindowClass" child (the
// others are tabs behind it); null for a frame without tab windows.
HWND FrontShellTab(HWND frame);

enum class TShellNavigation {
  Navigated,  // the shell took the tab in front to the folder
  NotListed,  // the system keeps no list, or the list does not tell which tab of the frame is in front
  Refused,    // the tab was found, and neither way to navigate it worked
  Late,       // the list did not answer within the limit
};
// Takes the tab `frame` shows in front to `folder` as the shell's own browser does
// (IShellBrowser::BrowseObject in the same browser, else IWebBrowser2::Navigate2), waiting no
// longer than `limit`.
TShellNavigation NavigateShellTab(HWND frame, const std::wstring& folder, std::chrono::milliseconds limit);

// The kind of `window` for the folder menu: ClassifyWindow's, except that a top-level window of
// Explorer's classes whose styles are not the ones ClassifyWindow knows is an Explorer frame when
// the shell's list names it (asked within the bound of a window read). Where the system keeps no
// list (Wine) ClassifyWindow decides alone. `byList` (when given) says whether the list decided.
TargetKind ClassifyWithShellList(HWND window, bool* byList = nullptr);

// Whether the system has answered that it keeps no window list (Wine's shell does): the list is
// then asked no more, and only the frames' own styles and windows tell.
bool ShellWindowListMissing();

// One read of the shell's list, every tab with its frame, tab window and folder: one per folder
// menu, shared by the reads of the menu's target and of "Open Folders", and started by the first
// that needs it.
class TShellTabsRead {
 public:
  // Starts the read, unless it has started or the system has shown that it keeps no such list.
  void Start();
  // The tabs (the read started first, where it has not), if the read ended within `limit` of its
  // start; none otherwise (a read that is late finishes on its own, and its answer is dropped).
  // The first answer stands: a later call returns it without waiting.
  const std::vector<TShellTab>& Wait(std::chrono::milliseconds limit);

  struct TState;

 private:
  std::shared_ptr<TState> state_;
  std::chrono::steady_clock::time_point started_;
  std::optional<std::vector<TShellTab>> answer_;
};
