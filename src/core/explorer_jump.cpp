#include "core/explorer_jump.h"

#include <algorithm>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/foreign_window.h"
#include "navigation/shell_windows.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "navigation/window_navigation.h"
#include "navigation/window_path.h"
#include "settings/settings_registry.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kFunction[] = L"ExplorerJump";
// How long a window that came to the front is looked at again, at every tick, for the windows
// that make it a file dialog: a dialog is activated while it still builds them.
constexpr DWORD kDialogBuildMs = 1500;

std::uintptr_t Id(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

// A frame remembered by its handle is still that frame: a window of Explorer's classes.
bool ExplorerFrameAlive(std::uintptr_t frame) {
  const HWND window = reinterpret_cast<HWND>(frame);
  return ::IsWindow(window) &&
         (ClassIs(window, kWholeClassBuffer, L"CabinetWClass") || ClassIs(window, kWholeClassBuffer, L"ExploreWClass"));
}

bool KeyDown(int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; }

// The keys held now: modifiers (and the Tab of Alt+Tab) are part of coming to the dialog; any
// other key is the user typing.
TPendingJump HeldKeys() {
  TPendingJump held;
  for (const int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN, VK_TAB})
    held.modifierDown = held.modifierDown || KeyDown(key);
  for (int key = 0x08; key <= 0xFE && !held.typing; ++key) {
    switch (key) {
      case VK_SHIFT:
      case VK_CONTROL:
      case VK_MENU:
      case VK_LWIN:
      case VK_RWIN:
      case VK_TAB:
      case VK_LSHIFT:
      case VK_RSHIFT:
      case VK_LCONTROL:
      case VK_RCONTROL:
      case VK_LMENU:
      case VK_RMENU:
        continue;
      default:
        held.typing = KeyDown(key);
    }
  }
  return held;
}

// A folder on another machine (a share, a network drive) is followed only from the system's own
// shell: any program can show a window of Explorer's classes naming a host of its choosing, and
// the dialog would sign in to it, with the rights of whatever program it belongs to.
bool MayFollow(const TExplorerVisit& visit) {
  const std::wstring& folder = visit.folder;
  const bool unc = folder.size() >= 2 && text::IsPathSeparator(folder[0]) && text::IsPathSeparator(folder[1]);
  bool remote = unc;
  if (!unc && folder.size() >= 2 && folder[1] == L':') {
    const wchar_t root[] = {folder[0], L':', L'\\', L'\0'};
    remote = ::GetDriveTypeW(root) == DRIVE_REMOTE;
  }
  return !remote || (visit.frame != 0 && OfTheShell(reinterpret_cast<HWND>(visit.frame)));
}

}  // namespace

void TExplorerJump::Apply(const TSettingsValues& settings) {
  TJumpKey key;
  const TJumpKeyRead read = DecodeJumpKey(settings.JumpKey, key);
  if (read == TJumpKeyRead::Malformed)
    CommonLogErrorEvent(kFunction, L"JumpKey names no key that can be held for a dialog, the key is off",
                        L"JumpKey=" + std::to_wstring(settings.JumpKey), 0, true);
  const bool on = read == TJumpKeyRead::Key;
  if (on != keyOn_ || !(key == key_)) {
    // A new key is registered anew, at the next dialog or at once where one is in front.
    const bool wasRegistered = registered_;
    Register(false);
    key_ = key;
    keyOn_ = on;
    refusalTold_ = false;
    if (wasRegistered) Register(true);
  }
  mode_ = AutoJumpMode(settings.AutoJump);
  excluded_ = LoadJumpExcluded();
}

bool TExplorerJump::WorksIn(const std::wstring& program) const { return !ProgramListed(excluded_, program); }

void TExplorerJump::SetWorksIn(const std::wstring& program, bool works) {
  if (program.empty() || !SetJumpExcluded(program, !works)) return;
  excluded_ = LoadJumpExcluded();
  CommonLogRunEvent(kFunction, (works ? L"works again in " : L"excluded: ") + program);
}

void TExplorerJump::Register(bool wanted) {
  wanted = wanted && keyOn_;
  if (wanted == registered_) return;
  if (!wanted) {
    ::UnregisterHotKey(window_, kHotKeyId);
    registered_ = false;
    return;
  }
  registered_ = ::RegisterHotKey(window_, kHotKeyId, key_.modifiers | MOD_NOREPEAT, key_.key) != FALSE;
  if (!registered_ && !refusalTold_) {
    refusalTold_ = true;
    CommonLogErrorEvent(kFunction, L"the jump key is held by another program",
                        L"JumpKey=" + std::to_wstring(EncodeJumpKey(key_)), ::GetLastError(), true);
  }
}

void TExplorerJump::OnForeground(HWND window, int kind) {
  // Off altogether: no Explorer window is followed, and nothing is read.
  if (!keyOn_ && mode_ == TAutoJump::Off) return;
  // The agent's own menu or dialog over an Explorer window leaves that window the one in use.
  if (OfThisProcess(window)) {
    Register(false);
    return;
  }
  const HWND left = explorerInFront_;
  explorerInFront_ = nullptr;
  if (left != nullptr && left != window) LeftExplorer(left);
  if (kind == tkExplorer) explorerInFront_ = window;
  const bool dialog = kind == tkFileDialog;
  front_ = window;
  frontSince_ = ::GetTickCount();
  frontSettled_ = dialog || kind == tkExplorer;
  frontFromExplorer_ = left != nullptr && left != window;
  Register(dialog);
  if (pendingDialog_ != nullptr && pendingDialog_ != window) pendingDialog_ = nullptr;
  if (dialog) ArrivedAtDialog(window, frontFromExplorer_);
}

