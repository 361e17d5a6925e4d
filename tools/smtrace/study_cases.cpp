// The cases of a study and their patterns.
#include <string.h>

#include <cstring>

#include "failure.h"
#include "study.h"
#include "texts/generate.h"

namespace smtrace {
namespace {

// How many times an absent pattern is changed within the text's own bytes
// before a byte that the text lacks is put in.
constexpr int kChangesWithinAlphabet = 64;

uint64_t scramble(uint64_t value) { return sm_texts::Random(value).next(); }

bool occurs(const std::string& text, const std::string& pattern) {
  return memmem(text.data(), text.size(), pattern.data(), pattern.size()) != nullptr;
}

int32_t first_occurrence_in(const std::string& text, const std::string& pattern) {
  const void* found = memmem(text.data(), text.size(), pattern.data(), pattern.size());
  return found == nullptr ? -1
                          : static_cast<int32_t>(static_cast<const char*>(found) - text.data());
}

// A byte that the text lacks: printable ASCII first, then the other 7-bit
// bytes, then the 8-bit ones; -1 when the text holds all 256.
int missing_byte(const std::string& alphabet) {
  bool present[256] = {};
  for (char c : alphabet) present[static_cast<unsigned char>(c)] = true;
  for (int c = 0x21; c < 0x7f; ++c) {
    if (!present[c]) return c;
  }
  for (int c = 0; c < 0x80; ++c) {
    if (!present[c]) return c;
  }
  for (int c = 0x80; c < 0x100; ++c) {
    if (!present[c]) return c;
  }
  return -1;
}

}  // namespace

const char* kind_name(PatternKind kind) {
  return kind == PatternKind::present ? "present" : "absent";
}

uint64_t StudyDefinition::case_count() const {
  return static_cast<uint64_t>(texts.size()) * kinds.size() * lengths.size() *
         static_cast<uint64_t>(patterns);
}

CaseKey case_key(const StudyDefinition& study, uint64_t index) {
  CaseKey key{};
  key.draw = static_cast<int32_t>(index % static_cast<uint64_t>(study.patterns));
  index /= static_cast<uint64_t>(study.patterns);
  key.m = study.lengths[index % study.lengths.size()];
  index /= study.lengths.size();
  key.kind = study.kinds[index % study.kinds.size()];
  index /= study.kinds.size();
  key.text = static_cast<size_t>(index);
  return key;
}

std::string alphabet_of(const std::string& text) {
  bool present[256] = {};
  for (char c : text) present[static_cast<unsigned char>(c)] = true;
  std::string alphabet;
  for (int c = 0; c < 256; ++c) {
    if (present[c]) alphabet += static_cast<char>(c);
  }
  return alphabet;
}

void draw_pattern(const StudyDefinition& study, uint64_t index, const std::string& alphabet,
                  CaseResult& result) {
  const CaseKey key = case_key(study, index);
  const StudyText& text = study.texts[key.text];
  const auto n = static_cast<int64_t>(text.bytes.size());
  // The draw depends on the seed, the text's bytes, the length and the draw
  // number only: the present and the absent case of one draw start from the
  // same piece of text, and neither the other texts nor the shard matter.
  uint64_t state = scramble(study.seed);
  state = scramble(state ^ text.hash);
  state = scramble(state ^ static_cast<uint64_t>(key.m));
  state = scramble(state ^ static_cast<uint64_t>(key.draw));
  sm_texts::Random random(state);

  result.index = index;
  result.position = static_cast<int32_t>(random.below(static_cast<uint32_t>(n - key.m + 1)));
  result.pattern = text.bytes.substr(static_cast<size_t>(result.position), static_cast<size_t>(key.m));
  if (key.kind == PatternKind::present) {
    result.first = first_occurrence_in(text.bytes, result.pattern);
    return;
  }
  // Absent: change one byte at a time, at a random place, to another byte of
  // the text, until the pattern occurs nowhere; if that takes too long (all
  // short strings over a small alphabet occur in a long text), put in a byte
  // the text lacks.
  const auto letters = static_cast<uint32_t>(alphabet.size());
  bool absent = false;
  for (int change = 0; change < kChangesWithinAlphabet && letters > 1 && !absent; ++change) {
    char& c = result.pattern[random.below(static_cast<uint32_t>(key.m))];
    const auto at = static_cast<uint32_t>(alphabet.find(c));
    c = alphabet[(at + 1 + random.below(letters - 1)) % letters];
    absent = !occurs(text.bytes, result.pattern);
  }
  if (!absent) {
    const int byte = missing_byte(alphabet);
    if (byte < 0) {
      throw Failure(kRefusedInput, "no pattern of length " + std::to_string(key.m) +
                                       " found absent from the text " + text.name +
                                       ", which holds every byte value");
    }
    result.pattern[random.below(static_cast<uint32_t>(key.m))] = static_cast<char>(byte);
    // Absent by construction, and checked against the text all the same.
    if (occurs(text.bytes, result.pattern)) {
      throw Failure(kRefusedInput, "an absent pattern was found in the text " + text.name);
    }
  }
  result.first = -1;
}

}  // namespace smtrace
