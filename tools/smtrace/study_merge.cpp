// Reading a study's JSON back, and putting the parts of a sharded study
// together.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "failure.h"
#include "study.h"

namespace smtrace {
namespace {

// A parsed JSON value. Strings hold bytes: \u00XX stands for the byte XX, as
// smtrace writes them.
struct Value {
  enum Type { null, boolean, number, string, array, object } type = null;
  bool truth = false;
  std::string text;  // a string's bytes, or a number as written
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> members;

  const Value* find(const char* key) const {
    for (const auto& [name, value] : members) {
      if (name == key) return &value;
    }
    return nullptr;
  }
};

class Parser {
 public:
  Parser(const std::string& json, const std::string& file) : json_(json), file_(file) {}

  Value document() {
    Value value = parse();
    skip_space();
    if (at_ != json_.size()) fail("text after the end of the document");
    return value;
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw Failure(kUnreadableFile, file_ + " is not a study's JSON: " + what + " at byte " +
                                       std::to_string(at_));
  }

 private:
  void skip_space() {
    while (at_ < json_.size() && std::strchr(" \t\r\n", json_[at_]) != nullptr && json_[at_] != 0) ++at_;
  }

  bool take(char c) {
    skip_space();
    if (at_ < json_.size() && json_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  void expect(char c) {
    if (!take(c)) fail(std::string("'") + c + "' expected");
  }

  Value parse() {
    if (++depth_ > 64) fail("nesting too deep");
    skip_space();
    if (at_ >= json_.size()) fail("unexpected end");
    Value value;
    const char c = json_[at_];
    if (c == '{') {
      ++at_;
      value.type = Value::object;
      if (!take('}')) {
        do {
          skip_space();
          std::string key = string();
          expect(':');
          value.members.emplace_back(std::move(key), parse());
        } while (take(','));
        expect('}');
      }
    } else if (c == '[') {
      ++at_;
      value.type = Value::array;
      if (!take(']')) {
        do value.items.push_back(parse());
        while (take(','));
        expect(']');
      }
    } else if (c == '"') {
      value.type = Value::string;
      value.text = string();
    } else if (word("true")) {
      value.type = Value::boolean;
      value.truth = true;
    } else if (word("false")) {
      value.type = Value::boolean;
    } else if (word("null")) {
      value.type = Value::null;
    } else {
      const size_t start = at_;
      while (at_ < json_.size() && std::strchr("+-.0123456789eE", json_[at_]) != nullptr &&
             json_[at_] != 0) {
        ++at_;
      }
      if (start == at_) fail("a value expected");
      value.type = Value::number;
      value.text = json_.substr(start, at_ - start);
    }
    --depth_;
    return value;
  }

  bool word(const char* w) {
    const size_t length = std::strlen(w);
    if (json_.compare(at_, length, w) != 0) return false;
    at_ += length;
    return true;
  }

  std::string string() {
    if (at_ >= json_.size() || json_[at_] != '"') fail("a string expected");
    ++at_;
    std::string out;
    for (;;) {
      if (at_ >= json_.size()) fail("unterminated string");
      const char c = json_[at_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= json_.size()) fail("unterminated string");
      const char e = json_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code = 0;
          if (at_ + 4 > json_.size()) fail("a short \\u escape");
          const auto done = std::from_chars(json_.data() + at_, json_.data() + at_ + 4, code, 16);
          if (done.ptr != json_.data() + at_ + 4) fail("a bad \\u escape");
          if (code > 0xff) fail("a \\u escape beyond a byte");
          out += static_cast<char>(code);
          at_ += 4;
          break;
        }
        default:
          fail("a bad escape");
      }
    }
  }

  const std::string& json_;
  const std::string& file_;
  size_t at_ = 0;
  int depth_ = 0;
};

class Reader {
 public:
  Reader(const Parser& parser) : parser_(parser) {}

  const Value& member(const Value& object, const char* key, Value::Type type) const {
    if (object.type != Value::object) parser_.fail(std::string("an object expected around ") + key);
    const Value* value = object.find(key);
    if (value == nullptr) parser_.fail(std::string("\"") + key + "\" missing");
    if (value->type != type) parser_.fail(std::string("\"") + key + "\" of the wrong type");
    return *value;
  }