void TExplorerJump::LeftExplorer(HWND frame) {
  if (!::IsWindow(frame)) return;
  TShellTabsRead tabs;
  const std::wstring folder = ExplorerFrameFolder(frame, tabs);
  history_.Used(Id(frame), folder);
  CommonLogRunEvent(kFunction, L"Explorer " + logformat::HandleText(frame) + L" left in " +
                                   (folder.empty() ? std::wstring(L"no folder") : folder));
}

void TExplorerJump::ArrivedAtDialog(HWND dialog, bool fromExplorer) {
  const bool firstSeen = memory_.FirstSight(Id(dialog));
  if (mode_ == TAutoJump::Off) return;
  const std::optional<TExplorerVisit> latest = history_.Latest(ExplorerFrameAlive);
  TDialogArrival arrival;
  arrival.mode = mode_;
  arrival.fromExplorer = fromExplorer;
  arrival.firstSeen = firstSeen;
  arrival.excluded = ProgramListed(excluded_, ProgramNameOf(dialog));
  arrival.hasFolder = latest.has_value();
  arrival.jumpedThere = latest && memory_.JumpedThere(Id(dialog), latest->folder);
  if (!AutoJumpWanted(arrival)) return;
  pendingDialog_ = dialog;
  pendingVisit_ = *latest;
  pendingSince_ = ::GetTickCount();
  OnTick();
}

void TExplorerJump::OnTick() {
  if (!frontSettled_) {
    if (::GetForegroundWindow() != front_ || ::GetTickCount() - frontSince_ > kDialogBuildMs) {
      frontSettled_ = true;
    } else if (ClassifyWindow(front_) == tkFileDialog && !OfThisProcess(front_)) {
      frontSettled_ = true;
      Register(true);
      ArrivedAtDialog(front_, frontFromExplorer_);
    }
  }
  if (pendingDialog_ == nullptr) return;
  TPendingJump pending = HeldKeys();
  pending.dialogInFront = ::GetForegroundWindow() == pendingDialog_;
  pending.waitedMs = ::GetTickCount() - pendingSince_;
  switch (StepPendingJump(pending)) {
    case TPendingStep::Wait:
      return;
    case TPendingStep::Drop:
      if (pending.typing) CommonLogRunEvent(kFunction, L"not by itself: the user is typing in the dialog");
      pendingDialog_ = nullptr;
      return;
    case TPendingStep::Jump: {
      const HWND dialog = pendingDialog_;
      pendingDialog_ = nullptr;
      JumpTo(dialog, pendingVisit_, L"by itself");
      return;
    }
  }
}

void TExplorerJump::OnHotKey() {
  const HWND dialog = ::GetForegroundWindow();
  if (ClassifyWindow(dialog) != tkFileDialog || OfThisProcess(dialog)) {
    // The key came after the dialog left: it is let go for the window in front now.
    Register(false);
    return;
  }
  pendingDialog_ = nullptr;
  if (const std::optional<TExplorerVisit> visit = FolderToFollow(dialog))
    JumpTo(dialog, *visit, L"by key");
  else
    CommonLogRunEvent(kFunction, L"by key: no Explorer window to follow, dialog " + logformat::HandleText(dialog));
}

std::optional<TExplorerVisit> TExplorerJump::FolderToFollow(HWND dialog) {
  if (explorerInFront_ != nullptr) LeftExplorer(explorerInFront_);
  explorerInFront_ = nullptr;
  if (std::optional<TExplorerVisit> latest = history_.Latest(ExplorerFrameAlive)) return latest;
  // None used since the agent started: the Explorer window nearest the top.
  TShellTabsRead tabs;
  for (const std::wstring& folder : OpenExplorerFolders(dialog, tabs))
    if (!folder.empty()) return TExplorerVisit{0, folder};
  return std::nullopt;
}

void TExplorerJump::JumpTo(HWND dialog, const TExplorerVisit& visit, const wchar_t* how) {
  const std::wstring from = visit.frame != 0 ? L"Explorer " + logformat::HandleText(reinterpret_cast<HWND>(visit.frame))
                                             : std::wstring(L"the nearest Explorer window");
  const std::wstring to = L"dialog " + logformat::HandleText(dialog) + L" of " + ProgramNameOf(dialog);
  if (!MayFollow(visit)) {
    CommonLogRunEvent(kFunction, std::wstring(how) +
                                     L": a network folder named by a window not of the shell, not "
                                     L"followed: " +
                                     visit.folder);
    return;
  }
  CommonLogRunEvent(kFunction, std::wstring(how) + L" from " + from + L" in " + visit.folder + L" to " + to);
  memory_.Jumped(Id(dialog), visit.folder);
  SetData({dialog, tkFileDialog}, agentThreadId_, visit.folder, false);
}
