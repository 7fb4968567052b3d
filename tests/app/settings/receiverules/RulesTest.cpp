// The classification rules through their real windows over an open account:
// the list page's buttons, enabling and view as a table of steps, the rules
// it gives back, the limit of 256, its two layouts as the screen turns; the
// editor's refusals, what it writes back, the keyword filled from a message,
// Back, and the sheet's title.
#include <deque>

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/shell/rules/QvSetAccountClassifyPage.h"
#include "app/shell/rules/QvSetClassifyPage.h"
#include "platform/base/WinFormat.h"
#include "platform/gdi/Gdi.h"
#include "platform/testing/Seams.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/settings/receiverules/SettingsFixture.h"

namespace qv::test {
namespace {

using Rules = std::vector<QvClassificationRuleRow>;
using Names = std::vector<std::wstring>;
using ListPage = QvSetAccountClassifyPage;
using Editor = QvSetClassifyPage;
constexpr DWORD kGone = 0x7FFF0;

DWORD ScreenAt(int x, int y) { return qv::ui::ScreenSurface()->Row(y)[x] & 0xFFFFFFu; }
DWORD Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
// Pixels of the system colour in the window's rectangle right of its labels.
int ValuePixels(const QvClassifyItemView& item, int colour) {
  HWND view = item.m_hWnd;
  RECT r{};
  GetWindowRect(view, &r);
  int n = 0;
  for (LONG y = r.top + 2; y < r.bottom - 2; ++y) {
    for (LONG x = r.left + item.ValueLeft(); x < r.right - 2; ++x) {
      n += ScreenAt(x, y) == Rgb(GetSysColor(colour));
    }
  }
  return n;
}

class RulesTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    account_ = MakeAccount(L"仕事");
    ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
    ASSERT_TRUE(CreateSubFolder(account_.trays[kReceiveBox], L"Work", &work_));
  }
  void TearDown() override {
    ListPage::SetEditorRunner(nullptr);
    qv::ui::SetOrientation(qv::ui::Orientation::Portrait);
    SettingsTest::TearDown();
  }
  static Names ListNames(ListPage& page) {
    Names names;
    for (int i = 0; i < page.List().GetCount(); ++i) {
      CString text;
      page.List().GetText(i, text);
      names.emplace_back(text.GetString());
    }
    return names;
  }
  static RECT ChildRect(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  TestAccount account_;
  DWORD work_ = 0;
};

TEST_F(RulesTest, TheListPageEditsItsCopiesAndGivesTheRulesBackInListOrder) {
  Rules rules = {{L"A", L"From", L"a@example.com", work_, 1},
                 {L"B", L"To", L"b@example.com", work_, 2},
                 {L"C", L"件名", L"セール", kGone, 3}};
  // What the editor does when a button runs it: the rule it leaves, or cancel.
  std::deque<std::optional<QvClassificationRuleRow>> edits;
  std::vector<Names> othersSeen;
  ListPage::SetEditorRunner([&](CWnd*, QvClassificationRuleRow* rule, const Names& others) {
    othersSeen.push_back(others);
    std::optional<QvClassificationRuleRow> next = edits.front();
    edits.pop_front();
    if (next) *rule = *next;
    return next.has_value();
  });
  enum Act { kOpen, kClick, kSelect };
  struct Step {
    const char* name;
    Act act;
    int id;  // the button clicked, or the entry selected
    int answer;
    std::optional<QvClassificationRuleRow> edit;
    Names wantNames;
    int wantSelection;
    std::array<bool, 6> wantEnabled;  // new, edit, delete, up, down, delete all
    Names wantOthers;                 // what the editor was given, when it ran
  } steps[] = {
      {"open", kOpen, 0, 0, {}, {L"A", L"B", L"C"}, 0, {1, 1, 1, 0, 1, 1}, {}},
      {"down", kClick, ListPage::kDown, 0, {}, {L"B", L"A", L"C"}, 1, {1, 1, 1, 1, 1, 1}, {}},
      {"edit, renamed", kClick, ListPage::kEdit, 0, QvClassificationRuleRow{L"A2", L"Cc", L"x", work_, 3},
       {L"B", L"A2", L"C"}, 1, {1, 1, 1, 1, 1, 1}, {L"B", L"C"}},
      {"edit, cancelled", kClick, ListPage::kEdit, 0, std::nullopt, {L"B", L"A2", L"C"}, 1, {1, 1, 1, 1, 1, 1},
       {L"B", L"C"}},
      {"up to the top", kClick, ListPage::kUp, 0, {}, {L"A2", L"B", L"C"}, 0, {1, 1, 1, 0, 1, 1}, {}},
      {"the last", kSelect, 2, 0, {}, {L"A2", L"B", L"C"}, 2, {1, 1, 1, 1, 0, 1}, {}},
      {"delete, no", kClick, ListPage::kDelete, IDNO, {}, {L"A2", L"B", L"C"}, 2, {1, 1, 1, 1, 0, 1}, {}},
      {"delete the last, yes", kClick, ListPage::kDelete, IDYES, {}, {L"A2", L"B"}, 1, {1, 1, 1, 1, 0, 1}, {}},
      {"new", kClick, ListPage::kNew, 0, QvClassificationRuleRow{L"D", L"X-ML-name", L"ml", work_, 1},
       {L"A2", L"B", L"D"}, 2, {1, 1, 1, 1, 0, 1}, {L"A2", L"B"}},
      {"the first, deleted", kSelect, 0, 0, {}, {L"A2", L"B", L"D"}, 0, {1, 1, 1, 0, 1, 1}, {}},
      {"delete the first, yes", kClick, ListPage::kDelete, IDYES, {}, {L"B", L"D"}, 0, {1, 1, 1, 0, 1, 1}, {}},
      {"delete all, no", kClick, ListPage::kDeleteAll, IDNO, {}, {L"B", L"D"}, 0, {1, 1, 1, 0, 1, 1}, {}},
      {"delete all, yes", kClick, ListPage::kDeleteAll, IDYES, {}, {}, -1, {1, 0, 0, 0, 0, 0}, {}},
      {"new into the empty list", kClick, ListPage::kNew, 0, QvClassificationRuleRow{L"E", L"From", L"e", work_, 2},
       {L"E"}, 0, {1, 1, 1, 0, 0, 1}, {}},
  };
  QvSinglePropertySheet sheet(L"振り分け設定", owner_);
  auto* page = new ListPage(&rules, L"仕事");
  sheet.SetupPage(L"振り分け設定：仕事", page);
  int greyWhenGone = 0, textWhenGone = 0, greyWhenThere = 0, textWhenThere = 0;
  std::wstring goneText, path;
  Script().push_back([&] {
    for (const Step& s : steps) {
      SCOPED_TRACE(s.name);
      answer_ = s.answer;
      boxes_.clear();
      const size_t ran = othersSeen.size();
      if (s.act != kOpen) edits.push_back(s.edit);
      if (s.act == kClick) SendDlgItemMessageW(page->m_hWnd, s.id, BM_CLICK, 0, 0);
      if (s.act == kSelect) {
        edits.clear();
        page->List().SetCurSel(s.id);
        SendMessageW(page->m_hWnd, WM_COMMAND, MAKEWPARAM(ListPage::kList, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(page->List().m_hWnd));
      }
      EXPECT_EQ(ListNames(*page), s.wantNames);
      EXPECT_EQ(page->List().GetCurSel(), s.wantSelection);
      const int ids[] = {ListPage::kNew, ListPage::kEdit, ListPage::kDelete, ListPage::kUp, ListPage::kDown,
                         ListPage::kDeleteAll};
      for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(page->m_hWnd, ids[i])) != FALSE, s.wantEnabled[static_cast<size_t>(i)])
            << ids[i];
      }
      if (!s.wantOthers.empty()) {
        ASSERT_EQ(othersSeen.size(), ran + 1);
        EXPECT_EQ(othersSeen.back(), s.wantOthers);
      }
      if (s.id == ListPage::kDelete && s.act == kClick) {
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0], qv::FormatW(Res(ListPage::kDeleteQuestion).c_str(), std::string(s.name).find("first") != std::string::npos ? L"A2" : L"C"));
      }
      edits.clear();
      // The view follows the selection; a rule whose folder is gone is grey.
      const int at = page->List().GetCurSel();
      const std::wstring want = at < 0 ? L"" : s.wantNames[static_cast<size_t>(at)];
      if (at >= 0 && want == L"C") {
        UpdateWindow(page->View().m_hWnd);
        goneText = page->View().Value(QvClassifyItemView::kDestination).GetString();
        greyWhenGone = ValuePixels(page->View(), COLOR_GRAYTEXT);
        textWhenGone = ValuePixels(page->View(), COLOR_WINDOWTEXT);
        Picture("app-rules.png");
      }
      if (at >= 0 && want == L"B") {
        UpdateWindow(page->View().m_hWnd);
        path = page->View().Value(QvClassifyItemView::kDestination).GetString();
        greyWhenThere = ValuePixels(page->View(), COLOR_GRAYTEXT);
        textWhenThere = ValuePixels(page->View(), COLOR_WINDOWTEXT);
      }
      if (at < 0) {
        EXPECT_TRUE(page->View().Value(QvClassifyItemView::kKeyword).IsEmpty());
      }
    }
    PostMessageW(page->m_hWnd, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(goneText, L"削除されました");
  // Grey text has no black in it; black text's glyph edges may pass through grey.
  EXPECT_GT(greyWhenGone, 10 * greyWhenThere);
  EXPECT_EQ(textWhenGone, 0);
  CString workPath;
  ASSERT_TRUE(GetFolderDisplayPath(work_, &workPath));
  EXPECT_EQ(path, workPath.GetString());
  EXPECT_GT(textWhenThere, 0);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].name, L"E");
  EXPECT_EQ(rules[0].target, 2);
}

