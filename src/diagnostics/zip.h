// TZip, a new ZIP archive on disk, written file by file: each file is deflated by a worker
// thread (TZipThread) while the calling thread keeps its windows answering. Close (or the
// destructor) writes the central directory. Failures throw EZipError. The thread that created
// the archive uses it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

#include "diagnostics/zip_format.h"
#include "win/handles.h"

class TZip {
 public:
  // Files larger than this are left out of the archive.
  static constexpr std::uint64_t kLargestFile = 500000;

  // Creates (or overwrites) the archive; entries will be named relative to `baseFolder`.
  // EZipError 0x4001 "Error creating <path>" when the file cannot be created.
  TZip(const std::wstring& path, std::size_t bufferSize, const std::wstring& baseFolder);
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;
  // Closes the archive if Close has not: a failure there is lost, so callers that care close.
  ~TZip();

  // Adds one file, deflated; a missing or too large file is left out without a word (false).
  bool AddFile(const std::wstring& path);
  // The name `path` has in the archive.
  std::wstring EntryName(const std::wstring& path) const;
  // Writes the central directory and closes the file; EZipError 0x4005 "Error writing <path>".
  void Close();

 private:
  class TFileOutput;
  std::wstring path_;
  std::size_t bufferSize_;
  std::wstring baseFolder_;
  std::unique_ptr<TFileOutput> output_;
  std::unique_ptr<TZipWriter> writer_;
};
