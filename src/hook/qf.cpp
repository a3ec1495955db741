// qf.dll: the global mouse and keyboard hooks. The system loads the library into every program
// that handles input; there the hook procedures report triggers through the shared record, and
// must never allocate, log or wait. SetHook and RemoveHook run on the agent's main thread.
#include "hook/qf.h"

#include <atomic>
#include <cstdint>

#include "hook/hook_contract.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "win/handles.h"

namespace {

// Room for any registered message name and its terminator, built on the stack (checked below).
constexpr int kMessageNameBuffer = 64;
static_assert([] {
  int suffix = 0;
  while (hook::kMessageSuffix[suffix]) ++suffix;
  auto fits = [suffix](const wchar_t* name) {
    int length = 0;
    while (name[length]) ++length;
    return length + suffix < kMessageNameBuffer;
  };
  for (const wchar_t* name : hook::kMessageNames) {
    if (!fits(name)) return false;
  }
  return fits(hook::kWakeMessageName);
}());

// How long input may wait for a hook before it counts as missed (a busy program takes a moment
// to fetch its input).
constexpr std::int32_t kUnseenInputGraceMs = 2000;

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
    const bool dacl = ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                      ::CreateWellKnownSid(WinWorldSid, nullptr, worldSid_, &worldSize) &&
                      ::InitializeAcl(Acl(dacl_), sizeof(dacl_), ACL_REVISION) &&
                      ::AddAccessAllowedAce(Acl(dacl_), ACL_REVISION, FILE_MAP_READ | FILE_MAP_WRITE, worldSid_) &&
                      ::SetSecurityDescriptorDacl(&descriptor_, TRUE, Acl(dacl_), FALSE);
    if (!dacl) return;
    DWORD lowSize = sizeof(lowSid_);
    if (::CreateWellKnownSid(WinLowLabelSid, nullptr, lowSid_, &lowSize) &&
        ::InitializeAcl(Acl(sacl_), sizeof(sacl_), ACL_REVISION) &&
        ::AddMandatoryAce(Acl(sacl_), ACL_REVISION, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, lowSid_)) {
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

win::TUniqueHandle OpenOrCreateMapping(const wchar_t* name, std::size_t size) noexcept {
  constexpr DWORD access = FILE_MAP_READ | FILE_MAP_WRITE;
  win::TUniqueHandle mapping(::OpenFileMappingW(access, FALSE, name));
  if (mapping) return mapping;
  TShareSecurity security;
  mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                     static_cast<DWORD>(size), name));
  // Another process may have created it between the two calls, with access only to map it.
  if (!mapping) mapping.reset(::OpenFileMappingW(access, FALSE, name));
  return mapping;
}

// A named record as this process sees it: mapped on first need (never under the loader lock) and
// kept until the library unloads. A caller that finds another thread mapping it gets null
// rather than waiting; a failure is final, because the agent made the records before any
// program could load this library. A reader only opens the record and maps it for reading.
class TMappedRecord {
 public:
  enum class TUse { Write, Read };
  constexpr TMappedRecord(const wchar_t* name, std::size_t size, TUse use) noexcept
      : name_(name), size_(size), use_(use) {}

  void* Get() noexcept {
    int state = state_.load(std::memory_order_acquire);
    if (state == kUnmapped && state_.compare_exchange_strong(state, kMapping)) {
      // The handle stays open with the view: under Wine a view alone does not keep the name,
      // and the second instance and the tests find the record by its name.
      const bool write = use_ == TUse::Write;
      mapping_ = write ? OpenOrCreateMapping(name_, size_)
                       : win::TUniqueHandle(::OpenFileMappingW(FILE_MAP_READ, FALSE, name_));
      if (mapping_) {
        view_.reset(
            ::MapViewOfFile(mapping_.get(), write ? FILE_MAP_READ | FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, size_));
      }
      state = view_ ? kMapped : kFailed;
      state_.store(state, std::memory_order_release);
    }
    return state == kMapped ? view_.get() : nullptr;
  }

