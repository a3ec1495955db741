// Whether the unelevated user can change what an elevated agent would run: the decision over the
// access rights the user's unelevated token has to the program's files, its folder and the folders
// above it. Portable; the Windows layer reads the rights (see program_folder.h). Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace programfolder {

// The access rights that matter, as the file system numbers them.
inline constexpr std::uint32_t kWriteData = 0x0002;    // a file's data; a folder: add a file
inline constexpr std::uint32_t kAppendData = 0x0004;   // a file's data; a folder: add a folder
inline constexpr std::uint32_t kDeleteChild = 0x0040;  // a folder: delete what it holds
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kWriteDac = 0x00040000;
inline constexpr std::uint32_t kWriteOwner = 0x00080000;

enum class TPathRole {
  File,      // a file in the program's folder: changed, it is what runs
  Folder,    // the program's folder: a file added there may be loaded in place of a system one
  Ancestor,  // a folder above it: moved or replaced, it takes the program's folder with it
};

struct TPathAccess {
  std::wstring path;
  TPathRole role = TPathRole::File;
  // Whether the rights could be read at all; a path whose rights cannot be read protects nothing.
  bool known = false;
  std::uint32_t granted = 0;
};

// The first path through which the unelevated user could change what runs, with what the user may
// do there ("C:\Tools\qf.dll: the user may change it"); none when every path is protected. An
// empty list protects nothing either.
std::optional<std::wstring> UserWritablePath(const std::vector<TPathAccess>& paths);

}  // namespace programfolder
