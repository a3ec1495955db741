// The hook pump against a record of its own: queued triggers come out in slot order with their
// kinds; a stale heartbeat, true or forged, installs the hooks again at most every five seconds,
// with one log line when a failing stretch begins and one when it ends; refused triggers cost one
// line a second however many are queued; and the judge takes only windows in front or under the
// mouse that the agent recognises as of their kind.
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

namespace {

// Takes every trigger: the pumps below test the queue, not the judging of its windows.
const wchar_t* TakeAll(HWND, int, HWND, HWND, const std::vector<TOwnDialog>&) { return nullptr; }

}  // namespace

TEST(HookPump, TriggersInSlotOrderAndAStaleHookTriedAgainAtMostEveryFiveSeconds) {
  // Empty at the start: a run log left by an earlier process with the same id would be counted too.
  const testtmp::TTempFolder temp(L"qf_pump");
  const std::wstring folder = temp.Root() + L"\\";
  ResetLoggerForTests(folder);
  CommonInit();

  static hook::THookShare record{};
  // The pump's clock, moved by the test. Installing answers the record with a fresh heartbeat,
  // except while `refusals` lasts.
  DWORD now = 100000;
  int installs = 0, removals = 0, refusals = 0;
  bool hookSeesInput = true;
  std::vector<std::pair<HWND, int>> triggers;
  THookPump pump(
      nullptr, 4,
      [&]() -> hook::THookShare* {
        ++installs;
        if (refusals > 0) {
          --refusals;
          return nullptr;
        }
        record.heartbeat = now;
        hookSeesInput = true;
        return &record;
      },
      [&] { ++removals; }, [&](HWND window, int kind) { triggers.emplace_back(window, kind); }, TakeAll,
      [&] { return now; });
  // The drain timer's ticks over `ms`; a hook that sees input keeps its heartbeat fresh, and a
  // forger writes a stale one before every tick.
  bool forged = false;
  const auto ticksFor = [&](DWORD ms) {
    for (const DWORD end = now + ms; now < end;) {
      now += 50;
      if (hookSeesInput) record.heartbeat = now;
      if (forged) record.heartbeat = now - 6000;
      pump.OnTimer();
    }
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

  // The hook stops seeing input and cannot be installed again twice over: it is tried once the
  // heartbeat is stale, and then at most every five seconds until it comes back.
  refusals = 2;
  hookSeesInput = false;
  ticksFor(5200);
  EXPECT_EQ(installs, 2);
  ticksFor(4800);
  EXPECT_EQ(installs, 2);
  ticksFor(300);
  EXPECT_EQ(installs, 3);
  ticksFor(5000);
  EXPECT_EQ(installs, 4);
  ticksFor(20000);
  EXPECT_EQ(installs, 4);
  EXPECT_EQ(removals, 3);
  EXPECT_EQ(LinesWith(folder, L"Function: QuillFolder.Timer4Timer Message: SetHook fail"), 1u);
  EXPECT_EQ(LinesWith(folder, L"hook heartbeat stale, re-installing the hook"), 1u);
  EXPECT_EQ(LinesWith(folder, L"hook installed again"), 1u);

  // Another program writes a stale heartbeat before every tick for twenty seconds: four installs.
  forged = true;
  ticksFor(20000);
  EXPECT_EQ(installs, 8);
  forged = false;

  // The thread dispatched nothing for longer than the heartbeat's period (the library's timer
  // shares it): the first tick after that does not judge the heartbeat, the next one does.
  ticksFor(6000);
  now += hook::kKeepAliveMs + 200;
  record.heartbeat = now - 6000;
  pump.OnTimer();
  EXPECT_EQ(installs, 8);
  now += 50;
  record.heartbeat = now - 6000;
  pump.OnTimer();
  EXPECT_EQ(installs, 9);

  pump.Stop();
  EXPECT_EQ(removals, 9);
  CloseAllLogs();
  ResetLoggerForTests(L"");
}

TEST(HookPump, AFloodOfRefusedTriggersCostsOneLineASecondAndAStuckClaimIsFreed) {
  const testtmp::TTempFolder temp(L"qf_pump_flood");
  const std::wstring folder = temp.Root() + L"\\";
  ResetLoggerForTests(folder);
  CommonInit();

  static hook::THookShare record{};
  DWORD now = 200000;
  int triggers = 0;
  std::vector<HWND> judged;
  THookPump pump(
      nullptr, 4, [&] { return &record; }, [] {}, [&](HWND, int) { ++triggers; },
      [&](HWND target, int, HWND, HWND, const std::vector<TOwnDialog>&) -> const wchar_t* {
        judged.push_back(target);
        return L"not in front";
      },
      [&] { return now; });
  ASSERT_TRUE(pump.Start());
  const UINT dialog = HookMessageId(hook::THookMessage::QfMDialog);
  // A forged title in the slot's window cannot forge a line: the handle is printed as a number.
  const auto fill = [&] {
    while (hook::PushSlot(record, dialog, 0x5151, tkFileDialog, 0, 0, 0) >= 0) {
    }
  };
  fill();
  pump.OnTimer();
  fill();
  now += 300;
  pump.OnTimer();
  now += 800;
  fill();
  pump.OnTimer();
  EXPECT_EQ(judged.size(), 3 * hook::kQueueSlots);
  EXPECT_EQ(triggers, 0);
  EXPECT_EQ(LinesWith(folder, L"dropped: WM_QFMDIALOG recive: Hwnd=005151, Type=4: not in front"), 2u);
  EXPECT_EQ(LinesWith(folder, L"(and 201 more before this)"), 1u);

  // A writer that claimed a slot and died: freed a second after the pump first saw it.
  record.queue[7].message = hook::kSlotClaimed;
  now += 2000;
  pump.OnTimer();
  now += hook::kClaimTimeoutMs;
  pump.OnTimer();
  EXPECT_EQ(record.queue[7].message, hook::kSlotClaimed);
  now += 1;
  pump.OnTimer();
  EXPECT_EQ(record.queue[7].message, hook::kSlotFree);
  EXPECT_EQ(LinesWith(folder, L"dropped: 1 slot(s) claimed for over a second freed (and 100 more before this)"), 1u);

  pump.Stop();
  CloseAllLogs();
  ResetLoggerForTests(L"");
}

TEST(HookPump, ATriggerIsJudgedByTheWindowInFrontOrUnderTheMouseAndTheAgentsOwnRecognition) {
  testwin::EnsureClass(L"Progman");
  testwin::EnsureClass(L"QfNotADesktop");
  testwin::TWindow desktop = testwin::Frame(L"Progman", {100, 100, 300, 300});
  testwin::TWindow other = testwin::Frame(L"QfNotADesktop", {400, 100, 600, 300});
  testwin::TWindow elsewhere = testwin::Frame(L"QfNotADesktop", {700, 400, 800, 500});
  ASSERT_TRUE(desktop && other && elsewhere);
  ::SetForegroundWindow(elsewhere.get());
  testwin::Pump();
  const auto judge = [](HWND target, int kind) {
    const wchar_t* refused = JudgeQueuedTrigger(target, kind, nullptr, nullptr);
    return std::wstring(refused != nullptr ? refused : L"taken");
  };
  // The mouse away from both: nothing named in a slot is taken, whatever it is.
  ::SetCursorPos(650, 350);
  testwin::Pump();
  EXPECT_EQ(judge(desktop.get(), tkDesktop), L"neither in front nor under the mouse");
  // Under the mouse: taken only for the kind the agent's recognition gives it.
  const POINT overDesktop = testwin::CenterOf(desktop.get());
  ::SetCursorPos(overDesktop.x, overDesktop.y);
  testwin::Pump();
  EXPECT_EQ(judge(desktop.get(), tkDesktop), L"taken");
  EXPECT_EQ(judge(desktop.get(), tkFileDialog), L"not a window of its kind");
  EXPECT_EQ(judge(desktop.get(), tkConsole), L"not a window of its kind");
  EXPECT_EQ(judge(other.get(), tkDesktop), L"neither in front nor under the mouse");
  const POINT overOther = testwin::CenterOf(other.get());
  ::SetCursorPos(overOther.x, overOther.y);
  testwin::Pump();
  EXPECT_EQ(judge(other.get(), tkDesktop), L"not a window of its kind");
  // The foreground window counts as the one under the mouse does.
  if (::GetForegroundWindow() == elsewhere.get()) {
    EXPECT_EQ(judge(elsewhere.get(), tkExplorer), L"not a window of its kind");
  }
  const HWND gone = desktop.get();
  desktop.reset();
  EXPECT_EQ(judge(gone, tkDesktop), L"no window");
  EXPECT_EQ(judge(nullptr, tkDesktop), L"no window");
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
      },
      TakeAll);
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

