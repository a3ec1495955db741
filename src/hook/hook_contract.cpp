#include "hook/hook_contract.h"

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

}  // namespace hook
