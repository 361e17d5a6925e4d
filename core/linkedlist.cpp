#include "core/linkedlist.h"

#include <cstdio>
#include <cstdlib>

#include "core/utils.h"

int32_t txt_length = -1;
trace_node* trace_first = nullptr;
trace_node* trace_current = nullptr;
int prune_duplicates = 0;
trace_node* prune_from_trace = nullptr;

void set_txt_length(int32_t length) { txt_length = length; }

void start_pruning_duplicates(void) {
  prune_duplicates = 1;
  prune_from_trace = nullptr;
}

void stop_pruning_duplicates(void) { prune_duplicates = 0; }

namespace {

// True when the open window has already recorded the position.
bool in_window(int32_t position) {
  for (const trace_node* node = prune_from_trace; node != nullptr; node = node->next) {
    if (node->position == position) return true;
  }
  return false;
}

}  // namespace

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
}

namespace {

// A library unloaded by its host takes its trace with it: nothing refers to
// the nodes any more, so they are freed rather than leaked.
__attribute__((destructor)) void release_trace_at_unload() { trace_new(); }

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
