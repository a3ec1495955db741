#include "navigation/window_navigation.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/console_target.h"
#include "navigation/foreign_window.h"
#include "navigation/own_dialog_target.h"
#include "navigation/shell_windows.h"
#include "navigation/target_kind.h"
#include "navigation/window_front.h"
#include "navigation/window_kinds.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/text_rules.h"

namespace {

// A click this far right in client coordinates lands behind the last character (or, in a
// breadcrumb bar, on the empty space that switches it to an edit box).
constexpr LPARAM kFarRightClick = MAKELPARAM(20002, 0);
// Verification loops check this many times before giving up with a log line.
constexpr int kChecks = 10;
// The check at which a box that has not taken the path gets it once more.
constexpr int kResendCheck = 8;
// A file dialog is tried this many times more when its box still holds the path after Enter.
constexpr int kLastDialogAttempt = 3;
// FindButton's layout rules.
constexpr int kRuleNarrowLeftmost = 33;
constexpr int kRuleTopBand = 22;
constexpr int kButtonBand = 28;
constexpr LONG kLeftBound = 9000;
constexpr int kButtonClassBuffer = 10;
// WinRAR: at most this many "one level up" keys to leave an archive.
constexpr int kLeaveArchivePasses = 11;
// The button WinZip's extraction dialog uses to accept the typed folder.
constexpr wchar_t kZipGoCaption[] = L"->";

// The pauses of the recipes, each named for what it waits for.
// The foreground or the focus to move to the dialog between two checks.
constexpr DWORD kFocusCheckMs = 10;
// The dialog to finish its own reaction to the focus (it selects the box's text).
constexpr DWORD kFocusSettleMs = 50;
// The box to show a text it was sent, between two reads.
constexpr DWORD kTextCheckMs = 10;
// The box's autocompletion to settle after a text change.
constexpr DWORD kTextSettleMs = 50;
// The dialog to open the folder and put the typed name back, between two reads.
constexpr DWORD kEnterCheckMs = 10;
// The dialog to take the posted Delete before the box is emptied once more.
constexpr DWORD kDeleteSettleMs = 50;
// The emptied box to be read back, between two reads.
constexpr DWORD kClearCheckMs = 50;
// The dialog to finish listing the new folder before the name goes back in.
constexpr DWORD kListSettleMs = 500;
// WinRAR to show the folder it went up to: at once on the first pass, then this long.
constexpr DWORD kArchiveFirstWaitMs = 1;
constexpr DWORD kArchiveWaitMs = 500;
// WinRAR's list to take the posted Backspace.
constexpr DWORD kArchiveKeyMs = 100;

constexpr wchar_t kDialogLog[] = L"SetDataToDialog";

std::wstring Hex(HWND window) { return logformat::HandleText(window); }

void LogError(const wchar_t* message) { CommonLogErrorEvent(L"SetPath", message, L"", ::GetLastError(), true); }

// The folder appears in a new window of the shell: the fallback for everything we cannot drive.
void OpenWithShell(const std::wstring& path) { OpenFolderInShell(path); }

// Makes the target the active window and gives the box the keyboard focus; input attached.
void FocusBox(HWND target, HWND edit) {
  // A thread that does not answer must not be given the focus: SetFocus and SetActiveWindow
  // wait for it without a bound once its input is attached to ours.
  if (!WindowAnswers(target)) return;
  ::SetForegroundWindow(target);
  ::SetActiveWindow(target);
  ::SetFocus(edit);
}

// Backspace in WinRAR's file list goes one level up, out of an archive it may be showing, until
// its address names a real folder (or stops changing).
void LeaveArchive(HWND rarWindow, DWORD agentThreadId, HWND address) {
  DWORD waitMs = kArchiveFirstWaitMs;
  std::wstring previous;
  for (int pass = 0; pass < kLeaveArchivePasses; ++pass) {
    bool timedOut = false;
    const std::wstring text = ReadText(address, &timedOut);
    if (timedOut) continue;
    if (DirectoryExists(text) || text.find(L":\\") != std::wstring::npos || text.find(L":)") != std::wstring::npos ||
        text == previous) {
      ::Sleep(waitMs);
      return;
    }
    previous = text;
    {
      win::TThreadInputAttachment attachment(ThreadOf(rarWindow), agentThreadId);
      if (WindowAnswers(rarWindow)) {
        ::SetForegroundWindow(rarWindow);
        ::SetActiveWindow(rarWindow);
        const HWND list = ::FindWindowExW(rarWindow, nullptr, L"SysListView32", nullptr);
        ::SetFocus(list);
        PostKey(list, VK_BACK);
      }
    }
    ::Sleep(kArchiveKeyMs);
    waitMs = kArchiveWaitMs;
  }
}

struct TButtonSearch {
  int rule = 0;
  LONG bound = kLeftBound;
  HWND best = nullptr;
};

BOOL CALLBACK ConsiderButton(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<TButtonSearch*>(data);
  if (!ClassIs(window, kButtonClassBuffer, L"Button")) return TRUE;
  RECT r{};
  if (!::GetWindowRect(window, &r)) return TRUE;
  if (search.rule == kRuleNarrowLeftmost) {
    if (r.right - r.left < kButtonBand && r.left < search.bound) {
      search.bound = r.left;
      search.best = window;
    }
  } else {
    RECT parent{};
    if (::GetWindowRect(::GetParent(window), &parent) && r.top - parent.top < kButtonBand) search.best = window;
  }
  return TRUE;
}

// Reads the box until the check holds or the checks run out; false then, with the last text.
template <class Done>
bool ReadUntil(HWND edit, Done done, DWORD pauseMs, std::wstring& text, int resendAt = 0,
               const std::wstring& resend = {}) {
  for (int check = 1; check <= kChecks; ++check) {
    text = ReadText(edit);
    if (done(text)) return true;
    if (check == resendAt) SetText(edit, resend);
    if (check < kChecks) ::Sleep(pauseMs);
  }
  return false;
}

void Log(const std::wstring& text) { CommonLogRunEvent(kDialogLog, text); }

void RestoreTypedName(HWND dialog, DWORD agentThreadId, HWND edit, const std::wstring& typedName) {
  ::Sleep(kDeleteSettleMs);
  {
    win::TThreadInputAttachment attachment(ThreadOf(dialog), agentThreadId);
    PostKey(edit, VK_DELETE);
  }
  SetText(edit, L"");
  std::wstring text;
  if (!ReadUntil(
          edit, [](const std::wstring& t) { return t.empty(); }, kClearCheckMs, text))
    Log(L"Can't delete 2=" + text);
  ::Sleep(kListSettleMs);
  SetText(edit, typedName);
  if (!ReadUntil(
          edit, [&](const std::wstring& t) { return t == typedName; }, kTextCheckMs, text)) {
    Log(L"Can't set data 2=" + text + L", c=" + typedName);
  }
}

using TBoxFinder = std::function<HWND(HWND dialog)>;

void SetDataToDialogUnguarded(HWND dialog, const TBoxFinder& findBox, DWORD agentThreadId, const std::wstring& path,
                              bool filter, int attempt, const std::wstring& typedNameIn) {
  if (attempt > kLastDialogAttempt) return;
  const HWND edit = findBox(dialog);
  if (edit == nullptr) return;
  CommonLogRunEvent(kDialogLog, L"Hwnd=" + Hex(dialog) + L", Ctr=" + Hex(edit) + L", Path=" + path);

  MoveWindowToFront(dialog);
  for (int check = 1; check <= kChecks; ++check) {
    if (::GetForegroundWindow() == dialog) break;
    if (check < kChecks) {
      MoveWindowToFront(dialog);
      ::Sleep(kFocusCheckMs);
    } else {
      Log(L"Can't get foreground");
    }
  }

  TimedSend(edit, WM_LBUTTONDOWN, MK_LBUTTON, kFarRightClick);
  TimedSend(edit, WM_LBUTTONUP, MK_LBUTTON, kFarRightClick);
  TimedSend(edit, WM_SETFOCUS, 0, 0);

  {
    win::TThreadInputAttachment attachment(ThreadOf(dialog), agentThreadId);
    const bool answers = WindowAnswers(edit);
    if (answers) ::SetFocus(edit);
    for (int check = 1; check <= kChecks; ++check) {
      if (::GetFocus() == edit) break;
      if (check < kChecks) {
        if (answers) ::SetFocus(edit);
        ::Sleep(kFocusCheckMs);
      } else {
        Log(L"Can't get focus");
      }
    }
  }
  ::Sleep(kFocusSettleMs);

  const std::wstring typedName = attempt == 0 ? ReadText(edit) : typedNameIn.substr(0, kForeignTextLimit);
  Log(L"GetText=" + typedName);

  SetText(edit, L"");
  TimedSend(edit, WM_KEYDOWN, VK_DELETE, 0);
  TimedSend(edit, WM_KEYUP, VK_DELETE, 0);
  std::wstring text;
  if (!ReadUntil(
          edit, [](const std::wstring& t) { return t.empty(); }, kTextCheckMs, text))
    Log(L"Can't delete=" + text);
  ::Sleep(kTextSettleMs);

  TimedSend(edit, WM_CHAR, L' ', 0);
  SetText(edit, path);
  // A box that lost the first text (the space may have started an autocompletion) gets it again.
  if (!ReadUntil(
          edit, [&](const std::wstring& t) { return t == path; }, kTextCheckMs, text, kResendCheck, path)) {
    Log(L"Can't set data=" + text + L", Path=" + path);
  }
  ::Sleep(kTextSettleMs);

  {
    win::TThreadInputAttachment attachment(ThreadOf(dialog), agentThreadId);
    PostKey(edit, VK_RETURN);
  }

  // The dialog puts the typed name back itself once it has taken the folder.
  if (ReadUntil(
          edit, [&](const std::wstring& t) { return t == typedName; }, kEnterCheckMs, text))
    return;
  if (text == path && !filter) {
    Log(L"Can't enter ct=" + text + L", c=" + typedName);
    SetText(edit, typedName);
    SetDataToDialogUnguarded(dialog, findBox, agentThreadId, path, false, attempt + 1, typedName);
    return;
  }
  RestoreTypedName(dialog, agentThreadId, edit, typedName);
}

}  // namespace

