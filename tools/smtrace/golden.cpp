#include "golden.h"

#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

#include "algorithms.h"
#include "failure.h"
#include "library.h"
#include "verify.h"

namespace smtrace {
namespace {

// A JSON value on one line, read as far as golden files need: objects,
// arrays, strings of bytes, integers; true, false and null are skipped.
class LineParser {
 public:
  LineParser(std::string_view line, const std::string& where) : line_(line), where_(where) {}

  GoldenCase parse_case() {
    GoldenCase golden;
    bool pattern = false;
    bool text = false;
    expect('{');
    if (!take('}')) {
      do {
        const std::string key = string();
        expect(':');
        if (key == "pattern") {
          golden.c.pattern = string();
          pattern = true;
        } else if (key == "text") {
          golden.c.text = string();
          text = true;
        } else if (key == "family") {
          golden.c.family = string();
        } else if (key == "trace") {
          golden.trace = positions();
        } else {
          skip_value();
        }
      } while (take(','));
      expect('}');
    }
    space();
    if (at_ < line_.size()) fail("text after the object");
    if (!pattern) fail("no \"pattern\"");
    if (!text) fail("no \"text\"");
    if (golden.c.family.empty()) golden.c.family = "file";
    return golden;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw Failure(kUnreadableFile, where_ + ": " + what + " (at column " +
                                       std::to_string(at_ + 1) + ")");
  }
  void space() {
    while (at_ < line_.size() && std::strchr(" \t\r\n", line_[at_]) != nullptr) ++at_;
  }
  bool take(char c) {
    space();
    if (at_ < line_.size() && line_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected '") + c + "'");
  }
  int hex_digit(char c) const {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    fail("a \\u escape needs four hexadecimal digits");
  }
  std::string string() {
    expect('"');
    std::string out;
    for (;;) {
      if (at_ >= line_.size()) fail("the string does not end");
      const auto c = static_cast<unsigned char>(line_[at_++]);
      if (c == '"') return out;
      if (c < 0x20) fail("a control character in a string; write it as \\u00XX");
      if (c >= 0x80) fail("a byte of 128 or more in a string; write it as \\u00XX");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= line_.size()) fail("the string does not end");
      const char escape = line_[at_++];
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (at_ + 4 > line_.size()) fail("a \\u escape needs four hexadecimal digits");
          int value = 0;
          for (int k = 0; k < 4; ++k) value = value * 16 + hex_digit(line_[at_++]);
          if (value > 0xff) fail("\\u" + std::string(line_.substr(at_ - 4, 4)) + " is not a byte");
          out += static_cast<char>(value);
          break;
        }
        default:
          fail(std::string("unknown escape \\") + escape);
      }
    }
  }
  int64_t integer() {
    space();
    const size_t start = at_;
    if (at_ < line_.size() && line_[at_] == '-') ++at_;
    const size_t digits = at_;
    while (at_ < line_.size() && line_[at_] >= '0' && line_[at_] <= '9') ++at_;
    if (at_ == digits) fail("expected an integer");
    if (at_ - digits > 18) fail("a position beyond 32 bits");
    const int64_t value = std::strtoll(std::string(line_.substr(start, at_ - start)).c_str(),
                                       nullptr, 10);
    if (at_ < line_.size() && std::strchr(".eE", line_[at_]) != nullptr) fail("expected an integer");
    return value;
  }
  std::vector<int32_t> positions() {
    std::vector<int32_t> out;
    expect('[');
    if (take(']')) return out;
    do {
      const int64_t value = integer();
      if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        fail("a position beyond 32 bits");
      }
      out.push_back(static_cast<int32_t>(value));
    } while (take(','));
    expect(']');
    return out;
  }
  void skip_value() {
    space();
    if (at_ >= line_.size()) fail("expected a value");
    const char c = line_[at_];
    if (c == '"') {
      string();
    } else if (c == '[' || c == '{') {
      const char close = c == '[' ? ']' : '}';
      ++at_;
      if (take(close)) return;
      do {
        if (c == '{') {
          string();
          expect(':');
        }
        skip_value();
      } while (take(','));
      expect(close);
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      ++at_;
      while (at_ < line_.size() && std::strchr("0123456789.eE+-", line_[at_]) != nullptr) ++at_;
    } else {
      for (const char* word : {"true", "false", "null"}) {
        if (line_.substr(at_, std::strlen(word)) == word) {
          at_ += std::strlen(word);
          return;
        }
      }
      fail("expected a value");
    }
  }

  std::string_view line_;
  std::string where_;
  size_t at_ = 0;
};

}  // namespace

