#include "diagnostics/bug_report.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "diagnostics/report_rules.h"
#include "diagnostics/zip.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kBackupName[] = L"BackupRegistry\\BackupRegistryKey";
constexpr wchar_t kAddName[] = L"BackupSystem\\AddToZip";
// An export tool gets this long; after that the key is saved as a hive instead.
constexpr DWORD kExportWaitMs = 1000;
constexpr std::size_t kZipBuffer = 1048576;
constexpr wchar_t kProgramBranch[] = L"Software\\BrantwellTools";

// `stem` + `extension`, or stem + N + extension for the first N whose file is gone or can be
// deleted: the name a new file may take.
std::wstring FreeName(const std::wstring& stem, const std::wstring& extension) {
  std::wstring name = stem + extension;
  for (int n = 1; FileExists(name) && !::DeleteFileW(name.c_str()); ++n) name = stem + std::to_wstring(n) + extension;
  return name;
}

bool ToolPresent(const std::wstring& tool) { return !tool.empty() && FileExists(tool); }

// Saves the key as a registry hive with the backup privilege, which is enabled for the call only.
void SaveKeyAsHive(HKEY root, const std::wstring& key, const std::wstring& file, bool view64) {
  HANDLE rawToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) return;
  const win::TUniqueHandle token(rawToken);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  if (!::LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &privileges.Privileges[0].Luid)) return;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) ||
      ::GetLastError() != ERROR_SUCCESS)
    return;
  if (const win::TRegKey opened = win::OpenKey(root, key, win::WithView(KEY_READ, view64))) {
    if (::RegSaveKeyW(opened.get(), file.c_str(), nullptr) == ERROR_SUCCESS)
      CommonLogRunEvent(kBackupName, view64 ? L"RegSaveKey x64" : L"RegSaveKey");
  }
  privileges.Privileges[0].Attributes = 0;
  ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

void AddToZip(TZip& zip, const std::wstring& folder, const std::wstring& mask, TBugReport& report) {
  CommonLogRunEvent(kAddName, L"Path=" + folder + L"\\" + mask);
  if (folder == L"\\" || !DirectoryExists(folder)) {
    CommonLogRunEvent(kAddName, L"Incorrect path");
    return;
  }
  WIN32_FIND_DATAW found{};
  const win::TFindHandle search(::FindFirstFileW((folder + L"\\" + mask).c_str(), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || name == L"." || name == L".." ||
        text::LowerCase(name) == L"desktop.ini" ||
        (name.size() >= 4 && text::LowerCase(name.substr(name.size() - 4)) == L".exe"))
      continue;
    const std::wstring path = folder + L"\\" + name;
    // No file of the log folder is a link: one that is was put there to have another file packed
    // (or rewritten) in its name, by an agent that may run elevated.
    if (IsLinkedFile(path)) {
      CommonLogRunEvent(kAddName, L"A link, left out: Path=" + path);
      continue;
    }
    // An export is checked as it goes in, whoever wrote it and when.
    if (text::LowerCase(mask) == L"*.reg" && !ScrubRegistryExport(path)) continue;
    CommonLogRunEvent(kAddName, L"Adding: Path=" + path);
    try {
      if (zip.AddFile(path)) report.files.push_back({zip.EntryName(path), path});
    } catch (const EZipError&) {
      CommonLogErrorEvent(kAddName, L"Add fail", L"Path=" + path, ::GetLastError(), true);
    }
  } while (::FindNextFileW(search.get(), &found));
}

}  // namespace

