// The global exception handler: what no routine handled. It saves the state file (system report
// and call stack), logs the error, and on the main thread shows the error dialog, one at a time.
// Also the system report and the test-only faults. Any thread; the dialog on the main thread.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

// Installs the handler at the program's callback boundaries. `showDialog` shows the error
// dialog modally for a message (main thread only); it answers false when a dialog is already up.
void InstallGlobalExceptionHandler(std::function<bool(const std::wstring& message)> showDialog);

void GlobalException(const wchar_t* where, const std::exception* e);

// Writes LogFolder + "folder_global_error.log" for the exception just thrown on this thread:
// "<date>: <message>", the system report with the state lines, the call stack.
void SaveGlobalErrorState(const std::wstring& message);

// The system report, one item a line; with `stateLines`, also the active window, the focused
// control and the last system error.
std::wstring GetSystemInfo(bool stateLines);

// "WM_QFTESTFAULT by Quillrook Folder", for the end-to-end tests: with QUILLROOK_TEST_FAULTS=1
// in the agent's environment, wParam 0 raises an exception nobody handles on the main thread,
// 1 the same on a worker thread, 2 one that is caught; otherwise the message is only logged.
extern UINT WM_QFTESTFAULT;
void RaiseTestFault(WPARAM kind);
