// The logger's text rules: line formats, repeat collapsing, the error-log block, the rotation
// rules and the UTF-16 LE file encoding. Portable (no Windows headers) so it is tested natively.
// Plain functions are safe on any thread; one TLogCollapser is guarded by its owner's lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace logformat {

inline constexpr wchar_t kRunLogName[] = L"folder.log";
inline constexpr wchar_t kErrorLogName[] = L"folder_error.log";
inline constexpr wchar_t kPrevSuffix[] = L"_prev.log";
inline constexpr wchar_t kRunPrefix[] = L" Log (common): ";
inline constexpr wchar_t kErrorPrefix[] = L" Err (common): Function: ";
inline constexpr wchar_t kErrorMark[] = L" Err ";
inline constexpr wchar_t kParameters[] = L" Parameters: ";
inline constexpr wchar_t kMessage[] = L" Message: ";
inline constexpr wchar_t kMultipleErrors[] = L"Multiple errors:";
inline constexpr wchar_t kMultipleLogs[] = L"Multiple logs:";
inline constexpr wchar_t kCount[] = L" Count: ";
inline constexpr wchar_t kLastLogEntries[] = L"Last log entries:";
inline constexpr wchar_t kSaveAllLogsBegin[] = L"SaveAllLogs begin";

// A file larger than this many bytes is moved to its previous generation before the next write.
inline constexpr std::uint64_t kMaxLogBytes = 300000;
// The error block carries run-log lines count-22 .. count-2: the newest line is left out
// because it is the "SaveAllLogs begin" written by the flush that precedes the read.
inline constexpr int kTailFirstBack = 22;
inline constexpr int kTailLastBack = 2;
inline constexpr std::size_t kSeparatorWidth = 40;

// A text as one log line holds it: each control character (below U+0020, and U+007F) written as
// "<U+000D>", so that a window's title or a file name cannot end the line and forge another.
std::wstring EscapedText(std::wstring_view text);

// " Log (common): name[ Parameters: parameters]", every part escaped; the caller puts the time
// in front.
std::wstring RunEventText(std::wstring_view name, std::wstring_view parameters);

// " Err (common): Function: f[ Message: m][ Parameters: p][ Last error (code):systemText]";
// the last part only for a non-zero code; every part escaped.
std::wstring ErrorEventText(std::wstring_view function, std::wstring_view message, std::wstring_view parameters,
                            unsigned long code, std::wstring_view systemText);

// A number as upper-case hexadecimal of at least `digits` digits ("00ABCD").
std::wstring HexText(unsigned long long value, int digits = 6);
// A window or other user handle as log texts write it: the handle's value, which has 32
// significant bits (64-bit Windows sign-extends it), so 0xFFFFFFFFFFF10086 reads "FFF10086".
std::wstring HandleText(const void* handle);

// Error texts are told from run texts by " Err " at their very start.
bool IsErrorText(std::wstring_view text);

// System message texts end with CR LF and may break inside; a log event must stay one line, so
// trailing breaks and blanks go and each inner line break becomes one blank.
std::wstring SingleLine(std::wstring_view text);

// Collapses repeats: an error text equal to the last error text, or a run text equal to the last
// run text, is only counted; the counts are queued as count lines before the next accepted line.
class TLogCollapser {
 public:
  // Appends the lines to queue (count lines, then time + text) to `out`; false when the text
  // was a repeat and only counted.
  bool Accept(const std::wstring& text, std::wstring_view time, std::vector<std::wstring>& out);
  void Reset();

  unsigned long ErrorRepeats() const { return errorRepeats_; }
  unsigned long RunRepeats() const { return runRepeats_; }

 private:
  std::wstring lastError_;
  std::wstring lastRun_;
  unsigned long errorRepeats_ = 0;
  unsigned long runRepeats_ = 0;
};

// Lets a line through at most once every `periodMs` of a tick count (wrap-around safe), for input
// that others can repeat at will; the lines held back meanwhile are counted, and the next line that
// passes says how many.
class TLineThrottle {
 public:
  explicit TLineThrottle(std::uint32_t periodMs) : periodMs_(periodMs) {}
  // True when a line may be written at `now`; `heldBack` is then how many were held back since the
  // last line that passed.
  bool Pass(std::uint32_t now, unsigned long& heldBack);

 private:
  std::uint32_t periodMs_;
  bool passedOnce_ = false;
  std::uint32_t lastPass_ = 0;
  unsigned long heldBack_ = 0;
};

// Appends "Last log entries:" and the run-log lines with indices count-22 .. count-2.
void AppendLastLogEntries(const std::vector<std::wstring>& runLog, std::vector<std::wstring>& list);

// The two closing lines of an error block.
void AppendBlockEnd(std::vector<std::wstring>& list);

// One whole error block: dateTime + ": " + text, the run-log tail, the closing lines.
std::vector<std::wstring> ErrorBlock(std::wstring_view dateTime, std::wstring_view text,
                                     const std::vector<std::wstring>& runLog);

// One recorded exception for the error log: "<date> Exception <class> occured <location>", its
// message (when it has one), the run log's tail, "Call stack: " with one line per frame, and
// the block's end.
std::vector<std::wstring> TraceBlock(std::wstring_view dateTime, std::wstring_view className,
                                     std::wstring_view location, const std::wstring* message,
                                     const std::vector<std::wstring>& runLog, const std::vector<std::wstring>& stack);
// Where an exception was raised: "in <procedure> at <line> in file <file>" when the debug
// information knows, "at address <hex>" otherwise.
std::wstring TraceLocation(std::wstring_view procedure, unsigned line, std::wstring_view file);
std::wstring TraceAddress(std::uintptr_t address);

// A structured exception (a fault the processor or the system raised, no C++ throw) as the
// error log names it: its class ("EAccessViolation", "EStackOverflow", "EDivByZero",
// "EExternalException") and its message, e.g. "Access violation at address 0000000140001234:
// write of address 0000000000000000". `info` holds the record's first two parameters (for an
// access violation: 0 read, 1 write, 8 execute, and the address), `infoCount` how many it has.
std::wstring StructuredExceptionClass(std::uint32_t code);
std::wstring StructuredExceptionText(std::uint32_t code, std::uintptr_t address, const std::uintptr_t info[2],
                                     unsigned infoCount);

// "X\folder.log" -> "X\folder_prev.log": the name without its last 4 characters + "_prev.log".
std::wstring PrevLogName(std::wstring_view file);

// Exactly kMaxLogBytes is still appended to.
bool NeedsRotation(std::uint64_t sizeInBytes);

// The bytes of `lines` in UTF-16 LE, each followed by CR LF; with the FF FE mark in front when
// `withBom` (a new file). Supplementary characters become surrogate pairs.
std::string EncodeLogLines(const std::vector<std::wstring>& lines, bool withBom);

// Lines of a UTF-16 LE log file; tolerates a missing mark, a last line without CR LF, a lone
// LF and an odd trailing byte.
std::vector<std::wstring> DecodeLogLines(std::string_view bytes);

}  // namespace logformat
