// qf.dll: the global mouse and keyboard hooks. The system loads the library into every program
// that handles input; there the hook procedures report triggers through the shared record, and
// must never allocate, log or wait. SetHook and RemoveHook run on the agent's main thread.
#include "hook/qf.h"

#include <atomic>
#include <cstdint>

#include "core/hook_contract.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kMDialogName[] = L"WM_QFMDIALOG by Quillrook Folder";

constexpr bool IsRegisteredName(const wchar_t* name, hook::THookMessage message) {
  for (const wchar_t* part = hook::kMessageNames[static_cast<int>(message)]; *part; ++part) {
    if (*name++ != *part) return false;
  }
  for (const wchar_t* part = hook::kMessageSuffix; *part; ++part) {
    if (*name++ != *part) return false;
  }
  return *name == L'\0';
}
static_assert(IsRegisteredName(kMDialogName, hook::THookMessage::QfMDialog));

// The keep-alive thread's period, and how long input may wait for a hook before it counts as
// missed (a busy program takes a moment to fetch its input).
constexpr DWORD kKeepAliveMs = 1000;
constexpr std::int32_t kUnseenInputGraceMs = 2000;
// Same walk limit and class buffer as the agent's own window recognition.
constexpr int kMaxWalkSteps = 51;
constexpr int kDialogClassBuffer = 10;

static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free,
              "record fields are shared between processes, so only lock-free atomics will do");

std::uint32_t Load(std::uint32_t& field) noexcept {
  return std::atomic_ref<std::uint32_t>(field).load(std::memory_order_acquire);
}

void Store(std::uint32_t& field, std::uint32_t value) noexcept {
  std::atomic_ref<std::uint32_t>(field).store(value, std::memory_order_release);
}

// Everyone may map the record for reading and writing, and a low integrity label lets the hook
// write it from protected-mode programs: the agent may run elevated while the programs it serves
// do not, and the default security of an elevated creator would lock them out.
class TShareSecurity {
 public:
  TShareSecurity() noexcept {
    DWORD worldSize = sizeof(worldSid_);
    const bool dacl =
        ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
        ::CreateWellKnownSid(WinWorldSid, nullptr, worldSid_, &worldSize) &&
        ::InitializeAcl(Acl(dacl_), sizeof(dacl_), ACL_REVISION) &&
        ::AddAccessAllowedAce(Acl(dacl_), ACL_REVISION, FILE_MAP_READ | FILE_MAP_WRITE,
                              worldSid_) &&
        ::SetSecurityDescriptorDacl(&descriptor_, TRUE, Acl(dacl_), FALSE);
    if (!dacl) return;
    DWORD lowSize = sizeof(lowSid_);
    if (::CreateWellKnownSid(WinLowLabelSid, nullptr, lowSid_, &lowSize) &&
        ::InitializeAcl(Acl(sacl_), sizeof(sacl_), ACL_REVISION) &&
        ::AddMandatoryAce(Acl(sacl_), ACL_REVISION, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP,
                          lowSid_)) {
      ::SetSecurityDescriptorSacl(&descriptor_, TRUE, Acl(sacl_), FALSE);
    }
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    valid_ = true;
  }
  TShareSecurity(const TShareSecurity&) = delete;
  TShareSecurity& operator=(const TShareSecurity&) = delete;

  SECURITY_ATTRIBUTES* Attributes() noexcept { return valid_ ? &attributes_ : nullptr; }

 private:
  static PACL Acl(BYTE* buffer) noexcept { return reinterpret_cast<PACL>(buffer); }

  SECURITY_DESCRIPTOR descriptor_{};
  alignas(DWORD) BYTE worldSid_[SECURITY_MAX_SID_SIZE] = {};
  alignas(DWORD) BYTE lowSid_[SECURITY_MAX_SID_SIZE] = {};
  alignas(DWORD) BYTE dacl_[64] = {};
  alignas(DWORD) BYTE sacl_[64] = {};
  SECURITY_ATTRIBUTES attributes_{};
  bool valid_ = false;
};

win::TUniqueHandle OpenOrCreateMapping() noexcept {
  constexpr DWORD access = FILE_MAP_READ | FILE_MAP_WRITE;
  win::TUniqueHandle mapping(::OpenFileMappingW(access, FALSE, hook::kShareName));
  if (mapping) return mapping;
  TShareSecurity security;
  mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE,
                                     0, static_cast<DWORD>(hook::kShareSize), hook::kShareName));
  // Another process may have created it between the two calls, with access only to map it.
  if (!mapping) mapping.reset(::OpenFileMappingW(access, FALSE, hook::kShareName));
  return mapping;
}

