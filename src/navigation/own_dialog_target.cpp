#include "navigation/own_dialog_target.h"

#include <shlwapi.h>

#include <array>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/foreign_window.h"
#include "navigation/target_kind.h"
#include "navigation/typing_rules.h"
#include "navigation/window_front.h"
#include "navigation/window_kinds.h"
#include "navigation/window_navigation.h"
#include "win/files.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kLog[] = L"SetData\\OwnDialog";
// A box's class path is followed through this many windows at most.
constexpr int kMaxBoxSearch = 400;
// The window to come to the front, between two checks, and how many checks.
constexpr DWORD kFrontCheckMs = 10;
constexpr int kFrontChecks = 20;
// The window to finish its own reaction to becoming active (its focus settles on a box).
constexpr DWORD kFrontSettleMs = 100;
// The address box the entry's key opens to come up and take the focus.
constexpr DWORD kAddressKeySettleMs = 200;

// A top-level window of another process answers its caption without a message to it.
std::wstring CaptionOf(HWND window) {
  std::array<wchar_t, kOwnDialogTextLimit + 1> text{};
  const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return std::wstring(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

HWND FindBoxFrom(HWND parent, const std::vector<std::wstring>& classes, std::size_t level, int& visited) {
  for (HWND child = ::FindWindowExW(parent, nullptr, classes[level].c_str(), nullptr); child != nullptr;
       child = ::FindWindowExW(parent, child, classes[level].c_str(), nullptr)) {
    if (++visited > kMaxBoxSearch) return nullptr;
    if (level + 1 == classes.size()) {
      if (::IsWindowVisible(child)) return child;
      continue;
    }
    if (const HWND found = FindBoxFrom(child, classes, level + 1, visited)) return found;
  }
  return nullptr;
}

bool Send(const std::vector<typing::TStroke>& strokes) {
  std::vector<INPUT> inputs(strokes.size());
  for (std::size_t i = 0; i < strokes.size(); ++i) {
    KEYBDINPUT& key = inputs[i].ki;
    inputs[i].type = INPUT_KEYBOARD;
    if (strokes[i].key != 0) {
      key.wVk = strokes[i].key;
      key.dwFlags = strokes[i].up ? KEYEVENTF_KEYUP : 0;
    } else {
      key.wScan = static_cast<WORD>(strokes[i].character);
      key.dwFlags = KEYEVENTF_UNICODE | (strokes[i].up ? KEYEVENTF_KEYUP : 0);
    }
  }
  return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool InFront(HWND dialog) {
  const HWND front = ::GetForegroundWindow();
  return front != nullptr && ::GetAncestor(front, GA_ROOT) == dialog;
}

// Brings the dialog to the front and types into whatever has its focus: first the entry's key
// (with `leadKey`), then the path and Enter. Input goes where the foreground is, so nothing is
// typed unless the dialog is in front at each step.
bool TypeIntoDialog(HWND dialog, int leadKey, const std::wstring& path) {
  const std::vector<typing::TStroke> text = typing::TextStrokes(path, true);
  const std::vector<typing::TStroke> key = leadKey != 0 ? typing::KeyStrokes(leadKey) : std::vector<typing::TStroke>{};
  if (text.empty() || (leadKey != 0 && key.empty())) {
    CommonLogRunEvent(kLog, L"nothing typed: the path cannot be typed, Path=" + path);
    return false;
  }
  if (!WindowAnswers(dialog)) {
    CommonLogRunEvent(kLog, L"nothing typed: the window does not answer, Wnd=" + logformat::HandleText(dialog));
    return false;
  }
  MoveWindowToFront(dialog);
  for (int check = 1; !InFront(dialog); ++check) {
    if (check == kFrontChecks) {
      CommonLogRunEvent(kLog,
                        L"nothing typed: the window did not come to the front, Wnd=" + logformat::HandleText(dialog));
      return false;
    }
    ::Sleep(kFrontCheckMs);
    if (check % 5 == 0) MoveWindowToFront(dialog);
  }
  ::Sleep(kFrontSettleMs);
  if (!key.empty()) {
    if (!InFront(dialog) || !Send(key)) {
      CommonLogRunEvent(kLog, L"nothing typed: the window lost the front before its key");
      return false;
    }
    ::Sleep(kAddressKeySettleMs);
  }
  if (!InFront(dialog)) {
    CommonLogRunEvent(kLog, L"nothing typed: another window came to the front");
    return false;
  }
  const bool sent = Send(text);
  CommonLogRunEvent(kLog, std::wstring(sent ? L"typed" : L"typing refused by the system") + L", Wnd=" +
                              logformat::HandleText(dialog) + L", Path=" + path);
  return sent;
}

}  // namespace

const TOwnDialog* OwnDialogOf(HWND window, const std::vector<TOwnDialog>& entries) {
  if (entries.empty() || window == nullptr) return nullptr;
  const HWND root = ::GetAncestor(window, GA_ROOT);
  if (root == nullptr || !::IsWindow(root) || OfThisProcess(root) || IsDesktopFrame(root)) return nullptr;
  if (ClassifyWindow(root) != tkDesktop) return nullptr;
  if (ClassIs(root, kDialogClassBuffer, L"#32770") && BrowseDialogTree(root) != nullptr) return nullptr;
  return FindOwnDialog(entries, ProgramNameOf(root), ClassNameOf(root), CaptionOf(root));
}

HWND FindOwnDialogBox(HWND dialog, const std::vector<std::wstring>& classes) {
  if (dialog == nullptr || classes.empty()) return nullptr;
  int visited = 0;
  return FindBoxFrom(dialog, classes, 0, visited);
}

bool SetDataToOwnDialog(HWND dialog, const TOwnDialog& entry, DWORD agentThreadId, const std::wstring& path,
                        bool filter) {
  CommonLogRunEvent(kLog, L"entry " + entry.name + L", Wnd=" + logformat::HandleText(dialog));
  // What such a dialog does with Enter is its own: a program (a recent file may name one) is
  // never put into it, lest Enter run it.
  if (!DirectoryExists(path) &&
      (text::IsProgramFileName(path) || ::AssocIsDangerous(::PathFindExtensionW(path.c_str())))) {
    CommonLogRunEvent(kLog, L"a program file, not typed: Path=" + path);
    return false;
  }
  switch (entry.method) {
    case TOwnDialogMethod::Edit: {
      if (FindOwnDialogBox(dialog, entry.box) == nullptr) {
        std::wstring classes;
        for (const std::wstring& c : entry.box) classes += (classes.empty() ? L"" : L"\\") + c;
        CommonLogRunEvent(kLog, L"no box on the path " + classes + L": the entry is passed over");
        return false;
      }
      SetDataToBox(
          dialog, [&entry](HWND d) { return FindOwnDialogBox(d, entry.box); }, agentThreadId, path, filter);
      return true;
    }
    case TOwnDialogMethod::Keys:
      return TypeIntoDialog(dialog, 0, path);
    case TOwnDialogMethod::Address:
      return TypeIntoDialog(dialog, entry.addressKey, path);
  }
  return false;
}
