#include "diagnostics/logger.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <latch>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../test_temp_folder.h"
#include "diagnostics/log_format.h"
#include "win/handles.h"

namespace {

const std::wstring kSeparator(40, L'=');

std::string ReadBytes(const std::wstring& path) {
  win::TFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> Lines(const std::wstring& path) { return logformat::DecodeLogLines(ReadBytes(path)); }

// The event text of a timed line (its time cut off), or empty for any other line.
std::wstring EventText(const std::wstring& line) {
  for (const wchar_t* mark : {L" Log (common): ", L" Err (common): "}) {
    const auto at = line.find(mark);
    if (at != std::wstring::npos && at > 0) return line.substr(at);
  }
  return {};
}

std::vector<std::wstring> EventTexts(const std::vector<std::wstring>& lines) {
  std::vector<std::wstring> texts;
  for (const auto& line : lines) texts.push_back(EventText(line));
  return texts;
}

std::wstring RunText(const std::wstring& name) { return logformat::RunEventText(name, L""); }

// The name of the test that runs, for a folder of its own.
std::wstring TestName() {
  const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  return std::wstring(name, name + std::strlen(name));
}

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DirectoryExists(temp_.Root()));
    ResetLoggerForTests(folder_);
  }
  void TearDown() override {
    CloseAllLogs();
    ResetLoggerForTests(L"");
  }

  std::wstring RunLog() const { return folder_ + L"folder.log"; }
  std::wstring ErrorLog() const { return folder_ + L"folder_error.log"; }

  const testtmp::TTempFolder temp_{L"qf_logger_" + TestName()};
  // A folder that does not exist yet: the first write must create it.
  const std::wstring folder_ = temp_.Path(L"Log\\");
};

TEST_F(LoggerTest, RunEventReachesRunLogAsUtf16WithMarkAndCrLf) {
  const std::wstring face{wchar_t(0xD83D), wchar_t(0xDE00)};
  CommonLogRunEvent(L"Start", L"\u00C4rger " + face);
  SaveAllLogs(false);

  const std::string bytes = ReadBytes(RunLog());
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.size() % 2, 0u);
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\r\0\n\0", 4));
  // Every LF unit is preceded by a CR unit.
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == '\n' && bytes[i + 1] == 0) {
      EXPECT_EQ(bytes.substr(i - 2, 2), std::string("\r\0", 2)) << "at byte " << i;
    }
  }

  const auto lines = Lines(RunLog());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(EventText(lines[0]), L" Log (common): Start Parameters: \u00C4rger " + face);
  EXPECT_GT(lines[0].find(L" Log (common): "), 0u) << "the line starts with the time";
  EXPECT_EQ(EventText(lines[1]), RunText(L"SaveAllLogs begin"));
}

TEST_F(LoggerTest, AWindowTitleCannotWriteALineOfItsOwn) {
  const std::wstring title = L"Docs\r\n9:00:00 PM Err (common): Function: Forged\nMore";
  CommonLogRunEvent(L"ShowPath", L"Title=" + title);
  CommonLogErrorEvent(title, title, title, 0, false);
  SaveAllLogs(false);
  const auto lines = Lines(RunLog());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(EventText(lines[0]), logformat::RunEventText(L"ShowPath", L"Title=" + logformat::EscapedText(title)));
  int titled = 0;
  for (const std::wstring& log : {RunLog(), ErrorLog()}) {
    for (const std::wstring& line : Lines(log)) {
      EXPECT_FALSE(line.starts_with(L"9:00:00 PM") || line.starts_with(L"More")) << line.c_str();
      titled += line.find(L"Docs<U+000D><U+000A>9:00:00 PM Err (common): Function: Forged<U+000A>More") !=
                std::wstring::npos;
    }
  }
  EXPECT_GE(titled, 3) << "the run event, and the error in both logs, each on one line";
}

TEST_F(LoggerTest, AppendingToAnExistingLogKeepsOneMark) {
  ::CreateDirectoryW(folder_.c_str(), nullptr);
  ASSERT_TRUE(testtmp::WriteBytes(RunLog(), logformat::EncodeLogLines({L"older line"}, true)));
  CommonLogRunEvent(L"first");
  SaveAllLogs(false);
  CommonLogRunEvent(L"second");
  SaveAllLogs(false);

  const std::string bytes = ReadBytes(RunLog());
  int marks = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    if (bytes[i] == '\xFF' && bytes[i + 1] == '\xFE') ++marks;
  EXPECT_EQ(marks, 1);
  const auto lines = Lines(RunLog());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], L"older line");
  EXPECT_EQ(EventTexts(lines), (std::vector<std::wstring>{L"", RunText(L"first"), RunText(L"SaveAllLogs begin"),
                                                          RunText(L"second"), RunText(L"SaveAllLogs begin")}));
}

