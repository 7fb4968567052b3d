// The input pads, the colour pads, the decoration bar, the rotation dialog,
// the HTML preview and the template chooser, run modally over a scripted
// frame with the program's resources; boxes come up for real and are recorded. Pictures of each window go to
// composetools-*.png in the build folder.
#include <array>
#include <fstream>

#include "app/foundation/PictureChars.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "app/message/deco/CStateDisplayDecorationBar.h"
#include "app/message/deco/QvColorPadDlg.h"
#include "app/message/deco/QvSetImageRotationDlg.h"
#include "app/message/deco/QvTegakiColorPadDlg.h"
#include "app/message/pads/CInputPad.h"
#include "app/message/pads/CPictureCharPad.h"
#include "app/message/pads/CTemplateDlg.h"
#include "app/message/preview/QvHtmlPreviewDlg.h"
#include "app/message/preview/QvTemplateFileBrowser.h"
#include "app/protocol/WindowMessages.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/gdi/Surface.h"
#include "platform/kernel/Resource.h"
#include "platform/shell/MenuBar.h"
#include "platform/testing/Seams.h"
#include "platform/ui/window/Screen.h"
#include "app/mailops/MessageOperations.h"
#include "tests/app/foundation/BrowserSession.h"

namespace qv::test {
namespace {

// The window that opened a pad: it keeps what the pad sent it.
class Target : public CWnd {
 public:
  std::vector<std::pair<WPARAM, std::wstring>> inserts;
  std::vector<WPARAM> otherPads;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kPadInsertMessage) {
      inserts.emplace_back(wParam, wParam == 2 ? std::wstring(reinterpret_cast<const wchar_t*>(lParam))
                                               : std::wstring(1, static_cast<wchar_t>(lParam)));
    }
    if (message == kOtherPadMessage) otherPads.push_back(wParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(p.y)[p.x]);
}
std::array<LONG, 4> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
void Key(BYTE vk) {
  qv::seams::InjectKey(vk, true);
  qv::seams::InjectKey(vk, false);
}
void Command(UINT id) { ::PostMessageW(GetActiveWindow(), WM_COMMAND, id, 0); }

constexpr wchar_t kFolder[] = L"\\My Documents\\テンプレート";

// Modal windows over the browser (the preview) take the script's steps too.
WNDPROC g_browserProc = nullptr;
LRESULT StepsOverBrowser(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
    if (!TakeStep(hwnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return CallWindowProcW(g_browserProc, hwnd, message, wParam, lParam);
}

class ComposeTools : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    ASSERT_TRUE(target_.CreateEx(0, AfxRegisterWndClass(0), L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 200, *frame_, nullptr));
    // The template folder, and the data folder a loaded template's parts are written to.
    for (const wchar_t* f : {L"\\My Documents", kFolder, L"\\Application Data", L"\\Application Data\\QuvoMail"}) Folder(f);
  }
  void TearDown() override {
    CInputPad::SetProgramFolder(L"");
    BrowserTest::TearDown();
  }
  void WriteDeviceFile(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ + "/" + name, std::ios::binary) << bytes;
  }
  static std::string Utf16(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return out;
  }
  std::wstring Res(UINT id) const {
    WCHAR text[512];
    return LoadStringW(res_, id, text, 512) > 0 ? text : L"";
  }
  // Runs the chooser; the first step takes over the browser's idle turns.
  INT_PTR Choose(QvTemplateFileBrowser& chooser, int mode, std::wstring* path,
                 std::vector<std::function<void(QvFileBrowser&)>> steps) {
    Script().push_back([&chooser] {
      g_browserProc = reinterpret_cast<WNDPROC>(
          SetWindowLongW(chooser.Window(), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(StepsOverBrowser)));
    });
    for (auto& s : steps) Script().push_back([&chooser, s] { s(chooser); });
    const INT_PTR end = chooser.Run(frame_->m_hWnd, kFolder, path, mode);
    Script().clear();
    return end;
  }
  static std::function<void(QvFileBrowser&)> Type(const std::wstring& name) {
    return [name](QvFileBrowser& b) {
      SetDlgItemTextW(b.Window(), QvFileBrowser::kNameField, name.c_str());
      PressOk(b);
    };
  }
  static std::function<void(QvFileBrowser&)> Pick(int index) {
    return [index](QvFileBrowser& b) {
      TapItem(b, index);
      PressOk(b);
    };
  }
  Target target_;
};

