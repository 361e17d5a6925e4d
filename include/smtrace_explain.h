/* smtrace_explain.h: the explaining host library, libsmtrace.so.
 *
 * The library holds the seven search routines compiled from the same sources
 * as the deliverable libraries, with their announcements switched on: each
 * routine says where its code starts an attempt, moves its window, what a
 * read is for, how an attempt ends and where each shift comes from. Its
 * recorder also reports every read it drops, and why. The positions it
 * records are the deliverable's trace for the same input, read for read.
 *
 * It exports only names that start with smtrace_, so it can share a process
 * with any deliverable library under any loading mode. Link against it
 * (-lsmtrace) or load it with dlopen; one call at a time (the routines'
 * recording state is process-wide inside the library).
 *
 * Every search is explained as a freshly loaded deliverable runs it: no
 * bound set by the host (txt_length -1) and no pruning window open. The text
 * is copied into a buffer of the library's own, so the caller's text is never
 * written.
 *
 * The routines that refuse a pattern byte of 128 or more (refuses_8bit in
 * smtrace.h) are not run on such a pattern: the call fails with
 * SMTRACE_REFUSED instead of ending the process. Memory exhausted inside a
 * routine still ends the process with "Error: Out of memory." on standard
 * output, as in the deliverables.
 */
#ifndef SMTRACE_EXPLAIN_H
#define SMTRACE_EXPLAIN_H

#include <stddef.h>
#include <stdint.h>

#include "smtrace.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a read was for. */
typedef enum smtrace_role {
  SMTRACE_ROLE_COMPARE = 0,    /* compared y[position] with x[pattern_index] */
  SMTRACE_ROLE_LOOK_AHEAD = 1, /* read past the window to choose a shift */
  SMTRACE_ROLE_PROBE = 2,      /* looked up the character's list of pattern positions */
  SMTRACE_ROLE_EDGE = 3        /* followed the automaton's edge by the character */
} smtrace_role;

/* Why the recorder left a read out of the trace. */
typedef enum smtrace_dropped {
  SMTRACE_RECORDED = 0,     /* recorded: the read is in the trace */
  SMTRACE_DROPPED_REPEAT = 1, /* already recorded inside the open pruning window */
  SMTRACE_DROPPED_BOUND = 2   /* negative, or at or beyond a positive txt_length */
} smtrace_dropped;

/* What a read found. */
typedef enum smtrace_result {
  SMTRACE_RESULT_NONE = 0,     /* look-ahead and probe reads, and a compare with no pattern byte */
  SMTRACE_RESULT_MATCH = 1,    /* compare: the bytes are equal */
  SMTRACE_RESULT_MISMATCH = 2, /* compare: they differ */
  SMTRACE_RESULT_EDGE = 3,     /* edge: the automaton has an edge by the byte */
  SMTRACE_RESULT_NO_EDGE = 4   /* edge: it has none, and the scan ends */
} smtrace_result;

/* One read of a text character, recorded or not, in reading order. */
typedef struct smtrace_read {
  int32_t position;      /* the text position read */
  int32_t window;        /* the window start (where x[0] sits) when it was read */
  int32_t attempt;       /* the index of its attempt in the attempts array */
  int32_t pattern_index; /* compare: the pattern byte compared; edge: the window index; else -1 */
  int32_t trace_index;   /* its index in the trace, or -1 when dropped */
  unsigned char byte;    /* the text byte read */
  unsigned char role;    /* smtrace_role */
  unsigned char dropped; /* smtrace_dropped */
  unsigned char result;  /* smtrace_result */
  /* edge reads only, else -1: the vertex left, the vertex reached, the
   * edge's shift, whether the vertex reached is terminal (0 or 1) */
  int32_t from_vertex;
  int32_t to_vertex;
  int32_t edge_shift;
  int32_t terminal;
  /* edge reads that found an edge, else 0: the displacement d and the
   * shift s after the step */
  int32_t d;
  int32_t s;
} smtrace_read;

/* A remark of the routine on its attempt (Turbo Reverse Factor's scans). */
typedef struct smtrace_note {
  int64_t after_read; /* the index of the read after which it was made, or -1 */
  const char* text;
} smtrace_note;

/* A move of the window inside one attempt (Tuned Boyer-Moore's fast loop,
 * Skip Search's candidate windows). */
typedef struct smtrace_move {
  int64_t after_read;  /* the index of the read after which the window moved, or -1 */
  int32_t window;      /* the new window start */
  int32_t shift;       /* the new window start minus the old one */
  const char* source;  /* where the amount came from, e.g. "bmBc[a] = 1" */
  const char* table;   /* the table the amount was read from, or NULL */
  const char* key;     /* its entry there (a key of that table), or NULL */
} smtrace_move;

/* One attempt: the reads from first_read to first_read + read_count - 1. */
typedef struct smtrace_attempt {
  int32_t window;          /* the window start when the attempt begins */
  int64_t first_read;      /* index into reads */
  int64_t read_count;
  int64_t first_move;      /* index into moves */
  int64_t move_count;
  int64_t first_note;      /* index into notes */
  int64_t note_count;
  const char* outcome;     /* "occurrence", "mismatch", "no edge", "scan complete",
                              "no candidate", "window past the text", ... */
  int32_t shift;           /* how far the next attempt's window starts from this attempt's
                              last window (after its moves); 0 after the occurrence */
  const char* shift_source; /* where the shift came from, e.g. "bmBc[b] = 2"; NULL with no shift */
  const char* shift_table;  /* the table it was read from, or NULL */
  const char* shift_key;    /* its entry there, or NULL */
} smtrace_attempt;

