#include "core/utils.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Room that every routine may use past the text: up to a pattern's length of
// sentinel bytes (Tuned Boyer-Moore) and two look-ahead bytes (Berry-Ravindran).
constexpr size_t kRoom = sm::kMaxPattern + 2;

}  // namespace

int string_matcher_main(matcher_fn routine, int32_t argc, char** argv) {
  if (argc < 3) {
    const char* program = (argc >= 1 && argv != nullptr && argv[0] != nullptr) ? argv[0] : "";
    std::printf("%s pattern text\n", program);
    return 2;
  }
  const size_t m = std::strlen(argv[1]);
  if (m > static_cast<size_t>(sm::kMaxPattern)) error("Pattern too large.");
  const size_t n = std::strlen(argv[2]);
  if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - kRoom) {
    error("Text too large.");
  }
  // The routine works on a copy of the text with zeroed room after it (the
  // byte at n included), never on the argument's own storage.
  auto* text = sm::allocate<char>(n + kRoom, "Out of memory.", true);
  std::memcpy(text, argv[2], n);
  routine(argv[1], static_cast<int32_t>(m), text, static_cast<int32_t>(n));
  std::free(text);
  trace_print();
  return 0;
}

trace_node* string_matcher_array(matcher_fn routine, const char* x, int32_t m, char* y,
                                  int32_t n) {
  trace_new();
  routine(x, m, y, n);
  return trace_first;
}

void error(const char* message) {
  std::printf("Error: %s\n", message);
  std::exit(1);
}

int32_t MAX(int32_t a, int32_t b) { return a > b ? a : b; }

int32_t MIN(int32_t a, int32_t b) { return a < b ? a : b; }

namespace sm {

void out_of_memory(const char* message) { error(message); }

void require_7bit_pattern(const char* x, int32_t m) {
  for (int32_t i = 0; i < m; ++i) {
    if (static_cast<unsigned char>(x[i]) >= kAlphabet) error("Pattern character out of range.");
  }
}

}  // namespace sm
