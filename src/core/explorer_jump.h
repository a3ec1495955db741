// Explorer Jump: a file dialog of another program goes to the folder of the Explorer window the
// user used last, on the jump key or (where the settings say so) by itself when the user comes
// to the dialog. The Explorer windows are followed through the foreground alone (nothing is
// loaded into other programs), each read untouched when it loses the foreground. The key is
// registered only while such a dialog is in front, so no other program ever loses it. Main
// thread; owns the key's registration.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "navigation/jump_rules.h"
#include "settings/settings_values.h"

class TExplorerJump {
 public:
  enum : int { kHotKeyId = 0x514A };

  // `window` receives the key's WM_HOTKEY; `agentThreadId` is the second party of the input
  // attachments of the navigation.
  TExplorerJump(HWND window, DWORD agentThreadId) : window_(window), agentThreadId_(agentThreadId) {}
  TExplorerJump(const TExplorerJump&) = delete;
  TExplorerJump& operator=(const TExplorerJump&) = delete;
  ~TExplorerJump() { Register(false); }

  // The settings as read or saved: the key, the auto jump's mode and the excluded programs (read
  // again from the registry).
  void Apply(const TSettingsValues& settings);
  // `window`, of `kind` (TargetKind), came to the foreground.
  void OnForeground(HWND window, int kind);
  // The drain timer's tick: an auto jump waiting for the keys to be let go is looked at again.
  void OnTick();
  // The jump key: the dialog in front goes to the folder.
  void OnHotKey();
  // The folder menu over a dialog of `program`: whether Explorer Jump works there, and the
  // switch that adds the program to the excluded programs or takes it away.
  bool WorksIn(const std::wstring& program) const;
  void SetWorksIn(const std::wstring& program, bool works);

 private:
  void LeftExplorer(HWND frame);
  void ArrivedAtDialog(HWND dialog, bool fromExplorer);
  void Register(bool wanted);
  // The Explorer window to follow for `dialog`: the one used last that is still open, else the
  // nearest open one; `how` names the way in the log.
  std::optional<TExplorerVisit> FolderToFollow(HWND dialog);
  void JumpTo(HWND dialog, const TExplorerVisit& visit, const wchar_t* how);

  HWND window_;
  DWORD agentThreadId_;
  TJumpKey key_{};
  bool keyOn_ = false;
  bool registered_ = false;
  // The key could not be registered (another program holds it): told once until it changes.
  bool refusalTold_ = false;
  TAutoJump mode_ = TAutoJump::Off;
  std::vector<std::wstring> excluded_;
  TExplorerHistory history_;
  TJumpMemory memory_;
  // The Explorer frame in front, whose folder is read when it loses the foreground.
  HWND explorerInFront_ = nullptr;
  // The window in front, and when it came there while it is not known as a dialog yet: a dialog
  // may be activated before it has built the windows that tell it is one.
  HWND front_ = nullptr;
  DWORD frontSince_ = 0;
  bool frontSettled_ = true;
  bool frontFromExplorer_ = false;
  // An auto jump waiting for the keys to be let go.
  HWND pendingDialog_ = nullptr;
  TExplorerVisit pendingVisit_;
  DWORD pendingSince_ = 0;
};
