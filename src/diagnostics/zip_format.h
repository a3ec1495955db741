// The ZIP archive as bytes: local and central headers, the end records (ZIP64 when the archive
// needs them), raw deflate with its CRC, entry names and the error codes with their texts.
// Portable: TZip (zip.h) gives it a file and a worker thread. One archive per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Error codes: the operation in bits 12..15, the reason in bits 0..11.
inline constexpr int kZipOperation = 0x4000;
enum TZipReason : int {
  zrNone = 0,
  zrCreate = 1,
  zrOpen = 2,
  zrClose = 3,
  zrRead = 4,
  zrWrite = 5,
  zrAttributes = 6,
  zrDiskSpace = 7,
  zrHeader = 8,
  zrCorrupt = 9,
  zrTerminated = 20,
};

// The archive's failures; the message is UTF-8, as the program's own exceptions carry.
class EZipError : public std::runtime_error {
 public:
  EZipError(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
  int Code() const noexcept { return code_; }

 private:
  int code_;
};

// The text of a code: the reason's, and the operation's suffix (" (Zip)").
std::wstring GetCopyErrMsg(int code);
// The reason's text alone, as the archive's messages carry it.
std::string ZipReasonText(int code);

// zlib's CRC-32, continued over `length` more bytes from `crc` (0 for no data yet).
std::uint32_t ZipCrc32(std::uint32_t crc, const void* data, std::size_t length);

// What the archive keeps of one entry until its central directory is written.
struct TPkHeader {
  std::uint32_t dateTime = 0;  // MS-DOS time (low half) and date (high half)
  std::uint32_t crc = 0;
  std::uint16_t flags = 2;
  std::uint16_t attributes = 0;
  std::uint16_t method = 8;
  std::uint64_t localHeaderOffset = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  bool NeedsZip64() const;
};

// The archive's byte stream. Write is false when not every byte was written.
class IZipOutput {
 public:
  virtual ~IZipOutput() = default;
  virtual bool Write(const void* data, std::size_t length) = 0;
  virtual std::uint64_t Position() = 0;
  virtual bool Seek(std::uint64_t position) = 0;
  virtual std::uint64_t Size() = 0;
};

// A file being added. Read answers the bytes read, or -1 on a read error.
class IZipSource {
 public:
  virtual ~IZipSource() = default;
  virtual long long Read(void* buffer, std::size_t length) = 0;
  virtual std::uint64_t Size() = 0;
};

// The worker's outcome: a reason (0 when all went well), bytes read, bytes of deflate data
// written and the CRC of what was read.
struct TDeflated {
  int reason = zrNone;
  std::uint64_t read = 0;
  std::uint64_t written = 0;
  std::uint32_t crc = 0;
};
// Reads the whole source in chunks of `bufferSize` and writes it raw-deflated at the output's
// position (window bits -15, memory level 8, default level and strategy).
TDeflated DeflateInto(IZipSource& source, IZipOutput& output, std::size_t bufferSize);

// The entry name for `path`: relative to `baseFolder` (both with "\" separators), without "."
// and ".." components (a name never leads out of the folder it is unpacked into), every ":" and
// every character from U+0402 up made "_", at most 255 characters.
std::wstring ZipEntryName(const std::wstring& path, const std::wstring& baseFolder);
// `path` relative to the folder `base`, by the usual rule: shared leading folders (compared
// without regard to case) dropped, one "..\" for each of the base's other folders.
std::wstring ExtractRelativePath(const std::wstring& base, const std::wstring& path);

// Writes the entries of one archive: a local header, then the entry's data (written by the
// caller, or by DeflateInto), then the header's sizes patched in; at the end the central
// directory and the end records.
class TZipWriter {
 public:
  explicit TZipWriter(IZipOutput& output) : output_(output) {}

  // Writes the local header of `name` (single-byte text) with zero CRC and sizes, and returns
  // where it starts; false when the header could not be written.
  bool BeginEntry(const std::string& name, std::uint32_t dateTime, std::uint64_t& offset);
  // Patches the CRC and sizes into the local header at `offset`, returns to the end, and, when
  // the data was written whole (reason 0), lists the entry for the central directory.
  bool FinishEntry(const std::string& name, std::uint64_t offset, std::uint32_t dateTime, std::uint16_t attributes,
                   const TDeflated& deflated);
  // The central directory and the end records; false when a write failed.
  bool Finish();

  const std::vector<std::pair<std::string, TPkHeader>>& Entries() const { return entries_; }

 private:
  IZipOutput& output_;
  std::vector<std::pair<std::string, TPkHeader>> entries_;
};
