// The address fields: adding and replacing addresses, the syntax check, the
// read-only view's stepping with the arrows, the cutter, and a 10,000-address
// field (shown whole when received, bounded when composed).
#include <cstdlib>

#include "app/message/address/QvAddressView.h"
#include "platform/ui/window/ControlOrder.h"
#include "tests/platform/ui/UiTest.h"

namespace qv::test {
namespace {

class HostWnd : public CWnd {};

class AddressView : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(host_.CreateEx(0, AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW)), L"",
                               WS_POPUP | WS_VISIBLE, 0, 0, 480, 300, nullptr, nullptr));
  }
  void TearDown() override {
    after_.DestroyWindow();
    view_.DestroyWindow();
    host_.DestroyWindow();
    CWnd::DeleteTempMap();
    UiTest::TearDown();
  }
  void Make(bool readOnly) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | (readOnly ? ES_READONLY : 0);
    ASSERT_TRUE(view_.Create(style, RECT{10, 10, 470, 60}, &host_, 1100));
    ASSERT_TRUE(after_.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{10, 70, 470, 100}, &host_, 1101));
  }
  CString Text() {
    CString text;
    view_.GetWindowText(text);
    return text;
  }
  std::pair<int, int> Sel() {
    int s = 0, e = 0;
    view_.GetSel(s, e);
    return {s, e};
  }
  void Key(BYTE vk) {
    qv::seams::InjectKey(vk, true);
    qv::seams::InjectKey(vk, false);
    Pump();
  }
  static void Many(int n, CStringArray& list) {
    for (int i = 0; i < n; ++i) {
      CString one;
      one.Format(L"user%d@example.jp", i);
      list.Add(one);
    }
  }
  HostWnd host_;
  QvAddressView view_;
  CEdit after_;
};

TEST(TextCutter, CutsTheSelectionOut) {
  const struct {
    int start, end;
    const wchar_t* left;
    const wchar_t* cut;
  } cases[] = {{2, 5, L"abfgh", L"cde"}, {0, 0, L"abcdefgh", L""}, {6, 99, L"abcdef", L"gh"}, {-3, 1, L"bcdefgh", L"a"},
               {5, 2, L"abcdefgh", L""}};
  for (const auto& c : cases) {
    QvTextCutter cutter(L"abcdefgh");
    CString cut = L"stale";
    cutter.Cut(cut, c.start, c.end);
    EXPECT_STREQ(cutter.GetText(), c.left) << c.start;
    EXPECT_STREQ(cut, c.cut) << c.start;
  }
}

TEST_F(AddressView, AddsReplacesAndChecks) {
  Make(false);
  const struct {
    const wchar_t* field;
    const wchar_t* added;  // null: only check
    const wchar_t* text;
    int check;
    std::pair<int, int> selection;
  } cases[] = {
      {L"a@x.jp, ", L"b@y.jp", L"a@x.jp, b@y.jp", 0, {8, 14}},
      {L"a@x.jp;;  ", L"b@y.jp", L"a@x.jp, b@y.jp", 0, {8, 14}},
      {L"", L"花子\xE63E\xE001 <h@y.jp>", L"花子 <h@y.jp>", 0, {0, 11}},
      {L"a@x.jp, 太郎 <t@y.jp", nullptr, L"a@x.jp, 太郎 <t@y.jp", 2, {12, 18}},
      {L"<t@y.jp> x", nullptr, L"<t@y.jp> x", 3, {1, 7}},
  };
  for (const auto& c : cases) {
    view_.ClearAll();
    view_.SetWindowText(c.field);
    if (c.added) {
      ASSERT_TRUE(view_.AddAddress(c.added, true));
    }
    const int check = view_.CheckAddresses();
    EXPECT_STREQ(Text(), c.text);
    EXPECT_EQ(check, c.check) << c.text;
    EXPECT_EQ(Sel(), c.selection) << c.text;
  }
  view_.SetWindowText(L"a@x.jp, b@y.jp, c@z.jp");
  view_.SetSel(8, 14);
  view_.GetAddressCount();
  ASSERT_TRUE(view_.ReplaceSelection(L"新\xE63E@n.jp"));
  EXPECT_STREQ(Text(), L"a@x.jp, 新@n.jp, c@z.jp");
  EXPECT_EQ(view_.GetCurrentIndex(), 1);
  EXPECT_EQ(Sel(), std::make_pair(8, 14));
}

TEST_F(AddressView, ReadOnlyStepsThroughAddressesAndLeaves) {
  Make(true);
  CStringArray three;
  for (const wchar_t* a : {L"a@x.jp", L"太郎 <t@y.jp>", L"c@z.jp"}) three.Add(a);
  ASSERT_TRUE(view_.SetAddresses(three));
  CStringArray back;
  view_.GetAddresses(back);
  ASSERT_EQ(back.GetSize(), 3);
  EXPECT_STREQ(back[1], L"太郎 <t@y.jp>");
  view_.SetFocus();
  view_.SetSel(0, 0);
  Pump();
  view_.SendMessage(WM_KILLFOCUS);
  after_.SetFocus();
  view_.SetFocus();
  Pump();
  EXPECT_EQ(view_.GetCurrentIndex(), 0);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(view_.GetCurrentIndex(), 2);
  EXPECT_EQ(Sel(), std::make_pair(21, 27));
  EXPECT_EQ(::GetFocus(), view_.m_hWnd);
  // A received name keeps its pictograph, drawn as a picture.
  view_.SetWindowText(L"a@x.jp, 太郎\xE63E <t@y.jp>, c@z.jp");
  view_.SetSel(22, 28);
  Pump();
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(std::getenv("QV_BINARY_DIR") ?: ".") + "/address-view.png"));
  Key(VK_DOWN);
  EXPECT_EQ(::GetFocus(), after_.m_hWnd);
}

TEST_F(AddressView, TenThousandAddressesShownWhenReceivedBoundedWhenComposed) {
  CStringArray many;
  Many(10000, many);
  Make(true);
  EXPECT_TRUE(view_.SetAddresses(many));
  EXPECT_EQ(view_.GetAddressCount(), 10000);
  EXPECT_EQ(view_.GetCurrentIndex(), 9999);
  EXPECT_EQ(view_.CheckAddresses(), 0);
  view_.DestroyWindow();
  after_.DestroyWindow();
  Make(false);
  EXPECT_FALSE(view_.SetAddresses(many));
  EXPECT_EQ(view_.GetAddressCount(), QvAddressView::kMaxAddresses);
  EXPECT_FALSE(view_.AddAddress(L"one.more@example.jp", true));
  EXPECT_EQ(view_.GetAddressCount(), QvAddressView::kMaxAddresses);
  // Pasted past the bound: the check says so and marks what is too many.
  CString pasted = Text() + L", x@y.jp";
  view_.SetWindowText(pasted);
  EXPECT_EQ(view_.CheckAddresses(), QvAddressView::kTooManyAddresses);
  EXPECT_EQ(Sel(), std::make_pair(pasted.GetLength() - 6, pasted.GetLength()));
}

}  // namespace
}  // namespace qv::test
