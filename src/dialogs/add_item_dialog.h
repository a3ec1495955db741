// TfmAddItem, "Add new item": asks for the caption of a folder being added to the favourites,
// and lets the user turn the question off. Created on first use and kept by its owner, so the
// check box keeps its state between showings. Main thread.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/dialog_base.h"

class TfmAddItem {
 public:
  // `resources`: the module holding the IDD_ADDITEM template (the program itself by default).
  explicit TfmAddItem(HINSTANCE resources = ::GetModuleHandleW(nullptr)) : resources_(resources) {}
  TfmAddItem(const TfmAddItem&) = delete;
  TfmAddItem& operator=(const TfmAddItem&) = delete;

  // Shows the dialog modally with `suggested` in the name box; true when closed with OK. On OK
  // Name() and AlwaysAddDialog() hold the results, which the owner stores; any other close
  // leaves both as they were emptied/kept.
  bool Show(HWND owner, const std::wstring& suggested);
  // The name entered at the last OK; emptied at every showing.
  const std::wstring& Name() const { return name_; }
  // The check box "Always show this dialog" at the last OK: the new AlwaysAddDialog setting.
  bool AlwaysAddDialog() const { return alwaysAddDialog_; }

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnNameChange();
  void OnOk();
  void OnCancel();
  void KeepCheckBox();

  HINSTANCE resources_;
  HWND dialog_ = nullptr;
  std::wstring suggested_;
  // The form's own state, kept while the object lives, as a hidden form would keep it.
  bool alwaysShowChecked_ = true;
  // Results.
  std::wstring name_;
  bool alwaysAddDialog_ = true;
};
