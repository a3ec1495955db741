#include "settings/settings_registry.h"

#include <windows.h>
#include <dpapi.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <variant>

#include "diagnostics/logger.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kUpdateValue[] = L"Update";
constexpr wchar_t kAlwaysAddDialogValue[] = L"AlwaysAddDialog";

using TField = std::variant<bool TSettingsValues::*, int TSettingsValues::*>;

struct TNamedField {
  const wchar_t* name;
  TField field;
};

// The order in which the agent reads the values; it decides which bad value is reported first.
constexpr TNamedField kReadOrder[] = {
    {L"RecentFldr", &TSettingsValues::RecentFldr},
    {L"RecentFls", &TSettingsValues::RecentFls},
    {L"ShowTray", &TSettingsValues::ShowTray},
    {L"MouseWheel", &TSettingsValues::MouseWheel},
    {L"MouseMButton", &TSettingsValues::MouseMButton},
    {L"RExplorer", &TSettingsValues::RExplorer},
    {L"MIExplorer", &TSettingsValues::MIExplorer},
    {L"MExplorer", &TSettingsValues::MExplorer},
    {L"MDesktop", &TSettingsValues::MDesktop},
    {L"Help", &TSettingsValues::Help},
    {L"Alt", &TSettingsValues::Alt},
    {L"Keys", &TSettingsValues::Keys},
    {L"FilesCount", &TSettingsValues::FilesCount},
    {L"FoldersCount", &TSettingsValues::FoldersCount},
    {L"ClearLink", &TSettingsValues::ClearLink},
    {L"ExpEnch", &TSettingsValues::ExpEnch},
    {L"AlwaysAddDialog", &TSettingsValues::AlwaysAddDialog},
    {L"OpenFolders", &TSettingsValues::OpenFolders},
    {L"JumpKey", &TSettingsValues::JumpKey},
    {L"AutoJump", &TSettingsValues::AutoJump},
    {L"SearchKey", &TSettingsValues::SearchKey},
    {L"DetailsKey", &TSettingsValues::DetailsKey},
};

// The options dialog's order of writing; new names land in the key in this order.
constexpr TNamedField kWriteOrder[] = {
    {L"ClearLink", &TSettingsValues::ClearLink},
    {L"RecentFldr", &TSettingsValues::RecentFldr},
    {L"RecentFls", &TSettingsValues::RecentFls},
    {L"ShowTray", &TSettingsValues::ShowTray},
    {L"MouseWheel", &TSettingsValues::MouseWheel},
    {L"MouseMButton", &TSettingsValues::MouseMButton},
    {L"Help", &TSettingsValues::Help},
    {L"MExplorer", &TSettingsValues::MExplorer},
    {L"MIExplorer", &TSettingsValues::MIExplorer},
    {L"RExplorer", &TSettingsValues::RExplorer},
    {L"MDesktop", &TSettingsValues::MDesktop},
    {L"ExpEnch", &TSettingsValues::ExpEnch},
    {L"FilesCount", &TSettingsValues::FilesCount},
    {L"FoldersCount", &TSettingsValues::FoldersCount},
    {L"Alt", &TSettingsValues::Alt},
    {L"Keys", &TSettingsValues::Keys},
    {L"OpenFolders", &TSettingsValues::OpenFolders},
    {L"JumpKey", &TSettingsValues::JumpKey},
    {L"AutoJump", &TSettingsValues::AutoJump},
    {L"SearchKey", &TSettingsValues::SearchKey},
    {L"DetailsKey", &TSettingsValues::DetailsKey},
};

