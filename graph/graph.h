// The automaton store: numbered vertices and character-labelled edge slots,
// with integer tables per vertex and per edge. Every access is checked; a
// failed check ends the process through error() with the operation's name.
#pragma once

#include <cstdint>

#include "core/export.h"

// The record. The field order is part of the library interface. Each table
// is owned by the record, or null when the variant does not have it. A
// per-vertex table has vertexCount entries, a per-edge table edgeCount; the
// edge of vertex v by character c is entry v * W + c, with the row width
// W = edgeCount / vertexCount.
struct Graph {
  int32_t vertexCount;
  int32_t edgeCount;
  int32_t nextVertex;   // handed out next by newVertex; 1 on creation
  int32_t initial;      // always 0
  int32_t* terminal;    // per vertex: 0, or 1 once set
  int32_t* target;      // per edge: target vertex, -1 for no edge (trie, suffix automaton)
  int32_t* suffixLink;  // per vertex
  int32_t* length;      // per vertex
  int32_t* position;    // per vertex
  int32_t* shift;       // per edge
};

// Constructors: the counts are stored as given. newGraph has no tables;
// newAutomaton has target and terminal, all 0; newTrie and
// newSuffixAutomaton have all six, every target -1 and everything else 0.
SM_EXPORT Graph* newGraph(int32_t vertexCount, int32_t edgeCount);
SM_EXPORT Graph* newAutomaton(int32_t vertexCount, int32_t edgeCount);
SM_EXPORT Graph* newTrie(int32_t vertexCount, int32_t edgeCount);
SM_EXPORT Graph* newSuffixAutomaton(int32_t vertexCount, int32_t edgeCount);

// Releases the record and every table it has; null is ignored.
SM_EXPORT void freeGraph(Graph* g);

SM_EXPORT int32_t getInitial(Graph* g);
// Hands out 1, 2, ... up to vertexCount - 1; touches no table.
SM_EXPORT int32_t newVertex(Graph* g);
// Makes destination a copy of source in every table the record has.
SM_EXPORT void copyVertex(Graph* g, int32_t destination, int32_t source);

// Characters are byte values 0 to 255 (then also below the row width); they
// are taken as int32_t so that a negative value reaches the check and fails
// instead of being wrapped into range by the call.
SM_EXPORT void setTarget(Graph* g, int32_t v, int32_t c, int32_t t);
SM_EXPORT int32_t getTarget(Graph* g, int32_t v, int32_t c);
SM_EXPORT void setShift(Graph* g, int32_t v, int32_t c, int32_t s);
SM_EXPORT int32_t getShift(Graph* g, int32_t v, int32_t c);
SM_EXPORT void setSuffixLink(Graph* g, int32_t v, int32_t l);
SM_EXPORT int32_t getSuffixLink(Graph* g, int32_t v);
SM_EXPORT void setLength(Graph* g, int32_t v, int32_t n);
SM_EXPORT int32_t getLength(Graph* g, int32_t v);
SM_EXPORT void setPosition(Graph* g, int32_t v, int32_t p);
SM_EXPORT int32_t getPosition(Graph* g, int32_t v);
SM_EXPORT void setTerminal(Graph* g, int32_t v);
SM_EXPORT int32_t isTerminal(Graph* g, int32_t v);
