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

/* The algorithms, one row each, in a fixed order:
 *   X(name, refuses_8bit, room_fixed, room_per_pattern_byte)
 * name           the entry function, and the library lib<name>.so
 * refuses_8bit   1 when a pattern byte of 128 or more ends the process
 * room_fixed     bytes the routine needs past the text whatever the pattern
 *                (the zero byte at y[n] included)
 * room_per_pattern_byte
 *                1 when the routine also needs m bytes past the text; the
 *                room is then the larger of room_fixed and m */
#define SMTRACE_ALGORITHMS(X)               \
  X(turbo_reverse_factor, 1, 1, 0)          \
  X(morris_pratt, 0, 1, 0)                  \
  X(not_so_naive, 0, 1, 0)                  \
  X(raita, 1, 1, 0)                         \
  X(tuned_bm, 1, 1, 1)                      \
  X(berry_ravindran, 1, 2, 0)               \
  X(skip_search, 1, 1, 0)

#define SMTRACE_ALGORITHM_COUNT 7

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
