// Where smtrace's output goes, checked: standard output, and the files named
// by --svg, --html and the like.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace smtrace {

// Standard output through one buffer whose every write, final flush and
// close are checked. A write error (a full disk, ...) throws
// Failure(kWriteError); a closed pipe ends the process the way other tools
// end: quietly, by SIGPIPE, even when the caller ignores that signal.
class Output {
 public:
  static Output& standard();
  void write(std::string_view bytes);
  void write(const char* bytes, size_t length) { write(std::string_view(bytes, length)); }
  // Writes out what the buffer holds.
  void flush_now();
  // Flushes, then closes standard output and checks the close: called once,
  // at the end of a command that succeeded.
  void finish();
  ~Output();

 private:
  explicit Output(int fd) : fd_(fd) {}
  void flush();
  int fd_;
  std::string buffer_;
  bool finished_ = false;
};

// Writes a whole file for the option `what` ("--svg", "--html", ...):
//   "-"                      standard output;
//   an existing path that is not a regular file once links are followed (a
//   FIFO, a terminal, /dev/stdout, /dev/fd/N): written in place, never
//   replaced;
//   a regular file, through a link or not, or a new path: written under a
//   temporary name beside the file and renamed over it, so that a failure
//   leaves the old content (or nothing) there, and a link stays a link.
// A failure throws Failure(kUnwritableOutput) naming the path.
void write_output_file(const std::string& path, std::string_view content, const char* what);

// The bytes of a file, or of standard input for "-".
// Throws Failure(kUnreadableFile), or Failure(kRefusedInput) past
// `longest` bytes.
std::string read_input_file(const std::string& path, const char* what, size_t longest);

}  // namespace smtrace