TEST_F(ComposeTools, PictographStepsWrapAndStopAtTheLastCharacter) {
  using Cell = QvPictographPad::Cell;
  struct Case {
    int columns, count;
    Cell from;
    UINT key;
    Cell want;
  };
  const Case cases[] = {
      {7, 163, {0, 0}, VK_LEFT, {23, 1}},  {7, 163, {1, 0}, VK_LEFT, {0, 6}},   {7, 163, {0, 3}, VK_RIGHT, {0, 4}},
      {7, 163, {0, 6}, VK_RIGHT, {1, 0}},  {7, 163, {23, 1}, VK_RIGHT, {0, 0}}, {7, 163, {0, 3}, VK_UP, {23, 1}},
      {7, 163, {0, 1}, VK_UP, {23, 1}},    {7, 163, {22, 5}, VK_DOWN, {23, 1}}, {7, 163, {23, 1}, VK_DOWN, {0, 1}},
      {12, 252, {20, 11}, VK_RIGHT, {0, 0}}, {12, 252, {0, 0}, VK_UP, {20, 0}}, {12, 252, {5, 4}, VK_DOWN, {6, 4}},
  };
  for (const Case& c : cases) {
    const Cell got = QvPictographPad::Step(c.from, c.key, c.columns, c.count);
    EXPECT_EQ(got.row, c.want.row) << c.from.row << "," << c.from.column << " key " << c.key;
    EXPECT_EQ(got.column, c.want.column) << c.from.row << "," << c.from.column << " key " << c.key;
  }
}

TEST_F(ComposeTools, TemplateFilesReadWholeLinesOnly) {
  const std::wstring longLine(200, L'k');
  struct Case {
    std::string bytes;
    std::vector<std::wstring> want;
  };
  const Case cases[] = {
      {Utf16(L"(^_^)\r\n(;_;)\r\n"), {L"(^_^)", L"(;_;)"}},
      {Utf16(L"(^_^)\r\n(;_;)"), {L"(^_^)"}},  // the last line has no CR LF
      {Utf16(L"a\rb\r\n"), {L"a\rb"}},
      {Utf16(L"\uFEFFx\r\n"), {L"\uFEFFx"}},   // no mark handling
      {Utf16(longLine + L"\r\nz\r\n"), {std::wstring(127, L'k'), L"z"}},
      {Utf16(std::wstring(126, L'k')) + Utf16(L"\xD83D\xDE00") + Utf16(L"\r\n"), {std::wstring(126, L'k')}},
      {Utf16(L"a\r\n") + "b", {L"a"}},  // an odd byte at the end
      {Utf16(std::wstring(127, L'k') + L"\rX\r\n"), {std::wstring(127, L'k')}},  // a lone CR counts too
  };
  for (const Case& c : cases) {
    WriteDeviceFile("FaceMark.pad", c.bytes);
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadTemplateFile(L"\\FaceMark.pad", &lines));
    EXPECT_EQ(lines, c.want) << c.bytes.size();
    // The same bytes from memory, as the program reads its own file.
    std::vector<std::wstring> fromMemory{L"old"};
    ReadTemplateText(c.bytes, &fromMemory);
    EXPECT_EQ(fromMemory, c.want) << c.bytes.size();
  }
  std::vector<std::wstring> lines{L"old"};
  EXPECT_FALSE(ReadTemplateFile(L"\\none.pad", &lines));
  EXPECT_TRUE(lines.empty());
}

