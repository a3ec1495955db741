// Archives written and then read by Debian's unzip and Python's zipfile: built natively only,
// where those tools are.
#include "diagnostics/zip_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class TFileOutput : public IZipOutput {
 public:
  explicit TFileOutput(const std::filesystem::path& path)
      : file_(path, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc) {}
  bool Write(const void* data, std::size_t length) override {
    file_.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
    return static_cast<bool>(file_);
  }
  std::uint64_t Position() override { return static_cast<std::uint64_t>(file_.tellp()); }
  bool Seek(std::uint64_t position) override {
    file_.seekp(static_cast<std::streamoff>(position));
    return static_cast<bool>(file_);
  }
  std::uint64_t Size() override {
    const auto here = file_.tellp();
    file_.seekp(0, std::ios::end);
    const auto size = file_.tellp();
    file_.seekp(here);
    return static_cast<std::uint64_t>(size);
  }

 private:
  std::fstream file_;
};

class TBytesSource : public IZipSource {
 public:
  explicit TBytesSource(std::string bytes, long long failAt = -1) : bytes_(std::move(bytes)), failAt_(failAt) {}
  long long Read(void* buffer, std::size_t length) override {
    if (failAt_ >= 0 && static_cast<long long>(at_) >= failAt_) return -1;
    const std::size_t n = std::min(length, bytes_.size() - at_);
    std::copy_n(bytes_.data() + at_, n, static_cast<char*>(buffer));
    at_ += n;
    return static_cast<long long>(n);
  }
  std::uint64_t Size() override { return bytes_.size(); }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
  long long failAt_;
};

struct TEntry {
  std::string name;
  std::string data;
  long long failAt = -1;
};

std::filesystem::path Archive(const std::string& name) {
  const auto folder = std::filesystem::temp_directory_path() / "qf-zip-test";
  std::filesystem::create_directories(folder);
  return folder / name;
}

// Writes the entries the way the archive object does, with a small read buffer so that every
// file takes several chunks.
std::vector<std::pair<std::string, TPkHeader>> WriteArchive(const std::filesystem::path& path,
                                                           const std::vector<TEntry>& entries) {
  TFileOutput output(path);
  TZipWriter writer(output);
  for (const TEntry& entry : entries) {
    std::uint64_t offset = 0;
    EXPECT_TRUE(writer.BeginEntry(entry.name, 0x5A2B6C3D, offset));
    TBytesSource source(entry.data, entry.failAt);
    const TDeflated deflated = DeflateInto(source, output, 4096);
    EXPECT_TRUE(writer.FinishEntry(entry.name, offset, 0x5A2B6C3D, 0x20, deflated));
  }
  EXPECT_TRUE(writer.Finish());
  return writer.Entries();
}

std::string Shell(const std::string& command, int exitCode = 0) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), exitCode << 8) << command << "\n" << output;
  }
  return output;
}

// What both tools read: unzip's test must pass, and Python lists name bytes, size, CRC and
// whether the contents read back with that CRC.
std::string ToolsRead(const std::filesystem::path& path, bool empty = false) {
  // unzip tests an archive without entries too, but says so with its warning status.
  const std::string tested = Shell("unzip -tqq '" + path.string() + "' 2>&1", empty ? 1 : 0);
  if (empty) EXPECT_NE(tested.find("zipfile is empty"), std::string::npos) << tested;
  return Shell("/usr/bin/python3 -c \"import sys, zipfile, zlib\n"
             "z = zipfile.ZipFile(sys.argv[1])\n"
             "assert z.testzip() is None\n"
             "for i in z.infolist():\n"
             "    d = z.read(i)\n"
             "    print(i.filename.encode('cp437').hex(), i.file_size, i.CRC, zlib.crc32(d) == i.CRC, i.flag_bits)\n"
             "\" '" + path.string() + "' 2>&1");
}

std::string Expected(const std::vector<TEntry>& entries) {
  std::ostringstream lines;
  for (const TEntry& entry : entries) {
    std::ostringstream hex;
    for (unsigned char c : entry.name) hex << std::hex << (c < 16 ? "0" : "") << static_cast<int>(c);
    lines << hex.str() << " " << entry.data.size() << " " << ZipCrc32(0, entry.data.data(), entry.data.size())
          << " True 2\n";
  }
  return lines.str();
}

