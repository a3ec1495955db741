// The text of the configuration list files: one entry per line, read in the encoding their
// byte-order mark names (the ANSI code page without one), written back the same way, and the
// checks a set of four lists must pass before it may replace the store. Portable; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TTextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The system's ANSI code page, which only the Windows layer can reach.
class TAnsiCodePage {
 public:
  virtual ~TAnsiCodePage() = default;
  virtual std::wstring ToWide(std::string_view bytes) const = 0;
  // Nothing when some character has no form in the code page.
  virtual std::optional<std::string> FromWide(std::wstring_view text) const = 0;
};

struct TListText {
  std::vector<std::wstring> lines;
  TTextEncoding encoding = TTextEncoding::Ansi;
};

// Lines end at CR LF, a lone CR or a lone LF; a final line end makes no extra empty line.
std::vector<std::wstring> SplitLines(std::wstring_view text);

// Decodes a whole list file. A UTF-8 or UTF-16 byte-order mark selects that encoding; malformed
// sequences become U+FFFD rather than ending the read.
TListText DecodeListText(std::string_view bytes, const TAnsiCodePage& ansi);

// Every line followed by CR LF, in `encoding` with its byte-order mark (none for ANSI). A list
// the ANSI code page cannot hold is written as UTF-8 with its mark instead, so no name turns into
// question marks; `used` tells which encoding was written.
std::string EncodeListText(const std::vector<std::wstring>& lines, TTextEncoding encoding, const TAnsiCodePage& ansi,
                           TTextEncoding* used = nullptr);

// The four lists of a configuration set, with the file each came from (for messages).
struct TConfigurationLists {
  std::vector<std::wstring> PathNames, PathValues, FilterMasks, FilterCaptions;
};
struct TConfigurationFiles {
  std::wstring pathNames, pathValues, filterMasks, filterCaptions;
};

// A file of a set has at most this many lines, each of at most this many characters.
inline constexpr std::size_t kMaxConfigurationLines = 100000;
inline constexpr std::size_t kMaxConfigurationLineLength = 65536;

// Empty when the set may replace the store; otherwise the message for the user: every file within
// the bounds and free of control characters, the files of a pair with as many lines as each
// other, and no name empty (it would address a key's default value).
std::wstring CheckConfiguration(const TConfigurationLists& lists, const TConfigurationFiles& files);
