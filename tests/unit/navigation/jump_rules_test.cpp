// Explorer Jump's decisions: which stored keys are keys, which Explorer window a dialog follows,
// and when it follows one by itself.
#include "navigation/jump_rules.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(DecodeJumpKey, TakesKeysThatTypeNothingAndRefusesTheRest) {
  constexpr int kCtrl = 2 << 16, kAlt = 1 << 16, kShift = 4 << 16, kWin = 8 << 16;
  struct TRow {
    const char* what;
    int stored;
    TJumpKeyRead read;
    TJumpKey key;
  } rows[] = {
      {"off", 0, TJumpKeyRead::Off, {}},
      {"the default, Ctrl+G", kCtrl | 'G', TJumpKeyRead::Key, {2, 'G'}},
      {"Ctrl+Shift+G", kCtrl | kShift | 'G', TJumpKeyRead::Key, {6, 'G'}},
      {"Alt+1", kAlt | '1', TJumpKeyRead::Key, {1, '1'}},
      {"Windows+J", kWin | 'J', TJumpKeyRead::Key, {8, 'J'}},
      {"F8 alone", 0x77, TJumpKeyRead::Key, {0, 0x77}},
      {"G alone would eat the letter in the name box", 'G', TJumpKeyRead::Malformed, {}},
      {"Shift+G types a capital", kShift | 'G', TJumpKeyRead::Malformed, {}},
      {"a modifier as the key", kCtrl | 0x11, TJumpKeyRead::Malformed, {}},
      {"the left Shift as the key", kCtrl | 0xA0, TJumpKeyRead::Malformed, {}},
      {"a mouse button as the key", kCtrl | 0x01, TJumpKeyRead::Malformed, {}},
      {"an unknown modifier bit", (0x12 << 16) | 'G', TJumpKeyRead::Malformed, {}},
      {"a key code past the table", kCtrl | 0xFF, TJumpKeyRead::Malformed, {}},
      {"a negative value", -1, TJumpKeyRead::Malformed, {}},
  };
  for (const TRow& row : rows) {
    TJumpKey key{9, 9};
    EXPECT_EQ(DecodeJumpKey(row.stored, key), row.read) << row.what;
    EXPECT_EQ(key, row.key) << row.what;
    if (row.read == TJumpKeyRead::Key) {
      EXPECT_EQ(EncodeJumpKey(key), row.stored) << row.what;
    }
  }
  for (int stored : {-5, 3, 100}) EXPECT_EQ(AutoJumpMode(stored), TAutoJump::Off) << stored;
  EXPECT_EQ(AutoJumpMode(1), TAutoJump::BackFromExplorer);
  EXPECT_EQ(AutoJumpMode(2), TAutoJump::AlsoNewDialogs);
}

TEST(ExplorerHistory, TheLastUsedWindowThatIsStillOpenWins) {
  TExplorerHistory history;
  std::set<std::uintptr_t> open{1, 2, 3};
  const auto alive = [&open](std::uintptr_t frame) { return open.count(frame) > 0; };
  EXPECT_FALSE(history.Latest(alive)) << "nothing used yet";

  history.Used(1, L"C:\\qs\\one");
  history.Used(2, L"C:\\qs\\two");
  EXPECT_EQ(history.Latest(alive), (TExplorerVisit{2, L"C:\\qs\\two"})) << "the one used last";
  history.Used(1, L"C:\\qs\\one\\deeper");
  EXPECT_EQ(history.Latest(alive), (TExplorerVisit{1, L"C:\\qs\\one\\deeper"})) << "used again, with its new folder";
  EXPECT_EQ(history.Visits().size(), 2u) << "one visit per window";

  open.erase(1);
  EXPECT_EQ(history.Latest(alive), (TExplorerVisit{2, L"C:\\qs\\two"})) << "closed since: the next one";
  EXPECT_EQ(history.Visits().size(), 1u) << "the closed window is forgotten";
  history.Used(2, L"");
  EXPECT_FALSE(history.Latest(alive)) << "left on a virtual folder: nothing to follow from it";

  for (std::uintptr_t frame = 10; frame < 10 + 2 * TExplorerHistory::kKept; ++frame) history.Used(frame, L"C:\\f");
  EXPECT_EQ(history.Visits().size(), TExplorerHistory::kKept);
  EXPECT_EQ(history.Visits().front().frame, 10 + 2 * TExplorerHistory::kKept - 1) << "the newest kept";
}

