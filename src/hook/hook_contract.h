// The contract between the agent and qf.dll: the shared record, its queue and the registered
// message names. Portable: both the agent and the hook library include it, and so do native tests.
// Any thread may use it; the record itself is written by other processes, so slots are atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace hook {

inline constexpr wchar_t kShareName[] = L"{A5E80AC0-4E7B-11D6-AE77-444553546264}";
inline constexpr std::size_t kShareSize = 2888;
inline constexpr std::size_t kQueueOffset = 60;
inline constexpr std::size_t kQueueSlots = 101;

// Message field values with a meaning of their own: a free slot, and a slot a writer has
// claimed but not finished (the agent leaves it alone until the writer publishes it).
inline constexpr std::uint32_t kSlotFree = 0;
inline constexpr std::uint32_t kSlotClaimed = 1024;

// Heartbeat older than this (ms, unsigned tick arithmetic) means the hook is lost.
inline constexpr std::uint32_t kHeartbeatStaleMs = 5000;
// The library refreshes the heartbeat this often, on a timer of the thread that installed it.
inline constexpr std::uint32_t kKeepAliveMs = 1000;
// The heartbeat is written by other programs too, so it is only a hint: a stale one installs the
// hooks again at most this often (ms).
inline constexpr std::uint32_t kReinstallIntervalMs = 5000;
// A writer fills its claimed slot in a few instructions: a slot claimed for longer than this (ms)
// was left by a writer that died or never meant to publish it, and is freed.
inline constexpr std::uint32_t kClaimTimeoutMs = 1000;

// One queue slot, shaped like a Windows MSG on a 32-bit system.
struct TQueueSlot {
  std::uint32_t window;
  std::uint32_t message;
  std::uint32_t wParam;  // target window handle
  std::uint32_t lParam;  // TargetKind of the target (control handle for the browse message)
  std::uint32_t time;
  std::int32_t x;
  std::int32_t y;
};
static_assert(sizeof(TQueueSlot) == 28);

// The trigger flags the agent passes to SetHook; the hook reads them in every process.
struct THookFlags {
  std::uint32_t mouseWheel;  // 0 off, 1 either way, 2 forward, 3 backward
  std::uint32_t help;
  std::uint32_t rExplorer;
  std::uint32_t mExplorer;
  std::uint32_t mIExplorer;
  std::uint32_t mDesktop;
  std::uint32_t mouseMButton;
  std::uint32_t installed;  // 1 while SetHook's hooks are in place
};
static_assert(sizeof(THookFlags) == 32);

// The mapped record. Offsets 0, 4, 8 and 60 are fixed by the contract; 12..59 are the
// library's own (its flags and the tick of its last call, which keeps the heartbeat honest) and
// the window the hook wakes after it has queued a trigger.
struct THookShare {
  std::uint32_t agentThreadId;  // 0
  std::uint32_t menuOpen;       // 4
  std::uint32_t heartbeat;      // 8
  std::uint32_t lastHookCall;   // 12: GetTickCount of the hook procedure's last run
  THookFlags flags;             // 16
  // 48: the agent's window that gets kWakeMessageName after a slot is published; 0 for none.
  // The drain timer stays the carrier of last resort: a wake that cannot arrive costs time only.
  std::uint32_t wakeWindow;
  // 52: a top-level frame of Explorer's classes whose styles the frame check refuses but which the
  // shell's window list names (the agent found it when it came to the foreground); 0 for none.
  std::uint32_t shellFrame;
  std::uint32_t reserved;         // 56
  TQueueSlot queue[kQueueSlots];  // 60
};
static_assert(offsetof(THookShare, menuOpen) == 4);
static_assert(offsetof(THookShare, heartbeat) == 8);
static_assert(offsetof(THookShare, flags) == 16);
static_assert(offsetof(THookShare, wakeWindow) == 48);
static_assert(offsetof(THookShare, shellFrame) == 52);
static_assert(offsetof(THookShare, queue) == kQueueOffset);
static_assert(sizeof(THookShare) == kShareSize);

// The user's own dialogs as the hook sees them: a second record, which the agent fills from its
// "Dialogs" entries before it installs the hooks, and the hook reads in every process to take a
// middle click or a wheel turn over such a window. Only the names the hook can match are in it;
// the agent checks every trigger against its own entries again. Any program of the user can write
// it too, so a reader bounds the count and every name by the record's own sizes.
inline constexpr wchar_t kDialogListName[] = L"{A5E80AC0-4E7B-11D6-AE77-444553546264} Dialogs";
inline constexpr std::size_t kListedDialogs = 64;
// Room for a pattern of the longest an entry may hold (256) and a terminator.
inline constexpr std::size_t kListedTextChars = 257;

// UTF-16 names, terminated unless they fill the array; an empty program or title takes any.
struct TListedDialog {
  std::uint16_t program[kListedTextChars];
  std::uint16_t className[kListedTextChars];
  std::uint16_t title[kListedTextChars];
  std::uint16_t reserved;
};
static_assert(sizeof(TListedDialog) == 1544);

