// qf.dll as the agent sees it: loaded from the test's own folder, its hook installed for the
// whole session, real windows clicked with synthetic input, and a Save As dialog in a process
// of its own (hook_probe).
#include "hook/qf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "../test_windows.h"
#include "hook_library_fixture.h"
#include "hook/hook_contract.h"
#include "navigation/target_kind.h"
#include "win/handles.h"

namespace {

using hooktest::Drain;
using hooktest::HandleValue;
using hooktest::TestFolder;
using testwin::TMouseLog;
using testwin::TWindow;

// The record's fields are written by other processes and threads while the test reads them.
std::uint32_t Read(std::uint32_t& field) {
  return std::atomic_ref<std::uint32_t>(field).load(std::memory_order_acquire);
}

bool Stale(hook::THookShare& share) {
  return hook::HeartbeatStale(::GetTickCount(), Read(share.heartbeat));
}

UINT MDialogMessage() {
  return ::RegisterWindowMessageW(hook::RegisteredName(hook::THookMessage::QfMDialog).c_str());
}


class QfHook : public hooktest::THookLibraryTest {
 protected:
  hook::THookShare* InstallMiddleButtonOnly() { return Install(0, 0, 0, 0, 0, 0, 1); }
};

TEST_F(QfHook, SetHookPublishesTheRecordToEveryMappingOfItsName) {
  hook::THookShare* share = Install(2, 1, 0, 1, 0, 1, 1);
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(Read(share->agentThreadId), ::GetCurrentThreadId());
  EXPECT_EQ(Read(share->flags.mouseWheel), 2u);
  EXPECT_EQ(Read(share->flags.help), 1u);
  EXPECT_EQ(Read(share->flags.rExplorer), 0u);
  EXPECT_EQ(Read(share->flags.mExplorer), 1u);
  EXPECT_EQ(Read(share->flags.mIExplorer), 0u);
  EXPECT_EQ(Read(share->flags.mDesktop), 1u);
  EXPECT_EQ(Read(share->flags.mouseMButton), 1u);
  EXPECT_EQ(Read(share->flags.installed), 1u);

  // What another program sees when it opens the record by name, as the hook does.
  const win::TUniqueHandle mapping(
      ::OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, hook::kShareName));
  ASSERT_TRUE(mapping);
  const win::TMapView view(
      ::MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, hook::kShareSize));
  ASSERT_TRUE(view);
  auto* other = static_cast<hook::THookShare*>(view.get());
  ASSERT_NE(other, share);
  EXPECT_EQ(Read(other->agentThreadId), ::GetCurrentThreadId());
  EXPECT_EQ(std::memcmp(&other->flags, &share->flags, sizeof(share->flags)), 0);

  // A slot written through the other view, from another thread, reaches the agent's view.
  std::thread([other] { hook::PushSlot(*other, MDialogMessage(), 0x1234, tkFileDialog, 0, 1, 2); })
      .join();
  const auto slots = Drain(*share);
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].message, MDialogMessage());
  EXPECT_EQ(slots[0].wParam, 0x1234u);
  EXPECT_EQ(slots[0].lParam, static_cast<std::uint32_t>(tkFileDialog));
  EXPECT_EQ(Read(other->queue[0].message), hook::kSlotFree);
}

TEST_F(QfHook, ReinstallingTakesTheNewFlagsEveryTime) {
  for (DWORD round = 0; round < 3; ++round) {
    const DWORD on = round % 2;
    hook::THookShare* share = Install(3 - round, on, on, on, on, on, on);
    ASSERT_NE(share, nullptr) << "round " << round;
    // An agent that ended with its menu up must not leave the next one deaf to every click.
    EXPECT_EQ(Read(share->menuOpen), 0u);
    std::atomic_ref<std::uint32_t>(share->menuOpen).store(1);
    EXPECT_EQ(Read(share->flags.mouseWheel), 3 - round);
    EXPECT_EQ(Read(share->flags.help), on);
    EXPECT_EQ(Read(share->flags.mouseMButton), on);
    EXPECT_EQ(Read(share->flags.installed), 1u);
    EXPECT_FALSE(Stale(*share));

    Remove();
    EXPECT_EQ(Read(share->flags.installed), 0u);
    EXPECT_TRUE(Stale(*share)) << "nothing watches the input once the hook is gone";
  }
}

