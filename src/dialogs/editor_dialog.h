// TEd, the favourite and filter editor: one row of the options dialog's favourites list (a
// folder's title, path, icon and submenu, or a submenu's title and icon) or of its filters list
// (name and mask list). Created on first use by the options dialog and kept; it changes no list
// itself: "OK" hands the boxes to its owner, whose answer decides whether it closes. Main thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/dialog_base.h"

struct TEditorRequest {
  bool filterMode = false;
  // Folder mode: 1 edit the selected row, 2 new folder, 3 new submenu (EditorMode).
  int mode = 1;
  std::wstring path;
  std::wstring title;
  int image = 0;
  // The "Top level menu" entries after "None", its selection (0 "None") and whether it may change.
  std::vector<std::wstring> submenus;
  int parent = 0;
  bool parentEnabled = true;
  // Filter mode: a new filter, else the row's name and mask list.
  bool newFilter = false;
  std::wstring name;
  std::wstring mask;
};

// The boxes when "OK" is pressed: path or name, title or mask, "Top level menu" and icon.
struct TEditorAnswer {
  std::wstring upper;
  std::wstring lower;
  int parent = 0;
  int image = 0;
};

enum class TEditorResult { Ok, Cancel, Closed };

class TEd {
 public:
  // The owner's verdict on an answer: empty to close, a message to show and stay, or kNoAnswer
  // to stay without a word.
  using TApply = std::function<std::wstring(const TEditorAnswer&)>;

  // `images`: the owner's list of the 20 menu images, of which the icon list offers the first
  // 13; read at each use, since the owner makes it anew at another DPI.
  TEd(HINSTANCE resources, const HIMAGELIST* images) : resources_(resources), images_(images) {}
  TEd(const TEd&) = delete;
  TEd& operator=(const TEd&) = delete;

  // Shows the editor modally; "OK" ends it only when `apply` accepts the answer. The close box
  // ends it as Closed: neither "OK" nor "Cancel".
  TEditorResult Show(HWND owner, const TEditorRequest& request, TApply apply);

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void PlaceForMode();
  void OnOk();
  void OnBrowse();
  std::wstring Text(int id) const;

  HINSTANCE resources_;
  const HIMAGELIST* images_;
  // The pixel size of the images now.
  int ImageSize() const;
  HWND dialog_ = nullptr;
  TEditorRequest request_;
  TApply apply_;
};
