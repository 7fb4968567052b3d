// The feed parser's support library: lists and vectors with their cursor,
// strings, URLs and the counting allocator.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cwchar>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_list.h"
#include "engine/feeds/src/mfd_str.h"
#include "engine/feeds/src/mfd_url.h"
#include "engine/feeds/src/mfd_vect.h"

namespace {

// Every test leaves as many allocations freed as it made.
class MfdTest : public ::testing::Test {
 protected:
  void SetUp() override { before_ = MFD_MallocCount() - MFD_FreeCount(); }
  void TearDown() override {
    MFD_FailAllocationAfter(-1);
    EXPECT_EQ(MFD_MallocCount() - MFD_FreeCount(), before_);
  }

 private:
  long before_ = 0;
};

int At(MFD_List* l, long offset, int origin) { return *static_cast<int*>(MFD_List_Get(l, offset, origin)); }

using ListTest = MfdTest;

TEST_F(ListTest, CreateRefusesAnExistingListANullPointerAndSizeZero) {
  MFD_List* list = nullptr;
  EXPECT_EQ(MFD_List_Create(nullptr, 4), -1);
  EXPECT_EQ(MFD_List_Create(&list, 0), -1);
  ASSERT_EQ(MFD_List_Create(&list, sizeof(int)), 0);
  MFD_List* kept = list;
  EXPECT_EQ(MFD_List_Create(&list, sizeof(int)), -1);
  EXPECT_EQ(list, kept);
  EXPECT_EQ(MFD_List_IsEmpty(list), 1);
  EXPECT_EQ(MFD_List_IsEmpty(nullptr), -1);
  EXPECT_EQ(MFD_List_Free(&list), 0);
  EXPECT_EQ(list, nullptr);
}

TEST_F(ListTest, InsertionsLandWhereAskedAndTheCursorFollows) {
  MFD_List* list = nullptr;
  ASSERT_EQ(MFD_List_Create(&list, sizeof(int)), 0);
  int v[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(MFD_List_Append(list, &v[2]), 0);        // 3
  EXPECT_EQ(MFD_List_InsertFirst(list, &v[0]), 0);   // 1 3
  EXPECT_EQ(MFD_List_InsertAfter(list, &v[1]), 0);   // 1 2 3, cursor on 2
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetCurrent(list)), 2);
  EXPECT_EQ(MFD_List_Append(list, &v[4]), 0);        // 1 2 3 5
  EXPECT_EQ(MFD_List_InsertBefore(list, &v[3]), 0);  // 1 2 3 4 5
  EXPECT_EQ(MFD_List_Count(list), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(At(list, i, 0), i + 1);
  EXPECT_EQ(At(list, -1, 2), 4);
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetPrevious(list)), 3);
  // The list holds copies.
  v[0] = 99;
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetFirst(list)), 1);
  EXPECT_EQ(MFD_List_Insert(list, &v[0], 0, 3, 0), -1);
  EXPECT_EQ(MFD_List_Insert(list, &v[0], 0, 0, 2), -1);
  EXPECT_EQ(MFD_List_Insert(list, nullptr, 0, 0, 0), -1);
  EXPECT_EQ(MFD_List_Insert(list, &v[0], 9, 0, 0), -1);  // the seek fails: nothing added
  EXPECT_EQ(MFD_List_Count(list), 5u);
  MFD_List_Free(&list);
}

TEST_F(ListTest, RunningOffAnEndKeepsTheCursor) {
  MFD_List* list = nullptr;
  ASSERT_EQ(MFD_List_Create(&list, sizeof(int)), 0);
  EXPECT_EQ(MFD_List_GetFirst(list), nullptr);
  EXPECT_EQ(MFD_List_Seek(list, 0, 0), -1);
  for (int i = 1; i <= 3; ++i) MFD_List_Append(list, &i);
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetLast(list)), 3);
  EXPECT_EQ(MFD_List_GetNext(list), nullptr);
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetCurrent(list)), 3);
  EXPECT_EQ(MFD_List_Seek(list, -3, 2), -1);
  EXPECT_EQ(MFD_List_Seek(list, -2, 2), 0);
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetCurrent(list)), 1);
  EXPECT_EQ(MFD_List_GetPrevious(list), nullptr);
  EXPECT_EQ(MFD_List_Seek(list, 0, 5), -1);
  MFD_List_Free(&list);
}