// The agent re-installs on a heartbeat older than 5 s; a user who leaves the machine alone
// must not make it do that. The heartbeat is kept by a timer of the installing thread.
TEST_F(QfHook, HeartbeatStaysFreshWhileNobodyTouchesTheMachine) {
  hook::THookShare* share = InstallMiddleButtonOnly();
  ASSERT_NE(share, nullptr);
  const std::uint32_t first = Read(share->heartbeat);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < hook::kHeartbeatStaleMs + 1500) {
    ASSERT_FALSE(Stale(*share)) << "after " << ::GetTickCount() - start << " ms";
    testwin::PumpFor(200);
  }
  EXPECT_NE(Read(share->heartbeat), first);

  Remove();
  EXPECT_TRUE(Stale(*share));
  testwin::PumpFor(1500);
  EXPECT_TRUE(Stale(*share)) << "the timer ended with the hooks";
}

// Input that waits in a thread which never fetches it is input the hooks do not see, just as
// when the hook has been lost: the heartbeat must go stale, and come back once it is seen.
TEST_F(QfHook, InputTheHooksDoNotSeeLetsTheHeartbeatGoStale) {
  hook::THookShare* share = InstallMiddleButtonOnly();
  ASSERT_NE(share, nullptr);

  win::TUniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  win::TUniqueHandle pump(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HWND busy = nullptr;
  DWORD busyThreadId = 0;
  std::thread owner([&] {
    TWindow window = testwin::Frame(L"QfTestBusyWindow", {100, 100, 500, 500});
    busy = window.get();
    busyThreadId = ::GetCurrentThreadId();
    testwin::Pump();
    ::SetEvent(ready.get());
    ::WaitForSingleObject(pump.get(), INFINITE);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  });
  const win::TScopeGuard stopOwner([&] {
    ::SetEvent(pump.get());
    if (busyThreadId) ::PostThreadMessageW(busyThreadId, WM_QUIT, 0, 0);
    owner.join();
  });
  ASSERT_EQ(::WaitForSingleObject(ready.get(), 10000), WAIT_OBJECT_0);
  ASSERT_NE(busy, nullptr);
  const POINT centre = testwin::CenterOf(busy);
  ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));

  const DWORD start = ::GetTickCount();
  bool stale = false;
  for (int i = 0; !stale && ::GetTickCount() - start < 15000; ++i) {
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    move.mi.dx = (i % 2) ? 1 : -1;
    ASSERT_EQ(::SendInput(1, &move, sizeof(move)), 1u);
    testwin::PumpFor(250);
    stale = Stale(*share);
  }
  ASSERT_TRUE(stale) << "unseen input for " << ::GetTickCount() - start << " ms";

  ::SetEvent(pump.get());
  const DWORD seenFrom = ::GetTickCount();
  while (Stale(*share) && ::GetTickCount() - seenFrom < 10000) testwin::PumpFor(100);
  EXPECT_FALSE(Stale(*share)) << "the waiting input reached the hook, so it works again";
}

// A dialog as the system's old-style Save As dialog builds it: "#32770" with the shell view
// and the file-name ComboBoxEx32 beside it.
struct TFakeFileDialog {
  TWindow dialog;
  HWND view = nullptr;
  TMouseLog log;

  explicit TFakeFileDialog(bool withComboBoxEx = true, short x = 30)
      : dialog(testwin::Dialog(WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, x, 30, 250, 180)) {
    if (!dialog) return;
    view = testwin::Child(dialog.get(), L"SHELLDLL_DefView", {10, 10, 300, 220}, &log);
    if (withComboBoxEx) testwin::Child(dialog.get(), L"ComboBoxEx32", {10, 230, 300, 250});
    testwin::Pump();
  }
};

// Clicks the middle button on the window, then the right one: input arrives in order, so once
// the right click is in, the middle button's release has been dealt with too.
bool MiddleClickThenRightClick(HWND window, const TMouseLog& log) {
  const int rightBefore = log.rightUp;
  const POINT centre = testwin::CenterOf(window);
  return testwin::ClickAt(centre, MOUSEEVENTF_MIDDLEDOWN) &&
         testwin::ClickAt(centre, MOUSEEVENTF_RIGHTDOWN) &&
         testwin::PumpUntil([&] { return log.rightUp > rightBefore; });
}

TEST_F(QfHook, MiddleClickInAFileDialogIsReportedAndNeverReachesIt) {
  hook::THookShare* share = InstallMiddleButtonOnly();
  ASSERT_NE(share, nullptr);
  TFakeFileDialog fake;
  ASSERT_NE(fake.view, nullptr);

  ASSERT_TRUE(MiddleClickThenRightClick(fake.view, fake.log));
  const auto slots = Drain(*share);
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].message, MDialogMessage());
  EXPECT_EQ(slots[0].wParam, HandleValue(fake.dialog.get()));
  EXPECT_EQ(slots[0].lParam, static_cast<std::uint32_t>(tkFileDialog));
  EXPECT_EQ(fake.log.middleDown, 0);
  EXPECT_EQ(fake.log.middleUp, 0);

  // With the trigger off the next click is the dialog's own, press and release alike.
  ASSERT_NE(Install(0, 1, 1, 1, 1, 1, 0), nullptr);
  ASSERT_TRUE(MiddleClickThenRightClick(fake.view, fake.log));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(fake.log.middleDown, 1);
  EXPECT_EQ(fake.log.middleUp, 1);
}