 private:
  static constexpr int kUnmapped = 0, kMapping = 1, kMapped = 2, kFailed = 3;
  const wchar_t* name_;
  std::size_t size_;
  TUse use_;
  std::atomic<int> state_{kUnmapped};
  win::TUniqueHandle mapping_;
  win::TMapView view_;
};

class TSharedRecord {
 public:
  hook::THookShare* Get() noexcept { return static_cast<hook::THookShare*>(record_.Get()); }

 private:
  TMappedRecord record_{hook::kShareName, hook::kShareSize, TMappedRecord::TUse::Write};
};

// What belongs to the agent's process alone: its hooks and the heartbeat's keep-alive timer,
// which runs on the thread that installed them (the agent's main thread, which dispatches its
// timers in every modal loop too).
struct TAgentHooks {
  win::THookHandle mouse;
  win::THookHandle keyboard;
  UINT_PTR keepAlive = 0;
  DWORD keepAliveThread = 0;
};

HMODULE hookModule = nullptr;
TSharedRecord sharedRecord;
// The user's own dialogs: the agent's process fills the list through DialogList, the hooks read it.
TMappedRecord dialogListWriter{hook::kDialogListName, sizeof(hook::TDialogList), TMappedRecord::TUse::Write};
TMappedRecord dialogListReader{hook::kDialogListName, sizeof(hook::TDialogList), TMappedRecord::TUse::Read};
// This program's executable name, read once; a caller that finds another thread reading it gets
// none rather than waiting.
wchar_t programName[MAX_PATH] = {};
std::atomic<int> programNameState{0};  // 0 unread, 1 being read, 2 read
TAgentHooks agentHooks;
// Registered message numbers, looked up once per process; 0 until then.
std::atomic<UINT> messageNumbers[static_cast<int>(hook::THookMessage::Count)] = {};
// Set when a press was swallowed, so its release is swallowed too and the program never sees
// half a click.
std::atomic<bool> swallowMiddleUp{false};
std::atomic<bool> swallowRightUp{false};

std::atomic<UINT> wakeNumber{0};

// The name is put together on the stack: nothing here may allocate.
UINT RegisteredNumber(std::atomic<UINT>& cached, const wchar_t* baseName) noexcept {
  UINT message = cached.load(std::memory_order_relaxed);
  if (message == 0) {
    wchar_t name[kMessageNameBuffer] = {};
    int length = 0;
    for (const wchar_t* part = baseName; *part; ++part) name[length++] = *part;
    for (const wchar_t* part = hook::kMessageSuffix; *part; ++part) name[length++] = *part;
    message = ::RegisterWindowMessageW(name);
    cached.store(message, std::memory_order_relaxed);
  }
  return message;
}

UINT MessageNumber(hook::THookMessage which) noexcept {
  return RegisteredNumber(messageNumbers[static_cast<int>(which)], hook::kMessageNames[static_cast<int>(which)]);
}

