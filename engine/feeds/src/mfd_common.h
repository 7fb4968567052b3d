// Result codes and the counting allocator shared by every mfd_ module. The
// feed parser is plain functions over plain records; every allocation goes
// through MFD_Malloc and MFD_Free so that allocations and releases can be
// counted process-wide.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int {
  MFD_OK = 0,
  MFD_ERR_NOINTERFACE = 1,  // the platform has no SAX2 reader
  MFD_ERR_NOMEM = 2,        // memory exhausted or a step failed
  MFD_ERR_PARAM = 3,        // bad argument
  MFD_ERR_VALUE = 4,        // a value outside its permitted set, or missing data
  MFD_ERR_ABSENT = 5,       // the field is empty or the queue holds nothing
  MFD_ERR_NOTFOUND = 6,     // the URL's resource was not found
  MFD_ERR_ABORTED = 7,      // the reader abandoned the parse
};

// Zero-filled memory; counts each success. With `trace` set, each call is
// written to the standard error stream.
void* MFD_Malloc(size_t size, const char* source, long line, int trace);
// The same without the zero fill, for a block its caller writes whole.
void* MFD_MallocUnfilled(size_t size, const char* source, long line);
// Frees and counts a non-null pointer.
void MFD_Free(void* pointer, const char* source, long line, int trace);

// Process-wide counters: allocations that succeeded, non-null pointers freed.
long MFD_MallocCount();
long MFD_FreeCount();
// Allocations that failed on the calling thread so far; a step that
// tolerates a failed allocation can still tell that memory ran out.
long MFD_AllocationFailures();
// Makes the allocation after `successes` more succeed fail once (and those
// after it succeed again); -1 turns it off. For tests of memory exhaustion.
void MFD_FailAllocationAfter(long successes);

// Each module names itself in MFD_SOURCE before using these.
#define MFD_MALLOC(size) MFD_Malloc((size), MFD_SOURCE, __LINE__, 0)
#define MFD_FREE(pointer) MFD_Free((pointer), MFD_SOURCE, __LINE__, 0)
