// The program's message boxes over the real system box: captions, pictures,
// buttons and answers of the box family; the engine-error table row by row
// with the program's resource library; the boxes kept back while a close
// is pending; the close request and the closing of the process's dialogs.
#include <algorithm>

#include "app/foundation/CertificateQuestion.h"
#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "platform/gdi/Surface.h"
#include "platform/kernel/Resource.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"
#include "platform/ui/window/Screen.h"
#include "engine/public/foundation/QvPlatformHooks.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/support/TestCerts.h"

namespace qv::test {
namespace {

// What a shown system box held when it came up.
struct Shown {
  std::wstring caption, text;
  std::vector<int> buttons;
  int focused = 0;
  COLORREF picture = 0;  // inside the picture's disc, left of its sign
};

constexpr COLORREF kStop = RGB(200, 30, 30), kQuestion = RGB(40, 140, 70), kWarning = RGB(240, 190, 0),
                   kInformation = RGB(30, 90, 200);

class BoxTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    res_ = LoadProgramResources();
    ASSERT_NE(res_, nullptr);
    ClosePendingFlag = CloseRequestSeenFlag = false;
    DetailStringId = 0;
    owner_ = Make(WS_POPUP | WS_VISIBLE);
    main_ = Make(WS_POPUP, nullptr, {0, 0, 480, 800}, 0, kMainWindowTitle);
    frame_.Attach(main_);
    MainFrameWindow = &frame_;
    CurrentHandler() = [this](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
      if (m == kSystemBoxMessage && h == owner_) boxSignals_.push_back(static_cast<int>(w));
      if (m != WM_CLOSE || h != main_) return std::nullopt;
      ++mainCloses_;
      return 0;  // the test's main window stays
    };
    ShowBoxes(VK_RETURN);
  }
  void TearDown() override {
    MainFrameWindow = nullptr;
    frame_.Detach();
    SetSystemFolderItemLookup(nullptr);
    AfxSetResourceHandle(nullptr);
    if (res_) FreeLibrary(res_);
    FrameworkTest::TearDown();
  }

  // Boxes come up for real; each is recorded and answered with `key`.
  void ShowBoxes(BYTE key) {
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetMessageBoxShownHandler([this, key](HWND box) {
      Shown s;
      WCHAR text[512];
      GetWindowTextW(box, text, 512);
      s.caption = text;
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      s.text = text;
      for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        if (GetDlgItem(box, id)) s.buttons.push_back(id);
      }
      s.focused = GetDlgCtrlID(GetFocus());
      POINT disc{24, 48};
      ClientToScreen(box, &disc);
      s.picture = qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(disc.y)[disc.x]);
      shown_.push_back(s);
      PressKey(key);
    });
  }
  std::wstring Res(UINT id, const std::wstring& value = L"") const {
    WCHAR text[512];
    std::wstring s = LoadStringW(res_, id, text, 512) > 0 ? text : L"";
    if (const size_t at = s.find(L"%s"); at != std::wstring::npos) s.replace(at, 2, value);
    return s;
  }
  static DWORD DetailCode() {
    HKEY key = nullptr;
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", 0, KEY_READ, &key);
    RegQueryValueExW(key, L"DetailCode", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
  }

  HMODULE res_ = nullptr;
  HWND owner_ = nullptr, main_ = nullptr;
  CWnd frame_;
  std::vector<Shown> shown_;
  std::vector<int> boxSignals_;
  int mainCloses_ = 0;
};

