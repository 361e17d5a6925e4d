// The benchmark suite: every routine through its library entry, as a host
// calls it, against two baselines on the same inputs:
//   search/<deliverable>/<text>/m<m>/<n>  the routine's entry call
//   floor/<deliverable>/<text>/m<m>/<n>   the allocation floor: as many 16-byte
//                                         nodes as that call records, one
//                                         malloc each, linked, then freed the
//                                         way trace_new frees them
//   find/<text>/m<m>/<n>                  std::string_view::find, the untraced
//                                         search a user would otherwise run
//   print/<deliverable>/<sink>/<count>    trace_print of a long trace
// Counters: reads (recorded per call), reads_per_char, s_per_read,
// items_per_second (recorded reads per second), heap_B_per_read (heap bytes
// the trace holds, by mallinfo2, chunk headers included), peak_B_per_read
// (peak resident growth of a call in a fresh child process, from 256 KiB on),
// and for the searches floor_ratio: the call's time over the floor's, the two
// timed in alternation right after the measurement.
// Texts: "bin", "dna", "az" (random over 2, 4 and 26 letters), "en" (English
// like) and "hard-<deliverable>" (the routine's hard case). The pattern never
// occurs, so every search scans the whole text.
//
// Run without a filter it measures a default selection that takes minutes;
// --full runs the whole matrix; any --benchmark_filter replaces the default;
// --libs=DIR loads the libraries from DIR instead of the build's own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "bench/inputs.h"
#include "bench/routines.h"

