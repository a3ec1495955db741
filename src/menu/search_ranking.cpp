#include "menu/search_ranking.h"

#include <algorithm>
#include <cwctype>
#include <unordered_map>

#include "win/text_rules.h"

namespace {

// What a match is worth: each letter, more where it starts a word or a path component (most at
// the very start), more where it follows the letter before it (and more again in a run that began
// at a word start); a gap costs a little, and a long gap no more than a bound. A match in the
// caption, which the user reads, beats one in the path.
constexpr int kLetter = 16;
constexpr int kWordStart = 24;
constexpr int kTextStart = 8;
constexpr int kRun = 16;
constexpr int kRunFromWordStart = 12;
constexpr int kGapOpen = 3;
constexpr int kGapLongest = 10;
constexpr int kCaptionBonus = 8;
// How many places of a word's first letter a match is tried from.
constexpr int kStartsTried = 3;
static_assert(kLetter + kWordStart + kTextStart <= 255, "a letter's score is kept in a byte");
// A pick's weight is its count over its age: it counts half once kAgeStep other picks came after
// it, a third after twice as many, and so on.
constexpr std::uint64_t kWeightScale = 1000000;
constexpr std::uint64_t kAgeStep = 4;
constexpr std::size_t kLongestNumber = 18;

bool IsSeparator(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\\' || c == L'/' || c == L'-' || c == L'_' || c == L'.' || c == L',' ||
         c == L'(' || c == L')' || c == L'[' || c == L']' || c == L':' || c == L'$';
}

// Which of 32 classes of characters the text holds: a quick test that a word can match at all.
std::uint32_t LetterMask(const std::wstring& lowered) {
  std::uint32_t mask = 0;
  for (const wchar_t c : lowered) {
    if (c >= L'a' && c <= L'z')
      mask |= 1u << (c - L'a');
    else if (c >= L'0' && c <= L'9')
      mask |= 1u << 26;
    else if (c > 0x7F)
      mask |= 1u << 27;
  }
  return mask;
}

// A character's next place from `from`, or npos: a plain loop, which the compiler keeps inline (a
// library search per letter costs more than the letter's whole score).
std::size_t FindFrom(const std::wstring& text, wchar_t c, std::size_t from) {
  const wchar_t* data = text.data();
  for (std::size_t i = from; i < text.size(); ++i)
    if (data[i] == c) return i;
  return std::wstring::npos;
}

// One way to place the word's letters in the text from `start`: each next letter where it follows
// at once, else (when `preferStarts`) at the next word start that has it, else at its next place.
// The score, or none where a letter is missing.
std::optional<int> Placed(const std::wstring& word, const std::wstring& text, const TWordStarts& starts,
                          std::size_t start, bool preferStarts) {
  int score = 0;
  std::size_t previous = start;
  bool runFromWordStart = false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    std::size_t at = start;
    if (i > 0) {
      at = std::wstring::npos;
      if (previous + 1 < text.size() && text[previous + 1] == word[i]) at = previous + 1;
      if (at == std::wstring::npos && preferStarts)
        for (std::size_t j = previous + 1; j < text.size() && at == std::wstring::npos; ++j)
          if (starts[j] && text[j] == word[i]) at = j;
      if (at == std::wstring::npos) at = FindFrom(text, word[i], previous + 1);
      if (at == std::wstring::npos) return std::nullopt;
    }
    score += kLetter;
    if (starts[at]) score += kWordStart;
    if (at == 0) score += kTextStart;
    const bool run = i > 0 && at == previous + 1;
    if (run) {
      score += kRun + (runFromWordStart ? kRunFromWordStart : 0);
    } else {
      runFromWordStart = starts[at];
      if (i > 0) score -= std::min<int>(kGapOpen + static_cast<int>(at - previous - 1) - 1, kGapLongest);
    }
    previous = at;
  }
  return score;
}

