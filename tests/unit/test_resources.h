// The shipped program's resources for the Windows tests: qrfolder.exe, built beside the test
// program, mapped as data (none of its code runs here), so the tests see the real menus, dialog
// templates and images. Any thread; the module stays mapped until the test program ends.
#pragma once

#include <windows.h>

#include <string>

#include "win/files.h"
#include "win/handles.h"

namespace testres {

inline std::wstring BesideTests(const wchar_t* name) { return ProgramFolder() + name; }

inline HINSTANCE Program() {
  static const win::TModuleHandle module(::LoadLibraryExW(
      BesideTests(L"qrfolder.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  return module.get();
}

}  // namespace testres