TEST_F(RulesTest, NewIsOffAt256Rules) {
  for (const size_t count : {size_t{255}, kMaxClassificationRules}) {
    Rules rules(count, QvClassificationRuleRow{L"r", L"From", L"k", work_, 1});
    QvSinglePropertySheet sheet(L"", owner_);
    auto* page = new ListPage(&rules, L"仕事");
    sheet.SetupPage(L"x", page);
    bool newOn = false;
    Script() = {[&] {
      newOn = IsWindowEnabled(GetDlgItem(page->m_hWnd, ListPage::kNew)) != FALSE;
      sheet.EndDialog(IDCANCEL);
    }};
    sheet.DoModal();
    EXPECT_EQ(newOn, count < kMaxClassificationRules) << count;
    EXPECT_EQ(rules.size(), count) << "given back whole";
  }
}

TEST_F(RulesTest, TheListPageTakesTheOtherTemplateWhenTheScreenTurns) {
  Rules rules = {{L"A", L"From", L"a@example.com", work_, 1}};
  QvSinglePropertySheet sheet(L"", owner_);
  auto* page = new ListPage(&rules, L"仕事");
  sheet.SetupPage(L"振り分け設定：仕事", page);
  struct Turn {
    qv::ui::Orientation to;
    UINT wantTemplate;
    RECT wantView;    // pixels in the page
    RECT wantButton;  // 1009 in the template's units
    const char* picture;
  } turns[] = {
      {qv::ui::Orientation::Landscape, ListPage::kLandscapeTemplate, {210, 48, 600, 203}, {60, 66, 95, 77},
       "app-rules-landscape.png"},
      {qv::ui::Orientation::Portrait, ListPage::kPortraitTemplate, {25, 295, 450, 445}, {97, 3, 131, 14},
       "app-rules-portrait.png"},
  };
  for (const Turn& t : turns) {
    Script().push_back([&] { qv::ui::SetOrientation(t.to); });
    Script().push_back([&] {
      EXPECT_EQ(page->LaidOutTemplate(), t.wantTemplate);
      // Where the template and the Part put them, as far as the page has scrolled.
      const int offset = page->ScrollOffset();
      RECT view = ChildRect(page->m_hWnd, page->View().m_hWnd);
      OffsetRect(&view, 0, -offset);
      EXPECT_TRUE(EqualRect(&view, &t.wantView)) << page->ScrollOffset() << " " << view.left << "," << view.top << " " << view.right << ","
                                                 << view.bottom;
      RECT button = t.wantButton;
      MapDialogRect(page->m_hWnd, &button);
      RECT got = ChildRect(page->m_hWnd, GetDlgItem(page->m_hWnd, ListPage::kNew));
      OffsetRect(&got, 0, -offset);
      EXPECT_TRUE(EqualRect(&got, &button)) << got.left << "," << got.top;
      Picture(t.picture);
    });
  }
  Script().push_back([&] { sheet.EndDialog(IDCANCEL); });
  sheet.DoModal();
}

