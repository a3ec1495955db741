#include "diagnostics/zip_format.h"
#include "win/text_rules.h"

#include <zlib.h>

#include <cwctype>

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50, kCentralSignature = 0x02014b50, kEndSignature = 0x06054b50,
                        kZip64EndSignature = 0x06064b50, kZip64LocatorSignature = 0x07064b50;
constexpr std::uint16_t kVersion = 20, kZip64Version = 45;
constexpr std::uint64_t k4GiB = 0x100000000ULL;
constexpr std::uint32_t kNoValue32 = 0xFFFFFFFF;
constexpr std::size_t kEntryNameLimit = 255;
constexpr std::size_t kDeflateChunk = 65536;

void Put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}
void Put32(std::string& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}
void Put64(std::string& out, std::uint64_t value) {
  Put32(out, static_cast<std::uint32_t>(value & 0xFFFFFFFF));
  Put32(out, static_cast<std::uint32_t>(value >> 32));
}
// A 32-bit field for a value that may not fit: the ZIP64 extra field carries it then.
std::uint32_t Field32(std::uint64_t value) { return value >= k4GiB ? kNoValue32 : static_cast<std::uint32_t>(value); }

std::vector<std::wstring> Folders(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = path.find(L'\\', start);
    const std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!part.empty() || end == std::wstring::npos) parts.push_back(part);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return parts;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) { return text::SameCaseBlind(a, b); }

bool WriteAll(IZipOutput& output, const std::string& bytes) { return output.Write(bytes.data(), bytes.size()); }

}  // namespace

std::string ZipReasonText(int code) {
  switch (code & 0xFFF) {
    case zrCreate:
      return "Create file error";
    case zrOpen:
      return "Open file error";
    case zrClose:
      return "Close file error";
    case zrRead:
      return "Read file error";
    case zrWrite:
      return "Write file error";
    case zrAttributes:
      return "Set file attr. error";
    case zrDiskSpace:
      return "Low disk space";
    case zrHeader:
      return "Illegal GZip header";
    case zrCorrupt:
      return "Corrupt file";
    case zrTerminated:
      return "Terminated by user";
    default:
      return "Unknown error";
  }
}

std::wstring GetCopyErrMsg(int code) {
  const std::string reason = ZipReasonText(code);
  std::wstring text(reason.begin(), reason.end());
  switch (code & ~0xFFF) {
    case 0x1000:
      return text + L" (Copy)";
    case 0x2000:
      return text + L" (GZip)";
    case 0x3000:
      return text + L" (GUnzip)";
    case 0x4000:
      return text + L" (Zip)";
    case 0x5000:
      return text + L" (Encrypt)";
    case 0x6000:
      return text + L" (Decrypt)";
    default:
      return text;
  }
}

std::uint32_t ZipCrc32(std::uint32_t crc, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const Bytef*>(data);
  while (length > 0) {
    const auto chunk = static_cast<uInt>(length > 0x40000000 ? 0x40000000 : length);
    crc = static_cast<std::uint32_t>(::crc32(crc, bytes, chunk));
    bytes += chunk;
    length -= chunk;
  }
  return crc;
}

bool TPkHeader::NeedsZip64() const {
  return localHeaderOffset >= k4GiB || compressedSize >= k4GiB || uncompressedSize >= k4GiB;
}

TDeflated DeflateInto(IZipSource& source, IZipOutput& output, std::size_t bufferSize) {
  TDeflated result;
  result.crc = ZipCrc32(0, nullptr, 0);
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    result.reason = kZipOperation | zrDiskSpace;
    return result;
  }
  const std::uint64_t start = output.Position();
  std::vector<unsigned char> in(bufferSize > 0 ? bufferSize : 1), out(kDeflateChunk);
  // Feeds the compressor and writes what it gives; false when the archive took less.
  const auto pump = [&](int flush) {
    int status = Z_OK;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      status = deflate(&z, flush);
      const std::size_t produced = out.size() - z.avail_out;
      if (produced > 0 && !output.Write(out.data(), produced)) return false;
    } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    return true;
  };
  for (;;) {
    const long long got = source.Read(in.data(), in.size());
    if (got < 0) {
      result.reason = zrRead;
      break;
    }
    result.read += static_cast<std::uint64_t>(got);
    result.crc = ZipCrc32(result.crc, in.data(), static_cast<std::size_t>(got));
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(got);
    if (!pump(Z_NO_FLUSH)) {
      result.reason = zrDiskSpace;
      break;
    }
    if (static_cast<std::size_t>(got) < in.size()) break;
  }
  if (result.reason == zrNone && !pump(Z_FINISH)) result.reason = zrDiskSpace;
  deflateEnd(&z);
  if (result.reason == zrNone && source.Size() != result.read) result.reason = zrRead;
  result.written = output.Position() - start;
  if (result.reason != zrNone) result.reason |= kZipOperation;
  return result;
}

std::wstring ExtractRelativePath(const std::wstring& base, const std::wstring& path) {
  // The base names a folder: everything up to its last "\".
  const std::wstring baseFolder = base.substr(0, base.rfind(L'\\') == std::wstring::npos ? 0 : base.rfind(L'\\'));
  const std::size_t nameAt = path.rfind(L'\\');
  const std::wstring pathFolder = nameAt == std::wstring::npos ? std::wstring() : path.substr(0, nameAt);
  const std::wstring name = nameAt == std::wstring::npos ? path : path.substr(nameAt + 1);
  const auto from = Folders(baseFolder), to = Folders(pathFolder);
  std::size_t shared = 0;
  while (shared < from.size() && shared < to.size() && SameFolder(from[shared], to[shared])) ++shared;
  if (shared == 0 && !from.empty() && !to.empty()) return path;  // another drive or share
  std::wstring result;
  for (std::size_t i = shared; i < from.size(); ++i) result += L"..\\";
  for (std::size_t i = shared; i < to.size(); ++i) result += to[i] + L"\\";
  return result + name;
}

