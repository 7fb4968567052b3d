// The input pads, the colour pads, the decoration bar, the rotation dialog,
// the HTML preview and the template chooser's checks, run modally over a
// scripted frame with the program's resources. Pictures of each window go to
// composetools-*.png in the build folder.
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
#include "tests/app/foundation/BoxSession.h"

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
void Key(BYTE vk) {
  qv::seams::InjectKey(vk, true);
  qv::seams::InjectKey(vk, false);
}
void Command(UINT id) { ::PostMessageW(GetActiveWindow(), WM_COMMAND, id, 0); }

class ComposeTools : public ProgramFrameTest {
 protected:
  void SetUp() override {
    ProgramFrameTest::SetUp();
    ASSERT_TRUE(target_.CreateEx(0, AfxRegisterWndClass(0), L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 200, *frame_, nullptr));
  }
  void TearDown() override {
    CInputPad::SetProgramFolder(L"");
    ProgramFrameTest::TearDown();
  }
  void WriteDeviceFile(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ + "/" + name, std::ios::binary) << bytes;
  }
  static std::string Utf16(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return out;
  }
  // The warnings shown while `run` runs, each answered.
  std::vector<std::wstring> Boxes(const std::function<void()>& run) {
    std::vector<std::wstring> texts;
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetMessageBoxShownHandler([&](HWND box) {
      WCHAR text[512];
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      texts.push_back(text);
      Key(VK_RETURN);
    });
    run();
    return texts;
  }
  std::wstring Res(UINT id) const {
    WCHAR text[512];
    return LoadStringW(res_, id, text, 512) > 0 ? text : L"";
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
  const std::wstring longLine(200, L'k'), pairLine = std::wstring(126, L'k') + L"\U0001F600";
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
  };
  (void)pairLine;
  for (const Case& c : cases) {
    WriteDeviceFile("FaceMark.pad", c.bytes);
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadTemplateFile(L"\\FaceMark.pad", &lines));
    EXPECT_EQ(lines, c.want) << c.bytes.size();
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
      {"closed", kPadPictureChar, {[] { Command(kPadCloseCommand); }}, FALSE, L"", {}, {}, 0},
      {"a face mark with Enter", kPadTemplate, {keys({VK_DOWN, VK_RETURN})}, TRUE, L"あいう", {{2, L"あいう"}}, {}, 0},
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
  EXPECT_EQ(missing.CreateInputPad(kPadPictureChar, &target_), FALSE);
  SetPictureCharLibraryNames(nullptr, nullptr);
  // A missing face-mark file: the message, and nothing picked.
  CInputPad::SetProgramFolder(L"\\nowhere\\");
  CInputPad pad;
  int result = -1;
  EXPECT_EQ(Boxes([&] { result = pad.CreateInputPad(kPadTemplate, &target_); }), std::vector<std::wstring>{Res(20209)});
  EXPECT_EQ(result, FALSE);
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
  const RECT base = CBasicPad::DefaultRect({0, 0, 480, 800}, 52, 0);
  EXPECT_EQ(base.top, 740 - (800 - 104 - 8) / 3);
  EXPECT_EQ(CBasicPad::DefaultRect({0, 0, 480, 800}, 52, 20).bottom - CBasicPad::DefaultRect({0, 0, 480, 800}, 52, 20).top, 222);
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
        EXPECT_EQ(r.left, at.x) << c.what << i;
        EXPECT_EQ(r.top, at.y) << c.what << i;
        EXPECT_EQ(r.right - r.left, 44) << c.what << i;
        swatches.emplace_back(ScreenPixel(dlg, at.x + 22, at.y + 22), e.color);
      }
      qv::seams::SaveScreenPng(BuildFile(c.pen ? "composetools-penpad.png" : "composetools-colourpad.png"));
      if (c.end == 0) PostMessageW(dlg, kBackMessage, 0, 0);
      else if (c.end == IDOK) Command(IDOK);
      else PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(c.end, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, static_cast<int>(c.end))));
    });
    EXPECT_EQ(pad.DoModal(), c.result) << c.what;
    EXPECT_EQ(focused, c.focused) << c.what;
    EXPECT_EQ(pad.IsPicked(), c.picked) << c.what;
    EXPECT_EQ(pad.GetColor(), c.color) << c.what;
    ASSERT_EQ(swatches.size(), 24u) << c.what;
    // A few bitmaps serve both pads: they show the pen's shade of the colour.
    const auto near = [](COLORREF a, COLORREF b) {
      for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 0x10) return false;
      }
      return true;
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
      if (c.radio) CheckRadioButton(h, QvSetImageRotationDlg::kRadio90, QvSetImageRotationDlg::kRadio0, c.radio);
      UpdateWindow(h);
      if (c.radio == QvSetImageRotationDlg::kRadio90) qv::seams::SaveScreenPng(BuildFile("composetools-rotation.png"));
      PostMessageW(h, WM_COMMAND, MAKEWPARAM(QvSetImageRotationDlg::kButton, BN_CLICKED), 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetAngle(), c.angle);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].left, 5);
    EXPECT_EQ(boxes[0].top, 5);
    EXPECT_EQ(boxes[1].left, 30);
    EXPECT_EQ(boxes[1].top, boxes[0].bottom);
    EXPECT_LT(boxes[2].bottom + 5, boxes[3].top + 1);
    EXPECT_EQ(boxes[3].left, 90);
    EXPECT_EQ(boxes[3].right - boxes[3].left, 75);
  }
}

TEST_F(ComposeTools, TemplateNamesLimitsAndPictureTrimming) {
  struct Name {
    const wchar_t* name;
    bool ok;
  };
  for (const Name& n : {Name{L"挨拶", true}, Name{L"greeting.WHM", true}, Name{L"a.b.whm", false}, Name{L"a.b", false},
                        Name{L"a/b", false}, Name{L"tab\t", false}, Name{L"del\x7f", false}, Name{L"x{1}", false}}) {
    EXPECT_EQ(QvTemplateFileBrowser::IsValidSaveName(n.name), n.ok) << n.name;
  }
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
  const Bytes red = MakeJpeg([] {
    Pixels p{64, 64, std::vector<DWORD>(64 * 64, kRed)};
    return p;
  }());
  WriteDeviceFile("red.jpg", std::string(red.begin(), red.end()));
  QvMessageRecord record;
  record.htmlText = L"<p>テンプレート</p><img src=\"CID:Red@Part\">";
  record.inlineFiles.Add(L"\\red.jpg", L"red.jpg", L"image/jpeg", L"cid:red@part");
  struct Ref {
    const wchar_t* ref;
    std::wstring want;
  };
  for (const Ref& r : {Ref{L"cid:RED@part", L"\\red.jpg"}, Ref{L"red@part", L""}, Ref{L"cid:other", L""}}) {
    EXPECT_EQ(QvHtmlPreviewDlg::ResolveReference(record, r.ref), r.want) << r.ref;
  }
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

}  // namespace
}  // namespace qv::test