TEST_F(LoggerTest, ErrorEventWritesBlockWithTheRunLogTail) {
  for (int i = 1; i <= 30; ++i) CommonLogRunEvent(L"step " + std::to_wstring(i));
  ::SetLastError(1234);
  CommonLogErrorEvent(L"SetData\\SetPath", L"Timeout", L"Hwnd=00ABCDEF", ERROR_FILE_NOT_FOUND, false);
  EXPECT_EQ(::GetLastError(), 1234u) << "logging keeps the caller's last error";

  const auto run = Lines(RunLog());
  const auto block = Lines(ErrorLog());
  ASSERT_GE(run.size(), 23u);
  EXPECT_EQ(EventText(run.back()), RunText(L"SaveAllLogs begin"));
  const std::wstring head =
      L" Err (common): Function: SetData\\SetPath Message: Timeout Parameters: Hwnd=00ABCDEF"
      L" Last error (2):";
  const std::wstring errorLine = EventText(run[run.size() - 2]);
  ASSERT_TRUE(errorLine.starts_with(head)) << errorLine;
  const std::wstring systemText = errorLine.substr(head.size());
  EXPECT_FALSE(systemText.empty());
  EXPECT_EQ(systemText.find_first_of(L"\r\n"), std::wstring::npos);
  EXPECT_NE(systemText.back(), L' ');

  ASSERT_EQ(block.size(), 25u);
  EXPECT_TRUE(block[0].ends_with(L":  " + errorLine.substr(1))) << block[0];
  EXPECT_GT(block[0].size(), errorLine.size() + 2) << "the head starts with the date and time";
  EXPECT_EQ(block[1], L"Last log entries:");
  const std::vector<std::wstring> tail(run.end() - 22, run.end() - 1);
  EXPECT_EQ(std::vector<std::wstring>(block.begin() + 2, block.begin() + 23), tail);
  EXPECT_EQ(block[23], kSeparator);
  EXPECT_EQ(block[24], kSeparator);
}

TEST_F(LoggerTest, EveryErrorOccurrenceGetsABlockWhileTheRunLogCountsIt) {
  for (int i = 0; i < 3; ++i) CommonLogErrorEvent(L"ShowPath", L"no target", L"", 0, false);
  CommonLogRunEvent(L"done");
  CloseAllLogs();

  const std::wstring error = L" Err (common): Function: ShowPath Message: no target";
  const auto run = Lines(RunLog());
  ASSERT_EQ(run.size(), 6u);
  EXPECT_EQ(EventText(run[0]), error);
  EXPECT_EQ(EventText(run[1]), RunText(L"SaveAllLogs begin"));
  EXPECT_EQ(run[2], L"Multiple errors:" + error + L" Count: 2");
  EXPECT_EQ(run[3], L"Multiple logs: Log (common): SaveAllLogs begin Count: 2");
  EXPECT_EQ(EventText(run[4]), RunText(L"done"));
  EXPECT_EQ(EventText(run[5]), RunText(L"SaveAllLogs begin"));

  int heads = 0, separators = 0, tails = 0;
  for (const auto& line : Lines(ErrorLog())) {
    if (line.ends_with(L": " + error)) ++heads;
    if (line == kSeparator) ++separators;
    if (line == L"Last log entries:") ++tails;
  }
  EXPECT_EQ(heads, 3);
  EXPECT_EQ(tails, 3);
  EXPECT_EQ(separators, 6);
}

