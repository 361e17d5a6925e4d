/* A host built against the installed header alone: it loads every library
 * from the directory given, searches one pattern in one text and prints each
 * trace as "name: positions". Written in the common subset of C and C++, so
 * that it also shows the header compiles as C++.
 *
 *   host LIBRARY_DIRECTORY PATTERN TEXT */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <smtrace.h>

struct row {
  const char* name;
  int refuses_8bit;
  int room_fixed;
  int room_per_pattern_byte;
};

#define ROW(name, refuses_8bit, room_fixed, room_per_pattern_byte) \
  {#name, refuses_8bit, room_fixed, room_per_pattern_byte},
static const struct row rows[SMTRACE_ALGORITHM_COUNT] = {SMTRACE_ALGORITHMS(ROW)};
#undef ROW

int main(int argc, char** argv) {
  size_t i;
  if (argc != 4) {
    fprintf(stderr, "usage: host LIBRARY_DIRECTORY PATTERN TEXT\n");
    return 2;
  }
  for (i = 0; i < SMTRACE_ALGORITHM_COUNT; ++i) {
    char path[4096];
    const char* pattern = argv[2];
    const int32_t m = (int32_t)strlen(pattern);
    const int32_t n = (int32_t)strlen(argv[3]);
    size_t size = smtrace_buffer_size(n, m, rows[i].room_fixed, rows[i].room_per_pattern_byte);
    void* library;
    smtrace_entry_fn entry;
    char* text;
    const trace_node* node;

    snprintf(path, sizeof path, "%s/lib%s.so", argv[1], rows[i].name);
    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
      fprintf(stderr, "host: %s\n", dlerror());
      return 1;
    }
    *(void**)(&entry) = dlsym(library, rows[i].name);
    if (entry == NULL) {
      fprintf(stderr, "host: no entry %s\n", rows[i].name);
      return 1;
    }
    printf("%s:", rows[i].name);
    if (smtrace_refused_byte(pattern, m, rows[i].refuses_8bit) >= 0) {
      printf(" refused\n");
      dlclose(library);
      continue;
    }
    text = (char*)calloc(size, 1);
    if (text == NULL) return 1;
    memcpy(text, argv[3], (size_t)n);
    for (node = entry(pattern, m, text, n); node != NULL; node = node->next) {
      printf(" %d", node->position);
    }
    printf("\n");
    free(text);
    dlclose(library);
  }
  return 0;
}
