#include "hook/hook_contract.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using hook::THookShare;
using hook::TQueueSlot;

std::unique_ptr<THookShare> EmptyShare() { return std::make_unique<THookShare>(); }

std::vector<TQueueSlot> DrainAll(THookShare& share) {
  std::vector<TQueueSlot> slots;
  hook::DrainQueue(share, [&](const TQueueSlot& slot) { slots.push_back(slot); });
  return slots;
}

TEST(HookContract, PushedSlotsDrainInIndexOrderWithTheirFields) {
  auto share = EmptyShare();
  EXPECT_EQ(hook::PushSlot(*share, 0xC001, 0x10, 4, 111, -5, 7), 0);
  EXPECT_EQ(hook::PushSlot(*share, 0xC002, 0x20, 2, 222, 8, -9), 1);
  EXPECT_EQ(hook::PushSlot(*share, 0xC003, 0x30, 9, 333, 0, 0), 2);

  const auto slots = DrainAll(*share);
  ASSERT_EQ(slots.size(), 3u);
  const TQueueSlot& first = slots[0];
  EXPECT_EQ(first.message, 0xC001u);
  EXPECT_EQ(first.wParam, 0x10u);
  EXPECT_EQ(first.lParam, 4u);
  EXPECT_EQ(first.time, 111u);
  EXPECT_EQ(first.x, -5);
  EXPECT_EQ(first.y, 7);
  EXPECT_EQ(slots[1].message, 0xC002u);
  EXPECT_EQ(slots[2].message, 0xC003u);
  for (const TQueueSlot& slot : share->queue) EXPECT_EQ(slot.message, hook::kSlotFree);
}

TEST(HookContract, SlotHeldByAWriterIsNeitherDrainedNorReused) {
  auto share = EmptyShare();
  share->queue[0].message = hook::kSlotClaimed;
  share->queue[0].wParam = 0xDEAD;

  EXPECT_EQ(hook::PushSlot(*share, 0xC001, 1, 4, 0, 0, 0), 1);
  const auto slots = DrainAll(*share);
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].wParam, 1u);
  EXPECT_EQ(share->queue[0].message, hook::kSlotClaimed);
  EXPECT_EQ(share->queue[0].wParam, 0xDEADu);
}

TEST(HookContract, ASlotClaimedForOverASecondIsFreedAndOnePublishedMeanwhileIsLeftToItsWriter) {
  auto share = EmptyShare();
  hook::TClaimSightings sightings{};
  const auto claim = [&](std::size_t i) { share->queue[i].message = hook::kSlotClaimed; };
  // Slot 0 stuck from tick 0 (a sighting of 0 means none), slot 1 from a tick just before the
  // counter wraps, slot 2 published by its writer between two looks.
  claim(0);
  EXPECT_EQ(hook::FreeStuckClaims(*share, sightings, 0), 0);
  claim(1);
  claim(2);
  EXPECT_EQ(hook::FreeStuckClaims(*share, sightings, 0xFFFFFF00u), 1) << "slot 0 has been claimed for ages";
  EXPECT_EQ(share->queue[0].message, hook::kSlotFree);
  share->queue[2].message = 0xC001;
  // {tick of the look, slots freed, slot 1 then}
  const struct {
    std::uint32_t now;
    int freed;
    std::uint32_t slot1;
  } looks[] = {{0xFFFFFF00u + hook::kClaimTimeoutMs, 0, hook::kSlotClaimed},
               {0xFFFFFF00u + hook::kClaimTimeoutMs + 1, 1, hook::kSlotFree},
               {0xFFFFFF00u + 10 * hook::kClaimTimeoutMs, 0, hook::kSlotFree}};
  for (const auto& look : looks) {
    EXPECT_EQ(hook::FreeStuckClaims(*share, sightings, look.now), look.freed) << look.now;
    EXPECT_EQ(share->queue[1].message, look.slot1) << look.now;
  }
  EXPECT_EQ(share->queue[2].message, 0xC001u);
  // Claimed again after it was freed: a new sighting, not the old one.
  claim(0);
  EXPECT_EQ(hook::FreeStuckClaims(*share, sightings, 50000), 0);
  EXPECT_EQ(hook::FreeStuckClaims(*share, sightings, 50000 + hook::kClaimTimeoutMs), 0);
  EXPECT_EQ(share->queue[0].message, hook::kSlotClaimed);
}

TEST(HookContract, AnyOtherMessageIsHandedOverAndFreed) {
  auto share = EmptyShare();
  share->queue[50].message = 7;  // not a registered number: still taken and freed
  share->queue[50].wParam = 0x1234;

  const auto slots = DrainAll(*share);
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].message, 7u);
  EXPECT_EQ(slots[0].wParam, 0x1234u);
  EXPECT_EQ(share->queue[50].message, hook::kSlotFree);
}

TEST(HookContract, FullQueueRefusesUntilASlotIsFreed) {
  auto share = EmptyShare();
  for (std::uint32_t i = 0; i < hook::kQueueSlots; ++i) {
    ASSERT_EQ(hook::PushSlot(*share, 0xC000 + i, i, 4, 0, 0, 0), static_cast<int>(i));
  }
  EXPECT_EQ(hook::PushSlot(*share, 0xCFFF, 999, 4, 0, 0, 0), -1);

  share->queue[42].message = hook::kSlotFree;
  EXPECT_EQ(hook::PushSlot(*share, 0xCFFF, 999, 4, 0, 0, 0), 42);
  EXPECT_EQ(share->queue[42].wParam, 999u);
}

