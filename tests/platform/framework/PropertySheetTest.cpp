// CPropertySheet with CPropertyPage: pages read their controls back when
// left and a page whose values do not hold stays shown; OK applies every
// page made; pages join a sheet that is up.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using PropertySheets = FrameworkTest;

constexpr int kField = 10;

std::vector<DWORD> PageTemplate(const wchar_t* title) {
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
  t.box = {0, 0, 130, 100};
  t.caption = title;
  t.controls = {Control(kField, kEditClass, WS_TABSTOP, {4, 4, 120, 18})};
  return t.Build();
}

class LoggedPage : public CPropertyPage {
 public:
  LoggedPage(const std::vector<DWORD>& units, std::string name)
      : CPropertyPage(AsTemplate(units)), name_(std::move(name)) {}
  BOOL OnSetActive() override {
    Called(name_ + " OnSetActive");
    return CPropertyPage::OnSetActive();
  }
  BOOL OnKillActive() override {
    Called(name_ + " OnKillActive");
    return CPropertyPage::OnKillActive();
  }
  BOOL OnApply() override {
    Called(name_ + " OnApply");
    return CPropertyPage::OnApply();
  }
  void OnReset() override { Called(name_ + " OnReset"); }

 private:
  std::string name_;
};

class CountPage : public LoggedPage {
 public:
  using LoggedPage::LoggedPage;
  UINT count = 5;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kField, count);
    DDV_MinMaxUInt(dx, count, 1, 99);
  }
};

class NamePage : public LoggedPage {
 public:
  using LoggedPage::LoggedPage;
  CString name = L"太郎";
  void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, kField, name); }
};

TEST_F(PropertySheets, APageWhoseValuesDoNotHoldStaysShownAndOkAppliesEveryPage) {
  BoxApp app;
  auto* frame = new ScriptFrame;
  ASSERT_TRUE(frame->Create(nullptr, L"フレーム", WS_POPUP | WS_VISIBLE));
  app.m_pMainWnd = frame;
  auto countUnits = PageTemplate(L"受信間隔"), nameUnits = PageTemplate(L"名前"), moreUnits = PageTemplate(L"詳細");
  CountPage count(countUnits, "count");
  NamePage name(nameUnits, "name");
  LoggedPage more(moreUnits, "more");
  CPropertySheet sheet(L"設定");
  sheet.AddPage(&count);
  sheet.AddPage(&name);
  auto tapTab = [&](int index) { TapTab(sheet.GetTabControl(), index); };
  struct Seen {
    CPropertyPage* active;
    HWND focus;
  };
  std::vector<Seen> seen;
  auto look = [&] { seen.push_back({sheet.GetActivePage(), GetFocus()}); };
  Script() = {
      [&] { SetDlgItemTextW(count, kField, L"0"); },
      [&] { tapTab(1); },
      [&] {
        look();
        SetDlgItemTextW(count, kField, L"7");
        tapTab(1);
      },
      [&] {
        look();
        sheet.AddPage(&more);
        SetDlgItemTextW(name, kField, L"花子");
      },
      [&] {
        EXPECT_EQ(SendMessageW(sheet.GetTabControl(), TCM_GETITEMCOUNT, 0, 0), 3);
        EXPECT_EQ(more.m_hWnd, nullptr);  // not shown yet, so not made
        sheet.PressButton(PSBTN_OK);
      },
  };
  EXPECT_EQ(sheet.DoModal(), IDOK);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].active, &count);
  EXPECT_EQ(seen[1].active, &name);
  EXPECT_NE(seen[0].focus, nullptr);
  EXPECT_EQ(app.boxes, std::vector<std::wstring>{L"1 から 99 までの整数を入力してください。"});
  EXPECT_EQ(Calls(), (std::vector<std::string>{"count OnSetActive", "count OnKillActive", "count OnKillActive",
                                               "name OnSetActive", "name OnKillActive", "count OnApply",
                                               "name OnApply"}));
  EXPECT_EQ(count.count, 7u);
  EXPECT_EQ(name.name, CString(L"花子"));
  EXPECT_EQ(sheet.m_hWnd, nullptr);
  EXPECT_TRUE(IsWindowEnabled(frame->m_hWnd));
  app.m_pMainWnd = nullptr;
  frame->DestroyWindow();
}

}  // namespace
}  // namespace qv::test
