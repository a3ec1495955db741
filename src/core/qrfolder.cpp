// The program's entry point: everything is decided by the main routine.
#include <windows.h>

#include "core/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return AgentMain(instance); }