void SetPath(const TNavigationTarget& target, DWORD agentThreadId, HWND edit, const std::wstring& path, bool enter) {
  CommonLogRunEvent(L"SetData\\SetPath", L"Hwnd=" + Hex(edit) + L", Path=" + path);
  if (edit == nullptr) return;
  win::TThreadInputAttachment attachment(ThreadOf(target.window), agentThreadId);
  FocusBox(target.window, edit);
  SetText(edit, path);
  if (enter) PostKey(edit, VK_RETURN);
}

void SetPath2(const TNavigationTarget& target, DWORD agentThreadId, HWND edit, const std::wstring& path, bool enter) {
  CommonLogRunEvent(L"SetData\\SetPath2", L"Hwnd=" + Hex(edit) + L", Path=" + path);
  if (edit == nullptr) return;
  win::TThreadInputAttachment attachment(ThreadOf(target.window), agentThreadId);
  FocusBox(target.window, edit);
  if (path.size() > 1) {
    // The box leaves its caret before the text it was given, so the posted characters land in
    // front of the last one, in order.
    SetText(edit, path.substr(path.size() - 1));
    for (std::size_t i = 0; i + 1 < path.size(); ++i) ::PostMessageW(edit, WM_CHAR, path[i], 0);
  }
  if (enter) PostKey(edit, VK_RETURN);
}

