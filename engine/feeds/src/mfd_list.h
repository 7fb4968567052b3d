// A doubly linked list of fixed-size values with a cursor. The list owns a
// copy of each element; what an element points to is the caller's. Results
// are 0 for success and -1 for failure. Origins: 0 first node, 1 cursor,
// 2 last node; `where`: 0 before, 1 after.
#pragma once

#include <cstdint>

struct MFD_ListNode {
  MFD_ListNode* prev;
  MFD_ListNode* next;
  void* data;
};

struct MFD_List {
  MFD_ListNode* first;
  MFD_ListNode* current;
  MFD_ListNode* last;
  uint32_t elementSize;
  uint32_t count;
};

int MFD_List_Create(MFD_List** list, uint32_t elementSize);
int MFD_List_Free(MFD_List** list);
int MFD_List_IsEmpty(const MFD_List* list);
uint32_t MFD_List_Count(const MFD_List* list);
int MFD_List_Seek(MFD_List* list, long offset, int origin);
int MFD_List_Insert(MFD_List* list, const void* element, long offset, int origin, int where);
int MFD_List_Remove(MFD_List* list);
int MFD_List_InsertFirst(MFD_List* list, const void* element);
int MFD_List_InsertBefore(MFD_List* list, const void* element);
int MFD_List_InsertAfter(MFD_List* list, const void* element);
int MFD_List_Append(MFD_List* list, const void* element);
void* MFD_List_Get(MFD_List* list, long offset, int origin);
void* MFD_List_GetFirst(MFD_List* list);
void* MFD_List_GetCurrent(MFD_List* list);
void* MFD_List_GetNext(MFD_List* list);
void* MFD_List_GetPrevious(MFD_List* list);
void* MFD_List_GetLast(MFD_List* list);