TEST_F(QfHook, MiddleClickPassesThroughWhileTheMenuIsOpenOrOutsideAFileDialog) {
  hook::THookShare* share = InstallMiddleButtonOnly();
  ASSERT_NE(share, nullptr);
  TFakeFileDialog fake;
  TFakeFileDialog notQuite(false, 330);  // a shell view alone does not make a file dialog
  ASSERT_TRUE(fake.view && notQuite.view);

  std::atomic_ref<std::uint32_t>(share->menuOpen).store(1);
  ASSERT_TRUE(MiddleClickThenRightClick(fake.view, fake.log));
  std::atomic_ref<std::uint32_t>(share->menuOpen).store(0);
  ASSERT_TRUE(MiddleClickThenRightClick(notQuite.view, notQuite.log));
  EXPECT_TRUE(Drain(*share).empty());
  EXPECT_EQ(fake.log.middleDown, 1);
  EXPECT_EQ(fake.log.middleUp, 1);
  EXPECT_EQ(notQuite.log.middleDown, 1);
  EXPECT_EQ(notQuite.log.middleUp, 1);

  ASSERT_TRUE(MiddleClickThenRightClick(fake.view, fake.log));
  EXPECT_EQ(Drain(*share).size(), 1u);
  EXPECT_EQ(fake.log.middleDown, 1);
}

struct TProcessTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return nullptr; }
  static void Close(Type process) noexcept {
    if (::WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) ::TerminateProcess(process, 1);
    ::CloseHandle(process);
  }
};
// A child process that is ended, if it does not end by itself, when the test is over.
using TChildProcess = win::TUnique<TProcessTraits>;

struct TFind {
  DWORD processId;
  HWND dialog;
};

HWND VisibleDialogOf(DWORD processId) {
  TFind find{processId, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* f = reinterpret_cast<TFind*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        wchar_t className[16] = {};
        ::GetClassNameW(window, className, 16);
        if (owner == f->processId && ::IsWindowVisible(window) &&
            std::wstring_view(className) == L"#32770") {
          f->dialog = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.dialog;
}

std::atomic<int> wakesSeen{0};
LRESULT CALLBACK CountWakes(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT wake = ::RegisterWindowMessageW((std::wstring(hook::kWakeMessageName) + hook::kMessageSuffix).c_str());
  if (message == wake) ++wakesSeen;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(QfHook, MiddleClickInTheSystemsSaveDialogOfAnotherProgramIsReportedAndWakesTheAgent) {
  hook::THookShare* share = InstallMiddleButtonOnly();
  ASSERT_NE(share, nullptr);
  // The window the record names gets the wake, posted from the other program.
  const HWND agent = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(agent, nullptr);
  const win::TScopeGuard destroy([&] { ::DestroyWindow(agent); });
  ::SetWindowLongPtrW(agent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountWakes));
  share->wakeWindow = HandleValue(agent);
  const win::TScopeGuard unwake([&] { share->wakeWindow = 0; });

  std::wstring commandLine = L"\"" + TestFolder() + L"hook_probe.exe\" savedialog";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info))
      << "hook_probe.exe next to the tests, error " << ::GetLastError();
  ::CloseHandle(info.hThread);
  TChildProcess probe(info.hProcess);

  HWND dialog = nullptr;
  ASSERT_TRUE(testwin::PumpUntil([&] { return (dialog = VisibleDialogOf(info.dwProcessId)); }));
  const win::TScopeGuard cancel([&] { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  const HWND view = ::FindWindowExW(dialog, nullptr, L"ShellDll_DefView", nullptr);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(testwin::PumpUntil([&] { return ::IsWindowVisible(view) != FALSE; }));

  ASSERT_TRUE(testwin::ClickAt(testwin::CenterOf(view), MOUSEEVENTF_MIDDLEDOWN));
  std::vector<hook::TQueueSlot> slots;
  ASSERT_TRUE(testwin::PumpUntil([&] {
    for (const auto& slot : Drain(*share)) slots.push_back(slot);
    return !slots.empty();
  }));
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].message, MDialogMessage());
  EXPECT_EQ(slots[0].wParam, HandleValue(dialog));
  EXPECT_EQ(slots[0].lParam, static_cast<std::uint32_t>(tkFileDialog));
  EXPECT_TRUE(testwin::PumpUntil([] { return wakesSeen.load() == 1; }, 2000)) << wakesSeen.load();
}

}  // namespace
