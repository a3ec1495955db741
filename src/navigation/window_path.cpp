#include "navigation/window_path.h"

#include <algorithm>
#include <thread>
#include <utility>

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
#include "win/text_rules.h"

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

// Whether a text another program shows names a place on another machine (a share, a network
// drive) or a device: such a text is never probed, since a probe would sign in to a host that
// program chose, or wait for a share that is offline. Asking a drive letter's type asks nothing
// of the network.
bool NamesRemotePlace(const std::wstring& text) {
  if (text.size() >= 2 && text::IsPathSeparator(text[0]) && text::IsPathSeparator(text[1])) return true;
  if (text.size() < 2 || text[1] != L':') return false;
  const wchar_t root[] = {text[0], L':', L'\\', L'\0'};
  return ::GetDriveTypeW(root) == DRIVE_REMOTE;
}

// A window's title names a folder only when it is a local folder that exists: a title is any
// program's to set, so a remote one is not believed.
bool TitleNamesFolder(const std::wstring& title) { return !NamesRemotePlace(title) && IsExistingDirectory(title); }

// An address box (or the shell's list) names a folder when it is a local folder that exists, or
// a path of a share or network drive, taken as it is shown without a probe.
bool AddressNamesFolder(const std::wstring& text) {
  if (!NamesRemotePlace(text)) return IsExistingDirectory(text);
  return !text::HasControlCharacter(text) && text.find(L'\\', 2) != std::wstring::npos;
}

std::wstring FolderInAddress(const std::wstring& text) {
  if (AddressNamesFolder(text)) return text;
  const auto label = text.find(L": ");
  return label != std::wstring::npos && AddressNamesFolder(text.substr(label + 2)) ? text.substr(label + 2)
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

// What an Explorer frame tells untouched, and by which way, or empty.
std::pair<std::wstring, const wchar_t*> UntouchedExplorerFolder(HWND window, TShellTabsRead& tabsRead) {
  // Explorer shows the full path in its title when the user has asked for it.
  const std::wstring title = TitleOf(window);
  if (TitleNamesFolder(title)) return {title, L"the title"};
  // The shell's list names the tab in front (the only way on a Windows 11 frame, which has no
  // classic address bar), and so does the address bar, read meanwhile.
  tabsRead.Start();
  const std::wstring address = AddressFolder(window);
  const std::wstring listed =
      FrontTabFolder(reinterpret_cast<std::uintptr_t>(window), reinterpret_cast<std::uintptr_t>(FrontShellTab(window)),
                     tabsRead.Wait(std::chrono::milliseconds(kForeignSendTimeoutMs)));
  if (AddressNamesFolder(listed)) return {listed, L"the shell's window list"};
  if (!address.empty()) return {address, L"the address bar"};
  return {};
}

std::wstring ExplorerPath(HWND window, DWORD agentThreadId, TShellTabsRead& tabsRead) {
  const auto [folder, route] = UntouchedExplorerFolder(window, tabsRead);
  if (!folder.empty()) return ReadBy(route, folder);
  // The bar is clicked into an edit box only when nothing else names a folder, since the user
  // sees it flip to text.
  const std::wstring edited = EditTextOf(GetExplorerComponent(window, agentThreadId));
  return AddressNamesFolder(edited) ? ReadBy(L"the address box", edited) : std::wstring();
}

std::wstring BrowserPath(HWND window) {
  // A browser showing a folder titles itself "<folder> - <browser name>".
  std::wstring title = TitleOf(window);
  const auto cut = title.find(L" - ");
  if (cut != std::wstring::npos) title.resize(cut);
  if (TitleNamesFolder(title)) return title;
  const HWND edit = GetIEcomponent(window);
  const std::wstring address = EditTextOf(edit);
  CommonLogRunEvent(kFunction, L"Wnd=" + Hex(edit) + L", Path=" + address);
  return AddressNamesFolder(address) ? address : std::wstring();
}

// Calls `take` with each visible top-level window of Explorer's classes other than `except`, and
// whether its styles are an Explorer frame's, in no order, while it answers true. The classes
// are matched by the system (one call per frame), not class by class over every top-level window.
template <class Take>
void FindExplorerFrames(HWND except, Take take) {
  for (const wchar_t* className : {L"CabinetWClass", L"ExploreWClass"}) {
    for (HWND frame = ::FindWindowExW(nullptr, nullptr, className, nullptr); frame != nullptr;
         frame = ::FindWindowExW(nullptr, frame, className, nullptr)) {
      int kind = 0;
      if (frame != except && ::IsWindowVisible(frame) && !take(frame, IsExplorer(kind, 1, frame) != nullptr)) return;
    }
  }
}

// The visible frames other than `except`, nearest in Z-order first, with whether their styles
// are an Explorer frame's; those of other styles only where the shell may list them.
std::vector<std::pair<HWND, bool>> ExplorerFrames(HWND except) {
  std::vector<std::pair<HWND, bool>> candidates;
  const bool listed = !ShellWindowListMissing();
  FindExplorerFrames(except, [&candidates, listed](HWND frame, bool styled) {
    if (styled || listed) candidates.emplace_back(frame, styled);
    return true;
  });
  if (candidates.size() < 2) return candidates;
  struct TOrder {
    const std::vector<std::pair<HWND, bool>>& candidates;
    std::vector<std::pair<HWND, bool>> frames;
  } order{candidates, {}};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& found = *reinterpret_cast<TOrder*>(data);
        const auto at = std::find_if(found.candidates.begin(), found.candidates.end(),
                                     [window](const auto& candidate) { return candidate.first == window; });
        if (at != found.candidates.end()) found.frames.push_back(*at);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&order));
  return order.frames;
}

}  // namespace

