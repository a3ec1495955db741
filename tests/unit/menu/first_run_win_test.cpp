// The first run against the real registry, files and shell under Wine: every default, and the
// shell's display names it captions them with.
#include "menu/first_run.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "../test_registry.h"
#include "../test_shortcuts.h"
#include "../test_temp_folder.h"
#include "menu/favourites_rules.h"
#include "menu/favourites_store.h"
#include "settings/settings_values.h"
#include "startup/autostart.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

using TStrings = std::vector<std::pair<std::wstring, std::wstring>>;
using TNames = std::vector<std::wstring>;
using testlnk::WriteShortcut;
using testreg::InRegistryOrder;

constexpr wchar_t kProductKey[] = L"Software\\BrantwellTools\\Quillrook Folder";
constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

TStrings Favourites() { return InRegistryOrder(testreg::Strings(HKEY_CURRENT_USER, kFavouritesKey)); }

class FirstRun : public ::testing::Test {
 protected:
  // Every key of the product starts absent and is put back as it was.
  testreg::TKeyStash stash_{HKEY_CURRENT_USER, kProductKey};
  testtmp::TTempFolder temp_{L"qf-first-run"};
};

}  // namespace

TEST(GetDisplayName, EachKindOfResult) {
  STRRET wide{};
  wide.uType = STRRET_WSTR;
  wide.pOleStr = static_cast<LPWSTR>(::CoTaskMemAlloc(sizeof(L"My Computer")));
  ASSERT_NE(wide.pOleStr, nullptr);
  std::wcscpy(wide.pOleStr, L"My Computer");
  EXPECT_EQ(GetDisplayName(wide, nullptr), L"My Computer");
  EXPECT_EQ(wide.pOleStr, nullptr);

  const char item[] = "\x0c\x00rawDocuments";
  STRRET offset{};
  offset.uType = STRRET_OFFSET;
  offset.uOffset = 5;
  EXPECT_EQ(GetDisplayName(offset, reinterpret_cast<LPCITEMIDLIST>(item)), L"Documents");

  STRRET inlined{};
  inlined.uType = STRRET_CSTR;
  std::strcpy(inlined.cStr, "Network");
  EXPECT_EQ(GetDisplayName(inlined, nullptr), L"Network");

  const TShellNames names = GetNames();
  EXPECT_FALSE(names.computer.empty());
  EXPECT_FALSE(names.documents.empty());
  EXPECT_EQ(names.documents.find(L'\\'), std::wstring::npos) << names.documents;
}

