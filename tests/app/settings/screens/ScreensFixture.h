// The settings screens' fixture: an account "仕事" made through the engine
// (three user folders below each box) and opened; a frame that owns the
// screens and takes the script's steps while they wait; every message box
// comes up, its texts are kept and it is closed.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "app/foundation/MessageBoxes.h"
#include "app/mailops/AccountOperations.h"
#include "platform/ui/MessageBoxSeam.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {

// A file in the build folder, where people look at the pictures.
inline std::string PngPath(const std::string& name) {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/" + name;
}

class ScreensTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    qv::msgbox_seam::SetAnswer(qv::msgbox_seam::kShowBox);
    qv::msgbox_seam::SetShownHandler([this](HWND box) {
      std::wstring texts;
      EnumChildWindows(
          box,
          [](HWND child, LPARAM all) {
            *reinterpret_cast<std::wstring*>(all) += qv::seams::ReadWindow(child).text + L"|";
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&texts));
      boxes_.push_back(texts);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    owner_ = new ScriptFrame;
    ASSERT_TRUE(owner_->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
    work_ = MakeAccount(L"仕事");
    ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
  }
  void TearDown() override {
    Script().clear();
    qv::msgbox_seam::Reset();
    if (owner_) owner_->DestroyWindow();
    MailOpsTest::TearDown();
  }
  // True when exactly one box came up and it showed the resource string.
  bool OneBoxSaid(UINT id) const {
    return boxes_.size() == 1 && boxes_[0].find(LoadResString(id).GetString()) != std::wstring::npos;
  }

  ScriptFrame* owner_ = nullptr;
  TestAccount work_;
  std::vector<std::wstring> boxes_;
};

}  // namespace qv::test