TEST_F(ListTest, RemovalMovesTheCursorOnAndEmptiesCleanly) {
  MFD_List* list = nullptr;
  ASSERT_EQ(MFD_List_Create(&list, sizeof(int)), 0);
  EXPECT_EQ(MFD_List_Remove(list), -1);
  for (int i = 1; i <= 3; ++i) MFD_List_Append(list, &i);
  MFD_List_Seek(list, 1, 0);  // on 2
  EXPECT_EQ(MFD_List_Remove(list), 0);
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetCurrent(list)), 3);  // the next one
  EXPECT_EQ(MFD_List_Remove(list), 0);
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetCurrent(list)), 1);  // no next: the previous
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetLast(list)), 1);
  EXPECT_EQ(MFD_List_Remove(list), 0);
  EXPECT_EQ(MFD_List_Count(list), 0u);
  EXPECT_EQ(MFD_List_IsEmpty(list), 1);
  EXPECT_EQ(MFD_List_GetCurrent(list), nullptr);
  EXPECT_EQ(MFD_List_Remove(list), -1);
  int x = 7;
  EXPECT_EQ(MFD_List_InsertBefore(list, &x), 0);  // an empty list takes any position
  EXPECT_EQ(*static_cast<int*>(MFD_List_GetFirst(list)), 7);
  MFD_List_Free(&list);
}

TEST_F(ListTest, AFailedAllocationAddsNothing) {
  MFD_List* list = nullptr;
  ASSERT_EQ(MFD_List_Create(&list, sizeof(int)), 0);
  int x = 1;
  MFD_FailAllocationAfter(0);  // the node, which holds its copy, is not made
  EXPECT_EQ(MFD_List_Append(list, &x), -1);
  EXPECT_EQ(MFD_List_Count(list), 0u);
  MFD_List_Free(&list);
}

using VectorTest = MfdTest;