TEST_F(RulesTest, TheEditorRefusesWhatIsMissingOrTakenAndWritesTheRuleOnOk) {
  struct Case {
    const char* name;
    DWORD folder;  // the rule's destination when opened
    const wchar_t* typedName;
    const wchar_t* typedKeyword;
    int header, target;
    INT_PTR end;
    UINT box;  // 0 none, 1 the framework's length message
    int focus;
    std::wstring shown;  // the destination's text
  } cases[] = {
      {"complete", 1, L"会社", L"boss@example.com", 3, 1, IDOK, 0, 0, L""},
      {"no name", 1, L"", L"k", 0, 0, IDCANCEL, 20050, Editor::kName, L""},
      {"no keyword", 1, L"n", L"", 0, 0, IDCANCEL, 20050, Editor::kKeyword, L""},
      {"no destination", 0, L"n", L"k", 0, 0, IDCANCEL, 20050, Editor::kChoose, L"フォルダを選択してください。"},
      {"a destination that is gone", kGone, L"n", L"k", 0, 0, IDCANCEL, 20050, Editor::kChoose,
       L"フォルダを選択してください。"},
      {"another rule's name", 1, L"A", L"k", 0, 0, IDCANCEL, 20035, Editor::kName, L""},
      {"a keyword of 128", 1, L"n", nullptr, 4, 2, IDOK, 0, 0, L""},
      {"a keyword of 129", 1, L"n", nullptr, 0, 0, IDCANCEL, 1, Editor::kKeyword, L""},
  };
  const Names others = {L"A", L"B"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    QvClassificationRuleRow rule{L"", L"", L"", c.folder == 1 ? work_ : c.folder, 1};
    const std::wstring keyword = c.typedKeyword ? c.typedKeyword : std::wstring(c.end == IDOK ? 128 : 129, L'キ');
    QvSinglePropertySheet sheet(L"振り分け条件設定", owner_);
    ASSERT_TRUE(SetupClassifyPage(sheet, &rule, &others));
    auto* page = static_cast<Editor*>(sheet.OwnedPage());
    std::wstring shown, title;
    int focus = 0;
    Script() = {[&] {
                  WCHAR text[128] = {};
                  GetWindowTextW(sheet.m_hWnd, text, 128);
                  title = text;
                  shown = ItemText(page->m_hWnd, Editor::kDestination);
                  SetDlgItemTextW(page->m_hWnd, Editor::kName, c.typedName);
                  SetDlgItemTextW(page->m_hWnd, Editor::kKeyword, keyword.c_str());
                  SendDlgItemMessageW(page->m_hWnd, Editor::kHeader, CB_SETCURSEL, c.header, 0);
                  SendDlgItemMessageW(page->m_hWnd, Editor::kTarget, CB_SETCURSEL, c.target, 0);
                  PostMessageW(page->m_hWnd, WM_COMMAND, IDOK, 0);
                },
                [&] {
                  focus = GetDlgCtrlID(GetFocus());
                  sheet.EndDialog(IDCANCEL);
                }};
    EXPECT_EQ(sheet.DoModal(), c.end);
    Script().clear();
    EXPECT_EQ(title, L"振り分け設定：仕事");
    if (!c.shown.empty()) {
      EXPECT_EQ(shown, c.shown);
    }
    if (c.end == IDOK) {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_EQ(rule.name, c.typedName);
      EXPECT_EQ(rule.field, Editor::kHeaders[c.header]);
      EXPECT_EQ(rule.keyword, keyword);
      EXPECT_EQ(rule.folderId, work_);
      EXPECT_EQ(rule.target, c.target + 1);
      continue;
    }
    EXPECT_EQ(rule.name, L"") << "written only on OK";
    ASSERT_EQ(boxes_.size(), 1u);
    if (c.box > 1) {
      EXPECT_EQ(boxes_[0], Res(c.box));
    }
    EXPECT_EQ(focus, c.focus);
  }
}