// Writers in several threads race each other and a reader that drains as they go: every
// pushed slot must arrive exactly once and whole (its fields all derived from one id).
TEST(HookContract, ConcurrentWritersNeitherLoseNorDuplicateSlots) {
  constexpr int kWriters = 4;
  constexpr std::uint32_t kPerWriter = 5000;
  constexpr std::uint32_t kTotal = kWriters * kPerWriter;
  auto share = EmptyShare();
  std::vector<int> seen(kTotal, 0);
  std::atomic<int> writersDone{0};
  int torn = 0;

  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (std::uint32_t n = 0; n < kPerWriter; ++n) {
        const std::uint32_t id = static_cast<std::uint32_t>(w) * kPerWriter + n;
        while (hook::PushSlot(*share, 0xC000 + (id % 7), id, id * 3, id + 1, static_cast<std::int32_t>(id),
                              -static_cast<std::int32_t>(id)) < 0) {
          std::this_thread::yield();
        }
      }
      writersDone.fetch_add(1);
    });
  }
  std::uint32_t received = 0;
  const auto take = [&](const TQueueSlot& slot) {
    ++received;
    if (slot.wParam >= kTotal || slot.lParam != slot.wParam * 3 || slot.time != slot.wParam + 1 ||
        slot.x != static_cast<std::int32_t>(slot.wParam) || slot.y != -static_cast<std::int32_t>(slot.wParam) ||
        slot.message != 0xC000 + (slot.wParam % 7)) {
      ++torn;
      return;
    }
    ++seen[slot.wParam];
  };
  while (writersDone.load() < kWriters) hook::DrainQueue(*share, take);
  for (auto& t : writers) t.join();
  hook::DrainQueue(*share, take);

  EXPECT_EQ(torn, 0);
  EXPECT_EQ(received, kTotal);
  int missing = 0, duplicated = 0;
  for (int count : seen) {
    missing += count == 0;
    duplicated += count > 1;
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(duplicated, 0);
}

TEST(HookContract, HeartbeatStaleAfterFiveSecondsAcrossTickWrapAround) {
  EXPECT_FALSE(hook::HeartbeatStale(10000, 5000));
  EXPECT_TRUE(hook::HeartbeatStale(10001, 5000));
  // GetTickCount wraps after 49.7 days: a heartbeat from just before the wrap is still recent.
  EXPECT_FALSE(hook::HeartbeatStale(1000, 0xFFFFFFFFu - 999));
  EXPECT_TRUE(hook::HeartbeatStale(5000, 0xFFFFFFFFu - 999));
  // A heartbeat stamped a moment after the reader took its tick is not stale.
  EXPECT_FALSE(hook::HeartbeatStale(1000, 1001));
}

void Put(std::uint16_t (&field)[hook::kListedTextChars], const wchar_t* text) {
  std::size_t i = 0;
  for (; text[i] != 0; ++i) field[i] = static_cast<std::uint16_t>(text[i]);
  field[i] = 0;
}

TEST(HookContract, TheListOfOwnDialogsIsReadWithinItsOwnBoundsWhateverIsWrittenThere) {
  auto list = std::make_unique<hook::TDialogList>();
  *list = {};
  EXPECT_EQ(hook::ListedCount(*list), 0u);
  list->count = 0xFFFFFFFFu;  // a forged count: no reader looks past the last entry
  EXPECT_EQ(hook::ListedCount(*list), hook::kListedDialogs);
  list->count = 3;
  EXPECT_EQ(hook::ListedCount(*list), 3u);

  hook::TListedDialog& entry = list->entries[0];
  Put(entry.program, L"target_*.exe");
  Put(entry.className, L"QfTest*");
  Put(entry.title, L"Quillrook ? Dialog");
  struct {
    const wchar_t *program, *className, *title;
    bool taken;
  } rows[] = {
      {L"TARGET_windows.exe", L"QfTestDialog", L"Quillrook Keys Dialog", false},
      {L"target_windows.exe", L"qftestdialog", L"Quillrook X Dialog", true},
      {L"other.exe", L"QfTestDialog", L"Quillrook X Dialog", false},
      {L"target_windows.exe", L"QfPane", L"Quillrook X Dialog", false},
      // A title that cannot be read without waiting is no match for an entry that names one.
      {L"target_windows.exe", L"QfTestDialog", nullptr, false},
      // Nor is a program whose name another thread is still reading.
      {nullptr, L"QfTestDialog", L"Quillrook X Dialog", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(hook::ListedDialogTakes(entry, r.program, r.className, r.title), r.taken)
        << (r.className ? "" : "?") << (r.title ? "" : " no title") << (r.program ? "" : " no program");
  // The first row only missed by its title's letter count.
  EXPECT_TRUE(hook::ListedDialogTakes(entry, L"target_windows.exe", L"QfTestDialog", L"Quillrook K Dialog"));

  // Empty program and title take any; an empty class takes nothing.
  hook::TListedDialog any{};
  Put(any.className, L"*");
  EXPECT_TRUE(hook::ListedDialogTakes(any, nullptr, L"Anything", nullptr));
  hook::TListedDialog none{};
  EXPECT_FALSE(hook::ListedDialogTakes(none, L"a.exe", L"Anything", L"t"));

  // Names that fill their arrays without a terminator are read to the array's end and no further.
  hook::TListedDialog& full = list->entries[1];
  for (auto* field : {&full.program, &full.className, &full.title})
    for (auto& c : *field) c = u'A';
  full.reserved = u'B';
  const std::wstring exact(hook::kListedTextChars, L'a');
  EXPECT_TRUE(hook::ListedDialogTakes(full, exact.c_str(), exact.c_str(), exact.c_str()));
  const std::wstring longer = exact + L"b";
  EXPECT_FALSE(hook::ListedDialogTakes(full, longer.c_str(), exact.c_str(), exact.c_str()));
}

}  // namespace
