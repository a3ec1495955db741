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
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"qf_pump_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
  ResetLoggerForTests(folder, L"qrfolder.exe");
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
  record.heartbeat = ::GetTickCount() - 6000;
  pump.OnTimer();
  EXPECT_EQ(installs, 2);
  // Still stale (a failed install leaves it so): the next tick tries again.
  record.heartbeat = ::GetTickCount() - 6000;
  pump.OnTimer();
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

  pump.Stop();
  EXPECT_EQ(removals, 4);
  CloseAllLogs();
  ResetLoggerForTests(L"", L"qrfolder.exe");
}
