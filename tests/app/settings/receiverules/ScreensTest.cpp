// Every page of these settings, portrait and landscape: each control lies
// whole within the page's width (a page scrolls up and down, never
// sideways), and its picture is kept in the build folder.
#include <functional>
#include <memory>

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/CurrentAccount.h"
#include "app/shell/receive/QvSetRegularRecvSheet.h"
#include "app/shell/rules/QvSetAccountClassifyPage.h"
#include "app/shell/rules/QvSetClassifyPage.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "tests/app/settings/receiverules/SettingsFixture.h"

namespace qv::test {
namespace {

class ScreensTest : public SettingsTest {
 protected:
  void TearDown() override {
    qv::ui::SetOrientation(qv::ui::Orientation::Portrait);
    SettingsTest::TearDown();
  }
  // Controls of `page` that stick out of its client area sideways.
  static std::vector<int> OutsideWidth(HWND page) {
    std::vector<int> outside;
    RECT client{};
    GetClientRect(page, &client);
    for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (!IsWindowVisible(c)) continue;
      RECT r{};
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
      if (r.left < client.left || r.right > client.right) outside.push_back(GetDlgCtrlID(c));
    }
    return outside;
  }
};

TEST_F(ScreensTest, EveryPageFitsTheScreenBothWays) {
  MakeAccount(L"仕事");
  MakeAccount(L"自宅");
  ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
  std::vector<QvClassificationRuleRow> rules = {{L"上司", L"From", L"boss@example.com", 0, 3}};
  const std::vector<std::wstring> names = {L"上司"};
  QvClassificationRuleRow rule{L"上司", L"件名", L"会議", 0, 1};
  struct Screen {
    const char* name;
    std::function<std::unique_ptr<CPropertySheet>()> make;
  } screens[] = {
      {"receivesettings", [&] { return std::make_unique<QvSetRegularRecvSheet>(owner_); }},
      {"targetfolder",
       [&] {
         auto sheet = std::make_unique<QvSinglePropertySheet>(L"", owner_);
         sheet->SetupPage(L"振り分け設定：仕事", new QvSetTargetFolderPage);
         return std::unique_ptr<CPropertySheet>(std::move(sheet));
       }},
      {"rulelist",
       [&] {
         auto sheet = std::make_unique<QvSinglePropertySheet>(L"", owner_);
         sheet->SetupPage(L"振り分け設定：仕事", new QvSetAccountClassifyPage(&rules, L"仕事"));
         return std::unique_ptr<CPropertySheet>(std::move(sheet));
       }},
      {"ruleeditor",
       [&] {
         auto sheet = std::make_unique<QvSinglePropertySheet>(L"", owner_);
         SetupClassifyPage(*sheet, &rule, &names);
         return std::unique_ptr<CPropertySheet>(std::move(sheet));
       }},
  };
  for (const auto orientation : {qv::ui::Orientation::Portrait, qv::ui::Orientation::Landscape}) {
    qv::ui::SetOrientation(orientation);
    const std::string turn = orientation == qv::ui::Orientation::Portrait ? "" : "-landscape";
    for (const Screen& s : screens) {
      SCOPED_TRACE(s.name + turn);
      std::unique_ptr<CPropertySheet> sheet = s.make();
      std::vector<int> outside{-2};
      Script() = {[&] {
        outside = OutsideWidth(sheet->GetActivePage()->m_hWnd);
        Picture("app-" + std::string(s.name) + turn + ".png");
        sheet->EndDialog(IDCANCEL);
      }};
      sheet->DoModal();
      EXPECT_TRUE(outside.empty()) << (outside.empty() ? 0 : outside.front());
    }
  }
}

}  // namespace
}  // namespace qv::test
