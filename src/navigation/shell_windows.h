// The shell's own list of its windows (IShellWindows): one entry per Explorer tab, with the frame
// it lives in and the folder it shows. The list is asked on a worker thread of its own, since a
// hung Explorer would hold a call into it without a bound; the caller waits no longer than it
// gives. Main thread (the agent's) starts and waits; the worker owns its COM objects.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <vector>

#include "navigation/shell_tab.h"

class TShellTabsRead {
 public:
  // Starts the read, unless the system has shown that it keeps no such list.
  TShellTabsRead();
  // The tabs, if the read ended within `limit` of its start; none otherwise (a read that is
  // late finishes on its own, and its answer is dropped).
  std::vector<TShellTab> Wait(std::chrono::milliseconds limit);

  struct TState;

 private:
  std::shared_ptr<TState> state_;
  std::chrono::steady_clock::time_point started_;
};
