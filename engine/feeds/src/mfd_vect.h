// The list of mfd_list with a size per element: each node owns a copy of
// its element's bytes. Same results, origins and cursor rules as the list;
// the getters also hand out the element's size (0 on failure) when asked.
#pragma once

#include <cstdint>

struct MFD_VectorNode {
  MFD_VectorNode* prev;
  MFD_VectorNode* next;
  void* data;
  uint32_t size;
};

struct MFD_Vector {
  MFD_VectorNode* first;
  MFD_VectorNode* current;
  MFD_VectorNode* last;
  uint32_t count;
};

int MFD_Vector_Create(MFD_Vector** vector);
int MFD_Vector_Free(MFD_Vector** vector);
int MFD_Vector_IsEmpty(const MFD_Vector* vector);
uint32_t MFD_Vector_Count(const MFD_Vector* vector);
int MFD_Vector_Seek(MFD_Vector* vector, long offset, int origin);
int MFD_Vector_Insert(MFD_Vector* vector, const void* element, uint32_t size, long offset, int origin, int where);
int MFD_Vector_Remove(MFD_Vector* vector);
int MFD_Vector_InsertFirst(MFD_Vector* vector, const void* element, uint32_t size);
int MFD_Vector_InsertBefore(MFD_Vector* vector, const void* element, uint32_t size);
int MFD_Vector_InsertAfter(MFD_Vector* vector, const void* element, uint32_t size);
int MFD_Vector_Append(MFD_Vector* vector, const void* element, uint32_t size);
void* MFD_Vector_Get(MFD_Vector* vector, long offset, int origin, uint32_t* size);
void* MFD_Vector_GetFirst(MFD_Vector* vector, uint32_t* size);
void* MFD_Vector_GetCurrent(MFD_Vector* vector, uint32_t* size);
void* MFD_Vector_GetNext(MFD_Vector* vector, uint32_t* size);
void* MFD_Vector_GetPrevious(MFD_Vector* vector, uint32_t* size);
void* MFD_Vector_GetLast(MFD_Vector* vector, uint32_t* size);