TEST_F(VectorTest, ElementsKeepTheirOwnSizes) {
  MFD_Vector* v = nullptr;
  ASSERT_EQ(MFD_Vector_Create(&v), 0);
  EXPECT_EQ(MFD_Vector_Create(&v), -1);
  EXPECT_EQ(MFD_Vector_Append(v, "abc", 0), -1);
  EXPECT_EQ(MFD_Vector_Append(v, "abc", 4), 0);
  EXPECT_EQ(MFD_Vector_InsertFirst(v, "xy", 3), 0);
  uint32_t size = 99;
  EXPECT_STREQ(static_cast<char*>(MFD_Vector_GetFirst(v, &size)), "xy");
  EXPECT_EQ(size, 3u);
  EXPECT_STREQ(static_cast<char*>(MFD_Vector_GetNext(v, &size)), "abc");
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(MFD_Vector_GetNext(v, &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_STREQ(static_cast<char*>(MFD_Vector_GetCurrent(v, nullptr)), "abc");
  EXPECT_EQ(MFD_Vector_Remove(v), 0);
  EXPECT_EQ(MFD_Vector_Remove(v), 0);
  EXPECT_EQ(MFD_Vector_IsEmpty(v), 1);
  EXPECT_EQ(MFD_Vector_Count(v), 0u);
  EXPECT_EQ(MFD_Vector_Append(v, "z", 2), 0);
  MFD_Vector_Free(&v);
  EXPECT_EQ(v, nullptr);
}

using StrTest = MfdTest;

TEST_F(StrTest, Searching) {
  EXPECT_EQ(MFD_Str_IndexOf("abcabc", "bc"), 1);
  EXPECT_EQ(MFD_Str_LastIndexOf("abcabc", "bc"), 4);
  EXPECT_EQ(MFD_Str_IndexOf("ab", "abc"), -1);
  EXPECT_EQ(MFD_Str_IndexOf("", "a"), -1);
  EXPECT_EQ(MFD_Str_IndexOf(nullptr, "a"), -1);
  EXPECT_EQ(MFD_Str_LastIndexOfAny("a/b\\c", "/\\"), 3);
  EXPECT_EQ(MFD_Str_LastIndexOfAny("abc", ""), 2);
  EXPECT_EQ(MFD_Str_LastIndexOfAny("abc", nullptr), 2);
  EXPECT_EQ(MFD_Str_LastIndexOfAny("abc", "xyz"), -1);
  EXPECT_EQ(MFD_WStr_IndexOf(L"日本語日本", L"本"), 1);
  EXPECT_EQ(MFD_WStr_LastIndexOf(L"日本語日本", L"本"), 4);
  EXPECT_EQ(MFD_WStr_IndexOf(L"abc", L""), -1);
  EXPECT_EQ(MFD_WStr_Span(L"host:80/x", L":/"), 4u);
  EXPECT_EQ(MFD_WStr_Span(nullptr, L":"), 0u);
  EXPECT_EQ(MFD_WStr_Length(nullptr), 0u);
}

TEST_F(StrTest, Copies) {
  wchar_t buf[16];
  std::wmemset(buf, L'#', 16);
  EXPECT_STREQ(MFD_WStr_Copy(buf, nullptr), L"");
  std::wmemset(buf, L'#', 16);
  MFD_WStr_CopyN(buf, L"abcdef", 3);
  EXPECT_EQ(buf[2], L'c');
  EXPECT_EQ(buf[3], L'#');  // no terminator after n
  MFD_WStr_CopyN(buf, L"ab", 8);
  EXPECT_STREQ(buf, L"ab");
  EXPECT_EQ(buf[3], L'#');  // stopped after the NUL
  EXPECT_STREQ(MFD_WStr_SubCopy(buf, L"abcdef", 2, 3), L"cde");
  EXPECT_STREQ(MFD_WStr_SubCopy(buf, L"abcdef", 4, 100), L"ef");  // never past the end
  EXPECT_EQ(MFD_WStr_SubCopy(buf, L"abc", 3, 1), nullptr);
  EXPECT_EQ(MFD_WStr_SubCopy(buf, L"abc", 0, 0), nullptr);
  MFD_WStr_Copy(buf, L"ab");
  EXPECT_STREQ(MFD_WStr_Cat(buf, L"cd"), L"abcd");
  EXPECT_STREQ(MFD_WStr_Replace(buf, 1, 2, L"XYZ"), L"aXYZd");
  EXPECT_STREQ(MFD_WStr_Replace(buf, 3, 100, L""), L"aXY");
  EXPECT_STREQ(MFD_WStr_Replace(buf, 9, 1, L"Q"), L"aXY");
  wchar_t* dup = MFD_WStr_Dup(L"日本");
  EXPECT_STREQ(dup, L"日本");
  MFD_Free(dup, "test", __LINE__, 0);
  EXPECT_EQ(MFD_WStr_Dup(nullptr), nullptr);
}

TEST_F(StrTest, Comparing) {
  EXPECT_EQ(MFD_WStr_Compare(L"abc", L"abc"), 0);
  EXPECT_LT(MFD_WStr_Compare(L"abc", L"abd"), 0);
  EXPECT_GT(MFD_WStr_Compare(L"abc", nullptr), 0);
  EXPECT_EQ(MFD_WStr_Compare(nullptr, L""), 0);
  EXPECT_EQ(MFD_WStr_CompareN(L"abcX", L"abcY", 3), 0);
  EXPECT_NE(MFD_WStr_CompareN(L"ab", L"abc", 3), 0);
}

TEST_F(StrTest, NumbersStopAtTheFirstForeignCharacter) {
  const wchar_t* end = nullptr;
  const wchar_t* text = L"0x1F";
  EXPECT_EQ(MFD_WStr_ToLong(text, &end, 16), 31);
  EXPECT_EQ(end, text + 4);
  text = L"12ab";
  EXPECT_EQ(MFD_WStr_ToLong(text, &end, 10), 12);
  EXPECT_EQ(*end, L'a');
  text = L"x1";
  EXPECT_EQ(MFD_WStr_ToLong(text, &end, 10), 0);
  EXPECT_EQ(end, text);
  EXPECT_EQ(MFD_WStr_ToLong(L"12", &end, 8), 0);
  EXPECT_EQ(MFD_WStr_ToLong(L"-5", &end, 10), 0);
  // Far too many digits: read at most 128, and the value stays at its limit.
  std::wstring many(200, L'9');
  EXPECT_EQ(MFD_WStr_ToLong(many.c_str(), &end, 10), LONG_MAX);
  EXPECT_EQ(end, many.c_str() + 128);
  EXPECT_EQ(MFD_WStr_ToLong(L"FFFFFFFFFFFFFFFFFF", nullptr, 16), LONG_MAX);
}

using AllocatorTest = MfdTest;

TEST_F(AllocatorTest, CountsSuccessesAndNonNullFrees) {
  long m = MFD_MallocCount(), f = MFD_FreeCount();
  void* p = MFD_Malloc(8, ".\\src\\test", 1, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<char*>(p)[7], 0);  // zero-filled
  MFD_Free(nullptr, ".\\src\\test", 2, 0);
  MFD_Free(p, ".\\src\\test", 3, 0);
  MFD_FailAllocationAfter(0);
  EXPECT_EQ(MFD_Malloc(8, ".\\src\\test", 4, 0), nullptr);
  EXPECT_EQ(MFD_MallocCount() - m, 1);
  EXPECT_EQ(MFD_FreeCount() - f, 1);
  ::testing::internal::CaptureStderr();
  MFD_Free(nullptr, ".\\src\\test", 5, 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr().find(" *** invalid address; counter not decreased\n") !=
                std::string::npos,
            true);
}

TEST_F(AllocatorTest, AMadeBlockIsZeroFilledEvenWhenItsMemoryWasUsedBefore) {
  for (size_t size : {1u, 16u, 17u, 255u, 256u, 257u, 5000u}) {
    for (int round = 0; round < 3; ++round) {
      auto* p = static_cast<unsigned char*>(MFD_Malloc(size, ".\\src\\test", 1, 0));
      ASSERT_NE(p, nullptr);
      for (size_t i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << size << " at " << i;
      std::memset(p, 0xA5, size);
      MFD_Free(p, ".\\src\\test", 2, 0);
    }
  }
}

using UrlTest = MfdTest;

class Url {
 public:
  Url() { EXPECT_EQ(MFD_Url_Create(&url), MFD_OK); }
  ~Url() { MFD_Url_Free(&url); }
  MFD_Url* url = nullptr;
};

TEST_F(UrlTest, CreateAndFree) {
  MFD_Url* url = nullptr;
  EXPECT_EQ(MFD_Url_Create(nullptr), MFD_ERR_PARAM);
  ASSERT_EQ(MFD_Url_Create(&url), MFD_OK);
  EXPECT_EQ(MFD_Url_Create(&url), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_Url_Free(&url), MFD_OK);
  EXPECT_EQ(url, nullptr);
  EXPECT_EQ(MFD_Url_Free(nullptr), MFD_ERR_PARAM);
  MFD_FailAllocationAfter(0);
  EXPECT_EQ(MFD_Url_Create(&url), MFD_ERR_NOMEM);
  EXPECT_EQ(url, nullptr);
}

TEST_F(UrlTest, TheFeedFileUrlHasAPathAndNoHost) {
  Url u;
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"file:///Application Data/Rivulet/Tmp/recv.rss"), MFD_OK);
  EXPECT_STREQ(u.url->scheme, L"file");
  EXPECT_EQ(u.url->host, nullptr);
  const wchar_t* path = nullptr;
  EXPECT_EQ(MFD_Url_GetPath(u.url, &path), MFD_OK);
  EXPECT_STREQ(path, L"/Application Data/Rivulet/Tmp/recv.rss");
}

TEST_F(UrlTest, SchemeOnlyUserHostPortAndPath) {
  Url u;
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"about:"), MFD_OK);
  EXPECT_EQ(u.url->schemeOnly, 1);
  EXPECT_EQ(u.url->host, nullptr);
  EXPECT_EQ(u.url->path, nullptr);
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"http://me@feeds.example.jp:8080/a/b"), MFD_OK);
  EXPECT_EQ(u.url->schemeOnly, 0);
  EXPECT_STREQ(u.url->user, L"me");
  EXPECT_STREQ(u.url->host, L"feeds.example.jp");
  EXPECT_EQ(u.url->port, 8080);
  EXPECT_STREQ(u.url->path, L"/a/b");
  std::wstring authority(MFD_Url_AuthorityLength(u.url) + 1, L'#');
  EXPECT_EQ(MFD_Url_BuildAuthority(u.url, authority.data()), MFD_OK);
  EXPECT_STREQ(authority.c_str(), L"http://me@feeds.example.jp:8080");
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"http://host"), MFD_OK);
  EXPECT_STREQ(u.url->host, L"host");
  EXPECT_EQ(u.url->user, nullptr);  // the earlier parts went with the new text
  EXPECT_EQ(u.url->port, 0);
}

