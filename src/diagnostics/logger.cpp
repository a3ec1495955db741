#include "diagnostics/logger.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <mutex>

#include "diagnostics/log_format.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/text.h"
#include "win/text_rules.h"

std::wstring LogFolder;
std::atomic<bool> InLogger{true};
std::atomic<bool> TraceSuppressed{false};

namespace {

constexpr ULONGLONG kMoveIntervalMs = 100;
constexpr ULONGLONG kWriteIntervalMs = 5000;
// A stop waits for the thread's last write, but a hung network share must not hang shut-down.
constexpr DWORD kEndWaitMs = 5000;
// At exit nothing is written any more, so the thread only has to notice and leave.
constexpr DWORD kExitWaitMs = 2000;
// The error block needs only the newest lines; a run log that failed to rotate is not read whole.
constexpr LONGLONG kMaxTailReadBytes = 4 * 1024 * 1024;

const DWORD gMainThreadId = ::GetCurrentThreadId();

// Keeps its value for the whole life of the process: the log thread may still run while static
// objects are destroyed at exit, so nothing it touches may be destroyed under it.
template <class T>
union TNeverDestroyed {
  TNeverDestroyed() : value() {}
  ~TNeverDestroyed() {}
  T value;
};

// A critical section because it is recursive: rotation runs inside a locked write, and a trace
// handler may read the run log on a thread that already holds the lock.
class TLogLock {
 public:
  TLogLock() noexcept { ::InitializeCriticalSection(&section_); }
  ~TLogLock() { ::DeleteCriticalSection(&section_); }
  TLogLock(const TLogLock&) = delete;
  TLogLock& operator=(const TLogLock&) = delete;
  void lock() noexcept { ::EnterCriticalSection(&section_); }
  void unlock() noexcept { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class TLogThread;

struct TLoggerState {
  TLogLock lock;
  logformat::TLogCollapser collapser;
  std::unique_ptr<TLogThread> thread;
  bool stopped = false;
  // Set from exit(): LogFolder is about to be destroyed, so no file is touched any more.
  bool exiting = false;
  bool exitHookRegistered = false;
  std::atomic<bool> terminating{false};
  // 1 once start-up said "/eraseintel".
  std::atomic<int> eraseIntel{0};
};

TLoggerState& State() {
  static TNeverDestroyed<TLoggerState> state;
  return state.value;
}

using TLogGuard = std::lock_guard<TLogLock>;

std::wstring ParentFolder(const std::wstring& file) { return text::ParentOf(file); }

// A log file that is a link (a junction or symbolic link someone put in its place, to a file the
// agent may write and they may not, or read and they may not) is not opened at all.
win::TFileHandle OpenLogFile(const std::wstring& file, DWORD access, DWORD share, DWORD disposition) {
  if (!LinkOnPath(file, file.size()).empty()) return {};
  return win::TFileHandle(
      ::CreateFileW(file.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The file is opened without sharing so no other writer interleaves with a block of lines.
bool AppendLines(const std::wstring& file, const std::vector<std::wstring>& lines) {
  win::TFileHandle handle = OpenLogFile(file, GENERIC_WRITE, 0, OPEN_EXISTING);
  if (!handle) return false;
  LARGE_INTEGER size{};
  // An empty file left by an interrupted creation still gets its byte-order mark.
  const bool empty = ::GetFileSizeEx(handle.get(), &size) && size.QuadPart == 0;
  if (!::SetFilePointerEx(handle.get(), LARGE_INTEGER{}, nullptr, FILE_END)) return false;
  return WriteAll(handle.get(), logformat::EncodeLogLines(lines, empty));
}

bool CreateWithLines(const std::wstring& file, const std::vector<std::wstring>& lines) {
  const std::wstring folder = ParentFolder(file);
  if (!folder.empty()) ForceDirectories(folder);
  win::TFileHandle handle = OpenLogFile(file, GENERIC_WRITE, 0, CREATE_NEW);
  if (!handle) return false;
  return WriteAll(handle.get(), logformat::EncodeLogLines(lines, true));
}

std::vector<std::wstring> ReadLogLines(const std::wstring& file) {
  win::TFileHandle handle = OpenLogFile(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  LARGE_INTEGER size{};
  if (!handle || !::GetFileSizeEx(handle.get(), &size)) return {};
  LONGLONG start = 0;
  if (size.QuadPart > kMaxTailReadBytes) {
    // An even offset keeps the read on UTF-16 unit boundaries.
    start = (size.QuadPart - kMaxTailReadBytes) & ~LONGLONG{1};
    LARGE_INTEGER offset{};
    offset.QuadPart = start;
    if (!::SetFilePointerEx(handle.get(), offset, nullptr, FILE_BEGIN)) return {};
  }
  std::string bytes(static_cast<std::size_t>(size.QuadPart - start), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!::ReadFile(handle.get(), bytes.data() + done, chunk, &got, nullptr) || got == 0) break;
    done += got;
  }
  bytes.resize(done);
  auto lines = logformat::DecodeLogLines(bytes);
  if (start > 0 && !lines.empty()) lines.erase(lines.begin());  // cut in the middle of a line
  return lines;
}

std::wstring TimeText(const SYSTEMTIME* time) {
  wchar_t buffer[128];
  const int length =
      ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, time, nullptr, buffer, static_cast<int>(std::size(buffer)));
  return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length - 1)) : std::wstring();
}

std::wstring DateTimeText() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t buffer[128];
  const int length = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, buffer,
                                       static_cast<int>(std::size(buffer)), nullptr);
  std::wstring text = length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length - 1)) : std::wstring();
  text += L' ';
  text += TimeText(&now);
  return text;
}

