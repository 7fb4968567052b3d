// The SAX2 reader's COM face: handlers, features, properties and the two
// input sources (a byte array, a device file read in slices).
#include "platform/xml/SaxReader.h"

#include <cwchar>
#include <vector>

#include "platform/kernel/Files.h"
#include "platform/xml/SaxParseRun.h"

namespace qv::xml {
namespace {

constexpr wchar_t kNamespaces[] = L"http://xml.org/sax/features/namespaces";
constexpr wchar_t kNamespacePrefixes[] = L"http://xml.org/sax/features/namespace-prefixes";
constexpr wchar_t kExternalGeneral[] = L"http://xml.org/sax/features/external-general-entities";
constexpr wchar_t kExternalParameter[] = L"http://xml.org/sax/features/external-parameter-entities";
constexpr wchar_t kProhibitDtd[] = L"prohibit-dtd";
constexpr wchar_t kNormalizeLineBreaks[] = L"normalize-line-breaks";
constexpr wchar_t kValidation[] = L"http://xml.org/sax/features/validation";
constexpr wchar_t kStringInterning[] = L"http://xml.org/sax/features/string-interning";
constexpr wchar_t kMaxElementDepth[] = L"max-element-depth";
constexpr wchar_t kMaxXmlSize[] = L"max-xml-size";

constexpr DWORD kReadSlice = 64 * 1024;

bool Is(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

// Marks a parse as running for its whole extent, so that a handler cannot
// start another one on the same reader.
class Running {
 public:
  explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
  ~Running() { flag_ = false; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  bool& flag_;
};

// A handler is held with a reference and handed out with another.
template <class T>
HRESULT HandOut(T* held, T** out) {
  if (out == nullptr) return E_POINTER;
  *out = held;
  if (held != nullptr) held->AddRef();
  return S_OK;
}

}  // namespace

template <class T>
HRESULT SaxReader::Hold(T*& slot, T* handler) {
  if (parsing_) return E_FAIL;
  if (handler != nullptr) handler->AddRef();
  if (slot != nullptr) slot->Release();
  slot = handler;
  return S_OK;
}

SaxReader::~SaxReader() {
  if (content_ != nullptr) content_->Release();
  if (errors_ != nullptr) errors_->Release();
}

HRESULT SaxReader::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISAXXMLReader)) {
    *object = static_cast<ISAXXMLReader*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG SaxReader::AddRef() { return ++refs_; }

ULONG SaxReader::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT SaxReader::getFeature(const wchar_t* name, VARIANT_BOOL* value) {
  if (name == nullptr || value == nullptr) return E_POINTER;
  auto put = [value](bool on) {
    *value = on ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  };
  if (Is(name, kNamespaces)) return put(true);
  if (Is(name, kNamespacePrefixes)) return put(namespacePrefixes_);
  if (Is(name, kExternalGeneral)) return put(externalGeneral_);
  if (Is(name, kExternalParameter)) return put(externalParameter_);
  if (Is(name, kProhibitDtd)) return put(prohibitDtd_);
  if (Is(name, kNormalizeLineBreaks)) return put(normalizeLineBreaks_);
  if (Is(name, kValidation) || Is(name, kStringInterning)) return put(false);
  return E_INVALIDARG;
}

HRESULT SaxReader::putFeature(const wchar_t* name, VARIANT_BOOL value) {
  if (name == nullptr) return E_POINTER;
  bool on = value != VARIANT_FALSE;
  bool* target = nullptr;
  if (Is(name, kNamespaces)) {
    if (!on || parsing_) return E_FAIL;  // namespace processing cannot be turned off
    return S_OK;
  }
  if (Is(name, kNamespacePrefixes)) target = &namespacePrefixes_;
  else if (Is(name, kExternalGeneral)) target = &externalGeneral_;
  else if (Is(name, kExternalParameter)) target = &externalParameter_;
  else if (Is(name, kProhibitDtd)) target = &prohibitDtd_;
  else if (Is(name, kNormalizeLineBreaks)) target = &normalizeLineBreaks_;
  else if (Is(name, kValidation) || Is(name, kStringInterning)) return E_FAIL;
  else return E_INVALIDARG;
  if (parsing_) return E_FAIL;
  *target = on;
  return S_OK;
}

HRESULT SaxReader::getProperty(const wchar_t* name, VARIANT* value) {
  if (name == nullptr || value == nullptr) return E_POINTER;
  LONG v;
  if (Is(name, kMaxElementDepth)) v = maxDepth_;
  else if (Is(name, kMaxXmlSize)) v = maxSizeKb_;
  else return E_INVALIDARG;
  VariantInit(value);
  value->vt = VT_I4;
  value->lVal = v;
  return S_OK;
}

HRESULT SaxReader::putProperty(const wchar_t* name, VARIANT value) {
  if (name == nullptr) return E_POINTER;
  LONG* target;
  if (Is(name, kMaxElementDepth)) target = &maxDepth_;
  else if (Is(name, kMaxXmlSize)) target = &maxSizeKb_;
  else return E_INVALIDARG;
  if (value.vt != VT_I4 || value.lVal < 0) return E_INVALIDARG;
  if (parsing_) return E_FAIL;
  *target = value.lVal;
  return S_OK;
}

HRESULT SaxReader::getContentHandler(ISAXContentHandler** handler) { return HandOut(content_, handler); }
HRESULT SaxReader::putContentHandler(ISAXContentHandler* handler) { return Hold(content_, handler); }
HRESULT SaxReader::getErrorHandler(ISAXErrorHandler** handler) { return HandOut(errors_, handler); }
HRESULT SaxReader::putErrorHandler(ISAXErrorHandler* handler) { return Hold(errors_, handler); }

HRESULT SaxReader::getBaseURL(const wchar_t** baseUrl) {
  if (baseUrl == nullptr) return E_POINTER;
  *baseUrl = baseUrl_.empty() ? nullptr : baseUrl_.c_str();
  return S_OK;
}

HRESULT SaxReader::putBaseURL(const wchar_t* baseUrl) {
  if (parsing_) return E_FAIL;
  baseUrl_ = baseUrl == nullptr ? L"" : baseUrl;
  return S_OK;
}

SaxSettings SaxReader::Settings() const {
  SaxSettings s;
  s.content = content_;
  s.errors = errors_;
  s.namespacePrefixes = namespacePrefixes_;
  s.prohibitDtd = prohibitDtd_;
  s.maxDepth = maxDepth_ > 0 ? static_cast<int>(maxDepth_) : kDefaultMaxDepth;
  s.maxBytes = static_cast<unsigned long>(maxSizeKb_) * 1024ul;
  return s;
}

HRESULT SaxReader::parse(VARIANT input) {
  if (parsing_) return E_FAIL;
  const VARIANT* v = &input;
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    if (v->pvarVal == nullptr) return E_INVALIDARG;
    v = v->pvarVal;
  }
  if (v->vt != (VT_ARRAY | VT_UI1) || v->parray == nullptr || v->parray->cDims != 1) return E_INVALIDARG;
  void* data = nullptr;
  HRESULT hr = SafeArrayAccessData(v->parray, &data);
  if (FAILED(hr)) return hr;
  hr = ParseBytes(static_cast<const char*>(data), v->parray->rgsabound[0].cElements);
  SafeArrayUnaccessData(v->parray);
  return hr;
}

HRESULT SaxReader::ParseBytes(const char* bytes, size_t size) {
  Running running(parsing_);
  SaxParseRun run(Settings(), locator_);
  HRESULT hr = run.Begin();
  if (hr == S_OK) hr = run.Feed(bytes, size, true);
  if (hr == S_OK) hr = run.Finish();
  return hr;
}

HRESULT SaxReader::parseURL(const wchar_t* url) {
  if (url == nullptr) return E_INVALIDARG;
  if (parsing_) return E_FAIL;
  std::wstring path = url;
  if (path.compare(0, 7, L"file://") == 0) {
    path.erase(0, 7);
  } else {
    size_t colon = path.find(L':');
    size_t slash = path.find_first_of(L"/\\");
    if (colon != std::wstring::npos && (slash == std::wstring::npos || colon < slash)) return INET_E_UNKNOWN_PROTOCOL;
  }
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.empty() || path.back() == L'\\') return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
  if (path.front() != L'\\') path.insert(path.begin(), L'\\');
  return ParseFile(path);
}

HRESULT SaxReader::ParseFile(const std::wstring& devicePath) {
  HANDLE file = CreateFileW(devicePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return INET_E_OBJECT_NOT_FOUND;
    if (error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME || error == ERROR_FILENAME_EXCED_RANGE)
      return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    return HRESULT_FROM_WIN32(error);
  }
  HRESULT hr;
  {
    Running running(parsing_);
    SaxParseRun run(Settings(), locator_);
    std::vector<char> buffer(kReadSlice);
    hr = run.Begin();
    while (hr == S_OK) {
      DWORD got = 0;
      if (!ReadFile(file, buffer.data(), kReadSlice, &got, nullptr)) {
        DWORD error = GetLastError();
        hr = run.Fail(HRESULT_FROM_WIN32(error), L"the document could not be read");
        break;
      }
      hr = run.Feed(buffer.data(), got, got == 0);
      if (got == 0) break;
    }
    if (hr == S_OK) hr = run.Finish();
  }
  CloseHandle(file);
  return hr;
}

}  // namespace qv::xml