TEST_F(UrlTest, MalformedTextsFail) {
  Url u;
  EXPECT_EQ(MFD_Url_SetUrl(u.url, L"no scheme"), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_Url_SetUrl(u.url, L"http://host:"), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_Url_SetAuthority(u.url, L"me@host:"), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_Url_SetUrl(u.url, L"http://host:99999/x"), MFD_ERR_NOMEM);
  // Texts that end before or right where the authority would start.
  EXPECT_EQ(MFD_Url_SetUrl(u.url, L"a:b"), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_Url_SetUrl(u.url, L"http://"), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_Url_SetUrl(u.url, nullptr), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_Url_SetScheme(u.url, L"nothing"), MFD_ERR_NOMEM);
}

TEST_F(UrlTest, DriveLetters) {
  Url u;
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"file://C:/feeds/a.rss"), MFD_OK);
  EXPECT_EQ(u.url->host, nullptr);
  EXPECT_STREQ(u.url->path, L"C:/feeds/a.rss");
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"file://host/C:/feeds/a.rss"), MFD_OK);
  EXPECT_STREQ(u.url->host, L"host/");
  EXPECT_STREQ(u.url->path, L"C:/feeds/a.rss");
}

TEST_F(UrlTest, ResolvingReferences) {
  Url u;
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"http://h/a/b/"), MFD_OK);
  const wchar_t* out = nullptr;
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"../c", &out), MFD_OK);
  EXPECT_STREQ(out, L"http://h/a/c");
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"./d/../e/f", &out), MFD_OK);
  EXPECT_STREQ(out, L"http://h/a/b/e/f");
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"/top", &out), MFD_OK);
  EXPECT_STREQ(out, L"http://h/top");
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"img.png", &out), MFD_OK);
  EXPECT_STREQ(out, L"http://h/a/b/img.png");
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"https://o/x", &out), MFD_OK);
  EXPECT_STREQ(out, L"https://o/x");
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"../../../x", &out), MFD_ERR_NOMEM);  // above the root
  ASSERT_EQ(MFD_Url_SetUrl(u.url, L"http://h/a/page"), MFD_OK);
  EXPECT_EQ(MFD_Url_Resolve(u.url, L"img.png", &out), MFD_OK);
  EXPECT_STREQ(out, L"http://h/a/page/img.png");
  std::wstring longRef;
  for (int i = 0; i < 300; ++i) longRef += L"./abcd/";
  EXPECT_EQ(MFD_Url_Resolve(u.url, longRef.c_str(), &out), MFD_ERR_NOMEM);  // beyond 1024 characters
  Url empty;
  EXPECT_EQ(MFD_Url_Resolve(empty.url, L"x", &out), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_Url_Resolve(empty.url, nullptr, &out), MFD_ERR_PARAM);
}

}  // namespace
