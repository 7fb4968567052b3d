// The COM subset the device's components are reached through (the SAX2 XML
// reader, the Imaging factory): result codes, IUnknown, per-thread
// initialisation, creation of a registered class, and the VARIANT and byte
// SAFEARRAY the reader takes its input in. Objects are plain C++ objects with
// virtual methods; there are no apartments, marshalling or out-of-process
// servers. Each component registers its classes when the platform loads.
#pragma once

#include "platform/base/WinTypes.h"

// HRESULT, S_OK, E_FAIL and the other common results are base types.
#define E_UNEXPECTED (static_cast<HRESULT>(0x8000FFFFu))
#define CLASS_E_NOAGGREGATION (static_cast<HRESULT>(0x80040110u))
#define REGDB_E_CLASSNOTREG (static_cast<HRESULT>(0x80040154u))
#define CO_E_NOTINITIALIZED (static_cast<HRESULT>(0x800401F0u))
#define RPC_E_CHANGED_MODE (static_cast<HRESULT>(0x80010106u))

typedef GUID IID;
typedef GUID CLSID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u
#define CLSCTX_REMOTE_SERVER 0x10u
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef short VARIANT_BOOL;
#define VARIANT_TRUE (static_cast<VARIANT_BOOL>(-1))
#define VARIANT_FALSE (static_cast<VARIANT_BOOL>(0))

typedef unsigned short VARTYPE;
enum : VARTYPE {
  VT_EMPTY = 0,
  VT_I4 = 3,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

// One-dimensional arrays only (the reader's input is a vector of bytes).
struct SAFEARRAY {
  WORD cDims;
  WORD fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    VARIANT_BOOL boolVal;
    IUnknown* punkVal;
    SAFEARRAY* parray;
    VARIANT* pvarVal;
  };
};

extern "C" {

// Counts initialisations per thread; the first call of a thread gives S_OK,
// later ones S_FALSE, a call with another model RPC_E_CHANGED_MODE.
QV_PLATFORM_API HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
QV_PLATFORM_API void CoUninitialize();
// Creates a registered class; CO_E_NOTINITIALIZED on a thread that has not
// initialised COM, REGDB_E_CLASSNOTREG for an unknown class, E_NOINTERFACE
// when the object does not answer `iid`.
QV_PLATFORM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// Memory handed across an interface; CoTaskMemFree takes null.
QV_PLATFORM_API LPVOID CoTaskMemAlloc(ULONG size);
QV_PLATFORM_API void CoTaskMemFree(LPVOID block);

QV_PLATFORM_API void VariantInit(VARIANT* v);
// Releases what the variant owns (an interface, an array) and empties it.
QV_PLATFORM_API HRESULT VariantClear(VARIANT* v);

// Only VT_UI1 vectors are supported; other element types give null.
QV_PLATFORM_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
QV_PLATFORM_API HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
QV_PLATFORM_API HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
// Fails while the data is accessed (the lock count is not 0).
QV_PLATFORM_API HRESULT SafeArrayDestroy(SAFEARRAY* array);

}  // extern "C"

namespace qv::com {

// Makes a new object of a class and asks it for `iid` (the creator's own
// reference is dropped), or fails with an HRESULT.
using ClassCreator = HRESULT (*)(REFIID iid, void** object);
// Registers an in-process class; a later registration of the same class
// replaces the earlier one.
QV_PLATFORM_API void RegisterComClass(REFCLSID clsid, ClassCreator create);

// An interface pointer released at the end of its scope; &ref is where a
// call that hands out a reference puts it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** operator&() { return &p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace qv::com
