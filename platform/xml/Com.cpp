// COM runtime subset: per-thread initialisation counts, the class table (the
// SAX2 reader only), variants and byte vectors.
#include "platform/xml/Com.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/xml/Sax.h"
#include "platform/xml/SaxReader.h"

namespace {

struct ThreadCom {
  int count = 0;
  DWORD model = 0;
};
thread_local ThreadCom tCom;

std::atomic<bool> gReaderAvailable{true};

constexpr HRESULT kArrayLocked = static_cast<HRESULT>(0x8002000Du);

}  // namespace

namespace qv::xml_seam {
void SetReaderAvailable(bool available) { gReaderAvailable = available; }
}  // namespace qv::xml_seam

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
  if (!IsEqualGUID(clsid, CLSID_SAXXMLReader) || (context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if (!gReaderAvailable) return E_NOINTERFACE;
  auto* reader = new (std::nothrow) qv::xml::SaxReader();
  if (reader == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = reader->QueryInterface(iid, object);
  reader->Release();  // the caller's reference, if any, keeps it
  return hr;
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

}  // extern "C"
