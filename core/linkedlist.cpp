#include "core/linkedlist.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "core/announce.h"
#include "core/utils.h"

// The exported recorder has exactly the types the public header gives hosts.
static_assert(std::is_same<decltype(&set_txt_length), smtrace_set_txt_length_fn>::value, "");
static_assert(std::is_same<decltype(&start_pruning_duplicates), smtrace_window_fn>::value, "");
static_assert(std::is_same<decltype(&stop_pruning_duplicates), smtrace_window_fn>::value, "");
static_assert(std::is_same<decltype(&trace), smtrace_record_fn>::value, "");
static_assert(std::is_same<decltype(&trace_add), smtrace_record_fn>::value, "");
static_assert(std::is_same<decltype(&trace_get), smtrace_trace_get_fn>::value, "");
static_assert(std::is_same<decltype(&trace_memcmp), smtrace_trace_memcmp_fn>::value, "");
static_assert(std::is_same<decltype(&trace_new), smtrace_trace_list_fn>::value, "");
static_assert(std::is_same<decltype(&trace_print), smtrace_trace_list_fn>::value, "");
static_assert(std::is_same<decltype(trace_first), trace_node*>::value, "");
static_assert(std::is_same<decltype(trace_current), trace_node*>::value, "");
static_assert(std::is_same<decltype(prune_from_trace), trace_node*>::value, "");

int32_t txt_length = -1;
trace_node* trace_first = nullptr;
trace_node* trace_current = nullptr;
int prune_duplicates = 0;
trace_node* prune_from_trace = nullptr;

void set_txt_length(int32_t length) { txt_length = length; }

namespace {

// The duplicate check of a window. Windows are usually a handful of nodes,
// and a walk over them is the cheapest check. A window can also grow long
// (Tuned Boyer-Moore's fast loop may run through a whole text inside one
// attempt), and then a walk per check would cost time quadratic in the
// window. So once a window holds more than kShortWindow nodes and a positive
// txt_length bounds its positions, its positions are also kept in a bitmap
// over [0, txt_length), brought up to date with the nodes appended since.
// The bitmap gives exactly the answer the walk would.
constexpr int kShortWindow = 16;

struct WindowIndex {
  const trace_node* start = nullptr;  // the window start node it describes; null when unused
  const trace_node* tail = nullptr;   // the last node taken in
  int32_t bound = 0;                  // the txt_length it was built under
  unsigned char* bits = nullptr;
  size_t bytes = 0;
  int32_t low = 0;  // range of the bits set, empty when high < low
  int32_t high = -1;
};

WindowIndex window_index;

void forget_window_index() { window_index.start = nullptr; }

void take_in(const trace_node* node) {
  WindowIndex& w = window_index;
  w.tail = node;
  const int32_t p = node->position;
  if (p < 0 || p >= w.bound) return;  // only trace_add puts such a node here; no check asks for it
  w.bits[p >> 3] = static_cast<unsigned char>(w.bits[p >> 3] | (1u << (p & 7)));
  if (w.high < w.low) {
    w.low = w.high = p;
  } else if (p < w.low) {
    w.low = p;
  } else if (p > w.high) {
    w.high = p;
  }
}

void build_window_index() {
  WindowIndex& w = window_index;
  if (w.high >= w.low) {
    std::memset(w.bits + (w.low >> 3), 0, static_cast<size_t>((w.high >> 3) - (w.low >> 3) + 1));
  }
  w.low = 0;
  w.high = -1;
  const size_t need = (static_cast<size_t>(txt_length) + 7) / 8;
  if (need > w.bytes) {
    std::free(w.bits);
    w.bits = nullptr;
    w.bytes = 0;
    w.bits = sm::allocate<unsigned char>(need, "Out of memory.", true);
    w.bytes = need;
  }
  w.bound = txt_length;
  w.start = prune_from_trace;
  for (const trace_node* node = prune_from_trace; node != nullptr; node = node->next) take_in(node);
}

// The duplicate check through the bitmap: brings it up to date with the
// nodes appended since it was last consulted, or builds it for this window.
__attribute__((noinline)) bool in_indexed_window(int32_t position) {
  WindowIndex& w = window_index;
  if (w.start == prune_from_trace && w.bound == txt_length) {
    for (const trace_node* node = w.tail->next; node != nullptr; node = node->next) take_in(node);
  } else if (txt_length > 0) {
    build_window_index();
  } else {
    // No bound to size a bitmap by: the walk.
    for (const trace_node* node = prune_from_trace; node != nullptr; node = node->next) {
      if (node->position == position) return true;
    }
    return false;
  }
  return (w.bits[position >> 3] >> (position & 7)) & 1u;
}

// True when the open window has already recorded the position.
inline bool in_window(int32_t position) {
  // The node appended last first: the repeats of a routine are mostly
  // re-reads of the position just read (an unrolled loop that has stopped
  // moving, a middle character that is also the last one).
  if (trace_current != nullptr && trace_current->position == position) return true;
  if (window_index.start == prune_from_trace) return in_indexed_window(position);
  const trace_node* node = prune_from_trace;
  for (int walked = 0; walked < kShortWindow; ++walked) {
    if (node == nullptr) return false;
    if (node->position == position) return true;
    node = node->next;
  }
  return node != nullptr && in_indexed_window(position);
}

}  // namespace

