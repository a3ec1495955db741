#include "hook/hook_contract.h"

#include "win/wildcard.h"

namespace hook {

int PushSlot(THookShare& share, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam, std::uint32_t time,
             std::int32_t x, std::int32_t y) noexcept {
  for (std::size_t i = 0; i < kQueueSlots; ++i) {
    std::atomic_ref<std::uint32_t> field(share.queue[i].message);
    std::uint32_t expected = kSlotFree;
    if (!field.compare_exchange_strong(expected, kSlotClaimed, std::memory_order_acq_rel)) continue;
    TQueueSlot& slot = share.queue[i];
    slot.window = 0;
    slot.wParam = wParam;
    slot.lParam = lParam;
    slot.time = time;
    slot.x = x;
    slot.y = y;
    field.store(message, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

int FreeStuckClaims(THookShare& share, TClaimSightings& sightings, std::uint32_t now) noexcept {
  // A sighting of 0 means none, so a sighting taken at tick 0 is kept as 1.
  const std::uint32_t stamp = now != 0 ? now : 1;
  int freed = 0;
  for (std::size_t i = 0; i < kQueueSlots; ++i) {
    std::atomic_ref<std::uint32_t> field(share.queue[i].message);
    if (field.load(std::memory_order_acquire) != kSlotClaimed) {
      sightings[i] = 0;
      continue;
    }
    if (sightings[i] == 0) {
      sightings[i] = stamp;
      continue;
    }
    if (now - sightings[i] <= kClaimTimeoutMs) continue;
    std::uint32_t expected = kSlotClaimed;
    if (field.compare_exchange_strong(expected, kSlotFree, std::memory_order_acq_rel)) ++freed;
    sightings[i] = 0;
  }
  return freed;
}

namespace {

template <class Char>
std::size_t TextLength(const Char* text) noexcept {
  std::size_t length = 0;
  if (text != nullptr)
    while (text[length] != 0) ++length;
  return length;
}

bool Takes(const std::uint16_t (&pattern)[kListedTextChars], const wchar_t* text, bool emptyTakesAny) noexcept {
  const std::size_t length = win::BoundedLength(pattern, kListedTextChars);
  if (length == 0) return emptyTakesAny;
  return text != nullptr && win::WildcardMatches(pattern, length, text, TextLength(text));
}

}  // namespace

bool ListedDialogTakes(const TListedDialog& entry, const wchar_t* program, const wchar_t* className,
                       const wchar_t* title) noexcept {
  return Takes(entry.program, program, true) && Takes(entry.className, className, false) &&
         Takes(entry.title, title, true);
}

std::size_t ListedCount(const TDialogList& list) noexcept {
  const std::uint32_t count =
      std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(list.count)).load(std::memory_order_acquire);
  return count < kListedDialogs ? count : kListedDialogs;
}

}  // namespace hook
