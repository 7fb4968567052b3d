#include "platform/kernel/Resource.h"

#include <cwchar>

#include "platform/kernel/Library.h"

namespace {

using DirectoryFn = const QvResourceEntry* (*)(size_t* count);

// A name is a 16-bit id in the pointer or "#<decimal>"; other names are not
// used by our libraries and find nothing.
bool IdOf(LPCWSTR name, uint32_t* id) {
  if (IS_INTRESOURCE(name)) {
    *id = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(name));
    return true;
  }
  if (name == nullptr || name[0] != L'#' || name[1] == 0) return false;
  uint32_t value = 0;
  for (const wchar_t* p = name + 1; *p; ++p) {
    if (*p < L'0' || *p > L'9' || value > 0xFFFF) return false;
    value = value * 10 + static_cast<uint32_t>(*p - L'0');
  }
  *id = value;
  return value <= 0xFFFF;
}

const QvResourceEntry* Find(HMODULE module, uint32_t type, uint32_t id) {
  if (module == nullptr) {  // the program keeps no resources of its own
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  // Through void (*)(): the one cast between function types the compiler accepts.
  auto directory =
      reinterpret_cast<DirectoryFn>(reinterpret_cast<void (*)()>(GetProcAddressA(module, "QvResourceDirectory")));
  if (directory == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  size_t count = 0;
  const QvResourceEntry* entries = directory(&count);
  bool typeSeen = false;
  for (size_t i = 0; i < count; ++i) {
    if (entries[i].type != type) continue;
    typeSeen = true;
    if (entries[i].id == id) return &entries[i];
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

}  // namespace

extern "C" {

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  uint32_t id = 0, typeId = 0;
  if (!IdOf(name, &id)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (!IdOf(type, &typeId)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<QvResourceEntry*>(Find(module, typeId, id)));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<unsigned char*>(reinterpret_cast<const QvResourceEntry*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const QvResourceEntry*>(resource)->size;
}

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int max) {
  if (buffer == nullptr || max < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (id > 0xFFFF) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const QvResourceEntry* block = Find(module, 6, (id >> 4) + 1);
  if (block == nullptr) {
    if (max > 0) buffer[0] = 0;
    return 0;
  }
  // Walk the block's counted strings to the one asked for, never past its end.
  const auto* units = reinterpret_cast<const wchar_t*>(block->data);
  const size_t total = block->size / sizeof(wchar_t);
  size_t at = 0;
  for (UINT i = 0; i < (id & 15); ++i) {
    if (at >= total) break;
    at += 1 + static_cast<size_t>(units[at]);
  }
  size_t length = at < total ? static_cast<size_t>(units[at]) : 0;
  if (at + 1 + length > total) length = 0;
  const wchar_t* text = units + at + 1;
  if (max == 0) {
    *reinterpret_cast<LPCWSTR*>(buffer) = length ? text : nullptr;
    return static_cast<int>(length);
  }
  if (length == 0) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  const size_t copied = length < static_cast<size_t>(max) ? length : static_cast<size_t>(max) - 1;
  wmemcpy(buffer, text, copied);
  buffer[copied] = 0;
  return static_cast<int>(copied);
}

}  // extern "C"
