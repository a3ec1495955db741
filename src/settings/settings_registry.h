// Reading and writing the settings values under the "1.0" key of the current user, and the
// reload request other components leave there. The values themselves live in TSettingsValues;
// this unit only moves them. Main thread.
#pragma once

#include <stdexcept>
#include <string>

#include "settings/settings_values.h"

// A settings value stored with another registry type than REG_DWORD. Nobody handles it below
// the global handler: the agent cannot run on settings it cannot read.
class EInvalidDataType : public std::runtime_error {
 public:
  explicit EInvalidDataType(const std::wstring& valueName);
  const std::wstring& ValueName() const noexcept { return valueName_; }

 private:
  std::wstring valueName_;
};

// Opens the settings key without creating it, deletes the reload request "Update", and reads
// the values the agent uses into `values`; absent values keep what `values` holds. False when
// the key does not exist: the first run, which FirstTime then sets up.
// Throws EInvalidDataType for a value of another type than REG_DWORD.
bool LoadSettings(TSettingsValues& values);

// Writes the values the options dialog owns, creating the key if needed. False (and an error
// event in the log) when the key cannot be opened or a value cannot be written.
bool SaveSettings(const TSettingsValues& values);

// Another component asks for a reload of the favourites and filters by leaving the value
// "Update" in the settings key. Takes the request away; true when there was one.
bool TakeReloadRequest();

// Stores the add-item dialog's "Always show this dialog" as "AlwaysAddDialog" and in `values`.
// The key is not created: a missing key means the first-run defaults are still to come.
void SaveAlwaysAddDialog(TSettingsValues& values, bool always);
