// The program's one exception boundary. Every window and dialog procedure, timer handler, menu
// command and thread entry runs its work through Guarded, so nothing crosses into Windows: what
// escapes is written to the logs as an error event of `where`, and the program goes on. Any
// thread.
#pragma once

#include <windows.h>

#include <exception>

#include "diagnostics/logger.h"

// True when the work ran to its end. With `message`, a failure is logged with that message and
// `parameters` rather than the exception's own text, where a routine has its own words for it.
template <class F>
bool Guarded(const wchar_t* where, F&& work, const wchar_t* message = nullptr,
             const wchar_t* parameters = L"") noexcept {
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    CommonLogErrorEvent(where, message != nullptr ? message : ExceptionText(e), parameters, ::GetLastError(), false);
  } catch (...) {
    CommonLogErrorEvent(where, message != nullptr ? message : L"common error", parameters, ::GetLastError(), false);
  }
  return false;
}
