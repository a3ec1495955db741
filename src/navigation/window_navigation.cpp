#include "navigation/window_navigation.h"

#include <shellapi.h>

#include <cstdint>
#include <initializer_list>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/target_kind.h"
#include "navigation/window_front.h"
#include "navigation/window_kinds.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

// A foreign window gets this long to answer each message; a hung program costs us no more.
constexpr UINT kSendTimeoutMs = 200;
// Text read from a control: 260 characters and the terminator.
constexpr int kTextChars = 261;
constexpr WPARAM kTextLimit = 260;
// A click this far right in client coordinates lands behind the last character (or, in a
// breadcrumb bar, on the empty space that switches it to an edit box).
constexpr LPARAM kFarRightClick = MAKELPARAM(20002, 0);
// Verification loops check this many times before giving up with a log line.
constexpr int kChecks = 10;
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

constexpr wchar_t kDialogLog[] = L"SetDataToDialog";

std::wstring Hex(HWND window) { return logformat::HandleText(window); }

void LogError(const wchar_t* message) { CommonLogErrorEvent(L"SetPath", message, L"", ::GetLastError(), true); }

bool TimedSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result) != 0;
}

// A thread that does not answer must not be given the focus: SetFocus and SetActiveWindow wait
// for it without a bound once its input is attached to ours.
bool Answers(HWND window) { return WindowAnswers(window); }

// The control's text; `timedOut` tells a control that did not answer from an empty one.
std::wstring ReadText(HWND window, bool* timedOut = nullptr) {
  wchar_t buffer[kTextChars] = {};
  DWORD_PTR length = 0;
  ::SetLastError(ERROR_SUCCESS);
  const bool answered = ::SendMessageTimeoutW(window, WM_GETTEXT, kTextLimit, reinterpret_cast<LPARAM>(buffer),
                                              SMTO_NORMAL, kSendTimeoutMs, &length) != 0;
  if (timedOut) *timedOut = !answered && ::GetLastError() == ERROR_TIMEOUT;
  if (!answered) return {};
  buffer[kTextChars - 1] = L'\0';
  return buffer;
}

void SetText(HWND window, const std::wstring& text) {
  TimedSend(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 0);
  ::PostMessageW(window, WM_KEYUP, key, 0);
}

// Walks down a chain of child classes; 0 when a link is missing.
HWND ChildPath(HWND window, std::initializer_list<const wchar_t*> classes) {
  for (const wchar_t* className : classes) {
    if (window == nullptr) return nullptr;
    window = ::FindWindowExW(window, nullptr, className, nullptr);
  }
  return window;
}

DWORD ThreadOf(HWND window) { return ::GetWindowThreadProcessId(window, nullptr); }

