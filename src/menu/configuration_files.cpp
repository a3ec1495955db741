#include "menu/configuration_files.h"

#include <commdlg.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <vector>

#include "diagnostics/logger.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kDialogFolder[] = L"Folder configuration";
constexpr wchar_t kDefaultExtension[] = L"qfs";
// The filter as pairs of caption and mask, ended by an empty pair.
constexpr wchar_t kDialogFilter[] = L"Quillrook Folder settings\0*.qfs\0";
// A list file is a few kilobytes; anything past this is not one of ours.
constexpr DWORD kMaxListFileSize = 64u << 20;
// What a file of a set being exported is called until the whole set is written.
constexpr wchar_t kPendingSuffix[] = L".new";

class TSystemAnsiCodePage final : public TAnsiCodePage {
 public:
  std::wstring ToWide(std::string_view bytes) const override { return win::ToWide(bytes, CP_ACP); }

  std::optional<std::string> FromWide(std::wstring_view text) const override {
    bool lossy = false;
    std::string bytes = win::FromWide(text, CP_ACP, &lossy);
    // A code page may also map a character to a look-alike without calling it lossy.
    if (lossy || ToWide(bytes) != text) return std::nullopt;
    return bytes;
  }
};

std::wstring ListFile(const std::wstring& file, int number) { return file + std::to_wstring(number); }

[[noreturn]] void ThrowCannotWrite(const std::wstring& path, DWORD error) {
  throw EConfigurationWrite("Cannot write the file \"" + win::FromWide(path, CP_UTF8) + "\" (error " +
                            std::to_string(error) + ")");
}

// Writes `path`; a failure names `shown`, the file the user asked for.
void WriteWholeFile(const std::wstring& path, const std::string& bytes, const std::wstring& shown) {
  win::TFileHandle handle(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle || !WriteAll(handle.get(), bytes)) ThrowCannotWrite(shown, ::GetLastError());
}

// The whole file, or nothing when it is missing or unreadable.
std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  win::TFileHandle handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle.get(), &size) || size.QuadPart > kMaxListFileSize) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!::ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size()))
    return std::nullopt;
  return bytes;
}

// The common dialog library brings the printing libraries with it; the agent stays resident all
// day, so it loads the library only for these rare dialogs. Answers the dialog's result and, on
// failure, its extended error.
BOOL RunFileDialog(bool save, OPENFILENAMEW& dialog, DWORD& error) {
  error = 0;
  const win::TModuleHandle library(::LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!library) {
    error = ::GetLastError();
    return FALSE;
  }
  using TFileDialog = BOOL(WINAPI*)(LPOPENFILENAMEW);
  using TExtendedError = DWORD(WINAPI*)();
  const auto run = win::ProcAddress<TFileDialog>(library.get(), save ? "GetSaveFileNameW" : "GetOpenFileNameW");
  const auto extendedError = win::ProcAddress<TExtendedError>(library.get(), "CommDlgExtendedError");
  if (run == nullptr || extendedError == nullptr) {
    error = ::GetLastError();
    return FALSE;
  }
  const BOOL chosen = run(&dialog);
  if (!chosen) error = extendedError();
  return chosen;
}

}  // namespace

std::wstring ConfigurationDialogFolder(const std::wstring& configurationFolder) {
  const std::wstring folder = text::JoinPath(configurationFolder, kDialogFolder);
  if (!ForceDirectories(folder))
    CommonLogErrorEvent(L"QuillFolder.Configuration", L"Can't create folder", L"Folder=" + folder, ::GetLastError(),
                        false);
  return folder;
}

