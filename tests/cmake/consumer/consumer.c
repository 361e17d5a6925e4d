/* Loads morris_pratt from SMTRACE_LIBRARY (a path fixed when the program is
 * built) and prints the trace of one search: the positions read, separated by
 * blanks, then a newline.
 *
 *   consumer PATTERN TEXT */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <smtrace.h>

#ifndef SMTRACE_LIBRARY
#error "SMTRACE_LIBRARY is the path of libmorris_pratt.so"
#endif

int main(int argc, char** argv) {
  void* library;
  smtrace_entry_fn search;
  int32_t m, n;
  char* text;
  const trace_node* node;

  if (argc != 3) {
    fprintf(stderr, "usage: consumer PATTERN TEXT\n");
    return 2;
  }
  library = dlopen(SMTRACE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "consumer: %s\n", dlerror());
    return 1;
  }
  *(void**)(&search) = dlsym(library, "morris_pratt");
  if (search == NULL) {
    fprintf(stderr, "consumer: %s\n", dlerror());
    return 1;
  }
  m = (int32_t)strlen(argv[1]);
  n = (int32_t)strlen(argv[2]);
  /* Zeroed, with the room past the text that any routine needs. */
  text = (char*)calloc((size_t)n + (size_t)m + 2, 1);
  if (text == NULL) return 1;
  memcpy(text, argv[2], (size_t)n);
  for (node = search(argv[1], m, text, n); node != NULL; node = node->next) {
    printf("%d", node->position);
    if (node->next != NULL) printf(" ");
  }
  printf("\n");
  free(text);
  dlclose(library);
  return 0;
}