// Reads one value into its field; an absent value leaves the field alone, and a value of
// another type gives the field its default and is logged: the values after it are still read.
void ReadField(HKEY key, const TNamedField& entry, TSettingsValues& values) {
  LSTATUS status = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  const std::optional<DWORD> data = win::ReadDword(key, entry.name, &status, &type);
  if (status == ERROR_FILE_NOT_FOUND) return;
  static const TSettingsValues defaults;
  if (!data)
    CommonLogRegistryError(L"QuillFolder.LoadSettings", ExceptionText(EInvalidDataType(entry.name)),
                           L"Type=" + std::to_wstring(type) + L", default used", status);
  std::visit(
      [&](auto member) {
        using TMember = std::remove_reference_t<decltype(values.*member)>;
        if (!data)
          values.*member = defaults.*member;
        else if constexpr (std::is_same_v<TMember, bool>)
          values.*member = *data != 0;
        else
          values.*member = static_cast<int>(*data);
      },
      entry.field);
}

DWORD FieldData(const TNamedField& entry, const TSettingsValues& values) {
  return std::visit([&](auto member) { return static_cast<DWORD>(values.*member); }, entry.field);
}

}  // namespace

EInvalidDataType::EInvalidDataType(const std::wstring& valueName)
    : std::runtime_error("Invalid data type for '" + win::FromWide(valueName, CP_UTF8) + "'"), valueName_(valueName) {}

bool LoadSettings(TSettingsValues& values) {
  LSTATUS status = ERROR_SUCCESS;
  win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE, &status);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (!key) {
    CommonLogCantOpenKey(L"QuillFolder.LoadSettings", kSettingsKey, status);
    return true;
  }
  // The lists are about to be loaded anyway.
  TakeReloadRequest();
  for (const auto& entry : kReadOrder) ReadField(key.get(), entry, values);
  return true;
}

bool SaveSettings(const TSettingsValues& values) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE | KEY_SET_VALUE, &status);
  if (!key) {
    CommonLogCantOpenKey(L"Sett.SaveSettings", kSettingsKey, status);
    return false;
  }
  for (const auto& entry : kWriteOrder) {
    status = win::WriteDword(key.get(), entry.name, FieldData(entry, values));
    if (status != ERROR_SUCCESS) {
      CommonLogRegistryError(L"Sett.SaveSettings", L"Can't write value", std::wstring(L"Name=") + entry.name, status);
      return false;
    }
  }
  return true;
}

namespace {

constexpr wchar_t kJumpExcludedKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\1.0\\JumpExcluded";

// A key of one of the agent's lists, which may well be absent (an empty list): only another
// failure to open it is logged, under `function`.
win::TRegKey OpenListKey(const wchar_t* path, REGSAM access, const wchar_t* function) {
  LSTATUS status = ERROR_SUCCESS;
  win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, path, access, &status);
  if (!key && status != ERROR_FILE_NOT_FOUND) CommonLogCantOpenKey(function, path, status);
  return key;
}

}  // namespace

std::vector<std::wstring> LoadJumpExcluded() {
  std::vector<std::wstring> programs;
  const win::TRegKey key = OpenListKey(kJumpExcludedKey, KEY_QUERY_VALUE, L"QuillFolder.LoadJumpExcluded");
  if (!key) return programs;
  std::vector<win::TRegValue> values;
  const LSTATUS status = win::ReadValues(key.get(), values);
  if (status != ERROR_SUCCESS)
    CommonLogRegistryError(L"QuillFolder.LoadJumpExcluded", L"Can't read values", kJumpExcludedKey, status);
  for (const win::TRegValue& value : values) {
    if (text::IsBareFileName(value.name))
      programs.push_back(value.name);
    else
      CommonLogRunEvent(L"QuillFolder.LoadJumpExcluded", L"no program name, passed over: " + value.name);
  }
  return programs;
}

bool SetJumpExcluded(const std::wstring& program, bool excluded) {
  if (!text::IsBareFileName(program)) return false;
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key =
      win::CreateKey(HKEY_CURRENT_USER, kJumpExcludedKey, KEY_QUERY_VALUE | KEY_SET_VALUE, &status);
  if (!key) {
    CommonLogCantOpenKey(L"QuillFolder.SetJumpExcluded", kJumpExcludedKey, status);
    return false;
  }
  status = excluded ? win::WriteDword(key.get(), program, 1) : ::RegDeleteValueW(key.get(), program.c_str());
  if (status == ERROR_SUCCESS || (!excluded && status == ERROR_FILE_NOT_FOUND)) return true;
  CommonLogRegistryError(L"QuillFolder.SetJumpExcluded", L"Can't write value", L"Name=" + program, status);
  return false;
}

