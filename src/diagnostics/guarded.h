// The program's exception boundaries. A routine that answers for its own failures runs its work
// through Guarded: what escapes is written to the logs as an error event of `where`, and the
// program goes on. Every window and dialog procedure, timer handler and thread entry runs its
// work through GuardedCallback, so nothing crosses into Windows: what escapes there was handled
// by nobody and goes to the global exception handler. Any thread.
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

// The global exception handler that GuardedCallback hands unhandled exceptions to (`e` null for
// one that is no std::exception). Until one is installed they are logged as Guarded logs them.
using TUnhandledExceptionHandler = void (*)(const wchar_t* where, const std::exception* e);
void SetUnhandledExceptionHandler(TUnhandledExceptionHandler handler);
void HandleUnhandledException(const wchar_t* where, const std::exception* e) noexcept;

template <class F>
bool GuardedCallback(const wchar_t* where, F&& work) noexcept {
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    HandleUnhandledException(where, &e);
  } catch (...) {
    HandleUnhandledException(where, nullptr);
  }
  return false;
}