struct TDialogList {
  std::uint32_t count;  // the entries in use, written last; a reader takes at most kListedDialogs
  std::uint32_t reserved;
  TListedDialog entries[kListedDialogs];
};
static_assert(offsetof(TDialogList, entries) == 8);
static_assert(sizeof(TDialogList) == 8 + kListedDialogs * sizeof(TListedDialog));

// Whether a listed entry takes a top-level window of `program` (its executable name), `className`
// and `title` (null when the title cannot be read without waiting: then an entry that names one
// does not take it). Allocation-free.
bool ListedDialogTakes(const TListedDialog& entry, const wchar_t* program, const wchar_t* className,
                       const wchar_t* title) noexcept;
// The number of entries a reader may look at.
std::size_t ListedCount(const TDialogList& list) noexcept;

// The twelve registered message names, each registered with kMessageSuffix appended.
enum class THookMessage : int {
  NewForm,
  QfRExplorer,
  WheelMouse,
  QfHelp,
  QfRButton,
  QfMButton,
  QfKeyDown,
  QfMDesktop,
  QfMExplorer,
  QfMDialog,
  QfNewM,
  QfMBrowse,
  Count
};
inline constexpr std::array<const wchar_t*, 12> kMessageNames = {
    L"WM_NEWFORM",   L"WM_QFREXPLORER", L"WM_WHEELMOUSE",  L"WM_QFHELP",    L"WM_QFRBUTTON", L"WM_QFMBUTTON",
    L"WM_QFKEYDOWN", L"WM_QFMDESKTOP",  L"WM_QFMEXPLORER", L"WM_QFMDIALOG", L"WM_QFNEWM",    L"WM_QFMBROWSE"};
// What each queued message asks of the agent, in the order of the names. wParam is the target
// window; lParam its TargetKind, or for the browse message the dialog's tree control (the target
// is then a browse dialog). The four others are only taken out of the queue.
enum class TQueuedRequest { None, MenuForKind, MenuForBrowseDialog };
inline constexpr std::array<TQueuedRequest, 12> kQueuedRequests = {
    TQueuedRequest::None,        TQueuedRequest::MenuForKind, TQueuedRequest::MenuForKind,
    TQueuedRequest::MenuForKind, TQueuedRequest::MenuForKind, TQueuedRequest::None,
    TQueuedRequest::None,        TQueuedRequest::MenuForKind, TQueuedRequest::MenuForKind,
    TQueuedRequest::MenuForKind, TQueuedRequest::None,        TQueuedRequest::MenuForBrowseDialog};
static_assert(kQueuedRequests.size() == kMessageNames.size());
inline constexpr wchar_t kMessageSuffix[] = L" by Quillrook Folder";
// Posted (never sent) by the hook to wake the agent; it carries nothing, the queue does.
inline constexpr wchar_t kWakeMessageName[] = L"WM_QFWAKE";

inline std::wstring RegisteredName(THookMessage m) {
  return std::wstring(kMessageNames[static_cast<int>(m)]) + kMessageSuffix;
}

// A writer (the hook, in any process) claims a free slot atomically, fills it and then
// publishes the message number last, so the agent never sees a half-written slot.
// Returns the slot index, or -1 when the queue is full.
int PushSlot(THookShare& share, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam, std::uint32_t time,
             std::int32_t x, std::int32_t y) noexcept;

// The agent drains published slots in index order: each is copied, handed to `handle`, then
// freed. Free and claimed slots are left as they are. Returns how many were handled.
template <class Handler>
int DrainQueue(THookShare& share, Handler&& handle) {
  int handled = 0;
  for (std::size_t i = 0; i < kQueueSlots; ++i) {
    std::atomic_ref<std::uint32_t> message(share.queue[i].message);
    const std::uint32_t m = message.load(std::memory_order_acquire);
    if (m == kSlotFree || m == kSlotClaimed) continue;
    TQueueSlot copy = share.queue[i];
    copy.message = m;
    try {
      handle(copy);
    } catch (...) {
      message.store(kSlotFree, std::memory_order_release);
      throw;
    }
    message.store(kSlotFree, std::memory_order_release);
    ++handled;
  }
  return handled;
}

// When the agent first saw each slot claimed (0: not claimed at its last look), kept between drains.
using TClaimSightings = std::array<std::uint32_t, kQueueSlots>;

// Frees the slots that have stayed claimed for longer than kClaimTimeoutMs since `sightings` first
// saw them so (wrap-around safe); a slot published or freed meanwhile is left to its writer.
// Returns how many were freed.
int FreeStuckClaims(THookShare& share, TClaimSightings& sightings, std::uint32_t now) noexcept;

// True when the heartbeat is more than kHeartbeatStaleMs behind `now` (wrap-around safe). A
// heartbeat stamped just after the caller took `now` reads as slightly ahead: that is fresh.
inline bool HeartbeatStale(std::uint32_t now, std::uint32_t heartbeat) noexcept {
  return static_cast<std::int32_t>(now - heartbeat) > static_cast<std::int32_t>(kHeartbeatStaleMs);
}

}  // namespace hook