/* One entry of a preprocessing table: a key and one or more numbers. */
typedef struct smtrace_table_entry {
  const char* key;
  int32_t value_count;
  const int32_t* values;
} smtrace_table_entry;

/* A preprocessing table as the routine filled it. Tables keyed by character
 * list the pattern's characters and "*" for every other character. */
typedef struct smtrace_table {
  const char* name; /* "bmBc", "brBc", "mpTable", "shifts", "lists", "edges", "terminal" */
  const char* about; /* one line on what an entry means */
  int32_t entry_count;
  const smtrace_table_entry* entries;
} smtrace_table;

/* Counts over a whole search. */
typedef struct smtrace_counts {
  int64_t reads;      /* every read, recorded or not */
  int64_t recorded;   /* reads in the trace: the trace's length */
  int64_t compares;   /* compare reads */
  int64_t look_aheads;
  int64_t probes;
  int64_t edges;
  int64_t dropped;    /* reads left out of the trace (repeat or bound) */
  int64_t dropped_repeat;
  int64_t dropped_bound;
  int64_t attempts;
} smtrace_counts;

/* A whole explained search. Everything it points to belongs to it. */
typedef struct smtrace_explanation {
  const char* algorithm;  /* the name, as in smtrace.h */
  const char* title;
  const char* pattern;    /* a copy of the pattern, pattern_length bytes and a zero byte */
  const char* text;       /* a copy of the text, text_length bytes and a zero byte */
  int32_t pattern_length;
  int32_t text_length;
  int32_t occurrence;     /* where the routine itself found the pattern, or -1 */
  smtrace_counts counts;
  int64_t read_count;
  const smtrace_read* reads;
  int64_t attempt_count;
  const smtrace_attempt* attempts;
  int64_t move_count;
  const smtrace_move* moves;
  int64_t note_count;
  const smtrace_note* notes;
  int32_t table_count;
  const smtrace_table* tables;
} smtrace_explanation;

/* Statuses. */
enum {
  SMTRACE_OK = 0,
  SMTRACE_UNKNOWN_ALGORITHM = 1,
  SMTRACE_REFUSED = 2,      /* the routine refuses a pattern byte of 128 or more */
  SMTRACE_BAD_LENGTH = 3,   /* a negative length, or a null buffer with a positive length */
  SMTRACE_NO_MEMORY = 4
};

/* Explains the search of x (m bytes) in y (n bytes) by the named algorithm.
 * On success *out is a new explanation for smtrace_explanation_free. */
int smtrace_explain(const char* algorithm, const char* x, int32_t m, const char* y, int32_t n,
                    smtrace_explanation** out);
void smtrace_explanation_free(smtrace_explanation* explanation);

/* Runs the same search keeping only the counts and the occurrence: memory
 * stays at the routine's own trace, whatever the number of reads. */
int smtrace_summarize(const char* algorithm, const char* x, int32_t m, const char* y, int32_t n,
                      smtrace_counts* counts, int32_t* occurrence);

/* The explanation as JSON (documented in docs/explain-json.md), in a new
 * zero-terminated buffer for smtrace_free; NULL when memory runs out. */
char* smtrace_explanation_json(const smtrace_explanation* explanation);

/* The interactive page that plays the search read by read: one
 * self-contained HTML document (its style, script and data inline; it loads
 * nothing and asks for nothing over the network), the page smtrace explain
 * --html writes. In a new zero-terminated buffer for smtrace_free; NULL for a
 * null explanation or when memory runs out. */
char* smtrace_explanation_html(const smtrace_explanation* explanation);

/* The page of smtrace compare --html: count explanations of one pattern in
 * one text (the page takes the pattern and the text from the first), stepped
 * together in the order given, then refused_count algorithms that were not
 * run, each named with the reason shown in its place. In a new buffer for
 * smtrace_free; NULL when memory runs out, for a negative count, or for a
 * null array or array element where count or refused_count says there is
 * one. With no explanations the page has an empty pattern and text. */
char* smtrace_compare_html(const smtrace_explanation* const* explanations, int32_t count,
                           const char* const* refused_names, const char* const* refused_reasons,
                           int32_t refused_count);

/* Frees what smtrace_explanation_json, smtrace_explanation_html and
 * smtrace_compare_html return. */
void smtrace_free(void* memory);

/* Names for the enumerations: "compare", "look-ahead", "probe", "edge";
 * NULL, "repeat", "bound"; NULL, "match", "mismatch", "edge", "no edge". */
const char* smtrace_role_name(int role);
const char* smtrace_dropped_name(int dropped);
const char* smtrace_result_name(int result);

/* A deliverable's trace list: its length, and a copy of its first
 * min(length, capacity) positions into out, in one walk each. */
int64_t smtrace_trace_length(const trace_node* head);
int64_t smtrace_copy_trace(const trace_node* head, int32_t* out, int64_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* SMTRACE_EXPLAIN_H */