std::wstring ZipEntryName(const std::wstring& path, const std::wstring& baseFolder) {
  const std::wstring relative = ExtractRelativePath(baseFolder, path);
  // An archive's names never climb out of the folder it is unpacked into nor name a drive or a
  // root: "." and ".." components and empty ones go, a drive's colon (or any other) becomes "_".
  std::wstring name;
  for (std::size_t start = 0; start <= relative.size();) {
    const std::size_t end = std::min(relative.find_first_of(L"\\/", start), relative.size());
    const std::wstring part = relative.substr(start, end - start);
    if (!part.empty() && part != L"." && part != L"..") {
      if (!name.empty()) name += L'\\';
      name += part;
    }
    start = end + 1;
  }
  for (auto& c : name)
    if (static_cast<std::uint32_t>(c) >= 0x0402 || c == L':') c = L'_';
  if (name.size() > kEntryNameLimit) name.resize(kEntryNameLimit);
  return name;
}

bool TZipWriter::BeginEntry(const std::string& name, std::uint32_t dateTime, std::uint64_t& offset) {
  offset = output_.Position();
  std::string header;
  Put32(header, kLocalSignature);
  Put16(header, kVersion);
  Put16(header, 2);  // flags
  Put16(header, 8);  // deflate
  Put32(header, dateTime);
  Put32(header, 0);  // CRC and sizes, patched in once known
  Put32(header, 0);
  Put32(header, 0);
  Put16(header, static_cast<std::uint16_t>(name.size()));
  Put16(header, 0);
  return WriteAll(output_, header + name);
}

bool TZipWriter::FinishEntry(const std::string& name, std::uint64_t offset, std::uint32_t dateTime,
                             std::uint16_t attributes, const TDeflated& deflated) {
  std::string sizes;
  Put32(sizes, deflated.crc);
  Put32(sizes, Field32(deflated.written));
  Put32(sizes, Field32(deflated.read));
  const std::uint64_t end = output_.Position();
  if (!output_.Seek(offset + 14) || !WriteAll(output_, sizes) || !output_.Seek(end)) return false;
  if ((deflated.reason & 0xFFF) == zrNone) {
    TPkHeader header;
    header.dateTime = dateTime;
    header.crc = deflated.crc;
    header.attributes = attributes;
    header.localHeaderOffset = offset;
    header.compressedSize = deflated.written;
    header.uncompressedSize = deflated.read;
    entries_.emplace_back(name, header);
  }
  return true;
}

bool TZipWriter::Finish() {
  const std::uint64_t start = output_.Size();
  if (!output_.Seek(start)) return false;
  for (const auto& [name, header] : entries_) {
    const bool zip64 = header.NeedsZip64();
    std::string extra;
    if (zip64) {
      std::string values;
      for (std::uint64_t value : {header.uncompressedSize, header.compressedSize, header.localHeaderOffset})
        if (value >= k4GiB) Put64(values, value);
      Put16(extra, 1);
      Put16(extra, static_cast<std::uint16_t>(values.size()));
      extra += values;
    }
    std::string central;
    Put32(central, kCentralSignature);
    Put16(central, zip64 ? kZip64Version : kVersion);  // made by
    Put16(central, zip64 ? kZip64Version : kVersion);  // needed
    Put16(central, header.flags);
    Put16(central, header.method);
    Put32(central, header.dateTime);
    Put32(central, header.crc);
    Put32(central, Field32(header.compressedSize));
    Put32(central, Field32(header.uncompressedSize));
    Put16(central, static_cast<std::uint16_t>(name.size()));
    Put16(central, static_cast<std::uint16_t>(extra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, header.attributes);
    Put32(central, Field32(header.localHeaderOffset));
    if (!WriteAll(output_, central + name + extra)) return false;
  }
  const std::uint64_t end = output_.Position();
  const std::uint64_t count = entries_.size();
  std::string records;
  if (count < 65536 && end < k4GiB) {
    Put32(records, kEndSignature);
    Put16(records, 0);
    Put16(records, 0);
    Put16(records, static_cast<std::uint16_t>(count));
    Put16(records, static_cast<std::uint16_t>(count));
    Put32(records, static_cast<std::uint32_t>(end - start));
    Put32(records, static_cast<std::uint32_t>(start));
    Put16(records, 0);
    return WriteAll(output_, records);
  }
  Put32(records, kZip64EndSignature);
  Put64(records, 44);
  Put16(records, kZip64Version);
  Put16(records, kZip64Version);
  Put32(records, 0);
  Put32(records, 0);
  Put64(records, count);
  Put64(records, count);
  Put64(records, end - start);
  Put64(records, start);
  Put32(records, kZip64LocatorSignature);
  Put32(records, 0);
  Put64(records, end);
  Put32(records, 1);
  Put32(records, kEndSignature);
  Put16(records, 0);
  Put16(records, 0);
  const auto count16 = static_cast<std::uint16_t>(count >= 65536 ? 0xFFFF : count);
  Put16(records, count16);
  Put16(records, count16);
  Put32(records, Field32(end - start));
  Put32(records, kNoValue32);
  Put16(records, 0);
  return WriteAll(output_, records);
}