TEST_F(ComposeTools, PadsSendPickAndHandOverToTheOtherPad) {
  const wchar_t* table = PictureCharTable();
  const wchar_t* web = WebPictureCharTable();
  WriteDeviceFile("FaceMark.pad", Utf16(L"(^_^)\r\nあいう\r\n(;_;)"));
  CInputPad::SetProgramFolder(L"\\");
  struct Case {
    const char* what;
    e_pad_type type;
    std::vector<std::function<void()>> steps;
    int result;
    std::wstring text;
    std::vector<std::pair<WPARAM, std::wstring>> inserts;
    std::vector<WPARAM> otherPads;
    int changed;
  };
  const auto keys = [](std::initializer_list<BYTE> vks) {
    return [v = std::vector<BYTE>(vks)] { for (BYTE k : v) Key(k); };
  };
  const Case cases[] = {
      {"Enter twice inserts twice; the caption's OK takes the cell", kPadPictureChar,
       {keys({VK_RIGHT, VK_RIGHT, VK_RETURN, VK_RETURN}), [] { Command(IDOK); }}, TRUE, {table[2]},
       {{1, {table[2]}}, {1, {table[2]}}}, {}, 0},
      {"left from the first cell takes the web set's last", kPadWebPictChar,
       {keys({VK_LEFT}), [] { Command(kPadInsertCommand); }, [] { Command(IDOK); }}, TRUE, {web[251]},
       {{1, {web[251]}}}, {}, 0},
      {"the other pad from the pictographs", kPadPictureChar, {[] { Command(kToWebPadCommand); }}, FALSE, L"", {}, {1}, 1},
      {"the other pad from the web set", kPadWebPictChar, {[] { Command(kToPicturePadCommand); }}, FALSE, L"", {}, {0}, 1},
      {"closed before the OK behind", kPadPictureChar, {[] { Command(kPadCloseCommand), Command(IDOK); }}, FALSE, L"", {}, {}, 0},
      {"Back cancels before the OK behind it", kPadTemplate,
       {[] { SendMessageW(GetActiveWindow(), kBackMessage, 0, 0), Command(IDOK); }}, FALSE, L"", {}, {}, 0},
      {"a face mark with Enter", kPadTemplate,
       {[] { qv::seams::SaveScreenPng(BuildFile("composetools-facemarks.png")); }, keys({VK_DOWN, VK_RETURN})}, TRUE, L"あいう", {{2, L"あいう"}}, {}, 0},
      {"no pad of that type", static_cast<e_pad_type>(3), {}, FALSE, L"", {}, {}, 0},
  };
  for (const Case& c : cases) {
    target_.inserts.clear();
    target_.otherPads.clear();
    for (const auto& s : c.steps) Script().push_back(s);
    CInputPad pad;
    EXPECT_EQ(pad.CreateInputPad(c.type, &target_), c.result) << c.what;
    RunThroughFilter();
    EXPECT_EQ(pad.GetInputString(), c.text) << c.what;
    EXPECT_EQ(target_.inserts, c.inserts) << c.what;
    EXPECT_EQ(target_.otherPads, c.otherPads) << c.what;
    EXPECT_EQ(pad.IsChangeOccured(), c.changed) << c.what;
    EXPECT_TRUE(Script().empty()) << c.what;
    Script().clear();
    if (c.type != kPadTemplate || !c.result) continue;
    // The picked text in the system code page: cut on a character, ended,
    // and the needed size told.
    struct Fit {
      int size;
      std::string want;
    };
    for (const Fit& f : {Fit{7, "\x82\xa0\x82\xa2\x82\xa4"}, Fit{6, "\x82\xa0\x82\xa2"}, Fit{5, "\x82\xa0\x82\xa2"},
                         Fit{4, "\x82\xa0"}, Fit{2, ""}, Fit{1, ""}}) {
      char buffer[16];
      std::fill(std::begin(buffer), std::end(buffer), 'X');
      EXPECT_EQ(pad.GetInputString(buffer, f.size), 6) << f.size;
      EXPECT_EQ(std::string(buffer), f.want) << f.size;
    }
    EXPECT_EQ(pad.GetInputString(nullptr, 0), 6);
  }
  // A pictograph set that is not installed: the pad closes at once.
  SetPictureCharLibraryNames(L"\\Windows\\none.dll", nullptr);
  CInputPad missing;
  Script().push_back([] { Command(IDOK); });  // would pick, were the pad up
  EXPECT_EQ(missing.CreateInputPad(kPadPictureChar, &target_), FALSE);
  EXPECT_EQ(Script().size(), 1u);
  Script().clear();
  SetPictureCharLibraryNames(nullptr, nullptr);
  // A missing face-mark file: the message, and nothing picked.
  CInputPad::SetProgramFolder(L"\\nowhere\\");
  CInputPad pad;
  boxes_.clear();
  EXPECT_EQ(pad.CreateInputPad(kPadTemplate, &target_), FALSE);
  EXPECT_EQ(boxes_, std::vector<std::wstring>{Res(20209)});
}

