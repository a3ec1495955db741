// The version of Windows the program runs on. Any thread, and inside other programs too (the
// hook library asks it): it allocates nothing and never waits.
#pragma once

// Windows Vista or later (NT 6 and up); asked of the system once.
bool IsWindowsVista();
