// The "HtmlEditCtrl" window through its messages: what each private message
// answers, the notifications it sends its parent and in which order, edit
// scripts with the HTML they leave, and the pictures of decorated mail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "outside/Markwright/HtmlEditCtrl.h"
#include "outside/Markwright/QvHtmlFileList.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/UiTest.h"
#include "tests/support/TestImages.h"

namespace {

using qv::test::UiTest;

COLORREF ScreenAtPixel(int x, int y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); }

struct Event {
  UINT message;
  UINT code;  // notification code, command code, or wParam of the part reports
  bool operator==(const Event&) const = default;
};

class HtmlControl : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    InitializeHtmlEditCtrl(nullptr, 0);
    parent_ = Make(WS_POPUP | WS_VISIBLE);
    qv::test::CurrentHandler() = [this](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
      if (h != parent_) return std::nullopt;
      if (m == WM_NOTIFY) {
        auto* n = reinterpret_cast<NMHTMLEDIT*>(l);
        events_.push_back({m, n->hdr.code});
        if (n->hdr.code == HEN_RESOLVE) {
          asked_.push_back(n->text);
          const std::wstring ref = n->text;
          if (ref == L"cid:logo" || ref == L"cid:photo") wcsncpy(n->buffer, picture_.c_str(), HTMLEDIT_MAXPATH);
        }
        if (n->hdr.code == HEN_IMAGECHECK) return refuse_ ? 1 : 0;
        if (n->hdr.code == HEN_FORMAT) {
          lastFormat_ = n->format;
          lastParagraph_ = n->paragraph;
        }
        return 0;
      }
      if (m == WM_COMMAND) events_.push_back({m, HIWORD(w)});
      if (m == HEN_PARTDROPPED || m == HEN_PARTSCHANGED) events_.push_back({m, static_cast<UINT>(w)});
      return std::nullopt;
    };
    picture_ = L"\\pic.png";
    WriteBytes(picture_, ToString(qv::test::MakePng(qv::test::Quarters(60, 40), qv::test::PngKind::Rgb)));
  }
  void TearDown() override {
    if (ctrl_) DestroyWindow(ctrl_);
    DestroyWindow(parent_);
    UiTest::TearDown();
  }
  static std::string ToString(const qv::test::Bytes& b) { return std::string(b.begin(), b.end()); }

  HWND Create(DWORD style = 0, RECT r = {0, 0, 480, 800}) {
    ctrl_ = CreateWindowExW(0, HTMLEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                            r.bottom - r.top, parent_, reinterpret_cast<HMENU>(1070), nullptr, nullptr);
    return ctrl_;
  }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(ctrl_, m, w, l); }
  void Load(const std::wstring& html) { Send(HEM_LOADHTML, reinterpret_cast<WPARAM>(html.c_str())); }
  std::wstring Html() {
    std::wstring out(static_cast<size_t>(Send(HEM_GETHTML)) + 1, L'\0');
    out.resize(static_cast<size_t>(Send(HEM_GETHTML, out.size(), reinterpret_cast<LPARAM>(out.data()))));
    return out;
  }
  CHARRANGE Sel() {
    CHARRANGE r{};
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
  }
  void SavePng(const char* name) {
    Pump();
    UpdateWindow(parent_);
    const char* dir = getenv("QV_BINARY_DIR");
    EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/" + name));
  }
  static COLORREF ScreenAt(int x, int y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); }

  HWND parent_ = nullptr;
  HWND ctrl_ = nullptr;
  std::vector<Event> events_;
  std::vector<std::wstring> asked_;
  std::wstring picture_;
  bool refuse_ = false;
  QvCharFormat lastFormat_;
  int lastParagraph_ = 0;
};