TEST_F(ComposeTools, PictographPadSitsAboveTheMenuBarAndFramesItsSelection) {
  RECT want{}, got{};
  COLORREF frame = 0, inside = 0;
  HWND bar = nullptr;
  Script().push_back([&] {
    HWND pad = GetActiveWindow();
    GetWindowRect(pad, &got);
    bar = SHFindMenuBar(pad);
    UpdateWindow(pad);
    UpdateWindow(bar);
    // The selected cell (0, 0): its frame in XOR over the white ground.
    frame = ScreenPixel(pad, 1, 16);
    inside = ScreenPixel(pad, 0, 16);
    qv::seams::SaveScreenPng(BuildFile("composetools-pictographs.png"));
    Command(IDOK);
  });
  CInputPad pad;
  EXPECT_TRUE(pad.CreateInputPad(kPadPictureChar, &target_));
  const int width = 7 * 32 + GetSystemMetrics(SM_CXVSCROLL) + 8;
  want = {(480 - width) / 2, 0, (480 + width) / 2, 800 - 52 - 8};
  EXPECT_EQ(got.left, want.left);
  EXPECT_EQ(got.right - got.left, width);
  EXPECT_EQ(got.bottom, want.bottom);
  EXPECT_NE(bar, nullptr);
  EXPECT_EQ(frame, GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_NE(inside, frame);
  // A third of the area less two captions; with items, whole items and 2.
  EXPECT_EQ(Box(CBasicPad::DefaultRect({0, 0, 480, 800}, 52, 0)), Box({0, 740 - 229, 480, 740}));
  EXPECT_EQ(Box(CBasicPad::DefaultRect({0, 0, 480, 800}, 52, 20)), Box({0, 740 - 222, 480, 740}));
}

TEST_F(ComposeTools, ColourPadsFocusPickAndPaintTheirColours) {
  struct Case {
    const char* what;
    bool pen;
    COLORREF entry;
    std::vector<BYTE> keys;
    UINT end;  // a button's control, IDOK (the caption), or 0 (Back)
    int focused;  // grid index with the focus after the keys, -1 none
    bool picked;
    COLORREF color;
    INT_PTR result;
  };
  const Case cases[] = {
      {"pen brown focuses its button", true, 0x001464, {}, IDOK, 1, false, 0x001464, IDOK},
      {"black by default", false, 0x000000, {}, IDOK, 0, false, 0, IDOK},
      {"a colour of no button", false, 0x123456, {}, IDOK, -1, false, 0x123456, IDOK},
      {"left wraps in the row", false, 0, {VK_LEFT}, IDOK, 5, false, 0, IDOK},
      {"up wraps in the column", true, 0x0000FF, {VK_UP, VK_UP}, IDOK, 19, false, 0x0000FF, IDOK},
      {"a press picks", false, 0, {}, 1183, 0, true, 0xFF0000, IDOK},
      {"Back cancels", true, 0x00FF00, {}, 0, 15, false, 0x00FF00, IDCANCEL},
  };
  for (const Case& c : cases) {
    QvColorPadDlg text(frame_);
    QvTegakiColorPadDlg pen(frame_);
    QvBaseColorPadDlg& pad = c.pen ? static_cast<QvBaseColorPadDlg&>(pen) : text;
    pad.SetColor(c.entry);
    int focused = -2;
    std::vector<std::pair<COLORREF, COLORREF>> swatches;  // painted, wanted
    Script().push_back([&] {
      for (BYTE k : c.keys) Key(k);
    });
    Script().push_back([&] {
      HWND dlg = GetActiveWindow();
      UpdateWindow(dlg);
      focused = -1;
      for (int i = 0; i < QvBaseColorPadDlg::kCount; ++i) {
        const auto& e = pad.Colors()[static_cast<size_t>(i)];
        HWND button = GetDlgItem(dlg, e.control);
        if (button == GetFocus()) focused = i;
        const POINT at = QvBaseColorPadDlg::ButtonOrigin(i);
        RECT r{};
        GetWindowRect(button, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(Box(r), Box({at.x, at.y, at.x + 44, at.y + 44})) << c.what << i;
        swatches.emplace_back(ScreenPixel(dlg, at.x + 22, at.y + 22), e.color);
      }
      qv::seams::SaveScreenPng(BuildFile(c.pen ? "composetools-penpad.png" : "composetools-colourpad.png"));
      if (c.end == 0) SendMessageW(dlg, kBackMessage, 0, 0);  // ends it before the OK behind
      if (c.end <= IDOK) Command(IDOK);
      else PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(c.end, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, static_cast<int>(c.end))));
    });
    EXPECT_EQ(pad.DoModal(), c.result) << c.what;
    EXPECT_EQ(focused, c.focused) << c.what;
    EXPECT_EQ(pad.IsPicked(), c.picked) << c.what;
    EXPECT_EQ(pad.GetColor(), c.color) << c.what;
    ASSERT_EQ(swatches.size(), 24u) << c.what;
    // A few bitmaps serve both pads: they show the pen's shade of the colour.
    const auto near = [](COLORREF a, COLORREF b) {
      return std::abs(int(a & 0xFF) - int(b & 0xFF)) + std::abs(int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF)) +
                 std::abs(int(a >> 16 & 0xFF) - int(b >> 16 & 0xFF)) <= 0x20;
    };
    for (const auto& [painted, wanted] : swatches) EXPECT_TRUE(near(painted, wanted)) << c.what << " " << std::hex << painted;
  }
}

