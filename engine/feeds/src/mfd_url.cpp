// URL record of the feed parser.
#include "engine/feeds/src/mfd_url.h"

#include <cwchar>
#include <string>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_str.h"

#define MFD_SOURCE ".\\src\\mfd_url"

namespace {

constexpr size_t kMaxDotsPath = 1024;
constexpr long kMaxPort = 65535;

void FreeText(wchar_t** field) {
  MFD_FREE(*field);
  *field = nullptr;
}

// Stores a copy of `n` characters of `text` in the field.
int SetText(wchar_t** field, const wchar_t* text, size_t n) {
  auto* copy = static_cast<wchar_t*>(MFD_MALLOC((n + 1) * sizeof(wchar_t)));
  if (copy == nullptr) return MFD_ERR_NOMEM;
  if (n > 0) std::wmemcpy(copy, text, n);
  FreeText(field);
  *field = copy;
  return MFD_OK;
}

bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

void FreeParts(MFD_Url* url) {
  FreeText(&url->scheme);
  FreeText(&url->spare);
  FreeText(&url->user);
  FreeText(&url->host);
  FreeText(&url->path);
  url->port = 0;
}

std::wstring Authority(const MFD_Url* url) {
  std::wstring out;
  if (url->scheme == nullptr) return out;
  out = url->scheme;
  out += L"://";
  if (url->user != nullptr) {
    out += url->user;
    out += L'@';
  }
  if (url->host != nullptr) out += url->host;
  if (url->port != 0) {
    out += L':';
    out += std::to_wstring(url->port);
  }
  return out;
}

int SetResolved(MFD_Url* url, const std::wstring& text) { return SetText(&url->resolved, text.c_str(), text.size()); }

}  // namespace

int MFD_Url_Create(MFD_Url** url) {
  if (url == nullptr || *url != nullptr) return MFD_ERR_PARAM;
  *url = static_cast<MFD_Url*>(MFD_MALLOC(sizeof(MFD_Url)));
  return *url == nullptr ? MFD_ERR_NOMEM : MFD_OK;
}

int MFD_Url_Free(MFD_Url** url) {
  if (url == nullptr) return MFD_ERR_PARAM;
  if (*url == nullptr) return MFD_OK;
  FreeParts(*url);
  FreeText(&(*url)->resolved);
  MFD_FREE(*url);
  *url = nullptr;
  return MFD_OK;
}

int MFD_Url_SetUrl(MFD_Url* url, const wchar_t* text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  FreeParts(url);
  url->schemeOnly = 0;
  return MFD_Url_Parse(url, text);
}

int MFD_Url_Parse(MFD_Url* url, const wchar_t* text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  long colon = MFD_WStr_IndexOf(text, L":");
  if (colon < 0) return MFD_ERR_NOMEM;
  int r = MFD_Url_SetScheme(url, text);
  if (r != MFD_OK) return r;
  size_t len = MFD_WStr_Length(text);
  size_t afterColon = static_cast<size_t>(colon) + 1;
  if (afterColon == len) {
    url->schemeOnly = 1;
    return MFD_OK;
  }
  // The authority follows "://"; a text that ends before or there has none.
  size_t start = afterColon + 2;
  if (start >= len) return MFD_ERR_NOMEM;
  const wchar_t* rest = text + start;
  long slash = MFD_WStr_IndexOf(rest, L"/");
  size_t authorityEnd = len - start;
  if (slash >= 0) {
    size_t s = static_cast<size_t>(slash);
    authorityEnd = s;
    if (s >= 2 && IsLetter(rest[s - 2]) && rest[s - 1] == L':')
      authorityEnd = s - 2;  // "host/C:/..." style drive letter before the slash
    else if (IsLetter(rest[s + 1]) && rest[s + 2] == L':')
      authorityEnd = s + 1;  // a drive letter right after the slash
  }
  if (authorityEnd > 0) {
    std::wstring authority(rest, authorityEnd);
    r = MFD_Url_SetAuthority(url, authority.c_str());
    if (r != MFD_OK) return r;
  }
  if (slash < 0) return MFD_OK;
  return MFD_Url_SetPath(url, rest + authorityEnd);
}

int MFD_Url_SetScheme(MFD_Url* url, const wchar_t* text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  long colon = MFD_WStr_IndexOf(text, L":");
  if (colon < 0) return MFD_ERR_NOMEM;
  return SetText(&url->scheme, text, static_cast<size_t>(colon));
}

