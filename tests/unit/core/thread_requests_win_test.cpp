// The keeper of thread requests on a real modal loop: a message box of the test's thread, while
// a helper thread posts messages to that thread and then closes the box. What the box's loop
// would have dropped is kept, in order; the rest goes on as the loop has it.
#include "core/thread_requests.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <utility>
#include <vector>

#include "../test_dialog_driver.h"

namespace {

constexpr UINT kRequest = WM_APP + 40;
constexpr UINT kOtherRequest = WM_APP + 41;
constexpr UINT kNotKept = WM_APP + 42;
constexpr wchar_t kBoxTitle[] = L"Thread requests under test";

using TSeen = std::vector<std::pair<UINT, WPARAM>>;

TSeen Seen(const std::vector<MSG>& messages) {
  TSeen seen;
  for (const MSG& message : messages) {
    EXPECT_EQ(message.hwnd, nullptr);
    seen.emplace_back(message.message, message.wParam);
  }
  return seen;
}

// What the helper posts while the box is up: a thread message, or one to the box's window.
struct TPost {
  UINT message;
  WPARAM wParam;
  bool toBox = false;
};

// Shows a message box on this thread and answers once it is closed. The helper closes it with a
// message posted after `posts`, so the box's loop has taken every one of them before it ends.
void PostWhileABoxIsUp(const std::vector<TPost>& posts) {
  const DWORD thread = ::GetCurrentThreadId();
  bool found = false;
  std::thread helper([&] {
    const HWND box = testdlg::WaitForDialog(thread, kBoxTitle);
    found = box != nullptr;
    for (const TPost& post : posts) {
      if (post.toBox)
        ::PostMessageW(box, post.message, post.wParam, 0);
      else
        ::PostThreadMessageW(thread, post.message, post.wParam, 0);
    }
    // With no box to close, a quit message ends the loop instead of leaving the test hanging.
    if (found)
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    else
      ::PostThreadMessageW(thread, WM_QUIT, 0, 0);
  });
  ::MessageBoxW(nullptr, L"A modal loop of the test's thread.", kBoxTitle, MB_OK);
  helper.join();
  ASSERT_TRUE(found) << "the message box did not come up";
}

// Whether a thread message of that number is still in this thread's queue.
bool Queued(UINT message) {
  MSG left{};
  return ::PeekMessageW(&left, reinterpret_cast<HWND>(-1), message, message, PM_REMOVE) != FALSE;
}

TEST(ThreadRequests, TheChosenThreadMessagesOfAModalLoopAreKeptInOrderAndNoOthers) {
  TThreadRequests requests;
  ASSERT_TRUE(requests.Keep(kRequest));
  ASSERT_TRUE(requests.Keep(kOtherRequest));
  PostWhileABoxIsUp({{kRequest, 1},
                     {kNotKept, 2},
                     {kOtherRequest, 3},
                     // A window's message of the same number is the window's own, not a request.
                     {kRequest, 4, true},
                     {kRequest, 5},
                     {kOtherRequest, 6}});
  EXPECT_EQ(Seen(requests.Take()), (TSeen{{kRequest, 1}, {kOtherRequest, 3}, {kRequest, 5}, {kOtherRequest, 6}}));
  // The loop had the other one and let it go, as it would without the keeper.
  EXPECT_FALSE(Queued(kNotKept));
}

TEST(ThreadRequests, ARequestServedAtOnceIsNotKept) {
  TThreadRequests requests;
  ASSERT_TRUE(requests.Keep(kRequest));
  ASSERT_TRUE(requests.Keep(kOtherRequest));
  std::vector<WPARAM> asked;
  requests.ServeAtOnce([&](const MSG& message) {
    asked.push_back(message.wParam);
    return message.wParam % 2 == 0;
  });
  PostWhileABoxIsUp({{kRequest, 1}, {kRequest, 2}, {kNotKept, 3}, {kOtherRequest, 4}, {kOtherRequest, 5}});
  EXPECT_EQ(asked, (std::vector<WPARAM>{1, 2, 4, 5})) << "asked about the kept numbers only, in order";
  EXPECT_EQ(Seen(requests.Take()), (TSeen{{kRequest, 1}, {kOtherRequest, 5}}));
}

TEST(ThreadRequests, TakeEmptiesWhatWasKeptAndTheThreadsOwnLoopIsLeftAlone) {
  TThreadRequests requests;
  ASSERT_TRUE(requests.Keep(kRequest));
  PostWhileABoxIsUp({{kRequest, 1}, {kRequest, 2}});
  EXPECT_EQ(Seen(requests.Take()), (TSeen{{kRequest, 1}, {kRequest, 2}}));
  EXPECT_TRUE(requests.Take().empty());

  // Outside a modal loop the request reaches the thread's own loop, and nothing is kept.
  ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), kRequest, 3, 0));
  MSG message{};
  ASSERT_TRUE(::PeekMessageW(&message, reinterpret_cast<HWND>(-1), kRequest, kRequest, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_TRUE(requests.Take().empty());

  // A later modal loop keeps again from empty.
  PostWhileABoxIsUp({{kRequest, 4}});
  EXPECT_EQ(Seen(requests.Take()), (TSeen{{kRequest, 4}}));
}

}  // namespace

TEST(ThreadRequests, AFloodPostedDuringOneLoopKeepsOnlyItsFirstSixtyFour) {
  TThreadRequests requests;
  ASSERT_TRUE(requests.Keep(kRequest));
  std::vector<TPost> flood;
  TSeen first;
  for (WPARAM i = 0; i < 500; ++i) {
    flood.push_back({kRequest, i});
    if (i < 64) first.emplace_back(kRequest, i);
  }
  PostWhileABoxIsUp(flood);
  EXPECT_EQ(Seen(requests.Take()), first);
  EXPECT_TRUE(requests.Take().empty());
}
