#include "core/startup.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwctype>
#include <memory>

#include "settings/command_line.h"
#include "hook/hook_contract.h"
#include "core/main_window.h"
#include "core/global_exception.h"
#include "diagnostics/exception_trace.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "dialogs/error_dialog.h"
#include "menu/favourites_rules.h"
#include "menu/favourites_store.h"
#include "menu/first_run.h"
#include "navigation/window_front.h"
#include "navigation/window_path.h"
#include "settings/settings_registry.h"
#include "settings/settings_values.h"
#include "startup/program_folder.h"
#include "startup/scheduler.h"
#include "startup/user_checks.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/text_rules.h"

std::wstring ConfigurationFolder;
std::wstring CommandLineFolder;
UINT WM_QFADDFOLDER = 0;

namespace {

constexpr int kRestartProbes = 41;
constexpr DWORD kRestartProbeDelayMs = 200;
// The elevated copy started with "runas" gets this long to show its window before it is looked for.
constexpr DWORD kElevatedStartMs = 1000;
// Marks a hand-over in progress: the copy that the hand-over starts finds it and never hands over
// again, even when it comes up without elevation (which would otherwise loop for ever).
constexpr wchar_t kHandOverAtomName[] = L"Quillrook Folder hand-over";
// How long the handing-over process waits for its copy to come up as the agent before it takes
// the marker back (a task that never ran would leave it to skip the next start's hand-over),
// and how often it looks.
constexpr DWORD kHandOverCopyWaitMs = 10000;
constexpr DWORD kHandOverProbeMs = 200;

// Whether creating the single-instance mapping found one already there. An agent of another
// integrity level (an elevated one, seen from an unelevated process) makes the creation fail
// with access denied: that too is an agent running.
bool AgentMappingFound(const win::TUniqueHandle& mapping, DWORD error) {
  return mapping ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

bool InstanceMappingExists() {
  win::TUniqueHandle probe(
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32, kInstanceMappingName));
  return AgentMappingFound(probe, ::GetLastError());
}

// Returns false when the old instance did not go within the probes: the process then ends.
bool WaitForOldInstance() {
  for (int attempt = 0; attempt < kRestartProbes; ++attempt) {
    if (!InstanceMappingExists()) return true;
    if (attempt == kRestartProbes - 1) return false;
    ::Sleep(kRestartProbeDelayMs);
  }
  return false;
}

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

// A string value; empty when it cannot be read, with the registry's reason in `status`.
std::wstring ReadStringValue(HKEY root, const wchar_t* path, const wchar_t* name, LSTATUS* status = nullptr) {
  LSTATUS opened = ERROR_SUCCESS;
  const win::TRegKey key = win::OpenKey(root, path, KEY_READ, &opened);
  const auto value = win::ReadString(key.get(), name);
  if (status != nullptr) *status = !key ? opened : value ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  return value.value_or(std::wstring());
}

// A folder the program may create and use: "X:\..." or "\\server\share\...". A relative path
// would land in whatever folder the program was started from.
bool IsAbsolutePath(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(L"\\\\");
}

// A copy started by a hand-over takes the marker away, so it never hands over in its turn.
bool TakeHandOverMarker() {
  bool found = false;
  while (ATOM atom = ::GlobalFindAtomW(kHandOverAtomName)) {
    found = true;
    if (::GlobalDeleteAtom(atom) != 0) break;
  }
  return found;
}

// The marker went to the copy; when no agent comes up in time the copy never took it, and it is
// taken back here.
void AwaitHandOverCopy() {
  for (DWORD waited = 0; waited < kHandOverCopyWaitMs; waited += kHandOverProbeMs) {
    if (InstanceMappingExists()) return;
    ::Sleep(kHandOverProbeMs);
  }
  if (InstanceMappingExists()) return;
  if (TakeHandOverMarker())
    CommonLogErrorEvent(L"TrySchedulerStart", L"No agent came up, hand-over marker removed", L"", 0, false);
}

bool HandOver(const std::vector<std::wstring>& args) {
  CommonLogRunEvent(L"Main", L"LaunchThroughScheduler required");
  win::TGlobalAtom marker(::GlobalAddAtomW(kHandOverAtomName));
  // Quoted, so a folder with blanks reaches the copy as one argument.
  const TSchedulerLaunch launch = ElevationTask(true, args.empty() ? std::wstring() : QuotedArgument(args.front()));
  if (LaunchThroughScheduler(launch)) {
    marker.release();  // the started copy removes it
    AwaitHandOverCopy();
    return true;
  }
  CommonLogRunEvent(L"TrySchedulerStart\\LaunchThroughScheduler fail");
  // The copy gets the first argument too, as the task passes it: a folder handed to this process
  // must reach the agent.
  const std::wstring program = ProgramPath();
  const std::wstring& parameters = launch.arguments;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_HIDE;
  if (::ShellExecuteExW(&info)) {
    marker.release();
    ::Sleep(kElevatedStartMs);
    if (HWND agent = ::FindWindowW(kMainWindowClass, kMainWindowCaption)) MoveWindowToFront(agent);
    CommonLogRunEvent(L"TrySchedulerStart\\ShellExecuteEx success", L"1");
    AwaitHandOverCopy();
    return true;
  }
  CommonLogRunEvent(L"TrySchedulerStart", L"Full fail");
  return false;
}

DWORD AgentThreadFromRecord() {
  DWORD threadId = 0;
  // Opened for reading only: the record grants nothing more to other processes.
  win::TUniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, hook::kShareName));
  if (!mapping)
    mapping.reset(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, hook::kShareSize, hook::kShareName));
  if (mapping) {
    win::TMapView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, hook::kShareSize));
    if (view) threadId = static_cast<const hook::THookShare*>(view.get())->agentThreadId;
  }
  // A record without a thread id (the agent is still starting) does not help: ask its window.
  if (threadId == 0) {
    if (HWND agent = ::FindWindowW(kMainWindowClass, kMainWindowCaption))
      threadId = ::GetWindowThreadProcessId(agent, nullptr);
  }
  return threadId;
}

