// Every account screen drawn in portrait and landscape into PNGs beside the
// build, with its controls checked: each whole inside the page's width and
// none over another.
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/CurrentAccount.h"
#include "app/shell/account/QvSetAccountEditNamePage.h"
#include "app/shell/account/QvSetAccountMenuPage.h"
#include "app/shell/account/QvSetAccountPropertySheet.h"
#include "app/shell/account/QvSetAccountSendServerPage.h"
#include "app/shell/account/QvSetAccountSignPage.h"
#include "tests/app/settings/account/AccountSheetFixture.h"

namespace qv::test {
namespace {

std::string PngPath(const std::string& name) {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/" + name + ".png";
}

class AccountScreensTest : public AccountSheetTest {
 protected:
  // The page's controls that reach past its right edge or lie over another.
  static std::vector<std::string> Faults() {
    std::vector<std::string> faults;
    HWND page = Page();
    RECT client{};
    GetClientRect(page, &client);
    std::vector<std::pair<int, RECT>> shown;
    for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (!IsWindowVisible(c)) continue;
      RECT r{};
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
      const int id = GetDlgCtrlID(c);
      if (r.left < 0 || r.right > client.right) faults.push_back("outside " + std::to_string(id));
      for (const auto& [other, o] : shown) {
        RECT both{};
        if (IntersectRect(&both, &r, &o)) faults.push_back("over " + std::to_string(id) + "/" + std::to_string(other));
      }
      shown.emplace_back(id, r);
    }
    return faults;
  }
  // Both orientations of the page shown now.
  void Snap(const std::string& name) {
    for (bool landscape : {false, true}) {
      qv::seams::SetLandscape(landscape);
      // The turn is told by messages: every window lays itself out and paints.
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
      UpdateWindow(Sheet());
      const std::string file = name + (landscape ? "-landscape" : "-portrait");
      EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath(file)));
      EXPECT_EQ(Faults(), std::vector<std::string>{}) << file;
    }
    qv::seams::SetLandscape(false);
  }
  INT_PTR Single(CPropertyPage& page, const wchar_t* caption, const std::string& name) {
    QvSinglePropertySheet sheet(caption, owner_);
    sheet.AddPage(&page);
    return Run([&] { return sheet.DoModal(); }, {[&, name] { Snap(name); }});
  }
};

TEST_F(AccountScreensTest, EveryScreenInBothOrientations) {
  for (const wchar_t* name : {L"会社", L"自宅", L"携帯"}) Prepare(name);
  ASSERT_TRUE(OpenCurrentAccount(L"自宅"));
  QvSetAccountMenuPage menu;
  Single(menu, L"アカウント一覧", "account-menu");
  QvSetAccountEditNamePage name(QvSetAccountEditNamePage::kNew, {});
  Single(name, L"アカウント名入力", "account-name");
  QvSetAccountSendServerPage server;
  server.user = L"smtp-user";
  Single(server, L"送信サーバー設定：会社", "account-send-server");
  QvSetAccountSignPage sign;
  sign.signatures = {L"山田 太郎\r\ntaro@example.jp", L"--\r\n会社の署名"};
  Single(sign, L"署名：会社", "account-signature");
  std::vector<std::function<void()>> steps;
  for (int page = 0; page < 3; ++page) {
    steps.push_back([this, page] {
      ShowPage(page);
      if (page == QvSetAccountPropertySheet::kDetailPage) Check(QvSetAccountDetailPage::kSendAuth, true);
      Snap("account-sheet-" + std::to_string(page));
    });
  }
  answer_ = IDYES;
  Run([&] { return EditAccount(owner_, L"会社", true, 0); }, steps);
}

}  // namespace
}  // namespace qv::test
