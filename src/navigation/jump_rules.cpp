#include "navigation/jump_rules.h"

#include <algorithm>

#include "win/text_rules.h"

namespace {

// The modifier bits a hot key may carry, and the ones that stop it from typing text.
constexpr unsigned kModifierBits = 0x1 | 0x2 | 0x4 | 0x8;
constexpr unsigned kModifierAlt = 0x1, kModifierControl = 0x2, kModifierWin = 0x8;
constexpr unsigned kFirstFunctionKey = 0x70, kLastFunctionKey = 0x87;  // F1 to F24
// Virtual keys that are modifiers or mouse buttons themselves: no key to press with others.
bool IsKeyOfItsOwn(unsigned key) {
  if (key < 0x08 || key > 0xFE) return false;
  if (key >= 0x10 && key <= 0x12) return false;  // Shift, Ctrl, Alt
  if (key >= 0x5B && key <= 0x5C) return false;  // the Windows keys
  if (key >= 0xA0 && key <= 0xA5) return false;  // left and right Shift, Ctrl, Alt
  return true;
}

bool SameFolder(const TExplorerVisit& a, std::uintptr_t frame, const std::wstring& folder) {
  return a.frame == frame && text::SameCaseBlind(a.folder, folder);
}

template <class T>
void KeepNewest(std::vector<T>& items, std::size_t kept) {
  if (items.size() > kept) items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(items.size() - kept));
}

}  // namespace

TJumpKeyRead DecodeJumpKey(int stored, TJumpKey& key) {
  key = {};
  if (stored == 0) return TJumpKeyRead::Off;
  const auto value = static_cast<unsigned>(stored);
  const unsigned modifiers = value >> 16;
  const unsigned virtualKey = value & 0xFFFF;
  if ((modifiers & ~kModifierBits) != 0 || !IsKeyOfItsOwn(virtualKey)) return TJumpKeyRead::Malformed;
  const bool functionKey = virtualKey >= kFirstFunctionKey && virtualKey <= kLastFunctionKey;
  if ((modifiers & (kModifierAlt | kModifierControl | kModifierWin)) == 0 && !functionKey)
    return TJumpKeyRead::Malformed;
  key = {modifiers, virtualKey};
  return TJumpKeyRead::Key;
}

int EncodeJumpKey(const TJumpKey& key) { return static_cast<int>((key.modifiers << 16) | (key.key & 0xFFFF)); }

TAutoJump AutoJumpMode(int stored) {
  switch (stored) {
    case 1:
      return TAutoJump::BackFromExplorer;
    case 2:
      return TAutoJump::AlsoNewDialogs;
    default:
      return TAutoJump::Off;
  }
}

void TExplorerHistory::Used(std::uintptr_t frame, const std::wstring& folder) {
  visits_.erase(std::remove_if(visits_.begin(), visits_.end(), [frame](const auto& v) { return v.frame == frame; }),
                visits_.end());
  if (folder.empty()) return;
  visits_.insert(visits_.begin(), {frame, folder});
  if (visits_.size() > kKept) visits_.resize(kKept);
}

std::optional<TExplorerVisit> TExplorerHistory::Latest(const std::function<bool(std::uintptr_t)>& alive) {
  while (!visits_.empty()) {
    if (alive(visits_.front().frame)) return visits_.front();
    visits_.erase(visits_.begin());
  }
  return std::nullopt;
}

bool AutoJumpWanted(const TDialogArrival& arrival) {
  if (arrival.mode == TAutoJump::Off || arrival.excluded || !arrival.hasFolder || arrival.jumpedThere) return false;
  if (arrival.fromExplorer) return true;
  return arrival.mode == TAutoJump::AlsoNewDialogs && arrival.firstSeen;
}

TPendingStep StepPendingJump(const TPendingJump& pending) {
  if (!pending.dialogInFront || pending.typing) return TPendingStep::Drop;
  if (pending.waitedMs > kAutoJumpPatienceMs) return TPendingStep::Drop;
  return pending.modifierDown ? TPendingStep::Wait : TPendingStep::Jump;
}

bool TJumpMemory::FirstSight(std::uintptr_t dialog) {
  if (std::find(seen_.begin(), seen_.end(), dialog) != seen_.end()) return false;
  seen_.push_back(dialog);
  KeepNewest(seen_, kKept);
  return true;
}

bool TJumpMemory::JumpedThere(std::uintptr_t dialog, const std::wstring& folder) const {
  return std::any_of(jumps_.begin(), jumps_.end(), [&](const auto& jump) { return SameFolder(jump, dialog, folder); });
}

void TJumpMemory::Jumped(std::uintptr_t dialog, const std::wstring& folder) {
  if (JumpedThere(dialog, folder)) return;
  jumps_.push_back({dialog, folder});
  KeepNewest(jumps_, kKept);
}

bool ProgramListed(const std::vector<std::wstring>& programs, const std::wstring& program) {
  return !program.empty() && std::any_of(programs.begin(), programs.end(), [&](const std::wstring& listed) {
    return text::SameCaseBlind(listed, program);
  });
}
