#include "menu/first_run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "menu/favourites_store.h"
#include "settings/settings_values.h"
#include "startup/autostart.h"
#include "win/com.h"
#include "win/files.h"
#include "win/registry.h"
#include "win/shell_paths.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kHeaderImage[] = L"$5";
constexpr wchar_t kDriveImage[] = L"$9";
constexpr wchar_t kDocumentsImage[] = L"$12";
constexpr wchar_t kMusicImage[] = L"$2";
constexpr wchar_t kPicturesImage[] = L"$1";
constexpr wchar_t kComputerHeader[] = L"Submenu234";
constexpr wchar_t kDefaultComputerName[] = L"My Computer";
constexpr wchar_t kDefaultDocumentsName[] = L"My documents";
constexpr wchar_t kProgramFolderValue[] = L"Path";
constexpr DWORD kLabelBufferLength = 250;
constexpr std::size_t kShortcutExtensionLength = 4;  // ".lnk"
// SHGDN_INCLUDE_NONFILESYS of the Windows SDK, which not every MinGW-w64 shobjidl.h declares;
// without it the computer folder, having no file-system path, may answer no name at all.
constexpr DWORD kIncludeNonFileSystem = 0x2000;

struct TFilter {
  const wchar_t* caption;
  const wchar_t* masks;
};
constexpr TFilter kDefaultFilters[] = {
    {L"All Files", L"*.*"},
    {L"Text Documents", L"*.txt;*.doc*;*.rtf;*.hlp;*.chm;*.xls*;*.pdf;*.ppt*;*.pps*;*.odt"},
    {L"Pictures",
     L"*.bmp;*.cdr;*.clp;*.cgm;*.dib;*.drw;*.dxf;*.emf;*.eps;*.gif;*.ico;*.icl;*.iff;*img;*.jpg;*.jpeg;*.lbm;"
     L"*.ldf;*.lwf;*.pbm;*.pcd;*.pcx;*.pgm;*.pic;*.pct;*.png;*.ppm;*.psd;*.psp;*.qtif;*.ras;*.rgb;*.rle;*.sfw;"
     L"*.tga;*.tif;*.tiff;*.wmf;*.wpg;*.jpe;*.iff"},
    {L"Video",
     L"*.asf;*.avi;*.bik;*.divx;*.m1v;*.mkv;*.mp4;*.mpe*;*.mpg;*.mpg4;*.mov;*.ogm;*.qt;*.rm;*.smk;*.vob;*.wmv;"
     L"*.xvid;*.flv;*.mov;*.qt;*.swf;*.3gp;*.ram;*.rmvb;*.m2v;*.ts;*.p4s;*.vpl;*.wpl;*.bpp"},
};

constexpr REGSAM kReadWrite = KEY_QUERY_VALUE | KEY_SET_VALUE;

win::TRegKey CreateKey(const wchar_t* path, LSTATUS& status) {
  return win::CreateKey(HKEY_CURRENT_USER, path, kReadWrite, &status);
}

using win::WriteString;

std::wstring FromAnsi(const char* text, std::size_t length) { return win::ToWide({text, length}, CP_ACP); }

std::wstring SpecialFolderDisplayName(IShellFolder* desktop, int csidl) {
  LPITEMIDLIST raw = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &raw))) return {};
  const win::TCoTaskMem<ITEMIDLIST> item(raw);
  STRRET name{};
  if (FAILED(desktop->GetDisplayNameOf(item.get(), SHGDN_NORMAL | kIncludeNonFileSystem, &name))) return {};
  return GetDisplayName(name, item.get());
}

// One drive root's caption: "System (C:)" for a fixed drive with a label, else the root itself.
std::wstring DriveCaption(const std::wstring& root) {
  if (::GetDriveTypeW(root.c_str()) == DRIVE_FIXED) {
    std::array<wchar_t, kLabelBufferLength> label{};
    if (::GetVolumeInformationW(root.c_str(), label.data(), kLabelBufferLength, nullptr, nullptr, nullptr, nullptr,
                                0) &&
        label[0] != L'\0')
      return std::wstring(label.data()) + L" (" + root.substr(0, 2) + L")";
  }
  return root;
}

// Reports which first-run step failed; FirstTime then stops where it is.
struct TStepFailure {
  std::wstring step;
  unsigned long code;
};

void Check(LSTATUS status, const std::wstring& step) {
  if (status != ERROR_SUCCESS) throw TStepFailure{step, static_cast<unsigned long>(status)};
}

}  // namespace

std::wstring GetDisplayName(STRRET& name, LPCITEMIDLIST item) {
  switch (name.uType) {
    case STRRET_WSTR: {
      const win::TCoTaskMem<wchar_t> text(std::exchange(name.pOleStr, nullptr));
      return text ? std::wstring(text.get()) : std::wstring();
    }
    case STRRET_OFFSET: {
      if (item == nullptr) return {};
      const char* text = reinterpret_cast<const char*>(item) + name.uOffset;
      return FromAnsi(text, std::strlen(text));
    }
    case STRRET_CSTR:
      return FromAnsi(name.cStr, static_cast<std::size_t>(std::find(std::begin(name.cStr), std::end(name.cStr), '\0') -
                                                          std::begin(name.cStr)));
    default:
      return {};
  }
}

TShellNames GetNames() {
  TShellNames names;
  const win::TComApartment apartment;
  win::TComPtr<IShellFolder> desktop;
  if (!apartment.Usable() || FAILED(::SHGetDesktopFolder(desktop.put()))) return names;
  names.computer = SpecialFolderDisplayName(desktop.get(), CSIDL_DRIVES);
  names.documents = SpecialFolderDisplayName(desktop.get(), CSIDL_PERSONAL);
  if (DirectoryExists(names.documents)) names.documents = GetFolderName(names.documents);
  return names;
}

