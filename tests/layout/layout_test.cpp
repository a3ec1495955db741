// The layout of src/ as a test: includes run downward only (win at the bottom, core at the top;
// the two libraries take only from win and their own folder, the hook also the window
// recognition it shares), no include climbs with "../", the main window leans on its owners, and
// registry values are read only through the registry unit, dialogs only through the dialog base, and
// the agent's settings only where core/ hands them on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = QF_SOURCE_DIR;

// Floors: a folder may include its own and lower floors.
const std::map<std::string, int> kFloors = {
    {"win", 0},     {"diagnostics", 1}, {"settings", 2}, {"navigation", 3}, {"startup", 3},
    {"monitor", 3}, {"menu", 4},        {"dialogs", 5},  {"core", 6},
};
// The libraries loaded into other programs: what each may take besides its own folder.
const std::map<std::string, std::set<std::string>> kLibraries = {
    {"hook",
     {"win/handles.h", "win/windows_version.h", "win/wildcard.h", "navigation/window_kinds.h",
      "navigation/target_kind.h"}},
    {"shellext", {"win/handles.h", "win/files.h", "win/registry.h"}},
};

struct TInclude {
  std::string file;
  int line;
  std::string target;
};

std::vector<TInclude> ProjectIncludes() {
  static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<TInclude> found;
  for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
    const auto extension = entry.path().extension();
    if (extension != ".h" && extension != ".cpp") continue;
    std::ifstream in(entry.path());
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
      std::smatch match;
      if (std::regex_search(text, match, include))
        found.push_back({fs::relative(entry.path(), kSource / "src").generic_string(), line, match[1]});
    }
  }
  return found;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find('/')); }

}  // namespace

TEST(Layout, IncludesRunDownwardOnly) {
  const auto includes = ProjectIncludes();
  ASSERT_GT(includes.size(), 100u) << "the sources were not found under " << kSource;
  for (const auto& include : includes) {
    const std::string where = include.file + ":" + std::to_string(include.line) + " includes " + include.target;
    EXPECT_EQ(include.target.find(".."), std::string::npos) << where;
    // The resource identifiers come from res/, an include directory of its own.
    if (include.target == "resource.h" || include.target.find('/') == std::string::npos) continue;
    const std::string from = FolderOf(include.file);
    const std::string to = FolderOf(include.target);
    if (from == to) continue;
    if (const auto library = kLibraries.find(from); library != kLibraries.end()) {
      EXPECT_TRUE(library->second.count(include.target)) << where;
      continue;
    }
    if (to == "hook") {
      // The agent uses the contract the hook library shares with it, and nothing else of it.
      EXPECT_TRUE(include.target == "hook/hook_contract.h" || include.target == "hook/qf_entry.h" ||
                  include.target == "hook/qf.h")
          << where;
      continue;
    }
    ASSERT_TRUE(kFloors.count(from)) << "a folder without a floor: " << from;
    ASSERT_TRUE(kFloors.count(to)) << where;
    EXPECT_LT(kFloors.at(to), kFloors.at(from)) << where;
  }
}

TEST(Layout, TheMainWindowStaysOneConcern) {
  // The main window class's files: its header and every source that defines one of its members.
  std::set<std::string> files = {"core/main_window.h"};
  for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
    if (entry.path().extension() != ".cpp") continue;
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find("TQuillFolder::") != std::string::npos)
      files.insert(fs::relative(entry.path(), kSource / "src").generic_string());
  }
  EXPECT_GE(files.size(), 3u) << "the main window's sources were not found";
  // What they include of the project, taken together: the window leans on its owners, it does
  // not do their work.
  std::set<std::string> included;
  for (const auto& include : ProjectIncludes())
    if (files.count(include.file) && include.target != "core/main_window.h") included.insert(include.target);
  std::string list;
  for (const auto& target : included) list += " " + target;
  EXPECT_LE(included.size(), 20u) << "the main window includes" << list;
  EXPECT_GE(included.size(), 5u) << list;
}

// Each line of src/ that matches `pattern` outside the files `allowed` accepts.
template <class Allowed>
void ExpectOnlyIn(const std::regex& pattern, Allowed allowed, const char* what) {
  for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
    const auto extension = entry.path().extension();
    if (extension != ".h" && extension != ".cpp") continue;
    const std::string file = fs::relative(entry.path(), kSource / "src").generic_string();
    if (allowed(file)) continue;
    std::ifstream in(entry.path());
    std::string text;
    for (int line = 1; std::getline(in, text); ++line)
      EXPECT_FALSE(std::regex_search(text, pattern)) << file << ":" << line << " " << what;
  }
}

TEST(Layout, RegistryValuesAreReadOnlyThroughTheRegistryUnit) {
  // One way to read a value, with its checks of type and size, in src/win/registry.cpp.
  ExpectOnlyIn(
      std::regex(R"(\b(RegQueryValueExW|RegGetValueW)\b)"),
      [](const std::string& file) { return FolderOf(file) == "win"; }, "reads the registry by hand");
}

TEST(Layout, DialogsMeetWindowsThroughTheDialogBase) {
  // One thunk for every dialog, with its exception boundary.
  ExpectOnlyIn(
      std::regex(R"(\bDWLP_USER\b)"), [](const std::string& file) { return file == "dialogs/dialog_base.h"; },
      "stores a dialog's object by hand");
}

TEST(Layout, TheAgentsSettingsAreHandedOnNotReadAsAGlobal) {
  // The running agent's settings live in core/, which hands them to the owners that need them.
  ExpectOnlyIn(
      std::regex(R"(\bSettings\s*[.,;)])"),
      [](const std::string& file) {
        return FolderOf(file) == "core" || file.rfind("settings/settings_values.", 0) == 0;
      },
      "reads the agent's settings as a global");
}
