// Doubly linked list of values with a size each.
#include "engine/feeds/src/mfd_vect.h"

#include "engine/feeds/src/mfd_chain.h"
#include "engine/feeds/src/mfd_common.h"

#define MFD_SOURCE ".\\src\\mfd_vect"

namespace {
// The element lives in the node's own block.
void FreeNode(MFD_VectorNode* node) { MFD_FREE(node); }
void* Data(MFD_VectorNode* node, uint32_t* size) {
  if (size != nullptr) *size = node != nullptr ? node->size : 0;
  return node != nullptr ? node->data : nullptr;
}
}  // namespace

int MFD_Vector_Create(MFD_Vector** vector) {
  if (vector == nullptr || *vector != nullptr) return -1;
  auto* v = static_cast<MFD_Vector*>(MFD_MALLOC(sizeof(MFD_Vector)));
  if (v == nullptr) return -1;
  *vector = v;
  return 0;
}

int MFD_Vector_Free(MFD_Vector** vector) {
  return mfd_chain::Destroy(vector, FreeNode, [](MFD_Vector* c) { MFD_FREE(c); });
}

int MFD_Vector_IsEmpty(const MFD_Vector* vector) { return mfd_chain::IsEmpty(vector); }

uint32_t MFD_Vector_Count(const MFD_Vector* vector) { return vector == nullptr ? 0 : vector->count; }

int MFD_Vector_Seek(MFD_Vector* vector, long offset, int origin) { return mfd_chain::Seek(vector, offset, origin); }

int MFD_Vector_Insert(MFD_Vector* vector, const void* element, uint32_t size, long offset, int origin, int where) {
  if (element == nullptr || size == 0 || !mfd_chain::CanInsert(vector, origin, where)) return -1;
  auto* node = mfd_chain::MakeNode<MFD_VectorNode>(element, size, MFD_SOURCE, __LINE__);
  if (node == nullptr) return -1;
  node->size = size;
  if (mfd_chain::Link(vector, node, offset, origin, where) != 0) {
    FreeNode(node);
    return -1;
  }
  return 0;
}

int MFD_Vector_Remove(MFD_Vector* vector) {
  MFD_VectorNode* node = mfd_chain::Unlink(vector);
  if (node == nullptr) return -1;
  FreeNode(node);
  return 0;
}

int MFD_Vector_InsertFirst(MFD_Vector* vector, const void* element, uint32_t size) {
  return MFD_Vector_Insert(vector, element, size, 0, mfd_chain::kFromFirst, mfd_chain::kBefore);
}
int MFD_Vector_InsertBefore(MFD_Vector* vector, const void* element, uint32_t size) {
  return MFD_Vector_Insert(vector, element, size, 0, mfd_chain::kFromCurrent, mfd_chain::kBefore);
}
int MFD_Vector_InsertAfter(MFD_Vector* vector, const void* element, uint32_t size) {
  return MFD_Vector_Insert(vector, element, size, 0, mfd_chain::kFromCurrent, mfd_chain::kAfter);
}
int MFD_Vector_Append(MFD_Vector* vector, const void* element, uint32_t size) {
  return MFD_Vector_Insert(vector, element, size, 0, mfd_chain::kFromLast, mfd_chain::kAfter);
}

void* MFD_Vector_Get(MFD_Vector* vector, long offset, int origin, uint32_t* size) {
  if (MFD_Vector_Seek(vector, offset, origin) != 0) return Data(nullptr, size);
  return Data(vector->current, size);
}

void* MFD_Vector_GetFirst(MFD_Vector* vector, uint32_t* size) {
  return MFD_Vector_Get(vector, 0, mfd_chain::kFromFirst, size);
}
void* MFD_Vector_GetCurrent(MFD_Vector* vector, uint32_t* size) {
  return MFD_Vector_Get(vector, 0, mfd_chain::kFromCurrent, size);
}
void* MFD_Vector_GetNext(MFD_Vector* vector, uint32_t* size) {
  return MFD_Vector_Get(vector, 1, mfd_chain::kFromCurrent, size);
}
void* MFD_Vector_GetPrevious(MFD_Vector* vector, uint32_t* size) {
  return MFD_Vector_Get(vector, -1, mfd_chain::kFromCurrent, size);
}
void* MFD_Vector_GetLast(MFD_Vector* vector, uint32_t* size) {
  return MFD_Vector_Get(vector, 0, mfd_chain::kFromLast, size);
}
