// Doubly linked list of fixed-size values.
#include "engine/feeds/src/mfd_list.h"

#include "engine/feeds/src/mfd_chain.h"
#include "engine/feeds/src/mfd_common.h"

#define MFD_SOURCE ".\\src\\mfd_list"

namespace {
// The element lives in the node's own block.
void FreeNode(MFD_ListNode* node) { MFD_FREE(node); }
}  // namespace

int MFD_List_Create(MFD_List** list, uint32_t elementSize) {
  if (list == nullptr || elementSize == 0 || *list != nullptr) return -1;
  auto* l = static_cast<MFD_List*>(MFD_MALLOC(sizeof(MFD_List)));
  if (l == nullptr) return -1;
  l->elementSize = elementSize;
  *list = l;
  return 0;
}

int MFD_List_Free(MFD_List** list) {
  return mfd_chain::Destroy(list, FreeNode, [](MFD_List* c) { MFD_FREE(c); });
}

int MFD_List_IsEmpty(const MFD_List* list) { return mfd_chain::IsEmpty(list); }

uint32_t MFD_List_Count(const MFD_List* list) { return list == nullptr ? 0 : list->count; }

int MFD_List_Seek(MFD_List* list, long offset, int origin) { return mfd_chain::Seek(list, offset, origin); }

int MFD_List_Insert(MFD_List* list, const void* element, long offset, int origin, int where) {
  if (element == nullptr || !mfd_chain::CanInsert(list, origin, where)) return -1;
  auto* node = mfd_chain::MakeNode<MFD_ListNode>(element, list->elementSize, MFD_SOURCE, __LINE__);
  if (node == nullptr) return -1;
  if (mfd_chain::Link(list, node, offset, origin, where) != 0) {
    FreeNode(node);
    return -1;
  }
  return 0;
}

int MFD_List_Remove(MFD_List* list) {
  MFD_ListNode* node = mfd_chain::Unlink(list);
  if (node == nullptr) return -1;
  FreeNode(node);
  return 0;
}

int MFD_List_InsertFirst(MFD_List* list, const void* element) {
  return MFD_List_Insert(list, element, 0, mfd_chain::kFromFirst, mfd_chain::kBefore);
}
int MFD_List_InsertBefore(MFD_List* list, const void* element) {
  return MFD_List_Insert(list, element, 0, mfd_chain::kFromCurrent, mfd_chain::kBefore);
}
int MFD_List_InsertAfter(MFD_List* list, const void* element) {
  return MFD_List_Insert(list, element, 0, mfd_chain::kFromCurrent, mfd_chain::kAfter);
}
int MFD_List_Append(MFD_List* list, const void* element) {
  return MFD_List_Insert(list, element, 0, mfd_chain::kFromLast, mfd_chain::kAfter);
}

void* MFD_List_Get(MFD_List* list, long offset, int origin) {
  if (MFD_List_Seek(list, offset, origin) != 0) return nullptr;
  return list->current->data;
}

void* MFD_List_GetFirst(MFD_List* list) { return MFD_List_Get(list, 0, mfd_chain::kFromFirst); }
void* MFD_List_GetCurrent(MFD_List* list) { return MFD_List_Get(list, 0, mfd_chain::kFromCurrent); }
void* MFD_List_GetNext(MFD_List* list) { return MFD_List_Get(list, 1, mfd_chain::kFromCurrent); }
void* MFD_List_GetPrevious(MFD_List* list) { return MFD_List_Get(list, -1, mfd_chain::kFromCurrent); }
void* MFD_List_GetLast(MFD_List* list) { return MFD_List_Get(list, 0, mfd_chain::kFromLast); }