// Each message with its answer, in one running document.
TEST_F(HtmlControl, MessagesAnswerAsDocumented) {
  Create();
  Load(L"<div>ab <a href='http://x.jp/'>link</a> <a href='MAILTO:a@b'>m</a></div><div align=right>cd</div>");
  CHARRANGE all{0, -1};
  POINT caret{};
  RECT rect{};
  wchar_t buffer[HTMLEDIT_MAXLINK] = {};
  struct Step {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT answer;
  };
  const Step steps[] = {
      {HEM_GETTEXTLENGTH, 0, 0, 13},                           // "ab link m" CR LF "cd"
      {WM_GETTEXTLENGTH, 0, 0, 13},
      {EM_GETLINECOUNT, 0, 0, 2},
      {EM_EXLINEFROMCHAR, 0, 12, 1},
      {HEM_LINKATCHAR, 3, reinterpret_cast<LPARAM>(buffer), 2},  // http: kind 2
      {HEM_LINKATCHAR, 8, reinterpret_cast<LPARAM>(buffer), 1},  // mailto: in any case, kind 1
      {HEM_LINKATCHAR, 0, reinterpret_cast<LPARAM>(buffer), 0},
      {HEM_GETLINKLENGTH, 0, 0, 0},                            // no link focused yet
      {HEM_SELECTLINK, 1, 0, TRUE},
      {HEM_GETLINKLENGTH, 0, 0, 10},                           // "MAILTO:a@b"
      {HEM_SELECTLINK, 2, 0, FALSE},
      {EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all), 12},
      {HEM_GETSELECTION, 0, reinterpret_cast<LPARAM>(&all), 12},
      {HEM_GETCARETPOS, 0, reinterpret_cast<LPARAM>(&caret), MAKELONG(0, 0)},  // filled below
      {HEM_GETLINKRECT, 0, reinterpret_cast<LPARAM>(&rect), TRUE},
      {HEM_FOCUSLASTLINK, 0, 0, TRUE},
  };
  for (const Step& s : steps) {
    const LRESULT got = Send(s.message, s.wParam, s.lParam);
    if (s.message != HEM_GETCARETPOS) {
      EXPECT_EQ(got, s.answer) << "message 0x" << std::hex << s.message;
    }
  }
  EXPECT_EQ(std::wstring(buffer), L"MAILTO:a@b");
  EXPECT_GT(caret.x, 200) << "the caret stands at the end of the right-aligned line";
  EXPECT_GT(rect.right, rect.left);
  EXPECT_LT(rect.top, 40);
}

TEST_F(HtmlControl, LinkFocusStepsInDocumentOrderAndStopsAtTheEnds) {
  Create(ES_READONLY);
  Send(HEM_READINGMODE);
  Load(L"<a href='http://a/'>A</a> x <a href='tel:1'>B</a><br><a href='image:c'>C</a>");
  RECT none{};
  Send(HEM_GETLINKRECT, 0, reinterpret_cast<LPARAM>(&none));
  EXPECT_EQ(none.left, -1);
  EXPECT_EQ(none.bottom, -1);
  RECT view{0, 0, 480, 800};
  const std::pair<WPARAM, std::wstring> moves[] = {{0, L"http://a/"}, {0, L"tel:1"}, {0, L"image:c"}, {0, L""},
                                                   {1, L"tel:1"},     {1, L"http://a/"}, {1, L""}};
  std::wstring focused;
  for (const auto& [direction, expect] : moves) {
    const LRESULT moved = Send(HEM_MOVELINKFOCUS, direction, reinterpret_cast<LPARAM>(&view));
    wchar_t text[64] = {};
    Send(HEM_GETLINKTEXT, 64, reinterpret_cast<LPARAM>(text));
    if (expect.empty()) {
      EXPECT_EQ(moved, FALSE) << "no move at the end";
      EXPECT_EQ(std::wstring(text), focused) << "the focus stays";
    } else {
      EXPECT_EQ(moved, TRUE);
      EXPECT_EQ(std::wstring(text), expect);
      focused = expect;
    }
  }
  RECT below{0, 600, 480, 800};
  EXPECT_EQ(Send(HEM_MOVELINKFOCUS, 0, reinterpret_cast<LPARAM>(&below)), FALSE) << "a link outside the area is no move";
}

