#include "core/linkedlist.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/utils.h"

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
constexpr int kShortWindow = 32;

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
    w.bits = static_cast<unsigned char*>(std::calloc(need, 1));
    w.bytes = w.bits == nullptr ? 0 : need;
    if (w.bits == nullptr) error("Out of memory.");
  }
  w.bound = txt_length;
  w.start = prune_from_trace;
  for (const trace_node* node = prune_from_trace; node != nullptr; node = node->next) take_in(node);
}

// True when the open window has already recorded the position.
bool in_window(int32_t position) {
  WindowIndex& w = window_index;
  if (w.start == prune_from_trace && w.bound == txt_length) {
    for (const trace_node* node = w.tail->next; node != nullptr; node = node->next) take_in(node);
  } else {
    const trace_node* node = prune_from_trace;
    for (int walked = 0; node != nullptr && walked < kShortWindow; node = node->next, ++walked) {
      if (node->position == position) return true;
    }
    if (node == nullptr) return false;
    if (txt_length <= 0) {
      for (; node != nullptr; node = node->next) {
        if (node->position == position) return true;
      }
      return false;
    }
    build_window_index();
  }
  return (w.bits[position >> 3] >> (position & 7)) & 1u;
}

}  // namespace

void start_pruning_duplicates(void) {
  prune_duplicates = 1;
  prune_from_trace = nullptr;
  forget_window_index();
}

void stop_pruning_duplicates(void) { prune_duplicates = 0; }

void trace(int32_t position) {
  if (position < 0) return;
  if (txt_length > 0 && position >= txt_length) return;
  if (prune_duplicates && prune_from_trace != nullptr && in_window(position)) return;
  trace_add(position);
  if (prune_duplicates && prune_from_trace == nullptr) prune_from_trace = trace_current;
}

void trace_add(int32_t position) {
  auto* node = static_cast<trace_node*>(std::malloc(sizeof(trace_node)));
  if (node == nullptr) error("Out of memory.");
  node->position = position;
  node->next = nullptr;
  if (trace_first == nullptr) {
    trace_first = node;
  } else {
    trace_current->next = node;
  }
  trace_current = node;
}

signed char trace_get(const char* text, int32_t position) {
  trace(position);
  return static_cast<signed char>(text[position]);
}

int trace_memcmp(const char* a, const char* b, int32_t len, int32_t position) {
  for (int32_t k = 0; k < len; ++k) {
    trace(position + k);
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

void trace_print(void) {
  // Positions are formatted by hand into a block and written in one go: a
  // trace of millions of positions prints as fast as the disk takes it. The
  // bytes are exactly those of printf("%d ") for each position.
  char block[8192];
  size_t used = 0;
  for (const trace_node* node = trace_first; node != nullptr; node = node->next) {
    if (used > sizeof block - 16) {
      std::fwrite(block, 1, used, stdout);
      used = 0;
    }
    char digits[12];
    int count = 0;
    // Work on the magnitude as unsigned, so INT32_MIN prints correctly.
    uint32_t value = static_cast<uint32_t>(node->position);
    if (node->position < 0) value = 0u - value;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    if (node->position < 0) block[used++] = '-';
    while (count > 0) block[used++] = digits[--count];
    block[used++] = ' ';
  }
  block[used++] = '\n';
  std::fwrite(block, 1, used, stdout);
}
