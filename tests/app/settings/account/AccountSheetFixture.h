// Accounts made through the engine, the account screens run modally over a
// frame that takes the script's steps, and every box they show kept: its
// texts as shown, a question answered with `answer_`.
#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "app/mailops/AccountOperations.h"
#include "platform/kernel/Resource.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/ui/commctrl/Tab.h"
#include "platform/ui/dialog/PropertySheet.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {

class AccountSheetTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    qv::msgbox_seam::SetHandler([this](const std::wstring& text, const std::wstring&) {
      boxes_.push_back(text);
      return answer_;
    });
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
  }
  void TearDown() override {
    qv::msgbox_seam::Reset();
    if (owner_) owner_->DestroyWindow();
    MailOpsTest::TearDown();
  }

  // The sheet or dialog up now, and the page it shows.
  static HWND Sheet() { return GetActiveWindow(); }
  static HWND Page() { return reinterpret_cast<HWND>(SendMessageW(Sheet(), PSM_GETCURRENTPAGEHWND, 0, 0)); }
  static HWND Item(int id) { return GetDlgItem(Page(), id); }
  static void ShowPage(int index) { SendMessageW(Sheet(), PSM_SETCURSEL, static_cast<WPARAM>(index), 0); }
  // The soft keys, as the page's menu bar sends them.
  static void SoftKey(UINT id) { SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  static void Click(int id) { SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }
  static void Check(int id, bool on) {
    CheckDlgButton(Page(), id, on ? BST_CHECKED : BST_UNCHECKED);
    Click(id);
  }
  static std::wstring Text(int id) {
    WCHAR text[512] = {};
    GetWindowTextW(Item(id), text, 512);
    return text;
  }

  template <class F>
  auto Run(F body, std::vector<std::function<void()>> steps) {
    for (auto& s : steps) Script().push_back(std::move(s));
    auto r = body();
    Script().clear();
    return r;
  }

  // A resource string with `value` in its %s or %d.
  CString Message(UINT id, LPCWSTR value = nullptr, int number = -1) {
    CString text;
    WCHAR format[512] = {};
    LoadStringW(res_, id, format, 512);
    if (number >= 0) text.Format(format, number);
    else text.Format(format, value ? value : L"");
    return text;
  }
  bool Shown(const CString& text) const {
    return std::any_of(boxes_.begin(), boxes_.end(),
                       [&](const std::wstring& b) { return b.find(text.str()) != std::wstring::npos; });
  }

  // Every file of the account's folder with its bytes.
  std::map<std::string, std::string> Files(const std::wstring& name) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(AccountHost(name))) {
      if (!e.is_regular_file()) continue;
      std::ifstream in(e.path(), std::ios::binary);
      files[e.path().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
  }

  // A mail account as a person would have set it up, stored through the engine.
  QvAccountSettings Stored(const std::wstring& name) {
    QvAccountSettings s;
    EXPECT_TRUE(LoadAccountSettings(name, &s));
    return s;
  }
  void Prepare(const std::wstring& name) {
    if (!QvAccountInfoInterface::IsExistAccount(name, L"")) MakeAccount(name);
    QvAccountInfoInterface::Attributes a;
    a.strSenderName = L"山田 太郎";
    a.strSenderAddress = L"taro@example.jp";
    a.strPopServerName = L"pop.example.jp";
    a.strSmtpServerName = L"smtp.example.jp";
    a.strPopUserName = L"taro";
    a.strPopPasswd = L"pop-secret";
    a.bPopPasswdSavingEnabled = true;
    a.uiPopServerPort = 110;
    a.uiSmtpServerPort = 587;
    a.bSmtpSvrAuthEnabled = true;
    a.bPopBeforeSmtpEnabled = true;
    a.ulPopBeforeSmtpLatencySec = 3;
    a.bPartialRetrievingEnabled = true;
    a.uiPartialRetrievingLines = 20;
    a.bRemoveOldMessageEnabled = true;
    a.ulRemoveOldMessageCnt = 300;
    a.bUseSameUserPass = true;
    a.guidNetworkSetting = kInternet;
    a.iUseSignature = 1;
    for (uint32_t bit : {QvAccountInfoInterface::Attributes::kSenderName, QvAccountInfoInterface::Attributes::kSenderAddress,
                         QvAccountInfoInterface::Attributes::kPopServerName,
                         QvAccountInfoInterface::Attributes::kSmtpServerName,
                         QvAccountInfoInterface::Attributes::kPopUserName, QvAccountInfoInterface::Attributes::kPopPasswd,
                         QvAccountInfoInterface::Attributes::kPopPasswdSavingEnabled,
                         QvAccountInfoInterface::Attributes::kPopServerPort,
                         QvAccountInfoInterface::Attributes::kSmtpServerPort,
                         QvAccountInfoInterface::Attributes::kSmtpSvrAuthEnabled,
                         QvAccountInfoInterface::Attributes::kPopBeforeSmtpEnabled,
                         QvAccountInfoInterface::Attributes::kPopBeforeSmtpLatencySec,
                         QvAccountInfoInterface::Attributes::kPartialRetrievingEnabled,
                         QvAccountInfoInterface::Attributes::kPartialRetrievingLines,
                         QvAccountInfoInterface::Attributes::kRemoveOldMessageEnabled,
                         QvAccountInfoInterface::Attributes::kRemoveOldMessageCnt,
                         QvAccountInfoInterface::Attributes::kUseSameUserPass,
                         QvAccountInfoInterface::Attributes::kNetworkSetting,
                         QvAccountInfoInterface::Attributes::kUseSignatureIndex}) {
      a.Select(bit);
    }
    SetSettings(name, a);
  }

  static constexpr GUID kInternet = {0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
  std::vector<std::wstring> boxes_;
  int answer_ = IDYES;
  ScriptFrame* owner_ = nullptr;
};

}  // namespace qv::test