bool TextNamesFolder(const std::wstring& text) { return AddressNamesFolder(text); }

std::wstring ExplorerFrameFolder(HWND frame, TShellTabsRead& shellTabs) {
  std::wstring folder;
  Guarded(kFunction, [&] { folder = UntouchedExplorerFolder(frame, shellTabs).first; });
  // Virtual folders read as names without a backslash.
  if (folder.find(L'\\') == std::wstring::npos) folder.clear();
  return folder;
}

bool ExplorerFrameOpen(HWND except) {
  bool found = false;
  const bool listed = !ShellWindowListMissing();
  FindExplorerFrames(except, [&found, listed](HWND, bool styled) {
    found = styled || listed;
    return !found;
  });
  return found;
}

std::vector<std::wstring> OpenExplorerFolders(HWND except, TShellTabsRead& shellTabs) {
  const std::vector<std::pair<HWND, bool>> frames = ExplorerFrames(except);
  if (frames.empty()) return {};
  // The shell's list names every tab of a frame; it is read alongside the frames themselves,
  // which name the tab in front (and are all there is where the shell keeps no list). A title
  // that is a path needs no message. The address bars are read all at once, one thread each, so
  // that a window that does not answer costs the menu one timeout however many there are; a
  // window known to be hung is passed over without a message.
  shellTabs.Start();
  std::vector<TFrameRead> reads(frames.size());
  {
    std::vector<std::thread> threads;
    // Every read is waited for at the end of this block, also when starting one fails.
    const win::TScopeGuard joined([&threads] {
      for (std::thread& thread : threads) thread.join();
    });
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const HWND frame = frames[i].first;
      reads[i] = {reinterpret_cast<std::uintptr_t>(frame), frames[i].second, TitleOf(frame)};
      if (TitleNamesFolder(reads[i].folder)) continue;
      reads[i].folder.clear();
      if (::IsHungAppWindow(frame) || ExplorerAddressBar(frame) == nullptr) continue;
      threads.emplace_back([frame, &folder = reads[i].folder] {
        Guarded(L"OpenExplorerFolders", [&] { folder = AddressFolder(frame); });
      });
    }
  }
  std::vector<std::wstring> folders =
      FramesWithTabs(reads, shellTabs.Wait(std::chrono::milliseconds(kForeignSendTimeoutMs)));
  // Virtual folders read as names without a backslash.
  for (std::wstring& folder : folders)
    if (folder.find(L'\\') == std::wstring::npos) folder.clear();
  return folders;
}

std::wstring GetPath(HWND window, int kind, DWORD agentThreadId, TShellTabsRead& shellTabs) {
  std::wstring path;
  if (window == nullptr) {
    CommonLogErrorEvent(kFunction, L"Wnd = 0", L"", ::GetLastError(), true);
    return path;
  }
  const bool read = Guarded(kFunction, [&] {
    switch (kind) {
      case tkExplorer:
        path = ExplorerPath(window, agentThreadId, shellTabs);
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
