#include "monitor/change_monitoring.h"

#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "win/files.h"

namespace {

constexpr wchar_t kWindowClass[] = L"QuillFolderChangeWatch";
// The worker's calls into the main thread, and the merge timer: identifier 3, one shot of 5 s.
constexpr UINT WM_QFSYNCHRONIZE = WM_APP + 3;
constexpr UINT_PTR kMergeTimer = 3;
constexpr UINT kMergeIntervalMs = 5000;
// FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION.
constexpr DWORD kChangeFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION;
static_assert(kChangeFilter == 0x51);
// After a change is reported, the shell's burst of writes settles before the next request.
constexpr DWORD kAfterChangeMs = 100;
// A request that failed is given up; the next one starts after this pause, never at once.
constexpr DWORD kRetryPauseMs = 1000;
// Stopping waits this long for the worker, serving its calls meanwhile.
constexpr DWORD kStopWaitMs = 5000;

}  // namespace

// A worker thread that reports to the log through the main thread: its log events are handed
// over in synchronous calls, as the rest of the agent writes them there.
class TMonitoringThread {
 public:
  explicit TMonitoringThread(TChangeWatch& watch) : watch_(watch) {}
  TMonitoringThread(const TMonitoringThread&) = delete;
  TMonitoringThread& operator=(const TMonitoringThread&) = delete;
  virtual ~TMonitoringThread() = default;

  bool Start() {
    stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return false;
    thread_.reset(::CreateThread(nullptr, 0, &TMonitoringThread::Main, this, 0, nullptr));
    return static_cast<bool>(thread_);
  }
  void Terminate() {
    if (stop_) ::SetEvent(stop_.get());
  }
  HANDLE Handle() const { return thread_.get(); }

 protected:
  virtual void Execute() = 0;

  bool Terminated() const { return ::WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0; }
  // Waits the pause out, or less when the thread is asked to end; true when it was asked.
  bool PauseOrTerminated(DWORD pauseMs) const { return ::WaitForSingleObject(stop_.get(), pauseMs) == WAIT_OBJECT_0; }
  HANDLE StopEvent() const { return stop_.get(); }

  void LogRun(const std::wstring& name, const std::wstring& parameters) {
    watch_.Synchronize([&] { CommonLogRunEvent(name, parameters); });
  }
  void LogError(const std::wstring& function, const std::wstring& message, const std::wstring& parameters, DWORD code) {
    watch_.Synchronize([&] { CommonLogErrorEvent(function, message, parameters, code, true); });
  }

  TChangeWatch& watch_;

 private:
  static DWORD WINAPI Main(void* self) {
    GuardedCallback(L"MonitoringThread.Execute", [self] { static_cast<TMonitoringThread*>(self)->Execute(); });
    return 0;
  }

  win::TUniqueHandle stop_;
  win::TUniqueHandle thread_;
};

// Waits for changes in one folder: a zero-length overlapped ReadDirectoryChangesW completes on
// the first change without telling which, which is all the recent lists need to know.
class TFolderMonitoringThread final : public TMonitoringThread {
 public:
  TFolderMonitoringThread(TChangeWatch& watch, std::wstring folder)
      : TMonitoringThread(watch), folder_(std::move(folder)) {}

 private:
  void Execute() override;
  // One request, from issuing it to its end; false when the thread must end.
  bool WatchOnce();
  void Log(const wchar_t* name) { LogRun(name, L"Path=" + folder_); }
  void Fail(const wchar_t* message, DWORD code, const std::wstring& parameters = {}) {
    LogError(L"FolderMonitoringThread.Execute", message, parameters, code);
  }

  std::wstring folder_;
};

void TFolderMonitoringThread::Execute() {
  Log(L"Start change monitoring");
  if (folder_.empty() || !DirectoryExists(folder_)) {
    CommonLogErrorEvent(L"TFolderMonitoringThread.Execute", L"Invalid folder path: " + folder_, L"", ::GetLastError(),
                        true);
    return;
  }
  while (!Terminated() && WatchOnce()) {
  }
  Log(L"Stopping change monitoring");
}