void BackupRegistryKey(const std::wstring& key, const std::wstring& target, bool currentUser, bool noFallback,
                       bool view64) {
  CommonLogRunEvent(kBackupName, L"Key=" + key + L", SaveTo=" + target);
  if (key.empty() || target.empty()) return;
  const std::wstring file = FreeName(target, L".reg");
  const std::wstring keyPath = (currentUser ? L"HKEY_CURRENT_USER\\" : L"HKEY_LOCAL_MACHINE\\") + key;
  if (!view64) {
    // The tools are started by their full paths, never found through the search path.
    const std::wstring regedit = SystemProgram(L"regedit.exe", true), reg = SystemProgram(L"reg.exe");
    std::wstring program, command;
    if (ToolPresent(regedit)) {
      program = regedit;
      command = L"\"" + regedit + L"\" /s /e \"" + file + L"\" \"" + keyPath + L"\"";
    } else if (ToolPresent(reg)) {
      program = reg;
      command = L"\"" + reg + L"\" export \"" + keyPath + L"\" \"" + file + L"\" /y";
    } else {
      CommonLogRunEvent(kBackupName, L"regedit not existregedit.exe");
    }
    CommonLogRunEvent(kBackupName, L"regedit=" + command);
    if (!program.empty()) {
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = SW_HIDE;
      PROCESS_INFORMATION process{};
      if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &startup, &process)) {
        CommonLogErrorEvent(kBackupName, L"CreateProcess fail", L"", ::GetLastError(), true);
      } else {
        const win::TUniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
        if (::WaitForSingleObject(process.hProcess, kExportWaitMs) == WAIT_OBJECT_0) {
          CommonLogRunEvent(kBackupName, L"All done");
          return;
        }
        // A tool that hangs is not left behind, nor left writing the file the fallback writes.
        ::TerminateProcess(process.hProcess, ERROR_TIMEOUT);
        ::WaitForSingleObject(process.hProcess, kExportWaitMs);
        CommonLogRunEvent(kBackupName, L"Export tool ended after " + std::to_wstring(kExportWaitMs) + L" ms");
      }
    }
  }
  if (!noFallback) SaveKeyAsHive(currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key, file, view64);
}

void BackupRegistry() {
  BackupRegistryKey(kProgramBranch, LogFolder + L"cur_opt", true, false, false);
  BackupRegistryKey(kProgramBranch, LogFolder + L"all_opt", false, false, false);
}

bool ScrubRegistryExport(const std::wstring& file) {
  const std::string bytes = ReadFileBytes(file);
  const bool utf16 =
      bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
  std::wstring text;
  if (utf16) {
    for (const std::wstring& line : logformat::DecodeLogLines(bytes)) text += line + L"\r\n";
  } else {
    text.assign(bytes.begin(), bytes.end());
  }
  if (!reportrules::IsRegistryExportText(text)) {
    // A saved hive holds the mail settings too, and nothing can take them out of it.
    ::DeleteFileW(file.c_str());
    CommonLogRunEvent(kAddName, L"Not a text export, left out: Path=" + file);
    return false;
  }
  int removed = 0;
  const std::wstring kept = reportrules::WithoutMailSettings(text, removed);
  if (removed == 0) return true;
  std::string out;
  if (utf16) {
    std::vector<std::wstring> lines;
    for (std::size_t start = 0; start < kept.size();) {
      const std::size_t end = kept.find(L"\r\n", start);
      lines.push_back(kept.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
      start = end == std::wstring::npos ? kept.size() : end + 2;
    }
    out = logformat::EncodeLogLines(lines, true);
  } else {
    out.assign(kept.begin(), kept.end());
  }
  const win::TFileHandle rewritten(
      ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!rewritten || !WriteAll(rewritten.get(), out)) {
    ::DeleteFileW(file.c_str());
    CommonLogErrorEvent(kAddName, L"Export not cleaned, left out", L"Path=" + file, ::GetLastError(), true);
    return false;
  }
  CommonLogRunEvent(kAddName, L"Mail settings taken out: " + std::to_wstring(removed) + L", Path=" + file);
  return true;
}

bool BackupSystem(const std::wstring& configurationFolder, TBugReport& report) {
  report = TBugReport{};
  try {
    CommonLogRunEvent(L"BackupSystem", L"begin");
    ForceDirectories(configurationFolder);
    BackupRegistry();
    report.archive = FreeName(configurationFolder + L"bug-report", L".zip");
    TZip zip(report.archive, kZipBuffer, configurationFolder);
    CommonLogRunEvent(L"BackupSystem", L"PBase=" + configurationFolder);
    const std::wstring logs = LogFolder.empty() ? std::wstring() : LogFolder.substr(0, LogFolder.size() - 1);
    AddToZip(zip, logs, L"*.reg", report);
    AddToZip(zip, logs, L"*.jpg", report);
    // The run log is packed whole: what is still queued is written first.
    SaveAllLogs(false);
    AddToZip(zip, logs, L"*.log", report);
    zip.Close();
    return true;
  } catch (const std::exception&) {
    CommonLogErrorEvent(L"BackupSystem", L"Common error", L"", ::GetLastError(), true);
    return false;
  }
}
