// The doubly linked chain with a cursor under both the list (fixed-size
// elements) and the vector (a size per element): seeking, linking a new node
// at a position and unlinking the cursor node. The container C has first,
// current, last and count; its nodes N have prev and next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/feeds/src/mfd_common.h"

namespace mfd_chain {

enum : int { kFromFirst = 0, kFromCurrent = 1, kFromLast = 2 };
enum : int { kBefore = 0, kAfter = 1 };

template <class C>
int Seek(C* c, long offset, int origin) {
  if (c == nullptr || c->first == nullptr) return -1;
  auto* node = origin == kFromFirst ? c->first : origin == kFromCurrent ? c->current : origin == kFromLast ? c->last
                                                                                                            : nullptr;
  if (node == nullptr) return -1;
  for (long i = offset; i > 0 && node != nullptr; --i) node = node->next;
  for (long i = offset; i < 0 && node != nullptr; ++i) node = node->prev;
  if (node == nullptr) return -1;  // ran off an end: the cursor stays
  c->current = node;
  return 0;
}

// A node and its element's bytes in one block: the element follows the node
// at an offset that keeps it aligned for any type. Null when memory runs out.
template <class N>
N* MakeNode(const void* element, size_t size, const char* source, long line) {
  constexpr size_t kAt = (sizeof(N) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                         alignof(std::max_align_t);
  if (size > SIZE_MAX - kAt) return nullptr;
  auto* node = static_cast<N*>(MFD_Malloc(kAt + size, source, line, 0));
  if (node == nullptr) return nullptr;
  node->data = reinterpret_cast<unsigned char*>(node) + kAt;
  std::memcpy(node->data, element, size);
  return node;
}

// Checks that come before a node is made.
template <class C>
bool CanInsert(const C* c, int origin, int where) {
  if (c == nullptr) return false;
  if (origin < kFromFirst || origin > kFromLast || (where != kBefore && where != kAfter)) return false;
  if (origin == kFromCurrent && c->first != nullptr && c->current == nullptr) return false;
  return c->count != 0xFFFFFFFFu;
}

// Links `node` before or after the node at (offset, origin); the new node
// becomes the cursor. -1 (node not linked) when the seek fails.
template <class C, class N>
int Link(C* c, N* node, long offset, int origin, int where) {
  if (c->first == nullptr) {
    node->prev = node->next = nullptr;
    c->first = c->last = c->current = node;
    c->count = 1;
    return 0;
  }
  if (Seek(c, offset, origin) != 0) return -1;
  N* at = c->current;
  if (where == kBefore) {
    node->next = at;
    node->prev = at->prev;
    if (at->prev != nullptr) at->prev->next = node; else c->first = node;
    at->prev = node;
  } else {
    node->prev = at;
    node->next = at->next;
    if (at->next != nullptr) at->next->prev = node; else c->last = node;
    at->next = node;
  }
  c->current = node;
  ++c->count;
  return 0;
}

// Unlinks the cursor node and returns it (null without a cursor); the cursor
// moves to the next node, else the previous, else the first.
template <class C>
auto Unlink(C* c) -> decltype(c->current) {
  if (c == nullptr || c->current == nullptr) return nullptr;
  auto* node = c->current;
  if (node->prev != nullptr) node->prev->next = node->next; else c->first = node->next;
  if (node->next != nullptr) node->next->prev = node->prev; else c->last = node->prev;
  c->current = node->next != nullptr ? node->next : node->prev != nullptr ? node->prev : c->first;
  c->count = c->first == nullptr ? 0 : c->count - 1;
  node->prev = node->next = nullptr;
  return node;
}

// -1 for a null container; 1 when it holds nothing; else 0.
template <class C>
int IsEmpty(const C* c) {
  if (c == nullptr) return -1;
  return c->count == 0 || c->first == nullptr || c->first->data == nullptr ? 1 : 0;
}

// Frees every node with `freeNode`, then the container by `freeContainer`,
// and clears the caller's pointer.
template <class C, class FreeNode, class FreeContainer>
int Destroy(C** c, FreeNode freeNode, FreeContainer freeContainer) {
  if (c == nullptr) return -1;
  if (*c == nullptr) return 0;
  for (auto* node = (*c)->first; node != nullptr;) {
    auto* next = node->next;
    freeNode(node);
    node = next;
  }
  freeContainer(*c);
  *c = nullptr;
  return 0;
}

}  // namespace mfd_chain
