// The account sheet through its windows, over accounts made through the
// engine: every refusal with its message and the settings on disk
// untouched by it, what each field stores, the fields that take ASCII only
// whatever way text comes, the missing connection, and passwords.
#include "app/foundation/MessageBoxes.h"
#include "app/shell/account/NetworkDestinations.h"
#include "app/shell/account/QvSetAccountPropertySheet.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "platform/shell/ShellUi.h"
#include "tests/app/settings/account/AccountSheetFixture.h"

namespace qv::test {
namespace {

enum { kMain = 0, kDetail = 1, kAction = 2 };
using M = QvSetAccountMainPage;
using D = QvSetAccountDetailPage;
using A = QvSetAccountActionPage;

TEST_F(AccountSheetTest, BadInputAtEveryFieldIsRefusedAndTheSettingsOnDiskStay) {
  Prepare(L"acct");
  const std::map<std::string, std::string> before = Files(L"acct");
  const CString range65535 = L"1 から 65535 までの整数を入力してください。";
  struct Case {
    int page, control;
    std::wstring text;
    CString message;
  } cases[] = {
      {kMain, M::kSenderAddress, L"", Message(20046, L"メールアドレス")},
      {kMain, M::kPopServer, L"", Message(20046, L"サーバー 受信(POP3)")},
      {kMain, M::kSmtpServer, L"", Message(20046, L"サーバー 送信(SMTP)")},
      {kMain, M::kPopUser, L"", Message(20046, L"ユーザー名")},
      {kMain, M::kSenderAddress, L"ｔａｒｏ@example.jp", Message(20070, L"メールアドレス")},
      {kMain, M::kPopServer, L"pop.例え.jp", Message(20070, L"サーバー 受信(POP3)")},
      {kMain, M::kSmtpServer, L"smtp\x7f.example.jp", Message(20070, L"サーバー 送信(SMTP)")},
      {kMain, M::kPopUser, L"太郎", Message(20070, L"ユーザー名")},
      {kMain, M::kPopPassword, L"パスワード", Message(20070, L"パスワード")},
      {kMain, M::kPopServer, L"pop example.jp", Message(20391, L"サーバー 受信(POP3)")},
      {kMain, M::kSmtpServer, L"smtp.example.jp ", Message(20391, L"サーバー 送信(SMTP)")},
      {kMain, M::kSenderAddress, std::wstring(129, L'a'), L"128 文字以内で入力してください。"},
      {kMain, M::kPopServer, std::wstring(257, L'p'), L"256 文字以内で入力してください。"},
      {kDetail, D::kPopPort, L"0", range65535},
      {kDetail, D::kPopPort, L"70000", range65535},
      {kDetail, D::kSmtpPort, L"0", range65535},
      {kDetail, D::kSmtpPort, L"", L"0 以上の整数を入力してください。"},
      {kDetail, D::kLatency, L"61", L"0 から 60 までの整数を入力してください。"},
      {kAction, A::kPartialLines, L"0", L"1 から 600 までの整数を入力してください。"},
      {kAction, A::kPartialLines, L"601", L"1 から 600 までの整数を入力してください。"},
      {kAction, A::kRemoveOldCount, L"501", L"1 から 500 までの整数を入力してください。"},
      {kAction, A::kNetwork, L"", Message(20074)},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    HWND focus = nullptr, expected = nullptr;
    int shownPage = -1;
    const bool saved = Run([&] { return EditAccount(owner_, L"acct", true, 0); },
                           {[&] {
                              ShowPage(c.page);
                              if (c.control == A::kNetwork) SendMessageW(Item(c.control), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
                              else SetDlgItemTextW(Page(), c.control, c.text.c_str());
                              SoftKey(IDOK);
                            },
                            [&] {
                              focus = GetFocus();
                              expected = Item(c.control);
                              shownPage = static_cast<int>(SendMessageW(Sheet(), PSM_GETCURRENTPAGEHWND, 0, 0) != 0);
                              SoftKey(IDCANCEL);  // asks 20032 first: Yes drops the changes
                            }});
    const std::wstring label = std::to_wstring(c.control) + L" " + c.text.substr(0, 20);
    EXPECT_FALSE(saved) << label;
    EXPECT_TRUE(Shown(c.message)) << label << " " << (boxes_.empty() ? L"(none)" : boxes_.front());
    EXPECT_EQ(focus, expected) << label;
    EXPECT_EQ(shownPage, 1) << label;
    EXPECT_TRUE(Shown(Message(20032))) << label;
    EXPECT_TRUE(Files(L"acct") == before) << label;
  }
}

// What each field stores, read back from the engine, every other field kept.
TEST_F(AccountSheetTest, EveryFieldStoresWhatTheEngineReadsBack) {
  Prepare(L"acct");
  using S = QvAccountSettings;
  struct Case {
    int page, control;
    std::wstring text;  // empty: a check box, toggled
    std::function<void(S&)> expect;
  } cases[] = {
      {kMain, M::kSenderName, L"花子", [](S& s) { s.strSenderName = L"花子"; }},
      {kMain, M::kSenderAddress, L"hana@example.jp", [](S& s) { s.strSenderAddress = L"hana@example.jp"; }},
      {kMain, M::kPopServer, L"mail.example.jp", [](S& s) { s.strPopServerName = L"mail.example.jp"; }},
      {kMain, M::kSmtpServer, L"out.example.jp", [](S& s) { s.strSmtpServerName = L"out.example.jp"; }},
      {kMain, M::kPopUser, L"hana", [](S& s) { s.strPopUserName = L"hana"; }},
      {kMain, M::kPopPassword, L"p@ss w0rd", [](S& s) { s.strPopPasswd = L"p@ss w0rd"; }},
      {kMain, M::kUseSignature, L"", [](S& s) { s.bUseSignature = !s.bUseSignature; }},
      // Not saved: the password is dropped with the flag.
      {kMain, M::kSavePassword, L"", [](S& s) { s.bPopPasswdSavingEnabled = false, s.strPopPasswd.clear(); }},
      {kDetail, D::kPopPort, L"995", [](S& s) { s.uiPopServerPort = 995; }},
      {kDetail, D::kSmtpPort, L"65535", [](S& s) { s.uiSmtpServerPort = 65535; }},
      {kDetail, D::kApop, L"", [](S& s) { s.bAPOPEnabled = true; }},
      {kDetail, D::kSsl, L"", [](S& s) { s.bSSLEnabled = true; }},
      {kDetail, D::kLatency, L"60", [](S& s) { s.ulPopBeforeSmtpLatencySec = 60; }},
      {kDetail, D::kSmtpAuth, L"", [](S& s) { s.bSmtpAuthEnabled = true; }},
      {kDetail, D::kPopBeforeSmtp, L"", [](S& s) { s.bPopBeforeSmtpEnabled = false; }},
      {kAction, A::kLeaveOnServer, L"", [](S& s) { s.bMessageLeavingEnabled = true; }},
      {kAction, A::kPartialLines, L"600", [](S& s) { s.uiPartialRetrievingLines = 600; }},
      {kAction, A::kRemoveOldCount, L"1", [](S& s) { s.ulRemoveOldMessageCnt = 1; }},
      {kAction, A::kSendInAMinute, L"", [](S& s) { s.bSendMessageInAMinuteEnabled = !s.bSendMessageInAMinuteEnabled; }},
      // Disabled and emptied: the default count.
      {kAction, A::kPartial, L"", [](S& s) { s.bPartialRetrievingEnabled = false, s.uiPartialRetrievingLines = 10; }},
  };
  for (const Case& c : cases) {
    Prepare(L"acct");
    S expected = Stored(L"acct");
    c.expect(expected);
    const bool saved = Run([&] { return EditAccount(owner_, L"acct", true, 0); },
                           {[&] {
                              ShowPage(c.page);
                              if (!c.text.empty()) {
                                SetDlgItemTextW(Page(), c.control, c.text.c_str());
                              } else {
                                Check(c.control, IsDlgButtonChecked(Page(), c.control) != BST_CHECKED);
                                if (c.control == A::kPartial) SetDlgItemTextW(Page(), A::kPartialLines, L"");
                              }
                              SoftKey(IDOK);
                            }});
    EXPECT_TRUE(saved) << c.control;
    S stored = Stored(L"acct");
    expected.ClearMask();
    stored.ClearMask();
    EXPECT_EQ(stored.strSenderName, expected.strSenderName) << c.control;
    EXPECT_EQ(stored.strSenderAddress, expected.strSenderAddress) << c.control;
    EXPECT_EQ(stored.strPopServerName, expected.strPopServerName) << c.control;
    EXPECT_EQ(stored.strSmtpServerName, expected.strSmtpServerName) << c.control;
    EXPECT_EQ(stored.strPopUserName, expected.strPopUserName) << c.control;
    EXPECT_EQ(stored.strPopPasswd, expected.strPopPasswd) << c.control;
    EXPECT_EQ(stored.bPopPasswdSavingEnabled, expected.bPopPasswdSavingEnabled) << c.control;
    EXPECT_EQ(stored.bUseSignature, expected.bUseSignature) << c.control;
    EXPECT_EQ(stored.uiPopServerPort, expected.uiPopServerPort) << c.control;
    EXPECT_EQ(stored.uiSmtpServerPort, expected.uiSmtpServerPort) << c.control;
    EXPECT_EQ(stored.bAPOPEnabled, expected.bAPOPEnabled) << c.control;
    EXPECT_EQ(stored.bSSLEnabled, expected.bSSLEnabled) << c.control;
    EXPECT_EQ(stored.ulPopBeforeSmtpLatencySec, expected.ulPopBeforeSmtpLatencySec) << c.control;
    EXPECT_EQ(stored.bSmtpAuthEnabled, expected.bSmtpAuthEnabled) << c.control;
    EXPECT_EQ(stored.bPopBeforeSmtpEnabled, expected.bPopBeforeSmtpEnabled) << c.control;
    EXPECT_EQ(stored.bMessageLeavingEnabled, expected.bMessageLeavingEnabled) << c.control;
    EXPECT_EQ(stored.bPartialRetrievingEnabled, expected.bPartialRetrievingEnabled) << c.control;
    EXPECT_EQ(stored.uiPartialRetrievingLines, expected.uiPartialRetrievingLines) << c.control;
    EXPECT_EQ(stored.ulRemoveOldMessageCnt, expected.ulRemoveOldMessageCnt) << c.control;
    EXPECT_EQ(stored.bSendMessageInAMinuteEnabled, expected.bSendMessageInAMinuteEnabled) << c.control;
    EXPECT_EQ(stored.bUseSameUserPass, expected.bUseSameUserPass) << c.control;
    EXPECT_TRUE(SameGuid(stored.guidNetworkSetting, expected.guidNetworkSetting)) << c.control;
  }
}

// Typed, pasted or composed: what is not printable ASCII never stays in the
// field, and the warning names it; ASCII goes in as it comes.
TEST_F(AccountSheetTest, AsciiFieldsRefuseEverythingElseAtTheField) {
  Prepare(L"acct");
  struct Case {
    int control;
    std::function<void(HWND)> input;
    std::wstring after;
    bool refused;
  } cases[] = {
      {M::kSenderAddress, [](HWND f) { SendMessageW(f, WM_CHAR, L'x', 0); }, L"xtaro@example.jp", false},
      {M::kSenderAddress, [](HWND f) { SendMessageW(f, WM_CHAR, L'あ', 0); }, L"taro@example.jp", true},
      {M::kPopServer, [](HWND f) { SendMessageW(f, WM_CHAR, 0x3000, 0); }, L"pop.example.jp", true},
      {M::kPopPassword, [](HWND f) { SendMessageW(f, WM_CHAR, L'é', 0); }, L"pop-secret", true},
      {M::kPopUser, [](HWND f) { SendMessageW(f, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"ﾀﾛｳ")); }, L"taro", true},
      {M::kSmtpServer,
       [](HWND f) {
         OpenClipboard(nullptr);
         EmptyClipboard();
         static const std::wstring kPasted = L"smtp.例え.jp";
         SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(const_cast<wchar_t*>(kPasted.c_str())));
         CloseClipboard();
         SendMessageW(f, WM_PASTE, 0, 0);
       },
       L"smtp.example.jp", true},
      {M::kSmtpServer,
       [](HWND f) {
         OpenClipboard(nullptr);
         EmptyClipboard();
         static const std::wstring kPasted = L"out.example.jp";
         SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(const_cast<wchar_t*>(kPasted.c_str())));
         CloseClipboard();
         SendMessageW(f, WM_PASTE, 0, 0);
       },
       L"out.example.jp", false},
      // The name is no ASCII field: Japanese goes in.
      {M::kSenderName, [](HWND f) { SendMessageW(f, WM_CHAR, L'様', 0); }, L"様山田 太郎", false},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    std::wstring after;
    Run([&] { return EditAccount(owner_, L"acct", true, 0); },
        {[&] {
           HWND field = Item(c.control);
           SetFocus(field);
           SendMessageW(field, EM_SETSEL, 0, c.input && c.control == M::kSmtpServer ? -1 : 0);
           c.input(field);
           after = Text(c.control);
           answer_ = IDYES;
           SoftKey(IDCANCEL);
         }});
    EXPECT_EQ(after, c.after) << c.control;
    EXPECT_EQ(Shown(Message(20070, M::kSenderAddress == c.control ? L"メールアドレス"
                                   : M::kPopServer == c.control   ? L"サーバー 受信(POP3)"
                                   : M::kPopPassword == c.control ? L"パスワード"
                                   : M::kPopUser == c.control     ? L"ユーザー名"
                                                                  : L"サーバー 送信(SMTP)")),
              c.refused)
        << c.control;
  }
}

