#include "navigation/window_kinds.h"

namespace {

// The dialog style bit a new-style file dialog carries (DS_SETFOREGROUND).
constexpr LONG kNewStyleDialogBit = 0x200;
// Explorer and browser classes are read with this buffer, so "CabinetWClassX" still matches.
constexpr int kExplorerClassBuffer = 14;
// Archiver classes, and the owner of an archiver's dialog, are read with this buffer.
constexpr int kArchiverClassBuffer = 16;

// A frame the user is working in: visible, enabled, restored or maximised, with the usual
// caption buttons, and with or without WS_CLIPCHILDREN. Anything else (minimised, disabled,
// a tool window, a frame of another layout) is no place to drive.
constexpr DWORD kFrameStyle =
    WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kFrameStyles[] = {kFrameStyle, kFrameStyle | WS_MAXIMIZE, kFrameStyle | WS_CLIPCHILDREN,
                                  kFrameStyle | WS_MAXIMIZE | WS_CLIPCHILDREN};
static_assert(kFrameStyles[0] == 349110272 && kFrameStyles[1] == 365887488 && kFrameStyles[2] == 382664704 &&
              kFrameStyles[3] == 399441920);
// The only extended style a shell or browser frame carries.
constexpr DWORD kFrameExStyle = WS_EX_WINDOWEDGE;

// Class atoms compare case-insensitively, so Wine's "SHELLDLL_DefView" answers to any spelling.
HWND Child(HWND parent, const wchar_t* className) noexcept {
  return ::FindWindowExW(parent, nullptr, className, nullptr);
}

HWND NextChild(HWND parent, HWND after, const wchar_t* className) noexcept {
  return ::FindWindowExW(parent, after, className, nullptr);
}

// The classes GetWindowP stops at, as they read through a 10-character buffer.
bool IsKnownStopClass(HWND window) noexcept {
  return ClassIs(window, kDialogClassBuffer, L"bosa_sdm_") || ClassIs(window, kDialogClassBuffer, L"#32770") ||
         ClassIs(window, kDialogClassBuffer, L"WinRarWin") || ClassIs(window, kDialogClassBuffer, L"TTargetDl");
}

}  // namespace

HWND ChildPath(HWND window, std::initializer_list<const wchar_t*> classes) {
  for (const wchar_t* className : classes) {
    if (window == nullptr) return nullptr;
    window = Child(window, className);
  }
  return window;
}

HWND ComboEdit(HWND comboParent) { return ChildPath(comboParent, {L"ComboBox", L"Edit"}); }

bool ClassIs(HWND window, int bufferChars, const wchar_t* name) {
  if (window == nullptr || bufferChars < 2 || bufferChars > kWholeClassBuffer) return false;
  wchar_t buffer[kWholeClassBuffer] = {};
  if (::GetClassNameW(window, buffer, bufferChars) == 0) return false;
  return ::CompareStringOrdinal(buffer, -1, name, -1, TRUE) == CSTR_EQUAL;
}

HWND GetWindowP(bool stopAtKnownClass) {
  const HWND foreground = ::GetForegroundWindow();
  POINT cursor{};
  if (!::GetCursorPos(&cursor)) return nullptr;
  HWND window = ::WindowFromPoint(cursor);
  if (window == nullptr) return nullptr;
  for (int step = 0; step < kMaxWalkSteps; ++step) {
    if (window == foreground) break;
    if (stopAtKnownClass && IsKnownStopClass(window)) break;
    const HWND parent = ::GetParent(window);
    if (parent == nullptr) break;
    window = parent;
  }
  return window;
}

HWND IsDialog(HWND window) {
  if (window == nullptr) window = GetWindowP(true);
  if (window == nullptr) return nullptr;

  if (ClassIs(window, kDialogClassBuffer, L"bosa_sdm_")) {
    return Child(window, L"Snake List") ? window : nullptr;
  }
  if (Child(window, L"DUIViewWndClassName")) {
    return (::GetWindowLongW(window, GWL_STYLE) & kNewStyleDialogBit) ? window : nullptr;
  }
  if (!Child(window, L"ShellDll_DefView")) return nullptr;
  if (Child(window, L"ComboBoxEx32")) return window;
  if (ClassIs(window, kDialogClassBuffer, L"#32770") && Child(window, L"ComboBox") && Child(window, L"Edit")) {
    return window;
  }
  return nullptr;
}

HWND IsExplorer(int& kind, int mode, HWND window) {
  if (window == nullptr) window = GetWindowP(false);
  if (window == nullptr) return nullptr;

  const bool browser = ClassIs(window, kExplorerClassBuffer, L"IEFrame");
  const bool shell = !browser && (ClassIs(window, kExplorerClassBuffer, L"ExploreWClass") ||
                                  ClassIs(window, kExplorerClassBuffer, L"CabinetWClass"));
  if (!((mode >= 0 && shell) || (mode <= 0 && browser))) return nullptr;

  if (static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)) != kFrameExStyle) return nullptr;
  const auto style = static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE));
  bool usual = false;
  for (const DWORD accepted : kFrameStyles) usual = usual || style == accepted;
  if (!usual) return nullptr;

  kind = browser ? tkInternetExplorer : tkExplorer;
  return window;
}