  int64_t integer(const Value& value, const char* what) const {
    int64_t out = 0;
    const auto done =
        std::from_chars(value.text.data(), value.text.data() + value.text.size(), out);
    if (value.type != Value::number || done.ptr != value.text.data() + value.text.size()) {
      parser_.fail(std::string("\"") + what + "\" is not an integer");
    }
    return out;
  }

  uint64_t unsigned_integer(const Value& value, const char* what) const {
    uint64_t out = 0;
    const auto done =
        std::from_chars(value.text.data(), value.text.data() + value.text.size(), out);
    if (value.type != Value::number || done.ptr != value.text.data() + value.text.size()) {
      parser_.fail(std::string("\"") + what + "\" is not an unsigned integer");
    }
    return out;
  }

  int64_t integer_member(const Value& object, const char* key) const {
    return integer(member(object, key, Value::number), key);
  }

  PatternKind kind(const Value& value) const {
    if (value.type == Value::string && value.text == "present") return PatternKind::present;
    if (value.type == Value::string && value.text == "absent") return PatternKind::absent;
    parser_.fail("a kind is neither \"present\" nor \"absent\"");
  }

  [[noreturn]] void fail(const std::string& what) const { parser_.fail(what); }

 private:
  const Parser& parser_;
};

bool same_definition(const StudyDefinition& a, const StudyDefinition& b) {
  if (a.texts.size() != b.texts.size()) return false;
  for (size_t t = 0; t < a.texts.size(); ++t) {
    if (a.texts[t].name != b.texts[t].name || a.texts[t].length != b.texts[t].length ||
        a.texts[t].hash != b.texts[t].hash) {
      return false;
    }
  }
  return a.kinds == b.kinds && a.lengths == b.lengths && a.patterns == b.patterns &&
         a.seed == b.seed;
}

}  // namespace

StudyResult read_study_json(const std::string& json, const std::string& file) {
  Parser parser(json, file);
  const Value document = parser.document();
  const Reader r(parser);
  const Value& format = r.member(document, "format", Value::string);
  if (format.text != "smtrace study 1") r.fail("format \"" + format.text + "\" is not known");

  StudyResult result;
  StudyDefinition& study = result.study;
  const Value& definition = r.member(document, "study", Value::object);
  for (const Value& text : r.member(definition, "texts", Value::array).items) {
    StudyText t;
    t.name = r.member(text, "name", Value::string).text;
    t.length = r.integer_member(text, "length");
    const std::string& hash = r.member(text, "fnv1a64", Value::string).text;
    const auto done = std::from_chars(hash.data(), hash.data() + hash.size(), t.hash, 16);
    if (hash.size() != 16 || done.ptr != hash.data() + hash.size()) r.fail("a bad text hash");
    study.texts.push_back(std::move(t));
  }
  for (const Value& kind : r.member(definition, "kinds", Value::array).items) {
    study.kinds.push_back(r.kind(kind));
  }
  for (const Value& length : r.member(definition, "lengths", Value::array).items) {
    const int64_t m = r.integer(length, "lengths");
    if (m < 1 || m > INT32_MAX) r.fail("a pattern length out of range");
    study.lengths.push_back(static_cast<int32_t>(m));
  }
  const int64_t patterns = r.integer_member(definition, "patterns");
  if (patterns < 1 || patterns > INT32_MAX) r.fail("\"patterns\" out of range");
  study.patterns = static_cast<int32_t>(patterns);
  study.seed = r.unsigned_integer(r.member(definition, "seed", Value::number), "seed");
  const Value& algorithms = r.member(definition, "algorithms", Value::array);
  bool same_algorithms = algorithms.items.size() == SMTRACE_ALGORITHM_COUNT;
  for (size_t a = 0; same_algorithms && a < algorithms.items.size(); ++a) {
    same_algorithms = algorithms.items[a].type == Value::string &&
                      algorithms.items[a].text == kAlgorithms.begin()[a].name;
  }
  if (!same_algorithms) r.fail("the study's algorithms are not this smtrace's");
  if (study.texts.empty() || study.kinds.empty() || study.lengths.empty()) {
    r.fail("a study without texts, kinds or lengths");
  }

  if (const Value* shard = document.find("shard")) {
    const int64_t index = r.integer_member(*shard, "index");
    const int64_t count = r.integer_member(*shard, "count");
    if (count < 2 || index < 1 || index > count || count > kMostShards) r.fail("a bad shard");
    result.shard = Shard{static_cast<uint32_t>(index), static_cast<uint32_t>(count)};
  }

  const uint64_t total = study.case_count();
  for (const Value& c : r.member(document, "cases", Value::array).items) {
    CaseResult one;
    const int64_t index = r.integer_member(c, "case");
    if (index < 0 || static_cast<uint64_t>(index) >= total) r.fail("a case index out of range");
    one.index = static_cast<uint64_t>(index);
    const CaseKey key = case_key(study, one.index);
    if (r.integer_member(c, "text") != static_cast<int64_t>(key.text) ||
        r.kind(r.member(c, "kind", Value::string)) != key.kind ||
        r.integer_member(c, "m") != key.m || r.integer_member(c, "draw") != key.draw) {
      r.fail("case " + std::to_string(index) + " is not where its index puts it");
    }
    if (!result.shard.holds(one.index)) {
      r.fail("case " + std::to_string(index) + " is not in this file's shard");
    }
    one.position = static_cast<int32_t>(r.integer_member(c, "position"));
    one.first = static_cast<int32_t>(r.integer_member(c, "first"));
    one.pattern = r.member(c, "pattern", Value::string).text;
    if (one.pattern.size() != static_cast<size_t>(key.m)) r.fail("a pattern of the wrong length");
    const Value& figures = r.member(c, "figures", Value::object);
    size_t a = 0;
    for (const Algorithm& algorithm : kAlgorithms) {
      const Value& f = r.member(figures, algorithm.name, Value::object);
      CaseFigures& out = one.figures[a++];
      if (const Value* refused = f.find("refused")) {
        if (refused->type != Value::boolean || !refused->truth) r.fail("a bad \"refused\"");
        out.refused = true;
        continue;
      }
      out.reads = r.integer_member(f, "reads");
      out.compares = r.integer_member(f, "compares");
      out.look_aheads = r.integer_member(f, "look_aheads");
      out.dropped = r.integer_member(f, "dropped");
      out.occurrence = static_cast<int32_t>(r.integer_member(f, "occurrence"));
    }
    if (!result.cases.empty() && result.cases.back().index >= one.index) {
      r.fail("the cases are not in increasing order");
    }
    result.cases.push_back(std::move(one));
  }
  return result;
}

StudyResult merge_parts(std::vector<StudyResult> parts, const std::vector<std::string>& files) {
  auto refuse = [](const std::string& what) { return Failure(kRefusedInput, what); };
  if (parts.empty()) throw Failure(kUsage, "study merge needs the parts' JSON files");
  const uint32_t count = parts[0].shard.count;
  std::vector<int> seen(count + 1, -1);
  for (size_t p = 0; p < parts.size(); ++p) {
    if (!same_definition(parts[p].study, parts[0].study)) {
      throw refuse(files[p] + " is a part of another study than " + files[0]);
    }
    if (parts[p].shard.count != count) {
      throw refuse(files[p] + " is part " + std::to_string(parts[p].shard.index) + " of " +
                   std::to_string(parts[p].shard.count) + ", " + files[0] + " part " +
                   std::to_string(parts[0].shard.index) + " of " + std::to_string(count));
    }
    const uint32_t index = parts[p].shard.index;
    if (seen[index] >= 0) {
      throw refuse(files[p] + " and " + files[static_cast<size_t>(seen[index])] + " are both part " +
                   std::to_string(index) + " of " + std::to_string(count));
    }
    seen[index] = static_cast<int>(p);
  }
  std::string missing;
  for (uint32_t k = 1; k <= count; ++k) {
    if (seen[k] < 0) missing += (missing.empty() ? "" : ", ") + std::to_string(k);
  }
  if (!missing.empty()) {
    throw refuse("the study's part" + std::string(missing.find(',') == std::string::npos ? " " : "s ") +
                 missing + " of " + std::to_string(count) + " missing");
  }
  StudyResult merged;
  merged.study = std::move(parts[0].study);
  const uint64_t total = merged.study.case_count();
  merged.cases.resize(total);
  std::vector<bool> have(total);
  for (StudyResult& part : parts) {
    for (CaseResult& c : part.cases) {
      have[c.index] = true;
      merged.cases[c.index] = std::move(c);
    }
  }
  for (uint64_t i = 0; i < total; ++i) {
    if (!have[i]) {
      throw refuse("case " + std::to_string(i) + " is missing from part " +
                   std::to_string(i % count + 1) + " (" +
                   files[static_cast<size_t>(seen[i % count + 1])] + ")");
    }
  }
  return merged;
}

}  // namespace smtrace