bool SaveJumpExcluded(const std::vector<std::wstring>& programs) {
  const std::vector<std::wstring> stored = LoadJumpExcluded();
  const auto listed = [](const std::vector<std::wstring>& list, const std::wstring& program) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::wstring& p) { return text::SameCaseBlind(p, program); });
  };
  bool saved = true;
  // The new programs are written before the old ones go, so a failure halfway loses none.
  for (const std::wstring& program : programs)
    if (!listed(stored, program)) saved = SetJumpExcluded(program, true) && saved;
  for (const std::wstring& program : stored)
    if (!listed(programs, program)) saved = SetJumpExcluded(program, false) && saved;
  return saved;
}

namespace {

constexpr wchar_t kSearchPicksKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\1.0\\SearchPicks";

}  // namespace

constexpr wchar_t kOwnDialogsKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\Dialogs";

std::vector<TStoredOwnDialog> LoadStoredOwnDialogs() {
  std::vector<TStoredOwnDialog> stored;
  const win::TRegKey key = OpenListKey(kOwnDialogsKey, KEY_READ, L"QuillFolder.LoadOwnDialogs");
  if (!key) return stored;
  std::vector<std::wstring> names;
  const LSTATUS status = win::ReadSubkeyNames(key.get(), names, kOwnDialogsKept);
  if (status != ERROR_SUCCESS)
    CommonLogRegistryError(L"QuillFolder.LoadOwnDialogs", L"Can't read subkeys", kOwnDialogsKey, status);
  for (const std::wstring& name : names) {
    const win::TRegKey entryKey = win::OpenKey(key.get(), name, KEY_QUERY_VALUE);
    if (!entryKey) continue;
    TStoredOwnDialog entry;
    TOwnDialogValues& values = entry.values;
    values.name = name;
    std::wstring& problem = entry.problem;
    // A text value that is missing is empty; one of another type spoils the entry.
    const auto text = [&](const wchar_t* value, std::wstring& into) {
      LSTATUS read = ERROR_SUCCESS;
      if (const auto found = win::ReadString(entryKey.get(), value, nullptr, &read))
        into = *found;
      else if (read != ERROR_FILE_NOT_FOUND && problem.empty())
        problem = std::wstring(value) + L" is not a text";
    };
    text(L"Program", values.program);
    text(L"Class", values.className);
    text(L"Title", values.title);
    text(L"Method", values.method);
    text(L"Box", values.box);
    LSTATUS read = ERROR_SUCCESS;
    if (const auto keyValue = win::ReadDword(entryKey.get(), L"Key", &read))
      values.key = static_cast<int>(*keyValue);
    else if (read != ERROR_FILE_NOT_FOUND && problem.empty())
      problem = L"Key is not a number";
    if (problem.empty()) ReadOwnDialog(values, problem);
    stored.push_back(std::move(entry));
  }
  return stored;
}

std::vector<TOwnDialog> LoadOwnDialogs() {
  std::vector<TOwnDialog> entries;
  for (const TStoredOwnDialog& stored : LoadStoredOwnDialogs()) {
    std::wstring problem = stored.problem;
    std::optional<TOwnDialog> entry;
    if (problem.empty()) entry = ReadOwnDialog(stored.values, problem);
    if (entry) {
      entries.push_back(std::move(*entry));
      continue;
    }
    const std::wstring& name = stored.values.name;
    CommonLogRunEvent(L"QuillFolder.LoadOwnDialogs",
                      L"entry passed over, " + problem + L": " +
                          (text::HasControlCharacter(name) ? std::wstring(L"(a name with control characters)") : name));
  }
  return entries;
}

