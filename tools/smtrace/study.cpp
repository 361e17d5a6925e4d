// smtrace study and smtrace study merge: the options, the texts, and the
// outputs.
#include "study.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

#include "failure.h"
#include "library.h"
#include "texts/generate.h"

namespace smtrace {
namespace {

constexpr const char* kStudyUsage =
    "usage: smtrace study [--text-file PATH]... [--generate KIND:SIZE]... [--lengths LIST]\n"
    "                     [--patterns N] [--seed S] [--present] [--absent] [--jobs N]\n"
    "                     [--shard K/N] [--csv | --json] [--svg FILE] [--timing]\n"
    "       smtrace study merge FILE... [--csv | --json] [--svg FILE]\n";

constexpr const char* kStudyHelp =
    "\n"
    "Measures how much each routine reads per text character, against the pattern\n"
    "length: for every text and length it draws patterns at random places of the\n"
    "text and runs every library on each, as any host does.\n"
    "\n"
    "  --text-file PATH     a text (repeat for more)\n"
    "  --generate KIND:SIZE a generated text: KIND randomK (random over K letters,\n"
    "                       K from 1 to 94) or english (English-like); SIZE in bytes,\n"
    "                       with an optional K or M suffix (KiB, MiB); fixed seeds\n"
    "  --lengths LIST       pattern lengths, comma-separated (2,4,8,16,32,64)\n"
    "  --patterns N         patterns drawn per text and length (100)\n"
    "  --seed S             the draws' seed (1)\n"
    "  --present            patterns that occur: reads up to the routine's own first\n"
    "                       occurrence, per character read through,\n"
    "                       reads / (occurrence + m)\n"
    "  --absent             patterns changed until they occur nowhere: the whole text\n"
    "                       is scanned, reads / n (with --present too: both; the\n"
    "                       default is --present)\n"
    "  --jobs N             worker processes (the number of cores)\n"
    "  --shard K/N          run the K-th of N parts; study merge joins the parts' JSON\n"
    "  --csv, --json        the summary as CSV, or the cases and the summary as JSON\n"
    "                       (the default is an aligned table)\n"
    "  --svg FILE           also draw reads per character against pattern length\n"
    "  --timing             on standard error: the run's time and the time spent in\n"
    "                       the library calls\n"
    "\n"
    "Per algorithm and length: mean, median and quartiles of reads, compares,\n"
    "look-aheads and dropped reads, per character. A progress line goes to\n"
    "standard error when it is a terminal. Exit status 9: a worker process died\n"
    "or could not report; the other statuses are smtrace's.\n";

Failure usage(const std::string& message) { return Failure(kUsage, message); }

struct StudyOptions {
  bool merge = false;
  std::vector<std::string> files;  // merge's operands
  struct TextSource {
    bool file;
    std::string given;
  };
  std::vector<TextSource> texts;
  std::optional<std::vector<int32_t>> lengths;
  std::optional<int32_t> patterns;
  std::optional<uint64_t> seed;
  bool present = false;
  bool absent = false;
  std::optional<unsigned> jobs;
  std::optional<Shard> shard;
  bool csv = false;
  bool json = false;
  std::optional<std::string> svg;
  bool timing = false;
  bool help = false;
};

template <typename Number>
bool parse_number(std::string_view text, Number& out) {
  const auto done = std::from_chars(text.data(), text.data() + text.size(), out);
  return done.ec == std::errc() && done.ptr == text.data() + text.size() && !text.empty();
}

int64_t parse_size(const std::string& text, const std::string& given) {
  std::string digits = text;
  int64_t unit = 1;
  if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'k')) {
    unit = 1024;
    digits.pop_back();
  } else if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) {
    unit = 1024 * 1024;
    digits.pop_back();
  }
  int64_t size = 0;
  if (!parse_number(digits, size) || size < 1 || size > INT32_MAX / unit) {
    throw usage("--generate " + given + ": the size is a positive number of bytes, with K or M");
  }
  return size * unit;
}

