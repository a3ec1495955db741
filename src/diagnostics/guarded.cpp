#include "diagnostics/guarded.h"

#include <atomic>

namespace {

std::atomic<TUnhandledExceptionHandler> installed{nullptr};

}  // namespace

void SetUnhandledExceptionHandler(TUnhandledExceptionHandler handler) { installed = handler; }

void HandleUnhandledException(const wchar_t* where, const std::exception* e) noexcept {
  try {
    if (const TUnhandledExceptionHandler handler = installed) {
      handler(where, e);
      return;
    }
    CommonLogErrorEvent(where, e != nullptr ? ExceptionText(*e) : L"common error", L"", ::GetLastError(), false);
  } catch (...) {
    // The last boundary: nothing may leave it.
  }
}
