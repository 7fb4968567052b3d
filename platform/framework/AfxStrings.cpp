#include "platform/framework/AfxStrings.h"

#include <iterator>

#include "platform/framework/CString.h"

namespace {

struct Text {
  UINT id;
  LPCTSTR text;
};

// Our own wording of the framework's messages.
constexpr Text kTexts[] = {
    {AFX_IDP_INTERNAL_FAILURE, L"内部エラーが発生しました。"},
    {AFX_IDP_COMMAND_FAILURE, L"コマンドを実行できませんでした。"},
    {AFX_IDP_FAILED_MEMORY_ALLOC, L"メモリが足りません。"},
    {AFX_IDP_PARSE_INT, L"整数を入力してください。"},
    {AFX_IDP_PARSE_REAL, L"数値を入力してください。"},
    {AFX_IDP_PARSE_INT_RANGE, L"%1 から %2 までの整数を入力してください。"},
    {AFX_IDP_PARSE_REAL_RANGE, L"%1 から %2 までの数値を入力してください。"},
    {AFX_IDP_PARSE_STRING_SIZE, L"%1 文字以内で入力してください。"},
    {AFX_IDP_PARSE_RADIO_BUTTON, L"項目を一つ選んでください。"},
    {AFX_IDP_PARSE_BYTE, L"0 から 255 までの整数を入力してください。"},
    {AFX_IDP_PARSE_UINT, L"0 以上の整数を入力してください。"},
    {AFX_IDS_NOT_SUPPORTED_EXCEPTION, L"この操作はできません。"},
    {AFX_IDS_MEMORY_EXCEPTION, L"メモリが足りません。"},
    {AFX_IDS_INVALID_ARG_EXCEPTION, L"引数が正しくありません。"},
};

}  // namespace

CString AfxLoadFrameworkString(UINT id) {
  CString s;
  if (s.LoadString(id)) return s;
  for (const Text& t : kTexts) {
    if (t.id == id) return CString(t.text);
  }
  return CString();
}

void AfxFormatStrings(CString& out, LPCTSTR format, LPCTSTR const* strings, int count) {
  out.Empty();
  for (LPCTSTR p = format; p && *p; ++p) {
    if (p[0] == L'%' && p[1] >= L'1' && p[1] <= L'9') {
      const int i = p[1] - L'1';
      if (i < count && strings[i]) out += strings[i];
      ++p;
    } else {
      out += *p;
    }
  }
}

void AfxFormatString1(CString& out, UINT id, LPCTSTR s1) {
  const CString format = AfxLoadFrameworkString(id);
  AfxFormatStrings(out, format, &s1, 1);
}

void AfxFormatString2(CString& out, UINT id, LPCTSTR s1, LPCTSTR s2) {
  const CString format = AfxLoadFrameworkString(id);
  LPCTSTR both[] = {s1, s2};
  AfxFormatStrings(out, format, both, static_cast<int>(std::size(both)));
}
