// Owners that close what they hold when they go out of scope: one template
// over a traits class, and the two owners every layer above uses, a kernel
// object handle (files, mutexes, events, mappings, threads) and a C stream.
#pragma once

#include <cstdio>
#include <utility>

#include "platform/base/WinTypes.h"

// The kernel's closer of every object handle (declared again by
// platform/kernel/Files.h). Base code itself never makes a handle.
extern "C" QV_PLATFORM_API BOOL CloseHandle(HANDLE object);

namespace qv {

// Traits: `T InvalidValue()`, `bool IsValid(T)`, `void Free(T)`.
template <typename T, typename Traits>
class ScopedGeneric {
 public:
  ScopedGeneric() : value_(Traits::InvalidValue()) {}
  explicit ScopedGeneric(T value) : value_(value) {}
  ~ScopedGeneric() { reset(); }
  ScopedGeneric(ScopedGeneric&& other) noexcept : value_(other.release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;

  T get() const { return value_; }
  bool is_valid() const { return Traits::IsValid(value_); }
  explicit operator bool() const { return is_valid(); }

  // Closes what is held and takes `value` instead.
  void reset(T value = Traits::InvalidValue()) {
    T old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Free(old);
  }
  // Gives up ownership without closing.
  T release() { return std::exchange(value_, Traits::InvalidValue()); }

 private:
  T value_;
};

struct HandleTraits {
  static HANDLE InvalidValue() { return INVALID_HANDLE_VALUE; }
  // Files fail with INVALID_HANDLE_VALUE, the other objects with null.
  static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Free(HANDLE h) { ::CloseHandle(h); }
};

struct StreamTraits {
  static FILE* InvalidValue() { return nullptr; }
  static bool IsValid(FILE* f) { return f != nullptr; }
  static void Free(FILE* f) { std::fclose(f); }
};

using ScopedHandle = ScopedGeneric<HANDLE, HandleTraits>;
using ScopedFile = ScopedGeneric<FILE*, StreamTraits>;

// Closes a stream that was written and reports whether everything reached
// the file (a late write error surfaces only at the flush or the close).
inline bool CloseWritten(ScopedFile& file) {
  FILE* f = file.release();
  if (!f) return false;
  const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
  return std::fclose(f) == 0 && flushed;
}

}  // namespace qv