TEST_F(ComposeTools, DecorationBarShowsTheStateAndSkipsRepaints) {
  QvDecorationState state;
  EXPECT_EQ(state.markerColor, 0x37F3BFu);
  CStateDisplayDecorationBar bar;
  ASSERT_TRUE(bar.Create(L"", WS_CHILD | WS_VISIBLE, {0, 0, 480, 44}, &target_, 300));
  bar.AttachState(&state);
  struct Case {
    COLORREF color;
    int size, display, align;
    bool repaint;
    UINT colorBitmap, sizeBitmap, alignBitmap;
  };
  const Case cases[] = {
      {0x000000, 3, 0, 1, true, 613, 600, 604},   {0x000000, 3, 0, 1, false, 613, 600, 604},
      {0x0000FF, 1, 0, 3, true, 618, 602, 605},   {0x123456, 7, 1, 2, true, 618, 601, 606},  // unknown: kept
      {0xFFCCCC, 7, 1, 2, true, 636, 601, 606},   {0xFFCCCC, 7, 1, 2, false, 636, 601, 606},
  };
  for (const Case& c : cases) {
    state.textColor = c.color;
    state.sizeStep = c.size;
    state.display = c.display;
    state.alignment = c.align;
    const int before = bar.PaintCount();
    EXPECT_EQ(bar.Update(), c.repaint) << c.color;
    EXPECT_EQ(bar.PaintCount() - before, c.repaint ? 1 : 0) << c.color;
    EXPECT_EQ(bar.ColorBitmap(), c.colorBitmap) << c.color;
    EXPECT_EQ(bar.SizeBitmap(), c.sizeBitmap) << c.color;
    EXPECT_EQ(bar.AlignmentBitmap(), c.alignBitmap) << c.color;
  }
  // Painted: the colour's bar under its letter at x 26, the display flag at 182.
  bar.Invalidate();
  bar.UpdateWindow();
  qv::seams::SaveScreenPng(BuildFile("composetools-decoration.png"));
  EXPECT_EQ(ScreenPixel(bar, 26 + 19, 3 + 31), 0xFFCCCCu);
  EXPECT_EQ(ScreenPixel(bar, 182 + 12, 3 + 19), 0x303030u);
  state.display = 0;
  bar.Update();
  EXPECT_NE(ScreenPixel(bar, 182 + 12, 3 + 19), 0x303030u);
  // Landscape: a column at the bar's left, the colour at y 22.
  qv::seams::SetLandscape(true);
  target_.SetWindowPos(nullptr, 0, 0, 800, 480, SWP_NOZORDER);
  bar.SetWindowPos(nullptr, 0, 0, 48, 376, SWP_NOZORDER);
  bar.Invalidate();
  bar.UpdateWindow();
  EXPECT_EQ(ScreenPixel(bar, 5 + 19, 22 + 31), 0xFFCCCCu);
  EXPECT_EQ(ScreenPixel(bar, 26 + 19, 3 + 31), ScreenPixel(bar, 47, 3 + 31));  // the ground, not a picture
  qv::seams::SaveScreenPng(BuildFile("composetools-decoration-landscape.png"));
  qv::seams::SetLandscape(false);
  state.InitFormat();
  EXPECT_EQ(state.sizeStep, 3);
  EXPECT_EQ(state.alignment, 2);  // the paragraph's alignment stays
}

