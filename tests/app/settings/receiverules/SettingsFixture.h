// Accounts made through the engine, the program's resources and a scripted
// owner frame for the settings sheets; message boxes come up, their texts
// are kept and they are acknowledged (questions get the fixture's answer).
#pragma once

#include <string>
#include <vector>

#include "app/foundation/MessageBoxes.h"
#include "platform/testing/Seams.h"
#include "platform/ui/MessageBoxSeam.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {

class SettingsTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    qv::msgbox_seam::SetHandler([this](const std::wstring& text, const std::wstring&) {
      boxes_.push_back(text);
      return answer_;
    });
    qv::msgbox_seam::SetAnswer(qv::msgbox_seam::kShowBox);
    qv::msgbox_seam::SetShownHandler([this](HWND box) {
      WCHAR text[1024] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      boxes_.push_back(text);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    owner_ = new ScriptFrame;  // deletes itself with its window
    ASSERT_TRUE(owner_->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
  }
  void TearDown() override {
    qv::msgbox_seam::Reset();
    Script().clear();
    if (owner_) owner_->DestroyWindow();
    owner_ = nullptr;
    MailOpsTest::TearDown();
  }

  static std::wstring Res(UINT id) { return LoadResString(id).GetString(); }
  static std::string BuildFile(const std::string& name) {
    const char* dir = std::getenv("QV_BINARY_DIR");
    return std::string(dir && *dir ? dir : ".") + "/" + name;
  }
  // Keeps the screen as a PNG in the build folder.
  static void Picture(const std::string& name) { EXPECT_TRUE(qv::seams::SaveScreenPng(BuildFile(name))); }
  static std::wstring ItemText(HWND dialog, int id) {
    WCHAR text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
  }
  // Account settings fields as stored.
  static QvAccountInfoInterface::Attributes Stored(const std::wstring& name) {
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kPeriodicRetrievingEnabled);
    a.Select(QvAccountInfoInterface::Attributes::kJunkaiJushinEnabled);
    a.Select(QvAccountInfoInterface::Attributes::kPopPasswdSavingEnabled);
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
    EXPECT_TRUE(info && info->GetAccountInfoAttributes(&a));
    return a;
  }

  ScriptFrame* owner_ = nullptr;
  std::vector<std::wstring> boxes_;
  int answer_ = IDYES;
};

}  // namespace qv::test
