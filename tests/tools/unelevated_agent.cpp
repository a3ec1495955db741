// The agent as an administrator's unelevated process under User Account Control sees itself
// (Wine's token is always an elevated administrator's): the end-to-end scenario of the
// elevation hand-over starts it in place of qrfolder.exe. Everything else is the real agent.
#include <windows.h>

#include "core/startup.h"
#include "startup/user_checks.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // With QF_TEST_COPY_NEVER_COMES_UP the copy that the hand-over starts ends at once, as a copy
  // whose task never ran: the first process marks its environment, which the copy inherits.
  if (::GetEnvironmentVariableW(L"QF_TEST_COPY_NEVER_COMES_UP", nullptr, 0) != 0) {
    if (::GetEnvironmentVariableW(L"QF_TEST_HANDED_OVER", nullptr, 0) != 0) return 0;
    ::SetEnvironmentVariableW(L"QF_TEST_HANDED_OVER", L"1");
  }
  PresetUserChecksForTests(/*uac=*/true, /*elevated=*/false, /*admin=*/true);
  return AgentMain(instance);
}
