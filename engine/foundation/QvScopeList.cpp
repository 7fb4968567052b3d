#include "engine/foundation/QvScopeList.h"

#include <cstdlib>

#include "platform/kernel/Files.h"

AutoCloseFileList::~AutoCloseFileList() = default;

FILE* AutoCloseFileList::Open(const wchar_t* path, const wchar_t* mode) {
  FILE* stream = _wfopen(path, mode);
  if (stream) files_.emplace_back(stream);
  return stream;
}

FILE* AutoCloseFileList::Open(const char* path, const char* mode) {
  FILE* stream = qv_fopen(path, mode);
  if (stream) files_.emplace_back(stream);
  return stream;
}

void AutoCloseFileList::Close(FILE* stream) {
  if (!stream) return;
  files_.remove_if([stream](const qv::ScopedFile& f) { return f.get() == stream; });
}

AutoFreeMemList::~AutoFreeMemList() {
  for (void* block : blocks_) free(block);  // free(nullptr) is a no-op: failed allocations stay listed
  blocks_.clear();
}

void* AutoFreeMemList::Alloc(size_t size) {
  void* block = malloc(size);
  blocks_.push_back(block);
  return block;
}
