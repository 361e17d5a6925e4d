/* A host that calls each given library's entry function many times in a row,
 * for leak checkers (valgrind --leak-check=full, or LeakSanitizer):
 *
 *   sm_soak CALLS LIBRARY.so...
 *
 * The entry function is named after the file (libNAME.so calls NAME). Calls
 * alternate between a pattern within the command line's limit and a longer
 * one (whose tables come from the heap). The libraries stay loaded at exit,
 * so each one's last trace is still reachable through its globals, and is
 * all that should remain. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct trace_node {
  int32_t position;
  struct trace_node* next;
};

typedef struct trace_node* (*entry_fn)(const char*, int32_t, char*, int32_t);

static const char* const patterns[2] = {"abcab", "abcdefghijklmnopqrstuvwxyab"};
static const char* const texts[2] = {"cabdcabcababcab",
                                     "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyab"};

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: sm_soak CALLS LIBRARY.so...\n");
    return 64;
  }
  const long calls = strtol(argv[1], NULL, 10);
  for (int k = 2; k < argc; ++k) {
    const char* base = strrchr(argv[k], '/');
    base = base != NULL ? base + 1 : argv[k];
    char name[256];
    if (strncmp(base, "lib", 3) != 0 || strlen(base) >= sizeof name + 3) return 65;
    strcpy(name, base + 3);
    char* dot = strstr(name, ".so");
    if (dot != NULL) *dot = '\0';
    void* library = dlopen(argv[k], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
      fprintf(stderr, "sm_soak: %s\n", dlerror());
      return 71;
    }
    entry_fn entry = (entry_fn)dlsym(library, name);
    if (entry == NULL) {
      fprintf(stderr, "sm_soak: no %s in %s\n", name, argv[k]);
      return 70;
    }
    /* One buffer per input, with room for every routine: n + m + 2 bytes. */
    char* buffers[2];
    for (int i = 0; i < 2; ++i) {
      size_t n = strlen(texts[i]);
      buffers[i] = calloc(n + strlen(patterns[i]) + 2, 1);
      if (buffers[i] == NULL) return 72;
      memcpy(buffers[i], texts[i], n);
    }
    size_t positions = 0;
    for (long call = 0; call < calls; ++call) {
      int i = (int)(call % 2);
      positions = 0;
      for (struct trace_node* node = entry(patterns[i], (int32_t)strlen(patterns[i]), buffers[i],
                                           (int32_t)strlen(texts[i]));
           node != NULL; node = node->next) {
        ++positions;
      }
    }
    printf("%s: %ld calls, the last trace holds %zu positions\n", name, calls, positions);
    free(buffers[0]);
    free(buffers[1]);
  }
  return 0;
}
