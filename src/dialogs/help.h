// The help file "qrfolder.chm" beside the program: the whole file for the tray's "Help...", one
// topic for a dialog's Help button. Main thread.
#pragma once

#include <windows.h>

#include <string>

inline constexpr wchar_t kHelpFileName[] = L"qrfolder.chm";
// The maker's page of the product: updates, news and help beyond the file.
inline constexpr wchar_t kHomePage[] = L"https://www.brantwelltools.com/quillrook-folder/";

// Opens one topic ("options.htm") of the help file through HTML Help, owned by the desktop
// window. False, with a log line, when the help file or HTML Help is missing.
bool HtmlHelp(const std::wstring& topic);
// The same for a help file of the caller's choosing.
bool OpenHelpTopic(const std::wstring& file, const std::wstring& topic);

// Opens the whole help file with the shell's "open". False, with a log line, when it is missing.
bool OpenHelpFile(HWND owner);
