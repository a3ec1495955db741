#include "dialogs/help.h"

#include <shellapi.h>

#include "diagnostics/logger.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

// HH_DISPLAY_TOPIC of htmlhelp.h.
constexpr UINT kDisplayTopic = 0;

using THtmlHelp = HWND(WINAPI*)(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);

// HTML Help lives in hhctrl.ocx, loaded on the first request and kept: its windows run in this
// process for as long as the user reads.
THtmlHelp HtmlHelpEntry() {
  static const THtmlHelp entry = [] {
    const HMODULE library = ::LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return library != nullptr ? win::ProcAddress<THtmlHelp>(library, "HtmlHelpW") : nullptr;
  }();
  return entry;
}

// The help file beside the program if it is there; empty (with a log line naming `who`) if not.
std::wstring HelpFile(const std::wstring& file, const wchar_t* who) {
  if (FileExists(file)) return file;
  CommonLogRunEvent(who, L"no help file: " + file);
  return {};
}

}  // namespace

bool HtmlHelp(const std::wstring& topic) { return OpenHelpTopic(ProgramFolder() + kHelpFileName, topic); }

bool OpenHelpTopic(const std::wstring& helpFile, const std::wstring& topic) {
  const std::wstring file = HelpFile(helpFile, L"HtmlHelp");
  if (file.empty()) return false;
  CommonLogRunEvent(L"HtmlHelp", L"Topic=" + topic);
  const THtmlHelp open = HtmlHelpEntry();
  if (open == nullptr) {
    CommonLogErrorEvent(L"HtmlHelp", L"HTML Help is not available", L"Topic=" + topic, ::GetLastError(), false);
    return false;
  }
  open(::GetDesktopWindow(), file.c_str(), kDisplayTopic, reinterpret_cast<DWORD_PTR>(topic.c_str()));
  return true;
}

bool OpenHelpFile(HWND owner) {
  const std::wstring file = HelpFile(ProgramFolder() + kHelpFileName, L"QuillFolder.N211Click");
  if (file.empty()) return false;
  // ShellExecute reports success as a value above 32.
  if (reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32)
    return true;
  CommonLogErrorEvent(L"QuillFolder.N211Click", L"Can't open the help file", L"File=" + file, ::GetLastError(), false);
  return false;
}
