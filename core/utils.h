// The two ways into a deliverable, the fatal-error routine and small helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/export.h"
#include "core/linkedlist.h"

// Every search routine: pattern x of length m, text y of length n. Its
// product is the trace; it reads the text only through trace_get and
// trace_memcmp.
typedef void (*matcher_fn)(const char* x, int32_t m, char* y, int32_t n);

// Command-line road: argv holds the program name, the pattern and the text.
// Returns 0 after a search, 2 after the usage line.
SM_EXPORT int string_matcher_main(matcher_fn routine, int32_t argc, char** argv);
// Library road: empties the trace, runs the routine, returns the trace's head.
SM_EXPORT trace_node* string_matcher_array(matcher_fn routine, const char* x, int32_t m,
                                           char* y, int32_t n);

// Prints "Error: <message>" on standard output and ends the process with status 1.
SM_EXPORT void error(const char* message) __attribute__((noreturn));

SM_EXPORT int32_t MAX(int32_t a, int32_t b);
SM_EXPORT int32_t MIN(int32_t a, int32_t b);

namespace sm {

// The longest pattern the command line accepts.
constexpr int32_t kMaxPattern = 19;

// Characters are 7-bit: tables indexed by character have this many entries.
constexpr int32_t kAlphabet = 128;

// Byte equality between a traced read (a signed character) and a pattern byte.
inline bool same_byte(signed char read, char expected) {
  return static_cast<unsigned char>(read) == static_cast<unsigned char>(expected);
}

// Ends the process through error(message) when an allocation has failed;
// kept out of line so that the allocating paths stay short.
[[noreturn]] void out_of_memory(const char* message);

// count objects of T from the heap (zeroed when asked, uninitialised
// otherwise), or the end of the process through error(message) when there is
// no memory. on_failure runs first, for what the caller wants released.
template <typename T>
inline T* allocate(size_t count, const char* message, bool zeroed = false) {
  void* memory = zeroed ? std::calloc(count, sizeof(T)) : std::malloc(count * sizeof(T));
  if (__builtin_expect(memory == nullptr, 0)) out_of_memory(message);
  return static_cast<T*>(memory);
}
template <typename T, typename Cleanup>
inline T* allocate(size_t count, const char* message, Cleanup on_failure) {
  void* memory = std::malloc(count * sizeof(T));
  if (__builtin_expect(memory == nullptr, 0)) {
    on_failure();
    out_of_memory(message);
  }
  return static_cast<T*>(memory);
}

// Refuses a pattern that a table indexed by character could not hold: every
// byte must lie in the 7-bit alphabet.
void require_7bit_pattern(const char* x, int32_t m);

// Per-call scratch table: fixed storage for the lengths the command line
// allows, one heap block (released with the table) for longer ones, so that
// a library caller's long pattern never writes past fixed storage.
template <typename T, int32_t Fixed>
class ScratchTable {
 public:
  explicit ScratchTable(int32_t count) : data_(fixed_) {
    if (count > Fixed) {
      data_ = allocate<T>(static_cast<size_t>(count), "Out of memory.");
    }
  }
  ~ScratchTable() {
    if (data_ != fixed_) std::free(data_);
  }
  ScratchTable(const ScratchTable&) = delete;
  ScratchTable& operator=(const ScratchTable&) = delete;

  T* get() { return data_; }

 private:
  T fixed_[Fixed];
  T* data_;
};

}  // namespace sm
