#include "core/hook_pump.h"

#include <atomic>
#include <cstdint>
#include <string>

#include "core/hook_client.h"
#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "navigation/own_dialog_target.h"
#include "navigation/shell_windows.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "win/handles.h"

namespace {

// The drain timer's period: the longest a trigger waits in the queue when its wake is lost.
constexpr UINT kDrainIntervalMs = 50;
constexpr wchar_t kHandler[] = L"QuillFolder.WMHandler";
// Drain ticks between two looks at the foreground window: 200 ms, the longest a change waits to be
// seen where its event never comes; 1 s where the events come, for one that was lost.
constexpr unsigned kForegroundCheckTicks = 4;
constexpr unsigned kForegroundCheckWithEventsTicks = 20;

HWND RootOf(HWND window) { return window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr; }

// The target, or its top-level window, is the foreground window or the one under the mouse, or
// the top-level window of either.
bool InFrontOrUnderMouse(HWND target) {
  POINT cursor{};
  const HWND under = ::GetCursorPos(&cursor) ? ::WindowFromPoint(cursor) : nullptr;
  const HWND root = RootOf(target);
  for (const HWND seen : {::GetForegroundWindow(), under}) {
    if (seen == nullptr) continue;
    if (seen == target || RootOf(seen) == target || (root != nullptr && RootOf(seen) == root)) return true;
  }
  return false;
}

}  // namespace

const wchar_t* JudgeQueuedTrigger(HWND target, int kind, HWND control, HWND shellFrame,
                                  const std::vector<TOwnDialog>& ownDialogs) {
  if (target == nullptr || !::IsWindow(target)) return L"no window";
  if (!InFrontOrUnderMouse(target)) return L"neither in front nor under the mouse";
  if (kind == tkOwnDialog) return OwnDialogOf(target, ownDialogs) ? nullptr : L"no Dialogs entry takes it";
  if (!RecognisedAs(target, kind, control, shellFrame)) return L"not a window of its kind";
  return nullptr;
}

thread_local THookPump* THookPump::watcher_ = nullptr;

THookPump::THookPump(HWND timerWindow, UINT_PTR timerId, TInstall install, TRemove remove, TTrigger trigger,
                     TJudge judge, TClock clock)
    : timerWindow_(timerWindow),
      timerId_(timerId),
      install_(std::move(install)),
      remove_(std::move(remove)),
      trigger_(std::move(trigger)),
      judge_(std::move(judge)),
      clock_(std::move(clock)) {}

bool THookPump::Start() {
  hook::THookShare* share = install_();
  if (share == nullptr) return false;
  Adopt(share);
  installed_ = true;
  // Programs that still map the record keep what hooks queued for an agent that has gone;
  // those clicks are long past, and acting on them now would pop up a menu out of nowhere.
  const int stale = hook::DrainQueue(*share_, [](const hook::TQueueSlot&) {});
  if (stale > 0)
    CommonLogRunEvent(L"QuillFolder.FormCreate", L"stale hook messages dropped: " + std::to_wstring(stale));
  StartTimer();
  watcher_ = this;
  foreground_.reset(::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, ForegroundEvent, 0, 0,
                                      WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
  return true;
}

void CALLBACK THookPump::ForegroundEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (object != OBJID_WINDOW || child != CHILDID_SELF || window == nullptr) return;
  GuardedCallback(kHandler, [window] {
    if (watcher_ == nullptr) return;
    watcher_->foregroundEventsCome_ = true;
    watcher_->OnForeground(window);
  });
}

void THookPump::OnForeground(HWND window) {
  lastForeground_ = window;
  if (share_ == nullptr) return;
  const int kind = ClassifyNamingFrame(window);
  if (foregroundListener_) foregroundListener_(window, kind);
}

int THookPump::ClassifyNamingFrame(HWND window) {
  // Known by its styles (or no frame at all): the hook decides alone.
  const TargetKind kind = ClassifyWindow(window);
  if (kind != tkDesktop) return kind;
  bool byList = false;
  const TargetKind listed = ClassifyWithShellList(window, &byList);
  if (byList) NameShellFrame(window);
  if (listed == tkDesktop && OwnDialogOf(window, ownDialogs_) != nullptr) return tkOwnDialog;
  return listed;
}

const TOwnDialog* THookPump::OwnDialogFor(HWND window) const { return OwnDialogOf(window, ownDialogs_); }

void THookPump::NameShellFrame(HWND frame) {
  namedFrame_ = frame;
  if (share_ != nullptr)
    std::atomic_ref<std::uint32_t>(share_->shellFrame).store(win::HandleToRecord(frame), std::memory_order_release);
}

void THookPump::Adopt(hook::THookShare* share) {
  share_ = share;
  std::atomic_ref<std::uint32_t>(share_->wakeWindow)
      .store(win::HandleToRecord(timerWindow_), std::memory_order_release);
}

void THookPump::StartTimer() { timer_ = ::SetTimer(timerWindow_, timerId_, kDrainIntervalMs, nullptr); }

void THookPump::Stop() {
  foreground_.reset();
  if (watcher_ == this) watcher_ = nullptr;
  if (timer_ != 0) ::KillTimer(timerWindow_, timer_);
  timer_ = 0;
  if (share_ != nullptr) std::atomic_ref<std::uint32_t>(share_->wakeWindow).store(0, std::memory_order_release);
  if (installed_) remove_();
  installed_ = false;
}