TEST_F(BoxTest, TheFamilyShowsItsCaptionsPicturesAndButtonsAndAnswers) {
  const std::wstring ask = L"受信したメールを削除しますか？";
  struct Case {
    std::function<int()> show;
    BYTE key;
    const wchar_t* caption;
    std::wstring text;
    std::vector<int> buttons;
    int focused;
    COLORREF picture;
    int answer;
  } cases[] = {
      {[&] { return int{ShowConfirmBox(owner_, ask.c_str(), true)}; }, VK_RETURN, L"確認", ask, {IDYES, IDNO}, IDYES,
       kQuestion, 1},
      {[&] { return int{ShowConfirmBoxRes(owner_, 20090, false)}; }, VK_RETURN, L"確認", Res(20090), {IDYES, IDNO},
       IDNO, kQuestion, 0},
      {[&] { return ShowConfirmCancelBoxRes(owner_, 20093, false); }, VK_ESCAPE, L"確認", Res(20093),
       {IDCANCEL, IDYES, IDNO}, IDNO, kQuestion, IDCANCEL},
      {[&] { return ShowNoticeBox(owner_, L"送信しました。"); }, VK_RETURN, L"お知らせ", L"送信しました。", {IDOK},
       IDOK, kInformation, IDOK},
      {[&] { return ShowWarningBox(owner_, ask.c_str()); }, VK_ESCAPE, L"警告", ask, {IDOK}, IDOK, kWarning, IDOK},
      {[&] { return ShowErrorBox(owner_, ask.c_str()); }, VK_RETURN, L"エラー", ask, {IDOK}, IDOK, kStop, IDOK},
      {[&] { ShowWarningBoxRes(owner_, 20091); return 0; }, VK_RETURN, L"警告", Res(20091), {IDOK}, IDOK, kWarning, 0},
      // A missing string gives an empty box, still shown.
      {[&] { ShowNoticeBoxRes(owner_, 19999); return 0; }, VK_RETURN, L"お知らせ", L"", {IDOK}, IDOK, kInformation, 0},
      {[&] { ShowSystemErrorBox(owner_, 20114, ERROR_FILE_NOT_FOUND); return 0; }, VK_RETURN, L"エラー",
       Res(20114, L"指定されたファイルが見つかりません。"), {IDOK}, IDOK, kStop, 0},
  };
  for (const Case& c : cases) {
    shown_.clear();
    boxSignals_.clear();
    ShowBoxes(c.key);
    EXPECT_EQ(c.show(), c.answer) << c.caption;
    ASSERT_EQ(shown_.size(), 1u) << c.caption;
    EXPECT_EQ(shown_[0].caption, c.caption);
    EXPECT_EQ(shown_[0].text, c.text);
    EXPECT_EQ(shown_[0].buttons, c.buttons) << c.caption;
    EXPECT_EQ(shown_[0].focused, c.focused) << c.caption;
    EXPECT_EQ(shown_[0].picture, c.picture) << c.caption;
    EXPECT_EQ(boxSignals_, (std::vector<int>{1, 0})) << c.caption << ": the owner hears of the box";
  }
  // The system's text loses its line end only; one that does not fit is none.
  for (auto [size, text] : {std::pair{19, L"指定されたファイルが見つかりません。"}, {18, L""}}) {
    WCHAR buffer[32] = L"#";
    GetSystemErrorText(buffer, size, ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(buffer, text);
  }
  // Texts of other shapes: only a final CR LF pair is a line end.
  constexpr DWORD kCode = 0x2A2A;
  const std::pair<const wchar_t*, const wchar_t*> shapes[] = {
      {L"改行のない文", L"改行のない文"}, {L"x", L"x"},          {L"ab", L"ab"},
      {L"行\n", L"行\n"},                {L"行\r", L"行\r"},    {L"\r\n", L""},
      {L"一\r\n二\r\n", L"一\r\n二"},  {L"\n\r", L"\n\r"},
  };
  for (const auto& [given, kept] : shapes) {
    qv::seams::SetSystemErrorText(kCode, given);
    WCHAR buffer[32] = L"#";
    GetSystemErrorText(buffer, 32, kCode);
    EXPECT_STREQ(buffer, kept);
  }
  qv::seams::SetSystemErrorText(kCode, L"12345");
  WCHAR exact[6] = L"#";
  GetSystemErrorText(exact, 6, kCode);  // five characters and the zero fit
  EXPECT_STREQ(exact, L"12345");
  GetSystemErrorText(exact, 5, kCode);
  EXPECT_STREQ(exact, L"");
}

// Every row, at both ends of its range, shows its own string (filled where
// it takes a value) and answers its close flag; the main window is asked
// to close for a flagged row, except for the page's own 0x5F00.
TEST_F(BoxTest, EveryRowOfTheErrorTableReachesItsStringAndCloseFlag) {
  SetSystemFolderItemLookup([](int kind, QvSystemFolderItem* out) {
    out->displayName = kind == 3 ? L"送信トレイ" : L"?";
    return true;
  });
  const std::wstring argument = L"550 mailbox unavailable";
  ASSERT_EQ(QvMiddleErrorRowCount, 62u);
  for (size_t i = 0; i < QvMiddleErrorRowCount; ++i) {
    const QvMiddleErrorRow& row = QvMiddleErrorTable[i];
    const std::wstring fill = row.stringId == 20107 ? L"送信トレイ" : row.stringId == 20134 ? Res(20128) : argument;
    for (uint32_t code : {row.first, row.last}) {
      shown_.clear();
      mainCloses_ = 0;
      DetailStringId = 20128;
      EXPECT_EQ(ShowQvMiddleError(code, owner_, argument.c_str()), static_cast<int>(row.close)) << i;
      Pump();
      ASSERT_EQ(shown_.size(), 1u) << "row " << i;
      EXPECT_NE(Res(row.stringId), L"") << "row " << i << ": string " << row.stringId << " is in the library";
      EXPECT_EQ(shown_[0].text, Res(row.stringId, fill)) << "row " << i;
      EXPECT_EQ(shown_[0].caption, row.stringId == 20126 ? L"お知らせ" : L"エラー") << "row " << i;
      EXPECT_EQ(mainCloses_, row.close && code != 0x5F00 ? 1 : 0) << "row " << i;
      EXPECT_EQ(DetailCode(), code) << "row " << i;
      EXPECT_EQ(DetailStringId.load(), row.stringId == 20134 ? 0u : 20128u) << "row " << i;
    }
  }
}

TEST_F(BoxTest, CodesOutsideTheRowsTheProgramsOwnAndAPendingClose) {
  struct Case {
    uint32_t code;
    bool pending;
    int close;
    UINT shows;  // 0: nothing
    int mainCloses;
  } cases[] = {
      {0x200008B, false, 0, 0, 0},     {0x2000000, false, 0, 0, 0},     {0x2000700, false, 0, 0, 0},
      {0x5F00, false, 1, 20176, 0},    {0x5FFF, false, 1, 20089, 1},    {0x5010, false, 1, 20091, 1},
      {0x2004003, false, 0, 20240, 0}, {0x2004107, false, 0, 20241, 0}, {0x2000802, false, 0, 20242, 0},
      {0x0, false, 0, 20243, 0},       {20503, false, 0, 20244, 0},     {20502, false, 1, 20091, 1},
      {0x2002111, false, 0, 20114, 0},  // no argument: (LPCWSTR)-1
      {0x2002110, false, 0, 0, 0},                                       // no send box name to give
      {0x2000050, true, 1, 0, 1},      {0x2002001, true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    shown_.clear();
    mainCloses_ = 0;
    ClosePendingFlag = c.pending;
    EXPECT_EQ(ShowQvMiddleError(c.code, owner_, reinterpret_cast<LPCWSTR>(-1)), c.close) << std::hex << c.code;
    Pump();
    EXPECT_EQ(DetailCode(), c.code) << std::hex << c.code;
    EXPECT_EQ(mainCloses_, c.mainCloses) << std::hex << c.code;
    ASSERT_EQ(shown_.size(), c.shows ? 1u : 0u) << std::hex << c.code;
    EXPECT_TRUE(!c.shows || shown_[0].text == Res(c.shows)) << std::hex << c.code;
  }
}

TEST_F(BoxTest, TheCloseRequestIsPostedSeenAndForwarded) {
  EXPECT_FALSE(IsCloseRequestMessage(0x631) || CloseRequestSeenFlag);
  EXPECT_TRUE(IsCloseRequestMessage(0x632) && CloseRequestSeenFlag);
  Pump();
  log_.Ignore({WM_PAINT, WM_ERASEBKGND});
  log_.Clear();
  PostCloseRequest();
  ClosePendingFlag = true;
  ForwardPendingClose();
  EXPECT_FALSE(ClosePendingFlag);
  MainFrameWindow = nullptr;
  PostCloseRequest();  // no main window: nothing
  Pump();
  const unsigned exact = seq::posted | seq::wparam | seq::lparam;
  EXPECT_EQ(log_.Compare(main_, {{0x632, exact, 0, 0}, {0x632, exact, 0, 0}}), "");
}

TEST_F(BoxTest, ClosingTheProcesssDialogsSparesTheMainWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TestProc;
  wc.lpszClassName = L"MSContactChooser";
  RegisterClassW(&wc);
  auto units = Units({});
  std::vector<HWND> dialogs;
  for (const wchar_t* title : {L"受信設定", L"連絡先", kMainWindowTitle}) {
    dialogs.push_back(CreateDialogIndirectParamW(nullptr, AsTemplate(units), nullptr, TestDlgProc, 0));
    SetWindowTextW(dialogs.back(), title);
  }
  HWND chooser = CreateWindowExW(0, L"MSContactChooser", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
  LPARAM contactsOk = 0;
  CurrentDlgHandler() = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<INT_PTR> {
    if (m == WM_COMMAND && h == dialogs[1] && w == IDOK) contactsOk = l;
    return std::nullopt;
  };
  log_.Clear();
  CloseForeignDialogs();
  Pump();
  auto got = [&](HWND h, UINT m) {
    const std::vector<UINT> seen = log_.MessagesOf(h);
    return std::count(seen.begin(), seen.end(), m);
  };
  EXPECT_EQ(got(dialogs[0], WM_CLOSE), 1);
  EXPECT_EQ(got(dialogs[1], WM_CLOSE), 0);
  EXPECT_EQ(contactsOk, reinterpret_cast<LPARAM>(dialogs[1]));  // its own handle as the control
  EXPECT_EQ(got(dialogs[2], WM_CLOSE) + got(dialogs[2], WM_COMMAND) + got(main_, WM_CLOSE), 0);
  EXPECT_FALSE(IsWindow(chooser));  // WM_CLOSE sent: gone at once
  for (HWND d : dialogs) DestroyWindow(d);
}

// The windows that take a close over (the progress window, the message
// sheet) are asked first and store their work before they end; only the
// others are closed outright.
TEST_F(BoxTest, ClosingTheProcesssDialogsLetsTheOnesThatTakeTheCloseOverFinish) {
  auto units = Units({});
  struct Case {
    const wchar_t* title;
    LRESULT answer;  // to the close request
    int closes;      // WM_CLOSE it then gets
  };
  const Case cases[] = {
      {L"送受信中", kCloseTakenOver, 0},  // stores, then ends itself
      {L"メール作成", kCloseTakenOver, 0},
      {L"受信設定", 0, 1},                // knows nothing of the request
  };
  std::vector<HWND> dialogs;
  for (const Case& c : cases) {
    dialogs.push_back(CreateDialogIndirectParamW(nullptr, AsTemplate(units), nullptr, TestDlgProc, 0));
    SetWindowTextW(dialogs.back(), c.title);
  }
  std::vector<HWND> stored;
  CurrentDlgHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
    if (m != kCloseRequestMessage) return std::nullopt;
    const size_t i = std::find(dialogs.begin(), dialogs.end(), h) - dialogs.begin();
    if (i >= dialogs.size() || cases[i].answer != kCloseTakenOver) return std::nullopt;
    stored.push_back(h);
    SetWindowLongW(h, DWLP_MSGRESULT, kCloseTakenOver);
    return TRUE;
  };
  log_.Clear();
  CloseForeignDialogs();
  Pump();
  for (size_t i = 0; i < dialogs.size(); ++i) {
    SCOPED_TRACE(i);
    const std::vector<UINT> seen = log_.MessagesOf(dialogs[i]);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), kCloseRequestMessage), 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_CLOSE), cases[i].closes);
  }
  std::sort(stored.begin(), stored.end());
  std::vector<HWND> takers = {dialogs[0], dialogs[1]};
  std::sort(takers.begin(), takers.end());
  EXPECT_EQ(stored, takers);
  for (HWND d : dialogs) DestroyWindow(d);
}