TEST_F(HtmlControl, InsertedImageNotifiesThenChecksAndMayBeRefused) {
  Create();
  Load(L"<div>x</div>");
  events_.clear();
  refuse_ = true;
  Send(HEM_INSERTIMAGE, 0, reinterpret_cast<LPARAM>(picture_.c_str()));
  EXPECT_EQ(events_, (std::vector<Event>{{WM_NOTIFY, HEN_IMAGEINSERTING}, {WM_NOTIFY, HEN_IMAGECHECK}}));
  EXPECT_EQ(Html(), L"<div>x</div>") << "a refused picture is not inserted";
  events_.clear();
  refuse_ = false;
  Send(HEM_CARETTOEND);
  events_.clear();
  Send(HEM_INSERTIMAGE, 0, reinterpret_cast<LPARAM>(picture_.c_str()));
  ASSERT_GE(events_.size(), 2u);
  EXPECT_EQ(events_[0], (Event{WM_NOTIFY, HEN_IMAGEINSERTING}));
  EXPECT_EQ(events_[1], (Event{WM_NOTIFY, HEN_IMAGECHECK}));
  EXPECT_NE(std::find(events_.begin(), events_.end(), Event{WM_COMMAND, HEN_HEIGHTCHANGED}), events_.end())
      << "a picture taller than the line changes the content height";
  EXPECT_NE(std::find(events_.begin(), events_.end(), Event{WM_COMMAND, EN_CHANGE}), events_.end());
  EXPECT_EQ(Html(), L"<div>x<img src=\"\\pic.png\"></div>");
}

TEST_F(HtmlControl, FormatReportFollowsTheCaret) {
  Create();
  SetFocus(ctrl_);
  Load(L"<div>a<b>b</b><font size=6 color='#0000ff'>c</font></div><div align=center><marquee>d</marquee></div>");
  struct Case {
    LONG caret;
    int size;
    unsigned long attrs;
    unsigned long color;
    int paragraph;
  };
  const Case cases[] = {{1, 3, 0, 0, 1}, {2, 3, QVCF_BOLD, 0, 1}, {3, 6, 0, 0xFF0000, 1}, {5, 3, 0, 0, 4}};
  for (const Case& c : cases) {
    CHARRANGE r{c.caret, c.caret};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(lastFormat_.GetFontSize(), c.size) << c.caret;
    EXPECT_EQ(lastFormat_.GetAttribute(), c.attrs) << c.caret;
    EXPECT_EQ(lastFormat_.GetColorRef(), c.color) << c.caret;
    EXPECT_EQ(lastParagraph_, c.paragraph) << c.caret;
  }
  Send(HEM_LEAVEDECORATION);
  lastParagraph_ = -7;
  CHARRANGE r{1, 1};
  Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(lastParagraph_, -7) << "no reports after leaving decoration mode";
}