HWND FindButton(HWND window, int rule) {
  TButtonSearch search;
  search.rule = rule;
  if (window) ::EnumChildWindows(window, ConsiderButton, reinterpret_cast<LPARAM>(&search));
  return search.best;
}

HWND ExplorerAddressBar(HWND window) {
  const HWND rebar = ChildPath(window, {L"WorkerW", L"ReBarWindow32"});
  if (rebar == nullptr) return nullptr;
  if (const HWND comboEx = ::FindWindowExW(rebar, nullptr, L"ComboBoxEx32", nullptr)) return ComboEdit(comboEx);
  const HWND progress = ChildPath(rebar, {L"Address Band Root", L"msctls_progress32"});
  if (progress == nullptr) return nullptr;
  if (const HWND comboEx = ::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr)) return ComboEdit(comboEx);
  return ChildPath(progress, {L"Breadcrumb Parent", L"ToolbarWindow32"});
}

HWND GetExplorerComponent(HWND window, DWORD agentThreadId) {
  const HWND bar = ExplorerAddressBar(window);
  if (bar == nullptr || !ClassIs(bar, kWholeClassBuffer, L"ToolbarWindow32")) return bar;
  {
    // A click on the empty end of the breadcrumb bar turns it into an edit box.
    win::TThreadInputAttachment attachment(ThreadOf(window), agentThreadId);
    TimedSend(bar, WM_SETFOCUS, 0, 0);
    TimedSend(bar, WM_LBUTTONDOWN, MK_LBUTTON, kFarRightClick);
    TimedSend(bar, WM_LBUTTONUP, MK_LBUTTON, kFarRightClick);
  }
  // The toolbar lies in "Breadcrumb Parent", in the progress bar that now holds the edit box.
  const HWND progress = ::GetParent(::GetParent(bar));
  return ComboEdit(::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr));
}

