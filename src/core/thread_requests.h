// Requests that other programs post to the agent's thread (a second instance's folder) are
// thread messages, and every modal loop of the agent (the folder menu, a dialog, a message box)
// drops those. A message-filter hook on the main thread takes them out of such loops and keeps
// them until the main loop runs again. Main thread.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "win/handles.h"

class TThreadRequests {
 public:
  TThreadRequests() = default;
  TThreadRequests(const TThreadRequests&) = delete;
  TThreadRequests& operator=(const TThreadRequests&) = delete;
  ~TThreadRequests();

  // Starts keeping the thread messages numbered `message` that reach this thread's modal loops
  // (each call adds one number).
  bool Keep(UINT message);
  // Asked first for each such message: true when it served the request in the modal loop at
  // once (the loop's own window can take it), false to keep it.
  void ServeAtOnce(std::function<bool(const MSG&)> serve) { serve_ = std::move(serve); }
  // What was kept since the last call, oldest first: the first 64, a flood's rest dropped.
  std::vector<MSG> Take();

 private:
  static LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam);

  // A hook procedure carries no context of its own: the one keeper of the thread is found here.
  static thread_local TThreadRequests* keeper_;
  std::vector<UINT> messages_;
  std::function<bool(const MSG&)> serve_;
  win::THookHandle hook_;
  std::vector<MSG> kept_;
};
