#include "hook/hook_contract.h"

namespace hook {

int PushSlot(THookShare& share, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam,
             std::uint32_t time, std::int32_t x, std::int32_t y) noexcept {
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

}  // namespace hook
