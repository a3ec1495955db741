// Text between the program's wide strings and byte strings of a code page (CP_ACP for the
// system's ANSI code page, CP_UTF8 for our own exception texts). Any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win {

std::wstring ToWide(std::string_view bytes, UINT codePage);
// With `lossy`, it tells whether some character had no form in the code page.
std::string FromWide(std::wstring_view text, UINT codePage, bool* lossy = nullptr);

}  // namespace win
