// The search box's matching and ranking, and the picks it remembers.
#include "menu/search_ranking.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "win/text_rules.h"

namespace {

// A word against a text as written: compared in lower case, its word starts read with its capitals.
std::optional<int> Score(const std::wstring& word, const std::wstring& text) {
  return MatchScore(word, text::LowerCase(text), WordStarts(text));
}

std::vector<std::wstring> Captions(const TSearchIndex& index, const std::vector<TSearchHit>& hits) {
  std::vector<std::wstring> captions;
  for (const TSearchHit& hit : hits) captions.push_back(index.Entries()[hit.entry].caption);
  return captions;
}

TEST(MatchScore, LettersInOrderAndWordStartsAndRunsScoreHigher) {
  EXPECT_FALSE(Score(L"prj", L"jpr")) << "out of order";
  EXPECT_FALSE(Score(L"prx", L"projects"));
  EXPECT_TRUE(Score(L"prj", L"projects"));
  struct TRow {
    const char* what;
    std::wstring word, better, worse;
  } rows[] = {
      {"a run beats scattered letters", L"pro", L"projects", L"p-r-o"},
      {"word starts beat the middle of words", L"dc", L"my documents cache", L"abdcd"},
      {"the word starts found past an earlier match inside a word", L"dc", L"adc docs cache", L"adcxxxxxxxxxxxx"},
      {"a path component's start", L"win", L"c:\\windows", L"c:\\twin"},
      {"a capital inside a word starts one", L"fb", L"FooBar", L"fooxbar"},
      {"the start of the text beats a later word", L"pr", L"projects", L"my projects"},
      {"a short gap beats a long one", L"ab", L"axb", L"axxxxxb"},
  };
  for (const TRow& row : rows) {
    const auto better = Score(row.word, row.better);
    const auto worse = Score(row.word, row.worse);
    ASSERT_TRUE(better && worse) << row.what;
    EXPECT_GT(*better, *worse) << row.what;
  }
}

TEST(SearchIndex, EveryWordMustMatchAndTheBestComeFirst) {
  TSearchIndex index({
      {L"Projects", L"D:\\Work\\Projects", TSearchSource::Favourite},
      {L"Pictures", L"C:\\Users\\me\\Pictures", TSearchSource::Favourite},
      {L"report.txt", L"D:\\Work\\Projects\\report.txt", TSearchSource::RecentFile},
      {L"Temp", L"C:\\Temp", TSearchSource::RecentFolder},
      {L"Text files", L"*.txt", TSearchSource::Filter},
      {L"Project Archive", L"E:\\Old\\Project Archive", TSearchSource::OpenFolder},
  });
  const TPickHistory none;
  struct TRow {
    const char* what;
    std::wstring query;
    std::vector<std::wstring> captions;
  } rows[] = {
      {"letters in order in the caption first (equal ones by caption), then in the path",
       L"prj",
       {L"Project Archive", L"Projects", L"report.txt"}},
      {"case-blind", L"PRJ", {L"Project Archive", L"Projects", L"report.txt"}},
      {"two words, both must match (one in the path)", L"rep work", {L"report.txt"}},
      {"a word of the path alone", L"users", {L"Pictures"}},
      {"filters too, before a path that has the letters apart", L"text", {L"Text files", L"report.txt"}},
      {"nothing matches", L"zzz", {}},
      {"blanks only", L"   ", {}},
  };
  for (const TRow& row : rows) EXPECT_EQ(Captions(index, index.Rank(row.query, none, 50)), row.captions) << row.what;
  EXPECT_EQ(index.Rank(L"prj", none, 1).size(), 1u) << "the limit";

  // One letter, the first keystroke, is read from a table made with the index: the same scores as
  // matching it (a caption's match 8 more).
  for (const wchar_t* letter : {L"p", L"j", L"t", L"x"}) {
    for (const TSearchHit& hit : index.Rank(letter, none, 50)) {
      const TSearchEntry& entry = index.Entries()[hit.entry];
      const auto inCaption = Score(letter, entry.caption), inPath = Score(letter, entry.path);
      EXPECT_EQ(hit.score, std::max(inCaption ? *inCaption + 8 : 0, inPath ? *inPath : 0)) << entry.caption;
    }
  }

  // Typed letter by letter, taken back, typed again: each answer is what a fresh search gives.
  const std::vector<TSearchEntry> entries = index.Entries();
  for (const wchar_t* typed : {L"p", L"pr", L"prj", L"prj ", L"prj r", L"prj", L"p", L"pi", L"", L"t", L"te", L"tem"}) {
    TSearchIndex fresh(entries);
    EXPECT_EQ(index.Rank(typed, none, 50), fresh.Rank(typed, none, 50)) << "after typing " << typed;
  }
}

TEST(SearchIndex, EqualScoresGoByPicksThenByCaption) {
  TSearchIndex index({
      {L"Beta", L"C:\\b\\Beta", TSearchSource::Favourite},
      {L"Alpha", L"C:\\a\\Alpha", TSearchSource::Favourite},
      {L"Gamma", L"C:\\g\\Gamma", TSearchSource::Favourite},
  });
  TPickHistory history;
  EXPECT_EQ(Captions(index, index.Rank(L"c", history, 10)), (std::vector<std::wstring>{L"Alpha", L"Beta", L"Gamma"}))
      << "by caption";
  history.Picked(L"C:\\g\\Gamma");
  history.Picked(L"c:\\G\\gamma");
  history.Picked(L"C:\\b\\Beta");
  // Gamma twice but a pick earlier, Beta once and last: the two picks weigh more.
  EXPECT_GT(history.Weight(L"C:\\g\\Gamma"), 0u);
  EXPECT_EQ(Captions(index, index.Rank(L"c", history, 10)), (std::vector<std::wstring>{L"Gamma", L"Beta", L"Alpha"}));
  for (int i = 0; i < 3; ++i) history.Picked(L"C:\\b\\Beta");
  EXPECT_EQ(Captions(index, index.Rank(L"c", history, 10)), (std::vector<std::wstring>{L"Beta", L"Gamma", L"Alpha"}));
}

TEST(PickHistory, KeptBoundedAndReadBackFromItsLinesWhateverElseTheKeyHolds) {
  TPickHistory history;
  for (std::size_t i = 0; i < TPickHistory::kKept + 20; ++i) history.Picked(L"C:\\f" + std::to_wstring(i));
  history.Picked(L"C:\\f" + std::to_wstring(TPickHistory::kKept + 19));
  EXPECT_EQ(history.Size(), TPickHistory::kKept);
  EXPECT_EQ(history.Weight(L"C:\\f0"), 0u) << "the oldest single picks went first";
  EXPECT_GT(history.Weight(L"C:\\f" + std::to_wstring(TPickHistory::kKept + 19)), 0u);

  const TPickHistory again = TPickHistory::FromLines(history.ToLines());
  EXPECT_EQ(again.ToLines(), history.ToLines());
  std::size_t passedOver = 0;
  const TPickHistory read = TPickHistory::FromLines(
      {L"2|7|C:\\kept", L"x|1|C:\\a", L"1|y|C:\\b", L"1|2", L"0|3|C:\\never picked", L"1|4|", L"1|5|C:\\bell\a",
       L"1|6|c:\\KEPT", L"99999999999999999999|1|C:\\too big", L"3|9|C:\\kept too"},
      &passedOver);
  EXPECT_EQ(read.ToLines(), (std::vector<std::wstring>{L"2|7|C:\\kept", L"3|9|C:\\kept too"}));
  EXPECT_EQ(passedOver, 8u);
  EXPECT_EQ(read.Weight(L"C:\\kept too"), 3u * 1000000u) << "the newest pick has no age";
  EXPECT_EQ(read.Weight(L"C:\\kept"), 2u * 1000000u) << "two picks: fewer later picks than a step take nothing off";

  EXPECT_TRUE(LooksLikeFullPath(L" C:\\Windows "));
  EXPECT_TRUE(LooksLikeFullPath(L"\\\\server\\share"));
  EXPECT_FALSE(LooksLikeFullPath(L"C:"));
  EXPECT_FALSE(LooksLikeFullPath(L"prj"));
  EXPECT_FALSE(LooksLikeFullPath(L"\\\\\\x"));
}

}  // namespace
