#include "navigation/window_path.h"

#include <algorithm>
#include <thread>

#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "navigation/foreign_window.h"
#include "diagnostics/logger.h"
#include "navigation/console_target.h"
#include "navigation/shell_windows.h"
#include "navigation/target_kind.h"
#include "navigation/window_kinds.h"
#include "navigation/window_navigation.h"
#include "win/handles.h"

namespace {

// Window titles are read through a buffer of this many characters, terminator included.
constexpr int kTextBuffer = kForeignTextLimit + 1;
constexpr wchar_t kFunction[] = L"GetPath";

std::wstring Hex(HWND window) { return logformat::HandleText(window); }

// A top-level window's title; for another process's window the system answers from its own copy
// without sending a message, so a hung target cannot block the agent here.
std::wstring TitleOf(HWND window) {
  wchar_t buffer[kTextBuffer] = {};
  const int length = ::GetWindowTextW(window, buffer, kTextBuffer);
  return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// An edit box's contents, or empty when there is no box.
std::wstring EditTextOf(HWND edit) { return edit != nullptr ? ReadText(edit) : std::wstring(); }

// An existing directory, the link followed when the name is a symbolic link or junction: a link
// whose target is gone is no folder to offer.
bool IsExistingDirectory(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  // Opening without FILE_FLAG_OPEN_REPARSE_POINT resolves the link; backup semantics lets a
  // directory be opened at all.
  win::TFileHandle target(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  return target && ::GetFileInformationByHandle(target.get(), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring FolderInAddress(const std::wstring& text) {
  if (IsExistingDirectory(text)) return text;
  const auto label = text.find(L": ");
  return label != std::wstring::npos && IsExistingDirectory(text.substr(label + 2)) ? text.substr(label + 2)
                                                                                    : std::wstring();
}

// The folder an Explorer frame's address bar names, read as the bar is (one timed read, no
// click); empty for a frame known to be hung, which gets no message at all.
std::wstring AddressFolder(HWND frame) {
  const HWND bar = ::IsHungAppWindow(frame) ? nullptr : ExplorerAddressBar(frame);
  return bar != nullptr ? FolderInAddress(EditTextOf(bar)) : std::wstring();
}

// An Explorer frame's folder with the way it was read, in the log.
std::wstring ReadBy(const wchar_t* route, const std::wstring& folder) {
  CommonLogRunEvent(kFunction, std::wstring(L"Explorer's folder from ") + route + L": " + folder);
  return folder;
}

std::wstring ExplorerPath(HWND window, DWORD agentThreadId) {
  // Explorer shows the full path in its title when the user has asked for it.
  const std::wstring title = TitleOf(window);
  if (IsExistingDirectory(title)) return ReadBy(L"the title", title);
  // Then what the frame tells untouched: the shell's list names the tab in front (the only way
  // on a Windows 11 frame, which has no classic address bar), and so does the address bar, read
  // meanwhile. The bar is clicked into an edit box only when neither names a folder, since the
  // user sees it flip to text.
  TShellTabsRead tabsRead;
  const std::wstring address = AddressFolder(window);
  const std::wstring listed =
      FrontTabFolder(reinterpret_cast<std::uintptr_t>(window), reinterpret_cast<std::uintptr_t>(FrontShellTab(window)),
                     tabsRead.Wait(std::chrono::milliseconds(kForeignSendTimeoutMs)));
  if (IsExistingDirectory(listed)) return ReadBy(L"the shell's window list", listed);
  if (!address.empty()) return ReadBy(L"the address bar", address);
  const std::wstring edited = EditTextOf(GetExplorerComponent(window, agentThreadId));
  return IsExistingDirectory(edited) ? ReadBy(L"the address box", edited) : std::wstring();
}

std::wstring BrowserPath(HWND window) {
  // A browser showing a folder titles itself "<folder> - <browser name>".
  std::wstring title = TitleOf(window);
  const auto cut = title.find(L" - ");
  if (cut != std::wstring::npos) title.resize(cut);
  if (IsExistingDirectory(title)) return title;
  const HWND edit = GetIEcomponent(window);
  const std::wstring address = EditTextOf(edit);
  CommonLogRunEvent(kFunction, L"Wnd=" + Hex(edit) + L", Path=" + address);
  return IsExistingDirectory(address) ? address : std::wstring();
}

// Calls `take` with each visible Explorer frame other than `except`, in no order, while it
// answers true. The classes are matched by the system (one call per frame), not class by class
// over every top-level window.
template <class Take>
void FindExplorerFrames(HWND except, Take take) {
  for (const wchar_t* className : {L"CabinetWClass", L"ExploreWClass"}) {
    for (HWND frame = ::FindWindowExW(nullptr, nullptr, className, nullptr); frame != nullptr;
         frame = ::FindWindowExW(nullptr, frame, className, nullptr)) {
      int kind = 0;
      if (frame != except && ::IsWindowVisible(frame) && IsExplorer(kind, 1, frame) != nullptr && !take(frame)) return;
    }
  }
}

// The visible Explorer frames other than `except`, nearest in Z-order first.
std::vector<HWND> ExplorerFrames(HWND except) {
  std::vector<HWND> candidates;
  FindExplorerFrames(except, [&candidates](HWND frame) {
    candidates.push_back(frame);
    return true;
  });
  if (candidates.size() < 2) return candidates;
  struct TOrder {
    const std::vector<HWND>& candidates;
    std::vector<HWND> frames;
  } order{candidates, {}};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& found = *reinterpret_cast<TOrder*>(data);
        if (std::find(found.candidates.begin(), found.candidates.end(), window) != found.candidates.end())
          found.frames.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&order));
  return order.frames;
}

}  // namespace

bool ExplorerFrameOpen(HWND except) {
  bool found = false;
  FindExplorerFrames(except, [&found](HWND) {
    found = true;
    return false;
  });
  return found;
}

std::vector<std::wstring> OpenExplorerFolders(HWND except) {
  const std::vector<HWND> frames = ExplorerFrames(except);
  if (frames.empty()) return {};
  // The shell's list names every tab of a frame; it is read alongside the frames themselves,
  // which name the tab in front (and are all there is where the shell keeps no list).
  TShellTabsRead tabsRead;
  // A title that is a path needs no message. The address bars are read all at once, one thread
  // each, so that a window that does not answer costs the menu one timeout however many there
  // are; a window known to be hung is passed over without a message.
  std::vector<std::wstring> folders(frames.size());
  {
    std::vector<std::thread> reads;
    // Every read is waited for at the end of this block, also when starting one fails.
    const win::TScopeGuard joined([&reads] {
      for (std::thread& read : reads) read.join();
    });
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const HWND frame = frames[i];
      folders[i] = TitleOf(frame);
      if (IsExistingDirectory(folders[i])) continue;
      folders[i].clear();
      if (::IsHungAppWindow(frame) || ExplorerAddressBar(frame) == nullptr) continue;
      reads.emplace_back(
          [frame, &folder = folders[i]] { Guarded(L"OpenExplorerFolders", [&] { folder = AddressFolder(frame); }); });
    }
  }
  std::vector<std::uintptr_t> frameIds;
  for (const HWND frame : frames) frameIds.push_back(reinterpret_cast<std::uintptr_t>(frame));
  folders = FramesWithTabs(frameIds, folders, tabsRead.Wait(std::chrono::milliseconds(kForeignSendTimeoutMs)));
  // Virtual folders read as names without a backslash.
  for (std::wstring& folder : folders)
    if (folder.find(L'\\') == std::wstring::npos) folder.clear();
  return folders;
}

std::wstring GetPath(HWND window, int kind, DWORD agentThreadId) {
  std::wstring path;
  if (window == nullptr) {
    CommonLogErrorEvent(kFunction, L"Wnd = 0", L"", ::GetLastError(), true);
    return path;
  }
  const bool read = Guarded(kFunction, [&] {
    switch (kind) {
      case tkExplorer:
        path = ExplorerPath(window, agentThreadId);
        break;
      case tkInternetExplorer:
        path = BrowserPath(window);
        break;
      case tkFileDialog:
        // A dialog's folder is never offered: it shows the folder the user is already in.
        break;
      case tkConsole:
      case tkTerminal:
        path = ConsoleCurrentFolder(window);
        break;
      default:
        break;
    }
    // Virtual folders (Control Panel, Libraries, web pages) read as names without a backslash.
    if (path.find(L'\\') == std::wstring::npos) path.clear();
    CommonLogRunEvent(kFunction, L"Wnd=" + Hex(window) + L", Path=" + path);
  });
  if (!read) path.clear();
  return path;
}
