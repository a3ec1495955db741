// Feeds arbitrary bytes to the configuration list reader: it must never fail, and what it reads
// must come back unchanged through the writer and the reader again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../unit/test_code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TLatin1CodePage ansi;
  const TListText read = DecodeListText(std::string_view(reinterpret_cast<const char*>(data), size), ansi);
  TTextEncoding used = TTextEncoding::Ansi;
  const TListText again = DecodeListText(EncodeListText(read.lines, read.encoding, ansi, &used), ansi);
  if (again.lines != read.lines || used != read.encoding || again.encoding != used) std::abort();
  TConfigurationLists lists{read.lines, again.lines, read.lines, {}};
  CheckConfiguration(lists, {L"1", L"2", L"3", L"4"});
  return 0;
}
