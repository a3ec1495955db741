#include "navigation/window_details_reader.h"

#include "navigation/foreign_window.h"
#include "navigation/own_dialog_target.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"

namespace {

const wchar_t* KindName(int kind) {
  switch (kind) {
    case tkDesktop:
      return L"the desktop (nothing else took it)";
    case tkExplorer:
      return L"an Explorer window";
    case tkInternetExplorer:
      return L"a browser window";
    case tkFileDialog:
      return L"a file dialog";
    case tkRarExtract:
    case tkRarWindow:
    case tkZipExtract:
    case tkAceExtract:
      return L"an archiver window";
    case tkBrowseDialog:
      return L"a folder-browse dialog";
    case tkConsole:
      return L"a console";
    case tkTerminal:
      return L"a terminal";
    case tkOwnDialog:
      return L"a dialog of the Dialogs entries";
    default:
      return L"unknown";
  }
}

void ReadChildren(HWND parent, int depth, details::TDetails& out) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (out.children.size() >= details::kMaxWindows) {
      out.cutShort = true;
      return;
    }
    details::TNode node;
    node.className = ClassNameOf(child);
    node.depth = depth;
    node.id = ::GetDlgCtrlID(child);
    node.style = static_cast<std::uint32_t>(::GetWindowLongW(child, GWL_STYLE));
    node.visible = (node.style & WS_VISIBLE) != 0;
    node.enabled = (node.style & WS_DISABLED) == 0;
    if (!out.hung) {
      bool timedOut = false;
      node.textLength = ReadTextLength(child, &timedOut);
      out.hung = timedOut;
    }
    out.children.push_back(std::move(node));
    if (depth < details::kMaxDepth)
      ReadChildren(child, depth + 1, out);
    else if (::GetWindow(child, GW_CHILD) != nullptr)
      out.cutShort = true;
  }
}

}  // namespace

TPickedWindow ReadPickedWindow(HWND clicked) {
  TPickedWindow picked;
  const HWND top = clicked != nullptr ? ::GetAncestor(clicked, GA_ROOT) : nullptr;
  if (top == nullptr || !::IsWindow(top)) return picked;
  picked.program = ProgramNameOf(top);
  picked.className = ClassNameOf(top);
  picked.title = ReadText(top);
  HWND box = nullptr;
  if (clicked != top && ::GetWindow(clicked, GW_CHILD) == nullptr) {
    box = clicked;
  } else {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &info) && info.hwndFocus != nullptr &&
        ::IsChild(top, info.hwndFocus))
      box = info.hwndFocus;
  }
  // The path of classes from below the top-level window down to the box, as the details print it.
  std::vector<std::wstring> classes;
  for (HWND step = box; step != nullptr && step != top && classes.size() <= kOwnDialogPathLimit;
       step = ::GetParent(step))
    classes.insert(classes.begin(), ClassNameOf(step));
  if (classes.size() <= kOwnDialogPathLimit)
    for (const std::wstring& c : classes) picked.boxPath += (picked.boxPath.empty() ? L"" : L"\\") + c;
  return picked;
}

details::TDetails ReadWindowDetails(HWND window, const std::vector<TOwnDialog>& ownDialogs) {
  details::TDetails out;
  const HWND top = window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr;
  if (top == nullptr || !::IsWindow(top)) return out;
  out.program = ProgramNameOf(top);
  out.className = ClassNameOf(top);
  bool timedOut = false;
  out.title = ReadText(top, &timedOut);
  out.hung = timedOut;
  out.style = static_cast<std::uint32_t>(::GetWindowLongW(top, GWL_STYLE));
  out.exStyle = static_cast<std::uint32_t>(::GetWindowLongW(top, GWL_EXSTYLE));
  RECT r{};
  ::GetWindowRect(top, &r);
  out.width = r.right - r.left;
  out.height = r.bottom - r.top;
  ReadChildren(top, 1, out);

  // Each test in the order the menu tries them, with its answer.
  auto& tests = out.recognition;
  const HWND box = CheckVistaDialog(top);
  tests.emplace_back(L"file dialog", IsDialog(top) != nullptr ? L"yes" : L"no");
  tests.emplace_back(L"file-name box", box != nullptr ? L"id " + std::to_wstring(::GetDlgCtrlID(box)) : L"none");
  int kind = 0;
  tests.emplace_back(L"Explorer or browser frame",
                     IsExplorer(kind, 0, top) != nullptr ? std::wstring(KindName(kind)) : std::wstring(L"no"));
  kind = 0;
  tests.emplace_back(L"archiver window",
                     IsRar(kind, top) != nullptr ? L"kind " + std::to_wstring(kind) : std::wstring(L"no"));
  tests.emplace_back(L"folder-browse dialog", BrowseDialogTree(top) != nullptr ? L"yes" : L"no");
  tests.emplace_back(L"desktop", IsDesktopFrame(top) ? L"yes" : L"no");
  const TOwnDialog* entry = OwnDialogOf(top, ownDialogs);
  tests.emplace_back(L"Dialogs entry", entry != nullptr ? details::Shown(entry->name) : std::wstring(L"none"));
  tests.emplace_back(L"the menu takes it as", KindName(entry != nullptr ? tkOwnDialog : ClassifyWindow(top)));
  return out;
}
