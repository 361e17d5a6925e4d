/* smtrace.h: what a C or C++ host needs to call the string-matching trace
 * libraries.
 *
 * Each library (lib<name>.so) holds one search algorithm. Its entry function,
 * named after the algorithm, looks for the first occurrence of the pattern x
 * (m bytes) in the text y (n bytes) and returns the trace: the text positions
 * the algorithm read, in reading order, as a list of trace_node.
 *
 * Loading. Load a library with dlopen(path, RTLD_NOW | RTLD_LOCAL) and find its
 * entry with dlsym(handle, "<name>"); SMTRACE_ALGORITHMS below lists every
 * name. Several libraries may be loaded into one process: each keeps its own
 * trace and settings. (The declarations below also let a host link against a
 * single library directly.)
 *
 * The trace. The returned list belongs to the library. It stays valid and
 * unchanged until the host calls into that library again (the next entry call
 * frees it). Walk it along next until NULL; never free a node. An empty trace
 * is NULL.
 *
 * The text buffer. y must be writable and hold the text, then a zero byte at
 * y[n], then the room that the routine uses past the text:
 *   - tuned_bm writes m copies of the last pattern character at y[n] ..
 *     y[n + m - 1] (n + m bytes in all, and at least n + 1);
 *   - berry_ravindran reads y[n] and writes a zero byte at y[n + 1]
 *     (n + 2 bytes);
 *   - skip_search reads up to y[n] (n + 1 bytes);
 *   - the other routines read nothing at or beyond y[n] (n + 1 bytes).
 * smtrace_buffer_size() gives each routine's size; a zeroed buffer of
 * n + m + 2 bytes with the text copied to its start suits every routine.
 *
 * Patterns. Any length that fits int32_t is searched (the programs' command
 * line limits patterns to 19 characters; the entry functions do not). An empty
 * pattern gives an empty trace, except in morris_pratt, which reads position 0
 * once when the text is not empty.
 *
 * Refusals. The routines marked refuses_8bit below index tables by pattern
 * character and take only 7-bit pattern bytes (0 to 127): given a pattern byte
 * of 128 or more they print "Error: Pattern character out of range." on
 * standard output and end the whole process with status 1. Check the pattern
 * first (smtrace_refused_byte()). morris_pratt and not_so_naive accept any
 * byte. Text bytes may be any value.
 *
 * Any fatal error inside a library (for example memory exhausted while
 * recording) prints "Error: <message>" on standard output and ends the process
 * with status 1. One call at a time per library: the trace and its settings
 * are process-wide and unsynchronised.
 */
#ifndef SMTRACE_H
#define SMTRACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One recorded text position; the layout is that of the libraries' nodes. */
typedef struct trace_node {
  int32_t position;
  struct trace_node* next;
} trace_node;

/* Every entry function: pattern x of m bytes, text buffer y holding n bytes
 * of text and the room described above. Returns the head of the trace. */
typedef trace_node* (*smtrace_entry_fn)(const char* x, int32_t m, char* y, int32_t n);

/* The recorder's functions and globals that every library exports, as a host
 * finds them with dlsym (each library has its own):
 *   set_txt_length            smtrace_set_txt_length_fn
 *   start_pruning_duplicates  smtrace_window_fn
 *   stop_pruning_duplicates   smtrace_window_fn
 *   trace, trace_add          smtrace_record_fn
 *   trace_get                 smtrace_trace_get_fn
 *   trace_memcmp              smtrace_trace_memcmp_fn
 *   trace_new, trace_print    smtrace_trace_list_fn
 *   main                      smtrace_main_fn
 *   txt_length                smtrace_txt_length_t: positions at or beyond a
 *                             positive value are not recorded; -1 at start
 *   trace_first, trace_current, prune_from_trace
 *                             trace_node*: head, tail, start of the window
 *   prune_duplicates          smtrace_prune_duplicates_t: 1 while a window is open */
typedef void (*smtrace_set_txt_length_fn)(int32_t length);
typedef void (*smtrace_window_fn)(void);
typedef void (*smtrace_record_fn)(int32_t position);
typedef signed char (*smtrace_trace_get_fn)(const char* text, int32_t position);
typedef int (*smtrace_trace_memcmp_fn)(const char* a, const char* b, int32_t len, int32_t position);
typedef void (*smtrace_trace_list_fn)(void);
typedef int (*smtrace_main_fn)(int argc, char** argv);
typedef int32_t smtrace_txt_length_t;
typedef int smtrace_prune_duplicates_t;

