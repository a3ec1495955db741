// The logger: run events and error events into "folder.log" and "folder_error.log" in LogFolder.
// Owns the log queue, the log thread TLogThread and the log lock. Any thread may log; the
// calling thread formats and de-duplicates, the log thread moves and writes lines.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <string>
#include <vector>

// The log folder, ending with "\"; settled by start-up before the first event. Empty: no files.
extern std::wstring LogFolder;

// False while a logging call runs (for an error event: the negation of its quiet flag), true
// otherwise; the exception-trace handler reads it to avoid recursion.
extern std::atomic<bool> InLogger;
// While set, the exception-trace handler records nothing.
extern std::atomic<bool> TraceSuppressed;

// A run event: "<time> Log (common): name[ Parameters: parameters]". Empty parameters: none.
void CommonLogRunEvent(const std::wstring& name, const std::wstring& parameters = std::wstring());
// An error event: into the run log, and a block with the run log's tail into the error log.
// `code` is the caller's GetLastError value or 0; `quiet` marks an event raised inside the logger.
void CommonLogErrorEvent(const std::wstring& function, const std::wstring& message, const std::wstring& parameters,
                         unsigned long code, bool quiet);
// The same for a registry call that failed: a registry call reports its error as its result, not
// through GetLastError, so its status is the code.
void CommonLogRegistryError(const std::wstring& function, const std::wstring& message, const std::wstring& parameters,
                            LSTATUS status, bool quiet = false);
// "Can't open key" with the key's path as the parameters.
void CommonLogCantOpenKey(const std::wstring& function, const std::wstring& key, LSTATUS status);

// The text of an exception for an error event; the program's own exceptions carry UTF-8 texts.
// Never throws: a text that cannot be had reads "common error", or empty when even that fails.
std::wstring ExceptionText(const std::exception& e) noexcept;

// Queue a finished text (without its time) through the repeat collapsing; false when refused or
// only counted as a repeat. LogCommon also clears InLogger for the call; LogMsg leaves it alone.
bool LogCommon(const std::wstring& text);
bool LogMsg(const std::wstring& text);
// Writes one error-log block at once; nothing once the logs are closed.
void LogErr(const std::wstring& text);
// The run log's lines as a block takes them: flushed first, read whole (the block cuts the tail
// itself); empty when it cannot be read.
std::vector<std::wstring> RunLogForBlock();
void SaveAllLogs(bool stop);
void CloseAllLogs();
void SaveLogToFile(const std::wstring& file, std::vector<std::wstring>& list);
void CheckLogSize(const std::wstring& file);
unsigned long GetLogFileSize(const std::wstring& file);

// Once the application has begun to terminate the logger refuses new lines.
void MarkApplicationTerminating();

// Sets LogFolder under the log lock, for a change once the log thread may already be running.
void SetLogFolder(const std::wstring& folder);

// The local date and time as the logs write them.
std::wstring LogDateTimeText();

// The id of the thread that initialised the program (the main thread), taken at start.
unsigned long LoggerMainThreadId();

// Start-up found "/eraseintel": nothing is written, and nothing kept to write, for the life of the
// process. Told before anything is logged.
void KeepNoLogs();

// Test only: ends the log thread, forgets every logged line and repeat count, clears the stopped,
// terminating and keep-no-logs flags and points the logger at `folder`.
void ResetLoggerForTests(const std::wstring& folder);
