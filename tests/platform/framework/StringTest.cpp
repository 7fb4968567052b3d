// CString, the collections and the framework's strings and exceptions.
#include <gtest/gtest.h>

#include "platform/framework/Framework.h"

namespace qv::test {
namespace {

// Runs `f`, expecting the framework's invalid-argument exception.
template <class F>
bool ThrowsInvalidArg(F f) {
  try {
    f();
  } catch (CInvalidArgException* e) {
    e->Delete();
    return true;
  }
  return false;
}

TEST(CStringTest, PiecesAreClampedAsTheFrameworkClampsThem) {
  const CString s(L"受信トレイ/inbox");
  struct Case {
    CString got;
    const wchar_t* want;
  };
  const Case cases[] = {
      {s.Mid(6), L"inbox"},        {s.Mid(6, 100), L"inbox"}, {s.Mid(-3, 2), L"受信"},
      {s.Mid(99), L""},            {s.Left(2), L"受信"},      {s.Left(-1), L""},
      {s.Right(5), L"inbox"},      {s.Right(99), L"受信トレイ/inbox"},
      {s.SpanIncluding(L"受信"), L"受信"}, {s.SpanExcluding(L"/"), L"受信トレイ"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_EQ(s.Find(L'/'), 5);
  EXPECT_EQ(s.Find(L"inbox", 6), 6);
  EXPECT_EQ(s.Find(L"inbox", 7), -1);
  EXPECT_EQ(s.Find(L'x', 99), -1);
  EXPECT_EQ(s.ReverseFind(L'o'), 9);
  EXPECT_EQ(s.FindOneOf(L"xb"), 8);
}

TEST(CStringTest, TrimCaseReplaceAndTokens) {
  CString t(L"\u3000 件名\t\r\n");
  EXPECT_EQ(t.Trim(), L"件名");  // the ideographic space is white space
  CString x(L"--abc--");
  EXPECT_EQ(x.Trim(L'-'), L"abc");
  CString mixed(L"AbＣｄ日本");
  EXPECT_EQ(CString(mixed).MakeLower(), L"abｃｄ日本");
  EXPECT_EQ(CString(mixed).MakeUpper(), L"ABＣＤ日本");
  EXPECT_EQ(CString(L"Re: RE:").CompareNoCase(L"re: re:"), 0);
  EXPECT_LT(CString(L"a").Compare(L"b"), 0);
  CString r(L"a..b..c");
  EXPECT_EQ(r.Replace(L"..", L"/"), 2);
  EXPECT_EQ(r, L"a/b/c");
  EXPECT_EQ(r.Remove(L'/'), 2);
  EXPECT_EQ(r.Insert(1, L"-"), 4);
  EXPECT_EQ(r.Delete(0, 2), 2);
  EXPECT_EQ(r, L"bc");
  std::vector<std::wstring> tokens;
  const CString list(L";;to@a.jp; cc@b.jp;;");
  int at = 0;
  for (CString token = list.Tokenize(L";", at); at != -1; token = list.Tokenize(L";", at)) tokens.push_back(token.str());
  EXPECT_EQ(tokens, (std::vector<std::wstring>{L"to@a.jp", L" cc@b.jp"}));
}

TEST(CStringTest, FormatTakesWideTextAndStringsThemselves) {
  CString name(L"山田");
  CString s;
  s.Format(L"%s さん %d 件 %05u %x %c", name, -3, 42u, 255u, L'！');
  EXPECT_EQ(s, L"山田 さん -3 件 00042 ff ！");
  s.AppendFormat(L"/%s", std::wstring(L"追加"));
  EXPECT_EQ(s.Right(3), L"/追加");
  EXPECT_TRUE(ThrowsInvalidArg([&] { s.Format(static_cast<LPCTSTR>(nullptr)); }));
}

TEST(CStringTest, PositionsOutsideTheStringThrowTheInvalidArgumentException) {
  CString s(L"ab");
  EXPECT_EQ(s[1], L'b');
  EXPECT_TRUE(ThrowsInvalidArg([&] { (void)s.GetAt(2); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { s.SetAt(-1, L'x'); }));
  TCHAR text[64];
  try {
    AfxThrowInvalidArgException();
  } catch (CException* e) {
    EXPECT_TRUE(e->GetErrorMessage(text, 64));
    EXPECT_STREQ(text, L"引数が正しくありません。");
    e->Delete();
  }
}

TEST(CStringTest, BuffersAndResourcesWithoutALibrary) {
  CString s;
  wcscpy(s.GetBuffer(10), L"abc");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 3);
  EXPECT_FALSE(s.LoadString(1));  // no resource library: unchanged
  EXPECT_EQ(s, L"abc");
  CString prompt;
  AfxFormatString2(prompt, AFX_IDP_PARSE_INT_RANGE, L"1", L"9");
  EXPECT_EQ(prompt, L"1 から 9 までの整数を入力してください。");
}

TEST(ContainersTest, ArraysGrowInsertAndRefuseBadIndexes) {
  CStringArray a;
  EXPECT_EQ(a.Add(L"b"), 0);
  a.InsertAt(0, L"a");
  a.SetAtGrow(3, L"d");
  EXPECT_EQ(a.GetSize(), 4);
  EXPECT_EQ(a[0], L"a");
  EXPECT_EQ(a[2], L"");
  a.RemoveAt(1, 2);
  EXPECT_EQ(a.GetUpperBound(), 1);
  EXPECT_EQ(a[1], L"d");
  EXPECT_TRUE(ThrowsInvalidArg([&] { (void)a[2]; }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { a.RemoveAt(1, 5); }));
}

TEST(ContainersTest, ListsWalkBothWaysAndRemoveInPlace) {
  CStringList l;
  POSITION b = l.AddTail(L"b");
  l.AddHead(L"a");
  l.InsertAfter(b, L"c");
  std::vector<std::wstring> forward, backward;
  for (POSITION p = l.GetHeadPosition(); p;) forward.push_back(l.GetNext(p).str());
  for (POSITION p = l.GetTailPosition(); p;) backward.push_back(l.GetPrev(p).str());
  EXPECT_EQ(forward, (std::vector<std::wstring>{L"a", L"b", L"c"}));
  EXPECT_EQ(backward, (std::vector<std::wstring>{L"c", L"b", L"a"}));
  l.RemoveAt(l.Find(L"b"));
  EXPECT_EQ(l.GetCount(), 2);
  EXPECT_EQ(l.GetAt(l.FindIndex(1)), L"c");
  EXPECT_EQ(l.RemoveHead(), L"a");
  EXPECT_EQ(l.Find(L"a"), nullptr);
}

TEST(ContainersTest, MapsLookUpReplaceAndWalkEveryPair) {
  CMapStringToString m;
  m.SetAt(L"from", L"a@b.jp");
  m[L"to"] = L"c@d.jp";
  m.SetAt(L"from", L"e@f.jp");
  CString v;
  EXPECT_TRUE(m.Lookup(L"from", v));
  EXPECT_EQ(v, L"e@f.jp");
  EXPECT_FALSE(m.Lookup(L"cc", v));
  EXPECT_EQ(m.GetCount(), 2);
  int seen = 0;
  CString key, value;
  for (POSITION p = m.GetStartPosition(); p; ++seen) m.GetNextAssoc(p, key, value);
  EXPECT_EQ(seen, 2);
  EXPECT_TRUE(m.RemoveKey(L"to"));
  EXPECT_FALSE(m.RemoveKey(L"to"));
  EXPECT_EQ(m.GetCount(), 1);
}

}  // namespace
}  // namespace qv::test