// A new account with no connection chosen: the sheet comes back on the
// connection page, which says so; the chosen one is stored.
TEST_F(AccountSheetTest, WithoutAConnectionTheSheetComesBackOnTheConnectionPage) {
  constexpr GUID kOther = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
  qv::seams::SetConnMgrDestinations({{L"インターネット", kInternet}, {L"社内", kOther}});
  int pageAfter = -1;
  HWND focus = nullptr, network = nullptr;
  const bool saved =
      Run([&] { return EditAccount(owner_, L"new", false, 0); },
          {[&] {
             SetDlgItemTextW(Page(), M::kSenderAddress, L"new@example.jp");
             SetDlgItemTextW(Page(), M::kPopServer, L"pop.example.jp");
             SetDlgItemTextW(Page(), M::kSmtpServer, L"smtp.example.jp");
             SetDlgItemTextW(Page(), M::kPopUser, L"new");
             SoftKey(IDOK);
           },
           [] {},  // the warning, posted by the page once it is up
           [&] {
             pageAfter = static_cast<int>(SendMessageW(reinterpret_cast<HWND>(SendMessageW(Sheet(), PSM_GETTABCONTROL, 0, 0)), TCM_GETCURSEL, 0, 0));
             focus = GetFocus();
             network = Item(A::kNetwork);
             SendMessageW(network, CB_SETCURSEL, 1, 0);
             SoftKey(IDOK);
           }});
  EXPECT_TRUE(saved);
  EXPECT_EQ(pageAfter, kAction);
  EXPECT_EQ(focus, network);
  EXPECT_TRUE(Shown(Message(20074)));
  const QvAccountSettings s = Stored(L"new");
  EXPECT_TRUE(SameGuid(s.guidNetworkSetting, kOther));
  // A new account's defaults.
  EXPECT_EQ(s.uiPopServerPort, 110u);
  EXPECT_EQ(s.uiSmtpServerPort, 25u);
  EXPECT_EQ(s.ulRemoveOldMessageCnt, 500u);
  EXPECT_TRUE(s.bSendMessageInAMinuteEnabled);
}