bool TFolderMonitoringThread::WatchOnce() {
  const win::TUniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) {
    Fail(L"CreateEvent fail", ::GetLastError());
    return false;
  }
  const win::TFileHandle folder(
      ::CreateFileW(folder_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  if (!folder) {
    Fail(L"CreateFileW=INVALID_HANDLE_VALUE", ::GetLastError(), L"Path=" + folder_);
    return false;
  }
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.get();
  if (!::ReadDirectoryChangesW(folder.get(), nullptr, 0, FALSE, kChangeFilter, nullptr, &overlapped, nullptr)) {
    Fail(L"ReadDirectoryChangesW fail", ::GetLastError());
    return !PauseOrTerminated(kRetryPauseMs);
  }
  // The request and the stop are waited for together: either is noticed at once, and an idle
  // watch costs nothing.
  const HANDLE waits[] = {event.get(), StopEvent()};
  if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) ::CancelIoEx(folder.get(), &overlapped);
  // Waiting for the outcome also waits for a cancelled request to let go of `overlapped`.
  DWORD transferred = 0;
  const bool completed = ::GetOverlappedResult(folder.get(), &overlapped, &transferred, TRUE) != FALSE;
  const DWORD error = completed ? ERROR_SUCCESS : ::GetLastError();
  // A zero-length request completes with ERROR_NOTIFY_ENUM_DIR: "something changed", no list.
  if (!completed && error != ERROR_NOTIFY_ENUM_DIR) {
    if (error == ERROR_OPERATION_ABORTED) return false;
    Fail(L"GetOverlappedResult fail", error);
    return !PauseOrTerminated(kRetryPauseMs);
  }
  if (Terminated()) {
    Log(L"Find changes in folder (terminated)");
    return false;
  }
  if (watch_.timerInstalled_) {
    Log(L"Find changes in folder (timer already installed)");
  } else {
    Log(L"Find changes in folder");
    watch_.Synchronize([this] {
      Guarded(
          L"MonitoringThread.ChangeNotify", [this] { watch_.InstallTimer(); }, L"Error on starting notify function");
    });
  }
  return !PauseOrTerminated(kAfterChangeMs);
}

TChangeWatch::TChangeWatch() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass);  // a second watch finds the class registered already
  const win::TWindowCreation creation(this);
  window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window_ == nullptr)
    CommonLogErrorEvent(L"MonitoringThread.Create", L"CreateWindow fail", L"", ::GetLastError(), false);
}

TChangeWatch::~TChangeWatch() {
  StopChangeWatch();
  if (window_ != nullptr) ::DestroyWindow(window_);
}

LRESULT CALLBACK TChangeWatch::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE && win::TWindowCreation::Take(window) == nullptr) return 0;
  auto* self = reinterpret_cast<TChangeWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_QFSYNCHRONIZE:
      // The call is the one the monitoring thread waits with, never one the message names: any
      // program may send this message, and one that nobody waits for finds nothing to run.
      if (self != nullptr) {
        if (const std::function<void()>* call = self->pending_.exchange(nullptr))
          GuardedCallback(L"MonitoringThread.Synchronize", [call] { (*call)(); });
      }
      return 0;
    case WM_TIMER:
      if (self != nullptr && wParam == kMergeTimer)
        GuardedCallback(L"TimerBypassMultipleChanges", [self] { self->TimerBypassMultipleChanges(); });
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void TChangeWatch::Synchronize(const std::function<void()>& call) {
  // Without the window (it could not be made) the call runs here: the logger takes any thread.
  if (window_ == nullptr) {
    call();
    return;
  }
  const std::lock_guard<std::mutex> one(synchronizing_);
  pending_.store(&call);
  ::SendMessageW(window_, WM_QFSYNCHRONIZE, 0, 0);
  pending_.store(nullptr);
}

void TChangeWatch::StartChangeWatch(const std::wstring& folder) {
  CommonLogRunEvent(L"Start change watch");
  timerInstalled_ = false;
  if (!thread_) {
    thread_ = std::make_unique<TFolderMonitoringThread>(*this, folder);
    if (!thread_->Start()) {
      CommonLogErrorEvent(L"StartChangeWatch", L"CreateThread fail", L"Path=" + folder, ::GetLastError(), false);
      thread_.reset();
      return;
    }
  }
  active_ = true;
}

void TChangeWatch::StopChangeWatch() {
  if (!active_) return;
  CommonLogRunEvent(L"Ending change watch");
  active_ = false;
  if (!thread_) return;
  thread_->Terminate();
  // The worker may be in a call to this thread: serve such calls until it has ended.
  const HANDLE thread = thread_->Handle();
  const ULONGLONG deadline = ::GetTickCount64() + kStopWaitMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    const DWORD result = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
    if (result != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  if (::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
    thread_.reset();
  } else {
    // A worker that does not end is left to the process's end rather than freed under it.
    CommonLogErrorEvent(L"StopChangeWatch", L"the watch did not end", L"", 0, false);
    static_cast<void>(thread_.release());
  }
  if (window_ != nullptr) ::KillTimer(window_, kMergeTimer);
  timerInstalled_ = false;
}

void TChangeWatch::InstallTimer() {
  if (timerInstalled_) return;
  const bool started = timerStart_ ? timerStart_(window_, kMergeTimer, kMergeIntervalMs)
                                   : ::SetTimer(window_, kMergeTimer, kMergeIntervalMs, nullptr) != 0;
  if (!started) {
    // Left uninstalled, so the next change tries again: one failure must not end the refreshes.
    CommonLogErrorEvent(L"MonitoringThread.ChangeNotify", L"SetTimer fail, tried again at the next change", L"",
                        ::GetLastError(), true);
    timerFailed_ = true;
    return;
  }
  timerInstalled_ = true;
  if (timerFailed_) CommonLogRunEvent(L"MonitoringThread.ChangeNotify", L"SetTimer works again");
  timerFailed_ = false;
}

void TChangeWatch::TimerBypassMultipleChanges() {
  ::KillTimer(window_, kMergeTimer);
  timerInstalled_ = false;
  if (active_ && callback_) callback_();
}