// The record as this process sees it: mapped on first need (never under the loader lock) and
// kept until the library unloads. A caller that finds another thread mapping it gets null
// rather than waiting; a failure is final, because the agent created the record before any
// program could load this library.
class TSharedRecord {
 public:
  hook::THookShare* Get() noexcept {
    int state = state_.load(std::memory_order_acquire);
    if (state == kUnmapped && state_.compare_exchange_strong(state, kMapping)) {
      // The handle stays open with the view: under Wine a view alone does not keep the name,
      // and the second instance and the tests find the record by its name.
      mapping_ = OpenOrCreateMapping();
      if (mapping_) {
        view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0,
                                    hook::kShareSize));
      }
      state = view_ ? kMapped : kFailed;
      state_.store(state, std::memory_order_release);
    }
    return state == kMapped ? static_cast<hook::THookShare*>(view_.get()) : nullptr;
  }

 private:
  static constexpr int kUnmapped = 0, kMapping = 1, kMapped = 2, kFailed = 3;
  std::atomic<int> state_{kUnmapped};
  win::TUniqueHandle mapping_;
  win::TMapView view_;
};

// What belongs to the agent's process alone: its hooks and the heartbeat's keep-alive thread.
struct TAgentHooks {
  win::THookHandle mouse;
  win::THookHandle keyboard;
  win::TUniqueHandle stopKeepAlive;
  win::TUniqueHandle keepAlive;
};

HMODULE hookModule = nullptr;
TSharedRecord sharedRecord;
TAgentHooks agentHooks;
std::atomic<UINT> mDialogMessage{0};
// Set when a middle-button press was swallowed, so its release is swallowed too and the
// program never sees half a click.
std::atomic<bool> swallowMiddleUp{false};

UINT MDialogMessage() noexcept {
  UINT message = mDialogMessage.load(std::memory_order_relaxed);
  if (message == 0) {
    message = ::RegisterWindowMessageW(kMDialogName);
    mDialogMessage.store(message, std::memory_order_relaxed);
  }
  return message;
}