// Edit scripts: keys, characters and formats across run boundaries, with
// the HTML and the caret they leave.
TEST_F(HtmlControl, EditScriptsKeepModelAndCaret) {
  struct Op {
    enum Kind { kChar, kKey, kSel, kFormat, kColor, kPara, kRule, kAppend, kReplace, kMsg } kind;
    WPARAM a = 0;
    LPARAM b = 0;
    const wchar_t* text = nullptr;
  };
  struct Script {
    const wchar_t* html;
    std::vector<Op> ops;
    const wchar_t* expect;
    LONG caret;
  };
  QvCharFormat bold;
  bold.SetAttribute(QVCF_BOLD);
  QvCharFormat big;
  big.SetFontSize(7);
  const Script scripts[] = {
      {L"<div>ab</div>", {{Op::kSel, 1, 1}, {Op::kChar, L'X'}}, L"<div>aXb</div>", 2},
      {L"<div>a<b>b</b></div>", {{Op::kSel, 2, 2}, {Op::kChar, L'c'}}, L"<div>a<b>bc</b></div>", 3},
      {L"<div>a<b>b</b></div>", {{Op::kSel, 1, 1}, {Op::kChar, L'c'}}, L"<div>ac<b>b</b></div>", 2},
      {L"<div>abc</div>", {{Op::kSel, 1, 3}, {Op::kFormat, QVCF_BOLD, reinterpret_cast<LPARAM>(&bold)}},
       L"<div>a<b>bc</b></div>", 3},
      {L"<div>a<b>bc</b>d</div>", {{Op::kSel, 0, 4}, {Op::kFormat, QVCF_BOLD, reinterpret_cast<LPARAM>(&bold)}},
       L"<div><b>abcd</b></div>", 4},
      {L"<div>abcd</div>", {{Op::kSel, 1, 3}, {Op::kFormat, QVCF_SIZE, reinterpret_cast<LPARAM>(&big)}},
       L"<div>a<font size=\"7\">bc</font>d</div>", 3},
      {L"<div>ab</div>", {{Op::kSel, 1, 1}, {Op::kFormat, QVCF_BOLD, reinterpret_cast<LPARAM>(&bold)}, {Op::kChar, L'Z'}},
       L"<div>a<b>Z</b>b</div>", 2},
      {L"<div>ab</div>", {{Op::kSel, 1, 1}, {Op::kChar, L'\r'}}, L"<div>a</div><div>b</div>", 2},
      {L"<div>a</div><div>b</div>", {{Op::kSel, 2, 2}, {Op::kChar, VK_BACK}}, L"<div>ab</div>", 1},
      {L"<div>a<b>bc</b>d</div>", {{Op::kSel, 2, 4}, {Op::kChar, VK_BACK}}, L"<div>a<b>b</b></div>", 2},
      {L"<div>abc</div>", {{Op::kSel, 1, 1}, {Op::kKey, VK_DELETE}}, L"<div>ac</div>", 1},
      {L"<div>abc</div>", {{Op::kSel, 0, 0}, {Op::kKey, VK_RIGHT}, {Op::kKey, VK_RIGHT}, {Op::kChar, L'-'}},
       L"<div>ab-c</div>", 3},
      {L"<div>ab</div>", {{Op::kSel, 0, 2}, {Op::kColor, 0x0000FF}}, L"<div><font color=\"#ff0000\">ab</font></div>", 2},
      {L"<div>a</div><div>b</div>", {{Op::kSel, 0, 2}, {Op::kPara, 2}}, L"<div align=\"center\">a</div><div align=\"center\">b</div>", 2},
      {L"<div>a</div>", {{Op::kSel, 0, 0}, {Op::kPara, 4}}, L"<div><marquee>a</marquee></div>", 0},
      // A rule at the end leaves an empty paragraph for the caret after it.
      {L"<div>a</div>", {{Op::kSel, 1, 1}, {Op::kRule}}, L"<div>a</div><hr><div><br></div>", 4},
      {L"<div>a</div>", {{Op::kAppend, 0, 0, L"\r\nsig"}}, L"<div>a</div><div>sig</div>", 0},
      {L"<div>ab</div>", {{Op::kSel, 1, 1}, {Op::kChar, L' '}, {Op::kChar, L' '}}, L"<div>a&nbsp;&nbsp;b</div>", 3},
      // The pads' text replaces the selection in the typing format; cut and paste keep the text.
      {L"<div><b>ab</b>c</div>", {{Op::kSel, 1, 1}, {Op::kReplace, 0, 0, L"\uE63Ex"}}, L"<div><b>a\uE63Exb</b>c</div>", 3},
      {L"<div>abc</div>", {{Op::kSel, 0, 1}, {Op::kMsg, WM_CUT}, {Op::kSel, 2, 2}, {Op::kMsg, WM_PASTE}},
       L"<div>bca</div>", 3},
  };
  Create();
  for (const Script& s : scripts) {
    Load(s.html);
    for (const Op& op : s.ops) {
      switch (op.kind) {
        case Op::kChar: Send(WM_CHAR, op.a); break;
        case Op::kKey: Send(WM_KEYDOWN, op.a); break;
        case Op::kSel: {
          CHARRANGE r{static_cast<LONG>(op.a), static_cast<LONG>(op.b)};
          Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
          break;
        }
        case Op::kFormat: Send(HEM_SETCHARFORMAT, op.a, op.b); break;
        case Op::kColor: Send(HEM_SETCOLOR, op.a); break;
        case Op::kPara: Send(HEM_PARAGRAPHON, op.a); break;
        case Op::kRule: Send(HEM_INSERTRULE); break;
        case Op::kAppend: Send(HEM_APPENDTEXT, 0, reinterpret_cast<LPARAM>(op.text)); break;
        case Op::kReplace: Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(op.text)); break;
        case Op::kMsg: Send(static_cast<UINT>(op.a)); break;
      }
    }
    EXPECT_EQ(Html(), s.expect) << s.html;
    EXPECT_EQ(Sel().cpMax, s.caret) << s.html;
  }
}

