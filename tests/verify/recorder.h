/* A small trace recorder for the deliberately wrong implementations: it
 * keeps the recording rules of the libraries' recorder (a bound on the
 * positions once a routine sets one, and pruning windows inside which a
 * position is recorded once), so that each implementation differs from the
 * reference only where it is meant to. Each one is a program taking
 * PATTERN TEXT and printing its trace as the deliverables do. */
#ifndef WRONG_RECORDER_H
#define WRONG_RECORDER_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int32_t bound = -1;
static int window_open = 0;
static size_t window_start = 0;
static int32_t* recorded = NULL;
static size_t recorded_count = 0;
static size_t recorded_room = 0;

static inline void record(int32_t position) {
  if (position < 0 || (bound > 0 && position >= bound)) return;
  if (window_open) {
    for (size_t k = window_start; k < recorded_count; ++k) {
      if (recorded[k] == position) return;
    }
  }
  if (recorded_count == recorded_room) {
    recorded_room = recorded_room ? 2 * recorded_room : 64;
    recorded = realloc(recorded, recorded_room * sizeof *recorded);
    if (recorded == NULL) exit(99);
  }
  recorded[recorded_count++] = position;
}

static inline void open_window(void) {
  window_open = 1;
  window_start = recorded_count;
}

static inline void close_window(void) { window_open = 0; }

__attribute__((noinline, unused)) static char get(const char* y, int32_t position) {
  record(position);
  return y[position];
}

/* 0 when the len bytes agree, 1 at the first difference; each position is
 * recorded before its byte is compared. */
__attribute__((noinline, unused)) static int compare(const char* x, const char* y, int32_t len, int32_t position) {
  for (int32_t k = 0; k < len; ++k) {
    record(position + k);
    if (x[k] != y[k]) return 1;
  }
  return 0;
}

typedef void (*search_fn)(const char* x, int32_t m, char* y, int32_t n);

/* The command line: the text is copied to a zeroed buffer with room after it. */
static inline int run_search(int argc, char** argv, search_fn search) {
  if (argc < 3) {
    printf("%s pattern text\n", argc > 0 ? argv[0] : "");
    return 2;
  }
  const int32_t m = (int32_t)strlen(argv[1]);
  const int32_t n = (int32_t)strlen(argv[2]);
  char* y = calloc((size_t)n + (size_t)m + 2, 1);
  if (y == NULL) return 99;
  memcpy(y, argv[2], (size_t)n);
  search(argv[1], m, y, n);
  for (size_t k = 0; k < recorded_count; ++k) printf("%d ", recorded[k]);
  printf("\n");
  free(y);
  free(recorded);
  return 0;
}

#endif
