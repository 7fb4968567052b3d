// Property sheets and the tab control: the order of the page notifications
// (pages made when first shown, a page that keeps itself, OK and Cancel),
// pages added and removed while the sheet is up, the tab row hidden, the
// title callback, and a tab control's parent refusing a change.
#include <array>
#include <cwchar>
#include <deque>
#include <map>
#include <string>

#include "platform/ui/CommCtrl.h"
#include "platform/ui/theme/StylePainter.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

// What the pages heard, in order, as "page N code".
std::vector<std::string>& Heard() {
  static std::vector<std::string> heard;
  return heard;
}
// A page's answers, by page and notification code; 0 for the rest.
std::map<std::pair<int, UINT>, LRESULT>& Answers() {
  static std::map<std::pair<int, UINT>, LRESULT> answers;
  return answers;
}

std::string CodeName(UINT code) {
  switch (code) {
    case PSN_SETACTIVE: return "PSN_SETACTIVE";
    case PSN_KILLACTIVE: return "PSN_KILLACTIVE";
    case PSN_APPLY: return "PSN_APPLY";
    case PSN_RESET: return "PSN_RESET";
    case PSN_QUERYCANCEL: return "PSN_QUERYCANCEL";
    default: return std::to_string(static_cast<int>(code));
  }
}

INT_PTR PageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const int index = static_cast<int>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
    SetWindowLongW(page, DWLP_USER, index);
    Heard().push_back(std::to_string(index) + " WM_INITDIALOG");
    return TRUE;
  }
  if (message != WM_NOTIFY) return FALSE;
  const int index = static_cast<int>(GetWindowLongW(page, DWLP_USER));
  const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
  Heard().push_back(std::to_string(index) + " " + CodeName(code));
  SetWindowLongW(page, DWLP_MSGRESULT, Answers()[{index, code}]);
  return TRUE;
}

const wchar_t* const kTitles[] = {L"受信設定", L"送信設定", L"詳細"};

std::vector<DWORD> PageUnits(const wchar_t* title) {
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
  t.box = {0, 0, 160, 200};
  t.caption = title;
  t.controls = {Control(10, WC_BUTTON, BS_AUTOCHECKBOX | WS_TABSTOP, {8, 8, 150, 22}, title)};
  return t.Build();
}

class Sheets : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    Heard().clear();
    Answers().clear();
    for (const wchar_t* title : kTitles) units_.push_back(PageUnits(title));
  }

  HPROPSHEETPAGE Page(int index) {
    PROPSHEETPAGEW p{};
    p.dwSize = sizeof p;
    p.dwFlags = PSP_DLGINDIRECT;
    p.pResource = AsTemplate(units_[static_cast<size_t>(index)]);
    p.pfnDlgProc = PageProc;
    p.lParam = index;
    return CreatePropertySheetPageW(&p);
  }

  INT_PTR Run(int pages, HWND owner, DWORD flags = 0, PFNPROPSHEETCALLBACK callback = nullptr) {
    std::vector<HPROPSHEETPAGE> made;
    for (int i = 0; i < pages; ++i) made.push_back(Page(i));
    PROPSHEETHEADERW h{};
    h.dwSize = sizeof h;
    h.dwFlags = flags | (callback ? PSH_USECALLBACK : 0u);
    h.hwndParent = owner;
    h.pszCaption = L"アカウント設定";
    h.nPages = static_cast<UINT>(made.size());
    h.phpage = made.data();
    h.pfnCallback = callback;
    return PropertySheetW(&h);
  }
  HWND Modeless(int pages, PFNPROPSHEETCALLBACK callback = nullptr) {
    HWND sheet = reinterpret_cast<HWND>(Run(pages, nullptr, PSH_MODELESS, callback));
    Pump();
    return sheet;
  }

  static int Current(HWND sheet) {
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    return page ? static_cast<int>(GetWindowLongW(page, DWLP_USER)) : -1;
  }

  std::vector<std::vector<DWORD>> units_;
};

// A modal sheet's steps run one at a time as its owner hears it is idle.
std::deque<std::function<void(HWND)>>& Steps() {
  static std::deque<std::function<void(HWND)>> steps;
  return steps;
}

