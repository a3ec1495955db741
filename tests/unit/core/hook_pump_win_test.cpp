// The hook pump against a record of its own: queued triggers come out in slot order with their
// kinds, and a hook that cannot be installed again is tried at every stale tick until it is,
// with one log line when that begins and one when it ends.
#include "core/hook_pump.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/hook_client.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/target_kind.h"
#include "../test_temp_folder.h"
#include "../test_windows.h"
#include "win/handles.h"

namespace {

std::size_t LinesWith(const std::wstring& folder, const std::wstring& text) {
  SaveAllLogs(false);
  std::size_t count = 0;
  const HANDLE file = ::CreateFileW((folder + logformat::kRunLogName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::string bytes(1 << 20, '\0');
  DWORD read = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  ::CloseHandle(file);
  bytes.resize(read);
  for (const auto& line : logformat::DecodeLogLines(bytes)) count += line.find(text) != std::wstring::npos;
  return count;
}

}  // namespace

TEST(HookPump, TriggersInSlotOrderAndAStaleHookTriedAgainUntilItComesBack) {
  // Empty at the start: a run log left by an earlier process with the same id would be counted too.
  const testtmp::TTempFolder temp(L"qf_pump");
  const std::wstring folder = temp.Root() + L"\\";
  ResetLoggerForTests(folder);
  CommonInit();

  static hook::THookShare record{};
  // Installing answers the record with a fresh heartbeat, except while `refusals` lasts.
  int installs = 0, removals = 0, refusals = 0;
  std::vector<std::pair<HWND, int>> triggers;
  THookPump pump(
      nullptr, 4,
      [&]() -> hook::THookShare* {
        ++installs;
        if (refusals > 0) {
          --refusals;
          return nullptr;
        }
        record.heartbeat = ::GetTickCount();
        return &record;
      },
      [&] { ++removals; }, [&](HWND window, int kind) { triggers.emplace_back(window, kind); });
  // A drain tick that finds the heartbeat more than five seconds old.
  const auto staleTick = [&] {
    record.heartbeat = ::GetTickCount() - 6000;
    pump.OnTimer();
  };

  // What an earlier agent left queued is dropped at the start.
  hook::PushSlot(record, HookMessageId(hook::THookMessage::QfMDialog), 0x111, tkFileDialog, 0, 0, 0);
  ASSERT_TRUE(pump.Start());
  // Published first but in a later slot, then one in slot 0, and one of the messages that only
  // leave the queue.
  record.queue[5].wParam = 0x222;
  std::atomic_ref<std::uint32_t>(record.queue[5].message).store(HookMessageId(hook::THookMessage::QfMBrowse));
  hook::PushSlot(record, HookMessageId(hook::THookMessage::QfMExplorer), 0x333, tkExplorer, 0, 0, 0);
  hook::PushSlot(record, HookMessageId(hook::THookMessage::QfKeyDown), 0x444, 1, 0, 0, 0);
  pump.OnTimer();
  EXPECT_EQ(triggers, (std::vector<std::pair<HWND, int>>{{reinterpret_cast<HWND>(0x333), tkExplorer},
                                                         {reinterpret_cast<HWND>(0x222), tkBrowseDialog}}));
  for (const auto& slot : record.queue) EXPECT_EQ(slot.message, hook::kSlotFree);
  EXPECT_EQ(installs, 1);

  // The hook stops seeing input and cannot be installed again twice over.
  refusals = 2;
  staleTick();
  EXPECT_EQ(installs, 2);
  // Still stale (a failed install leaves it so): the next tick tries again.
  staleTick();
  EXPECT_EQ(installs, 3);
  pump.OnTimer();
  EXPECT_EQ(installs, 4);
  // Fresh again: nothing more to do.
  pump.OnTimer();
  EXPECT_EQ(installs, 4);
  EXPECT_EQ(removals, 3);
  EXPECT_EQ(LinesWith(folder, L"Function: QuillFolder.Timer4Timer Message: SetHook fail"), 1u);
  EXPECT_EQ(LinesWith(folder, L"hook heartbeat stale, re-installing the hook"), 1u);
  EXPECT_EQ(LinesWith(folder, L"hook installed again"), 1u);

  // The thread dispatched nothing for longer than the heartbeat's period (the library's timer
  // shares it): the first tick after that does not judge the heartbeat, the next one does.
  ::Sleep(hook::kKeepAliveMs + 200);
  staleTick();
  EXPECT_EQ(installs, 4);
  staleTick();
  EXPECT_EQ(installs, 5);

  pump.Stop();
  EXPECT_EQ(removals, 5);
  CloseAllLogs();
  ResetLoggerForTests(L"");
}

namespace {

// A window that hands the drain timer and the hook's wake to the pump, as the main window does.
LRESULT CALLBACK PumpWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* pump = reinterpret_cast<THookPump*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (pump != nullptr && message == WM_TIMER) pump->OnTimer();
  if (pump != nullptr && message == WakeMessage) pump->OnWake();
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST(HookPump, AWakeDrainsEverySlotOnceInOrderAndALostWakeIsLeftToTheTimer) {
  CommonInit();
  ASSERT_NE(WakeMessage, 0u);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PumpWindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QfPumpWakeTest";
  ::RegisterClassW(&windowClass);
  const HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  static hook::THookShare record{};
  std::vector<std::uint32_t> handled;
  int nestedWakes = 0;
  THookPump pump(
      window, 4,
      [&]() -> hook::THookShare* {
        record.heartbeat = ::GetTickCount();
        return &record;
      },
      [] {},
      [&](HWND target, int) {
        handled.push_back(win::HandleToRecord(target));
        // The first trigger's menu: a modal loop in which the hook wakes the agent again.
        if (handled.size() == 1) {
          ::PostMessageW(window, WakeMessage, 0, 0);
          testwin::PumpUntil([&] { return ++nestedWakes > 10; }, 200);
          EXPECT_EQ(handled.size(), 1u) << "a wake during a trigger drained the queue again";
        }
      });
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pump));
  ASSERT_TRUE(pump.Start());
  EXPECT_EQ(record.wakeWindow, win::HandleToRecord(window));

  // A slot and its wake, then two more slots before the agent gets to the wake: the one drain
  // the wake causes takes all three, in slot order, and the timer after it finds nothing more.
  const UINT dialog = HookMessageId(hook::THookMessage::QfMDialog);
  hook::PushSlot(record, dialog, 0xA1, tkFileDialog, 0, 0, 0);
  ::PostMessageW(window, WakeMessage, 0, 0);
  hook::PushSlot(record, dialog, 0xA2, tkFileDialog, 0, 0, 0);
  hook::PushSlot(record, dialog, 0xA3, tkFileDialog, 0, 0, 0);
  MSG wake{};
  ASSERT_TRUE(::PeekMessageW(&wake, window, WakeMessage, WakeMessage, PM_REMOVE));
  ::DispatchMessageW(&wake);
  EXPECT_EQ(handled.size(), 3u) << "the wake alone drains the queue";
  testwin::PumpUntil([] { return false; }, 300);
  EXPECT_EQ(handled, (std::vector<std::uint32_t>{0xA1, 0xA2, 0xA3}));

  // The hook told not to wake (as an older library or a refused post leaves it): the drain
  // timer still takes the slot.
  record.wakeWindow = 0;
  hook::PushSlot(record, dialog, 0xB1, tkFileDialog, 0, 0, 0);
  EXPECT_TRUE(testwin::PumpUntil([&] { return handled.size() == 4; }));
  EXPECT_EQ(handled.back(), 0xB1u);

  pump.Stop();
  EXPECT_EQ(record.wakeWindow, 0u);
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
}
