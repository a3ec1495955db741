// Configuration sets: the favourites and filters copied to five files that share one name F (F
// itself empty, F1 to F4 the four lists) and back, and the dialogs that choose F. Main thread.
#pragma once

#include <windows.h>

#include <array>
#include <stdexcept>
#include <string>

#include "menu/configuration_text.h"
#include "menu/favourites_store.h"

inline constexpr wchar_t kConfigurationInvalid[] = L"The configuration is invalid";

// The encodings PathNames, PathValues, FilterMasks and FilterCaptions were last read in: an
// export writes each list back in the encoding it came in.
using TListEncodings = std::array<TTextEncoding, 4>;

// A list file that could not be created or written; what() is UTF-8.
class EConfigurationWrite : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ConfigurationFolder + "Folder configuration", created with its parents when missing.
std::wstring ConfigurationDialogFolder(const std::wstring& configurationFolder);

// Runs the "Save Configuration" (save) or "Open Configuration" dialog; the chosen F with the
// default extension, or empty when the user cancelled.
std::wstring AskConfigurationFile(HWND owner, bool save, const std::wstring& initialFolder);

// Writes F empty and F1 to F4 from the lists. Each is written under a name of its own first and
// the set replaces the old one only once every file is written: a failure throws
// EConfigurationWrite naming the file, and an old set of that name stays as it was.
void ExportConfiguration(const std::wstring& file, const TFavouriteLists& lists, const TListEncodings& encodings);

// The set an import keeps the replaced lists in: "before import" with the date and time, in
// `folder`.
std::wstring BeforeImportSetName(const std::wstring& folder);

// Reads F1 to F4, checks the set, keeps the `current` lists as a "before import" set in
// `keepFolder`, and replaces the favourites and filters keys with the set. Empty on success
// (encodings then tell what was read); else the message for the user, and the store is as it
// was.
std::wstring ImportConfiguration(const std::wstring& file, TListEncodings& encodings, const TFavouriteLists& current,
                                 const std::wstring& keepFolder);
