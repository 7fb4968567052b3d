// The link scanner over a table of texts: every range it finds, what a
// position maps to, and what each link is allowed to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/message/links/QvLinkRangeList.h"

namespace {

struct Found {
  int start, length, kind;
  bool operator==(const Found&) const = default;
};

struct ScanCase {
  const wchar_t* text;
  std::vector<Found> ranges;
};

std::vector<Found> Ranges(const QvLinkRangeList& list) {
  std::vector<Found> out;
  for (int i = 0; i < list.GetCount(); ++i) {
    const QvLinkRange& r = list.GetRange(i);
    out.push_back({r.start, r.length, r.kind});
  }
  return out;
}

const std::wstring kLong = L"http://example.jp/" + std::wstring(300, L'a');

const ScanCase kScans[] = {
    {L"http://a", {}},
    {L"http://ab", {{0, 9, 2}}},
    {L"https://", {}},
    {L"see:http://www.example.jp/a?b=1 ok", {{4, 27, 2}}},
    {L"HTTP://upper.example.jp", {}},
    {kLong.c_str(), {{0, 240, 2}}},
    {L"foo@bar", {}},
    {L"@example.jp", {}},
    {L"first.last@mail.example.jp", {{0, 26, 1}}},
    {L"Write to taro@example.jp.", {{9, 15, 1}}},
    {L"taro@example.jp... next", {{0, 15, 1}}},
    {L"a@b.", {}},
    {L"TEL:090-1234-5678", {{4, 13, 3}}},
    {L"tel:*31#0312345678", {{4, 14, 3}}},
    {L"0123", {}},
    {L"03-1234-5678", {{0, 12, 3}}},
    {L"call 0312345678 now", {{5, 10, 3}}},
    {L"No. 12303123456789", {}},
    {L"id 9990312345678", {}},
    {L"x--", {}},
    {L"http://example.jp/あいう", {{0, 18, 2}}},
    {L"taro@example.jp、090-1111-2222。", {{0, 15, 1}, {16, 13, 3}}},
    {L"http://a.jp/ x@y.jp 0312345678", {{0, 12, 2}, {13, 6, 1}, {20, 10, 3}}},
    {nullptr, {}},
};

}  // namespace

TEST(LinkRangeList, FindsTheTableRanges) {
  for (const ScanCase& c : kScans) {
    QvLinkRangeList list;
    list.Scan(c.text);
    const std::wstring shown = c.text ? c.text : L"(null)";
    EXPECT_EQ(Ranges(list), c.ranges) << std::string(shown.begin(), shown.end());
    EXPECT_STREQ(list.GetText(), c.text ? c.text : L"");
    // Every position maps to the range holding it, ends excluded.
    for (int p = -1; p <= list.GetText().GetLength() + 1; ++p) {
      int holder = -1;
      for (int i = 0; i < list.GetCount(); ++i) {
        if (c.ranges[i].start <= p && p < c.ranges[i].start + c.ranges[i].length) holder = i;
      }
      EXPECT_EQ(list.FindRangeAt(p), holder) << "position " << p;
    }
  }
}

TEST(LinkRangeList, KeepsTheWholeWebAddressAndRescanClears) {
  QvLinkRangeList list;
  list.Scan(kLong.c_str());
  EXPECT_EQ(list.GetLinkText(0), CString(kLong.c_str()));
  EXPECT_TRUE(list.GetLinkText(1).IsEmpty());
  EXPECT_FALSE(list.IsValidIndex(1));
  list.Scan(L"none here");
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.FindNearestRange(3), 0);
}

TEST(LinkRangeList, ActsOnlyAsEachSchemeAllows) {
  struct ActionCase {
    const wchar_t* target;
    QvLinkAction action;
    const wchar_t* argument;
  };
  const ActionCase cases[] = {
      {L"https://example.jp/x", QvLinkAction::kOpenWeb, L"https://example.jp/x"},
      {L" HTTP://example.jp ", QvLinkAction::kOpenWeb, L"HTTP://example.jp"},
      {L"http:///etc/passwd", QvLinkAction::kRefuse, L""},
      {L"file:///etc/passwd", QvLinkAction::kRefuse, L""},
      {L"javascript:alert(1)", QvLinkAction::kRefuse, L""},
      {L"/etc/passwd", QvLinkAction::kRefuse, L""},
      {L"\\\\host\\share", QvLinkAction::kRefuse, L""},
      {L"http://a.jp/\r\nfile:///x", QvLinkAction::kRefuse, L""},
      {L"mailto:taro@example.jp", QvLinkAction::kCompose, L"taro@example.jp"},
      {L"mailto:", QvLinkAction::kRefuse, L""},
      {L"tel:090-1234-5678", QvLinkAction::kDial, L"090-1234-5678"},
      {L"tel:;rm", QvLinkAction::kRefuse, L""},
      {L"sms:0901234567", QvLinkAction::kRefuse, L""},
      {nullptr, QvLinkAction::kRefuse, L""},
  };
  for (const ActionCase& c : cases) {
    CString argument = L"stale";
    EXPECT_EQ(ClassifyLinkTarget(c.target, argument), c.action) << (c.target ? c.target : L"(null)");
    EXPECT_STREQ(argument, c.argument);
  }
  QvLinkRangeList list;
  list.Scan(L"taro@example.jp http://example.jp TEL:0312345678");
  const QvLinkAction kinds[] = {QvLinkAction::kCompose, QvLinkAction::kOpenWeb, QvLinkAction::kDial};
  const wchar_t* arguments[] = {L"taro@example.jp", L"http://example.jp", L"0312345678"};
  for (int i = 0; i < 3; ++i) {
    CString argument;
    EXPECT_EQ(ActionForRange(list, i, argument), kinds[i]);
    EXPECT_STREQ(argument, arguments[i]);
  }
  CString argument;
  EXPECT_EQ(ActionForRange(list, 3, argument), QvLinkAction::kRefuse);
}