TEST_F(HtmlControl, HeightChangeIsReportedOnlyWhenItChanges) {
  Create();
  Load(L"<div>a</div>");
  int record[2] = {0, 0};
  Send(HEM_SETRECORD, reinterpret_cast<WPARAM>(record));
  events_.clear();
  Send(WM_CHAR, L'b');
  EXPECT_EQ(std::count(events_.begin(), events_.end(), Event{WM_COMMAND, HEN_HEIGHTCHANGED}), 0);
  Send(WM_CHAR, L'\r');
  EXPECT_EQ(std::count(events_.begin(), events_.end(), Event{WM_COMMAND, HEN_HEIGHTCHANGED}), 1);
  // A larger base font makes every line taller.
  const int before = record[1];
  LOGFONTW lf{};
  lf.lfHeight = -40;
  wcscpy(lf.lfFaceName, L"ＭＳ Ｐゴシック");
  HFONT big = CreateFontIndirectW(&lf);
  events_.clear();
  Send(WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
  EXPECT_EQ(std::count(events_.begin(), events_.end(), Event{WM_COMMAND, HEN_HEIGHTCHANGED}), 1);
  EXPECT_GT(record[1], before + 20);
  EXPECT_EQ(Send(WM_GETFONT), reinterpret_cast<LRESULT>(big));
  DestroyWindow(ctrl_);
  ctrl_ = nullptr;
  qv::ScopedGdiObject<HFONT> owner(big);
}

TEST_F(HtmlControl, PicturesComeOnlyFromTheParentOrTheMessageFolder) {
  Create(ES_READONLY);
  QvHtmlFileList inline_files;
  MakeDir(L"\\msg");
  WriteBytes(L"\\msg\\own.png", ToString(qv::test::MakePng(qv::test::Quarters(20, 20), qv::test::PngKind::Rgb)));
  inline_files.Add(L"\\msg\\part1.png", L"part1.png", L"image/png", L"cid:listed");
  WriteBytes(L"\\msg\\part1.png", ToString(qv::test::MakePng(qv::test::Quarters(30, 30), qv::test::PngKind::Rgb)));
  Send(HEM_SETFILELISTS, reinterpret_cast<WPARAM>(&inline_files), 0);
  Load(L"<img src='cid:logo'><img src='cid:listed'><img src='own.png'><img src='http://remote/x.png'>"
       L"<img src='file:///etc/passwd'><img src='..\\up.png'>");
  SavePng("markwright-sources.png");
  EXPECT_EQ(asked_, (std::vector<std::wstring>{L"cid:logo", L"cid:listed", L"own.png"}))
      << "only local references are asked for, each once";
  // A picture outside the message's folder, named every way a mail could try.
  qv::test::Pixels secret;
  secret.width = secret.height = 24;
  secret.argb.assign(24 * 24, 0xFFFF00FF);
  WriteBytes(L"\\secret.png", ToString(qv::test::MakePng(secret, qv::test::PngKind::Rgb)));
  asked_.clear();
  Load(L"<img src='..\\secret.png'><img src='/secret.png'><img src='\\secret.png'><img src='file:///secret.png'>"
       L"<img src='file:secret.png'><img src='secret.png'><img src='cid:../secret.png'><img src='x/../../secret.png'>");
  Pump();
  UpdateWindow(parent_);
  int magenta = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 480; ++x) magenta += ScreenAt(x, y) == RGB(255, 0, 255) ? 1 : 0;
  EXPECT_EQ(magenta, 0) << "no picture outside the message's folder is drawn";
  EXPECT_EQ(asked_, (std::vector<std::wstring>{L"secret.png", L"cid:../secret.png"}));
}

