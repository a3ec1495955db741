#include "core/tray_events.h"

TTrayEvent DecodeTrayEvent(std::intptr_t lParam, bool version4) {
  using namespace trayevents;
  if (version4) {
    const auto event = static_cast<std::uint32_t>(lParam & 0xFFFF);
    if (event == kContextMenu) return TTrayEvent::Menu;
    if (event == kSelect || event == kKeySelect) return TTrayEvent::Select;
  } else {
    const auto event = static_cast<std::uint32_t>(lParam);
    if (event == kRightButtonUp) return TTrayEvent::Menu;
    if (event == kLeftButtonUp) return TTrayEvent::Select;
  }
  return TTrayEvent::None;
}
