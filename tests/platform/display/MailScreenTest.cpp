// A screen built as the mail program's are, driven through the desktop
// display as a person would: a full-screen dialog (SHInitDialog) with a tab
// control, a folder tree, a three-column list of 20 Japanese mails, a text
// field, two buttons and the soft-key bar. After every step the X server
// shows the screen as drawn, and the screen is what repainting every window
// from scratch draws: no ghost rows after key scrolling, no composition
// cut at the field's edge, nothing left of a worker's message box answered
// while the UI thread waited, nothing misplaced after the screen turns. The
// screens are kept as mailscreen-*.png in the build folder.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/imaging/Imaging.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/commctrl/CommCtrlTree.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/display/DisplayTest.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace {

using qv::test::CurrentDlgHandler;
using qv::test::DisplayTest;
using qv::test::XPicture;

enum : int { kTabs = 10, kFolders = 11, kMails = 12, kField = 13, kSend = 14, kDelete = 15 };
constexpr int kMailCount = 20;
const wchar_t* const kBoxCaption = L"受信の確認";

struct Mail {
  const wchar_t* from;
  const wchar_t* subject;
  const wchar_t* date;
};
constexpr Mail kMailList[] = {
    {L"山田太郎", L"明日の打ち合わせについて", L"12/09 09:12"}, {L"佐藤花子", L"資料を送ります", L"12/09 08:55"},
    {L"鈴木一郎", L"【至急】見積書の確認", L"12/08 19:40"},     {L"高橋美咲", L"忘年会のお知らせ", L"12/08 17:03"},
    {L"田中健", L"Re: 出張の件", L"12/08 15:21"},               {L"伊藤さくら", L"写真を共有しました", L"12/08 12:47"},
    {L"渡辺誠", L"会議室の予約", L"12/08 10:30"},               {L"中村優子", L"お問い合わせありがとうございます", L"12/07 22:18"},
    {L"小林大輔", L"週報（第49週）", L"12/07 18:00"},           {L"加藤明美", L"Fw: 新製品の案内", L"12/07 14:09"},
    {L"吉田翔", L"ご請求書の送付", L"12/07 11:52"},             {L"山本真由美", L"年末年始の営業日", L"12/06 20:35"},
    {L"松本拓也", L"Re: Re: 日程調整", L"12/06 16:44"},         {L"井上恵", L"お誕生日おめでとう", L"12/06 09:00"},
    {L"木村修", L"サーバー保守のお知らせ", L"12/05 23:10"},     {L"林さやか", L"レシピを送ります", L"12/05 19:27"},
    {L"清水浩", L"契約書の件", L"12/05 13:15"},                 {L"山口愛", L"旅行の計画", L"12/04 21:48"},
    {L"森田隆", L"議事録", L"12/04 17:30"},                     {L"池田奈々", L"ありがとうございました", L"12/04 08:05"},
};
static_assert(sizeof kMailList / sizeof kMailList[0] == kMailCount);

std::vector<DWORD> ScreenPixels() {
  const auto surface = qv::ui::ScreenSurface();
  std::vector<DWORD> out;
  out.reserve(static_cast<size_t>(surface->Width()) * surface->Height());
  for (int y = 0; y < surface->Height(); ++y) {
    for (int x = 0; x < surface->Width(); ++x) out.push_back(surface->Row(y)[x] & 0xFFFFFFu);
  }
  return out;
}

// Where two pictures of the same size differ: the count and the first place.
std::string Differences(const std::vector<DWORD>& a, const std::vector<DWORD>& b, int width) {
  if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  size_t count = 0;
  size_t first = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (count++ == 0) first = i;
  }
  if (count == 0) return "";
  return std::to_string(count) + " pixels, the first at (" + std::to_string(first % width) + ", " +
         std::to_string(first / width) + ")";
}

