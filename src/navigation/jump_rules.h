// Explorer Jump's decisions: the jump key as the settings store it, the Explorer windows the user
// used most recently with their folders, when a file dialog follows one by itself, and which
// dialogs and folders have had their jump. Portable, no system calls; main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The jump key as "JumpKey" stores it: the hot key's modifiers in the high word, as the folder
// menu's hot key takes them (1 Alt, 2 Ctrl, 4 Shift, 8 the Windows key, together as wanted), and
// the virtual key in the low word; 0 is off.
struct TJumpKey {
  unsigned modifiers = 0;
  unsigned key = 0;
  friend bool operator==(const TJumpKey&, const TJumpKey&) = default;
};
enum class TJumpKeyRead {
  Off,        // 0: no key
  Key,        // a key to register
  Malformed,  // a value that names no key, or one that would eat typed text: off, and logged
};
// What a stored "JumpKey" says. A key without Ctrl, Alt or the Windows key is refused unless it
// is a function key: it is registered while a file dialog is in front, where a plain letter (or
// a shifted one) must still reach the name box.
TJumpKeyRead DecodeJumpKey(int stored, TJumpKey& key);
// The stored form of a key.
int EncodeJumpKey(const TJumpKey& key);

// "AutoJump": 0 off, 1 when the user comes back from an Explorer window to a file dialog, 2 also
// when a file dialog comes to the front for the first time. Any other value is off.
enum class TAutoJump { Off = 0, BackFromExplorer = 1, AlsoNewDialogs = 2 };
TAutoJump AutoJumpMode(int stored);

// One Explorer window the user used, as a number, and the folder it showed when it lost the
// foreground.
struct TExplorerVisit {
  std::uintptr_t frame = 0;
  std::wstring folder;
  friend bool operator==(const TExplorerVisit&, const TExplorerVisit&) = default;
};

// The Explorer windows the user used, most recent first, at most kKept.
class TExplorerHistory {
 public:
  static constexpr std::size_t kKept = 16;
  // `frame` lost the foreground showing `folder`; empty when it showed no folder of the file
  // system (a library, the Control Panel), which leaves nothing to jump to from it.
  void Used(std::uintptr_t frame, const std::wstring& folder);
  // The most recent visit whose frame `alive` still finds (a window closed since then falls back
  // to the next); those that it does not find are forgotten.
  std::optional<TExplorerVisit> Latest(const std::function<bool(std::uintptr_t)>& alive);
  const std::vector<TExplorerVisit>& Visits() const { return visits_; }

 private:
  std::vector<TExplorerVisit> visits_;
};

// A file dialog that came to the front, as the auto jump sees it.
struct TDialogArrival {
  TAutoJump mode = TAutoJump::Off;
  bool fromExplorer = false;  // the window in front just before was an Explorer window
  bool firstSeen = false;     // the dialog has not been in front before
  bool excluded = false;      // its program is one of the excluded programs
  bool hasFolder = false;     // an Explorer window's folder is known
  bool jumpedThere = false;   // this dialog has already followed that folder by itself
};
// Whether the dialog follows the Explorer window's folder by itself.
bool AutoJumpWanted(const TDialogArrival& arrival);

// An auto jump waits for the keys to be let go (the Alt of Alt+Tab, say), and is dropped when
// the user starts typing in the dialog or leaves it first, or when it waited too long.
inline constexpr unsigned kAutoJumpPatienceMs = 2000;
struct TPendingJump {
  bool dialogInFront = false;
  bool typing = false;        // a key other than a modifier is down
  bool modifierDown = false;  // Shift, Ctrl, Alt or a Windows key is down
  unsigned waitedMs = 0;
};
enum class TPendingStep { Wait, Jump, Drop };
TPendingStep StepPendingJump(const TPendingJump& pending);

// The dialogs seen in front and the folders each has followed by itself, the most recent kept.
class TJumpMemory {
 public:
  static constexpr std::size_t kKept = 64;
  // True the first time a dialog is seen; it is remembered from then on.
  bool FirstSight(std::uintptr_t dialog);
  bool JumpedThere(std::uintptr_t dialog, const std::wstring& folder) const;
  void Jumped(std::uintptr_t dialog, const std::wstring& folder);

 private:
  std::vector<std::uintptr_t> seen_;
  std::vector<TExplorerVisit> jumps_;
};

// Whether a program's executable name is one of `programs`, case-blind.
bool ProgramListed(const std::vector<std::wstring>& programs, const std::wstring& program);
