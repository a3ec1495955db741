// Requests that other programs post to the agent's thread (a second instance's folder) are
// thread messages, and every modal loop of the agent (the folder menu, a dialog, a message box)
// drops those. A message-filter hook on the main thread takes them out of such loops and keeps
// them until the main loop runs again. Main thread.
#pragma once

#include <windows.h>

#include <vector>

#include "win/handles.h"

class TThreadRequests {
 public:
  TThreadRequests() = default;
  TThreadRequests(const TThreadRequests&) = delete;
  TThreadRequests& operator=(const TThreadRequests&) = delete;
  ~TThreadRequests();

  // Starts keeping the thread messages numbered `message` that reach this thread's modal loops.
  bool Keep(UINT message);
  // What was kept since the last call, oldest first.
  std::vector<MSG> Take();

 private:
  static LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam);

  // A hook procedure carries no context of its own: the one keeper of the thread is found here.
  static thread_local TThreadRequests* keeper_;
  UINT message_ = 0;
  win::THookHandle hook_;
  std::vector<MSG> kept_;
};