HWND GetIEcomponent(HWND window) {
  const HWND rebar = ChildPath(window, {L"WorkerW", L"ReBarWindow32"});
  if (rebar == nullptr) return nullptr;
  if (const HWND comboEx = ::FindWindowExW(rebar, nullptr, L"ComboBoxEx32", nullptr)) return ComboEdit(comboEx);
  return ChildPath(rebar, {L"Address Band Root", L"Edit"});
}

void SetDataToDialog(HWND dialog, DWORD agentThreadId, const std::wstring& path, bool filter, int attempt,
                     const std::wstring& typedName) {
  Guarded(kDialogLog,
          [&] { SetDataToDialogUnguarded(dialog, CheckVistaDialog, agentThreadId, path, filter, attempt, typedName); });
}

void SetDataToBox(HWND dialog, const std::function<HWND(HWND dialog)>& findBox, DWORD agentThreadId,
                  const std::wstring& path, bool filter) {
  Guarded(kDialogLog, [&] { SetDataToDialogUnguarded(dialog, findBox, agentThreadId, path, filter, 0, L""); });
}

bool OpenFolderInShell(const std::wstring& path, const wchar_t* verb) {
  const DWORD attributes =
      text::HasControlCharacter(path) ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CommonLogErrorEvent(L"OpenFolderInShell", L"no folder, not opened", L"Path=" + path, 0, false);
    return false;
  }
  return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, verb, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool OpenDocumentInShell(const std::wstring& path) {
  // The system's own list of the dangerous types is asked by the file's extension.
  if (text::HasControlCharacter(path) || text::IsProgramFileName(path) ||
      ::AssocIsDangerous(::PathFindExtensionW(path.c_str()))) {
    CommonLogErrorEvent(L"OpenDocumentInShell", L"a program file, not started", L"Path=" + path, 0, false);
    return false;
  }
  // The type's default verb, as a double click would take.
  return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
         32;
}