std::wstring SystemErrorText(DWORD code) {
  wchar_t buffer[2048];
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  return logformat::SingleLine(std::wstring_view(buffer, length));
}

bool EraseIntel() { return State().eraseIntel.load() == 1; }

std::wstring CurrentLogFolder() {
  TLogGuard guard(State().lock);
  return LogFolder;
}

// Moves queued lines to the write list and writes them to "folder.log" in the background, so a
// caller pays only for formatting and a short locked append.
class TLogThread {
 public:
  TLogThread() = default;
  TLogThread(const TLogThread&) = delete;
  TLogThread& operator=(const TLogThread&) = delete;
  ~TLogThread() {
    AskToEnd();
    WaitEnded(INFINITE);
  }

  // Starts the system thread unless it runs already; false when it cannot be started.
  bool Start() {
    if (thread_) return true;
    if (!wake_) wake_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!lineAdded_) lineAdded_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!wake_ || !lineAdded_) return false;
    ::ResetEvent(wake_.get());
    endRequested_ = false;
    const ULONGLONG now = ::GetTickCount64();
    nextMove_ = now + kMoveIntervalMs;
    nextWrite_ = now + kWriteIntervalMs;
    DWORD id = 0;
    win::TUniqueHandle thread(::CreateThread(nullptr, 0, &TLogThread::Main, this, CREATE_SUSPENDED, &id));
    if (!thread) return false;
    ::SetThreadPriority(thread.get(), THREAD_PRIORITY_BELOW_NORMAL);
    threadId_ = id;
    ::ResumeThread(thread.get());
    thread_ = std::move(thread);
    return true;
  }

  void AddLine(std::wstring line) {
    bool first = false;
    {
      TLogGuard guard(State().lock);
      first = queue_.empty();
      queue_.push_back(std::move(line));
    }
    // An idle thread sleeps until there is something to do: the first queued line wakes it.
    if (first) ::SetEvent(lineAdded_.get());
  }

  void TakeQueued() {
    TLogGuard guard(State().lock);
    if (queue_.empty()) return;
    if (writeList_.empty()) {
      writeList_.swap(queue_);
    } else {
      writeList_.insert(writeList_.end(), std::make_move_iterator(queue_.begin()),
                        std::make_move_iterator(queue_.end()));
      queue_.clear();
    }
  }

  void WriteOut() {
    TLogGuard guard(State().lock);
    if (State().exiting || writeList_.empty()) return;
    SaveLogToFile(LogFolder + fileName_, writeList_);
  }

  void AskToEnd() noexcept {
    endRequested_ = true;
    if (wake_) ::SetEvent(wake_.get());
  }

  void WaitEnded(DWORD timeoutMs) noexcept {
    if (thread_ && ::GetCurrentThreadId() != threadId_) ::WaitForSingleObject(thread_.get(), timeoutMs);
  }

 private:
  static DWORD WINAPI Main(void* self) {
    try {
      static_cast<TLogThread*>(self)->Execute();
    } catch (...) {
    }
    return 0;
  }

  void Execute() {
    while (!endRequested_) {
      try {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= nextMove_) {
          TakeQueued();
          nextMove_ = now + kMoveIntervalMs;
        }
        if (now >= nextWrite_) {
          WriteOut();
          nextWrite_ = now + kWriteIntervalMs;
        }
      } catch (...) {
      }
      // Sleeps until the next move or write is due, or, with nothing waiting, until a line comes;
      // a stop cuts the sleep short.
      const HANDLE waits[] = {wake_.get(), lineAdded_.get()};
      ::WaitForMultipleObjects(2, waits, FALSE, NextWaitMs());
    }
    try {
      TakeQueued();
      WriteOut();
    } catch (...) {
    }
    TLogGuard guard(State().lock);
    std::vector<std::wstring>().swap(queue_);
    std::vector<std::wstring>().swap(writeList_);
  }

  DWORD NextWaitMs() {
    TLogGuard guard(State().lock);
    ULONGLONG due = 0;
    if (!queue_.empty()) {
      due = nextMove_;
    } else if (!writeList_.empty()) {
      due = nextWrite_;
    } else {
      return INFINITE;
    }
    const ULONGLONG now = ::GetTickCount64();
    return due > now ? static_cast<DWORD>(due - now) : 0;
  }

  const std::wstring fileName_ = logformat::kRunLogName;
  std::vector<std::wstring> queue_;
  std::vector<std::wstring> writeList_;
  win::TUniqueHandle thread_;
  win::TUniqueHandle wake_;
  win::TUniqueHandle lineAdded_;
  DWORD threadId_ = 0;
  std::atomic<bool> endRequested_{false};
  ULONGLONG nextMove_ = 0;
  ULONGLONG nextWrite_ = 0;
};

