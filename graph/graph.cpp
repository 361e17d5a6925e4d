#include "graph/graph.h"

#include <cstdlib>
#include <cstring>

#include "core/utils.h"

namespace {

// A zero-filled table of count entries. A count of zero or less gives a
// table that no vertex or edge can address (every access fails its bound
// check first); it still holds one entry so that it is present.
int32_t* new_table(int32_t count, const char* name) {
  const size_t entries = count > 0 ? static_cast<size_t>(count) : 1;
  return sm::allocate<int32_t>(entries, name, true);
}

// Checks the record, then that the table is present, then the vertex, and
// returns the table.
int32_t* checked_table(Graph* g, int32_t* Graph::*table, int32_t v, const char* name) {
  if (g == nullptr) error(name);
  if (g->*table == nullptr) error(name);
  if (v < 0 || v >= g->vertexCount) error(name);
  return g->*table;
}

int32_t* vertex_entry(Graph* g, int32_t* Graph::*table, int32_t v, const char* name) {
  return checked_table(g, table, v, name) + v;
}

// The edge entry v * W + c: the checks of a vertex entry, then the character
// itself, which must lie in the row (0 <= c < W), so that no character
// addresses a neighbouring row or beyond. With v below vertexCount and c
// below W, c * v is always below edgeCount: no product check is needed.
int32_t* edge_entry(Graph* g, int32_t* Graph::*table, int32_t v, int32_t c, const char* name) {
  int32_t* const entries = checked_table(g, table, v, name);
  const int32_t width = g->edgeCount / g->vertexCount;
  if (c < 0 || c >= width) error(name);
  return entries + (v * width + c);
}

void copy_row(int32_t* table, int32_t width, int32_t destination, int32_t source) {
  if (table == nullptr || width <= 0 || destination == source) return;
  std::memcpy(table + destination * width, table + source * width,
              static_cast<size_t>(width) * sizeof(int32_t));
}

void copy_entry(int32_t* table, int32_t destination, int32_t source) {
  if (table != nullptr) table[destination] = table[source];
}

// Adds the four tables that a trie and a suffix automaton have beyond an
// automaton's, and turns every target into "no edge".
Graph* with_all_tables(Graph* g, const char* name) {
  if (g->edgeCount > 0) {
    std::memset(g->target, 0xFF, static_cast<size_t>(g->edgeCount) * sizeof(int32_t));
  }
  g->suffixLink = new_table(g->vertexCount, name);
  g->length = new_table(g->vertexCount, name);
  g->position = new_table(g->vertexCount, name);
  g->shift = new_table(g->edgeCount, name);
  return g;
}

}  // namespace

Graph* newGraph(int32_t vertexCount, int32_t edgeCount) {
  auto* g = sm::allocate<Graph>(1, "newGraph", true);
  g->vertexCount = vertexCount;
  g->edgeCount = edgeCount;
  g->initial = 0;
  g->nextVertex = 1;
  return g;
}

Graph* newAutomaton(int32_t vertexCount, int32_t edgeCount) {
  Graph* g = newGraph(vertexCount, edgeCount);
  g->target = new_table(edgeCount, "newAutomaton");
  g->terminal = new_table(vertexCount, "newAutomaton");
  return g;
}

Graph* newTrie(int32_t vertexCount, int32_t edgeCount) {
  return with_all_tables(newAutomaton(vertexCount, edgeCount), "newTrie");
}

Graph* newSuffixAutomaton(int32_t vertexCount, int32_t edgeCount) {
  return with_all_tables(newAutomaton(vertexCount, edgeCount), "newSuffixAutomaton");
}

void freeGraph(Graph* g) {
  if (g == nullptr) return;
  std::free(g->terminal);
  std::free(g->target);
  std::free(g->suffixLink);
  std::free(g->length);
  std::free(g->position);
  std::free(g->shift);
  std::free(g);
}

int32_t getInitial(Graph* g) {
  if (g == nullptr) error("getInitial");
  return g->initial;
}

int32_t newVertex(Graph* g) {
  if (g == nullptr) error("newVertex");
  if (g->nextVertex >= g->vertexCount) error("newVertex");
  return g->nextVertex++;
}

void copyVertex(Graph* g, int32_t destination, int32_t source) {
  if (g == nullptr) error("copyVertex");
  if (destination < 0 || destination >= g->vertexCount) error("copyVertex");
  if (source < 0 || source >= g->vertexCount) error("copyVertex");
  const int32_t width = g->edgeCount / g->vertexCount;
  copy_row(g->target, width, destination, source);
  copy_row(g->shift, width, destination, source);
  copy_entry(g->terminal, destination, source);
  copy_entry(g->suffixLink, destination, source);
  copy_entry(g->length, destination, source);
  copy_entry(g->position, destination, source);
}

void setTarget(Graph* g, int32_t v, int32_t c, int32_t t) {
  int32_t* entry = edge_entry(g, &Graph::target, v, c, "setTarget");
  if (t >= g->vertexCount) error("setTarget");
  *entry = t;
}

int32_t getTarget(Graph* g, int32_t v, int32_t c) {
  return *edge_entry(g, &Graph::target, v, c, "getTarget");
}

void setShift(Graph* g, int32_t v, int32_t c, int32_t s) {
  *edge_entry(g, &Graph::shift, v, c, "setShift") = s;
}

int32_t getShift(Graph* g, int32_t v, int32_t c) {
  return *edge_entry(g, &Graph::shift, v, c, "getShift");
}

void setSuffixLink(Graph* g, int32_t v, int32_t l) {
  int32_t* entry = vertex_entry(g, &Graph::suffixLink, v, "setSuffixLink");
  if (l >= g->vertexCount) error("setSuffixLink");
  *entry = l;
}

int32_t getSuffixLink(Graph* g, int32_t v) {
  return *vertex_entry(g, &Graph::suffixLink, v, "getSuffixLink");
}

void setLength(Graph* g, int32_t v, int32_t n) {
  *vertex_entry(g, &Graph::length, v, "setLength") = n;
}

int32_t getLength(Graph* g, int32_t v) {
  return *vertex_entry(g, &Graph::length, v, "getLength");
}

void setPosition(Graph* g, int32_t v, int32_t p) {
  *vertex_entry(g, &Graph::position, v, "setPosition") = p;
}

int32_t getPosition(Graph* g, int32_t v) {
  return *vertex_entry(g, &Graph::position, v, "getPosition");
}

void setTerminal(Graph* g, int32_t v) {
  *vertex_entry(g, &Graph::terminal, v, "setTerminal") = 1;
}

int32_t isTerminal(Graph* g, int32_t v) {
  return *vertex_entry(g, &Graph::terminal, v, "isTerminal");
}