HWND IsRar(int& kind, HWND window) {
  if (window == nullptr) window = GetWindowP(true);
  if (window == nullptr) return nullptr;

  if (ClassIs(window, kArchiverClassBuffer, L"WinRarWindow")) {
    kind = tkRarWindow;
    return window;
  }
  if (ClassIs(window, kArchiverClassBuffer, L"TTargetDlg")) {
    // The class name is a common one; the address box inside a panel marks the extraction dialog.
    const HWND panel = Child(window, L"TPanel");
    if (panel == nullptr || Child(panel, L"TIEAddress") == nullptr) return nullptr;
    kind = tkAceExtract;
    return window;
  }
  if (ClassIs(window, kArchiverClassBuffer, L"#32770")) {
    // GetParent answers the owner of a top-level dialog, which is the archiver's main window.
    const HWND owner = ::GetParent(window);
    const bool zip = ClassIs(owner, kArchiverClassBuffer, L"WinZipWClass");
    const bool rar = !zip && ClassIs(owner, kArchiverClassBuffer, L"WinRarWindow");
    // Only the extraction dialog of these owners shows a folder tree.
    if (!(zip || rar) || Child(window, L"SysTreeView32") == nullptr) return nullptr;
    kind = zip ? tkZipExtract : tkRarExtract;
    return window;
  }
  return nullptr;
}

TargetKind ClassifyWindow(HWND window) {
  if (window == nullptr) return tkDesktop;
  if (IsDialog(window)) return tkFileDialog;
  int kind = tkDesktop;
  if (IsExplorer(kind, 0, window) || IsRar(kind, window)) return static_cast<TargetKind>(kind);
  // The system's console window, Wine's, and Windows Terminal's window, whose tabs are consoles.
  if (ClassIs(window, kWholeClassBuffer, L"ConsoleWindowClass") ||
      ClassIs(window, kWholeClassBuffer, L"WineConsoleClass"))
    return tkConsole;
  if (ClassIs(window, kWholeClassBuffer, L"CASCADIA_HOSTING_WINDOW_CLASS")) return tkTerminal;
  return tkDesktop;
}

HWND BrowseDialogTree(HWND dialog) {
  if (dialog == nullptr) return nullptr;
  if (const HWND tree = ::FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr)) return tree;
  // That control's class name is longer than any recognition buffer: it is found by its whole name.
  const HWND host = ::FindWindowExW(dialog, nullptr, L"SHBrowseForFolder ShellNameSpace Control", nullptr);
  return host ? ::FindWindowExW(host, nullptr, L"SysTreeView32", nullptr) : nullptr;
}

bool IsDesktopFrame(HWND window) {
  if (window == nullptr) return false;
  if (window == ::GetDesktopWindow() || window == ::GetShellWindow()) return true;
  const bool topLevel = (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0;
  return topLevel && (ClassIs(window, kWholeClassBuffer, L"Progman") || ClassIs(window, kWholeClassBuffer, L"WorkerW"));
}

bool RecognisedAs(HWND window, int kind, HWND control, HWND shellFrame) {
  if (window == nullptr || !::IsWindow(window)) return false;
  int found = 0;
  switch (kind) {
    case tkFileDialog:
      return IsDialog(window) == window;
    case tkRarExtract:
    case tkRarWindow:
    case tkZipExtract:
    case tkAceExtract:
      return IsRar(found, window) == window && found == kind;
    case tkBrowseDialog:
      return ClassIs(window, kDialogClassBuffer, L"#32770") && IsDialog(window) == nullptr &&
             IsRar(found, window) == nullptr && control != nullptr && BrowseDialogTree(window) == control;
    case tkExplorer:
    case tkInternetExplorer:
      if (IsExplorer(found, 0, window) == window && found == kind) return true;
      return kind == tkExplorer && shellFrame != nullptr && window == shellFrame;
    case tkDesktop:
      return IsDesktopFrame(window);
    default:
      return false;
  }
}

HWND CheckVistaDialog(HWND dialog) {
  if (dialog == nullptr) return nullptr;
  HWND edit = nullptr;
  if (const HWND comboEx = Child(dialog, L"ComboBoxEx32")) {
    edit = ComboEdit(comboEx);
  } else {
    const HWND view = Child(dialog, L"DUIViewWndClassName");
    const HWND directUi = view ? Child(view, L"DirectUIHWND") : nullptr;
    const HWND firstSink = directUi ? Child(directUi, L"FloatNotifySink") : nullptr;
    if (firstSink) {
      edit = ComboEdit(firstSink);
      if (edit == nullptr) {
        edit = ComboEdit(NextChild(directUi, firstSink, L"FloatNotifySink"));
      }
    }
  }
  if (edit) return edit;

  // Dialogs without either layout keep the name in a lone Edit; with two, which one is unknown.
  const HWND firstEdit = Child(dialog, L"Edit");
  if (firstEdit && NextChild(dialog, firstEdit, L"Edit") == nullptr) return firstEdit;
  return nullptr;
}
