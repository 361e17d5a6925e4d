/* A host program, as an outside user would write one: it loads a deliverable
 * library with dlopen and calls it by name.
 *
 *   sm_host LIBRARY main PROGRAM [OPERAND...]   call the library's main
 *   sm_host LIBRARY entry NAME PATTERN TEXT     call the entry function NAME and
 *                                               print the returned trace
 *   sm_host LIBRARY error MESSAGE               call the library's error
 *   sm_host LIBRARY oom NAME TEXT_LENGTH [PATTERN]
 *                                               call the entry with a long text of
 *                                               'a's and PATTERN (default "b") under
 *                                               a small address-space limit
 *
 * The host is linked with -rdynamic and defines names of its own that clash
 * with the library's (error, txt_length, trace): the library must keep using
 * its own. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <smtrace.h>

typedef smtrace_entry_fn entry_fn;

/* Clashing definitions, exported from the executable. */
int32_t txt_length = 4242;
void error(const char* message) {
  printf("host error: %s\n", message);
  exit(42);
}
void trace(int32_t position) {
  printf("host trace: %d\n", position);
}

static void* symbol(void* library, const char* name) {
  void* found = dlsym(library, name);
  if (found == NULL) {
    fprintf(stderr, "sm_host: no symbol %s\n", name);
    exit(70);
  }
  return found;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: sm_host LIBRARY main|entry|error|oom ...\n");
    return 64;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL);
  if (library == NULL) {
    fprintf(stderr, "sm_host: %s\n", dlerror());
    return 71;
  }
  const char* command = argv[2];
  if (strcmp(command, "main") == 0) {
    int (*lib_main)(int, char**) = (int (*)(int, char**))symbol(library, "main");
    int status = lib_main(argc - 3, argv + 3);
    fflush(stdout);
    return status;
  }
  if (strcmp(command, "entry") == 0 && argc == 6) {
    entry_fn entry = (entry_fn)symbol(library, argv[3]);
    const char* pattern = argv[4];
    size_t n = strlen(argv[5]);
    /* The buffer contract: the text, a zero byte, and room after it. */
    char* text = calloc(n + strlen(pattern) + 2, 1);
    if (text == NULL) return 72;
    memcpy(text, argv[5], n);
    for (struct trace_node* node = entry(pattern, (int32_t)strlen(pattern), text, (int32_t)n);
         node != NULL; node = node->next) {
      printf("%d ", node->position);
    }
    printf("\n");
    free(text);
    if (txt_length != 4242) return 73; /* the library wrote the host's global */
    return 0;
  }
  if (strcmp(command, "error") == 0 && argc == 4) {
    void (*lib_error)(const char*) = (void (*)(const char*))symbol(library, "error");
    lib_error(argv[3]);
    return 74; /* error returned */
  }
  if (strcmp(command, "oom") == 0 && (argc == 5 || argc == 6)) {
    entry_fn entry = (entry_fn)symbol(library, argv[3]);
    size_t n = strtoul(argv[4], NULL, 10);
    const char* pattern = argc == 6 ? argv[5] : "b";
    char* text = calloc(n + 64, 1);
    if (text == NULL) return 72;
    memset(text, 'a', n);
    struct rlimit limit = {256u << 20, 256u << 20};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 75;
    entry(pattern, (int32_t)strlen(pattern), text, (int32_t)n);
    return 76; /* the trace fitted after all */
  }
  fprintf(stderr, "sm_host: bad command\n");
  return 64;
}
