/* A library of entry functions with the deliverables' signature that go
 * wrong in the ways a host cannot survive in its own process: verify calls
 * each in a child process and reports how it ended. */
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

struct trace_node {
  int32_t position;
  struct trace_node* next;
};

#define ENTRY __attribute__((visibility("default"))) struct trace_node*

/* Ends the process instead of returning, as a library's fatal error does. */
ENTRY exits_with_error(const char* x, int32_t m, char* y, int32_t n) {
  (void)x, (void)m, (void)y, (void)n;
  printf("Error: Out of memory.\n");
  exit(1);
}

/* Ends the process with status 0 before returning its trace. */
ENTRY exits_quietly(const char* x, int32_t m, char* y, int32_t n) {
  (void)x, (void)m, (void)y, (void)n;
  exit(0);
}

ENTRY aborts(const char* x, int32_t m, char* y, int32_t n) {
  (void)x, (void)m, (void)y, (void)n;
  abort();
}

/* Never returns. */
ENTRY spins(const char* x, int32_t m, char* y, int32_t n) {
  (void)x, (void)m, (void)y, (void)n;
  for (volatile int forever = 1; forever;) {
  }
  return NULL;
}

/* Reads nothing: an empty trace, always. */
ENTRY reads_nothing(const char* x, int32_t m, char* y, int32_t n) {
  (void)x, (void)m, (void)y, (void)n;
  return NULL;
}

/* A list without end: its last node points back at the first. */
ENTRY endless_list(const char* x, int32_t m, char* y, int32_t n) {
  static struct trace_node nodes[2];
  (void)x, (void)m, (void)y, (void)n;
  nodes[0].position = 0;
  nodes[0].next = &nodes[1];
  nodes[1].position = 1;
  nodes[1].next = &nodes[0];
  return &nodes[0];
}
