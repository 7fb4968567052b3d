// The program's drawn box and the timed notice, run modally by the
// framework over a scripted owner: the box's layout on both screens, its
// labels, picture and buttons, the title bar's OK, its timer, and the
// notice's. The thumbnail sheet alone and with a box over it are kept as
// app-thumbnails.png and app-lmessagebox.png in the build folder.
#include "app/foundation/QvComSaveMsgDlg.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

bool Inside(const RECT& in, const RECT& out) {
  return in.left >= out.left && in.top >= out.top && in.right <= out.right && in.bottom <= out.bottom;
}

COLORREF ScreenAt(HWND window, POINT client) {
  ClientToScreen(window, &client);
  return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(client.y)[client.x]);
}

TEST(LMessageBoxLayoutTest, KindsLinesPicturesAndAlwaysOnTheScreen) {
  struct Case {
    std::wstring text;
    UINT type;
    bool landscape;
    int kind, lines;
    UINT picture;
  } cases[] = {
      {std::wstring(40, L'受'), 0x24, false, 2, 3, kQuestionPicture},  // wraps at 14 units
      {std::wstring(40, L'受'), 0x33, false, 3, 3, kWarningPicture},   // at 18
      {L"送信しました", 0x40, false, 1, 1, kInformationPicture},
      {L"容量が不足しています", 0x10, true, 1, 1, kInformationPicture},
      {L"abcdefghijklmnopqrstuvwxyz0123456789", 0x04, false, 2, 2, kInformationPicture},
      {L"Opera Browser を起動します。\n続けますか？", 0x04, false, 2, 2, kInformationPicture},
      // Single lines of 15 to 25 characters count their length as width.
      {L"abcdefghijklmnopqrstuvwxy", 0x04, false, 2, 1, kInformationPicture},
      {L"abcdefghijklmnopqrstuvwxy", 0x00, true, 1, 1, kInformationPicture},
      {L"メールサーバーに接続しています", 0x23, false, 3, 1, kQuestionPicture},
      {std::wstring(400, L'字'), 0x04, true, 2, 31, kInformationPicture},
      {std::wstring(400, L'字'), 0x23, false, 3, 24, kQuestionPicture},
  };
  for (const Case& c : cases) {
    const LONG w = c.landscape ? 800 : 480, h = c.landscape ? 480 : 800;
    const SIZE frame{4, 56};
    const LMessageBoxLayout l = LayOutLMessageBox(c.text, c.type, w, h, frame);
    const std::string name = std::to_string(c.text.size()) + " chars, type " + std::to_string(c.type);
    EXPECT_EQ(l.kind, c.kind) << name;
    EXPECT_EQ(l.lines, c.lines) << name;
    EXPECT_EQ(l.picture, c.picture) << name;
    EXPECT_TRUE(Inside(l.box, {0, 0, w, h})) << name;
    const RECT client{0, 0, l.box.right - l.box.left - frame.cx, l.box.bottom - l.box.top - frame.cy};
    EXPECT_TRUE(Inside(l.text, client)) << name;
    int buttons = 0;
    for (const RECT& b : l.buttons) {
      if (IsRectEmpty(&b)) continue;
      ++buttons;
      EXPECT_TRUE(Inside(b, client) && l.text.bottom <= b.top) << name;
    }
    EXPECT_EQ(buttons, c.kind == 1 ? 0 : c.kind) << name;
  }
}

class LMessageBoxTest : public ProgramFrameTest {
 protected:
  static HWND Box() { return GetActiveWindow(); }
  static std::vector<std::wstring> ShownLabels(HWND box) {
    std::vector<std::wstring> out;
    for (int id : {kLMessageBoxYes, kLMessageBoxNo, kLMessageBoxCancel}) {
      WCHAR text[64] = {};
      GetDlgItemTextW(box, id, text, 64);
      if (IsWindowVisible(GetDlgItem(box, id))) out.push_back(text);
    }
    return out;
  }

};

