// Reading and writing the settings values under the "1.0" key of the current user, and the
// reload request other components leave there. The values themselves live in TSettingsValues;
// this unit only moves them. Main thread.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "diagnostics/report_mail.h"
#include "settings/own_dialogs.h"
#include "settings/settings_values.h"

// The shell extension's context-menu items: "ShowMainMenu", "ShowAddDelMenu", "ShowNewMenu";
// none for a value not stored.
struct TContextMenuItems {
  std::optional<bool> mainMenu;
  std::optional<bool> addRemove;
  std::optional<bool> newWindow;
};
TContextMenuItems LoadContextMenuItems();
// Writes the three values in that order, creating the key; a value without an answer as 1.
void SaveContextMenuItems(const TContextMenuItems& items);

// Where the error dialog mails its reports: string values "MailHost", "MailSender", "MailUser"
// and "MailRecipient", the DWORD "MailPort" (587 when absent) and "MailPassword", encrypted for
// the user (CryptProtectData) as a binary value, in the settings key. Without a host or a
// recipient no report is sent; a password that cannot be decrypted is logged and left empty.
TMailSettings LoadMailSettings();
// A "MailPassword" found as a plain string is encrypted and stored in its place. Start-up.
void SealMailPassword();

// A settings value stored with another registry type than REG_DWORD; its text names the value
// in the log.
class EInvalidDataType : public std::runtime_error {
 public:
  explicit EInvalidDataType(const std::wstring& valueName);
  const std::wstring& ValueName() const noexcept { return valueName_; }

 private:
  std::wstring valueName_;
};

// Opens the settings key without creating it, deletes the reload request "Update", and reads
// the values the agent uses into `values`, each on its own: absent values keep what `values`
// holds, a value of another type than REG_DWORD takes its default and is logged. False when the
// key does not exist: the first run, which FirstTime then sets up.
bool LoadSettings(TSettingsValues& values);

// Writes the values the options dialog owns, creating the key if needed. False (and an error
// event in the log) when the key cannot be opened or a value cannot be written.
bool SaveSettings(const TSettingsValues& values);

// Another component asks for a reload of the favourites and filters by leaving the value
// "Update" in the settings key. Takes the request away; true when there was one.
bool TakeReloadRequest();

// The programs Explorer Jump leaves alone: one value per program under the settings key's subkey
// "JumpExcluded", named by its executable name ("notepad.exe"; the value's data do not matter).
// A name with a path or a control character in it names no program and is passed over.
std::vector<std::wstring> LoadJumpExcluded();
// Adds the program to the excluded programs, or takes it away; false (and a log line) when the
// key could not be written.
bool SetJumpExcluded(const std::wstring& program, bool excluded);
// Replaces the excluded programs with `programs` (the options dialog's list); false on failure.
bool SaveJumpExcluded(const std::vector<std::wstring>& programs);

// The search box's remembered picks, one line a value in the settings key's subkey
// "SearchPicks" (values "0", "1", ... as REG_SZ); a value of another type is passed over.
std::vector<std::wstring> LoadSearchPicks();

// The user's own dialogs, the subkeys of "Dialogs" beside "1.0" (at most kOwnDialogsKept): an
// entry with a value of the wrong type or that ReadOwnDialog refuses is logged with why and
// passed over.
inline constexpr std::size_t kOwnDialogsKept = 64;
std::vector<TOwnDialog> LoadOwnDialogs();
// The same entries as stored, each with why it is passed over.
std::vector<TStoredOwnDialog> LoadStoredOwnDialogs();
// Writes the entries of `written` whole (their texts and their Key, which 0 removes), then
// deletes the entries named in `removed`, so a failure halfway loses none; entries named in
// neither are left as they are. False, with a log line, when something could not be written.
bool SaveOwnDialogs(const std::vector<TOwnDialogValues>& written, const std::vector<std::wstring>& removed);
// Writes the lines over the old ones, then takes away the values past them; false on failure.
bool SaveSearchPicks(const std::vector<std::wstring>& lines);

// Stores the add-item dialog's "Always show this dialog" as "AlwaysAddDialog" and in `values`.
// The key is not created: a missing key means the first-run defaults are still to come.
void SaveAlwaysAddDialog(TSettingsValues& values, bool always);