void PassFolderToAgent() {
  const std::wstring folder = text::Trim(CommandLineFolder);
  // The agent takes only a folder or the reload switch; anything else would stay in the atom table.
  if (folder != kSwitchUpdate && !TextNamesFolder(folder)) {
    CommonLogRunEvent(L"Main", L"no folder to pass to the agent: " + folder);
    return;
  }
  const DWORD threadId = AgentThreadFromRecord();
  win::TGlobalAtom atom(::GlobalAddAtomW(folder.c_str()));
  if (!atom) {
    CommonLogErrorEvent(L"Main", L"GlobalAddAtom fail", L"Folder=" + folder, ::GetLastError(), false);
    return;
  }
  // The agent deletes the atom once it has read it; a failed post leaves it to us.
  if (threadId != 0 && ::PostThreadMessageW(threadId, WM_QFADDFOLDER, atom.get(), 0)) atom.release();
}

}  // namespace

std::optional<std::wstring> TakePassedFolder(WPARAM atom) {
  // String atoms are numbered from 0xC000 on; a smaller number is an integer atom, no text.
  constexpr WPARAM kFirstStringAtom = 0xC000;
  static logformat::TLineThrottle refusals(1000);
  if (atom < kFirstStringAtom || atom > 0xFFFF) return std::nullopt;
  wchar_t name[256] = {};
  const UINT length = ::GlobalGetAtomNameW(static_cast<ATOM>(atom), name, 256);
  if (length == 0) return std::nullopt;
  const std::wstring folder(name, length);
  if (folder != kSwitchUpdate && !TextNamesFolder(folder)) {
    unsigned long heldBack = 0;
    if (refusals.Pass(::GetTickCount(), heldBack))
      CommonLogRunEvent(L"QuillFolder.WMHandler", L"WM_QFADDFOLDER left alone, no folder: " + folder);
    return std::nullopt;
  }
  // The sender leaves the atom to us: delete it, or the global atom table fills up.
  ::GlobalDeleteAtom(static_cast<ATOM>(atom));
  return folder;
}

