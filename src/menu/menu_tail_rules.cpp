#include "menu/menu_tail_rules.h"

#include "navigation/target_kind.h"

bool AsksCurrentFolder(int kind, bool officeDialog) {
  return kind == tkExplorer || kind == tkInternetExplorer || IsConsoleKind(kind) ||
         (kind == tkFileDialog && officeDialog);
}

TTailVisibility TailVisibility(const TTailInput& input) {
  TTailVisibility shown;
  shown.recentFolders = input.recentFoldersOn && input.hasRecentFolders;
  // An archiver's window or extraction dialog, and a console's shell, take folders only.
  const bool foldersOnly = input.kind == tkRarExtract || input.kind == tkRarWindow || input.kind == tkZipExtract ||
                           IsConsoleKind(input.kind);
  shown.recentFiles = input.recentFilesOn && input.hasRecentFiles && !foldersOnly;
  shown.filter = input.kind == tkFileDialog && input.hasFilters;
  shown.openFolders = input.openFoldersOn && input.hasOpenFolders;
  shown.jumpSwitch = input.kind == tkFileDialog && input.jumpOffered;
  if (AsksCurrentFolder(input.kind, input.officeDialog) && input.folderKnown) {
    shown.removeCurrent = input.folderIsFavourite;
    shown.addCurrent = !input.folderIsFavourite;
    // A dialog shows its folder itself.
    shown.openFolder = input.kind != tkFileDialog;
  }
  return shown;
}