TEST_F(LMessageBoxTest, ABoxOverTheThumbnailSheet) {
  size_t pictures = 0;
  COLORREF jpegTopLeft = 0, picture = 0;
  std::wstring caption;
  std::vector<std::wstring> labels;
  bool saved = false;
  const int answer = SheetUnderBox(
      frame_, Host(std::string("")),
      [&](ThumbnailSheet& sheet) {
        for (const ThumbnailEntry& e : sheet.Done()) pictures += e.bitmap ? 1 : 0;
        jpegTopLeft = ScreenAt(sheet.m_hWnd, {ThumbnailSheet::Cell(0).left + 8, ThumbnailSheet::Cell(0).top + 40});
        saved = qv::seams::SaveScreenPng(BuildFile("app-thumbnails.png"));
      },
      [&](HWND box) {
        WCHAR text[64] = {};
        GetWindowTextW(box, text, 64);
        caption = text;
        labels = ShownLabels(box);
        picture = ScreenAt(box, {52, 30});  // the question's disc, above its sign
        saved = saved && qv::seams::SaveScreenPng(BuildFile("app-lmessagebox.png"));
        qv::seams::InjectTap(CentreOf(GetDlgItem(box, kLMessageBoxNo)));
      });
  EXPECT_EQ(answer, IDNO);
  EXPECT_TRUE(saved);
  EXPECT_EQ(pictures, ThumbnailSheet::kPictures - 1);  // the broken one is named, not drawn
  EXPECT_LT(ColorDistance(0xFF000000u | qv::gdi::PixelOf(jpegTopLeft), kRed), 40);
  EXPECT_EQ(caption, L" 画像の添付");
  EXPECT_EQ(labels, (std::vector<std::wstring>{L"添付", L"やめる", L"キャンセル"}));
  EXPECT_EQ(picture, RGB(0x2C, 0x9A, 0x4A));
}

TEST_F(LMessageBoxTest, RelabelledButtonsAnswerAndTheTimerAnswersOk) {
  struct Case {
    int button;  // 0: the timer runs out
    int answer;
  } cases[] = {{kLMessageBoxYes, IDYES}, {kLMessageBoxNo, IDNO}, {kLMessageBoxCancel, IDCANCEL}, {0, IDOK}};
  for (const Case& c : cases) {
    std::vector<std::wstring> labels;
    bool upBeforeTime = false;
    Script() = {[&] {
                  labels = ShownLabels(Box());
                  qv::seams::AdvanceUiClock(2499);
                },
                [&] {
                  upBeforeTime = Box() != frame_->m_hWnd;
                  if (c.button) qv::seams::InjectTap(CentreOf(GetDlgItem(Box(), c.button)));
                  else qv::seams::AdvanceUiClock(1);
                }};
    LMessageBox box(L"新着メールが3件あります。", L"受信", 0x23, 25, L"今すぐ", L"あとで", L"やめる", frame_);
    EXPECT_EQ(box.DoModal(), c.answer) << c.button;
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"今すぐ", L"あとで", L"やめる"})) << c.button;
    EXPECT_TRUE(upBeforeTime) << c.button;
  }
}

// Type 0: no buttons of its own; the title bar's OK answers. An open menu
// is told to close first.
TEST_F(LMessageBoxTest, WithoutButtonsTheTitleBarOkAnswersAndAMenuIsClosed) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TestProc;
  wc.lpszClassName = L"MNU";
  RegisterClassW(&wc);
  HWND menu = CreateWindowExW(0, L"MNU", L"", WS_POPUP | WS_VISIBLE, 0, 600, 200, 200, nullptr, nullptr, nullptr,
                              nullptr);
  log_.Clear();
  std::vector<std::wstring> labels{L"?"};
  Script() = {[&] {
    labels = ShownLabels(Box());
    RECT r{};
    GetWindowRect(Box(), &r);
    const LONG captionMiddle = r.top + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    qv::seams::InjectTap({r.right - 20, captionMiddle});
  }};
  EXPECT_EQ(ShowLMessageBox(frame_, L"送信しました。", L"お知らせ", 0, nullptr, nullptr, nullptr), IDOK);
  EXPECT_TRUE(labels.empty());
  const std::vector<UINT> seen = log_.MessagesOf(menu);
  EXPECT_NE(std::find(seen.begin(), seen.end(), WM_CANCELMODE), seen.end());
  DestroyWindow(menu);
}

TEST_F(LMessageBoxTest, TheSavedNoticeSitsOverItsOwnerAndEndsWithItsTimer) {
  RECT placed{};
  bool upBeforeTime = false;
  Script() = {[&] {
                GetWindowRect(Box(), &placed);
                qv::seams::AdvanceUiClock(2499);
              },
              [&] {
                upBeforeTime = Box() != frame_->m_hWnd;
                qv::seams::AdvanceUiClock(1);
              }};
  QvComSaveMsgDlg notice(L"保存", L"下書きに保存しました", 25, frame_);
  EXPECT_EQ(notice.DoModal(), IDOK);
  EXPECT_TRUE(upBeforeTime);
  const RECT centred{90, 315, 390, 485};  // 300 x 170 on the full-screen owner
  EXPECT_TRUE(EqualRect(&placed, &centred));
}

}  // namespace
}  // namespace qv::test
