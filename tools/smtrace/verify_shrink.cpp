#include "verify_shrink.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace smtrace {
namespace {

// How simple a byte is: the letters a to z, then A to Z, the digits, the
// other printable characters, the control characters.
int rank(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return 26 + (c - 'A');
  if (c >= '0' && c <= '9') return 52 + (c - '0');
  if (c >= 0x20 && c < 0x7f) return 62 + c;
  return 62 + 128 + c;
}

// The replacements tried for a byte, simplest first: a few letters.
std::string simpler_than(unsigned char c, size_t how_many) {
  std::string out;
  for (char d = 'a'; d <= 'z' && out.size() < how_many; ++d) {
    if (rank(static_cast<unsigned char>(d)) < rank(c)) out += d;
  }
  return out;
}

class Search {
 public:
  Search(Case start, int32_t shortest, int64_t budget,
         const std::function<bool(const Case&)>& diverges)
      : current_(std::move(start)), shortest_(shortest), budget_(budget), diverges_(diverges) {
    tried_.insert({current_.pattern, current_.text});
  }

  Shrunk run() {
    bool changed = true;
    while (changed && !out_of_runs()) {
      changed = false;
      changed |= drop_pieces(false);
      changed |= drop_pieces(true);
      changed |= replace_everywhere();
      changed |= replace_at_places();
      // A case can need a character of each dropped at once (a window
      // that must keep its place in the text): tried when nothing else helps.
      if (!changed) changed = drop_pairs();
    }
    return {current_, runs_, out_of_runs()};
  }

 private:
  bool out_of_runs() const { return runs_ >= budget_; }

  // Tries the candidate once; keeps it when it still diverges.
  bool attempt(Case candidate) {
    if (out_of_runs()) return false;
    if (!tried_.insert({candidate.pattern, candidate.text}).second) return false;
    ++runs_;
    if (!diverges_(candidate)) return false;
    current_ = std::move(candidate);
    return true;
  }

  // Drops pieces of the pattern or the text: pieces of half its length,
  // then a quarter, ... down to single characters.
  bool drop_pieces(bool in_pattern) {
    bool changed = false;
    const auto word = [&]() -> std::string& { return in_pattern ? current_.pattern : current_.text; };
    const size_t floor = in_pattern ? static_cast<size_t>(shortest_) : 0;
    for (size_t size = std::max<size_t>(word().size() / 2, 1); size >= 1; size /= 2) {
      size_t at = 0;
      while (at + size <= word().size() && word().size() - size >= floor) {
        Case candidate = current_;
        (in_pattern ? candidate.pattern : candidate.text).erase(at, size);
        if (attempt(std::move(candidate))) {
          changed = true;
        } else {
          at += size;
        }
        if (out_of_runs()) return changed;
      }
      if (size == 1) break;
    }
    return changed;
  }

  // Drops one character of the pattern and one of the text together.
  bool drop_pairs() {
    const size_t m = current_.pattern.size();
    const size_t n = current_.text.size();
    if (m <= static_cast<size_t>(shortest_) || n == 0 || m * n > 4000) return false;
    for (size_t i = 0; i < m; ++i) {
      for (size_t k = 0; k < n; ++k) {
        Case candidate = current_;
        candidate.pattern.erase(i, 1);
        candidate.text.erase(k, 1);
        if (attempt(std::move(candidate))) return true;
        if (out_of_runs()) return false;
      }
    }
    return false;
  }

  // Replaces one byte by a simpler one in the pattern and the text at once.
  bool replace_everywhere() {
    bool changed = false;
    std::set<unsigned char> bytes;
    for (const char c : current_.pattern + current_.text) bytes.insert(static_cast<unsigned char>(c));
    for (const unsigned char c : bytes) {
      for (const char d : simpler_than(c, 4)) {
        Case candidate = current_;
        for (char& b : candidate.pattern) b = static_cast<unsigned char>(b) == c ? d : b;
        for (char& b : candidate.text) b = static_cast<unsigned char>(b) == c ? d : b;
        if (attempt(std::move(candidate))) {
          changed = true;
          break;
        }
        if (out_of_runs()) return changed;
      }
    }
    return changed;
  }

  // Replaces single bytes, in the pattern first, by simpler ones.
  bool replace_at_places() {
    bool changed = false;
    for (const bool in_pattern : {true, false}) {
      const size_t size = (in_pattern ? current_.pattern : current_.text).size();
      for (size_t at = 0; at < size; ++at) {
        const auto c = static_cast<unsigned char>((in_pattern ? current_.pattern : current_.text)[at]);
        for (const char d : simpler_than(c, 3)) {
          Case candidate = current_;
          (in_pattern ? candidate.pattern : candidate.text)[at] = d;
          if (attempt(std::move(candidate))) {
            changed = true;
            break;
          }
          if (out_of_runs()) return changed;
        }
      }
    }
    return changed;
  }

  Case current_;
  int32_t shortest_;
  int64_t budget_;
  const std::function<bool(const Case&)>& diverges_;
  std::set<std::pair<std::string, std::string>> tried_;
  int64_t runs_ = 0;
};

}  // namespace

Shrunk shrink(const Case& start, int32_t shortest_pattern, int64_t budget,
              const std::function<bool(const Case&)>& diverges) {
  return Search(start, shortest_pattern, budget, diverges).run();
}

}  // namespace smtrace