// Runs from exit() before LogFolder is destroyed (it was registered after LogFolder was
// constructed). The thread is let go before ExitProcess kills it, because a thread killed inside
// a heap call can leave the heap lock held for the DLL detach code that runs after it.
void OnProcessExit() {
  auto& state = State();
  state.terminating = true;
  TLogThread* thread = nullptr;
  {
    TLogGuard guard(state.lock);
    state.exiting = true;
    thread = state.thread.get();
    if (thread) thread->AskToEnd();
  }
  if (thread) thread->WaitEnded(kExitWaitMs);
}

bool Refusing() {
  auto& state = State();
  TLogGuard guard(state.lock);
  return state.stopped || state.terminating;
}

// Run events the logger writes about itself leave InLogger as the outer call set it.
void LogOwnRunEvent(const wchar_t* name) { LogMsg(logformat::RunEventText(name, std::wstring_view())); }

std::vector<std::wstring> ReadRunLogTail() {
  SaveAllLogs(false);
  auto& state = State();
  TLogGuard guard(state.lock);
  if (LogFolder.empty()) return {};
  const std::wstring file = LogFolder + logformat::kRunLogName;
  if (!FileExists(file)) return {};
  // The trace handler reads the tail while it has the flag set itself: leave it as found.
  const bool suppressed = TraceSuppressed.exchange(true);
  win::TScopeGuard restore([suppressed] { TraceSuppressed = suppressed; });
  return ReadLogLines(file);
}

void LogErrInside(const std::wstring& text) {
  if (Refusing()) return;
  const std::wstring dateTime = DateTimeText();
  auto block = logformat::ErrorBlock(dateTime, text, ReadRunLogTail());
  SaveLogToFile(CurrentLogFolder() + logformat::kErrorLogName, block);
}

}  // namespace

bool LogMsg(const std::wstring& text) {
  try {
    const std::wstring time = TimeText(nullptr);
    auto& state = State();
    TLogGuard guard(state.lock);
    if (state.stopped || state.terminating) return false;
    if (!state.thread) state.thread = std::make_unique<TLogThread>();
    state.thread->Start();
    if (!state.exitHookRegistered) state.exitHookRegistered = std::atexit(OnProcessExit) == 0;
    std::vector<std::wstring> lines;
    if (!state.collapser.Accept(text, time, lines)) return false;
    for (auto& line : lines) state.thread->AddLine(std::move(line));
    return true;
  } catch (...) {
    return false;
  }
}

bool LogCommon(const std::wstring& text) {
  InLogger = false;
  bool accepted = false;
  try {
    accepted = LogMsg(text);
  } catch (...) {
  }
  InLogger = true;
  return accepted;
}

void CommonLogRunEvent(const std::wstring& name, const std::wstring& parameters) {
  const DWORD lastError = ::GetLastError();
  try {
    LogCommon(logformat::RunEventText(name, parameters));
  } catch (...) {
  }
  ::SetLastError(lastError);
}

void CommonLogRegistryError(const std::wstring& function, const std::wstring& message, const std::wstring& parameters,
                            LSTATUS status, bool quiet) {
  CommonLogErrorEvent(function, message, parameters, static_cast<unsigned long>(status), quiet);
}

void CommonLogCantOpenKey(const std::wstring& function, const std::wstring& key, LSTATUS status) {
  CommonLogRegistryError(function, L"Can't open key", L"Key=" + key, status);
}