bool SaveOwnDialogs(const std::vector<TOwnDialogValues>& written, const std::vector<std::wstring>& removed) {
  constexpr wchar_t kFunction[] = L"Sett.SaveOwnDialogs";
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kOwnDialogsKey, KEY_READ | KEY_WRITE, &status);
  if (!key) {
    CommonLogCantOpenKey(kFunction, kOwnDialogsKey, status);
    return false;
  }
  bool saved = true;
  // The entries given are written before the removed ones go, so a failure halfway loses none.
  for (const TOwnDialogValues& values : written) {
    if (!IsOwnDialogName(values.name)) {
      CommonLogRunEvent(kFunction, L"an entry without a usable name is not written");
      saved = false;
      continue;
    }
    const win::TRegKey entry = win::CreateKey(key.get(), values.name, KEY_SET_VALUE, &status);
    if (!entry) {
      CommonLogRegistryError(kFunction, L"Can't create the entry", values.name, status);
      saved = false;
      continue;
    }
    for (const auto& [name, text] : {std::pair{L"Program", &values.program},
                                     {L"Class", &values.className},
                                     {L"Title", &values.title},
                                     {L"Method", &values.method},
                                     {L"Box", &values.box}}) {
      status = win::WriteString(entry.get(), name, *text);
      if (status != ERROR_SUCCESS) {
        CommonLogRegistryError(kFunction, L"Can't write the entry", values.name, status);
        saved = false;
      }
    }
    status = values.key != 0 ? win::WriteDword(entry.get(), L"Key", static_cast<DWORD>(values.key))
                             : ::RegDeleteValueW(entry.get(), L"Key");
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) saved = false;
  }
  for (const std::wstring& name : removed) {
    if (!IsOwnDialogName(name)) continue;
    status = ::RegDeleteKeyW(key.get(), name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
      CommonLogRegistryError(kFunction, L"Can't delete the entry", name, status);
      saved = false;
    }
  }
  return saved;
}

std::vector<std::wstring> LoadSearchPicks() {
  std::vector<std::wstring> lines;
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, kSearchPicksKey, KEY_QUERY_VALUE);
  if (!key) return lines;
  std::vector<win::TRegValue> values;
  win::ReadValues(key.get(), values);
  for (const win::TRegValue& value : values) {
    if (value.type != REG_SZ) continue;
    if (const std::optional<std::wstring> line = win::ReadString(key.get(), value.name.c_str())) lines.push_back(*line);
  }
  return lines;
}

bool SaveSearchPicks(const std::vector<std::wstring>& lines) {
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kSearchPicksKey, KEY_QUERY_VALUE | KEY_SET_VALUE, &status);
  if (!key) {
    CommonLogCantOpenKey(L"QuillSearch.SavePicks", kSearchPicksKey, status);
    return false;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    status = win::WriteString(key.get(), std::to_wstring(i), lines[i]);
    if (status != ERROR_SUCCESS) {
      CommonLogRegistryError(L"QuillSearch.SavePicks", L"Can't write value", L"Name=" + std::to_wstring(i), status);
      return false;
    }
  }
  std::vector<win::TRegValue> values;
  win::ReadValues(key.get(), values);
  for (const win::TRegValue& value : values) {
    bool kept = false;
    for (std::size_t i = 0; i < lines.size() && !kept; ++i) kept = value.name == std::to_wstring(i);
    if (!kept) ::RegDeleteValueW(key.get(), value.name.c_str());
  }
  return true;
}

namespace {

constexpr const wchar_t* kContextMenuValues[] = {L"ShowMainMenu", L"ShowAddDelMenu", L"ShowNewMenu"};

}  // namespace

TContextMenuItems LoadContextMenuItems() {
  TContextMenuItems items;
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE);
  std::optional<bool>* fields[] = {&items.mainMenu, &items.addRemove, &items.newWindow};
  for (int i = 0; i < 3; ++i)
    if (const auto data = win::ReadDword(key.get(), kContextMenuValues[i])) *fields[i] = *data != 0;
  return items;
}

