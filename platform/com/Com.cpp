// COM runtime subset: per-thread initialisation counts, the class table,
// variants and byte vectors.
#include "platform/com/Com.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

struct ThreadCom {
  int count = 0;
  DWORD model = 0;
};
thread_local ThreadCom tCom;

struct ClassEntry {
  CLSID clsid;
  qv::com::ClassCreator create;
};

struct ClassTable {
  std::mutex lock;
  std::vector<ClassEntry> entries;
};

ClassTable& Classes() {
  static ClassTable* table = new ClassTable;  // registered from static initialisers of any order
  return *table;
}

qv::com::ClassCreator FindClass(REFCLSID clsid) {
  ClassTable& t = Classes();
  std::lock_guard<std::mutex> g(t.lock);
  for (const ClassEntry& e : t.entries) {
    if (IsEqualGUID(e.clsid, clsid)) return e.create;
  }
  return nullptr;
}

constexpr HRESULT kArrayLocked = static_cast<HRESULT>(0x8002000Du);

}  // namespace

namespace qv::com {

void RegisterComClass(REFCLSID clsid, ClassCreator create) {
  ClassTable& t = Classes();
  std::lock_guard<std::mutex> g(t.lock);
  for (ClassEntry& e : t.entries) {
    if (IsEqualGUID(e.clsid, clsid)) {
      e.create = create;
      return;
    }
  }
  t.entries.push_back(ClassEntry{clsid, create});
}

}  // namespace qv::com

extern "C" {

HRESULT CoInitializeEx(LPVOID, DWORD coInit) {
  DWORD model = coInit & COINIT_APARTMENTTHREADED;
  if (tCom.count > 0 && tCom.model != model) return RPC_E_CHANGED_MODE;
  tCom.model = model;
  return tCom.count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (tCom.count > 0) --tCom.count;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (tCom.count == 0) return CO_E_NOTINITIALIZED;
  const qv::com::ClassCreator create = FindClass(clsid);
  if (create == nullptr || (context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return create(iid, object);
}

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  std::memset(v, 0, sizeof *v);
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (v->vt == VT_UNKNOWN && v->punkVal != nullptr) {
    v->punkVal->Release();
  } else if ((v->vt & VT_ARRAY) != 0 && (v->vt & VT_BYREF) == 0 && v->parray != nullptr) {
    HRESULT hr = SafeArrayDestroy(v->parray);
    if (FAILED(hr)) return hr;
  }
  VariantInit(v);
  return S_OK;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
  if (vt != VT_UI1) return nullptr;
  auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (array == nullptr) return nullptr;
  array->pvData = std::malloc(elements == 0 ? 1 : elements);
  if (array->pvData == nullptr) {
    std::free(array);
    return nullptr;
  }
  array->cDims = 1;
  array->cbElements = 1;
  array->rgsabound[0].cElements = elements;
  array->rgsabound[0].lLbound = lowerBound;
  return array;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  ++array->cLocks;
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->cLocks != 0) return kArrayLocked;
  std::free(array->pvData);
  std::free(array);
  return S_OK;
}

LPVOID CoTaskMemAlloc(ULONG size) { return std::malloc(size == 0 ? 1 : size); }

void CoTaskMemFree(LPVOID block) { std::free(block); }

}  // extern "C"
