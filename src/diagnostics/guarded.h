// The program's one exception boundary. Every window and dialog procedure, timer handler, menu
// command and thread entry runs its work through Guarded, so nothing crosses into Windows: what
// escapes is written to the logs as an error event of `where`, and the program goes on. Any
// thread.
#pragma once

#include <windows.h>

#include <exception>

#include "diagnostics/logger.h"

// True when the work ran to its end.
template <class F>
bool Guarded(const wchar_t* where, F&& work) noexcept {
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    CommonLogErrorEvent(where, ExceptionText(e), L"", ::GetLastError(), false);
  } catch (...) {
    CommonLogErrorEvent(where, L"common error", L"", ::GetLastError(), false);
  }
  return false;
}