TEST_F(Sheets, PageNotificationsInOrderFromFirstShowToOkOrCancel) {
  struct Case {
    const char* what;
    std::vector<std::function<void(HWND)>> steps;
    INT_PTR result;
    std::vector<std::string> heard;
    int lastShown;
  };
  auto veto = [](int page, UINT code, LRESULT answer) { return [=](HWND) { Answers()[{page, code}] = answer; }; };
  auto tap = [](int index) { return [=](HWND s) { TapTab(PropSheet_GetTabControl(s), index); }; };
  auto press = [](int button) { return [=](HWND s) { PropSheet_PressButton(s, button); }; };
  int shown = -1;
  auto look = [&](HWND s) { shown = Current(s); };
  const Case cases[] = {
      {"a page that keeps itself, then OK",
       {tap(1), veto(1, PSN_KILLACTIVE, TRUE), tap(2), look, veto(1, PSN_KILLACTIVE, FALSE), press(PSBTN_OK)},
       1,
       {"0 WM_INITDIALOG", "0 PSN_SETACTIVE", "0 PSN_KILLACTIVE", "1 WM_INITDIALOG", "1 PSN_SETACTIVE",
        "1 PSN_KILLACTIVE", "1 PSN_KILLACTIVE", "0 PSN_APPLY", "1 PSN_APPLY"},
       1},
      {"cancel resets the pages made",
       {tap(2), look, press(PSBTN_CANCEL)},
       0,
       {"0 WM_INITDIALOG", "0 PSN_SETACTIVE", "0 PSN_KILLACTIVE", "2 WM_INITDIALOG", "2 PSN_SETACTIVE",
        "2 PSN_QUERYCANCEL", "0 PSN_RESET", "2 PSN_RESET"},
       2},
      {"a refused apply keeps the sheet up on that page",
       {tap(1), tap(0), veto(1, PSN_APPLY, PSNRET_INVALID), press(PSBTN_OK), look, veto(1, PSN_APPLY, 0),
        [](HWND s) { SendMessageW(s, WM_COMMAND, IDOK, 0); }},
       1,
       {"0 WM_INITDIALOG", "0 PSN_SETACTIVE", "0 PSN_KILLACTIVE", "1 WM_INITDIALOG", "1 PSN_SETACTIVE",
        "1 PSN_KILLACTIVE", "0 PSN_SETACTIVE", "0 PSN_KILLACTIVE", "0 PSN_APPLY", "1 PSN_APPLY", "1 PSN_SETACTIVE",
        "1 PSN_KILLACTIVE", "0 PSN_APPLY", "1 PSN_APPLY"},
       1},
      {"ended with a code of its own", {[](HWND s) { EndDialog(s, 42); }}, 42, {"0 WM_INITDIALOG", "0 PSN_SETACTIVE"}, -1},
  };
  HWND owner = Make(WS_POPUP | WS_VISIBLE);
  CurrentHandler() = [](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m != WM_ENTERIDLE) return std::nullopt;
    HWND sheet = reinterpret_cast<HWND>(l);
    if (Steps().empty()) PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);  // a script gone wrong ends
    else {
      auto step = std::move(Steps().front());
      Steps().pop_front();
      step(sheet);
      PostMessageW(sheet, WM_NULL, 0, 0);
    }
    return 0;
  };
  for (const Case& c : cases) {
    Heard().clear();
    Answers().clear();
    shown = -1;
    Steps().assign(c.steps.begin(), c.steps.end());
    EXPECT_EQ(Run(3, owner), c.result) << c.what;
    EXPECT_EQ(Heard(), c.heard) << c.what;
    EXPECT_EQ(shown, c.lastShown) << c.what;
    EXPECT_TRUE(IsWindowEnabled(owner)) << c.what;
  }
  DestroyWindow(owner);
}

TEST_F(Sheets, PagesAddedAndRemovedWhileUpAndTheTabRowHidden) {
  HWND sheet = Modeless(2);
  ASSERT_NE(sheet, nullptr);
  HWND tab = PropSheet_GetTabControl(sheet);
  auto titles = [&] {
    std::vector<std::wstring> out;
    for (int i = 0; i < static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)); ++i) {
      WCHAR text[32] = {};
      TCITEMW item{TCIF_TEXT, 0, 0, text, 32, 0, 0};
      SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      out.push_back(text);
    }
    return out;
  };
  HPROPSHEETPAGE third = Page(2);
  EXPECT_TRUE(PropSheet_AddPage(sheet, third));
  EXPECT_EQ(titles(), (std::vector<std::wstring>{kTitles[0], kTitles[1], kTitles[2]}));
  EXPECT_EQ(Heard(), (std::vector<std::string>{"0 WM_INITDIALOG", "0 PSN_SETACTIVE"}));  // added, not made
  EXPECT_TRUE(PropSheet_SetCurSel(sheet, third, 0));
  EXPECT_EQ(Current(sheet), 2);
  PropSheet_RemovePage(sheet, 0, nullptr);
  EXPECT_EQ(titles(), (std::vector<std::wstring>{kTitles[1], kTitles[2]}));
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);  // the page shown stays, one place on
  PropSheet_RemovePage(sheet, 0, third);  // the page shown: its neighbour takes over
  EXPECT_EQ(titles(), (std::vector<std::wstring>{kTitles[1]}));
  EXPECT_EQ(Current(sheet), 1);

  // The pages take the room of a hidden tab row.
  RECT client{}, page{}, row{};
  GetClientRect(sheet, &client);
  for (const bool visible : {true, false, true}) {
    ShowWindow(tab, visible ? SW_SHOW : SW_HIDE);
    Pump();
    GetWindowRect(PropSheet_GetCurrentPageHwnd(sheet), &page);
    GetWindowRect(tab, &row);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&page), 2);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&row), 2);
    EXPECT_EQ(page.bottom, visible ? row.top : client.bottom) << visible;
    EXPECT_EQ(row.bottom, client.bottom);
  }
  DestroyWindow(sheet);
}

std::vector<UINT>& CallbackSeen() {
  static std::vector<UINT> seen;
  return seen;
}