TEST_F(LoggerTest, LogsOverTheLimitMoveToThePreviousGeneration) {
  ::CreateDirectoryW(folder_.c_str(), nullptr);
  const std::string big = logformat::EncodeLogLines({std::wstring(149999, L'x')}, true);
  ASSERT_GT(big.size(), 300000u);
  ASSERT_TRUE(testtmp::WriteBytes(RunLog(), big));
  ASSERT_TRUE(testtmp::WriteBytes(folder_ + L"folder_prev.log", logformat::EncodeLogLines({L"oldest"}, true)));

  CommonLogRunEvent(L"after rotation");
  SaveAllLogs(false);

  EXPECT_EQ(ReadBytes(folder_ + L"folder_prev.log"), big);
  const std::string fresh = ReadBytes(RunLog());
  EXPECT_EQ(fresh.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(EventTexts(Lines(RunLog())),
            (std::vector<std::wstring>{RunText(L"after rotation"), RunText(L"SaveAllLogs begin")}));

  ASSERT_TRUE(testtmp::WriteBytes(ErrorLog(), big));
  CommonLogErrorEvent(L"Area\\Step", L"", L"", 0, true);
  EXPECT_EQ(ReadBytes(folder_ + L"folder_error_prev.log"), big);
  const auto block = Lines(ErrorLog());
  ASSERT_FALSE(block.empty());
  EXPECT_TRUE(block[0].ends_with(L":  Err (common): Function: Area\\Step"));
}

TEST_F(LoggerTest, ALogWhosePreviousGenerationCannotBeReplacedKeepsEveryLine) {
  ::CreateDirectoryW(folder_.c_str(), nullptr);
  const std::string big = logformat::EncodeLogLines({std::wstring(149999, L'x')}, true);
  ASSERT_TRUE(testtmp::WriteBytes(RunLog(), big));
  const std::string oldest = logformat::EncodeLogLines({L"oldest"}, true);
  ASSERT_TRUE(testtmp::WriteBytes(folder_ + L"folder_prev.log", oldest));
  {
    // A viewer holding the older generation open keeps it from being deleted.
    win::TFileHandle held(::CreateFileW((folder_ + L"folder_prev.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    CommonLogRunEvent(L"while held");
    SaveAllLogs(false);
  }
  EXPECT_EQ(ReadBytes(folder_ + L"folder_prev.log"), oldest);
  const std::string kept = ReadBytes(RunLog());
  EXPECT_EQ(kept.substr(0, big.size()), big);
  EXPECT_EQ(EventTexts(Lines(RunLog())).back(), RunText(L"SaveAllLogs begin"));

  // Once the viewer lets go, the next write rotates as usual.
  CommonLogRunEvent(L"released");
  SaveAllLogs(false);
  EXPECT_EQ(ReadBytes(folder_ + L"folder_prev.log"), kept);
}

TEST_F(LoggerTest, RunLogOfExactlyTheLimitIsAppendedToAndRotatesOnTheWriteAfter) {
  ::CreateDirectoryW(folder_.c_str(), nullptr);
  const std::string full = logformat::EncodeLogLines({std::wstring(149997, L'x')}, true);
  ASSERT_EQ(full.size(), 300000u);
  ASSERT_TRUE(testtmp::WriteBytes(RunLog(), full));

  CommonLogRunEvent(L"appended");
  SaveAllLogs(false);
  const std::string grown = ReadBytes(RunLog());
  EXPECT_EQ(grown.substr(0, full.size()), full);
  EXPECT_GT(grown.size(), full.size());
  EXPECT_FALSE(Exists(folder_ + L"folder_prev.log"));

  CommonLogRunEvent(L"rotated");
  SaveAllLogs(false);
  EXPECT_EQ(ReadBytes(folder_ + L"folder_prev.log"), grown);
  EXPECT_EQ(EventTexts(Lines(RunLog())),
            (std::vector<std::wstring>{RunText(L"rotated"), RunText(L"SaveAllLogs begin")}));
}

TEST_F(LoggerTest, EventsAfterCloseAllLogsAreDropped) {
  CommonLogRunEvent(L"before");
  CloseAllLogs();
  const std::string closed = ReadBytes(RunLog());
  ASSERT_FALSE(closed.empty());

  CommonLogRunEvent(L"after");
  CommonLogErrorEvent(L"Late", L"", L"", 5, false);
  EXPECT_FALSE(LogCommon(RunText(L"refused")));
  SaveAllLogs(false);
  CloseAllLogs();

  EXPECT_EQ(ReadBytes(RunLog()), closed);
  EXPECT_FALSE(Exists(ErrorLog()));
}

TEST_F(LoggerTest, LinesLoggedBeforeTheFolderIsKnownAreWrittenLater) {
  ResetLoggerForTests(L"");
  CommonLogRunEvent(L"early");
  SaveAllLogs(false);
  SetLogFolder(folder_);
  CommonLogRunEvent(L"later");
  SaveAllLogs(false);
  EXPECT_EQ(EventTexts(Lines(RunLog())), (std::vector<std::wstring>{RunText(L"early"), RunText(L"SaveAllLogs begin"),
                                                                    RunText(L"later"), RunText(L"SaveAllLogs begin")}));
}

TEST_F(LoggerTest, AFailedWriteKeepsTheLinesForTheNextOne) {
  ::CreateDirectoryW(folder_.c_str(), nullptr);
  ASSERT_TRUE(testtmp::WriteBytes(RunLog(), logformat::EncodeLogLines({L"older"}, true)));
  {
    // Another program holding the file without sharing makes the append fail.
    win::TFileHandle held(
        ::CreateFileW(RunLog().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    CommonLogRunEvent(L"kept");
    SaveAllLogs(false);
  }
  EXPECT_EQ(Lines(RunLog()).size(), 1u);
  SaveAllLogs(false);
  EXPECT_EQ(EventTexts(Lines(RunLog())),
            (std::vector<std::wstring>{L"", RunText(L"kept"), RunText(L"SaveAllLogs begin")}));
}

TEST_F(LoggerTest, KeepingNoLogsWritesNothing) {
  ResetLoggerForTests(folder_);
  KeepNoLogs();
  CommonLogRunEvent(L"hidden");
  CommonLogErrorEvent(L"Hidden", L"", L"", 2, false);
  // Lines that will never be written are not kept either.
  std::vector<std::wstring> lines(1000, L"unwritten");
  SaveLogToFile(RunLog(), lines);
  EXPECT_TRUE(lines.empty());
  CloseAllLogs();
  EXPECT_FALSE(Exists(folder_));
}

TEST_F(LoggerTest, EventsFromSeveralThreadsAllArriveExactlyOnce) {
  constexpr int kWorkers = 4, kItems = 150, kRepeats = 3, kErrors = 10;
  std::latch start(kWorkers + 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kWorkers; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int i = 0; i < kItems; ++i)
        for (int r = 0; r < kRepeats; ++r)
          CommonLogRunEvent(L"worker " + std::to_wstring(t), L"item " + std::to_wstring(i));
    });
  }
  threads.emplace_back([&] {
    start.arrive_and_wait();
    for (int j = 0; j < kErrors; ++j)
      for (int r = 0; r < 2; ++r) CommonLogErrorEvent(L"Worker", L"failure " + std::to_wstring(j), L"", 0, false);
  });
  for (auto& thread : threads) thread.join();
  // A distinct last line makes the logger write out the counts still pending.
  CommonLogRunEvent(L"the end");
  CloseAllLogs();

  std::map<std::wstring, int> seen;
  for (const auto& line : Lines(RunLog())) {
    std::wstring text = EventText(line);
    int count = 1;
    for (const wchar_t* prefix : {L"Multiple logs:", L"Multiple errors:"}) {
      if (line.starts_with(prefix)) {
        const auto at = line.rfind(L" Count: ");
        ASSERT_NE(at, std::wstring::npos) << line;
        const std::wstring start = prefix;
        text = line.substr(start.size(), at - start.size());
        count = std::stoi(line.substr(at + 8));
      }
    }
    ASSERT_FALSE(text.empty()) << "unexpected line: " << std::string(line.begin(), line.end());
    seen[text] += count;
  }
  for (int t = 0; t < kWorkers; ++t)
    for (int i = 0; i < kItems; ++i) {
      const auto text = logformat::RunEventText(L"worker " + std::to_wstring(t), L"item " + std::to_wstring(i));
      EXPECT_EQ(seen[text], kRepeats) << t << " " << i;
    }
  std::map<std::wstring, int> blocks;
  for (const auto& line : Lines(ErrorLog()))
    if (const auto at = line.find(L" Err (common): ");
        at != std::wstring::npos && at >= 2 && line.compare(at - 2, 2, L": ") == 0)
      ++blocks[line.substr(at)];
  for (int j = 0; j < kErrors; ++j) {
    const auto text = logformat::ErrorEventText(L"Worker", L"failure " + std::to_wstring(j), L"", 0, L"");
    EXPECT_EQ(seen[text], 2) << j;
    EXPECT_EQ(blocks[text], 2) << j;
  }
  EXPECT_EQ(seen[RunText(L"the end")], 1);
}

TEST_F(LoggerTest, TheLogThreadWritesWithoutBeingAsked) {
  CommonLogRunEvent(L"background");
  // The thread writes every 5 s; the bound only keeps a broken thread from hanging the run.
  for (int i = 0; i < 300 && !Exists(RunLog()); ++i) ::Sleep(100);
  EXPECT_EQ(EventTexts(Lines(RunLog())), std::vector<std::wstring>{RunText(L"background")});
}

}  // namespace