StudyOptions parse_study(int argc, char** argv) {
  StudyOptions o;
  int i = 1;
  if (argc > 1 && std::strcmp(argv[1], "merge") == 0) {
    o.merge = true;
    i = 2;
  }
  bool options = true;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
      continue;
    }
    if (!options || arg.rfind("--", 0) != 0) {
      if (!o.merge) throw usage("study takes no operands (\"" + arg + "\"); texts come with --text-file or --generate");
      o.files.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    auto flag = [&](bool& slot) {
      if (equals != std::string::npos) throw usage(name + " takes no value");
      slot = true;
    };
    auto value = [&]() {
      std::string v;
      if (equals != std::string::npos) {
        v = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        v = argv[++i];
      } else {
        throw usage(name + " needs a value");
      }
      if (v.empty()) throw usage(name + " needs a value");
      return v;
    };
    auto once = [&](bool given) {
      if (given) throw usage(name + " is given twice");
    };
    auto study_only = [&]() {
      if (o.merge) throw usage("study merge takes no " + name + ": the parts hold the study");
    };
    if (name == "--help") {
      flag(o.help);
    } else if (name == "--csv") {
      flag(o.csv);
    } else if (name == "--json") {
      flag(o.json);
    } else if (name == "--svg") {
      once(o.svg.has_value());
      o.svg = value();
    } else if (name == "--timing") {
      study_only();
      flag(o.timing);
    } else if (name == "--present") {
      study_only();
      flag(o.present);
    } else if (name == "--absent") {
      study_only();
      flag(o.absent);
    } else if (name == "--text-file") {
      study_only();
      o.texts.push_back({true, value()});
    } else if (name == "--generate") {
      study_only();
      o.texts.push_back({false, value()});
    } else if (name == "--lengths") {
      study_only();
      once(o.lengths.has_value());
      const std::string list = value();
      std::vector<int32_t> lengths;
      size_t start = 0;
      for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int32_t m = 0;
        if (!parse_number(item, m) || m < 1) {
          throw usage("--lengths takes positive pattern lengths separated by commas, not \"" + list + "\"");
        }
        lengths.push_back(m);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      std::sort(lengths.begin(), lengths.end());
      lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
      o.lengths = lengths;
    } else if (name == "--patterns") {
      study_only();
      once(o.patterns.has_value());
      int32_t n = 0;
      if (!parse_number(value(), n) || n < 1) throw usage("--patterns takes a positive number");
      o.patterns = n;
    } else if (name == "--seed") {
      study_only();
      once(o.seed.has_value());
      uint64_t s = 0;
      if (!parse_number(value(), s)) throw usage("--seed takes a number from 0 to 18446744073709551615");
      o.seed = s;
    } else if (name == "--jobs") {
      study_only();
      once(o.jobs.has_value());
      unsigned j = 0;
      if (!parse_number(value(), j) || j < 1 || j > 1024) throw usage("--jobs takes a number from 1 to 1024");
      o.jobs = j;
    } else if (name == "--shard") {
      study_only();
      once(o.shard.has_value());
      const std::string v = value();
      const size_t slash = v.find('/');
      Shard s;
      if (slash == std::string::npos || !parse_number(std::string_view(v).substr(0, slash), s.index) ||
          !parse_number(std::string_view(v).substr(slash + 1), s.count) || s.count < 1 ||
          s.index < 1 || s.index > s.count || s.count > kMostShards) {
        throw usage("--shard takes K/N with 1 <= K <= N <= " + std::to_string(kMostShards) +
                    ", not \"" + v + "\"");
      }
      o.shard = s;
    } else {
      throw usage("unknown option " + name + " for study" + (o.merge ? " merge" : ""));
    }
  }
  if (o.csv && o.json) throw usage("--csv and --json are given both");
  if (o.merge && o.files.empty() && !o.help) throw usage("study merge needs the parts' JSON files");
  if (!o.merge && o.texts.empty() && !o.help) throw usage("study needs a text: --text-file PATH or --generate KIND:SIZE");
  return o;
}

std::string read_whole(const std::string& path, const char* what) {
  FILE* file = std::fopen(path.c_str(), "rb");
  auto unreadable = [&](int code) {
    return Failure(kUnreadableFile, std::string("cannot read the ") + what + " file " + path + ": " +
                                        std::strerror(code));
  };
  if (file == nullptr) throw unreadable(errno);
  std::string data;
  char block[1 << 16];
  for (;;) {
    const size_t got = std::fread(block, 1, sizeof block, file);
    data.append(block, got);
    if (got < sizeof block) break;
  }
  const bool failed = std::ferror(file) != 0;
  const int code = errno;
  std::fclose(file);
  if (failed) throw unreadable(code != 0 ? code : EIO);
  return data;
}

// The printable ASCII letters of randomK texts, in the order they are taken.
constexpr const char kLetters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

std::string generate(const std::string& given) {
  const size_t colon = given.find(':');
  if (colon == std::string::npos) throw usage("--generate takes KIND:SIZE, not \"" + given + "\"");
  const std::string kind = given.substr(0, colon);
  const auto n = static_cast<int32_t>(parse_size(given.substr(colon + 1), given));
  // The seeds are fixed: a kind and a size always give the same text.
  sm_texts::Random random(sm_texts::seed_of("study:" + kind, 0, n, 0));
  if (kind == "english") return sm_texts::english_text(n, random);
  uint32_t letters = 0;
  if (kind.rfind("random", 0) == 0 && parse_number(std::string_view(kind).substr(6), letters) &&
      letters >= 1 && letters <= sizeof kLetters - 1) {
    return sm_texts::random_text(std::string(kLetters, letters), n, random);
  }
  throw usage("--generate: unknown kind \"" + kind + "\"; the kinds are randomK (K from 1 to " +
              std::to_string(sizeof kLetters - 1) + ") and english");
}