std::string Pseudorandom(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  for (auto& c : data) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 16);
  }
  return data;
}

TEST(ZipFormat, ArchivesOfNoneOneAndManyEntriesReadBackWhole) {
  const std::vector<std::vector<TEntry>> archives = {
      {},
      {{"Log\\folder.log", "one line\r\n"}},
      {{"cur_opt.reg", "Windows Registry Editor Version 5.00\r\n"},
       {"Log\\empty.log", ""},
       {"Log\\caf\xe9.log", std::string(3000, 'x')},  // a name byte of the ANSI code page
       {"Log\\big.jpg", Pseudorandom(499999, 7)},
       {"Log\\more.log", Pseudorandom(500001, 9)}},
  };
  int n = 0;
  for (const auto& entries : archives) {
    const auto path = Archive("many" + std::to_string(n++) + ".zip");
    const auto listed = WriteArchive(path, entries);
    ASSERT_EQ(listed.size(), entries.size());
    for (const auto& [name, header] : listed) {
      EXPECT_EQ(header.flags, 2);
      EXPECT_EQ(header.method, 8);
    }
    EXPECT_EQ(ToolsRead(path, entries.empty()), Expected(entries));
  }
  // No entries: the end record alone.
  EXPECT_EQ(std::filesystem::file_size(Archive("many0.zip")), 22u);
  // An empty file is the deflate data of an empty stream with the CRC 0.
  const auto empty = WriteArchive(Archive("empty.zip"), {{"e", ""}});
  EXPECT_EQ(empty[0].second.crc, 0u);
  EXPECT_EQ(empty[0].second.compressedSize, 2u);
}

TEST(ZipFormat, AFailedSourceLeavesItsBytesButNoEntryAndTheOthersRead) {
  const std::vector<TEntry> entries = {{"a.log", "first"}, {"broken.log", Pseudorandom(20000, 3), 8192}, {"c.log", "last"}};
  const auto path = Archive("broken.zip");
  std::vector<int> reasons;
  {
    TFileOutput output(path);
    TZipWriter writer(output);
    for (const TEntry& entry : entries) {
      std::uint64_t offset = 0;
      ASSERT_TRUE(writer.BeginEntry(entry.name, 0, offset));
      TBytesSource source(entry.data, entry.failAt);
      const TDeflated deflated = DeflateInto(source, output, 4096);
      reasons.push_back(deflated.reason);
      ASSERT_TRUE(writer.FinishEntry(entry.name, offset, 0, 0, deflated));
    }
    ASSERT_TRUE(writer.Finish());
  }
  EXPECT_EQ(reasons, (std::vector<int>{0, 0x4004, 0}));
  EXPECT_EQ(ToolsRead(path), Expected({entries[0], entries[2]}));
}

TEST(ZipFormat, SixtyFiveThousandFiveHundredAndThirtySixEntriesGetZip64Records) {
  std::vector<TEntry> entries;
  for (int i = 0; i < 65536; ++i) entries.push_back({"f" + std::to_string(i), i % 1000 == 0 ? "data" : ""});
  const auto path = Archive("zip64.zip");
  WriteArchive(path, entries);
  // The end record says "see the ZIP64 record": 0xFFFF entries and start 0xFFFFFFFF.
  std::ifstream file(path, std::ios::binary);
  file.seekg(-22, std::ios::end);
  unsigned char end[22];
  file.read(reinterpret_cast<char*>(end), 22);
  EXPECT_EQ(end[8] | end[9] << 8, 0xFFFF);
  EXPECT_EQ(end[16] & end[17] & end[18] & end[19], 0xFF);
  Shell("unzip -tqq '" + path.string() + "' 2>&1");
  EXPECT_EQ(Shell("/usr/bin/python3 -c \"import sys, zipfile\n"
                "z = zipfile.ZipFile(sys.argv[1])\n"
                "assert z.testzip() is None\n"
                "print(len(z.infolist()), z.read('f65000').decode(), z.infolist()[-1].filename)\n"
                "\" '" + path.string() + "'"),
            "65536 data f65535\n");
}

}  // namespace
