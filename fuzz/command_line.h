// The checks of the command-line fuzz target: every library's main (and so the
// turbo_reverse_factor program's units, through libturbo_reverse_factor.so)
// given arbitrary operands.
//
// Input layout: byte 0 chooses the library, byte 1 the operand count
// (argc 0, 1, 2, 3 or 4; mostly 3; with its four high bits set, pattern
// bytes are taken as given, otherwise modulo 128), byte 2 the pattern's length L (mostly
// 0 to 21); L bytes of pattern follow, and the rest is split at zero bytes
// into the text, a fourth operand and the program name (the library's name
// when absent). An operand ends at its first zero byte. Each operand is its own heap block of exactly its
// length plus the terminating zero, so reading past an operand is reported.
//
// The documented outcomes, one of which every input must give:
//   argc < 3                 "<program> pattern text\n", status 2
//   pattern longer than 19   "Error: Pattern too large.\n", status 1
//   refused pattern byte     "Error: Pattern character out of range.\n", status 1
//   otherwise                the trace line, status 0: it is exactly the
//                            trace that the library road gives for the same
//                            operands (whose properties the library-road
//                            targets check), printed "%d " per position, "\n"
//
// The two fatal outcomes end the process, so those inputs run in a forked
// child (fuzz/harness.h). The others run in this process, for coverage, after
// resetting the library's recorder to the state of a fresh process (empty
// trace, no bound, no window), with standard output sent to a memory file:
// an unforeseen exit there is a finding too (libFuzzer reports "fuzz target
// exited").
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "support/trace_properties.h"

namespace sm_fuzz {
namespace command_line {

struct Operands {
  std::vector<std::unique_ptr<Exact>> blocks;
  std::vector<char*> argv;
  std::vector<std::string> text;  // the same operands as strings
};

inline Operands parse(const Library& lib, const uint8_t* data, size_t size) {
  static const int kCounts[8] = {0, 1, 2, 3, 3, 3, 3, 4};
  auto at = [&](size_t k) -> uint8_t { return k < size ? data[k] : 0; };
  const int argc = kCounts[at(1) % 8];
  // Mostly patterns around the command line's limit of 19, sometimes longer
  // (those, like refused ones, need a child process, which costs time).
  const size_t length = at(2) < 240 ? at(2) % 22 : at(2);
  const char* bytes = reinterpret_cast<const char*>(data);
  const size_t start = std::min<size_t>(3, size);
  const size_t middle = std::min(size, start + length);
  // An operand ends at its first zero byte, as a C string does.
  std::string pattern(bytes + start, middle - start);
  // Pattern bytes of 128 or more (refused by most libraries) only when byte
  // 1 asks for them, so that most inputs reach a search.
  if ((at(1) & 0xf0) != 0xf0) {
    for (char& c : pattern) c = static_cast<char>(c & 0x7f);
  }
  pattern.resize(std::strlen(pattern.c_str()));
  std::vector<std::string> fields;
  std::string field;
  for (size_t k = middle; k < size && fields.size() < 3; ++k) {
    if (data[k] == 0) {
      fields.push_back(field);
      field.clear();
    } else {
      field.push_back(static_cast<char>(data[k]));
    }
  }
  if (fields.size() < 3) fields.push_back(field);
  fields.resize(3);
  const std::string program = fields[2].empty() ? lib.routine->library : fields[2];
  const std::vector<std::string> all = {program, pattern, fields[0], fields[1]};
  Operands ops;
  for (int k = 0; k < argc; ++k) {
    const std::string& arg = all[static_cast<size_t>(k)];
    ops.text.push_back(arg);
    ops.blocks.push_back(std::make_unique<Exact>(arg.size() + 1));
    std::memcpy(ops.blocks.back()->data(), arg.c_str(), arg.size() + 1);
    ops.argv.push_back(ops.blocks.back()->data());
  }
  ops.argv.push_back(nullptr);
  return ops;
}

// Calls main in this process with standard output going to the memory file.
inline Outcome in_process(const Library& lib, int captured, Operands& ops) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  if (ftruncate(captured, 0) != 0 || lseek(captured, 0, SEEK_SET) != 0) fail("memory file");
  dup2(captured, STDOUT_FILENO);
  Outcome got;
  got.status = lib.main(static_cast<int>(ops.argv.size()) - 1, ops.argv.data());
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  const off_t length = lseek(captured, 0, SEEK_CUR);
  got.out.resize(static_cast<size_t>(length));
  if (length > 0 && pread(captured, &got.out[0], got.out.size(), 0) != length) fail("memory file read");
  return got;
}

// The trace the library road gives for the same operands, in a fresh state.
inline std::string library_road(const Library& lib, const std::string& x, const std::string& y) {
  const int32_t m = static_cast<int32_t>(x.size());
  const int32_t n = static_cast<int32_t>(y.size());
  Exact text(sm_test::buffer_size(*lib.routine, m, n));
  std::memcpy(text.data(), y.data(), y.size());
  text.data()[n] = 0;
  lib.fresh();
  const auto trace = walk(lib.entry(x.data(), m, text.data(), n));
  lib.fresh();
  std::string line;
  for (int32_t p : trace) line += std::to_string(p) + " ";
  return line + "\n";
}

inline void expect(const Library& lib, const Operands& ops, const Outcome& got, const std::string& out,
                   int status) {
  if (got.out == out && got.status == status) return;
  std::string args;
  for (const auto& arg : ops.text) args += " [" + arg + "]";
  fail(std::string(lib.routine->library) + " main" + args + ": status " + std::to_string(got.status) +
       " output \"" + got.out.substr(0, 300) + "\", expected status " + std::to_string(status) +
       " output \"" + out.substr(0, 300) + "\"");
}

// Runs one input through a library's main and checks its outcome; a
// violation ends the process through fail(). captured is a memory file that
// stands in for standard output.
inline void check_input(const std::vector<Library>& libraries, int captured, const uint8_t* data,
                        size_t size) {
  const Library& lib = libraries[(size > 0 ? data[0] : 0) % libraries.size()];
  Operands ops = parse(lib, data, size);
  const size_t argc = ops.text.size();
  if (argc < 3) {
    lib.fresh();
    const Outcome got = in_process(lib, captured, ops);
    expect(lib, ops, got, (argc >= 1 ? ops.text[0] : std::string()) + " pattern text\n", 2);
    return;
  }
  const std::string& pattern = ops.text[1];
  const std::string& text = ops.text[2];
  if (pattern.size() > 19 || sm_test::refuses(*lib.routine, pattern)) {
    const Outcome got = in_child([&] {
      lib.fresh();
      return lib.main(static_cast<int>(argc), ops.argv.data());
    });
    expect(lib, ops, got,
           pattern.size() > 19 ? "Error: Pattern too large.\n" : "Error: Pattern character out of range.\n", 1);
    return;
  }
  const std::string expected = library_road(lib, pattern, text);
  lib.fresh();
  const Outcome got = in_process(lib, captured, ops);
  expect(lib, ops, got, expected, 0);
}

// Every library of the routine table, in its order; one that does not load
// is a finding.
inline std::vector<Library> load_all() {
  std::vector<Library> libraries;
  for (const sm_test::Routine& routine : sm_test::routines()) libraries.push_back(load(routine));
  return libraries;
}

}  // namespace command_line
}  // namespace sm_fuzz