// The first window accepted by `accepts`, looked for from the clicked window up to its
// top-level window (a top-level window's parent is its owner, which is not part of it).
template <class Accepts>
HWND FindAround(HWND window, Accepts&& accepts) noexcept {
  for (int step = 0; window != nullptr && step < kMaxWalkSteps; ++step) {
    if (accepts(window)) return window;
    if ((::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) break;
    window = ::GetParent(window);
  }
  return nullptr;
}

// The file dialog the clicked window belongs to. The innermost accepted one wins: a customised
// dialog nests its template, itself a "#32770", inside the real dialog.
HWND FileDialogAround(HWND window) noexcept {
  return FindAround(window, [](HWND w) {
    const bool dialogClass = ClassIs(w, kDialogClassBuffer, L"#32770") || ClassIs(w, kDialogClassBuffer, L"bosa_sdm_");
    return dialogClass && IsDialog(w) != nullptr;
  });
}

HWND ArchiverAround(HWND window, int& kind) noexcept {
  return FindAround(window, [&kind](HWND w) { return IsRar(kind, w) != nullptr; });
}

HWND BrowseDialogAround(HWND window, HWND& tree) noexcept {
  return FindAround(window, [&tree](HWND w) {
    int kind = 0;
    if (!ClassIs(w, kDialogClassBuffer, L"#32770") || IsDialog(w) || IsRar(kind, w)) return false;
    tree = BrowseDialogTree(w);
    return tree != nullptr;
  });
}

HWND RootOf(HWND window) noexcept { return window ? ::GetAncestor(window, GA_ROOT) : nullptr; }

// The desktop: the clicked window is the shell's desktop window (or the system's), or lies in it
// through nothing but the desktop's own view and list.
HWND DesktopAround(HWND window) noexcept {
  for (int step = 0; window != nullptr && step < kMaxWalkSteps; ++step) {
    if (IsDesktopFrame(window)) return window;
    const bool topLevel = (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0;
    const bool desktopPart =
        ClassIs(window, kWholeClassBuffer, L"SHELLDLL_DefView") || ClassIs(window, kWholeClassBuffer, L"SysListView32");
    if (!desktopPart || topLevel) return nullptr;
    window = ::GetParent(window);
  }
  return nullptr;
}

// The Explorer or browser frame whose address area holds the clicked window.
HWND AddressBarFrame(HWND window, int& kind) noexcept {
  bool inAddressArea = false;
  for (int step = 0; window != nullptr && step < kMaxWalkSteps; ++step) {
    if ((::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
      return inAddressArea ? IsExplorer(kind, 0, window) : nullptr;
    }
    inAddressArea = inAddressArea || ClassIs(window, kWholeClassBuffer, L"ReBarWindow32") ||
                    ClassIs(window, kWholeClassBuffer, L"Address Band Root") ||
                    ClassIs(window, kWholeClassBuffer, L"ComboBoxEx32");
    window = ::GetParent(window);
  }
  return nullptr;
}

// The file name at the end of a full path of `length` characters, into `name`.
void CopyFileName(const wchar_t* path, DWORD length, wchar_t (&name)[MAX_PATH]) noexcept {
  DWORD leaf = length;
  while (leaf > 0 && path[leaf - 1] != L'\\' && path[leaf - 1] != L'/') --leaf;
  for (DWORD i = leaf; i < length; ++i) name[i - leaf] = path[i];
  name[length - leaf] = 0;
}

const wchar_t* ProgramName() noexcept {
  int state = programNameState.load(std::memory_order_acquire);
  if (state == 0 && programNameState.compare_exchange_strong(state, 1)) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) CopyFileName(path, length, programName);
    state = 2;
    programNameState.store(state, std::memory_order_release);
  }
  return state == 2 ? programName : nullptr;
}

// The file name of another process's program, asked of the system by a handle for that alone:
// nothing is sent to the program. False when it cannot be asked.
bool ProgramNameOf(DWORD processId, wchar_t (&name)[MAX_PATH]) noexcept {
  const win::TUniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  wchar_t path[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (!process || !::QueryFullProcessImageNameW(process.get(), 0, path, &length) || length == 0 || length >= MAX_PATH)
    return false;
  CopyFileName(path, length, name);
  return true;
}

// The list of the user's own dialogs, when it has any entries.
const hook::TDialogList* ListedDialogs() noexcept {
  const auto* list = static_cast<const hook::TDialogList*>(dialogListReader.Get());
  return list != nullptr && hook::ListedCount(*list) > 0 ? list : nullptr;
}

// A top-level window one of the user's own dialog entries takes. The hook runs in the window's
// program, except where the system calls it back on the agent's thread for a program of the other
// bitness: the window is then another process's, whose program is asked of the system and whose
// title is read without a message to it. Only a window of another thread of this program would
// have to answer its title itself: an entry that names a title does not take that one.
HWND ListedDialogAround(HWND window) noexcept {
  const hook::TDialogList* list = ListedDialogs();
  const std::size_t count = list != nullptr ? hook::ListedCount(*list) : 0;
  const HWND root = count > 0 ? RootOf(window) : nullptr;
  if (root == nullptr) return nullptr;
  wchar_t className[hook::kListedTextChars] = {};
  if (::GetClassNameW(root, className, static_cast<int>(hook::kListedTextChars)) == 0) return nullptr;
  DWORD processId = 0;
  const DWORD thread = ::GetWindowThreadProcessId(root, &processId);
  const bool ownProcess = processId == ::GetCurrentProcessId();
  const bool titleReadable = !ownProcess || thread == ::GetCurrentThreadId();
  wchar_t title[hook::kListedTextChars] = {};
  if (titleReadable) ::GetWindowTextW(root, title, static_cast<int>(hook::kListedTextChars));
  wchar_t otherProgram[MAX_PATH] = {};
  const wchar_t* program =
      ownProcess ? ProgramName() : (ProgramNameOf(processId, otherProgram) ? otherProgram : nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    if (hook::ListedDialogTakes(list->entries[i], program, className, titleReadable ? title : nullptr)) return root;
  }
  return nullptr;
}

// A trigger found for a click: the message to queue, the window it is about, and lParam.
struct TTrigger {
  hook::THookMessage message;
  HWND target;
  std::uint32_t lParam;
};

bool On(std::uint32_t& flag) noexcept { return Load(flag) != 0; }

// The middle-click trigger for the clicked window, tested in a fixed order (file dialog,
// archiver, folder-browse dialog, Explorer or browser, desktop); the first kind of window that
// matches decides, and its flag says whether the click is taken.
// A frame of Explorer's classes that the frame check refuses, named by the agent as one the
// shell's window list knows.
HWND ShellListedFrame(hook::THookShare& share, HWND root) noexcept {
  const std::uint32_t listed = Load(share.shellFrame);
  if (listed == 0 || root == nullptr || win::HandleToRecord(root) != listed) return nullptr;
  return ClassIs(root, kWholeClassBuffer, L"CabinetWClass") || ClassIs(root, kWholeClassBuffer, L"ExploreWClass")
             ? root
             : nullptr;
}

bool MiddleClickTrigger(hook::THookShare& share, HWND window, TTrigger& trigger) noexcept {
  hook::THookFlags& flags = share.flags;
  if (const HWND dialog = FileDialogAround(window)) {
    trigger = {hook::THookMessage::QfMDialog, dialog, tkFileDialog};
    return On(flags.mouseMButton);
  }
  int kind = 0;
  if (const HWND archiver = ArchiverAround(window, kind)) {
    trigger = {hook::THookMessage::QfMDialog, archiver, static_cast<std::uint32_t>(kind)};
    return On(flags.mouseMButton);
  }
  HWND tree = nullptr;
  if (const HWND browse = BrowseDialogAround(window, tree)) {
    trigger = {hook::THookMessage::QfMBrowse, browse, win::HandleToRecord(tree)};
    return On(flags.mouseMButton);
  }
  if (const HWND frame = IsExplorer(kind, 0, RootOf(window))) {
    trigger = {hook::THookMessage::QfMExplorer, frame, static_cast<std::uint32_t>(kind)};
    return On(kind == tkExplorer ? flags.mExplorer : flags.mIExplorer);
  }
  if (const HWND frame = ShellListedFrame(share, RootOf(window))) {
    trigger = {hook::THookMessage::QfMExplorer, frame, tkExplorer};
    return On(flags.mExplorer);
  }
  if (const HWND desktop = DesktopAround(window)) {
    trigger = {hook::THookMessage::QfMDesktop, desktop, tkDesktop};
    return On(flags.mDesktop);
  }
  // Last, so that an entry changes nothing the recognition knows.
  if (const HWND listed = ListedDialogAround(window)) {
    trigger = {hook::THookMessage::QfMDialog, listed, tkOwnDialog};
    return On(flags.mouseMButton);
  }
  return false;
}

bool RightClickTrigger(hook::THookFlags& flags, WPARAM message, const MOUSEHOOKSTRUCT& mouse,
                       TTrigger& trigger) noexcept {
  const bool nonClient = message == WM_NCRBUTTONDOWN || message == WM_NCRBUTTONDBLCLK;
  if (nonClient && mouse.wHitTestCode == HTHELP) {
    const HWND dialog = On(flags.help) ? FileDialogAround(mouse.hwnd) : nullptr;
    trigger = {hook::THookMessage::QfHelp, dialog, tkFileDialog};
    return dialog != nullptr;
  }
  if (nonClient || !On(flags.rExplorer)) return false;
  int kind = 0;
  const HWND frame = AddressBarFrame(mouse.hwnd, kind);
  trigger = {hook::THookMessage::QfRExplorer, frame, static_cast<std::uint32_t>(kind)};
  return frame != nullptr;
}

// The wheel goes to the focus window on some systems and to the one under the cursor on others;
// either being in a file dialog counts.
bool WheelTrigger(hook::THookFlags& flags, const MOUSEHOOKSTRUCTEX& mouse, TTrigger& trigger) noexcept {
  const std::uint32_t mode = Load(flags.mouseWheel);
  const auto delta = static_cast<short>(HIWORD(mouse.mouseData));
  const bool wanted = (mode == 1 && delta != 0) || (mode == 2 && delta > 0) || (mode == 3 && delta < 0);
  if (!wanted) return false;
  const HWND under = ::WindowFromPoint(mouse.pt);
  HWND dialog = FileDialogAround(mouse.hwnd);
  if (dialog == nullptr) dialog = FileDialogAround(under);
  trigger = {hook::THookMessage::WheelMouse, dialog, tkFileDialog};
  if (dialog != nullptr) return true;
  // One of the user's own dialogs, when the recognition knows neither window as anything else;
  // with no entries (the common case) a turn of the wheel costs nothing more.
  if (ListedDialogs() == nullptr) return false;
  for (const HWND window : {mouse.hwnd, under}) {
    int kind = 0;
    HWND tree = nullptr;
    if (window == nullptr || ArchiverAround(window, kind) || BrowseDialogAround(window, tree) ||
        IsExplorer(kind, 0, RootOf(window)) || DesktopAround(window))
      continue;
    if (const HWND listed = ListedDialogAround(window)) {
      trigger = {hook::THookMessage::WheelMouse, listed, tkOwnDialog};
      return true;
    }
  }
  return false;
}

// Wakes the agent for a published slot. Posting never waits; a wake refused (a full queue, an
// agent of higher integrity that does not accept it) leaves the slot to the drain timer.
void WakeAgent(hook::THookShare& share) noexcept {
  const std::uint32_t window = Load(share.wakeWindow);
  const UINT wake = window != 0 ? RegisteredNumber(wakeNumber, hook::kWakeMessageName) : 0;
  if (wake == 0) return;
  const HWND agent = win::HandleFromRecord(window);
  // Any program of the user can write the record: the wake goes only to a window of the thread
  // that installed the hooks, never to one the record merely names.
  if (::GetWindowThreadProcessId(agent, nullptr) != Load(share.agentThreadId)) return;
  ::PostMessageW(agent, wake, 0, 0);
}

// A trigger that cannot be reported (queue full) leaves the input to the program as if we
// were not here.
bool Report(hook::THookShare& share, const TTrigger& trigger, POINT at) noexcept {
  const UINT message = MessageNumber(trigger.message);
  if (message == 0) return false;
  if (hook::PushSlot(share, message, win::HandleToRecord(trigger.target), trigger.lParam, ::GetTickCount(), at.x,
                     at.y) < 0) {
    return false;
  }
  WakeAgent(share);
  return true;
}

bool Active(hook::THookShare& share) noexcept { return Load(share.menuOpen) == 0 && Load(share.flags.installed) != 0; }

// True when the message is to be swallowed.
bool OnMouse(hook::THookShare& share, WPARAM message, LPARAM lParam) noexcept {
  const auto& mouse = *reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
  TTrigger trigger{};
  switch (message) {
    case WM_MBUTTONUP:
    case WM_NCMBUTTONUP:
      return swallowMiddleUp.exchange(false);
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
      return swallowRightUp.exchange(false);
    case WM_MBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_NCMBUTTONDBLCLK: {
      const bool reported =
          Active(share) && MiddleClickTrigger(share, mouse.hwnd, trigger) && Report(share, trigger, mouse.pt);
      swallowMiddleUp.store(reported);
      return reported;
    }
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDBLCLK: {
      const bool reported =
          Active(share) && RightClickTrigger(share.flags, message, mouse, trigger) && Report(share, trigger, mouse.pt);
      swallowRightUp.store(reported);
      return reported;
    }
    case WM_MOUSEWHEEL: {
      const auto& wheel = *reinterpret_cast<const MOUSEHOOKSTRUCTEX*>(lParam);
      return Active(share) && WheelTrigger(share.flags, wheel, trigger) && Report(share, trigger, wheel.pt);
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
      if (code == HC_ACTION && OnMouse(*share, wParam, lParam)) {
        return 1;
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Only tells the keep-alive timer that typing reaches the hooks.
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
  if (::GetLastInputInfo(&input) && static_cast<std::int32_t>(input.dwTime - seen) > kUnseenInputGraceMs) {
    return;
  }
  Store(share.heartbeat, ::GetTickCount());
}

// The agent's thread refreshes the heartbeat between its messages: a timer costs no thread of
// its own. A tick that finds the hooks removed from another thread ends its timer itself.
void CALLBACK KeepAlive(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  if (timer != agentHooks.keepAlive) {
    ::KillTimer(nullptr, timer);
    return;
  }
  if (hook::THookShare* share = sharedRecord.Get()) RefreshHeartbeat(*share);
}

bool StartKeepAlive() noexcept {
  agentHooks.keepAlive = ::SetTimer(nullptr, 0, hook::kKeepAliveMs, KeepAlive);
  agentHooks.keepAliveThread = ::GetCurrentThreadId();
  return agentHooks.keepAlive != 0;
}

void StopKeepAlive() noexcept {
  if (agentHooks.keepAlive != 0 && agentHooks.keepAliveThread == ::GetCurrentThreadId())
    ::KillTimer(nullptr, agentHooks.keepAlive);
  agentHooks.keepAlive = 0;
}

std::uint32_t Flag(DWORD value) noexcept { return value != 0 ? 1 : 0; }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) hookModule = instance;
  return TRUE;
}

extern "C" hook::THookShare* WINAPI SetHook(DWORD agentThreadId, DWORD, DWORD mouseWheel, DWORD, DWORD help,
                                            DWORD rExplorer, DWORD mExplorer, DWORD mIExplorer, DWORD mDesktop,
                                            DWORD mouseMButton) noexcept {
  RemoveHook();
  hook::THookShare* share = sharedRecord.Get();
  if (share == nullptr) return nullptr;

  Store(share->agentThreadId, agentThreadId);
  // An agent that ended while its menu was up left the flag set, and programs that still map
  // the record keep it: the agent installing now has no menu open.
  Store(share->menuOpen, 0);
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

extern "C" hook::TDialogList* WINAPI DialogList() noexcept {
  return static_cast<hook::TDialogList*>(dialogListWriter.Get());
}

extern "C" BOOL WINAPI RemoveHook() noexcept {
  const bool wasInstalled = agentHooks.mouse || agentHooks.keyboard || agentHooks.keepAlive != 0;
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