uint64_t fnv1a(const std::string& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

unsigned cores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

double seconds_now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Writes the file under a temporary name beside it and renames it into
// place, so that a failure leaves nothing at the path.
void write_svg(const std::string& path, const std::string& content) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  auto fail = [&](int code) {
    if (fd >= 0) unlink(temporary.c_str());
    return Failure(kUnwritableOutput, "cannot write the SVG file " + path + ": " + std::strerror(code));
  };
  if (fd < 0) throw fail(errno);
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t got = write(fd, content.data() + written, content.size() - written);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      const int code = got < 0 ? errno : EIO;
      close(fd);
      throw fail(code);
    }
    written += static_cast<size_t>(got);
  }
  if (close(fd) != 0) throw fail(errno);
  if (rename(temporary.c_str(), path.c_str()) != 0) throw fail(errno);
}

void output(const StudyOptions& o, const StudyResult& result) {
  const std::vector<SummaryRow> summary = summarize(result);
  if (o.svg) write_svg(*o.svg, study_svg(result, summary));
  const std::string text = o.json ? study_json(result, summary)
                           : o.csv ? study_csv(result, summary)
                                   : study_table(result, summary);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

StudyDefinition define(const StudyOptions& o) {
  StudyDefinition study;
  study.lengths = o.lengths.value_or(std::vector<int32_t>{2, 4, 8, 16, 32, 64});
  study.patterns = o.patterns.value_or(100);
  study.seed = o.seed.value_or(1);
  if (o.present || !o.absent) study.kinds.push_back(PatternKind::present);
  if (o.absent) study.kinds.push_back(PatternKind::absent);
  const int32_t longest = study.lengths.back();
  for (const auto& source : o.texts) {
    StudyText text;
    text.name = source.given;
    text.bytes = source.file ? read_whole(source.given, "text") : generate(source.given);
    if (text.bytes.size() > static_cast<size_t>(INT32_MAX - longest - 2)) {
      throw Failure(kRefusedInput, "the text " + text.name + " is longer than " +
                                       std::to_string(INT32_MAX - longest - 2) +
                                       " bytes, the most a search takes with these lengths");
    }
    if (text.bytes.size() < static_cast<size_t>(longest)) {
      throw Failure(kRefusedInput, "the text " + text.name + " has " +
                                       std::to_string(text.bytes.size()) +
                                       " bytes, fewer than the pattern length " +
                                       std::to_string(longest));
    }
    text.length = static_cast<int64_t>(text.bytes.size());
    text.hash = fnv1a(text.bytes);
    study.texts.push_back(std::move(text));
  }
  return study;
}

}  // namespace

int study_command(int argc, char** argv) {
  const double start = seconds_now();
  const StudyOptions o = parse_study(argc, argv);
  if (o.help) {
    std::string text = std::string(kStudyUsage) + kStudyHelp;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
  }
  if (o.merge) {
    std::vector<StudyResult> parts;
    for (const std::string& file : o.files) {
      parts.push_back(read_study_json(read_whole(file, "study"), file));
    }
    output(o, merge_parts(std::move(parts), o.files));
    return kOk;
  }
  StudyResult result;
  result.study = define(o);
  result.shard = o.shard.value_or(Shard{});
  RunOptions run;
  run.jobs = o.jobs.value_or(cores());
  run.progress = isatty(STDERR_FILENO) == 1;
  run.directory = library_directory();
  CallTimes times;
  result.cases = run_cases(result.study, result.shard, run, times);
  output(o, result);
  if (o.timing) {
    const double whole = seconds_now() - start;
    const double calls = times.entries + times.summaries;
    const auto workers = static_cast<unsigned>(
        std::min<size_t>(run.jobs, std::max<size_t>(1, result.cases.size())));
    std::fprintf(stderr,
                 "study: %zu cases, %u worker%s, %.2f s in all; in the library calls %.2f s "
                 "summed over the workers (entries %.2f s, summaries %.2f s); "
                 "time in all x workers / time in the calls = %.3f; processor time of the "
                 "workers %.2f s, of the busiest %.2f s\n",
                 result.cases.size(), workers, workers == 1 ? "" : "s", whole, calls,
                 times.entries, times.summaries, calls > 0 ? whole * workers / calls : 0.0,
                 times.processor, times.busiest_processor);
  }
  return kOk;
}

}  // namespace smtrace