namespace {

void LoadFavoritesUnguarded(const std::wstring& folder, const std::wstring& subfolder) {
  try {
    LSTATUS status = ERROR_SUCCESS;
    const win::TRegKey key = CreateKey(kFavouritesKey, status);
    Check(status, L"Can't open key");
    TShortcutReader shortcuts;

    const std::wstring source = subfolder.empty() ? folder : text::JoinPath(folder, subfolder);
    WIN32_FIND_DATAW found{};
    const win::TFindHandle find(::FindFirstFileW(text::JoinPath(source, L"*.lnk").c_str(), &found));
    if (!find) return;
    bool headerWritten = false;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      const std::wstring file = found.cFileName;
      const std::wstring target = shortcuts.Target(text::JoinPath(source, file)).value_or(std::wstring());
      if (target.empty() || !IsUsableFolder(target)) continue;
      // As when adding: a top-level target named like a submenu entry would open another folder.
      if (subfolder.empty() && !CanStandAtTopLevel(target)) continue;
      const std::wstring caption =
          file.size() > kShortcutExtensionLength ? file.substr(0, file.size() - kShortcutExtensionLength) : L"";
      if (!subfolder.empty() && !headerWritten) {
        Check(WriteString(key.get(), kSubmenuHeaderPrefix + subfolder, subfolder + kHeaderImage),
              L"Can't write header");
        headerWritten = true;
      }
      Check(WriteString(key.get(), subfolder.empty() ? target : target + kEntryMarker, caption + kPlainImage),
            L"Can't write value");
    } while (::FindNextFileW(find.get(), &found));
  } catch (const TStepFailure& failure) {
    CommonLogErrorEvent(L"QuillFolder.LoadFavorites", failure.step, L"Folder=" + folder + L", Subfolder=" + subfolder,
                        failure.code, false);
  }
}

void FirstTimeUnguarded() {
  try {
    const win::TComApartment apartment;

    LSTATUS status = ERROR_SUCCESS;
    const std::wstring documents = ShellFoldersValue(L"Personal");
    const std::wstring music = ShellFoldersValue(L"My Music");
    const std::wstring pictures = ShellFoldersValue(L"My Pictures");
    const std::wstring favorites = ShellFoldersValue(L"Favorites");
    const std::wstring musicCaption = GetFolderName(music);
    const std::wstring picturesCaption = GetFolderName(pictures);

    TShellNames names = GetNames();
    if (names.computer.empty()) names.computer = kDefaultComputerName;
    if (names.documents.empty()) names.documents = kDefaultDocumentsName;

    if (const win::TRegKey key = CreateKey(kFavouritesKey, status)) {
      Check(WriteString(key.get(), kComputerHeader, names.computer + kHeaderImage), L"Can't write computer");
      for (const auto& root : DriveRoots())
        Check(WriteString(key.get(), root + kEntryMarker, DriveCaption(root) + kDriveImage),
              L"Can't write drive " + root);
      if (!documents.empty())
        Check(WriteString(key.get(), documents, names.documents + kDocumentsImage), L"Can't write documents");
      if (!music.empty()) Check(WriteString(key.get(), music, musicCaption + kMusicImage), L"Can't write music");
      if (!pictures.empty())
        Check(WriteString(key.get(), pictures, picturesCaption + kPicturesImage), L"Can't write pictures");
    } else {
      CommonLogCantOpenKey(L"QuillFolder.FirstTime", kFavouritesKey, status);
    }

    if (!favorites.empty()) {
      WIN32_FIND_DATAW found{};
      std::vector<std::wstring> subfolders;
      {
        const win::TFindHandle find(::FindFirstFileW(text::JoinPath(favorites, L"*").c_str(), &found));
        if (find) {
          do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L".." && IsUsableFolder(text::JoinPath(favorites, name)))
              subfolders.push_back(name);
          } while (::FindNextFileW(find.get(), &found));
        }
      }
      for (const auto& subfolder : subfolders) LoadFavorites(favorites, subfolder);
      LoadFavorites(favorites, L"");
    }

    {
      const win::TRegKey key = CreateKey(kFiltersKey, status);
      Check(status, L"Can't open filters key");
      for (const auto& filter : kDefaultFilters)
        Check(WriteString(key.get(), filter.masks, filter.caption),
              std::wstring(L"Can't write filter ") + filter.caption);
    }
    {
      const win::TRegKey key = CreateKey(kSettingsKey, status);
      Check(status, L"Can't open settings key");
      Check(WriteString(key.get(), kProgramFolderValue, ProgramFolder()), L"Can't write Path");
    }
    // Autorun is a convenience the user can switch on again in the options.
    if (!SetAutostart(true)) CommonLogErrorEvent(L"QuillFolder.FirstTime", L"Can't write Run value", L"", 0, false);

    RegisterShellExtension(true);
    CommonLogRunEvent(L"QuillFolder.FirstTime", L"end");
  } catch (const TStepFailure& failure) {
    CommonLogErrorEvent(L"QuillFolder.FirstTime", failure.step, L"", failure.code, false);
  }
}

}  // namespace

void LoadFavorites(const std::wstring& folder, const std::wstring& subfolder) {
  Guarded(L"QuillFolder.LoadFavorites", [&] { LoadFavoritesUnguarded(folder, subfolder); });
}

void FirstTime() {
  CommonLogRunEvent(L"QuillFolder.FirstTime", L"begin");
  Guarded(L"QuillFolder.FirstTime", FirstTimeUnguarded);
}