TEST(AutoJumpWanted, FollowsOnceComingBackFromExplorerOrOnANewDialog) {
  const auto back = TAutoJump::BackFromExplorer, also = TAutoJump::AlsoNewDialogs, off = TAutoJump::Off;
  struct TRow {
    const char* what;
    TDialogArrival arrival;
    bool wanted;
  } rows[] = {
      // mode, from Explorer, first seen, excluded, has folder, jumped there
      {"back from Explorer", {back, true, false, false, true, false}, true},
      {"back from Explorer to a new dialog", {back, true, true, false, true, false}, true},
      {"a new dialog, mode 1", {back, false, true, false, true, false}, false},
      {"a new dialog, mode 2", {also, false, true, false, true, false}, true},
      {"a dialog seen before, not from Explorer", {also, false, false, false, true, false}, false},
      {"off", {off, true, true, false, true, false}, false},
      {"an excluded program", {also, true, true, true, true, false}, false},
      {"no Explorer folder known", {also, true, true, false, false, false}, false},
      {"that dialog followed that folder already", {also, true, false, false, true, true}, false},
  };
  for (const TRow& row : rows) EXPECT_EQ(AutoJumpWanted(row.arrival), row.wanted) << row.what;
}

TEST(StepPendingJump, WaitsForTheKeysToBeLetGoAndNeverWhileTheUserTypes) {
  struct TRow {
    const char* what;
    TPendingJump pending;
    TPendingStep step;
  } rows[] = {
      // in front, typing, modifier down, waited
      {"nothing held", {true, false, false, 0}, TPendingStep::Jump},
      {"the Alt of Alt+Tab still held", {true, false, true, 300}, TPendingStep::Wait},
      {"typing", {true, true, false, 100}, TPendingStep::Drop},
      {"typing a capital", {true, true, true, 100}, TPendingStep::Drop},
      {"the dialog left", {false, false, false, 100}, TPendingStep::Drop},
      {"held too long", {true, false, true, kAutoJumpPatienceMs + 1}, TPendingStep::Drop},
      {"let go at the last moment", {true, false, false, kAutoJumpPatienceMs}, TPendingStep::Jump},
  };
  for (const TRow& row : rows) EXPECT_EQ(StepPendingJump(row.pending), row.step) << row.what;
}

TEST(JumpMemory, ADialogFollowsAFolderByItselfOnceAndIsNewOnlyOnce) {
  TJumpMemory memory;
  EXPECT_TRUE(memory.FirstSight(7));
  EXPECT_FALSE(memory.FirstSight(7));
  EXPECT_FALSE(memory.JumpedThere(7, L"C:\\qs\\one"));
  memory.Jumped(7, L"C:\\qs\\one");
  EXPECT_TRUE(memory.JumpedThere(7, L"c:\\QS\\one")) << "case-blind";
  EXPECT_FALSE(memory.JumpedThere(7, L"C:\\qs\\two")) << "another folder";
  EXPECT_FALSE(memory.JumpedThere(8, L"C:\\qs\\one")) << "another dialog";
  for (std::uintptr_t dialog = 100; dialog < 100 + TJumpMemory::kKept; ++dialog) {
    memory.FirstSight(dialog);
    memory.Jumped(dialog, L"C:\\f");
  }
  EXPECT_TRUE(memory.FirstSight(7)) << "forgotten after as many others";
  EXPECT_FALSE(memory.JumpedThere(7, L"C:\\qs\\one"));

  EXPECT_TRUE(ProgramListed({L"notepad.exe", L"winword.exe"}, L"NOTEPAD.EXE"));
  EXPECT_FALSE(ProgramListed({L"notepad.exe"}, L"notepad"));
  EXPECT_FALSE(ProgramListed({L""}, L""));
}

}  // namespace