void CommonLogErrorEvent(const std::wstring& function, const std::wstring& message, const std::wstring& parameters,
                         unsigned long code, bool quiet) {
  const DWORD lastError = ::GetLastError();
  InLogger = !quiet;
  try {
    const std::wstring text = logformat::ErrorEventText(function, message, parameters, code,
                                                        code != 0 ? SystemErrorText(code) : std::wstring());
    LogMsg(text);
    LogErrInside(text);
  } catch (...) {
  }
  InLogger = true;
  ::SetLastError(lastError);
}

std::wstring ExceptionText(const std::exception& e) noexcept {
  try {
    const std::wstring text = win::ToWide(e.what(), CP_UTF8);
    return text.empty() ? L"common error" : text;
  } catch (...) {
    return {};
  }
}

void LogErr(const std::wstring& text) {
  try {
    LogErrInside(text);
  } catch (...) {
  }
}

std::vector<std::wstring> RunLogForBlock() {
  try {
    return ReadRunLogTail();
  } catch (...) {
    return {};
  }
}

void SaveAllLogs(bool stop) {
  try {
    LogOwnRunEvent(logformat::kSaveAllLogsBegin);
    auto& state = State();
    TLogThread* thread = nullptr;
    {
      TLogGuard guard(state.lock);
      if (stop) state.stopped = true;
      thread = state.thread.get();
    }
    if (!thread) return;
    thread->TakeQueued();
    thread->WriteOut();
    if (stop) {
      thread->AskToEnd();
      thread->WaitEnded(kEndWaitMs);
    }
  } catch (...) {
  }
}

void CloseAllLogs() { SaveAllLogs(true); }

void SaveLogToFile(const std::wstring& file, std::vector<std::wstring>& list) {
  try {
    if (EraseIntel()) {
      // Nothing is ever written in this mode: lines kept for a later write would only pile up
      // for the life of the process.
      list.clear();
      return;
    }
    TLogGuard guard(State().lock);
    if (LogFolder.empty() || list.empty()) return;
    CheckLogSize(file);
    const bool written = FileExists(file) ? AppendLines(file, list) : CreateWithLines(file, list);
    if (written) list.clear();
  } catch (...) {
  }
}

void CheckLogSize(const std::wstring& file) {
  try {
    if (!FileExists(file)) return;
    TLogGuard guard(State().lock);
    if (!logformat::NeedsRotation(GetLogFileSize(file))) return;
    const std::wstring previous = logformat::PrevLogName(file);
    // A link in the place of either generation is never copied through (see OpenLogFile).
    if (!LinkOnPath(file, file.size()).empty() || !LinkOnPath(previous, previous.size()).empty()) return;
    const bool room = !FileExists(previous) || ::DeleteFileW(previous.c_str());
    // A log goes only once its copy is there: when the older generation cannot be replaced,
    // the log grows past its limit rather than losing its lines.
    if (room && ::CopyFileW(file.c_str(), previous.c_str(), TRUE)) ::DeleteFileW(file.c_str());
  } catch (...) {
  }
}

unsigned long GetLogFileSize(const std::wstring& file) {
  try {
    win::TFileHandle handle = OpenLogFile(file, FILE_READ_ATTRIBUTES, FILE_SHARE_READ, OPEN_EXISTING);
    LARGE_INTEGER size{};
    if (!handle || !::GetFileSizeEx(handle.get(), &size)) return 0;
    // Sizes are reported in 32 bits; a larger file still reads as too large.
    return static_cast<unsigned long>(std::min<LONGLONG>(size.QuadPart, 0xFFFFFFFF));
  } catch (...) {
    return 0;
  }
}

void MarkApplicationTerminating() { State().terminating = true; }

void SetLogFolder(const std::wstring& folder) {
  try {
    TLogGuard guard(State().lock);
    LogFolder = folder;
  } catch (...) {
  }
}

unsigned long LoggerMainThreadId() { return gMainThreadId; }

std::wstring LogDateTimeText() { return DateTimeText(); }

void KeepNoLogs() { State().eraseIntel.store(1); }

void ResetLoggerForTests(const std::wstring& folder) {
  auto& state = State();
  std::unique_ptr<TLogThread> old;
  {
    TLogGuard guard(state.lock);
    old = std::move(state.thread);
  }
  old.reset();  // ends the thread, writing what it still held to the previous folder
  TLogGuard guard(state.lock);
  state.collapser.Reset();
  state.stopped = false;
  state.terminating = false;
  state.eraseIntel = 0;
  LogFolder = folder;
  InLogger = true;
  TraceSuppressed = false;
}
