// The agent's side of the hook queue: installs the hooks of qf.dll, drains the shared record's
// queue when the hook wakes it and on the drain timer (for every wake that cannot arrive), installs
// the hooks again while their heartbeat is stale, and hands on every trigger it decodes and takes,
// after its log line. Any program of the user can write the record, so nothing in it is believed
// as more than a hint: a trigger is taken only for a window in front or under the mouse that the
// agent itself recognises as one of its kind. Owns the record pointer and the drain timer. Main
// thread.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "diagnostics/log_format.h"
#include "hook/hook_contract.h"
#include "settings/own_dialogs.h"
#include "win/handles.h"

// Whether a queued trigger is taken: null when it is, else why not. It is when `target` is a
// window whose top-level window is at this moment the foreground window's or the one under the
// mouse, and RecognisedAs accepts it for `kind` (`control`: a browse dialog's tree; `shellFrame`:
// the frame the agent named from the shell's window list); a trigger for one of the user's own
// dialogs, when one of `ownDialogs` takes the window still.
const wchar_t* JudgeQueuedTrigger(HWND target, int kind, HWND control, HWND shellFrame,
                                  const std::vector<TOwnDialog>& ownDialogs = {});

class THookPump {
 public:
  // Installs the hooks with the current settings and answers the record, or null.
  using TInstall = std::function<hook::THookShare*()>;
  using TRemove = std::function<void()>;
  // A decoded trigger: the window the menu is for and its TargetKind.
  using TTrigger = std::function<void(HWND window, int kind)>;
  using TJudge = std::function<const wchar_t*(HWND target, int kind, HWND control, HWND shellFrame,
                                              const std::vector<TOwnDialog>& ownDialogs)>;
  using TClock = std::function<DWORD()>;

  THookPump(HWND timerWindow, UINT_PTR timerId, TInstall install, TRemove remove, TTrigger trigger,
            TJudge judge = JudgeQueuedTrigger, TClock clock = ::GetTickCount);
  THookPump(const THookPump&) = delete;
  THookPump& operator=(const THookPump&) = delete;
  ~THookPump() { Stop(); }

  // The user's own dialogs the hooks are to take (given to them at every install, so set them
  // before Start or Reinstall) and the triggers and the menu are judged by.
  void SetOwnDialogs(std::vector<TOwnDialog> entries) { ownDialogs_ = std::move(entries); }
  const std::vector<TOwnDialog>& OwnDialogs() const { return ownDialogs_; }
  // The entry that takes `window`, or null.
  const TOwnDialog* OwnDialogFor(HWND window) const;
  // Installs the hooks, drops what programs kept queued for an earlier agent and starts the drain
  // timer; false when the hooks cannot be installed.
  bool Start();
  // The drain timer's work: every published slot in index order, then the heartbeat.
  void OnTimer();
  // The hook's wake message: every published slot in index order, at once. A wake that comes
  // while a trigger is handled (its menu, a dialog) is left to the drain that runs already.
  void OnWake();
  // Removes the hooks and installs them again with the settings as they are now; false when
  // that failed.
  bool Reinstall();
  // Stops the timer and removes the hooks.
  void Stop();
  // Tells the hooks that the folder menu is up, so clicks then reach the menu.
  void SetMenuOpen(bool open);
  // A window came to the foreground (or was found there at a drain tick: the event does not reach
  // an out-of-context watch everywhere). A frame of Explorer's classes whose styles the frame
  // check refuses is asked about in the shell's window list, and when the list names it the hooks
  // take its middle clicks as Explorer's (the record's shellFrame). Then the listener hears of it
  // with the window's kind.
  void OnForeground(HWND window);
  using TForegroundListener = std::function<void(HWND window, int kind)>;
  void ListenToForeground(TForegroundListener listener) { foregroundListener_ = std::move(listener); }
  // The kind of `window` for the folder menu (the shell's list asked where the styles do not
  // tell, then the user's own dialogs), the frame named to the hooks when the list decided.
  int ClassifyNamingFrame(HWND window);
  // The hooks take the middle clicks of `frame`, which the shell's window list named, as
  // Explorer's.
  void NameShellFrame(HWND frame);

 private:
  void Drain();
  void Dispatch(const hook::TQueueSlot& slot);
  // One log line a second at most for what is dropped, however much of it others queue.
  void Dropped(const std::wstring& what);
  // Takes the record of an installed hook and gives it the window to wake.
  void Adopt(hook::THookShare* share);
  void CheckHeartbeat();
  void StartTimer();
  static void CALLBACK ForegroundEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD);

  // A WinEvent procedure carries no context of its own: the one pump of the thread is found here.
  static thread_local THookPump* watcher_;

  HWND timerWindow_;
  UINT_PTR timerId_;
  UINT_PTR timer_ = 0;
  TInstall install_;
  TRemove remove_;
  TTrigger trigger_;
  TJudge judge_;
  TClock clock_;
  hook::THookShare* share_ = nullptr;
  std::vector<TOwnDialog> ownDialogs_;
  // The frame this pump named in the record: the record's own field is not read back.
  HWND namedFrame_ = nullptr;
  hook::TClaimSightings claimSightings_{};
  logformat::TLineThrottle dropLines_{1000};
  // Foreground changes, seen out of context: nothing is loaded into other programs for them.
  win::TWinEventHook foreground_;
  TForegroundListener foregroundListener_;
  // The window last seen in front, by the event or at a tick; whether the event has come at all.
  HWND lastForeground_ = nullptr;
  bool foregroundEventsCome_ = false;
  unsigned ticksSinceForegroundCheck_ = 0;
  bool installed_ = false;
  bool draining_ = false;
  // Installing again failed at the last stale heartbeat; the record stays mapped meanwhile.
  bool failing_ = false;
  // When the drain timer's last tick ended: the heartbeat is judged only between ticks that
  // follow each other closely.
  DWORD lastTick_ = 0;
  // When the hooks were last installed again for a stale heartbeat.
  bool reinstalled_ = false;
  DWORD lastReinstall_ = 0;
};
