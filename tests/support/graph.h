// The automaton store as a host sees it: the record's layout and the store's
// operations, looked up by name in a loaded library.
#pragma once

#include <cstdint>
#include <string>

#include "support/library.h"

namespace sm_test {

// The record; the field order is part of the interface.
struct GraphRecord {
  int32_t vertexCount;
  int32_t edgeCount;
  int32_t nextVertex;
  int32_t initial;
  int32_t* terminal;
  int32_t* target;
  int32_t* suffixLink;
  int32_t* length;
  int32_t* position;
  int32_t* shift;
};

class Store {
 public:
  explicit Store(const Library& lib) : lib_(lib) {}

  using Ctor = GraphRecord* (*)(int32_t, int32_t);
  Ctor ctor(const std::string& name) const { return lib_.fn<Ctor>(name); }
  void free(GraphRecord* g) const { lib_.fn<void (*)(GraphRecord*)>("freeGraph")(g); }
  int32_t initial(GraphRecord* g) const { return lib_.fn<int32_t (*)(GraphRecord*)>("getInitial")(g); }
  int32_t newVertex(GraphRecord* g) const { return lib_.fn<int32_t (*)(GraphRecord*)>("newVertex")(g); }
  void copy(GraphRecord* g, int32_t d, int32_t s) const {
    lib_.fn<void (*)(GraphRecord*, int32_t, int32_t)>("copyVertex")(g, d, s);
  }
  int32_t edge_get(const std::string& name, GraphRecord* g, int32_t v, int32_t c) const {
    return lib_.fn<int32_t (*)(GraphRecord*, int32_t, int32_t)>(name)(g, v, c);
  }
  void edge_set(const std::string& name, GraphRecord* g, int32_t v, int32_t c, int32_t x) const {
    lib_.fn<void (*)(GraphRecord*, int32_t, int32_t, int32_t)>(name)(g, v, c, x);
  }
  int32_t vertex_get(const std::string& name, GraphRecord* g, int32_t v) const {
    return lib_.fn<int32_t (*)(GraphRecord*, int32_t)>(name)(g, v);
  }
  void vertex_set(const std::string& name, GraphRecord* g, int32_t v, int32_t x) const {
    lib_.fn<void (*)(GraphRecord*, int32_t, int32_t)>(name)(g, v, x);
  }
  void setTerminal(GraphRecord* g, int32_t v) const {
    lib_.fn<void (*)(GraphRecord*, int32_t)>("setTerminal")(g, v);
  }

 private:
  const Library& lib_;
};

}  // namespace sm_test