/* The algorithms, one row each, in a fixed order, with every fact a host
 * needs about each. The full row:
 *   X(name, routine, title, program, refuses_8bit, room_fixed,
 *     room_per_pattern_byte, min_m, sets_txt_length, windows, may_record_n,
 *     look_ahead)
 * name           the entry function, and the library lib<name>.so
 * routine        the library's exported search routine
 * title          the algorithm's name for people (a string literal)
 * program        1 when the deliverable is also a program, bin/<name>
 * refuses_8bit   1 when a pattern byte of 128 or more ends the process
 * room_fixed     bytes the routine needs past the text whatever the pattern
 *                (the zero byte at y[n] included)
 * room_per_pattern_byte
 *                1 when the routine also needs m bytes past the text; the
 *                room is then the larger of room_fixed and m
 * min_m          the shortest pattern the routine's contract asks for. An
 *                empty pattern gives an empty trace everywhere but in
 *                morris_pratt, whose min_m is 0 and which reads position 0
 *                once; not_so_naive also searches one-character patterns
 * sets_txt_length
 *                1 when the routine sets txt_length to n itself; otherwise
 *                a bound the host set with set_txt_length applies
 * windows        1 when each attempt runs in a pruning window: a position
 *                read again inside one attempt is not recorded again
 * may_record_n   1 when the trace may hold position n (a comparison that
 *                reached the zero byte after the text)
 * look_ahead     how far past the last character of the first occurrence
 *                the trace may reach (berry_ravindran's look-ahead pair, read
 *                by the attempt before the one that finds it)
 */
#define SMTRACE_ALGORITHM_TABLE(X) SMTRACE_ALGORITHM_ROWS_(SMTRACE_FULL_ROW_, X)

/* The short form, one row each: X(name, refuses_8bit, room_fixed,
 * room_per_pattern_byte). */
#define SMTRACE_ALGORITHMS(X) SMTRACE_ALGORITHM_ROWS_(SMTRACE_SHORT_ROW_, X)

#define SMTRACE_ALGORITHM_COUNT 7

/* The rows themselves; F(X, row...) is applied to each. */
#define SMTRACE_ALGORITHM_ROWS_(F, X)                                               \
  F(X, turbo_reverse_factor, TRF, "Turbo Reverse Factor", 1, 1, 1, 0, 0, 0, 0, 0, 0) \
  F(X, morris_pratt, MP, "Morris-Pratt", 0, 0, 1, 0, 0, 1, 0, 0, 0)                  \
  F(X, not_so_naive, NSN, "Not So Naive", 0, 0, 1, 0, 2, 1, 1, 0, 0)                 \
  F(X, raita, RAITA, "Raita", 0, 1, 1, 0, 1, 1, 1, 0, 0)                             \
  F(X, tuned_bm, TUNEDBM, "Tuned Boyer-Moore", 0, 1, 1, 1, 1, 1, 1, 0, 0)            \
  F(X, berry_ravindran, BR, "Berry-Ravindran", 0, 1, 2, 0, 1, 1, 1, 0, 1)            \
  F(X, skip_search, SKIP, "Skip Search", 0, 1, 1, 0, 1, 0, 0, 1, 0)
#define SMTRACE_FULL_ROW_(X, ...) X(__VA_ARGS__)
#define SMTRACE_SHORT_ROW_(X, name, routine, title, program, refuses_8bit, room_fixed, \
                           room_per_pattern_byte, ...)                                 \
  X(name, refuses_8bit, room_fixed, room_per_pattern_byte)

#define SMTRACE_DECLARE_ENTRY(name, refuses_8bit, room_fixed, room_per_pattern_byte) \
  trace_node* name(const char* x, int32_t m, char* y, int32_t n);
SMTRACE_ALGORITHMS(SMTRACE_DECLARE_ENTRY)
#undef SMTRACE_DECLARE_ENTRY

/* The size of the text buffer a routine needs for a text of n bytes and a
 * pattern of m bytes, from its row's room_fixed and room_per_pattern_byte. */
static inline size_t smtrace_buffer_size(int32_t n, int32_t m, int room_fixed,
                                         int room_per_pattern_byte) {
  size_t room = (size_t)room_fixed;
  if (room_per_pattern_byte && m > 0 && (size_t)m > room) room = (size_t)m;
  return (n > 0 ? (size_t)n : 0u) + room;
}

/* The index of the first pattern byte that a routine with the given
 * refuses_8bit would refuse, or -1 when it accepts the whole pattern. */
static inline int32_t smtrace_refused_byte(const char* x, int32_t m, int refuses_8bit) {
  int32_t i;
  if (!refuses_8bit) return -1;
  for (i = 0; i < m; ++i) {
    if ((unsigned char)x[i] >= 128) return i;
  }
  return -1;
}

#ifdef __cplusplus
}
#endif

#endif /* SMTRACE_H */