TEST(HookPump, TheForegroundIsHeardOncePerChangeAlsoWhereItsEventNeverComes) {
  static hook::THookShare record{};
  std::vector<std::pair<HWND, int>> heard;
  THookPump pump(
      nullptr, 4, [&]() -> hook::THookShare* { return &record; }, [] {}, [](HWND, int) {}, TakeAll,
      [] { return ::GetTickCount(); });
  pump.ListenToForeground([&](HWND window, int kind) { heard.emplace_back(window, kind); });
  ASSERT_TRUE(pump.Start());
  testwin::EnsureClass(L"QfNotADesktop");
  testwin::TWindow first = testwin::Frame(L"QfNotADesktop", {100, 100, 300, 300});
  testwin::TWindow second = testwin::Frame(L"QfNotADesktop", {400, 100, 600, 300});
  ASSERT_TRUE(first && second);
  std::vector<std::pair<HWND, int>> expected;
  for (const HWND window : {first.get(), second.get(), first.get()}) {
    ::SetForegroundWindow(window);
    testwin::Pump();
    if (::GetForegroundWindow() != window) GTEST_SKIP() << "the system gave this test no foreground";
    // The drain ticks see the change where the out-of-context event does not come (Wine); where
    // it does come, the ticks add nothing to it.
    for (int tick = 0; tick < 20; ++tick) pump.OnTimer();
    expected.emplace_back(window, tkDesktop);
  }
  EXPECT_EQ(heard, expected);
  pump.Stop();
}