TEST_F(HtmlControl, RemovedInlinePartsAreReportedByTheirIndex) {
  Create();
  QvHtmlFileList files;
  files.Add(L"\\msg\\a.png", L"a.png", L"image/png", L"cid:a");
  files.Add(L"\\msg\\b.png", L"b.png", L"image/png", L"cid:b");
  Send(HEM_SETFILELISTS, reinterpret_cast<WPARAM>(&files), 0);
  Load(L"<div>x<img src='cid:a'>y<img src='cid:b'></div>");
  events_.clear();
  CHARRANGE r{3, 4};
  Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  Send(WM_KEYDOWN, VK_DELETE);
  std::vector<Event> parts;
  for (const Event& e : events_) {
    if (e.message == HEN_PARTDROPPED || e.message == HEN_PARTSCHANGED) parts.push_back(e);
  }
  EXPECT_EQ(parts, (std::vector<Event>{{HEN_PARTDROPPED, 1}, {HEN_PARTSCHANGED, 1}}));
  events_.clear();
  Send(WM_CHAR, L'z');
  for (const Event& e : events_) EXPECT_NE(e.message, static_cast<UINT>(HEN_PARTDROPPED)) << "reported once";
}

}  // namespace

namespace {

// Lines break as DrawText breaks them: Latin at blanks, Japanese between any
// two characters, never before closing marks or small kana.
TEST_F(HtmlControl, LinesBreakTheJapaneseWay) {
  Create(ES_READONLY, {0, 0, 130, 400});
  struct Case {
    const wchar_t* text;
    const wchar_t* never_first;  // characters no line may start with
  };
  const Case cases[] = {
      {L"あいうえお、かきくけこ。さしすせそ」たちつてと。なにぬねの", L"、。」"},
      {L"きゃきゅきょっとちゃちゅちょっとにゃにゅにょっと", L"ゃゅょっ"},
      {L"alpha beta gamma delta epsilon zeta", L" "},
  };
  for (const Case& c : cases) {
    Load(std::wstring(L"<div>") + c.text + L"</div>");
    const LRESULT lines = Send(EM_GETLINECOUNT);
    EXPECT_GE(lines, 2) << "the text wraps";
    const std::wstring text = c.text;
    for (LRESULT line = 1; line < lines; ++line) {
      const LRESULT start = Send(EM_LINEINDEX, static_cast<WPARAM>(line));
      ASSERT_GE(start, 1);
      ASSERT_LT(static_cast<size_t>(start), text.size());
      EXPECT_EQ(std::wstring(c.never_first).find(text[static_cast<size_t>(start)]), std::wstring::npos)
          << "line " << line << " starts at " << start << " with a character that may not start one";
      if (text[0] == L'a') {
        EXPECT_EQ(text[static_cast<size_t>(start) - 1], L' ') << "Latin breaks after a blank";
      }
    }
  }
}

}  // namespace