void start_pruning_duplicates(void) {
  prune_duplicates = 1;
  prune_from_trace = nullptr;
  forget_window_index();
}

void stop_pruning_duplicates(void) { prune_duplicates = 0; }

namespace {

// The recording path, shared by trace, trace_add, trace_get and
// trace_memcmp. It is inlined into each of them: a read costs the filters,
// one allocation and the link, and no further calls.

inline void append(int32_t position) {
  auto* node = sm::allocate<trace_node>(1, "Out of memory.");
  node->position = position;
  node->next = nullptr;
  if (trace_first == nullptr) {
    trace_first = node;
  } else {
    trace_current->next = node;
  }
  trace_current = node;
}

// Recording while a window is open: the duplicate check, and the window's
// start node on its first recording. Kept out of line, so that the path
// without a window stays short.
__attribute__((noinline)) void record_in_window(int32_t position) {
  if (prune_from_trace == nullptr) {
    append(position);
    prune_from_trace = trace_current;
    return;
  }
  if (in_window(position)) {
    SM_ANNOUNCE(dropped(sm_explain::kRepeat));
    return;
  }
  append(position);
}

inline void record(int32_t position) {
  // Negative positions and positions at or beyond a positive txt_length
  // fail the one unsigned comparison: a negative position becomes 2^31 or
  // more, and without a bound the limit is 2^31.
  const uint32_t limit = txt_length > 0 ? static_cast<uint32_t>(txt_length) : 0x80000000u;
  if (static_cast<uint32_t>(position) >= limit) {
    SM_ANNOUNCE(dropped(sm_explain::kBound));
    return;
  }
  if (prune_duplicates) {
    record_in_window(position);
    return;
  }
  append(position);
}

}  // namespace

void trace(int32_t position) { record(position); }

void trace_add(int32_t position) { append(position); }

signed char trace_get(const char* text, int32_t position) {
  record(position);
  SM_ANNOUNCE(read(position, text[position], nullptr));
  return static_cast<signed char>(text[position]);
}

int trace_memcmp(const char* a, const char* b, int32_t len, int32_t position) {
  for (int32_t k = 0; k < len; ++k) {
    record(position + k);
    SM_ANNOUNCE(read(position + k, b[k], a + k));
    if (a[k] != b[k]) return 1;
  }
  return 0;
}

void trace_new(void) {
  trace_node* node = trace_first;
  while (node != nullptr) {
    trace_node* next = node->next;
    std::free(node);
    node = next;
  }
  trace_first = nullptr;
  trace_current = nullptr;
  // A window left open (a host may open one around a routine that never
  // opens its own) must not keep pointing into the freed list: it starts
  // again with the next recording.
  prune_from_trace = nullptr;
  forget_window_index();
}

namespace {

// A library unloaded by its host takes its trace with it: nothing refers to
// the nodes any more, so they are freed rather than leaked.
__attribute__((destructor)) void release_trace_at_unload() {
  trace_new();
  std::free(window_index.bits);
  window_index = WindowIndex();
}

}  // namespace

namespace {

// "00" to "99": two digits per division.
constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819"
    "2021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859"
    "6061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int digit_count(uint32_t value) {
  int count = 1;
  while (value >= 10000) {
    value /= 10000;
    count += 4;
  }
  if (value >= 10) ++count;
  if (value >= 100) ++count;
  if (value >= 1000) ++count;
  return count;
}

// Writes the position as printf("%d ") would, and returns the end.
inline char* format_position(char* out, int32_t position) {
  // The magnitude as unsigned, so that INT32_MIN prints correctly.
  uint32_t value = static_cast<uint32_t>(position);
  if (position < 0) {
    *out++ = '-';
    value = 0u - value;
  }
  char* const end = out + digit_count(value);
  char* p = end;
  while (value >= 100) {
    const uint32_t pair = value % 100;
    value /= 100;
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * pair, 2);
  }
  if (value >= 10) {
    std::memcpy(p - 2, kDigitPairs + 2 * value, 2);
  } else {
    p[-1] = static_cast<char>('0' + value);
  }
  *end = ' ';
  return end + 1;
}

}  // namespace

void trace_print(void) {
  // Positions are formatted by hand, two digits at a time, into a block that
  // is written whenever it fills: a trace of millions of positions prints as
  // fast as the output takes it. The bytes are exactly those of printf("%d ")
  // for each position, then a newline.
  constexpr size_t kLongest = 12;  // "-2147483648 "
  char block[16384];
  char* used = block;
  char* const last = block + sizeof block - kLongest;
  for (const trace_node* node = trace_first; node != nullptr; node = node->next) {
    if (used > last) {
      std::fwrite(block, 1, static_cast<size_t>(used - block), stdout);
      used = block;
    }
    used = format_position(used, node->position);
  }
  *used++ = '\n';
  std::fwrite(block, 1, static_cast<size_t>(used - block), stdout);
}