std::string json_bytes(std::string_view bytes) {
  std::string out = "\"";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c >= 0x20 && c < 0x7f) {
      out += ch;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    }
  }
  return out + "\"";
}

std::string golden_line(const Case& c, const std::vector<int32_t>& trace) {
  std::string line = "{\"family\":" + json_bytes(c.family) + ",\"pattern\":" +
                     json_bytes(c.pattern) + ",\"text\":" + json_bytes(c.text) + ",\"trace\":[";
  for (size_t k = 0; k < trace.size(); ++k) {
    if (k > 0) line += ',';
    line += std::to_string(trace[k]);
  }
  return line + "]}\n";
}

std::vector<GoldenCase> read_golden(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw Failure(kUnreadableFile,
                  "cannot read the cases file " + path + ": " + std::strerror(errno));
  }
  std::vector<GoldenCase> cases;
  std::string line;
  int64_t number = 0;
  while (std::getline(file, line)) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    LineParser parser(line, path + " line " + std::to_string(number));
    GoldenCase golden = parser.parse_case();
    golden.line = number;
    cases.push_back(std::move(golden));
  }
  if (file.bad()) {
    throw Failure(kUnreadableFile, "cannot read the cases file " + path);
  }
  return cases;
}

int golden_command(int argc, char** argv) {
  std::vector<std::string> operands;
  int64_t count = 100;
  uint64_t seed = kDefaultSeed;
  int64_t longest_text = kDefaultLongestText;
  std::optional<std::string> output;
  bool options = true;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
      continue;
    }
    if (options && (arg == "--help" || arg == "-h")) {
      Output::standard().write(verify_help());
      return kOk;
    }
    if (!options || arg.rfind("--", 0) != 0) {
      operands.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (name != "--cases" && name != "--seed" && name != "--max-text" && name != "--output") {
      throw Failure(kUsage, "golden: unknown option " + name);
    }
    const std::string value = option_value(arg, equals, i, argc, argv);
    if (name == "--cases") count = count_option(name, value, 0, 10000000);
    if (name == "--seed") seed = seed_option(value);
    if (name == "--max-text") longest_text = count_option(name, value, 0, kLongestTextOption);
    if (name == "--output") {
      if (value.empty()) throw Failure(kUsage, "--output needs a non-empty path");
      output = value;
    }
  }
  if (operands.size() != 1) {
    throw Failure(kUsage, "golden takes the operand ALGORITHM; " +
                              std::to_string(operands.size()) + " given");
  }
  const Algorithm* algorithm = find_algorithm(operands[0]);
  if (algorithm == nullptr) {
    throw Failure(kUnknownAlgorithm, "unknown algorithm \"" + operands[0] + "\"");
  }
  CaseLimits limits;
  limits.shortest_pattern = shortest_case_pattern(algorithm->name);
  limits.longest_text = static_cast<int32_t>(longest_text);
  const Library reference(*algorithm, library_directory());
  std::string content;
  for (const Case& c : generate_cases(seed, count, limits)) {
    content += golden_line(c, reference.search(c.pattern, c.text));
  }
  write_output_file(output ? *output : "-", content, "golden");
  return kOk;
}

}  // namespace smtrace