namespace {

// The messages whose answer is a state: each step's message, then what the
// control reports afterwards.
TEST_F(HtmlControl, StateMessagesLeaveTheirState) {
  Create();
  SetFocus(ctrl_);
  std::wstring lines;
  for (int i = 0; i < 60; ++i) lines += L"<div>行" + std::to_wstring(i) + L"</div>";
  Load(lines);
  int record[2] = {0, 0};
  EXPECT_EQ(Send(HEM_SETRECORD, reinterpret_cast<WPARAM>(record)), TRUE);
  EXPECT_EQ(record[0], 480);
  const int height = record[1];
  EXPECT_GT(height, 800) << "sixty lines are taller than the view";
  Send(WM_CHAR, L'\r');
  EXPECT_GT(record[1], height) << "the record follows the content height";

  struct Step {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LONG selMin, selMax;  // the selection after it
  };
  CHARRANGE start{0, 0};
  const Step steps[] = {
      {EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start), 0, 0},
      {HEM_SELECTIONMODE, 1, 0, 0, 0},
      {WM_KEYDOWN, VK_RIGHT, 0, 0, 1},
      {WM_KEYDOWN, VK_RIGHT, 0, 0, 2},  // selection mode extends
      {HEM_SELECTIONMODE, 0, 0, 0, 2},
      {WM_KEYDOWN, VK_RIGHT, 0, 2, 2},  // and off again collapses
      {HEM_CARETTOEND, 0, 0, -1, -1},   // -1: the text's length
  };
  for (const Step& s : steps) {
    Send(s.message, s.wParam, s.lParam);
    const CHARRANGE r = Sel();
    // Between the 61 paragraphs 60 ends, each CR LF in the plain text.
    const LONG length = static_cast<LONG>(Send(HEM_GETTEXTLENGTH)) - 60;
    EXPECT_EQ(r.cpMin, s.selMin < 0 ? length : s.selMin) << "message 0x" << std::hex << s.message;
    EXPECT_EQ(r.cpMax, s.selMax < 0 ? length : s.selMax) << "message 0x" << std::hex << s.message;
  }
  EXPECT_GT(HIWORD(Send(HEM_GETCARETSIZE)), 10);
  EXPECT_EQ(Send(EM_SETEVENTMASK, 0, 0), static_cast<LRESULT>(ENM_CHANGE)) << "changes are announced by default";
  events_.clear();
  Send(WM_CHAR, L'x');
  EXPECT_EQ(std::count(events_.begin(), events_.end(), Event{WM_COMMAND, EN_CHANGE}), 0);
  // Scrolling: the character at the top-left follows EM_LINESCROLL, and the
  // caret goes to the first visible line.
  POINTL topLeft{10, 10};
  Send(EM_LINESCROLL, 0, -1000);
  EXPECT_EQ(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&topLeft)), 0);
  Send(EM_LINESCROLL, 0, 10);
  const LRESULT top = Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&topLeft));
  EXPECT_GT(top, 20);
  Send(HEM_CARETTOTOP);
  EXPECT_EQ(Sel().cpMin, top - 3) << "the first visible line starts before the character under (10, 10)";
  // Reading mode: no caret, typing changes nothing.
  Send(HEM_READINGMODE);
  const std::wstring before = Html();
  Send(WM_CHAR, L'y');
  EXPECT_EQ(Html(), before);
}

}  // namespace

namespace {

// Blinking text shows and hides every half second on the UI clock; the
// rest stays.
TEST_F(HtmlControl, BlinkingTextShowsAndHides) {
  Create(ES_READONLY, {0, 0, 480, 200});
  Load(L"<div><font color='#ff0000'>■■■</font><blink><font color='#0000ff'>■■■</font></blink></div>");
  auto count = [](COLORREF color) {
    int n = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 480; ++x) n += ScreenAt(x, y) == color ? 1 : 0;
    return n;
  };
  const int shownOrder[] = {1, 0, 1, 0};
  Pump();
  for (int phase : shownOrder) {
    UpdateWindow(parent_);
    EXPECT_GT(count(RGB(255, 0, 0)), 50) << "plain text stays";
    if (phase) {
      EXPECT_GT(count(RGB(0, 0, 255)), 50);
    } else {
      EXPECT_EQ(count(RGB(0, 0, 255)), 0);
    }
    qv::seams::AdvanceUiClock(500);
    Pump();
  }
  Load(L"<div>no blinking</div>");
  Pump();
  qv::seams::AdvanceUiClock(500);
  EXPECT_EQ(Pump(), 0) << "the timer stops with the last blinking text";
}

}  // namespace

namespace {

// The leftmost column of a colour in the top rows; -1 when it is not there.
int LeftmostOf(COLORREF color, int rows) {
  for (int x = 0; x < 480; ++x)
    for (int y = 0; y < rows; ++y)
      if (ScreenAtPixel(x, y) == color) return x;
  return -1;
}

// Scrolling paragraphs move right to left, swinging ones side to side, in a
// read-only control; in an edited one they stand where the caret expects them.
TEST_F(HtmlControl, MovingParagraphsMoveOnlyWhileRead) {
  for (const bool readOnly : {true, false}) {
    Create(readOnly ? ES_READONLY : 0, {0, 0, 480, 100});
    Load(L"<marquee><font color='#ff0000'>■■</font></marquee><marquee behavior=alternate><font color='#0000ff'>■■</font></marquee>");
    // Timer messages do not pile up: the clock goes on a step at a time.
    auto steps = [this](int n) {
      for (int i = 0; i < n; ++i) {
        qv::seams::AdvanceUiClock(100);
        Pump();
      }
      UpdateWindow(parent_);
    };
    steps(10);
    const int scroll0 = LeftmostOf(RGB(255, 0, 0), 50), swing0 = LeftmostOf(RGB(0, 0, 255), 100);
    steps(10);
    const int scroll1 = LeftmostOf(RGB(255, 0, 0), 50), swing1 = LeftmostOf(RGB(0, 0, 255), 100);
    if (readOnly) {
      EXPECT_GT(scroll0, 380) << "scrolling text has left at the left and comes back at the right";
      EXPECT_LT(scroll1, scroll0 - 40) << "and moves left";
      EXPECT_GT(swing1, swing0 + 40) << "swinging text moves right first";
    } else {
      EXPECT_EQ(scroll1, scroll0);
      EXPECT_LT(scroll0, 20) << "at the margin";
      EXPECT_EQ(swing1, swing0);
    }
    DestroyWindow(ctrl_);
    ctrl_ = nullptr;
  }
}

}  // namespace