std::wstring AskConfigurationFile(HWND owner, bool save, const std::wstring& initialFolder) {
  std::vector<wchar_t> name(MAX_PATH * 4, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kDialogFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.lpstrDefExt = kDefaultExtension;
  dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  dialog.lpstrTitle = save ? L"Save Configuration" : L"Open Configuration";
  if (save) dialog.Flags |= OFN_OVERWRITEPROMPT;
  DWORD error = 0;
  if (!RunFileDialog(save, dialog, error)) {
    // No error: the user cancelled.
    if (error != 0) CommonLogErrorEvent(L"QuillFolder.Configuration", L"File dialog failed", L"", error, false);
    return {};
  }
  return name.data();
}

void ExportConfiguration(const std::wstring& file, const TFavouriteLists& lists, const TListEncodings& encodings) {
  const TSystemAnsiCodePage ansi;
  const std::vector<std::wstring>* contents[] = {&lists.PathNames, &lists.PathValues, &lists.FilterMasks,
                                                 &lists.FilterCaptions};
  // Every file is written beside its final name first: a set that cannot be written whole
  // leaves the old set as it was.
  std::vector<std::wstring> finals{file};
  std::vector<std::string> bodies{std::string()};
  for (int i = 0; i < 4; ++i) {
    finals.push_back(ListFile(file, i + 1));
    bodies.push_back(EncodeListText(*contents[i], encodings[i], ansi));
  }
  const auto pending = [](const std::wstring& final) { return final + kPendingSuffix; };
  win::TScopeGuard dropPending([&] {
    for (const auto& final : finals) ::DeleteFileW(pending(final).c_str());
  });
  for (std::size_t i = 0; i < finals.size(); ++i) WriteWholeFile(pending(finals[i]), bodies[i], finals[i]);
  // A folder in a file's place would stop the set half-way through the renames.
  for (const auto& final : finals)
    if (DirectoryExists(final)) ThrowCannotWrite(final, ERROR_ACCESS_DENIED);
  for (const auto& final : finals)
    if (!::MoveFileExW(pending(final).c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowCannotWrite(final, ::GetLastError());
  CommonLogRunEvent(L"QuillFolder.Saveconfiguration1Click", L"Saved to " + file);
}

std::wstring BeforeImportSetName(const std::wstring& folder) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t name[64] = {};
  std::swprintf(name, std::size(name), L"before import %04u-%02u-%02u %02u-%02u-%02u.qfs", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  const std::wstring path = text::WithTrailingSeparator(folder);
  // Two imports in one second must not share a set: the first one's would be lost.
  const std::wstring stem = path + std::wstring(name, std::wcslen(name) - 4);
  std::wstring candidate = stem + L".qfs";
  for (int n = 2; FileExists(candidate) || FileExists(ListFile(candidate, 1)); ++n)
    candidate = stem + L" (" + std::to_wstring(n) + L").qfs";
  return candidate;
}

std::wstring ImportConfiguration(const std::wstring& file, TListEncodings& encodings, const TFavouriteLists& current,
                                 const std::wstring& keepFolder) {
  const TSystemAnsiCodePage ansi;
  TListText read[4];
  for (int i = 0; i < 4; ++i) {
    const auto bytes = ReadWholeFile(ListFile(file, i + 1));
    if (!bytes) {
      CommonLogRunEvent(L"QuillFolder.Openconfiguration1Click", L"Missing or unreadable " + ListFile(file, i + 1));
      return kConfigurationInvalid;
    }
    read[i] = DecodeListText(*bytes, ansi);
  }
  TConfigurationLists lists{read[0].lines, read[1].lines, read[2].lines, read[3].lines};
  const std::wstring base = text::FileNameOf(file);
  const std::wstring problem =
      CheckConfiguration(lists, {ListFile(base, 1), ListFile(base, 2), ListFile(base, 3), ListFile(base, 4)});
  if (!problem.empty()) {
    CommonLogRunEvent(L"QuillFolder.Openconfiguration1Click", problem);
    return problem;
  }
  // The lists the import replaces stay at hand as a set the user can open again.
  const std::wstring kept = BeforeImportSetName(keepFolder);
  try {
    ExportConfiguration(kept, current, encodings);
  } catch (const EConfigurationWrite& e) {
    CommonLogErrorEvent(L"QuillFolder.Openconfiguration1Click", win::ToWide(e.what(), CP_UTF8), L"", 0, false);
    return L"The favourites and filters could not be kept as a configuration set before the import. Nothing was "
           L"changed.";
  }
  const TFavouriteLists store{std::move(lists.PathNames), std::move(lists.PathValues), std::move(lists.FilterMasks),
                              std::move(lists.FilterCaptions)};
  if (!ReplaceStore(store)) return L"The configuration could not be written to the registry. Nothing was changed.";
  for (int i = 0; i < 4; ++i) encodings[i] = read[i].encoding;
  CommonLogRunEvent(L"QuillFolder.Openconfiguration1Click",
                    L"Loaded from " + file + L", the lists before kept in " + kept);
  return {};
}