TEST_F(ComposeTools, RotationDialogStacksItsControlsAndReadsTheAngle) {
  struct Case {
    int radio;  // 0: untouched
    float angle;
  };
  for (const Case& c : {Case{0, 0.0f}, Case{QvSetImageRotationDlg::kRadio90, 90.0f},
                        Case{QvSetImageRotationDlg::kRadio270, 270.0f}, Case{QvSetImageRotationDlg::kRadio180, 180.0f}}) {
    QvSetImageRotationDlg dlg(frame_);
    std::vector<RECT> boxes;
    Script().push_back([&] {
      HWND h = GetActiveWindow();
      for (int id : {QvSetImageRotationDlg::kText, QvSetImageRotationDlg::kRadio90, QvSetImageRotationDlg::kRadio0,
                     QvSetImageRotationDlg::kButton}) {
        RECT r{};
        GetWindowRect(GetDlgItem(h, id), &r);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
        boxes.push_back(r);
      }
      RECT client{};
      GetClientRect(h, &client);
      boxes.push_back(client);
      if (c.radio) CheckRadioButton(h, QvSetImageRotationDlg::kRadio90, QvSetImageRotationDlg::kRadio0, c.radio);
      UpdateWindow(h);
      if (c.radio == QvSetImageRotationDlg::kRadio90) qv::seams::SaveScreenPng(BuildFile("composetools-rotation.png"));
      PostMessageW(h, WM_COMMAND, MAKEWPARAM(QvSetImageRotationDlg::kButton, BN_CLICKED), 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetAngle(), c.angle);
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_LE(boxes[3].bottom, boxes[4].bottom);  // the button is not cut off
    EXPECT_EQ(boxes[0].left, 5);
    EXPECT_EQ(boxes[0].top, 5);
    EXPECT_EQ(boxes[1].left, 30);
    EXPECT_EQ(boxes[1].top, boxes[0].bottom);
    EXPECT_LT(boxes[2].bottom + 5, boxes[3].top + 1);
    EXPECT_EQ(boxes[3].left, 90);
    EXPECT_EQ(boxes[3].right - boxes[3].left, 75);
  }
}

TEST_F(ComposeTools, TemplateLimitsAndPictureTrimming) {
  QvMessageRecord record;
  record.htmlText = L"<p>x</p>";
  EXPECT_TRUE(QvTemplateFileBrowser::FitsLimits(153600, record));
  EXPECT_FALSE(QvTemplateFileBrowser::FitsLimits(153601, record));
  record.htmlText = CString(std::wstring(5120, L'あ').c_str());  // 10,240 bytes and the terminator
  EXPECT_TRUE(QvTemplateFileBrowser::FitsLimits(10, record));
  record.htmlText += L"a";
  EXPECT_FALSE(QvTemplateFileBrowser::FitsLimits(10, record));

  struct Trim {
    const char* what;
    std::vector<std::pair<std::string, size_t>> files;  // name, bytes
    size_t kept;
    bool dropped;
  };
  std::vector<std::pair<std::string, size_t>> many;
  for (int i = 0; i < 25; ++i) many.emplace_back("p" + std::to_string(i) + ".jpg", 100);
  const Trim trims[] = {
      {"25 small pictures keep 20", many, 20, true},
      {"a PNG always goes", {{"a.gif", 10}, {"b.png", 10}, {"c.JPEG", 10}}, 2, true},
      {"the sum stops at 92,160", {{"a.jpg", 60000}, {"b.jpg", 32160}, {"c.jpg", 1}}, 2, true},
      {"the one crossing goes with the rest", {{"a.jpg", 60000}, {"b.jpg", 40000}, {"c.gif", 5}}, 1, true},
      {"nothing to drop", {{"a.jpg", 10}}, 1, false},
  };
  for (const Trim& t : trims) {
    QvMessageRecord r;
    for (const auto& [name, size] : t.files) {
      WriteDeviceFile(name, std::string(size, 'x'));
      const std::wstring w(name.begin(), name.end());
      r.inlineFiles.Add(L"\\" + w, w, L"image/jpeg", L"cid:" + w);
    }
    EXPECT_EQ(QvTemplateFileBrowser::TrimInlineImages(&r), t.dropped) << t.what;
    EXPECT_EQ(r.inlineFiles.GetCount(), t.kept) << t.what;
  }
}

TEST_F(ComposeTools, PreviewShowsTheHtmlWithItsCidPictures) {
  const Bytes red = MakeJpeg(Pixels{64, 64, std::vector<DWORD>(64 * 64, kRed)});
  WriteDeviceFile("red.jpg", std::string(red.begin(), red.end()));
  QvMessageRecord record;  // the reference in any case finds the part
  record.htmlText = L"<p>テンプレート</p><img src=\"CID:Red@Part\">";
  record.inlineFiles.Add(L"\\red.jpg", L"red.jpg", L"image/jpeg", L"cid:red@part");
  ASSERT_TRUE(InitializeHtmlEditCtrl(nullptr, 0));
  int redPixels = 0;
  QvHtmlPreviewDlg dlg(frame_);
  dlg.SetRecord(&record);
  dlg.SetMode(QvHtmlPreviewDlg::kTemplatePreview);
  Script().push_back([&] {
    HWND h = GetActiveWindow();
    UpdateWindow(h);
    UpdateWindow(SHFindMenuBar(h));
    RECT client{};
    GetClientRect(h, &client);
    for (int y = 0; y < client.bottom; y += 2) {
      for (int x = 0; x < client.right; x += 2) {
        const COLORREF c = ScreenPixel(h, x, y);
        redPixels += (c & 0xFF) > 0xE0 && ((c >> 8) & 0xFF) < 0x20 && ((c >> 16) & 0xFF) < 0x20;
      }
    }
    qv::seams::SaveScreenPng(BuildFile("composetools-preview.png"));
    Command(IDOK);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_GT(redPixels, 32 * 32 / 4 / 2);
}

TEST_F(ComposeTools, SaveNamesAreCheckedAndGetTheirExtensionOnce) {
  struct Case {
    std::vector<std::wstring> typed;
    std::wstring path;
    size_t refusals;
  };
  const std::wstring folder = kFolder;
  const Case cases[] = {
      {{L"挨拶"}, folder + L"\\挨拶.whm", 0},
      {{L"a.b", L"ok.WHM"}, folder + L"\\ok.WHM", 1},
      {{L"x|y", L"a.b.whm", L"夏"}, folder + L"\\夏.whm", 2},
      {{L"tab\t", L"del\x7f", L"x{1}", L"a/b", L"x"}, folder + L"\\x.whm", 4},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    QvTemplateFileBrowser chooser;
    std::vector<std::function<void(QvFileBrowser&)>> steps;
    for (const std::wstring& t : c.typed) steps.push_back(Type(t));
    std::wstring path;
    EXPECT_EQ(Choose(chooser, QvTemplateFileBrowser::kSave, &path, steps), 1) << c.path;
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(boxes_, std::vector<std::wstring>(c.refusals, Res(20197))) << c.path;
  }
}

TEST_F(ComposeTools, ChosenTemplatesAreLimitedTrimmedAndPreviewedFirst) {
  // A template with a PNG among its pictures, one too large, one not a template.
  const Bytes jpeg = MakeJpeg(Quarters(16, 16)), png = MakePng(Quarters(16, 16), PngKind::Rgb);
  LayBytes(L"\\a.jpg", jpeg);
  LayBytes(L"\\b.png", png);
  QvMessageRecord made;
  made.htmlText = L"<p>夏のご挨拶</p><img src=\"cid:a@x\"><img src=\"cid:b@x\">";
  made.inlineFiles.Add(L"\\a.jpg", L"a.jpg", L"image/jpeg", L"cid:a@x");
  made.inlineFiles.Add(L"\\b.png", L"b.png", L"image/png", L"cid:b@x");
  ASSERT_TRUE(SaveHtmlTemplate(made, std::wstring(kFolder) + L"\\a-summer.whm"));
  Lay(std::wstring(kFolder) + L"\\b-big.whm", 10 * 1024 * 1024);
  LayBytes(std::wstring(kFolder) + L"\\c-bad.whm", Bytes{'<', 's', 'c', 'r', 'i', 'p', 't', '>'});
  struct Case {
    const char* what;
    int item;
    bool previewOk;
    INT_PTR result;
    std::vector<std::wstring> boxes;
  };
  const Case cases[] = {
      {"taken after the preview, the PNG dropped", 0, true, 1, {Res(20199)}},
      {"the preview cancelled: the browser stays", 0, false, 2, {Res(20199)}},
      {"10 MB is refused unread", 1, true, 2, {Res(20198)}},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    QvTemplateFileBrowser chooser;
    bool previewed = false;
    std::vector<std::function<void(QvFileBrowser&)>> steps{Pick(c.item)};
    if (c.item == 0) {
      steps.push_back([&previewed, ok = c.previewOk](QvFileBrowser&) {
        previewed = true;
        ::PostMessageW(GetActiveWindow(), WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
      });
    }
    std::wstring path;
    EXPECT_EQ(Choose(chooser, QvTemplateFileBrowser::kChoose, &path, steps), c.result) << c.what;
    EXPECT_EQ(previewed, c.item == 0) << c.what;
    EXPECT_EQ(boxes_, c.boxes) << c.what;
    if (c.result != 1) continue;
    EXPECT_EQ(path, std::wstring(kFolder) + L"\\a-summer.whm");
    EXPECT_NE(std::wstring(chooser.Record().htmlText.GetString()).find(L"夏のご挨拶"), std::wstring::npos);
    EXPECT_EQ(chooser.Record().inlineFiles.GetCount(), 1u);
  }
  // Not a template: the engine's box, then the chooser's.
  boxes_.clear();
  QvTemplateFileBrowser chooser;
  std::wstring path;
  EXPECT_EQ(Choose(chooser, QvTemplateFileBrowser::kChoose, &path, {Pick(2)}), 2);
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_.back(), Res(20207));
}

}  // namespace
}  // namespace qv::test