namespace {

// A compose body in edit mode: formats typed in, a selection across two
// paragraphs, the caret, a rule and a picture; drawn for people to look at.
TEST_F(HtmlControl, EditModePicture) {
  Create(0, {0, 0, 480, 400});
  SetFocus(ctrl_);
  Load(L"<div>こんにちは。<b>太字</b>と<font color='#ff0000'>赤</font>と<u>下線</u></div>"
       L"<div align=center><font size=5>中央の大きな文字</font></div><div align=right>右寄せ <a href='http://x.jp/'>リンク</a></div>");
  Send(HEM_CARETTOEND);
  Send(HEM_INSERTRULE);
  Send(HEM_INSERTIMAGE, 0, reinterpret_cast<LPARAM>(picture_.c_str()));
  for (wchar_t c : std::wstring(L"続けて入力")) Send(WM_CHAR, c);
  CHARRANGE r{3, 20};
  Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  SavePng("markwright-edit.png");
  // The selection is drawn in the highlight colour from its first line to its last.
  POINT from{}, to{};
  Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&from), 3);
  Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&to), 19);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(ScreenAt(from.x + 3, from.y + 3), highlight);
  EXPECT_EQ(ScreenAt(to.x + 3, to.y + 3), highlight);
  EXPECT_NE(ScreenAt(from.x - 6, from.y + 3), highlight) << "before the selection";
}

}  // namespace

namespace {

// A document past the model's bound is cut there, and the parent is told.
constexpr size_t kBig = 2200000;

TEST_F(HtmlControl, TooLargeADocumentIsCutAndReported) {
  Create(ES_READONLY);
  std::vector<UINT> errors;
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == parent_ && m == HEN_DOCUMENTERROR) errors.push_back(m);
    return std::nullopt;
  };
  Load(std::wstring(L"<div>") + std::wstring(kBig, L'x'));
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_LT(Send(HEM_GETTEXTLENGTH), static_cast<LRESULT>(kBig));
  Load(L"<div>small</div>");
  EXPECT_EQ(errors.size(), 1u);
}

}  // namespace

namespace {

// With the scroll-bar style the bar follows the content and the view.
TEST_F(HtmlControl, ScrollBarFollowsContentAndView) {
  Create(WS_VSCROLL | ES_READONLY, {0, 0, 480, 300});
  std::wstring lines;
  for (int i = 0; i < 60; ++i) lines += L"<div>行" + std::to_wstring(i) + L"</div>";
  Load(lines);
  int record[2] = {0, 0};
  Send(HEM_SETRECORD, reinterpret_cast<WPARAM>(record));
  SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(ctrl_, SB_VERT, &si));
  EXPECT_EQ(si.nMax, record[1] - 1);
  RECT client{};
  GetClientRect(ctrl_, &client);
  EXPECT_EQ(si.nPage, static_cast<UINT>(client.bottom));
  EXPECT_EQ(si.nPos, 0);
  Send(WM_VSCROLL, SB_PAGEDOWN);
  GetScrollInfo(ctrl_, SB_VERT, &si);
  EXPECT_EQ(si.nPos, client.bottom);
  Send(WM_VSCROLL, SB_BOTTOM);
  GetScrollInfo(ctrl_, SB_VERT, &si);
  EXPECT_EQ(si.nPos, record[1] - client.bottom);
}

}  // namespace