void SavePng(const XPicture& picture, const std::string& path) {
  std::vector<DWORD> pixels = picture.pixels;
  BitmapData data{static_cast<UINT>(picture.width), static_cast<UINT>(picture.height), picture.width * 4,
                  PixelFormat32bppRGB, pixels.data(), 0};
  std::vector<BYTE> png;
  qv::EncodePng(data, &png);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

class MailScreen : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (IsSkipped()) return;
    const char* bin = std::getenv("QV_BINARY_DIR");
    ASSERT_NE(bin, nullptr);
    ::setenv("QVMAIL_LIBRARY_PATH", (std::string(bin) + "/tests").c_str(), 1);
    res_ = LoadLibraryW(L"QvResSample.dll");
    ASSERT_NE(res_, nullptr);
    LOGFONTW lf{};
    lf.lfHeight = -24;
    lf.lfCharSet = 1;
    wcscpy(lf.lfFaceName, L"ＭＳ Ｐゴシック");
    font_ = CreateFontIndirectW(&lf);
    CurrentDlgHandler() = [this](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
      if (m == WM_INITDIALOG) {
        dialog_ = h;
        SetUpDialog();
        return TRUE;
      }
      if (m == WM_SIZE && h == dialog_) {
        LayOut();
        return TRUE;
      }
      return std::nullopt;
    };
    qv::ui::DialogTemplate t;
    t.style = WS_POPUP | DS_SETFONT | WS_VISIBLE;
    t.box = {0, 0, 160, 200};
    t.caption = L"受信ボックス";
    t.controls = {
        qv::test::Control(kTabs, WC_TABCONTROLW, WS_TABSTOP),
        qv::test::Control(kFolders, WC_TREEVIEW, WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT),
        qv::test::Control(kMails, WC_LISTVIEW, WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
        qv::test::Control(kField, WC_EDIT, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL),
        qv::test::Control(kSend, WC_BUTTON, WS_TABSTOP | BS_PUSHBUTTON, {4, 4, 64, 18}, L"送信"),
        qv::test::Control(kDelete, WC_BUTTON, WS_TABSTOP | BS_PUSHBUTTON, {4, 4, 64, 18}, L"削除"),
    };
    units_ = t.Build();
    ASSERT_NE(CreateDialogIndirectParamW(nullptr, qv::test::AsTemplate(units_), nullptr, qv::test::TestDlgProc, 0), nullptr);
    ASSERT_NE(dialog_, nullptr);
    SetForegroundWindow(dialog_);
    Pump();
  }
  void TearDown() override {
    if (!IsSkipped()) {
      qv::ui::SetOrientation(qv::ui::Orientation::Portrait);
      if (dialog_) DestroyWindow(dialog_);
      Pump();
    }
    CurrentDlgHandler() = nullptr;
    if (res_) FreeLibrary(res_);
    if (font_) DeleteObject(font_);
    DisplayTest::TearDown();
  }

  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  void SetUpDialog() {
    SHINITDLGINFO init{SHIDIM_FLAGS, dialog_, SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&init));
    SHMENUBARINFO info{sizeof info, dialog_, SHCMBF_HMENU, 140, res_, 0, 0, nullptr, 0};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    bar_ = info.hwndMB;
    for (int id : {kTabs, kFolders, kMails, kField, kSend, kDelete}) {
      SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    for (const wchar_t* name : {L"受信", L"送信", L"設定"}) {
      TCITEMW tab{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(name), 0, -1, 0};
      SendMessageW(Item(kTabs), TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&tab));
    }
    auto folder = [&](const wchar_t* name, HTREEITEM under) {
      TVINSERTSTRUCTW in{under, TVI_LAST, {TVIF_TEXT, nullptr, 0, 0, const_cast<LPWSTR>(name), 0, 0, 0, 0, 0}};
      return reinterpret_cast<HTREEITEM>(SendMessageW(Item(kFolders), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
    };
    HTREEITEM inbox = folder(L"受信ボックス", TVI_ROOT);
    folder(L"仕事", inbox);
    folder(L"家族", inbox);
    for (const wchar_t* name : {L"送信ボックス", L"下書き", L"送信済み", L"ごみ箱"}) folder(name, TVI_ROOT);
    SendMessageW(Item(kFolders), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(inbox));
    SendMessageW(Item(kFolders), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(inbox));
    HWND mails = Item(kMails);
    SendMessageW(mails, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    const std::pair<const wchar_t*, int> columns[] = {{L"差出人", 110}, {L"件名", 170}, {L"日時", 110}};
    for (int c = 0; c < 3; ++c) {
      LVCOLUMNW col{LVCF_TEXT | LVCF_WIDTH, 0, columns[c].second, const_cast<LPWSTR>(columns[c].first), 0, 0, 0, 0};
      SendMessageW(mails, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
    }
    for (int i = 0; i < kMailCount; ++i) {
      const Mail& m = kMailList[i];
      LVITEMW item{LVIF_TEXT, i, 0, 0, 0, const_cast<LPWSTR>(m.from), 0, 0, 0, 0};
      SendMessageW(mails, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      for (int sub = 1; sub < 3; ++sub) {
        LVITEMW text{};
        text.iSubItem = sub;
        text.pszText = const_cast<LPWSTR>(sub == 1 ? m.subject : m.date);
        SendMessageW(mails, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text));
      }
    }
    LVITEMW first{};
    first.state = first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(mails, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
    LayOut();
  }

  // The program's way: the tabs along the top, the tree and the list side
  // by side down to the field, the field and the buttons at the bottom of the
  // client (which ends above the bar).
  void LayOut() {
    if (!Item(kButtonsLast)) return;
    RECT client{};
    GetClientRect(dialog_, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int tree = w / 3;
    MoveWindow(Item(kTabs), 0, 0, w, 44, TRUE);
    MoveWindow(Item(kFolders), 0, 44, tree, h - 44 - 104, TRUE);
    MoveWindow(Item(kMails), tree, 44, w - tree, h - 44 - 104, TRUE);
    MoveWindow(Item(kField), 4, h - 100, w - 8, 44, TRUE);
    MoveWindow(Item(kSend), 4, h - 52, w / 2 - 8, 48, TRUE);
    MoveWindow(Item(kDelete), w / 2 + 4, h - 52, w / 2 - 8, 48, TRUE);
  }
  static constexpr int kButtonsLast = kDelete;

  // The X server shows the screen, the screen is what a repaint of every
  // window from scratch draws, and the picture is kept.
  void ExpectAsRepainted(const std::string& step) {
    SCOPED_TRACE(step);
    Pump();
    const std::vector<DWORD> drawn = ScreenPixels();
    const int width = qv::ui::ScreenSurface()->Width();
    const XPicture shown = Grab();
    EXPECT_EQ(Differences(shown.pixels, drawn, width), "") << "the X server against the screen";
    SavePng(shown, OutputPath("mailscreen-" + step + ".png"));
    RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Pump();
    EXPECT_EQ(Differences(drawn, ScreenPixels(), width), "") << "the screen against a repaint of every window";
  }

  void Press(SDL_Keycode key) {
    Key(SDL_KEYDOWN, key);
    Key(SDL_KEYUP, key);
    Pump();
  }
  void Tap(HWND control, POINT client) {
    ClientToScreen(control, &client);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, client.x, client.y);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, client.x, client.y);
    Pump();
  }
  int FocusedMail() const {
    return static_cast<int>(SendMessageW(Item(kMails), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  }

  HMODULE res_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<DWORD> units_;
  HWND dialog_ = nullptr;
  HWND bar_ = nullptr;
};

TEST_F(MailScreen, EveryStepShowsWhatARepaintOfEveryWindowShows) {
  const auto profile = qv::ui::CurrentProfile();
  RECT client{};
  GetClientRect(dialog_, &client);
  POINT corner{client.right, client.bottom};
  ClientToScreen(dialog_, &corner);
  EXPECT_EQ(corner.y, profile.height - qv::shell::kMenuBarHeight) << "the dialog ends above the bar";
  ExpectAsRepainted("1-start");

  // Key scrolling: Down through the list past its page, one press at a time,
  // the screen checked after each.
  Tap(Item(kMails), {40, 60});
  ASSERT_EQ(GetFocus(), Item(kMails));
  const int tapped = FocusedMail();
  for (int i = 1; i <= 25; ++i) {
    Press(SDLK_DOWN);
    ExpectAsRepainted("2-down");
    if (HasFailure()) break;
  }
  EXPECT_EQ(FocusedMail(), std::min(kMailCount - 1, tapped + 25));
  EXPECT_GT(SendMessageW(Item(kMails), LVM_GETTOPINDEX, 0, 0), 0) << "the list scrolled";
  Press(SDLK_UP);
  ExpectAsRepainted("2-scrolled");

  // Composing at the end of a line that fills the field.
  HWND field = Item(kField);
  Tap(field, {10, 20});
  ASSERT_EQ(GetFocus(), field);
  // SDL gives typed text in pieces of at most 31 bytes.
  for (const char* piece : {"件名：明日の", "打ち合わせの", "資料とお見積", "もりについて"}) Text(piece);
  Pump();
  Editing("かくにん");
  Pump();
  Pump();
  POINT caret{};
  GetCaretPos(&caret);
  RECT view{};
  SendMessageW(field, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
  EXPECT_LE(caret.x, view.right) << "the composition's end is in view";
  ExpectAsRepainted("3-composing");
  Text("確認");
  Editing("");
  Pump();
  ExpectAsRepainted("3-composed");

  // A worker's message box, owned by the dialog, shown while the UI thread
  // waits for the worker, answered by a tap through the display.
  qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
  std::atomic<int> answer{0};
  std::atomic<bool> seen{false};
  const XPicture before = Grab();
  HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    answer = MessageBoxW(dialog_, L"新着メールを受信しますか？", kBoxCaption, MB_OKCANCEL);
    SetEvent(answered);
  });
  std::thread hand([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    HWND box = nullptr;
    for (; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
      box = FindWindowW(nullptr, kBoxCaption);
      HWND ok = box ? GetDlgItem(box, IDOK) : nullptr;
      if (!ok || !IsWindowVisible(box)) continue;
      RECT b{};
      GetWindowRect(ok, &b);
      const XPicture shown = Grab();
      if (shown.pixels.empty() || shown.width != before.width) break;
      const POINT mid{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
      if (shown.At(b.left + 4, mid.y) == before.At(b.left + 4, mid.y) && shown.At(mid.x, mid.y) == before.At(mid.x, mid.y)) {
        continue;  // not drawn yet
      }
      SavePng(shown, OutputPath("mailscreen-4-box.png"));
      seen = true;
      Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, (b.left + b.right) / 2, (b.top + b.bottom) / 2);
      Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, (b.left + b.right) / 2, (b.top + b.bottom) / 2);
      return;
    }
    if (box) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  });
  // The UI thread waits in the kernel; the display stays alive meanwhile.
  EXPECT_EQ(WaitForSingleObject(answered, 120000), WAIT_OBJECT_0);
  worker.join();
  hand.join();
  CloseHandle(answered);
  qv::seams::SetQuestionAnswer(IDNO);
  EXPECT_TRUE(seen) << "the box never showed on the X server";
  EXPECT_EQ(answer.load(), IDOK);
  ExpectAsRepainted("4-answered");

  // The screen turns; the bar docks along the new bottom and the dialog ends above it.
  Press(qv::display::kRotateKey);
  ASSERT_EQ(qv::ui::CurrentProfile().orientation, qv::ui::Orientation::Landscape);
  RECT bar{};
  GetWindowRect(bar_, &bar);
  EXPECT_EQ(bar.bottom, qv::ui::CurrentProfile().height);
  EXPECT_EQ(bar.right, qv::ui::CurrentProfile().width);
  GetClientRect(dialog_, &client);
  corner = {client.right, client.bottom};
  ClientToScreen(dialog_, &corner);
  EXPECT_EQ(corner.y, bar.top);
  ExpectAsRepainted("5-landscape");
  Tap(Item(kMails), {40, 60});
  Press(SDLK_DOWN);
  ExpectAsRepainted("5-landscape-down");
  Press(qv::display::kRotateKey);
  ASSERT_EQ(qv::ui::CurrentProfile().orientation, qv::ui::Orientation::Portrait);
  ExpectAsRepainted("6-portrait");
}

}  // namespace