// 64-bit Windows keeps window handles to 32 significant bits, which is all a slot holds.
std::uint32_t HandleValue(HWND window) noexcept {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

// The file dialog the clicked window belongs to, looked for up to its top-level window. The
// innermost accepted one wins: a customised dialog nests its template, itself a "#32770",
// inside the real dialog, and the top-level window's owner is not part of the dialog.
HWND FileDialogAround(HWND window) noexcept {
  for (int step = 0; window != nullptr && step < kMaxWalkSteps; ++step) {
    const bool dialogClass = ClassIs(window, kDialogClassBuffer, L"#32770") ||
                             ClassIs(window, kDialogClassBuffer, L"bosa_sdm_");
    if (dialogClass && IsDialog(window)) return window;
    if ((::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) break;
    window = ::GetParent(window);
  }
  return nullptr;
}

bool ReportMiddleClick(hook::THookShare& share, const MOUSEHOOKSTRUCT& mouse) noexcept {
  if (Load(share.menuOpen) != 0 || Load(share.flags.installed) == 0 ||
      Load(share.flags.mouseMButton) == 0) {
    return false;
  }
  const HWND dialog = FileDialogAround(mouse.hwnd);
  if (dialog == nullptr) return false;
  const UINT message = MDialogMessage();
  if (message == 0) return false;
  // A click that cannot be reported (queue full) goes to the program as if we were not here.
  return hook::PushSlot(share, message, HandleValue(dialog), tkFileDialog, ::GetTickCount(),
                        mouse.pt.x, mouse.pt.y) >= 0;
}

// True when the message is to be swallowed.
bool OnMouse(hook::THookShare& share, WPARAM message, const MOUSEHOOKSTRUCT& mouse) noexcept {
  switch (message) {
    case WM_MBUTTONUP:
    case WM_NCMBUTTONUP:
      return swallowMiddleUp.exchange(false);
    case WM_MBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_NCMBUTTONDBLCLK: {
      const bool reported = ReportMiddleClick(share, mouse);
      swallowMiddleUp.store(reported);
      return reported;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code >= 0) {
    if (hook::THookShare* share = sharedRecord.Get()) {
      Store(share->lastHookCall, ::GetTickCount());
      // A peek that leaves the message queued comes back as HC_ACTION when it is removed.
      if (code == HC_ACTION &&
          OnMouse(*share, wParam, *reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam))) {
        return 1;
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Only tells the keep-alive thread that typing reaches the hooks.
LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code >= 0) {
    if (hook::THookShare* share = sharedRecord.Get()) {
      Store(share->lastHookCall, ::GetTickCount());
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The heartbeat says the hooks see the user's input. Idle time keeps it fresh; input that no
// hook procedure saw within the grace period lets it go stale, so the agent re-installs.
void RefreshHeartbeat(hook::THookShare& share) noexcept {
  const std::uint32_t seen = Load(share.lastHookCall);
  LASTINPUTINFO input{};
  input.cbSize = sizeof(input);
  if (::GetLastInputInfo(&input) &&
      static_cast<std::int32_t>(input.dwTime - seen) > kUnseenInputGraceMs) {
    return;
  }
  Store(share.heartbeat, ::GetTickCount());
}

// Holds its own reference to the library (taken by StartKeepAlive), so an agent that unloads
// the library without RemoveHook cannot pull the code from under it.
DWORD WINAPI KeepAlive(void* stopEvent) noexcept {
  while (::WaitForSingleObject(static_cast<HANDLE>(stopEvent), kKeepAliveMs) == WAIT_TIMEOUT) {
    if (hook::THookShare* share = sharedRecord.Get()) RefreshHeartbeat(*share);
  }
  ::FreeLibraryAndExitThread(hookModule, 0);
  return 0;
}

bool StartKeepAlive() noexcept {
  agentHooks.stopKeepAlive.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!agentHooks.stopKeepAlive) return false;
  HMODULE reference = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&sharedRecord), &reference)) {
    return false;
  }
  agentHooks.keepAlive.reset(
      ::CreateThread(nullptr, 0, KeepAlive, agentHooks.stopKeepAlive.get(), 0, nullptr));
  if (!agentHooks.keepAlive) {
    ::FreeLibrary(reference);
    return false;
  }
  return true;
}

void StopKeepAlive() noexcept {
  if (agentHooks.keepAlive) {
    ::SetEvent(agentHooks.stopKeepAlive.get());
    ::WaitForSingleObject(agentHooks.keepAlive.get(), INFINITE);
  }
  agentHooks.keepAlive.reset();
  agentHooks.stopKeepAlive.reset();
}

std::uint32_t Flag(DWORD value) noexcept { return value != 0 ? 1 : 0; }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) hookModule = instance;
  return TRUE;
}

extern "C" hook::THookShare* WINAPI SetHook(DWORD agentThreadId, DWORD, DWORD mouseWheel, DWORD,
                                            DWORD help, DWORD rExplorer, DWORD mExplorer,
                                            DWORD mIExplorer, DWORD mDesktop,
                                            DWORD mouseMButton) noexcept {
  RemoveHook();
  hook::THookShare* share = sharedRecord.Get();
  if (share == nullptr) return nullptr;

  Store(share->agentThreadId, agentThreadId);
  Store(share->flags.mouseWheel, mouseWheel <= 3 ? mouseWheel : 0);
  Store(share->flags.help, Flag(help));
  Store(share->flags.rExplorer, Flag(rExplorer));
  Store(share->flags.mExplorer, Flag(mExplorer));
  Store(share->flags.mIExplorer, Flag(mIExplorer));
  Store(share->flags.mDesktop, Flag(mDesktop));
  Store(share->flags.mouseMButton, Flag(mouseMButton));
  const std::uint32_t now = ::GetTickCount();
  Store(share->lastHookCall, now);
  Store(share->heartbeat, now);

  agentHooks.mouse.reset(::SetWindowsHookExW(WH_MOUSE, MouseProc, hookModule, 0));
  agentHooks.keyboard.reset(::SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, hookModule, 0));
  if (!agentHooks.mouse || !agentHooks.keyboard || !StartKeepAlive()) {
    RemoveHook();
    return nullptr;
  }
  Store(share->flags.installed, 1);
  return share;
}

extern "C" BOOL WINAPI RemoveHook() noexcept {
  const bool wasInstalled = agentHooks.mouse || agentHooks.keyboard || agentHooks.keepAlive;
  agentHooks.mouse.reset();
  agentHooks.keyboard.reset();
  StopKeepAlive();
  if (wasInstalled) {
    if (hook::THookShare* share = sharedRecord.Get()) {
      Store(share->flags.installed, 0);
      // Stale at once: nothing watches the user's input any more.
      Store(share->heartbeat, ::GetTickCount() - hook::kHeartbeatStaleMs - 1);
    }
  }
  return TRUE;
}