TEST_F(FirstRun, FirstTimeWritesEveryDefault) {
  testreg::TValueStash run(HKEY_CURRENT_USER, kRunKey, kRunValue);
  testreg::TValueStash favoritesValue(HKEY_CURRENT_USER, kShellFoldersKey, L"Favorites");

  // Browser favourites: a subfolder with shortcuts to a folder and to a file, a subfolder with
  // only a shortcut to a file, and a shortcut directly in the folder.
  const std::wstring favorites = temp_.Make(L"Favorites");
  const std::wstring projects = temp_.Make(L"Projects");
  const std::wstring archive = temp_.Make(L"Archive");
  const std::wstring notes = temp_.Path(L"notes.txt");
  ASSERT_TRUE(win::TFileHandle(::CreateFileW(notes.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
  temp_.Make(L"Favorites\\Tools");
  temp_.Make(L"Favorites\\Files");
  WriteShortcut(favorites + L"\\Tools\\Projects.lnk", projects);
  WriteShortcut(favorites + L"\\Tools\\Notes.lnk", notes);
  WriteShortcut(favorites + L"\\Files\\Notes.lnk", notes);
  WriteShortcut(favorites + L"\\Old Stuff.lnk", archive);
  std::wstring documents, music, pictures;
  {
    const auto shellFolders = testreg::Create(HKEY_CURRENT_USER, kShellFoldersKey);
    testreg::SetString(shellFolders.get(), L"Favorites", favorites);
    for (const auto& [name, data] : testreg::Strings(HKEY_CURRENT_USER, kShellFoldersKey)) {
      if (name == L"Personal") documents = data;
      if (name == L"My Music") music = data;
      if (name == L"My Pictures") pictures = data;
    }
  }

  const testreg::TWriteRecorder writes;
  FirstTime();

  const TStrings favourites = Favourites();
  const auto dataOf = [&](const std::wstring& name) {
    for (const auto& [n, d] : favourites)
      if (n == name) return d;
    return std::wstring(L"(absent)");
  };
  // The shell's names differ between systems; their form does not.
  const TCaptionNumber computer = Cap(dataOf(L"Submenu234"));
  EXPECT_FALSE(computer.caption.empty());
  EXPECT_EQ(computer.number, 5);
  TStrings expected{{L"Submenu234", dataOf(L"Submenu234")}};
  wchar_t drives[255] = {};
  ::GetLogicalDriveStringsW(255, drives);
  for (const wchar_t* root = drives; *root; root += std::wcslen(root) + 1) {
    wchar_t label[250] = {};
    const bool labelled = ::GetDriveTypeW(root) == DRIVE_FIXED &&
                          ::GetVolumeInformationW(root, label, 250, nullptr, nullptr, nullptr, nullptr, 0) && *label;
    expected.emplace_back(std::wstring(root) + L"$2",
                          (labelled ? std::wstring(label) + L" (" + std::wstring(root, 2) + L")" : root) + L"$9");
  }
  // Unlabelled, as all of Wine's drives are: "C:\$2" = "C:\$9".
  EXPECT_NE(dataOf(L"C:\\$2"), L"(absent)");
  if (!documents.empty()) {
    const TCaptionNumber split = Cap(dataOf(documents));
    EXPECT_EQ(split.number, 12);
    EXPECT_FALSE(split.caption.empty());
    EXPECT_EQ(split.caption.find(L'\\'), std::wstring::npos) << split.caption;
    expected.emplace_back(documents, dataOf(documents));
  }
  if (!music.empty()) expected.emplace_back(music, GetFolderName(music) + L"$2");
  if (!pictures.empty()) expected.emplace_back(pictures, GetFolderName(pictures) + L"$1");
  // Only the subfolder with a shortcut to a folder becomes a submenu.
  expected.insert(expected.end(),
                  {{L"SubmenuTools", L"Tools$5"}, {projects + L"$2", L"Projects$0"}, {archive, L"Old Stuff$0"}});
  EXPECT_EQ(favourites, InRegistryOrder(expected));
  // Windows lists them in the order written, which is this one.
  TNames expectedNames;
  for (const auto& [name, data] : expected) expectedNames.push_back(name);
  EXPECT_EQ(writes.Among(expectedNames), expectedNames);
  const TNames filterOrder{L"*.*", L"*.txt;*.doc*;*.rtf;*.hlp;*.chm;*.xls*;*.pdf;*.ppt*;*.pps*;*.odt"};
  EXPECT_EQ(writes.Among(filterOrder), filterOrder);

  EXPECT_EQ(
      InRegistryOrder(testreg::Strings(HKEY_CURRENT_USER, kFiltersKey)),
      InRegistryOrder(TStrings{
          {L"*.*", L"All Files"},
          {L"*.txt;*.doc*;*.rtf;*.hlp;*.chm;*.xls*;*.pdf;*.ppt*;*.pps*;*.odt", L"Text Documents"},
          {L"*.bmp;*.cdr;*.clp;*.cgm;*.dib;*.drw;*.dxf;*.emf;*.eps;*.gif;*.ico;*.icl;*.iff;*img;*.jpg;*.jpeg;*.lbm;"
           L"*.ldf;*.lwf;*.pbm;*.pcd;*.pcx;*.pgm;*.pic;*.pct;*.png;*.ppm;*.psd;*.psp;*.qtif;*.ras;*.rgb;*.rle;*.sfw;"
           L"*.tga;*.tif;*.tiff;*.wmf;*.wpg;*.jpe;*.iff",
           L"Pictures"},
          {L"*.asf;*.avi;*.bik;*.divx;*.m1v;*.mkv;*.mp4;*.mpe*;*.mpg;*.mpg4;*.mov;*.ogm;*.qt;*.rm;*.smk;*.vob;*.wmv;"
           L"*.xvid;*.flv;*.mov;*.qt;*.swf;*.3gp;*.ram;*.rmvb;*.m2v;*.ts;*.p4s;*.vpl;*.wpl;*.bpp",
           L"Video"},
      }));
  EXPECT_EQ(testreg::Strings(HKEY_CURRENT_USER, kSettingsKey), (TStrings{{L"Path", ProgramFolder()}}));
  EXPECT_EQ(ProgramFolder().back(), L'\\');
  std::wstring runValue;
  for (const auto& [name, data] : testreg::Strings(HKEY_CURRENT_USER, kRunKey))
    if (name == kRunValue) runValue = data;
  EXPECT_EQ(runValue, ProgramPath());
}