// The folder appears in a new window of the shell: the fallback for everything we cannot drive.
void OpenWithShell(const std::wstring& path) {
  ::ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Makes the target the active window and gives the box the keyboard focus; input attached.
void FocusBox(HWND target, HWND edit) {
  if (!Answers(target)) return;
  ::SetForegroundWindow(target);
  ::SetActiveWindow(target);
  ::SetFocus(edit);
}

// Backspace in WinRAR's file list goes one level up, out of an archive it may be showing, until
// its address names a real folder (or stops changing).
void LeaveArchive(HWND rarWindow, DWORD agentThreadId, HWND address) {
  DWORD waitMs = 1;
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
      if (Answers(rarWindow)) {
        ::SetForegroundWindow(rarWindow);
        ::SetActiveWindow(rarWindow);
        const HWND list = ::FindWindowExW(rarWindow, nullptr, L"SysListView32", nullptr);
        ::SetFocus(list);
        PostKey(list, VK_BACK);
      }
    }
    ::Sleep(100);
    waitMs = 500;
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

HWND ComboEdit(HWND comboEx) { return ChildPath(comboEx, {L"ComboBox", L"Edit"}); }

// Reads the box until the check holds or the checks run out; false then, with the last text.
template <class Done>
bool ReadUntil(HWND edit, Done done, DWORD sleepMs, std::wstring& text, int resendAt = 0,
               const std::wstring& resend = {}) {
  for (int check = 1; check <= kChecks; ++check) {
    text = ReadText(edit);
    if (done(text)) return true;
    if (check == resendAt) SetText(edit, resend);
    if (check < kChecks) ::Sleep(sleepMs);
  }
  return false;
}

void Log(const std::wstring& text) { CommonLogRunEvent(kDialogLog, text); }

void RestoreTypedName(HWND dialog, DWORD agentThreadId, HWND edit, const std::wstring& typedName) {
  ::Sleep(50);
  {
    win::TThreadInputAttachment attachment(ThreadOf(dialog), agentThreadId);
    PostKey(edit, VK_DELETE);
  }
  SetText(edit, L"");
  std::wstring text;
  if (!ReadUntil(
          edit, [](const std::wstring& t) { return t.empty(); }, 50, text))
    Log(L"Can't delete 2=" + text);
  ::Sleep(500);
  SetText(edit, typedName);
  if (!ReadUntil(
          edit, [&](const std::wstring& t) { return t == typedName; }, 10, text)) {
    Log(L"Can't set data 2=" + text + L", c=" + typedName);
  }
}

void SetDataToDialogUnguarded(HWND dialog, DWORD agentThreadId, const std::wstring& path, bool filter, int attempt,
                              const std::wstring& typedNameIn) {
  if (attempt > 3) return;
  const HWND edit = CheckVistaDialog(dialog);
  if (edit == nullptr) return;
  CommonLogRunEvent(kDialogLog, L"Hwnd=" + Hex(dialog) + L", Ctr=" + Hex(edit) + L", Path=" + path);

  MoveWindowToFront(dialog);
  for (int check = 1; check <= kChecks; ++check) {
    if (::GetForegroundWindow() == dialog) break;
    if (check < kChecks) {
      MoveWindowToFront(dialog);
      ::Sleep(10);
    } else {
      Log(L"Can't get foreground");
    }
  }

  TimedSend(edit, WM_LBUTTONDOWN, MK_LBUTTON, kFarRightClick);
  TimedSend(edit, WM_LBUTTONUP, MK_LBUTTON, kFarRightClick);
  TimedSend(edit, WM_SETFOCUS, 0, 0);

  {
    win::TThreadInputAttachment attachment(ThreadOf(dialog), agentThreadId);
    const bool answers = Answers(edit);
    if (answers) ::SetFocus(edit);
    for (int check = 1; check <= kChecks; ++check) {
      if (::GetFocus() == edit) break;
      if (check < kChecks) {
        if (answers) ::SetFocus(edit);
        ::Sleep(10);
      } else {
        Log(L"Can't get focus");
      }
    }
  }
  ::Sleep(50);

  const std::wstring typedName = attempt == 0 ? ReadText(edit) : typedNameIn.substr(0, kTextLimit);
  Log(L"GetText=" + typedName);

  SetText(edit, L"");
  TimedSend(edit, WM_KEYDOWN, VK_DELETE, 0);
  TimedSend(edit, WM_KEYUP, VK_DELETE, 0);
  std::wstring text;
  if (!ReadUntil(
          edit, [](const std::wstring& t) { return t.empty(); }, 10, text))
    Log(L"Can't delete=" + text);
  ::Sleep(50);

  TimedSend(edit, WM_CHAR, L' ', 0);
  SetText(edit, path);
  // A box that lost the first text (the space may have started an autocompletion) gets it again.
  if (!ReadUntil(
          edit, [&](const std::wstring& t) { return t == path; }, 10, text, 8, path)) {
    Log(L"Can't set data=" + text + L", Path=" + path);
  }
  ::Sleep(50);

  {
    win::TThreadInputAttachment attachment(ThreadOf(dialog), agentThreadId);
    PostKey(edit, VK_RETURN);
  }

  if (!IsWindowsVista()) {
    ::Sleep(200);
  } else {
    // The new-style dialog puts the typed name back itself once it has taken the folder.
    if (ReadUntil(
            edit, [&](const std::wstring& t) { return t == typedName; }, 10, text))
      return;
    if (text == path && !filter) {
      Log(L"Can't enter ct=" + text + L", c=" + typedName);
      SetText(edit, typedName);
      SetDataToDialogUnguarded(dialog, agentThreadId, path, false, attempt + 1, typedName);
      return;
    }
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

HWND GetExplorerComponent(HWND window, DWORD agentThreadId) {
  const HWND rebar = ChildPath(window, {L"WorkerW", L"ReBarWindow32"});
  if (rebar == nullptr) return nullptr;
  HWND comboEx = ::FindWindowExW(rebar, nullptr, L"ComboBoxEx32", nullptr);
  if (comboEx == nullptr) {
    const HWND progress = ChildPath(rebar, {L"Address Band Root", L"msctls_progress32"});
    if (progress == nullptr) return nullptr;
    comboEx = ::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr);
    if (comboEx == nullptr) {
      {
        // A click on the empty end of the breadcrumb bar turns it into an edit box.
        win::TThreadInputAttachment attachment(ThreadOf(window), agentThreadId);
        if (const HWND toolbar = ChildPath(progress, {L"Breadcrumb Parent", L"ToolbarWindow32"})) {
          TimedSend(toolbar, WM_SETFOCUS, 0, 0);
          TimedSend(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, kFarRightClick);
          TimedSend(toolbar, WM_LBUTTONUP, MK_LBUTTON, kFarRightClick);
        }
      }
      comboEx = ::FindWindowExW(progress, nullptr, L"ComboBoxEx32", nullptr);
    }
  }
  return ComboEdit(comboEx);
}

HWND GetIEcomponent(HWND window) {
  const HWND rebar = ChildPath(window, {L"WorkerW", L"ReBarWindow32"});
  if (rebar == nullptr) return nullptr;
  if (const HWND comboEx = ::FindWindowExW(rebar, nullptr, L"ComboBoxEx32", nullptr)) return ComboEdit(comboEx);
  return ChildPath(rebar, {L"Address Band Root", L"Edit"});
}

void SetDataToDialog(HWND dialog, DWORD agentThreadId, const std::wstring& path, bool filter, int attempt,
                     const std::wstring& typedName) {
  try {
    SetDataToDialogUnguarded(dialog, agentThreadId, path, filter, attempt, typedName);
  } catch (...) {
    CommonLogErrorEvent(L"SetDataToDialog", L"common error", L"", ::GetLastError(), false);
  }
}

void SetData(const TNavigationTarget& target, DWORD agentThreadId, const std::wstring& path, bool filter) {
  try {
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
      case tkExplorer:
      case tkInternetExplorer: {
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
      default:
        OpenWithShell(path);
        break;
    }
  } catch (...) {
    CommonLogErrorEvent(L"SetData", L"common error", L"", ::GetLastError(), false);
  }
}