TEST_F(RulesTest, TheKeywordFollowsTheHeaderFromAMessageUntilTyped) {
  const Editor::MessageTexts texts = {L"to@example.com", L"from@example.com", L"cc@example.com", L"件名テキスト", L""};
  const Names others;
  QvClassificationRuleRow rule;
  QvSinglePropertySheet sheet(L"", owner_);
  ASSERT_TRUE(SetupClassifyPage(sheet, &rule, &others, &texts));
  auto* page = static_cast<Editor*>(sheet.OwnedPage());
  struct Step {
    int header;       // chosen, -1 for none
    const wchar_t* typed;  // typed into the keyword
    std::wstring want;
  } steps[] = {{-1, nullptr, L"from@example.com"}, {3, nullptr, L"件名テキスト"},  {1, nullptr, L"to@example.com"},
               {2, nullptr, L"cc@example.com"},   {4, nullptr, L""},              {0, L"x", L"from@example.comx"},
               {3, nullptr, L"from@example.comx"}};
  std::vector<std::wstring> seen;
  Script() = {[&] {
    HWND header = GetDlgItem(page->m_hWnd, Editor::kHeader);
    HWND keyword = GetDlgItem(page->m_hWnd, Editor::kKeyword);
    for (const Step& s : steps) {
      if (s.header >= 0) {
        SendMessageW(header, CB_SETCURSEL, s.header, 0);
        SendMessageW(page->m_hWnd, WM_COMMAND, MAKEWPARAM(Editor::kHeader, CBN_SELCHANGE), reinterpret_cast<LPARAM>(header));
      }
      if (s.typed) {
        SetFocus(keyword);
        SendMessageW(keyword, EM_SETSEL, 1000, 1000);
        for (const wchar_t* p = s.typed; *p; ++p) SendMessageW(keyword, WM_CHAR, *p, 0);
      }
      seen.push_back(ItemText(page->m_hWnd, Editor::kKeyword));
    }
    sheet.EndDialog(IDCANCEL);
  }};
  sheet.DoModal();
  ASSERT_EQ(seen.size(), std::size(steps));
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], steps[i].want) << i;
}