bool THookPump::Reinstall() {
  remove_();
  hook::THookShare* share = install_();
  installed_ = share != nullptr;
  if (share != nullptr) Adopt(share);
  return installed_;
}

void THookPump::SetMenuOpen(bool open) {
  if (share_ != nullptr) std::atomic_ref<std::uint32_t>(share_->menuOpen).store(open ? 1 : 0);
}

void THookPump::OnTimer() {
  if (share_ == nullptr || draining_) return;
  Drain();
  // The foreground is looked at every few ticks where its event has never come (Wine), and now and
  // then where it does, for an event lost.
  const unsigned every = foregroundEventsCome_ ? kForegroundCheckWithEventsTicks : kForegroundCheckTicks;
  if (++ticksSinceForegroundCheck_ >= every) {
    ticksSinceForegroundCheck_ = 0;
    const HWND front = ::GetForegroundWindow();
    if (front != lastForeground_ && front != nullptr) GuardedCallback(kHandler, [this, front] { OnForeground(front); });
  }
  // The heartbeat is written by a timer of this same thread. After a stretch in which the thread
  // dispatched nothing (a long call, the machine asleep) that timer has not had its turn yet:
  // the heartbeat is judged at the next tick.
  const DWORD now = clock_();
  const bool closeToLastTick = lastTick_ == 0 || now - lastTick_ <= hook::kKeepAliveMs;
  lastTick_ = now;
  if (closeToLastTick) GuardedCallback(L"QuillFolder.Timer4Timer", [this] { CheckHeartbeat(); });
  if (installed_ || failing_) StartTimer();
}

void THookPump::OnWake() {
  if (share_ == nullptr || draining_) return;
  Drain();
  if (installed_ || failing_) StartTimer();
}

void THookPump::Drain() {
  // A trigger's menu and the command after it run inside this call, in modal loops that
  // dispatch the timer and further wakes: neither drains again until it is done.
  if (timer_ != 0) ::KillTimer(timerWindow_, timer_);
  timer_ = 0;
  draining_ = true;
  win::TScopeGuard done([this] { draining_ = false; });
  hook::DrainQueue(*share_, [this](const hook::TQueueSlot& slot) {
    GuardedCallback(L"QuillFolder.HandleMsg", [&] { Dispatch(slot); });
  });
  if (const int freed = hook::FreeStuckClaims(*share_, claimSightings_, clock_()))
    Dropped(std::to_wstring(freed) + L" slot(s) claimed for over a second freed");
}

void THookPump::Dropped(const std::wstring& what) {
  unsigned long heldBack = 0;
  if (!dropLines_.Pass(clock_(), heldBack)) return;
  std::wstring text = L"dropped: " + what;
  if (heldBack > 0) text += L" (and " + std::to_wstring(heldBack) + L" more before this)";
  CommonLogRunEvent(kHandler, text);
}

void THookPump::Dispatch(const hook::TQueueSlot& slot) {
  for (int i = 0; i < static_cast<int>(hook::THookMessage::Count); ++i) {
    const auto message = static_cast<hook::THookMessage>(i);
    if (slot.message != HookMessageId(message)) continue;
    const hook::TQueuedRequest request = hook::kQueuedRequests[static_cast<std::size_t>(i)];
    if (request == hook::TQueuedRequest::None) return;
    const HWND target = win::HandleFromRecord(slot.wParam);
    const bool browse = request == hook::TQueuedRequest::MenuForBrowseDialog;
    const int kind = browse ? tkBrowseDialog : static_cast<std::int32_t>(slot.lParam);
    const HWND control = browse ? win::HandleFromRecord(slot.lParam) : nullptr;
    const std::wstring what =
        std::wstring(hook::kMessageNames[static_cast<std::size_t>(i)]) + L" recive: Hwnd=" +
        logformat::HexText(slot.wParam) +
        (browse ? L", Ctrl=" + logformat::HexText(slot.lParam) : L", Type=" + std::to_wstring(kind));
    if (const wchar_t* refused = judge_(target, kind, control, namedFrame_, ownDialogs_)) {
      Dropped(what + L": " + refused);
      return;
    }
    CommonLogRunEvent(kHandler, what);
    trigger_(target, kind);
    return;
  }
}

void THookPump::CheckHeartbeat() {
  const std::uint32_t heartbeat = std::atomic_ref<std::uint32_t>(share_->heartbeat).load();
  const DWORD now = clock_();
  if (!hook::HeartbeatStale(now, heartbeat)) return;
  // Others can write the heartbeat: a stale one installs the hooks again at most once every five
  // seconds. While installing fails the heartbeat stays stale and is tried again at that pace;
  // the log tells only when that state begins and when it ends.
  if (reinstalled_ && now - lastReinstall_ < hook::kReinstallIntervalMs) return;
  reinstalled_ = true;
  lastReinstall_ = now;
  if (!failing_) CommonLogRunEvent(L"QuillFolder.Timer4Timer", L"hook heartbeat stale, re-installing the hook");
  remove_();
  installed_ = false;
  if (hook::THookShare* share = install_()) {
    Adopt(share);
    installed_ = true;
    if (failing_) CommonLogRunEvent(L"QuillFolder.Timer4Timer", L"hook installed again");
    failing_ = false;
  } else if (!failing_) {
    failing_ = true;
    CommonLogErrorEvent(L"QuillFolder.Timer4Timer", L"SetHook fail", L"", ::GetLastError(), false);
  }
}
