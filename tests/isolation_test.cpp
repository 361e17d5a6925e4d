// Several libraries in one process, loaded with RTLD_GLOBAL: each keeps its
// own trace and settings, and a second call replaces the first call's list.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/library.h"

namespace sm_test {
namespace {

// A copy of a built library under another name, removed afterwards.
class LibraryCopy {
 public:
  LibraryCopy(const std::string& name, const std::string& tag)
      : path_(std::string(SM_LIB_DIR) + "/copy_" + tag + "_" + std::to_string(getpid()) +
              "_lib" + name + ".so") {
    std::ifstream in(library_path(name), std::ios::binary);
    std::ofstream out(path_, std::ios::binary);
    out << in.rdbuf();
  }
  ~LibraryCopy() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(Isolation, TwoCopiesWithGlobalSymbolsKeepTheirOwnState) {
  LibraryCopy first_file("morris_pratt", "a"), second_file("morris_pratt", "b");
  Library first(first_file.path(), RTLD_NOW | RTLD_GLOBAL);
  Library second(second_file.path(), RTLD_NOW | RTLD_GLOBAL);

  EXPECT_EQ(first.search("morris_pratt", "ab", "xxab"), (std::vector<int32_t>{0, 1, 2, 3}));
  const trace_node* first_head = first.trace_first();
  EXPECT_EQ(second.search("morris_pratt", "b", "ab"), (std::vector<int32_t>{0, 1}));

  EXPECT_EQ(first.txt_length(), 4);
  EXPECT_EQ(second.txt_length(), 2);
  EXPECT_EQ(first.trace_first(), first_head);  // untouched by the other copy
  EXPECT_EQ(walk(first_head), (std::vector<int32_t>{0, 1, 2, 3}));

  // The exported recorder of one copy works on that copy's list only.
  second.fn<smtrace_record_fn>("trace_add")(9);
  EXPECT_EQ(walk(second.trace_first()), (std::vector<int32_t>{0, 1, 9}));
  EXPECT_EQ(walk(first.trace_first()), (std::vector<int32_t>{0, 1, 2, 3}));

  // A window opened in one copy is not open in the other.
  first.set_window(true);
  EXPECT_EQ(first.prune_duplicates(), 1);
  EXPECT_EQ(second.prune_duplicates(), 0);
  first.set_window(false);
}

TEST(Isolation, SecondCallReplacesTheFirstList) {
  Library lib(library_path("morris_pratt"));
  auto entry = lib.fn<smtrace_entry_fn>("morris_pratt");
  char first_text[] = "aab";
  trace_node* first = entry("b", 1, first_text, 3);
  EXPECT_EQ(walk(first), (std::vector<int32_t>{0, 1, 2}));
  char second_text[] = "ba";
  trace_node* second = entry("a", 1, second_text, 2);
  EXPECT_EQ(walk(second), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(lib.trace_first(), second);
  EXPECT_EQ(lib.global<trace_node*>("trace_current")->position, 1);
  EXPECT_EQ(lib.txt_length(), 2);
}

TEST(Isolation, EntryReturnsNullWhenNothingWasRecorded) {
  Library lib(library_path("morris_pratt"));
  char text[] = "";
  EXPECT_EQ(lib.fn<smtrace_entry_fn>("morris_pratt")("ab", 2, text, 0), nullptr);
  EXPECT_EQ(lib.txt_length(), 0);
}

}  // namespace
}  // namespace sm_test