TEST_F(BoxTest, TheEnginesCertificateQuestionIsTheProgramsYesNoBox) {
  CertRequest request("CN=pop.example.com");
  request.dnsNames = {"pop.example.com"};
  TestCert self = MakeCertificate(request);
  struct Blob {
    ULONG cbSize;
    BYTE* pBlobData;
  } blob{static_cast<ULONG>(self.der.size()), self.der.data()};
  std::vector<std::wstring> asked;
  int answer = IDNO;
  qv::seams::SetQuestionHandler([&](const std::wstring& text, const std::wstring& caption) {
    asked.push_back(text + L"|" + caption);
    return answer;
  });
  auto check = [&] { return certificateValidationCallback(1, const_cast<char*>("pop.example.com"), 1, &blob, 1); };
  SetCertificateQuestion(nullptr);
  EXPECT_EQ(check(), 10u) << "nobody to ask: no";
  EXPECT_TRUE(asked.empty()) << "the engine shows no box of its own";
  InstallCertificateQuestion();
  EXPECT_EQ(check(), 10u);
  answer = IDYES;
  EXPECT_EQ(check(), 0u);
  EXPECT_EQ(asked, (std::vector<std::wstring>(2, L"サーバー証明書が無効です。続行しますか?|確認")));
  SetCertificateQuestion(nullptr);
}

}  // namespace
}  // namespace qv::test