int MFD_Url_SetAuthority(MFD_Url* url, const wchar_t* text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  const wchar_t* rest = text;
  long at = MFD_WStr_IndexOf(text, L"@");
  if (at >= 0) {
    int r = SetText(&url->user, text, static_cast<size_t>(at));
    if (r != MFD_OK) return r;
    FreeText(&url->host);
    rest = text + at + 1;
  }
  long colon = MFD_WStr_IndexOf(rest, L":");
  if (colon < 0) {
    url->port = 0;
    return SetText(&url->host, rest, MFD_WStr_Length(rest));
  }
  const wchar_t* digits = rest + colon + 1;
  const wchar_t* end = nullptr;
  long port = MFD_WStr_ToLong(digits, &end, 10);
  // No digits, or a number no port can have.
  if (end == digits || port > kMaxPort) return MFD_ERR_NOMEM;
  int r = SetText(&url->host, rest, static_cast<size_t>(colon));
  if (r != MFD_OK) return r;
  url->port = static_cast<int32_t>(port);
  return MFD_OK;
}

int MFD_Url_SetPath(MFD_Url* url, const wchar_t* text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  return SetText(&url->path, text, MFD_WStr_Length(text));
}

int MFD_Url_GetPath(MFD_Url* url, const wchar_t** text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  *text = url->path;
  return MFD_OK;
}

int MFD_Url_GetScheme(MFD_Url* url, const wchar_t** text) {
  if (url == nullptr || text == nullptr) return MFD_ERR_PARAM;
  *text = url->scheme;
  return MFD_OK;
}

size_t MFD_Url_AuthorityLength(const MFD_Url* url) { return url == nullptr ? 0 : Authority(url).size(); }

int MFD_Url_BuildAuthority(const MFD_Url* url, wchar_t* buffer) {
  if (url == nullptr || buffer == nullptr) return MFD_ERR_PARAM;
  std::wstring a = Authority(url);
  MFD_WStr_Copy(buffer, a.c_str());
  return MFD_OK;
}

int MFD_Url_Resolve(MFD_Url* url, const wchar_t* reference, const wchar_t** text) {
  if (url == nullptr || reference == nullptr || text == nullptr) return MFD_ERR_PARAM;
  int r;
  if (MFD_WStr_IndexOf(reference, L":") >= 0) {
    r = SetResolved(url, reference);
  } else if (url->scheme == nullptr) {
    return MFD_ERR_NOMEM;
  } else if (reference[0] == L'/') {
    r = SetResolved(url, Authority(url) + reference);
  } else if (reference[0] == L'.') {
    r = MFD_Url_ResolveDots(url, reference);
  } else {
    std::wstring out = Authority(url);
    if (url->path != nullptr) out += url->path;
    if (out.empty() || out.back() != L'/') out += L'/';
    r = SetResolved(url, out + reference);
  }
  if (r == MFD_OK) *text = url->resolved;
  return r;
}

int MFD_Url_ResolveDots(MFD_Url* url, const wchar_t* reference) {
  if (url == nullptr || reference == nullptr) return MFD_ERR_PARAM;
  std::wstring path = url->path != nullptr ? url->path : L"";
  if (path.empty() || path.back() != L'/') path += L'/';
  if (path.size() > kMaxDotsPath) return MFD_ERR_NOMEM;
  std::wstring ref = reference;
  size_t from = 0;
  for (size_t slash = ref.find(L'/'); slash != std::wstring::npos; slash = ref.find(L'/', from)) {
    std::wstring segment = ref.substr(from, slash - from);
    from = slash + 1;
    if (segment == L"..") {
      if (path.size() < 2) return MFD_ERR_NOMEM;  // nothing above the root
      size_t cut = path.rfind(L'/', path.size() - 2);
      if (cut == std::wstring::npos) return MFD_ERR_NOMEM;
      path.resize(cut + 1);
    } else if (!segment.empty() && segment[0] == L'.') {
      continue;
    } else {
      path += segment;
      path += L'/';
    }
    if (path.size() > kMaxDotsPath) return MFD_ERR_NOMEM;
  }
  path += ref.substr(from);
  if (path.size() > kMaxDotsPath) return MFD_ERR_NOMEM;
  return SetResolved(url, Authority(url) + path);
}