TSetDataOutcome SetData(const TNavigationTarget& target, DWORD agentThreadId, const std::wstring& path, bool filter) {
  TSetDataOutcome outcome = TSetDataOutcome::Done;
  Guarded(L"SetData", [&] {
    const HWND window = target.window;
    if (window == nullptr) {
      LogError(L"Wnd = 0");
      return;
    }
    CommonLogRunEvent(L"SetData", L"begin, type=" + std::to_wstring(target.kind) + L", Wnd=" + Hex(window));
    switch (target.kind) {
      case tkRarExtract:
      case tkZipExtract: {
        const HWND edit = ChildPath(window, {L"ComboBox", L"Edit"});
        if (edit) {
          SetPath(target, agentThreadId, edit, path, false);
        } else {
          LogError(target.kind == tkRarExtract ? L"RarE = 0" : L"ZipE = 0");
        }
        HWND button = nullptr;
        if (target.kind == tkZipExtract) button = ::FindWindowExW(window, nullptr, L"Button", kZipGoCaption);
        if (button == nullptr)
          button = FindButton(window, target.kind == tkZipExtract ? kRuleNarrowLeftmost : kRuleTopBand);
        if (button) TimedSend(button, BM_CLICK, 0, 0);
        break;
      }
      case tkRarWindow: {
        const HWND edit = ChildPath(window, {L"ReBarWindow32", L"ComboBoxEx32", L"ComboBox", L"Edit"});
        if (edit == nullptr) {
          LogError(L"RarW h = 0");
          break;
        }
        LeaveArchive(window, agentThreadId, edit);
        SetPath(target, agentThreadId, edit, path, true);
        break;
      }
      case tkAceExtract: {
        const HWND edit = ChildPath(window, {L"TPanel", L"TIEAddress", L"Edit"});
        if (edit) {
          SetPath2(target, agentThreadId, edit, path, false);
        } else {
          LogError(L"AceE = 0");
        }
        break;
      }
      case tkDesktop:
        CommonLogRunEvent(L"SetData\\MenuType = Desk", L"Path=" + path);
        OpenWithShell(path);
        break;
      case tkConsole:
      case tkTerminal:
        // A console whose shell cannot be reached gets the folder in a new window; one that runs
        // another program is told to the user, and a path that cannot be typed goes nowhere.
        switch (SetDataToConsole(window, path)) {
          case TConsoleTyping::NoShell:
            OpenWithShell(path);
            break;
          case TConsoleTyping::Busy:
            outcome = TSetDataOutcome::ConsoleBusy;
            break;
          case TConsoleTyping::Typed:
          case TConsoleTyping::Refused:
            break;
        }
        break;
      case tkExplorer:
      case tkInternetExplorer: {
        // Explorer's own browser takes the tab in front there; where the shell's list does not
        // know the frame (or keeps no list), the address bar, and last a new window.
        if (target.kind == tkExplorer && !filter &&
            NavigateShellTab(window, path, std::chrono::milliseconds(kForeignSendTimeoutMs)) ==
                TShellNavigation::Navigated) {
          CommonLogRunEvent(L"SetData", L"Explorer taken there by the shell's window list, Path=" + path);
          break;
        }
        const HWND edit =
            target.kind == tkExplorer ? GetExplorerComponent(window, agentThreadId) : GetIEcomponent(window);
        if (edit) {
          SetPath(target, agentThreadId, edit, path, true);
        } else {
          LogError(target.kind == tkExplorer ? L"Expl = 0" : L"IExp = 0");
          OpenWithShell(path);
        }
        break;
      }
      case tkFileDialog:
        SetDataToDialog(window, agentThreadId, path, filter, 0, L"");
        break;
      case tkOwnDialog:
        // An entry that cannot reach its window leaves the pick to what happens without it.
        if (!target.ownDialog || !SetDataToOwnDialog(window, *target.ownDialog, agentThreadId, path, filter))
          OpenWithShell(path);
        break;
      default:
        OpenWithShell(path);
        break;
    }
  });
  return outcome;
}