std::vector<std::wstring> Words(const std::wstring& query) {
  std::vector<std::wstring> words;
  std::wstring word;
  for (const wchar_t c : text::LowerCase(query)) {
    if (c == L' ' || c == L'\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool AllDigits(const std::wstring& text) {
  return !text.empty() && text.size() <= kLongestNumber &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::uint64_t Number(const std::wstring& digits) {
  std::uint64_t value = 0;
  for (const wchar_t c : digits) value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  return value;
}

}  // namespace

TWordStarts WordStarts(const std::wstring& text) {
  TWordStarts starts(text.size(), 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (IsSeparator(c)) continue;
    if (i == 0 || IsSeparator(text[i - 1])) starts[i] = 1;
    if (i > 0 && std::iswupper(c) && std::iswlower(text[i - 1])) starts[i] = 1;
  }
  return starts;
}

std::optional<int> MatchScore(const std::wstring& word, const std::wstring& text, const TWordStarts& starts) {
  if (word.empty()) return 0;
  const std::size_t first = FindFrom(text, word[0], 0);
  if (first == std::wstring::npos) return std::nullopt;
  std::optional<int> best;
  // From the first place of the first letter, and from the next word starts that have it (a few:
  // a long path's every component is not worth a keystroke's time).
  int tried = 0;
  for (std::size_t start = first; start != std::wstring::npos && tried < kStartsTried;
       start = FindFrom(text, word[0], start + 1)) {
    if (start != first && !starts[start]) continue;
    ++tried;
    for (const bool preferStarts : {true, false}) {
      // One letter has one place from a start: the second way would only repeat the first.
      if (!preferStarts && word.size() == 1) break;
      const std::optional<int> score = Placed(word, text, starts, start, preferStarts);
      if (score && (!best || *score > *best)) best = score;
    }
    // Where the first place matches nothing, no later one can.
    if (!best) return std::nullopt;
  }
  return best;
}

bool LooksLikeFullPath(const std::wstring& query) {
  const std::wstring path = text::Trim(query);
  if (path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && text::IsPathSeparator(path[2])) return true;
  return path.size() >= 3 && text::IsPathSeparator(path[0]) && text::IsPathSeparator(path[1]) &&
         !text::IsPathSeparator(path[2]);
}

void TPickHistory::Picked(const std::wstring& path) {
  const std::wstring key = text::LowerCase(path);
  ++serial_;
  const auto found = std::find_if(picks_.begin(), picks_.end(), [&](const TPick& p) { return p.key == key; });
  if (found != picks_.end()) {
    ++found->count;
    found->serial = serial_;
    found->path = path;
  } else {
    picks_.push_back({key, path, 1, serial_});
  }
  Trim();
}

std::uint64_t TPickHistory::Weight(const std::wstring& path) const {
  const std::wstring key = text::LowerCase(path);
  const auto found = std::find_if(picks_.begin(), picks_.end(), [&](const TPick& p) { return p.key == key; });
  if (found == picks_.end()) return 0;
  const std::uint64_t age = serial_ - std::min(found->serial, serial_);
  return found->count * kWeightScale / (1 + age / kAgeStep);
}

std::vector<std::pair<std::wstring, std::uint64_t>> TPickHistory::Weights() const {
  std::vector<std::pair<std::wstring, std::uint64_t>> weights;
  for (const TPick& pick : picks_) weights.emplace_back(pick.key, Weight(pick.path));
  return weights;
}

void TPickHistory::Trim() {
  while (picks_.size() > kKept) {
    const auto lightest = std::min_element(picks_.begin(), picks_.end(), [this](const TPick& a, const TPick& b) {
      return Weight(a.path) < Weight(b.path);
    });
    picks_.erase(lightest);
  }
}

std::vector<std::wstring> TPickHistory::ToLines() const {
  std::vector<std::wstring> lines;
  for (const TPick& pick : picks_)
    lines.push_back(std::to_wstring(pick.count) + L"|" + std::to_wstring(pick.serial) + L"|" + pick.path);
  return lines;
}

TPickHistory TPickHistory::FromLines(const std::vector<std::wstring>& lines, std::size_t* passedOver) {
  TPickHistory history;
  std::size_t refused = 0;
  for (const std::wstring& line : lines) {
    const std::size_t bar = line.find(L'|');
    const std::size_t second = bar == std::wstring::npos ? bar : line.find(L'|', bar + 1);
    if (second == std::wstring::npos || history.picks_.size() >= kKept) {
      ++refused;
      continue;
    }
    const std::wstring count = line.substr(0, bar), serial = line.substr(bar + 1, second - bar - 1);
    const std::wstring path = line.substr(second + 1);
    const std::wstring key = text::LowerCase(path);
    const bool twice =
        std::any_of(history.picks_.begin(), history.picks_.end(), [&](const TPick& p) { return p.key == key; });
    if (!AllDigits(count) || !AllDigits(serial) || Number(count) == 0 || path.empty() ||
        text::HasControlCharacter(path) || twice) {
      ++refused;
      continue;
    }
    history.picks_.push_back({key, path, Number(count), Number(serial)});
    history.serial_ = std::max(history.serial_, Number(serial));
  }
  if (passedOver) *passedOver = refused;
  return history;
}

TSearchIndex::TSearchIndex(std::vector<TSearchEntry> entries) : entries_(std::move(entries)) {
  prepared_.reserve(entries_.size());
  for (const TSearchEntry& entry : entries_) {
    TPrepared prepared;
    prepared.caption = text::LowerCase(entry.caption);
    prepared.path = text::LowerCase(entry.path);
    // Word starts are read from the texts as written: a capital inside a word starts one.
    prepared.captionStarts = WordStarts(entry.caption);
    prepared.pathStarts = WordStarts(entry.path);
    prepared.mask = LetterMask(prepared.caption) | LetterMask(prepared.path);
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
      const std::wstring word(1, letter);
      const auto index = static_cast<std::size_t>(letter - L'a');
      if (const auto score = MatchScore(word, prepared.caption, prepared.captionStarts))
        prepared.captionLetter[index] = static_cast<std::uint8_t>(*score);
      if (const auto score = MatchScore(word, prepared.path, prepared.pathStarts))
        prepared.pathLetter[index] = static_cast<std::uint8_t>(*score);
    }
    prepared_.push_back(std::move(prepared));
  }
  std::vector<std::size_t> byCaption(prepared_.size());
  for (std::size_t i = 0; i < byCaption.size(); ++i) byCaption[i] = i;
  std::stable_sort(byCaption.begin(), byCaption.end(),
                   [this](std::size_t a, std::size_t b) { return prepared_[a].caption < prepared_[b].caption; });
  captionOrder_.resize(byCaption.size());
  for (std::size_t place = 0; place < byCaption.size(); ++place) captionOrder_[byCaption[place]] = place;
}

std::vector<TSearchHit> TSearchIndex::Rank(const std::wstring& query, const TPickHistory& history, std::size_t limit) {
  const std::wstring lowered = text::LowerCase(query);
  const std::vector<std::wstring> words = Words(lowered);
  std::vector<TSearchHit> hits;
  const bool goesOn = lastValid_ && lowered.size() >= lastQuery_.size() && lowered.starts_with(lastQuery_);
  std::vector<std::size_t> candidates;
  if (goesOn) candidates.swap(lastMatches_);
  lastQuery_ = lowered;
  lastValid_ = !words.empty();
  lastMatches_.clear();
  if (words.empty()) return hits;
  if (!goesOn) {
    candidates.resize(prepared_.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) candidates[i] = i;
  }
  std::uint32_t wanted = 0;
  for (const std::wstring& word : words) wanted |= LetterMask(word);
  const bool oneLetter = words.size() == 1 && words[0].size() == 1 && words[0][0] >= L'a' && words[0][0] <= L'z';
  for (const std::size_t i : candidates) {
    const TPrepared& entry = prepared_[i];
    if ((entry.mask & wanted) != wanted) continue;
    if (oneLetter) {
      const auto letter = static_cast<std::size_t>(words[0][0] - L'a');
      const int inCaption = entry.captionLetter[letter], inPath = entry.pathLetter[letter];
      if (inCaption == 0 && inPath == 0) continue;
      hits.push_back({i, std::max(inCaption != 0 ? inCaption + kCaptionBonus : 0, inPath)});
      lastMatches_.push_back(i);
      continue;
    }
    int total = 0;
    bool all = true;
    for (const std::wstring& word : words) {
      const std::optional<int> inCaption = MatchScore(word, entry.caption, entry.captionStarts);
      const std::optional<int> inPath = MatchScore(word, entry.path, entry.pathStarts);
      if (!inCaption && !inPath) {
        all = false;
        break;
      }
      total += std::max(inCaption ? *inCaption + kCaptionBonus : 0, inPath ? *inPath : 0);
    }
    if (all) {
      hits.push_back({i, total});
      lastMatches_.push_back(i);
    }
  }
  if (limit == 0) return {};
  // The picks by path, looked up with the entries' own lower-case paths: nothing is made per hit.
  weights_.resize(prepared_.size(), 0);
  std::vector<std::size_t> weighted;
  if (history.Size() > 0) {
    std::unordered_map<std::wstring, std::uint64_t> byPath;
    for (auto& [key, weight] : history.Weights()) byPath.emplace(std::move(key), weight);
    for (const TSearchHit& hit : hits) {
      const auto found = byPath.find(prepared_[hit.entry].path);
      if (found == byPath.end()) continue;
      weights_[hit.entry] = found->second;
      weighted.push_back(hit.entry);
    }
  }
  const std::vector<std::uint64_t>& weights = weights_;
  const auto better = [&](const TSearchHit& a, const TSearchHit& b) {
    if (a.score != b.score) return a.score > b.score;
    if (weights[a.entry] != weights[b.entry]) return weights[a.entry] > weights[b.entry];
    return captionOrder_[a.entry] < captionOrder_[b.entry];
  };
  const std::size_t kept = std::min(limit, hits.size());
  std::partial_sort(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(kept), hits.end(), better);
  for (const std::size_t entry : weighted) weights_[entry] = 0;
  hits.resize(kept);
  return hits;
}
