// The real agent with a fault switch, for the error scenarios: "WM_QFTESTFAULT by Quillrook
// Folder" sent to its main window with wParam 0 raises an exception nobody handles on the main
// thread, 1 the same on a worker thread, 2 one that is caught and logged, 3 an access violation
// on the main thread, 4 one on a worker thread and 5 a stack overflow on the main thread. The shipped agent has
// no such message: this program is built beside the other test programs only.
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "core/global_exception.h"
#include "core/startup.h"
#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"

namespace {

// Writes through a null pointer the compiler cannot see coming.
[[gnu::noinline]] void WriteThroughNull(int* volatile* where) { **where = 1; }

// Calls itself until the stack is gone.
volatile bool deeperStill = true;
[[gnu::noinline]] int Deeper(int depth) {
  volatile char page[4096];
  page[0] = static_cast<char>(depth);
  return (deeperStill ? Deeper(depth + 1) : 0) + page[0];
}

void RaiseTestFault(WPARAM kind) {
  static int* volatile nowhere = nullptr;
  switch (kind) {
    case 3:
      WriteThroughNull(&nowhere);
      return;
    case 4:
      std::thread([] { WriteThroughNull(&nowhere); }).detach();
      return;
    case 5:
      Deeper(0);
      return;
    case 0:
      throw std::runtime_error("Test fault on the main thread");
    case 1:
      std::thread([] {
        GuardedCallback(L"TestFault", [] { throw std::runtime_error("Test fault on a worker thread"); });
      }).detach();
      return;
    default:
      try {
        throw std::runtime_error("Test fault, handled");
      } catch (const std::exception& e) {
        CommonLogRunEvent(L"WM_QFTESTFAULT", L"handled: " + ExceptionText(e));
      }
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  SetTestMessage(::RegisterWindowMessageW(L"WM_QFTESTFAULT by Quillrook Folder"), RaiseTestFault);
  return AgentMain(instance);
}
