// What a bug report may carry, decided on text alone: the registry export with the mail settings
// taken out (their values and the continuation lines of hex data), whether a file is a text
// export at all, and how a packed file is shown to the user before anything leaves. Portable.
#pragma once

#include <string>
#include <string_view>

namespace reportrules {

// The values a report never carries: the mail server's settings and its password.
bool IsMailSetting(std::wstring_view valueName);

// True when `text` begins as a text export of the registry does ("Windows Registry Editor
// Version 5.00" or "REGEDIT4", after a byte-order mark): a saved hive is no text and cannot be
// checked.
bool IsRegistryExportText(std::wstring_view text);

// `exportText` without the lines of every mail setting's value, the lines that continue them
// (a line ending in "\" goes on in the next) included; `removed` counts the values taken out.
std::wstring WithoutMailSettings(std::wstring_view exportText, int& removed);

// What the "What's in it" window shows of a packed file: the text of a log or an export
// (UTF-16 with its byte-order mark, or plain ASCII), or a line saying it is no text.
std::wstring ShownText(const std::string& bytes);

}  // namespace reportrules
