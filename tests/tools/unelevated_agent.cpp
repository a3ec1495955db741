// The agent as an administrator's unelevated process under User Account Control sees itself
// (Wine's token is always an elevated administrator's): the end-to-end scenario of the
// elevation hand-over starts it in place of qrfolder.exe. Everything else is the real agent.
#include <windows.h>

#include "core/startup.h"
#include "startup/user_checks.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  PresetUserChecksForTests(/*uac=*/true, /*elevated=*/false, /*admin=*/true);
  return AgentMain(instance);
}
