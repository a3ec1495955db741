// The search box's matching and ranking: every word typed must match, its letters in order, in an
// entry's caption or path, case-blind ("prj" finds "Projects"); a match scores higher where its
// letters start words or path components and run together. Entries rank by that score, then by
// how recently and how often the user picked them, then by caption. The picks are kept as a
// bounded list that the registry stores as text. Portable, no system calls; main thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Where an entry of the search comes from; Folder is a full path the user typed.
enum class TSearchSource { Favourite, RecentFolder, RecentFile, OpenFolder, Filter, Folder };

struct TSearchEntry {
  std::wstring caption;
  std::wstring path;  // a folder, a file, or a filter's masks
  TSearchSource source = TSearchSource::Favourite;
};

// Where words start in a text, one flag a character (bytes, not bits: they are read at every
// keystroke).
using TWordStarts = std::vector<unsigned char>;

// One keystroke's answer: an entry by its place in the index, and its score.
struct TSearchHit {
  std::size_t entry = 0;
  int score = 0;
  friend bool operator==(const TSearchHit&, const TSearchHit&) = default;
};

// The user's picks from the search: per entry (by its path, case-blind) how often and when (a
// number that grows with every pick), at most kKept of them, the least used going first.
class TPickHistory {
 public:
  static constexpr std::size_t kKept = 200;
  void Picked(const std::wstring& path);
  // How recently and how often `path` was picked, as one number: 0 for never; a pick counts less
  // the more picks came after it.
  std::uint64_t Weight(const std::wstring& path) const;
  // Every pick's path in lower case with its weight.
  std::vector<std::pair<std::wstring, std::uint64_t>> Weights() const;
  // As the registry keeps it: one line per pick, "count|serial|path". A line that does not read
  // so (a count or serial that is no number, a path with a control character, too many lines) is
  // passed over; `passedOver` (when given) counts them.
  std::vector<std::wstring> ToLines() const;
  static TPickHistory FromLines(const std::vector<std::wstring>& lines, std::size_t* passedOver = nullptr);
  std::size_t Size() const { return picks_.size(); }

 private:
  struct TPick {
    std::wstring key;  // the path, lower case
    std::wstring path;
    std::uint64_t count = 0;
    std::uint64_t serial = 0;
  };
  void Trim();
  std::vector<TPick> picks_;
  std::uint64_t serial_ = 0;
};

// The entries of one search, their texts prepared once, so each keystroke only compares.
class TSearchIndex {
 public:
  explicit TSearchIndex(std::vector<TSearchEntry> entries);
  const std::vector<TSearchEntry>& Entries() const { return entries_; }
  // The entries every word of `query` matches, best first, at most `limit`. An empty query
  // matches nothing. A query that goes on from the one before (the user typed one more letter)
  // looks only at the entries that one matched: none of the others can match it.
  std::vector<TSearchHit> Rank(const std::wstring& query, const TPickHistory& history, std::size_t limit);

 private:
  struct TPrepared {
    std::wstring caption;       // lower case
    std::wstring path;          // lower case
    TWordStarts captionStarts;  // where a word starts in the caption
    TWordStarts pathStarts;     // where a word or a path component starts in the path
    std::uint32_t mask = 0;     // the classes of letters in both
    // The score of each letter a to z alone in the caption and in the path (0: not there): the
    // first keystroke, which looks at every entry, reads it here.
    std::array<std::uint8_t, 26> captionLetter{};
    std::array<std::uint8_t, 26> pathLetter{};
  };
  std::vector<TSearchEntry> entries_;
  std::vector<TPrepared> prepared_;
  // Each entry's place among all in caption order, so that equal scores compare as numbers.
  std::vector<std::size_t> captionOrder_;
  // Each entry's pick weight for the keystroke being ranked, kept between keystrokes (all 0 but
  // while ranking).
  std::vector<std::uint64_t> weights_;
  // The last query, lower case, and every entry it matched.
  std::wstring lastQuery_;
  std::vector<std::size_t> lastMatches_;
  bool lastValid_ = false;
};

// The score of one word (lower case) against a text (lower case) with its word starts, or none
// when the word's letters do not all occur in it in order.
std::optional<int> MatchScore(const std::wstring& word, const std::wstring& text, const TWordStarts& starts);
// Where words start in a text: its first character, one after a blank or a separator
// (\ / - _ . and the like), and an upper-case letter after a lower-case one.
TWordStarts WordStarts(const std::wstring& text);
// Whether the query, trimmed, is a full path (a drive and a separator, or a share's double
// separator): the box then offers that folder first, where it exists.
bool LooksLikeFullPath(const std::wstring& query);
