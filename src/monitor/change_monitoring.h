// The watch on the user's Recent folder: a worker thread waits for any change in the folder and
// tells the main thread, which merges a burst of changes into one notification 5 seconds after
// the first. Owned by the main window; StartChangeWatch, StopChangeWatch and the callback run on
// the main thread, and the worker reaches it only through synchronous calls to the watch's own
// message window (which also owns the merge timer).
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <string>

#include "win/handles.h"

class TFolderMonitoringThread;

class TChangeWatch {
 public:
  using TCallback = std::function<void()>;
  // Starts the merge timer of the watch's window; the system's SetTimer unless a test stands in
  // for it to make it fail.
  using TTimerStart = std::function<bool(HWND window, UINT_PTR id, UINT intervalMs)>;

  TChangeWatch();
  TChangeWatch(const TChangeWatch&) = delete;
  TChangeWatch& operator=(const TChangeWatch&) = delete;
  ~TChangeWatch();

  // The main window's ShellChangeNotifier1Change; set before the watch starts.
  void SetCallback(TCallback callback) { callback_ = std::move(callback); }
  void SetTimerStart(TTimerStart start) { timerStart_ = std::move(start); }
  void StartChangeWatch(const std::wstring& folder);
  // Stops the worker and waits (a bounded while, serving its calls meanwhile) until it has ended.
  void StopChangeWatch();

 private:
  friend class TMonitoringThread;
  friend class TFolderMonitoringThread;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Runs `call` on the main thread and returns when it has run; from the worker only.
  void Synchronize(const std::function<void()>& call);
  // The worker found a change: start the merge interval unless one runs already.
  void InstallTimer();
  void TimerBypassMultipleChanges();

  HWND window_ = nullptr;
  // The call Synchronize waits with, which the window's message runs; one at a time.
  std::atomic<const std::function<void()>*> pending_{nullptr};
  std::mutex synchronizing_;
  std::unique_ptr<TFolderMonitoringThread> thread_;
  bool active_ = false;
  // Read by the worker, written on the main thread.
  std::atomic<bool> timerInstalled_{false};
  TCallback callback_;
  TTimerStart timerStart_;
  // The last start of the merge timer failed: the log says so once it works again.
  bool timerFailed_ = false;
};