std::vector<std::wstring> CommandLineArguments() {
  std::vector<std::wstring> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

std::wstring GetCurrentUserDocSettingsPath() {
  const std::wstring sid = GetAccountSID(CurrentUserName());
  const std::wstring keyPath = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid;
  const wchar_t* function = L"LoadCurrentStartupSettings:GetCurrentUserDocSettingsPath";
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  const win::TRegKey key = sid.empty() ? win::TRegKey() : win::OpenKey(HKEY_LOCAL_MACHINE, keyPath, KEY_READ, &status);
  if (!key) {
    CommonLogCantOpenKey(function, keyPath, status);
    return {};
  }
  DWORD type = REG_NONE;
  std::wstring value = win::ReadString(key.get(), L"ProfileImagePath", &type, &status).value_or(std::wstring());
  if (value.empty()) {
    // An empty value is no failure of the call: it has no code of its own.
    CommonLogRegistryError(function, L"RegQueryValueEx fail", L"first",
                           status != ERROR_SUCCESS ? status : static_cast<LSTATUS>(ERROR_INVALID_DATA));
    return {};
  }
  if (type == REG_EXPAND_SZ) {
    const DWORD needed = ::ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    std::wstring expanded(needed, L'\0');
    if (needed == 0 || ::ExpandEnvironmentStringsW(value.c_str(), expanded.data(), needed) == 0) {
      CommonLogErrorEvent(function, L"Common error", L"Key=" + keyPath, ::GetLastError(), false);
      return {};
    }
    expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
    value = expanded;
  }
  CheckPath(value);
  return value;
}

std::wstring AdvCheck(const std::wstring& valueName) {
  LSTATUS status = ERROR_SUCCESS;
  std::wstring text =
      ReadStringValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      valueName.c_str(), &status);
  if (text.empty()) {
    CommonLogRegistryError(L"LoadCurrentStartupSettings:AdvCheck", L"Can't get value", L"Item=" + valueName, status);
    return {};
  }
  if (text::FindCaseBlind(text, L"%USERPROFILE%") == std::wstring::npos) return text;
  const std::wstring profile = GetCurrentUserDocSettingsPath();
  // Without the profile folder the rest would be a relative path: refused, so the caller goes
  // on to its next candidate instead of creating "Documents" wherever it was started.
  if (profile.empty()) return {};
  std::wstring result = profile + (text.size() > 14 ? text.substr(14) : std::wstring());
  if (!ForceDirectories(result)) {
    CommonLogErrorEvent(L"LoadCurrentStartupSettings:AdvCheck", L"Incorrect path", L"Path=" + result, ::GetLastError(),
                        false);
    return {};
  }
  return result;
}

namespace {

// For an elevated agent: whether `folder`, past its first `trustedChars` characters, passes through
// a junction or symbolic link, which any program of the user could have put there; such a folder
// is refused with a log line.
bool PassesThroughLink(const std::wstring& folder, std::size_t trustedChars) {
  if (!IsElevated()) return false;
  const std::wstring link = LinkOnPath(folder, trustedChars);
  if (link.empty()) return false;
  CommonLogRunEvent(L"GetConfigurationFolder",
                    L"folder refused, it passes through a junction or symbolic link: " + folder + L" at " + link);
  return true;
}

}  // namespace

void GetConfigurationFolder() {
  ConfigurationFolder = ReadStringValue(HKEY_CURRENT_USER, L"Software\\BrantwellTools\\Stewardry", L"SaveDir");
  // The stored folder gets its "\" too: without it every file name would run on from the name.
  CheckPath(ConfigurationFolder);
  // A program that can change the stored folder can name any folder there, so what an elevated
  // agent checks is that the folder itself is no link (nor, below, its log folder and log files):
  // a link there would lead its writes into files that exist already.
  if (!ConfigurationFolder.empty() &&
      (!IsAbsolutePath(ConfigurationFolder) ||
       PassesThroughLink(ConfigurationFolder,
                         text::ParentOf(text::WithoutTrailingSeparator(ConfigurationFolder)).size()) ||
       !ForceDirectories(ConfigurationFolder)))
    ConfigurationFolder.clear();

  if (ConfigurationFolder.empty() || !DirectoryExists(ConfigurationFolder)) {
    // Each base is asked for only when the ones before it gave no folder: the registry lookup
    // of the second would otherwise run, and log its misses, at every start.
    struct TCandidate {
      std::wstring (*base)();
      const wchar_t* tail;
      const wchar_t* label;
    };
    const TCandidate candidates[] = {
        {[] { return ShellFolder(CSIDL_PERSONAL); }, L"Quillrook files\\", L"Folder 1="},
        {[] { return AdvCheck(L"Personal"); }, L"Quillrook files\\", L"Folder 2="},
        {[] { return ShellFolder(CSIDL_APPDATA); }, L"BrantwellTools\\Quillrook files\\", L"Folder 3="},
    };
    for (std::size_t i = 0; i < std::size(candidates); ++i) {
      std::wstring base = candidates[i].base();
      if (!IsAbsolutePath(base)) continue;
      CheckPath(base);
      const std::wstring candidate = base + candidates[i].tail;
      CommonLogRunEvent(L"GetConfigurationFolder", candidates[i].label + candidate);
      const bool last = i + 1 == std::size(candidates);
      if (PassesThroughLink(candidate, base.size())) continue;
      if (ForceDirectories(candidate) || last) {
        ConfigurationFolder = candidate;
        break;
      }
    }
  }
  if (!DirectoryExists(ConfigurationFolder)) {
    CommonLogErrorEvent(L"GetConfigurationFolder", L"ConfigurationFolder not exists", L"", ::GetLastError(), false);
  }
  SetLogFolder(ConfigurationFolder + L"Log\\");
  if (ConfigurationFolder.empty() || PassesThroughLink(LogFolder, ConfigurationFolder.size())) {
    // No folder to log into that the agent may write: it works on without logs.
    KeepNoLogs();
    return;
  }
  ForceDirectories(LogFolder);
}