// A saved password reaches the disk only in the engine's scrambled form.
TEST_F(AccountSheetTest, APasswordIsNeverWrittenInClear) {
  Prepare(L"acct");
  const std::wstring secret = L"Clear-Pass-42";
  Run([&] { return EditAccount(owner_, L"acct", true, 0); },
      {[&] {
         SetDlgItemTextW(Page(), M::kPopPassword, secret.c_str());
         SoftKey(IDOK);
       }});
  EXPECT_EQ(Stored(L"acct").strPopPasswd, secret);
  std::string wide;
  for (wchar_t c : secret) wide += {static_cast<char>(c), '\0'};
  for (const auto& [path, bytes] : Files(L"acct")) {
    EXPECT_EQ(bytes.find("Clear-Pass-42"), std::string::npos) << path;
    EXPECT_EQ(bytes.find(wide), std::string::npos) << path;
  }
}

// The phone's input indicator and the input method while a field has the
// focus: ASCII fields show mode 6 and run without the input method, which
// comes back when they lose the focus; number fields show 7 and keep it.
TEST_F(AccountSheetTest, TheIndicatorAndTheInputMethodFollowTheFocusedField) {
  MakeDir(L"\\Windows");
  std::filesystem::copy_file(std::string(::getenv("QV_BINARY_DIR")) + "/outside/KxPhoneStatus/libKxPhoneStatus.so",
                             HostOf(L"\\Windows\\KxPhoneStatus.so"), std::filesystem::copy_options::overwrite_existing);
  Prepare(L"acct");
  struct Case {
    int page, control;
    unsigned indicator;  // the low four bits of item 22 while focused
    bool detached;
  } cases[] = {
      {kMain, M::kSenderAddress, 6, true}, {kMain, M::kPopServer, 6, true}, {kMain, M::kSmtpServer, 6, true},
      {kMain, M::kPopUser, 6, true},       {kMain, M::kPopPassword, 6, true}, {kDetail, D::kPopPort, 7, false},
      {kDetail, D::kSmtpPort, 7, false},   {kAction, A::kPartialLines, 7, false},
  };
  for (const Case& c : cases) {
    SetPhoneStatus(22, 0x50);
    unsigned indicator = 0;
    bool before = false, during = false, after = false;
    Run([&] { return EditAccount(owner_, L"acct", true, 0); },
        {[&] {
           ShowPage(c.page);
           HWND field = Item(c.control);
           // What the field is associated with, asked by swapping it back at once.
           auto associated = [field] {
             HIMC h = ImmAssociateContext(field, nullptr);
             ImmAssociateContext(field, h);
             return h != nullptr;
           };
           before = associated();
           SetFocus(field);
           indicator = GetPhoneStatus(22);
           during = associated();
           SetFocus(Sheet());
           after = associated();
           SoftKey(IDCANCEL);
         }});
    EXPECT_EQ(indicator, 0x50u | c.indicator) << c.control;
    EXPECT_TRUE(before) << c.control;
    EXPECT_EQ(during, !c.detached) << c.control;
    EXPECT_TRUE(after) << c.control;
  }
}

}  // namespace
}  // namespace qv::test
