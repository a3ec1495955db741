#include "navigation/foreign_window.h"

#include <array>
#include <iterator>

#include "win/files.h"
#include "win/handles.h"
#include "win/text_rules.h"

bool TimedSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kForeignSendTimeoutMs, &result) != 0;
}

std::wstring ReadText(HWND window, bool* timedOut) {
  wchar_t buffer[kForeignTextLimit + 1] = {};
  DWORD_PTR length = 0;
  ::SetLastError(ERROR_SUCCESS);
  const bool answered = ::SendMessageTimeoutW(window, WM_GETTEXT, kForeignTextLimit, reinterpret_cast<LPARAM>(buffer),
                                              SMTO_NORMAL, kForeignSendTimeoutMs, &length) != 0;
  if (timedOut) *timedOut = !answered && ::GetLastError() == ERROR_TIMEOUT;
  if (!answered) return {};
  buffer[kForeignTextLimit] = L'\0';
  return buffer;
}

void SetText(HWND window, const std::wstring& text) {
  TimedSend(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int ReadTextLength(HWND window, bool* timedOut) {
  DWORD_PTR length = 0;
  ::SetLastError(ERROR_SUCCESS);
  const bool answered =
      ::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kForeignSendTimeoutMs, &length) != 0;
  if (timedOut) *timedOut = !answered && ::GetLastError() == ERROR_TIMEOUT;
  return answered ? static_cast<int>(length > 0x7FFFFFFF ? 0x7FFFFFFF : length) : -1;
}

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 0);
  ::PostMessageW(window, WM_KEYUP, key, 0);
}

DWORD ThreadOf(HWND window) { return ::GetWindowThreadProcessId(window, nullptr); }

bool WindowAnswers(HWND window) {
  DWORD_PTR result = 0;
  // A thread the system already knows to be hung is not waited for at all.
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kForeignSendTimeoutMs, &result) !=
         0;
}

std::wstring ProgramPathOf(HWND window) {
  DWORD processId = 0;
  if (window == nullptr || ::GetWindowThreadProcessId(window, &processId) == 0) return {};
  const win::TUniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = static_cast<DWORD>(std::size(path));
  if (!process || !::QueryFullProcessImageNameW(process.get(), 0, path, &length)) return {};
  return std::wstring(path, length);
}

std::wstring ProgramNameOf(HWND window) { return text::FileNameOf(ProgramPathOf(window)); }

std::wstring ClassNameOf(HWND window) {
  std::array<wchar_t, 257> name{};
  const int length = ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return std::wstring(name.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool OfTheShell(HWND window) {
  const std::wstring shell = SystemProgram(L"explorer.exe", true);
  return !shell.empty() && text::SameCaseBlind(ProgramPathOf(window), shell);
}

bool OfThisProcess(HWND window) {
  DWORD processId = 0;
  return window != nullptr && ::GetWindowThreadProcessId(window, &processId) != 0 &&
         processId == ::GetCurrentProcessId();
}