void SaveContextMenuItems(const TContextMenuItems& items) {
  const win::TRegKey key = win::CreateKey(HKEY_CURRENT_USER, kSettingsKey, KEY_SET_VALUE);
  const std::optional<bool>* fields[] = {&items.mainMenu, &items.addRemove, &items.newWindow};
  for (int i = 0; i < 3; ++i)
    if (key) win::WriteDword(key.get(), kContextMenuValues[i], fields[i]->value_or(true) ? 1 : 0);
}

namespace {

constexpr wchar_t kMailPasswordValue[] = L"MailPassword";
constexpr wchar_t kMailPasswordName[] = L"MailSettings.Password";

// The password as stored: encrypted, or (from before) a plain string; empty when it cannot be
// read.
std::wstring ReadMailPassword(HKEY key) {
  DWORD type = REG_NONE;
  if (const auto sealed = win::ReadBinary(key, kMailPasswordValue, &type)) {
    DATA_BLOB in{static_cast<DWORD>(sealed->size()), const_cast<BYTE*>(sealed->data())}, out{};
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
      CommonLogErrorEvent(kMailPasswordName, L"Can't decrypt the password", L"", ::GetLastError(), true);
      return {};
    }
    std::wstring password(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
    ::SecureZeroMemory(out.pbData, out.cbData);
    ::LocalFree(out.pbData);
    return password;
  }
  return win::ReadString(key, kMailPasswordValue).value_or(L"");
}

}  // namespace

void SealMailPassword() {
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (!key) return;
  std::optional<std::wstring> plain = win::ReadString(key.get(), kMailPasswordValue);
  if (!plain) return;
  DATA_BLOB in{static_cast<DWORD>(plain->size() * sizeof(wchar_t)), reinterpret_cast<BYTE*>(plain->data())}, out{};
  const BOOL sealed = ::CryptProtectData(&in, L"Quillrook Folder mail password", nullptr, nullptr, nullptr,
                                         CRYPTPROTECT_UI_FORBIDDEN, &out);
  ::SecureZeroMemory(plain->data(), plain->size() * sizeof(wchar_t));
  if (!sealed) {
    CommonLogErrorEvent(kMailPasswordName, L"Can't encrypt the password", L"", ::GetLastError(), true);
    return;
  }
  win::TRegValue value{kMailPasswordValue, REG_BINARY, std::vector<BYTE>(out.pbData, out.pbData + out.cbData)};
  ::LocalFree(out.pbData);
  const LSTATUS status = win::WriteValue(key.get(), value);
  if (status != ERROR_SUCCESS)
    CommonLogRegistryError(kMailPasswordName, L"Can't write value", std::wstring(L"Name=") + kMailPasswordValue,
                           status);
  else
    CommonLogRunEvent(kMailPasswordName, L"The password is stored encrypted now");
}

TMailSettings LoadMailSettings() {
  TMailSettings mail;
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE);
  if (!key) return mail;
  const auto text = [&](const wchar_t* name) { return win::ReadString(key.get(), name).value_or(L""); };
  mail.host = text(L"MailHost");
  mail.sender = text(L"MailSender");
  mail.user = text(L"MailUser");
  mail.password = ReadMailPassword(key.get());
  mail.recipient = text(L"MailRecipient");
  if (const auto port = win::ReadDword(key.get(), L"MailPort"); port && *port > 0 && *port < 65536) mail.port = *port;
  return mail;
}

bool TakeReloadRequest() {
  // A key we may read but not change still holds the user's settings; the request then stays.
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (!key || !win::ValueExists(key.get(), kUpdateValue)) return false;
  ::RegDeleteValueW(key.get(), kUpdateValue);
  return true;
}

void SaveAlwaysAddDialog(TSettingsValues& values, bool always) {
  values.AlwaysAddDialog = always;
  LSTATUS status = ERROR_SUCCESS;
  const win::TRegKey key = win::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_SET_VALUE, &status);
  if (key) status = win::WriteDword(key.get(), kAlwaysAddDialogValue, always ? 1 : 0);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    CommonLogRegistryError(L"fmAddItem.SaveAlwaysAddDialog", L"Can't write value",
                           std::wstring(L"Name=") + kAlwaysAddDialogValue, status);
}
