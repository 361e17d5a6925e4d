// The automaton store through a loaded library: fresh records of every
// variant, the checked accessors (failures seen from a child process, as a
// user sees them), vertex hand-out and copying.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/graph.h"
#include "support/library.h"
#include "support/process.h"

namespace sm_test {
namespace {

using Table = int32_t* GraphRecord::*;

// One accessor, called uniformly with a vertex and (for edges) a character.
// Setters store a value that every record accepts (0).
struct Accessor {
  std::string name;
  Table table;
  bool edge;
  std::function<int32_t(const Store&, GraphRecord*, int32_t, int32_t)> call;
};

const std::vector<Accessor>& accessors() {
  static const std::vector<Accessor> all = [] {
    std::vector<Accessor> list;
    auto edge_getter = [](const std::string& name, Table table) {
      return Accessor{name, table, true, [name](const Store& s, GraphRecord* g, int32_t v, int32_t c) {
                        return s.edge_get(name, g, v, c);
                      }};
    };
    auto edge_setter = [](const std::string& name, Table table) {
      return Accessor{name, table, true, [name](const Store& s, GraphRecord* g, int32_t v, int32_t c) {
                        s.edge_set(name, g, v, c, 0);
                        return 0;
                      }};
    };
    auto getter = [](const std::string& name, Table table) {
      return Accessor{name, table, false, [name](const Store& s, GraphRecord* g, int32_t v, int32_t) {
                        return s.vertex_get(name, g, v);
                      }};
    };
    auto setter = [](const std::string& name, Table table) {
      return Accessor{name, table, false, [name](const Store& s, GraphRecord* g, int32_t v, int32_t) {
                        s.vertex_set(name, g, v, 0);
                        return 0;
                      }};
    };
    list.push_back(edge_setter("setTarget", &GraphRecord::target));
    list.push_back(edge_getter("getTarget", &GraphRecord::target));
    list.push_back(edge_setter("setShift", &GraphRecord::shift));
    list.push_back(edge_getter("getShift", &GraphRecord::shift));
    list.push_back(setter("setSuffixLink", &GraphRecord::suffixLink));
    list.push_back(getter("getSuffixLink", &GraphRecord::suffixLink));
    list.push_back(setter("setLength", &GraphRecord::length));
    list.push_back(getter("getLength", &GraphRecord::length));
    list.push_back(setter("setPosition", &GraphRecord::position));
    list.push_back(getter("getPosition", &GraphRecord::position));
    list.push_back(Accessor{"setTerminal", &GraphRecord::terminal, false,
                            [](const Store& s, GraphRecord* g, int32_t v, int32_t) {
                              s.setTerminal(g, v);
                              return 0;
                            }});
    list.push_back(getter("isTerminal", &GraphRecord::terminal));
    return list;
  }();
  return all;
}

// A record that a failing call in a child process leaves behind stays
// reachable from here, so that the leak check at the child's exit ignores it.
GraphRecord* g_kept = nullptr;

// A call that must end the process through error() with the given name.
void expect_fatal(const std::string& name, const std::function<void()>& call,
                  const std::string& context = "") {
  Outcome got = run_child([&call] {
    call();
    return 0;
  });
  EXPECT_EQ(got.out, "Error: " + name + "\n") << context;
  EXPECT_EQ(got.status, 1) << context;
}

const std::vector<Table> kTables = {&GraphRecord::terminal, &GraphRecord::target,
                                    &GraphRecord::suffixLink, &GraphRecord::length,
                                    &GraphRecord::position, &GraphRecord::shift};

struct Variant {
  std::string constructor;
  std::vector<Table> present;
  int32_t fresh_target;  // what an untouched edge reads
};

const std::vector<Variant>& variants() {
  static const std::vector<Variant> all = {
      {"newGraph", {}, 0},
      {"newAutomaton", {&GraphRecord::target, &GraphRecord::terminal}, 0},
      {"newTrie", kTables, -1},
      {"newSuffixAutomaton", kTables, -1},
  };
  return all;
}

bool has(const Variant& v, Table t) {
  for (Table p : v.present)
    if (p == t) return true;
  return false;
}

class GraphStore : public ::testing::Test {
 protected:
  GraphStore() : lib_(library_path("turbo_reverse_factor")), store_(lib_) {}
  ~GraphStore() override {
    for (GraphRecord* g : made_) store_.free(g);
  }
  GraphRecord* make(const std::string& constructor, int32_t vertices, int32_t edges) {
    GraphRecord* g = store_.ctor(constructor)(vertices, edges);
    made_.push_back(g);
    return g;
  }
  Library lib_;
  Store store_;
  std::vector<GraphRecord*> made_;
};

TEST_F(GraphStore, FreshRecordOfEveryVariantInEveryLibrary) {
  // 389 / 3 truncates to a row width of 129.
  const int32_t vertices = 3, edges = 389, width = 129;
  for (const std::string library : {"turbo_reverse_factor", "morris_pratt"}) {
    Library lib(library_path(library));
    Store store(lib);
    for (const auto& variant : variants()) {
      const std::string context = library + ": " + variant.constructor;
      GraphRecord* g = store.ctor(variant.constructor)(vertices, edges);
      ASSERT_NE(g, nullptr) << context;
      EXPECT_EQ(g->vertexCount, vertices) << context;
      EXPECT_EQ(g->edgeCount, edges) << context;
      EXPECT_EQ(g->nextVertex, 1) << context;
      EXPECT_EQ(g->initial, 0) << context;
      for (Table t : kTables) EXPECT_EQ(g->*t != nullptr, has(variant, t)) << context;
      if (g->target != nullptr) {
        for (int32_t e = 0; e < edges; ++e) ASSERT_EQ(g->target[e], variant.fresh_target) << context << " entry " << e;
      }
      for (const auto& a : accessors()) {
        if (!has(variant, a.table) || a.name.rfind("get", 0) != 0) continue;
        for (int32_t v = 0; v < vertices; ++v) {
          for (int32_t c = 0; c < (a.edge ? width : 1); ++c) {
            const int32_t expected = a.name == "getTarget" ? variant.fresh_target : 0;
            ASSERT_EQ(a.call(store, g, v, c), expected) << context << " " << a.name << " v" << v << " c" << c;
          }
        }
      }
      if (g->terminal != nullptr) {
        for (int32_t v = 0; v < vertices; ++v) EXPECT_EQ(store.vertex_get("isTerminal", g, v), 0);
      }
      EXPECT_EQ(store.initial(g), 0) << context;
      EXPECT_EQ(store.newVertex(g), 1) << context;
      EXPECT_EQ(g->nextVertex, 2) << context;
      store.free(g);
    }
    store.free(nullptr);  // ignored
  }
}

TEST_F(GraphStore, AccessorsOfAbsentTablesFailWithTheirNames) {
  for (const auto& variant : variants()) {
    for (const auto& a : accessors()) {
      GraphRecord* g = make(variant.constructor, 4, 512);
      const std::string context = variant.constructor + " " + a.name;
      if (has(variant, a.table)) {
        Outcome got = run_child([&] {
          a.call(store_, g, 1, 5);
          return 0;
        });
        EXPECT_EQ(got.out, "") << context;
        EXPECT_EQ(got.status, 0) << context;
      } else {
        expect_fatal(a.name, [&] { a.call(store_, g_kept = g, 1, 5); }, context);
      }
    }
  }
  // A graph without tables still has its initial vertex and hands out vertices.
  GraphRecord* g = make("newGraph", 3, 0);
  EXPECT_EQ(store_.initial(g), 0);
  EXPECT_EQ(store_.newVertex(g), 1);
}

TEST_F(GraphStore, EveryOperationFailsOnANullRecord) {
  for (const auto& a : accessors()) {
    expect_fatal(a.name, [&] { a.call(store_, nullptr, 0, 0); });
  }
  expect_fatal("getInitial", [&] { store_.initial(nullptr); });
  expect_fatal("newVertex", [&] { store_.newVertex(nullptr); });
  expect_fatal("copyVertex", [&] { store_.copy(nullptr, 0, 0); });
}

TEST_F(GraphStore, NewVertexHandsOutUntilTheRecordIsFull) {
  struct Case { int32_t vertices; std::vector<int32_t> handed; };
  const std::vector<Case> cases = {{4, {1, 2, 3}}, {2, {1}}, {1, {}}, {0, {}}, {-2, {}}};
  for (const auto& c : cases) {
    GraphRecord* g = make("newSuffixAutomaton", c.vertices, 128 * c.vertices);
    for (int32_t expected : c.handed) EXPECT_EQ(store_.newVertex(g), expected);
    expect_fatal("newVertex", [&] { store_.newVertex(g_kept = g); },
                 "vertexCount " + std::to_string(c.vertices));
  }
}

TEST_F(GraphStore, VertexNumbersOutsideTheRecordFail) {
  const int32_t vertices = 4;
  GraphRecord* g = make("newSuffixAutomaton", vertices, 128 * vertices);
  g_kept = g;
  // vertexCount itself, then (mended) negative numbers, which would address
  // entries before the tables.
  for (int32_t v : {vertices, vertices + 1, INT32_MAX, -1, -4, INT32_MIN}) {
    for (const auto& a : accessors()) {
      expect_fatal(a.name, [&] { a.call(store_, g, v, 0); }, a.name + " v" + std::to_string(v));
    }
    expect_fatal("copyVertex", [&] { store_.copy(g, v, 0); });
    expect_fatal("copyVertex", [&] { store_.copy(g, 0, v); });
  }
  for (const auto& a : accessors()) a.call(store_, g, vertices - 1, 0);  // the last vertex is fine
}

TEST_F(GraphStore, ZeroCountsMakeAnUnaddressableRecord) {
  for (const auto& constructor : {"newAutomaton", "newTrie", "newSuffixAutomaton"}) {
    GraphRecord* g = make(constructor, 0, 0);
    g_kept = g;
    EXPECT_EQ(store_.initial(g), 0);
    expect_fatal("getTarget", [&] { store_.edge_get("getTarget", g, 0, 0); }, constructor);
    expect_fatal("isTerminal", [&] { store_.vertex_get("isTerminal", g, 0); }, constructor);
  }
  // Vertices but no edge room: the row width is 0, so no character fits.
  GraphRecord* g = make("newSuffixAutomaton", 3, 2);
  g_kept = g;
  expect_fatal("getTarget", [&] { store_.edge_get("getTarget", g, 0, 0); });
  EXPECT_EQ(store_.vertex_get("getLength", g, 2), 0);
}

TEST_F(GraphStore, CharactersOutsideTheRowFail) {
  const int32_t vertices = 3;
  GraphRecord* g = make("newSuffixAutomaton", vertices, 128 * vertices);
  g_kept = g;
  struct Case { int32_t v, c; };
  // c = 128 and 255 at vertex 0 pass the product check and would address
  // another vertex's row; negative characters (mended) would address entries
  // before the row; INT32_MAX overflows a 32-bit product.
  const std::vector<Case> rejected = {{0, 128}, {0, 255}, {1, 128}, {2, 200}, {0, -1},
                                      {1, -1},  {2, -128}, {2, INT32_MAX}, {1, INT32_MIN}};
  for (const auto& a : accessors()) {
    if (!a.edge) continue;
    for (const auto& c : rejected) {
      expect_fatal(a.name, [&] { a.call(store_, g, c.v, c.c); },
                   a.name + " v" + std::to_string(c.v) + " c" + std::to_string(c.c));
    }
  }
}

TEST_F(GraphStore, EdgesLiveInOneRowPerVertex) {
  const int32_t vertices = 3, width = 128;
  GraphRecord* g = make("newSuffixAutomaton", vertices, width * vertices);
  struct Case { int32_t v, c, t, s; };
  const std::vector<Case> writes = {{0, 0, 2, 5}, {0, 127, 1, 6}, {1, 0, 0, 7}, {2, 127, -1, 8}, {2, 97, 2, 9}};
  for (const auto& w : writes) {
    store_.edge_set("setTarget", g, w.v, w.c, w.t);
    store_.edge_set("setShift", g, w.v, w.c, w.s);
  }
  for (const auto& w : writes) {
    EXPECT_EQ(store_.edge_get("getTarget", g, w.v, w.c), w.t);
    EXPECT_EQ(store_.edge_get("getShift", g, w.v, w.c), w.s);
    EXPECT_EQ(g->target[w.v * width + w.c], w.t);
    EXPECT_EQ(g->shift[w.v * width + w.c], w.s);
  }
  // Neighbouring slots stay untouched.
  EXPECT_EQ(store_.edge_get("getTarget", g, 1, 127), -1);
  EXPECT_EQ(store_.edge_get("getTarget", g, 0, 1), -1);
  EXPECT_EQ(store_.edge_get("getShift", g, 1, 1), 0);
}

TEST_F(GraphStore, StoredTargetsAndLinksStayBelowTheVertexCount) {
  const int32_t vertices = 4;
  GraphRecord* g = make("newSuffixAutomaton", vertices, 128 * vertices);
  g_kept = g;
  expect_fatal("setTarget", [&] { store_.edge_set("setTarget", g, 1, 3, vertices); });
  expect_fatal("setTarget", [&] { store_.edge_set("setTarget", g, 1, 3, INT32_MAX); });
  expect_fatal("setSuffixLink", [&] { store_.vertex_set("setSuffixLink", g, 1, vertices); });
  // Any value below vertexCount is stored, -1 (no edge) included.
  for (int32_t value : {vertices - 1, 0, -1, -7}) {
    store_.edge_set("setTarget", g, 1, 3, value);
    EXPECT_EQ(store_.edge_get("getTarget", g, 1, 3), value);
    store_.vertex_set("setSuffixLink", g, 2, value);
    EXPECT_EQ(store_.vertex_get("getSuffixLink", g, 2), value);
  }
  // Length, position and shift are stored as given.
  store_.vertex_set("setLength", g, 3, -9);
  store_.vertex_set("setPosition", g, 3, 1000);
  store_.edge_set("setShift", g, 3, 0, -2);
  EXPECT_EQ(store_.vertex_get("getLength", g, 3), -9);
  EXPECT_EQ(store_.vertex_get("getPosition", g, 3), 1000);
  EXPECT_EQ(store_.edge_get("getShift", g, 3, 0), -2);
}

struct VertexState {
  std::vector<int32_t> targets, shifts;
  int32_t terminal = 0, link = 0, length = 0, position = 0;
  bool operator==(const VertexState& o) const {
    return targets == o.targets && shifts == o.shifts && terminal == o.terminal &&
           link == o.link && length == o.length && position == o.position;
  }
};

VertexState state_of(const GraphRecord* g, int32_t v) {
  const int32_t width = g->edgeCount / g->vertexCount;
  VertexState s;
  if (g->target) s.targets.assign(g->target + v * width, g->target + (v + 1) * width);
  if (g->shift) s.shifts.assign(g->shift + v * width, g->shift + (v + 1) * width);
  if (g->terminal) s.terminal = g->terminal[v];
  if (g->suffixLink) s.link = g->suffixLink[v];
  if (g->length) s.length = g->length[v];
  if (g->position) s.position = g->position[v];
  return s;
}

TEST_F(GraphStore, CopyVertexCopiesEveryTableTheRecordHas) {
  for (const std::string constructor : {"newSuffixAutomaton", "newTrie", "newAutomaton"}) {
    GraphRecord* g = make(constructor, 4, 512);
    const bool full = g->shift != nullptr;
    for (int32_t c : {0, 5, 127}) {
      store_.edge_set("setTarget", g, 2, c, 3);
      if (full) store_.edge_set("setShift", g, 2, c, c + 1);
    }
    store_.setTerminal(g, 2);
    store_.setTerminal(g, 3);  // marked, and will be overwritten by unmarked 0
    if (full) {
      store_.vertex_set("setSuffixLink", g, 2, 3);
      store_.vertex_set("setLength", g, 2, 7);
      store_.vertex_set("setPosition", g, 2, 9);
      store_.edge_set("setShift", g, 1, 4, 11);
    }
    store_.edge_set("setTarget", g, 1, 4, 2);

    const VertexState source = state_of(g, 2), before_0 = state_of(g, 0);
    store_.copy(g, 1, 2);
    EXPECT_EQ(state_of(g, 1), source) << constructor;
    EXPECT_EQ(state_of(g, 2), source) << constructor;
    store_.copy(g, 2, 2);
    EXPECT_EQ(state_of(g, 2), source) << constructor;
    store_.copy(g, 3, 0);  // unmarked over marked
    EXPECT_EQ(state_of(g, 3), before_0) << constructor;
    EXPECT_EQ(store_.vertex_get("isTerminal", g, 3), 0) << constructor;
    EXPECT_EQ(g->nextVertex, 1) << constructor;
  }
  GraphRecord* bare = make("newGraph", 4, 512);
  store_.copy(bare, 1, 2);  // no tables, nothing to copy, no failure
  g_kept = bare;
  expect_fatal("copyVertex", [&] { store_.copy(bare, 4, 0); });
  expect_fatal("copyVertex", [&] { store_.copy(bare, 0, 4); });
}

}  // namespace
}  // namespace sm_test