namespace sm_bench {
namespace {

constexpr int32_t kSmallest = 1 << 10;  // 1 KiB
constexpr int32_t kLargest = 1 << 24;   // 16 MiB
constexpr int32_t kPatternLengths[] = {4, 8, 19};
constexpr int32_t kHardPattern = 8;
// From this text length on, the peak resident memory of a call is measured as
// well (below it, page granularity swamps the figure).
constexpr int32_t kPeakFrom = 1 << 18;
constexpr int32_t kPrintCount = 1000000;

// The default selection: the 4-letter text with 8-character patterns over
// every length (the complexity fit and the targets), every text and pattern
// length at 64 KiB, the hard cases at 64 KiB and 1 MiB, and printing.
const char kDefaultFilter[] =
    "^(search|floor)/[^/]+/dna/m8/"
    "|^(search|floor)/[^/]+/(bin|dna|az|en)/m(4|8|19)/65536$"
    "|^(search|floor)/[^/]+/hard-[^/]+/m8/(65536|1048576)$"
    "|^find/dna/m8/"
    "|^find/(bin|dna|az|en)/m(4|8|19)/65536$"
    "|^find/hard-[^/]+/m8/(65536|1048576)$"
    "|^print/";
// Unless told otherwise, each measurement runs for at least this long.
const char kDefaultMinTime[] = "--benchmark_min_time=0.1";

// ---- memory ------------------------------------------------------------

// Heap bytes in use, as the allocator counts them (chunk headers included).
size_t heap_in_use() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

long status_kib(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(key);
  while (std::getline(status, line)) {
    if (line.compare(0, length, key) == 0) return std::strtol(line.c_str() + length, nullptr, 10);
  }
  return -1;
}

// Runs body in a child process and returns how far its peak resident set
// rose above the resident set it started from, in bytes. prepare runs first
// and is not counted; free heap pages go back to the system before the
// count starts, so every page the body touches anew is counted.
template <typename Prepare, typename Body>
double peak_bytes_in_child(Prepare prepare, Body body) {
  int channel[2];
  if (pipe(channel) != 0) return -1;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    prepare();
    malloc_trim(0);
    double grown = -1;
    const int fd = open("/proc/self/clear_refs", O_WRONLY);
    if (fd >= 0 && write(fd, "5", 1) == 1) {  // the peak becomes the current resident set
      const long before = status_kib("VmRSS:");
      body();
      grown = static_cast<double>(status_kib("VmHWM:") - before) * 1024.0;
    }
    if (write(channel[1], &grown, sizeof grown) != sizeof grown) _exit(1);
    _exit(0);
  }
  close(channel[1]);
  double grown = -1;
  if (child < 0 || read(channel[0], &grown, sizeof grown) != sizeof grown) grown = -1;
  close(channel[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return grown;
}

// ---- the allocation floor ------------------------------------------------

struct FloorNode {
  int32_t position;
  FloorNode* next;
};
static_assert(sizeof(FloorNode) == 16, "the floor allocates 16-byte nodes");

FloorNode* floor_first = nullptr;
FloorNode* floor_current = nullptr;

// Frees the list node by node, as trace_new does.
__attribute__((noinline)) void floor_free() {
  FloorNode* node = floor_first;
  while (node != nullptr) {
    FloorNode* next = node->next;
    std::free(node);
    node = next;
  }
  floor_first = nullptr;
  floor_current = nullptr;
}

// Frees the previous list, then makes and links count nodes with one malloc
// each: what a search recording count positions cannot do without.
__attribute__((noinline)) void floor_make(int64_t count) {
  floor_free();
  for (int64_t i = 0; i < count; ++i) {
    auto* node = static_cast<FloorNode*>(std::malloc(sizeof(FloorNode)));
    if (node == nullptr) std::abort();
    node->position = static_cast<int32_t>(i);
    node->next = nullptr;
    if (floor_first == nullptr) {
      floor_first = node;
    } else {
      floor_current->next = node;
    }
    floor_current = node;
  }
}

// ---- shared per-input figures ---------------------------------------------

using Key = std::tuple<std::string, std::string, int32_t, int32_t>;  // routine, text, m, n

struct Memory {
  double heap = 0;  // heap bytes held by the trace when the call returns
  double peak = 0;  // peak resident growth during the call, 0 when not measured
};

std::map<Key, int64_t> reads_of;
std::map<Key, Memory> search_memory, floor_memory;

struct Buffer {
  // The text, its zero byte and room past it: n + m + 2 zeroed bytes serve
  // every routine.
  Buffer(const Input& in) : bytes(in.text.size() + in.pattern.size() + 2, '\0') {
    std::memcpy(bytes.data(), in.text.data(), in.text.size());
  }
  std::vector<char> bytes;
};

trace_node* call(const Routine& r, const Input& in, Buffer& buffer) {
  return r.entry(in.pattern.data(), static_cast<int32_t>(in.pattern.size()), buffer.bytes.data(),
                 static_cast<int32_t>(in.text.size()));
}

int64_t reads_for(const Routine& r, const std::string& kind, int32_t m, int32_t n) {
  const Key key{r.name, kind, m, n};
  auto found = reads_of.find(key);
  if (found != reads_of.end()) return found->second;
  const Input& in = input(kind, m, n);
  Buffer buffer(in);
  const int64_t reads = count(call(r, in, buffer));
  r.trace_new();
  return reads_of[key] = reads;
}

void set_counters(benchmark::State& state, int64_t reads, int32_t n, const Memory& memory) {
  using benchmark::Counter;
  const auto r = static_cast<double>(reads);
  state.SetComplexityN(n);
  state.SetItemsProcessed(state.iterations() * reads);  // recorded reads per second
  state.counters["reads"] = r;
  state.counters["reads_per_char"] = r / n;
  state.counters["s_per_read"] = Counter(r, Counter::kIsIterationInvariantRate | Counter::kInvert);
  state.counters["heap_B_per_read"] = reads > 0 ? memory.heap / r : 0;
  state.counters["peak_B_per_read"] = reads > 0 ? memory.peak / r : 0;
}

// CPU time of this thread, in seconds.
double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The time of the routine's call over the floor's time for the same number of
// reads, the two timed in alternation (and in alternating order), so that a
// machine busy with other work weighs on both alike. Both lists stay in place
// between rounds: each timed step frees a list as long as the one it makes.
double paired_floor_ratio(const Routine& r, const Input& in, Buffer& buffer, int64_t reads) {
  constexpr int kFewest = 3;
  constexpr int kMost = 400;
  constexpr double kLeast = 0.1;  // seconds of measurement
  call(r, in, buffer);
  floor_make(reads);
  double searching = 0, flooring = 0;
  for (int round = 0; round < kMost && (round < kFewest || searching + flooring < kLeast);
       ++round) {
    for (int half = 0; half < 2; ++half) {
      const double start = thread_seconds();
      if ((half == 0) == (round % 2 == 0)) {
        benchmark::DoNotOptimize(call(r, in, buffer));
        searching += thread_seconds() - start;
      } else {
        floor_make(reads);
        benchmark::DoNotOptimize(floor_first);
        flooring += thread_seconds() - start;
      }
    }
  }
  floor_free();
  return flooring > 0 ? searching / flooring : 0;
}

// ---- the benchmarks --------------------------------------------------------

// Every measurement starts from the same heap: the free chunks that earlier
// benchmarks left in the allocator's bins (millions after a 16 MiB search,
// in whatever order they were freed) are merged and handed back, so that
// neither a search nor the floor inherits another's free lists.
void settle_heap() { malloc_trim(0); }

void search(benchmark::State& state, const Routine* r, std::string kind, int32_t m) {
  const auto n = static_cast<int32_t>(state.range(0));
  const Input& in = input(kind, m, n);
  Buffer buffer(in);
  r->trace_new();
  settle_heap();
  // One call beforehand: every timed call then frees a trace as long as the
  // one it makes, as in a host that searches again and again.
  const int64_t reads = count(call(*r, in, buffer));
  reads_of[Key{r->name, kind, m, n}] = reads;
  for (auto _ : state) {
    trace_node* head = call(*r, in, buffer);
    benchmark::DoNotOptimize(head);
  }
  state.counters["floor_ratio"] = paired_floor_ratio(*r, in, buffer, reads);
  const Key key{r->name, kind, m, n};
  if (search_memory.count(key) == 0) {
    Memory memory;
    r->trace_new();
    const size_t before = heap_in_use();
    call(*r, in, buffer);
    memory.heap = static_cast<double>(heap_in_use() - before);
    if (n >= kPeakFrom) {
      memory.peak = peak_bytes_in_child([r] { r->trace_new(); },
                                        [&] { benchmark::DoNotOptimize(call(*r, in, buffer)); });
    }
    search_memory[key] = memory;
  }
  r->trace_new();
  set_counters(state, reads, n, search_memory[key]);
}

void allocation_floor(benchmark::State& state, const Routine* r, std::string kind, int32_t m) {
  const auto n = static_cast<int32_t>(state.range(0));
  const int64_t reads = reads_for(*r, kind, m, n);
  settle_heap();
  floor_make(reads);
  for (auto _ : state) {
    floor_make(reads);
    benchmark::DoNotOptimize(floor_first);
  }
  const Key key{r->name, kind, m, n};
  if (floor_memory.count(key) == 0) {
    Memory memory;
    floor_free();
    const size_t before = heap_in_use();
    floor_make(reads);
    memory.heap = static_cast<double>(heap_in_use() - before);
    if (n >= kPeakFrom) {
      memory.peak = peak_bytes_in_child([] { floor_free(); }, [reads] { floor_make(reads); });
    }
    floor_memory[key] = memory;
  }
  floor_free();
  set_counters(state, reads, n, floor_memory[key]);
}

void find(benchmark::State& state, std::string kind, int32_t m) {
  const auto n = static_cast<int32_t>(state.range(0));
  const Input& in = input(kind, m, n);
  const std::string_view text(in.text);
  size_t at = 0;
  for (auto _ : state) {
    at = text.find(in.pattern);
    benchmark::DoNotOptimize(at);
  }
  if (at != std::string_view::npos) state.SkipWithError("the pattern occurs in the text");
  state.SetComplexityN(n);
  state.SetBytesProcessed(state.iterations() * n);
}

int32_t print_position(int32_t i) { return i * 16 + i % 7; }  // up to 8 digits, like a 16 MiB text

// Redirects standard output to fd while alive.
class Redirect {
 public:
  explicit Redirect(int fd) : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    dup2(fd, STDOUT_FILENO);
  }
  ~Redirect() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;

 private:
  int saved_;
};

// trace_print of count positions, to /dev/null (the formatting alone) or to
// a file (formatting and writing). Checks once that the output is the bytes
// that printf("%d ") per position and a newline would give.
void print(benchmark::State& state, const Routine* r, bool to_file) {
  const auto count = static_cast<int32_t>(state.range(0));
  r->trace_new();
  std::string expected;
  char digits[16];
  for (int32_t i = 0; i < count; ++i) {
    r->trace_add(print_position(i));
    expected.append(digits, static_cast<size_t>(std::snprintf(digits, sizeof digits, "%d ",
                                                              print_position(i))));
  }
  expected += '\n';
  char path[] = "/tmp/sm_bench_print_XXXXXX";
  const int file = mkstemp(path);
  if (file < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  unlink(path);
  {
    Redirect redirect(file);
    r->trace_print();
  }
  std::string printed(expected.size() + 1, '\0');
  const ssize_t got = pread(file, printed.data(), printed.size(), 0);
  printed.resize(got < 0 ? 0 : static_cast<size_t>(got));
  const int sink = to_file ? file : open("/dev/null", O_WRONLY);
  {
    Redirect redirect(sink);
    for (auto _ : state) {
      if (to_file) {
        state.PauseTiming();
        if (ftruncate(file, 0) != 0 || lseek(file, 0, SEEK_SET) != 0) std::abort();
        state.ResumeTiming();
      }
      r->trace_print();
      std::fflush(stdout);
    }
  }
  if (!to_file) close(sink);
  close(file);
  r->trace_new();
  if (printed != expected) state.SkipWithError("trace_print differs from printf(\"%d \")");
  state.SetItemsProcessed(state.iterations() * count);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(expected.size()));
  state.counters["s_per_position"] = benchmark::Counter(
      count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- registration -------------------------------------------------------

std::vector<Routine>& routines() {
  static std::vector<Routine> loaded;
  return loaded;
}

template <typename... Args>
benchmark::internal::Benchmark* sized(const std::string& name, Args&&... args) {
  return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->RangeMultiplier(4)
      ->Range(kSmallest, kLargest)
      ->Complexity(benchmark::oN)
      ->Unit(benchmark::kMicrosecond);
}

void register_family(const std::string& kind, int32_t m, const std::vector<const Routine*>& which) {
  const std::string suffix = "/" + kind + "/m" + std::to_string(m);
  for (const Routine* r : which) sized("search/" + r->name + suffix, search, r, kind, m);
  for (const Routine* r : which) sized("floor/" + r->name + suffix, allocation_floor, r, kind, m);
  sized("find" + suffix, find, kind, m);
}

void register_all() {
  std::vector<const Routine*> all;
  for (const Routine& r : routines()) all.push_back(&r);
  for (const std::string& kind : text_kinds()) {
    for (int32_t m : kPatternLengths) register_family(kind, m, all);
  }
  for (const Routine* r : all) register_family("hard-" + r->name, kHardPattern, {r});
  if (!all.empty()) {
    // Every library carries the same recorder; the first one loaded prints.
    for (bool to_file : {false, true}) {
      benchmark::RegisterBenchmark(
          ("print/" + all.front()->name + (to_file ? "/file" : "/devnull")).c_str(), print,
          all.front(), to_file)
          ->Arg(kPrintCount)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace
}  // namespace sm_bench

int main(int argc, char** argv) {
  using namespace sm_bench;
  std::vector<char*> args;
  bool full = false, filtered = false, timed = false;
  std::string dir = SM_LIB_DIR;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full") == 0) {
      full = true;
      continue;
    }
    if (std::strncmp(argv[i], "--libs=", 7) == 0) {
      dir = argv[i] + 7;
      continue;
    }
    if (std::strncmp(argv[i], "--benchmark_filter", 18) == 0) filtered = true;
    if (std::strncmp(argv[i], "--benchmark_min_time", 20) == 0) timed = true;
    args.push_back(argv[i]);
  }
  std::string filter = std::string("--benchmark_filter=") + kDefaultFilter;
  if (!full && !filtered) args.push_back(filter.data());
  std::string min_time = kDefaultMinTime;
  if (!timed) args.push_back(min_time.data());
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

  for (const std::string& name : deliverable_names()) {
    Routine r;
    std::string why;
    if (load(dir, name, r, why)) {
      routines().push_back(r);
    } else {
      std::fprintf(stderr, "sm_bench: %s not measured: %s\n", name.c_str(), why.c_str());
    }
  }
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
