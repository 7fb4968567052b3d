// The reference count of shared engine objects, and lists that close the
// streams and free the blocks of one scope when it ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <list>

#include "platform/base/ScopedHandle.h"

// The count kept by every shared engine object; the owner deletes the object
// when Release returns 0.
class QvRefCounter {
 public:
  void Reset() { count_ = 0; }
  uint32_t AddRef() { return ++count_; }
  uint32_t Release() { return --count_; }
  void NullRelease() {}
  uint32_t Count() const { return count_; }

 private:
  uint32_t count_ = 0;
};

// Streams opened through the list are closed when it ends.
class AutoCloseFileList {
 public:
  AutoCloseFileList() = default;
  ~AutoCloseFileList();
  AutoCloseFileList(const AutoCloseFileList&) = delete;
  AutoCloseFileList& operator=(const AutoCloseFileList&) = delete;
  FILE* Open(const wchar_t* path, const wchar_t* mode);
  FILE* Open(const char* path, const char* mode);
  void Close(FILE* stream);

 private:
  std::list<qv::ScopedFile> files_;
};

// Blocks allocated through the list are freed when it ends.
class AutoFreeMemList {
 public:
  AutoFreeMemList() = default;
  ~AutoFreeMemList();
  AutoFreeMemList(const AutoFreeMemList&) = delete;
  AutoFreeMemList& operator=(const AutoFreeMemList&) = delete;
  void* Alloc(size_t size);

 private:
  std::list<void*> blocks_;
};
