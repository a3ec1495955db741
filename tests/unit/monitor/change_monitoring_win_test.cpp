// The watch with its real thread on a real folder: a burst of changes gives one notification
// five seconds after its first change, a later change another; stopping ends a pending request
// at once; a missing folder is logged and watched no further.
#include "monitor/change_monitoring.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "../test_temp_folder.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

using TClock = std::chrono::steady_clock;

// Runs this thread's messages (the watch's calls and timer) until `done` or the bound.
template <class F>
bool PumpUntil(F done, std::chrono::milliseconds bound) {
  const auto end = TClock::now() + bound;
  while (!done()) {
    if (TClock::now() > end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  return true;
}

void Touch(const std::wstring& file) { ASSERT_TRUE(testtmp::WriteBytes(file)); }

class ChangeWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.Root() + L"\\";
    folder_ = root_ + L"Recent";
    ASSERT_TRUE(ForceDirectories(folder_));
    ResetLoggerForTests(root_ + L"Log\\");
    watch_.SetCallback([this] { notified_.push_back(TClock::now()); });
  }
  void TearDown() override {
    watch_.StopChangeWatch();
    CloseAllLogs();
    ResetLoggerForTests(L"");
  }

  std::vector<std::wstring> LogTexts() {
    SaveAllLogs(false);
    std::vector<std::wstring> texts;
    win::TFileHandle file(::CreateFileW((root_ + L"Log\\folder.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) return texts;
    std::string bytes(1 << 20, '\0');
    DWORD read = 0;
    ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    for (const auto& line : logformat::DecodeLogLines(bytes)) {
      const auto at = line.find(L" (common): ");
      texts.push_back(at == std::wstring::npos ? line : line.substr(at + 11));
    }
    return texts;
  }

  bool Logged(const std::wstring& text) {
    for (const auto& line : LogTexts())
      if (line.find(text) != std::wstring::npos) return true;
    return false;
  }

  // Before the watch, so that it goes last.
  const testtmp::TTempFolder temp_{L"qf_watch"};
  std::wstring root_;
  std::wstring folder_;
  std::vector<TClock::time_point> notified_;
  TChangeWatch watch_;
};

}  // namespace

TEST_F(ChangeWatch, ABurstGivesOneNotificationAfterFiveSecondsAndALaterChangeAnother) {
  watch_.StartChangeWatch(folder_);
  ASSERT_TRUE(PumpUntil([&] { return Logged(L"Start change monitoring Parameters: Path=" + folder_); },
                        std::chrono::seconds(5)));
  const auto first = TClock::now();
  for (int i = 0; i < 10; ++i) {
    Touch(folder_ + L"\\doc" + std::to_wstring(i) + L".txt.lnk");
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(PumpUntil([&] { return !notified_.empty(); }, std::chrono::seconds(10)));
  const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(notified_[0] - first).count();
  EXPECT_GE(after, 4900);
  EXPECT_LE(after, 6500);
  PumpUntil([] { return false; }, std::chrono::seconds(1));
  EXPECT_EQ(notified_.size(), 1u) << "the burst is one notification";
  const auto texts = LogTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"Find changes in folder Parameters: Path=" + folder_), texts.end());

  Touch(folder_ + L"\\later.txt.lnk");
  ASSERT_TRUE(PumpUntil([&] { return notified_.size() == 2; }, std::chrono::seconds(10)));

  // Stopping while a request is pending ends the thread at once.
  const auto stop = TClock::now();
  watch_.StopChangeWatch();
  EXPECT_LT(TClock::now() - stop, std::chrono::milliseconds(1000));
  EXPECT_TRUE(Logged(L"Ending change watch"));
  EXPECT_TRUE(Logged(L"Stopping change monitoring Parameters: Path=" + folder_));
  // Nothing notifies any more.
  Touch(folder_ + L"\\after stop.txt.lnk");
  PumpUntil([] { return false; }, std::chrono::milliseconds(5500));
  EXPECT_EQ(notified_.size(), 2u);
}

TEST_F(ChangeWatch, AMergeTimerThatFailsToStartIsTriedAgainAtTheNextChange) {
  bool refusing = true;
  watch_.SetTimerStart([&](HWND window, UINT_PTR id, UINT intervalMs) {
    if (refusing) {
      ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
      return false;
    }
    return ::SetTimer(window, id, intervalMs, nullptr) != 0;
  });
  watch_.StartChangeWatch(folder_);
  ASSERT_TRUE(PumpUntil([&] { return Logged(L"Start change monitoring Parameters: Path=" + folder_); },
                        std::chrono::seconds(5)));
  Touch(folder_ + L"\\refused.txt.lnk");
  ASSERT_TRUE(PumpUntil([&] { return Logged(L"SetTimer fail"); }, std::chrono::seconds(5)));
  PumpUntil([] { return false; }, std::chrono::milliseconds(5500));
  EXPECT_TRUE(notified_.empty()) << "no timer ran for the refused change";
  refusing = false;

  Touch(folder_ + L"\\next.txt.lnk");
  ASSERT_TRUE(PumpUntil([&] { return !notified_.empty(); }, std::chrono::seconds(10)))
      << "the next change starts the timer again";
  EXPECT_TRUE(Logged(L"SetTimer works again"));
  Touch(folder_ + L"\\later.txt.lnk");
  ASSERT_TRUE(PumpUntil([&] { return notified_.size() == 2; }, std::chrono::seconds(10)));
}

TEST_F(ChangeWatch, AMissingFolderIsLoggedAndNotWatched) {
  const std::wstring missing = root_ + L"no such folder";
  watch_.StartChangeWatch(missing);
  ASSERT_TRUE(PumpUntil([&] { return Logged(L"Invalid folder path: " + missing); }, std::chrono::seconds(5)));
  EXPECT_FALSE(Logged(L"Stopping change monitoring"));
  watch_.StopChangeWatch();
  EXPECT_TRUE(notified_.empty());
}

// Any program may send the watch's window its call message: the parameter once named the
// function to run. Here it names one that would leave a mark, as a forged parameter could name
// code of the sender's choosing.
TEST_F(ChangeWatch, ACallMessageFromOutsideRunsNothingItNames) {
  const HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, L"QuillFolderChangeWatch", nullptr);
  ASSERT_NE(window, nullptr);
  bool ran = false;
  const std::function<void()> forged = [&ran] { ran = true; };
  ::SendMessageW(window, WM_APP + 3, 0, reinterpret_cast<LPARAM>(&forged));
  EXPECT_FALSE(ran);
  // A creation message sent again takes no object from its parameter.
  CREATESTRUCTW create{};
  create.lpCreateParams = const_cast<std::function<void()>*>(&forged);
  ::SendMessageW(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create));
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&watch_));
  // The watch's own calls still run.
  watch_.StartChangeWatch(folder_);
  EXPECT_TRUE(PumpUntil([this] { return Logged(L"Start change monitoring"); }, std::chrono::seconds(10)));
}