void RemoveRenamedAsideFiles() {
  // An upgrade renames a file still loaded in another program aside ("qf.dll.<n>.qf-old"); once
  // nothing holds it any more it goes. One still held stays for the next start.
  WIN32_FIND_DATAW found{};
  const std::wstring folder = ProgramFolder();
  const win::TFindHandle search(::FindFirstFileW((folder + L"*" + kRenamedAsideEnding).c_str(), &found));
  if (!search) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::wstring path = folder + found.cFileName;
    CommonLogRunEvent(L"Main", std::wstring(::DeleteFileW(path.c_str()) ? L"Removed: " : L"Still in use: ") + path);
  } while (::FindNextFileW(search.get(), &found));
}

void LoadStoreAndSettings() {
  // A replace of the store that a kill or a power cut ended gets its lists back before anything
  // reads them.
  RestoreInterruptedReplace();
  if (!LoadSettings(Settings)) FirstTime();
  SealMailPassword();
}

void FinishAgent() {
  UpdateScheduler();
  CloseAllLogs();
}

void EraseSettings() {
  if (MayOwnElevationTask()) DeleteFromScheduler(SchedulerTaskName());
}

int AgentMain(HINSTANCE instance) {
  // Libraries that load on first use come from the system folder only, never from the current
  // folder or the search path, where a library of the user's could stand in for one; the hook
  // library is loaded by its full path.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  const std::vector<std::wstring> args = CommandLineArguments();
  const std::wstring first = args.empty() ? std::wstring() : args.front();
  if (KeepsNoLogs(args)) KeepNoLogs();

  if (first == kSwitchRestart && !WaitForOldInstance()) return 0;
  if (first == kSwitchEraseFull) {
    EraseSettings();
    CloseAllLogs();
    return 0;
  }

  // From here on every exception the program throws is traced into the error log.
  StartExceptionTrace();
  GetConfigurationFolder();

  const bool handedOverToUs = TakeHandOverMarker();
  if (!handedOverToUs && IsUAC() && !IsElevated() && IsAdminUser()) {
    // A copy in a folder the user can write is never started elevated: any program of the user
    // could change it into code that runs as administrator.
    if (const std::optional<std::wstring> exposure = ProgramFolderExposure()) {
      CommonLogRunEvent(L"Main", L"no elevated start, the program's folder is not protected: " + *exposure);
      RemoveUnprotectedElevationTask();
    } else if (HandOver(args)) {
      CloseAllLogs();
      return 0;
    }
  }

  CommandLineFolder = BuildCommandLineFolder(args, DirectoryExists);
  WM_QFADDFOLDER = ::RegisterWindowMessageW(kAddFolderMessageName);

  // Held for the life of the agent: whoever creates it first is the agent.
  static win::TUniqueHandle instanceMapping;
  instanceMapping.reset(
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 32, kInstanceMappingName));
  if (AgentMappingFound(instanceMapping, ::GetLastError())) {
    if (!CommandLineFolder.empty()) PassFolderToAgent();
    CloseAllLogs();
    return 0;
  }

  RemoveRenamedAsideFiles();
  // The error dialog is made for the first exception nobody handled, and kept.
  InstallGlobalExceptionHandler([instance](const std::wstring& message) {
    static std::unique_ptr<TErrorMessageFormQSM3> form;
    if (!form) form = std::make_unique<TErrorMessageFormQSM3>(instance, ConfigurationFolder, TerminateApplication);
    return form->Show(message);
  });
  return RunMainWindow(instance);
}