int TitleCallback(HWND, UINT message, LPARAM lParam) {
  CallbackSeen().push_back(message);
  if (message == PSCB_GETTITLE) std::wcscat(reinterpret_cast<LPWSTR>(lParam), L"：仕事");
  if (message == PSCB_PRECREATE) {
    EXPECT_EQ(reinterpret_cast<const DLGTEMPLATE*>(lParam)->signature, QV_DLGTEMPLATE_SIGNATURE);
  }
  return 0;
}

TEST_F(Sheets, ThreeJapaneseTabsAsTheUserSeesThem) {
  CallbackSeen().clear();
  HWND sheet = Modeless(3, TitleCallback);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(CallbackSeen(), (std::vector<UINT>{PSCB_PRECREATE, PSCB_GETTITLE, PSCB_INITIALIZED}));
  EXPECT_EQ(qv::seams::ReadWindow(sheet).text, L"アカウント設定：仕事");
  PropSheet_SetCurSel(sheet, nullptr, 1);
  Pump();
  const char* dir = std::getenv("QV_BINARY_DIR");
  const std::string png = std::string(dir && *dir ? dir : ".") + "/ui-property-sheet.png";
  EXPECT_TRUE(qv::seams::SaveScreenPng(png)) << png;
  HWND tab = PropSheet_GetTabControl(sheet);
  RECT chosen{}, other{};
  SendMessageW(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&chosen));
  SendMessageW(tab, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&other));
  const int f = qv::ui::StylePainter::kFrame;
  struct Pixel {
    const char* what;
    int x, y;
    int color;
  };
  const Pixel pixels[] = {
      {"chosen tab's face", chosen.left + f + 1, chosen.top + f + 1, COLOR_WINDOW},
      {"chosen tab open to the page", chosen.left + f + 1, chosen.top, COLOR_WINDOW},
      {"chosen tab's side", chosen.left, chosen.top + f + 1, COLOR_WINDOWFRAME},
      {"other tab's face", other.left + f + 1, other.top + f + 1, COLOR_BTNFACE},
      {"other tab set off from the page", other.left + f + 1, other.top, COLOR_WINDOWFRAME},
      {"strip beyond the tabs", other.right + 4, other.top + f + 1, COLOR_BTNFACE},
  };
  HDC dc = GetDC(tab);
  for (const Pixel& p : pixels) EXPECT_EQ(GetPixel(dc, p.x, p.y), GetSysColor(p.color)) << p.what;
  ReleaseDC(tab, dc);
  DestroyWindow(sheet);
}

TEST_F(Sheets, ATabControlsParentMayRefuseAChange) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 80, parent,
                             reinterpret_cast<HMENU>(7), nullptr, nullptr);
  for (const wchar_t* title : kTitles) {
    TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(title), 0, 0, 0};
    SendMessageW(tab, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
  }
  bool refuse = false;
  CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (h != parent || m != WM_NOTIFY) return std::nullopt;
    return reinterpret_cast<const NMHDR*>(l)->code == TCN_SELCHANGING && refuse ? TRUE : FALSE;
  };
  // What the parent hears of a change: asked, then told.
  const MsgEntry asked{WM_NOTIFY, seq::sent | seq::parent | seq::code, 0, 0, TCN_SELCHANGING};
  const MsgEntry told{WM_NOTIFY, seq::sent | seq::parent | seq::code, 0, 0, TCN_SELCHANGE};
  log_.Keep({WM_NOTIFY});
  log_.KeepCodes({TCN_SELCHANGING, TCN_SELCHANGE});
  auto tap = [&](int index) { TapTab(tab, index); };
  struct Case {
    std::function<void()> input;
    bool refuse;
    int selected;
    std::vector<MsgEntry> heard;
  };
  const Case cases[] = {
      {[&] { tap(2); }, false, 2, {asked, told}},
      {[&] { tap(0); }, true, 2, {asked}},
      {[&] { tap(0); }, false, 0, {asked, told}},  // soon after: a double tap
      {[&] { PressKey(VK_RIGHT); }, true, 0, {asked}},
      {[&] { PressKey(VK_RIGHT); }, false, 1, {asked, told}},
      {[&] { tap(1); }, false, 1, {}},  // the tab already chosen
      {[&] { SendMessageW(tab, TCM_SETCURSEL, 0, 0); }, true, 0, {}},  // the program's choice is not asked
      {[&] { SendMessageW(tab, TCM_DELETEITEM, 0, 0); }, false, -1, {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    refuse = cases[i].refuse;
    log_.Clear();
    cases[i].input();
    Pump();
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), cases[i].selected) << i;
    EXPECT_EQ(log_.Compare(tab, cases[i].heard), "") << i;
  }
  RECT r{0, 0, 480, 400};
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  RECT back = r;
  SendMessageW(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&back));
  EXPECT_TRUE(EqualRect(&back, std::array<RECT, 1>{RECT{0, 0, 480, 400}}.data()));
  EXPECT_GT(r.top, 0);
  DestroyWindow(parent);
}

}  // namespace
}  // namespace qv::test
