// The global exception handler: what no routine handled. It saves the state file (system report
// and call stack), logs the error, and on the main thread shows the error dialog, one at a time.
// Also the system report and a test build's message. Any thread; the dialog on the main thread.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

// Installs the handler at the program's callback boundaries, and for the faults no C++ code can
// catch (an access violation, a stack overflow, any structured exception nobody handles) on
// every thread. `showDialog` shows the error dialog modally for a message (main thread only); it
// answers false when a dialog is already up.
//
// Such a fault ends the agent: the error log's trace block, the state file and a minidump
// ("folder_crash.dmp") are written by a thread with stack to spare; on the main thread the
// dialog comes first where it still can. Where it cannot (a worker's fault, a stack overflow),
// "folder_crash.txt" says so, and the next start offers the dialog once (OfferLastCrash).
void InstallGlobalExceptionHandler(std::function<bool(const std::wstring& message)> showDialog);

// The dialog for a fault the last run could not show it for, once. Main thread, at the start.
void OfferLastCrash();

void GlobalException(const wchar_t* where, const std::exception* e);

// Writes LogFolder + "folder_global_error.log" for the exception just thrown on this thread:
// "<date>: <message>", the system report with the state lines, the call stack.
void SaveGlobalErrorState(const std::wstring& message);
// The same for a fault whose stack is `stack`.
void SaveGlobalErrorState(const std::wstring& message, const std::vector<void*>& stack);

// The system report, one item a line; with `stateLines`, also the active window, the focused
// control and the last system error.
std::wstring GetSystemInfo(bool stateLines);

// A test build's own message: the main window hands each `message` it receives to `handler` on
// the main thread. The shipped agent sets none, so no message can make it raise a fault.
void SetTestMessage(UINT message, void (*handler)(WPARAM wParam));
// True when `message` is the test build's message and its handler ran.
bool HandleTestMessage(UINT message, WPARAM wParam);
