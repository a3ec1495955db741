// The agent as an administrator's unelevated process under User Account Control sees itself
// (Wine's token is always an elevated administrator's), installed in a protected folder (Wine
// protects none: every file there is the user's own): the end-to-end scenario of the elevation
// hand-over starts it in place of qrfolder.exe. With QF_TEST_REAL_FOLDER_CHECK the folder is
// checked as the agent checks it. Everything else is the real agent.
#include <windows.h>

#include "core/startup.h"
#include "startup/program_folder.h"
#include "startup/user_checks.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // With QF_TEST_COPY_NEVER_COMES_UP the copy that the hand-over starts ends at once, as a copy
  // whose task never ran: the first process marks its environment, which the copy inherits.
  if (::GetEnvironmentVariableW(L"QF_TEST_COPY_NEVER_COMES_UP", nullptr, 0) != 0) {
    if (::GetEnvironmentVariableW(L"QF_TEST_HANDED_OVER", nullptr, 0) != 0) return 0;
    ::SetEnvironmentVariableW(L"QF_TEST_HANDED_OVER", L"1");
  }
  PresetUserChecksForTests(/*uac=*/true, /*elevated=*/false, /*admin=*/true);
  if (::GetEnvironmentVariableW(L"QF_TEST_REAL_FOLDER_CHECK", nullptr, 0) == 0)
    PresetProgramFolderExposureForTests(std::nullopt);
  return AgentMain(instance);
}