TEST_F(RulesTest, TheEditorsFieldsTakeNoMoreThanTheirLimits) {
  const Names others;
  QvClassificationRuleRow rule;
  QvSinglePropertySheet sheet(L"", owner_);
  ASSERT_TRUE(SetupClassifyPage(sheet, &rule, &others));
  auto* page = sheet.OwnedPage();
  std::wstring name, keyword;
  Script() = {[&] {
    const auto type = [&](int id, const std::wstring& text) {
      HWND field = GetDlgItem(page->m_hWnd, id);
      SetFocus(field);
      for (wchar_t c : text) SendMessageW(field, WM_CHAR, c, 0);
      return ItemText(page->m_hWnd, id);
    };
    name = type(Editor::kName, L"振り分け名前の十一字");
    name = type(Editor::kName, L"目");
    keyword = type(Editor::kKeyword, std::wstring(129, L'k'));
    sheet.EndDialog(IDCANCEL);
  }};
  sheet.DoModal();
  EXPECT_EQ(name, L"振り分け名前の十一字");
  EXPECT_EQ(keyword, std::wstring(128, L'k'));
}

TEST_F(RulesTest, BackLeavesOnlyAnEmptyEditor) {
  struct Case {
    const wchar_t* name;
    const wchar_t* keyword;
    bool cancels;
  } cases[] = {{L"", L"", true}, {L"n", L"", false}, {L"", L"k", false}};
  const Names others;
  for (const Case& c : cases) {
    QvClassificationRuleRow rule;
    QvSinglePropertySheet sheet(L"", owner_);
    ASSERT_TRUE(SetupClassifyPage(sheet, &rule, &others));
    auto* page = sheet.OwnedPage();
    bool up = false;
    Script() = {[&] {
                  SetDlgItemTextW(page->m_hWnd, Editor::kName, c.name);
                  SetDlgItemTextW(page->m_hWnd, Editor::kKeyword, c.keyword);
                  SendMessageW(page->m_hWnd, kBackMessage, 0, 0);
                },
                [&] {
                  up = true;
                  sheet.EndDialog(IDOK);
                }};
    EXPECT_EQ(sheet.DoModal(), c.cancels ? IDCANCEL : IDOK);
    EXPECT_EQ(up, !c.cancels);
    Script().clear();
  }
}

}  // namespace
}  // namespace qv::test
