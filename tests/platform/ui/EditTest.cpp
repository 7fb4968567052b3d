// The text fields: "Edit" and "RICHEDIT50W" through their messages and the
// device's input, with the parent's notifications as message tables.
#include "platform/base/WideText.h"
#include "platform/gdi/Surface.h"
#include "platform/kernel/Library.h"
#include "platform/ui/window/ScopedGetDC.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

class Edits : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    LOGFONTW lf{};
    lf.lfHeight = -28;
    lf.lfCharSet = 1;
    wcscpy(lf.lfFaceName, L"ＭＳ Ｐゴシック");
    font_ = CreateFontIndirectW(&lf);
    parent_ = Make(WS_POPUP | WS_VISIBLE);
  }
  void TearDown() override {
    DialogTest::TearDown();
    DeleteObject(font_);
  }
  HWND Field(const wchar_t* cls, DWORD style, RECT r = {10, 10, 310, 60}, const wchar_t* text = L"", int id = 5) {
    HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetFocus(h);
    Pump();
    return h;
  }
  // Typed through the device's text input, as the user types.
  static void Type(const std::wstring& text) {
    for (wchar_t c : text) qv::ui::InjectInputMessage(WM_CHAR, static_cast<WPARAM>(c), 1);
    Pump();
  }
  static std::wstring Text(HWND h) {
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(h, s.data(), static_cast<int>(s.size()))));
    return s;
  }
  static std::pair<DWORD, DWORD> Sel(HWND h) {
    DWORD s = 0, e = 0;
    SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    return {s, e};
  }
  static std::wstring Clipboard() {
    OpenClipboard(nullptr);
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    std::wstring s = h ? static_cast<const wchar_t*>(h) : L"";
    CloseClipboard();
    return s;
  }
  static void SetClipboard(const std::wstring& text) {
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(const_cast<wchar_t*>(text.c_str())));
    CloseClipboard();
  }
  static MsgEntry Command(HWND h, int code) {
    return {WM_COMMAND, seq::sent | seq::parent | seq::wparam | seq::lparam, MAKEWPARAM(GetDlgCtrlID(h), code),
            reinterpret_cast<LPARAM>(h)};
  }
  void Quiet() {
    log_.Ignore({WM_GETDLGCODE, WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC, WM_ERASEBKGND, WM_NCPAINT_NONE});
    log_.Clear();
  }
  static constexpr UINT WM_NCPAINT_NONE = 0;

  HFONT font_ = nullptr;
  HWND parent_ = nullptr;
};

// A change is laid out (EN_UPDATE), shown, then reported (EN_CHANGE); a
// refused one only says the field is full.
TEST_F(Edits, TypingNotifiesUpdateThenPaintsThenChangeAndStopsAtTheLimit) {
  HWND edit = Field(WC_EDIT, ES_AUTOHSCROLL);
  SendMessageW(edit, EM_LIMITTEXT, 3, 0);
  Quiet();
  Type(L"ab");
  const MsgEntry typed[] = {{WM_CHAR, seq::posted | seq::wparam, L'a'}, Command(edit, EN_UPDATE), {WM_PAINT, seq::sent},
                            Command(edit, EN_CHANGE)};
  EXPECT_EQ(log_.Compare(edit, {typed[0], typed[1], typed[2], typed[3], {WM_CHAR, seq::posted | seq::wparam, L'b'},
                                typed[1], typed[2], typed[3]}),
            "");
  log_.Clear();
  Type(L"cd");
  EXPECT_EQ(log_.Compare(edit, {{WM_CHAR, seq::posted | seq::wparam, L'c'}, typed[1], typed[2], typed[3],
                                {WM_CHAR, seq::posted | seq::wparam, L'd'}, Command(edit, EN_MAXTEXT)}),
            "");
  EXPECT_EQ(Text(edit), L"abc");
  // The program's own text is not held to the limit.
  SetWindowTextW(edit, L"一二三四五六");
  EXPECT_EQ(Text(edit), L"一二三四五六");
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 3);
}

TEST_F(Edits, SetSelSelectsAllOrNothingAndKeepsWithinTheText) {
  HWND edit = Field(WC_EDIT, ES_AUTOHSCROLL, {10, 10, 310, 60}, L"メール本文");
  struct Case {
    int start, end;
    DWORD selStart, selEnd;
  };
  const Case cases[] = {{0, -1, 0, 5}, {1, 3, 1, 3}, {4, 2, 2, 4}, {-1, 2, 2, 2}, {2, 99, 2, 5}, {0, 0, 0, 0}, {-1, 0, 0, 0}};
  for (const Case& c : cases) {
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(c.start), c.end);
    EXPECT_EQ(Sel(edit), std::make_pair(c.selStart, c.selEnd)) << c.start << "," << c.end;
  }
}

// What each field does with the clipboard and the keys, from the same start:
// "受信トレイ" with "信トレ" selected and "貼り" on the clipboard.
TEST_F(Edits, ClipboardAndTypingByKind) {
  struct Case {
    const char* name;
    DWORD style;
    UINT message;  // or WM_CHAR typing "x"
    std::wstring text;
    std::wstring clipboard;
  };
  const Case cases[] = {
      {"copy", 0, WM_COPY, L"受信トレイ", L"信トレ"},
      {"cut", 0, WM_CUT, L"受イ", L"信トレ"},
      {"paste", 0, WM_PASTE, L"受貼りイ", L"貼り"},
      {"clear", 0, WM_CLEAR, L"受イ", L"貼り"},
      {"type", 0, WM_CHAR, L"受xイ", L"貼り"},
      {"password copy", ES_PASSWORD, WM_COPY, L"受信トレイ", L"貼り"},
      {"password cut", ES_PASSWORD, WM_CUT, L"受信トレイ", L"貼り"},
      {"read-only copy", ES_READONLY, WM_COPY, L"受信トレイ", L"信トレ"},
      {"read-only cut", ES_READONLY, WM_CUT, L"受信トレイ", L"貼り"},
      {"read-only paste", ES_READONLY, WM_PASTE, L"受信トレイ", L"貼り"},
      {"read-only type", ES_READONLY, WM_CHAR, L"受信トレイ", L"貼り"},
  };
  for (const Case& c : cases) {
    HWND edit = Field(WC_EDIT, ES_AUTOHSCROLL | c.style, {10, 10, 310, 60}, L"受信トレイ");
    SendMessageW(edit, EM_SETSEL, 1, 4);
    SetClipboard(L"貼り");
    if (c.message == WM_CHAR) Type(L"x");
    else SendMessageW(edit, c.message, 0, 0);
    EXPECT_EQ(Text(edit), c.text) << c.name;
    EXPECT_EQ(Clipboard(), c.clipboard) << c.name;
    DestroyWindow(edit);
  }
}

TEST_F(Edits, UndoTakesBackTheLastChangeAndASecondUndoRedoesIt) {
  struct Case {
    const char* name;
    std::function<void(HWND)> change;
    std::wstring changed;
  };
  const Case cases[] = {
      {"typing runs as one", [](HWND) { Type(L"送信"); }, L"件名送信"},
      {"replace", [](HWND h) { SendMessageW(h, EM_SETSEL, 0, 2), SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"題")); }, L"題"},
      {"backspace", [](HWND) { Type(L"\b"); }, L"件"},
  };
  for (const Case& c : cases) {
    HWND edit = Field(WC_EDIT, ES_AUTOHSCROLL, {10, 10, 310, 60}, L"件名");
    SendMessageW(edit, EM_SETSEL, 2, 2);
    EXPECT_FALSE(SendMessageW(edit, EM_CANUNDO, 0, 0)) << c.name;
    c.change(edit);
    EXPECT_EQ(Text(edit), c.changed) << c.name;
    EXPECT_TRUE(SendMessageW(edit, WM_UNDO, 0, 0)) << c.name;
    EXPECT_EQ(Text(edit), L"件名") << c.name;
    SendMessageW(edit, WM_UNDO, 0, 0);
    EXPECT_EQ(Text(edit), c.changed) << c.name;
    DestroyWindow(edit);
  }
}

// Typing draws again only the lines it moved; what the screen then shows is
// what painting the whole field shows.
TEST_F(Edits, WhatTypingShowsIsWhatAWholePaintShows) {
  const wchar_t* paragraph = L"本日は晴天なり。明日の会議は十時からです、よろしくお願いします。\r\n次の段落";
  struct Case {
    const char* name;
    DWORD caret;
    std::wstring typed;
  };
  const Case cases[] = {{"start of a wrapped paragraph", 0, L"追加"},
                        {"joining two lines", 35, L"\b"},
                        {"end of the text", 39, L"です。"},
                        {"a new line in the middle", 10, L"\r"}};
  for (const Case& c : cases) {
    HWND edit = Field(WC_EDIT, ES_MULTILINE, {0, 0, 240, 300}, paragraph);
    SendMessageW(edit, EM_SETSEL, c.caret, c.caret);
    UpdateWindow(edit);
    Type(c.typed);
    HDC screen = GetDC(edit);
    HDC whole = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, 300);
    SelectObject(whole, bitmap);
    SendMessageW(edit, WM_PAINT, reinterpret_cast<WPARAM>(whole), 0);
    int differing = 0;
    for (int y = 0; y < 300; y += 2) {
      for (int x = 0; x < 240; ++x) differing += GetPixel(screen, x, y) != GetPixel(whole, x, y);
    }
    EXPECT_EQ(differing, 0) << c.name;
    DeleteDC(whole);
    DeleteObject(bitmap);
    ReleaseDC(edit, screen);
    DestroyWindow(edit);
  }
}

// A field draws its caret bar only while the caret is shown: HideCaret takes
// it away (a read-only field that hides its caret shows none) and ShowCaret
// brings it back, each repainting the line.
TEST_F(Edits, HideCaretTakesTheBarAwayAndShowCaretBringsItBack) {
  for (DWORD style : {0u, static_cast<DWORD>(ES_READONLY), static_cast<DWORD>(ES_MULTILINE)}) {
    HWND edit = Field(WC_EDIT, style, {10, 10, 310, 60}, L"本日");
    SendMessageW(edit, EM_SETSEL, 2, 2);
    UpdateWindow(edit);
    POINT caret{};
    ASSERT_TRUE(GetCaretPos(&caret));
    RECT line{};
    GetClientRect(edit, &line);
    const auto inked = [&] {
      const qv::ScopedGetDC dc(edit);
      int n = 0;
      for (int y = caret.y; y < caret.y + 20; ++y) {
        for (int x = caret.x; x < caret.x + 4; ++x) n += GetPixel(dc, x, y) == RGB(0, 0, 0);
      }
      return n;
    };
    EXPECT_GT(inked(), 10) << style << ": the bar shows";
    EXPECT_TRUE(HideCaret(edit));
    Pump();
    EXPECT_EQ(inked(), 0) << style << ": hidden, no bar";
    EXPECT_TRUE(ShowCaret(edit));
    Pump();
    EXPECT_GT(inked(), 10) << style << ": shown again";
    DestroyWindow(edit);
  }
}

// Centred text starts half way to where right-aligned text starts, in a
// single-line field and on each line of a multi-line one; margins move it in.
TEST_F(Edits, AlignedFieldsPlaceTheirText) {
  for (DWORD kind : {0u, static_cast<unsigned>(ES_MULTILINE)}) {
    LONG x[3] = {};
    const DWORD aligns[] = {ES_LEFT, ES_CENTER, ES_RIGHT};
    for (int i = 0; i < 3; ++i) {
      HWND edit = Field(WC_EDIT, kind | aligns[i], {0, 0, 400, 100}, L"受信\r\n送信済み");
      RECT format{};
      SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
      x[i] = GET_X_LPARAM(SendMessageW(edit, EM_POSFROMCHAR, kind ? 4 : 0, 0)) - format.left;
      DestroyWindow(edit);
    }
    EXPECT_EQ(x[0], 0) << kind;
    EXPECT_GT(x[2], 100) << kind;
    EXPECT_NEAR(x[1], x[2] / 2, 1) << kind;
    HWND edit = Field(WC_EDIT, kind, {0, 0, 400, 100}, L"受信");
    SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(40, 30));
    EXPECT_EQ(SendMessageW(edit, EM_GETMARGINS, 0, 0), MAKELONG(40, 30)) << kind;
    EXPECT_EQ(GET_X_LPARAM(SendMessageW(edit, EM_POSFROMCHAR, 0, 0)), 40) << kind;
    DestroyWindow(edit);
  }
}

// The keys walk wrapped lines as they are shown: End stays on its line even
// where the next one starts at the same position.
TEST_F(Edits, KeysMoveTheCaretAlongWrappedLines) {
  HWND edit = Field(WC_EDIT, ES_MULTILINE, {0, 0, 240, 300},
                    L"本日は晴天なり明日の会議は十時からですよろしくお願いします");
  auto start = [&](int line) { return static_cast<DWORD>(SendMessageW(edit, EM_LINEINDEX, line, 0)); };
  auto top = [&](int line) { return GET_Y_LPARAM(SendMessageW(edit, EM_POSFROMCHAR, start(line), 0)); };
  struct Step {
    BYTE key;
    DWORD caret;
    int row;  // the line the caret is shown on
  };
  const Step steps[] = {{VK_END, start(1), 0}, {VK_END, start(1), 0}, {VK_HOME, 0, 0},     {VK_DOWN, start(1), 1},
                        {VK_END, start(2), 1}, {VK_RIGHT, start(2) + 1, 2}, {VK_UP, start(1) + 1, 1}, {VK_LEFT, start(1), 1}};
  ASSERT_GT(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 3);
  for (const Step& step : steps) {
    PressKey(step.key);
    Pump();
    POINT caret{};
    GetCaretPos(&caret);
    EXPECT_EQ(Sel(edit).second, step.caret) << "key " << int{step.key} << " to " << step.caret;
    EXPECT_EQ(caret.y, top(step.row)) << "key " << int{step.key} << " to " << step.caret;
  }
}

// Long Japanese text in a narrow field: every line fits the view, none starts
// with a closing mark, and the line functions agree with each other.
TEST_F(Edits, LineFunctionsOnWrappedJapaneseText) {
  const std::wstring text =
      L"本日は晴天なり。明日の会議は十時からです、よろしくお願いします。\r\n"
      L"資料は共有フォルダーにあります。「添付」を確認してください。\r\n\r\nT-VELA4 mail";
  for (const wchar_t* cls : {WC_EDIT, RICHEDIT_CLASSW}) {
    HWND edit = Field(cls, ES_MULTILINE, {0, 0, 200, 600}, text.c_str());
    const bool rich = cls == std::wstring(RICHEDIT_CLASSW);
    const int lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
    RECT format{};
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    EXPECT_GT(lines, 8) << rich;
    std::wstring joined;
    const std::wstring stored = rich ? L"" : text;
    for (int line = 0; line < lines; ++line) {
      const int start = static_cast<int>(SendMessageW(edit, EM_LINEINDEX, line, 0));
      const int length = static_cast<int>(SendMessageW(edit, EM_LINELENGTH, start, 0));
      EXPECT_EQ(SendMessageW(edit, EM_LINEFROMCHAR, start, 0), line) << rich;
      WCHAR buffer[128] = {};
      *reinterpret_cast<WORD*>(buffer) = 128;
      const int got = static_cast<int>(SendMessageW(edit, EM_GETLINE, line, reinterpret_cast<LPARAM>(buffer)));
      ASSERT_EQ(got, length) << rich;
      const std::wstring part(buffer, static_cast<size_t>(got));
      if (!part.empty()) {
        EXPECT_EQ(std::wstring(L"、。」").find(part[0]), std::wstring::npos) << rich << " " << line;
      }
      if (length > 0) {
        POINTL p{};
        const LPARAM last = start + length - 1;
        if (rich) {
          SendMessageW(edit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), last);
        } else {
          p = {GET_X_LPARAM(SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(last), 0)), 0};
        }
        EXPECT_LT(p.x, format.right) << rich << " " << line;
      }
      joined += part;
    }
    std::wstring flat = text;
    std::erase(flat, L'\r');
    std::erase(flat, L'\n');
    EXPECT_EQ(joined, flat) << rich;
    EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, lines, 0), -1) << rich;
    DestroyWindow(edit);
  }
}

// A single-line field is selected whole when Tab brings the focus in, unless
// its dialog code leaves DLGC_HASSETSEL out.
TEST_F(Edits, TabInSelectsAllUnlessHasSetSelIsRemoved) {
  static WNDPROC base = nullptr;
  const WNDPROC noSetSel = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    const LRESULT r = CallWindowProcW(base, h, m, w, l);
    return m == WM_GETDLGCODE ? r & ~static_cast<LRESULT>(DLGC_HASSETSEL) : r;
  };
  for (bool removed : {false, true}) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, AsTemplate(Units({Control(1, L"Button", BS_PUSHBUTTON | WS_TABSTOP),
                                                                         Control(2, L"Edit", ES_AUTOHSCROLL | WS_TABSTOP, {4, 24, 150, 38}, L"宛先")})),
                                             parent_, TestDlgProc, 0);
    HWND edit = GetDlgItem(dialog, 2);
    if (removed) base = reinterpret_cast<WNDPROC>(SetWindowLongW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(noSetSel)));
    SetFocus(GetDlgItem(dialog, 1));
    PumpDialog(dialog);
    PressKey(VK_TAB);
    PumpDialog(dialog);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(Sel(edit), std::make_pair(DWORD{0}, DWORD{removed ? 0u : 2u})) << removed;
    DestroyWindow(dialog);
  }
}

// The mask stands in for every character: a password field looks as a
// field holding as many masks would.
TEST_F(Edits, PasswordShowsTheMaskCharacter) {
  HWND secret = Field(WC_EDIT, ES_PASSWORD | ES_AUTOHSCROLL, {10, 10, 310, 60}, L"pw日本");
  Field(WC_EDIT, ES_AUTOHSCROLL, {10, 100, 310, 150}, L"****");
  SetFocus(parent_);
  Pump();
  EXPECT_EQ(SendMessageW(secret, EM_GETPASSWORDCHAR, 0, 0), L'*');
  const auto screen = qv::ui::ScreenSurface();
  int inked = 0;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 300; ++x) {
      EXPECT_EQ(screen->Row(10 + y)[10 + x], screen->Row(100 + y)[10 + x]) << x << "," << y;
      inked += screen->Row(10 + y)[10 + x] != screen->Row(10)[10];
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(inked, 20);
}

// Owners that draw over the field see each repaint through WM_PAINT.
TEST_F(Edits, AnOwnerPaintsOverTheFieldAfterEveryChange) {
  static WNDPROC base = nullptr;
  const WNDPROC over = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    const LRESULT r = CallWindowProcW(base, h, m, w, l);
    if (m == WM_PAINT) {
      HDC dc = GetDC(h);
      const RECT mark{0, 0, 6, 6};
      FillRect(dc, &mark, GetSysColorBrush(COLOR_HIGHLIGHT));
      ReleaseDC(h, dc);
    }
    return r;
  };
  HWND edit = Field(WC_EDIT, ES_AUTOHSCROLL);
  base = reinterpret_cast<WNDPROC>(SetWindowLongW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(over)));
  Type(L"あいう");
  EXPECT_EQ(qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(12)[12]), GetSysColor(COLOR_HIGHLIGHT));
}

// Scroll bars the owner turns on follow the lines; turned off, they stay off.
TEST_F(Edits, ScrollBarsToggledByTheOwner) {
  HWND edit = Field(WC_EDIT, ES_MULTILINE, {0, 0, 300, 120});
  std::wstring lines;
  for (int i = 0; i < 20; ++i) lines += L"行" + std::to_wstring(i) + L"\r\n";
  SetWindowTextW(edit, lines.c_str());
  const LONG_PTR style = GetWindowLongW(edit, GWL_STYLE);
  SetWindowLongW(edit, GWL_STYLE, style | WS_VSCROLL);
  SetWindowPos(edit, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  SendMessageW(edit, EM_LINESCROLL, 0, 5);
  SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(edit, SB_VERT, &si));
  EXPECT_EQ(si.nMax, 20);
  EXPECT_EQ(si.nPos, 5);
  EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 5);
  SendMessageW(edit, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 5 + static_cast<LRESULT>(si.nPage));
  SetWindowLongW(edit, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VSCROLL));
  SetWindowPos(edit, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  Type(L"x");
  EXPECT_FALSE(GetWindowLongW(edit, GWL_STYLE) & WS_VSCROLL);
}

// The rich edit as a program loads it, counting one position a paragraph
// end while WM_GETTEXT gives CR LF.
TEST_F(Edits, RichEditPositionsAgainstItsText) {
  HMODULE provider = LoadLibraryW(RICHEDIT_LIBRARY);
  ASSERT_NE(provider, nullptr);
  HWND rich = Field(RICHEDIT_CLASSW, ES_MULTILINE, {0, 0, 400, 300}, L"一行目\r\n二行目\n三");
  EXPECT_EQ(Text(rich), L"一行目\r\n二行目\r\n三");
  EXPECT_EQ(GetWindowTextLengthW(rich), 11);
  const CHARRANGE all{0, -1};
  SendMessageW(rich, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  CHARRANGE got{};
  SendMessageW(rich, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&got));
  EXPECT_EQ(got.cpMax, 9);
  EXPECT_EQ(SendMessageW(rich, EM_LINEINDEX, 1, 0), 4);
  EXPECT_EQ(SendMessageW(rich, EM_EXLINEFROMCHAR, 0, 8), 2);
  const CHARRANGE second{4, 7};
  SendMessageW(rich, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&second));
  WCHAR selected[16] = {};
  EXPECT_EQ(SendMessageW(rich, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(selected)), 3);
  EXPECT_STREQ(selected, L"二行目");
  FreeLibrary(provider);
}

TEST_F(Edits, RichEditNotifiesChangeOnlyWhenAskedAndLimitsAt32767) {
  HWND rich = Field(RICHEDIT_CLASSW, ES_MULTILINE, {0, 0, 400, 300});
  Quiet();
  Type(L"あ");
  EXPECT_EQ(log_.Compare(rich, {{WM_CHAR, seq::posted}, {WM_PAINT, seq::sent}}), "");
  EXPECT_EQ(SendMessageW(rich, EM_SETEVENTMASK, 0, ENM_CHANGE), 0);
  log_.Clear();
  Type(L"い");
  EXPECT_EQ(log_.Compare(rich, {{WM_CHAR, seq::posted}, {WM_PAINT, seq::sent}, Command(rich, EN_CHANGE)}), "");
  EXPECT_EQ(SendMessageW(rich, EM_GETLIMITTEXT, 0, 0), 32767);
  SetClipboard(std::wstring(40000, L'字'));
  SendMessageW(rich, WM_PASTE, 0, 0);
  EXPECT_EQ(GetWindowTextLengthW(rich), 32767);
  SendMessageW(rich, EM_EXLIMITTEXT, 0, 100000);
  SendMessageW(rich, WM_PASTE, 0, 0);
  EXPECT_EQ(GetWindowTextLengthW(rich), 72767);
}

TEST_F(Edits, RichEditTextModeChangesOnlyWhileEmpty) {
  HWND rich = Field(RICHEDIT_CLASSW, ES_MULTILINE, {0, 0, 400, 300});
  const LRESULT mode = SendMessageW(rich, EM_GETTEXTMODE, 0, 0);
  EXPECT_EQ(mode, TM_RICHTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE);
  EXPECT_NE(SendMessageW(rich, EM_SETTEXTMODE, TM_PLAINTEXT | TM_RICHTEXT, 0), 0);
  EXPECT_EQ(SendMessageW(rich, EM_SETTEXTMODE, (mode & ~TM_RICHTEXT) | TM_PLAINTEXT, 0), 0);
  EXPECT_EQ(SendMessageW(rich, EM_GETTEXTMODE, 0, 0), TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE);
  SetWindowTextW(rich, L"本文");
  EXPECT_NE(SendMessageW(rich, EM_SETTEXTMODE, TM_RICHTEXT, 0), 0);
  EXPECT_EQ(SendMessageW(rich, EM_GETTEXTMODE, 0, 0), TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE);
}

// The input method's composition: shown at the caret, not yet text; its
// result arrives as characters; the candidate list goes below the caret.
TEST_F(Edits, CompositionSequenceEndsInCharacters) {
  for (const wchar_t* cls : {WC_EDIT, RICHEDIT_CLASSW}) {
    HWND edit = Field(cls, ES_AUTOHSCROLL, {10, 10, 410, 60}, L"件名：");
    SendMessageW(edit, EM_SETSEL, 3, 3);
    SendMessageW(edit, EM_SETEVENTMASK, 0, ENM_CHANGE);
    Quiet();
    qv::ui::InjectInputMessage(WM_IME_STARTCOMPOSITION, 0, 0);
    qv::ui::InjectInputMessage(WM_IME_COMPOSITION, L'ん', GCS_COMPSTR | GCS_CURSORPOS, L"にほん");
    Pump();
    EXPECT_EQ(log_.Compare(edit, {{WM_IME_STARTCOMPOSITION, seq::posted}, {WM_IME_COMPOSITION, seq::posted},
                                  {WM_PAINT, seq::posted}}),
              "");
    EXPECT_EQ(Text(edit), L"件名：");
    POINT caret{};
    GetCaretPos(&caret);
    const LRESULT at = SendMessageW(edit, EM_POSFROMCHAR, 2, 0);
    EXPECT_GT(caret.x, GET_X_LPARAM(at) + 60) << "after the composition";
    HIMC context = ImmGetContext(edit);
    CANDIDATEFORM form{};
    ASSERT_TRUE(ImmGetCandidateWindow(context, 0, &form));
    ImmReleaseContext(edit, context);
    EXPECT_EQ(form.dwStyle, CFS_EXCLUDE);
    EXPECT_GT(form.ptCurrentPos.y, caret.y);
    log_.Clear();
    qv::ui::InjectInputMessage(WM_IME_COMPOSITION, L'本', GCS_RESULTSTR, L"日本");
    qv::ui::InjectInputMessage(WM_CHAR, L'日', 1);
    qv::ui::InjectInputMessage(WM_CHAR, L'本', 1);
    qv::ui::InjectInputMessage(WM_IME_ENDCOMPOSITION, 0, 0);
    Pump();
    const bool rich = cls == std::wstring(RICHEDIT_CLASSW);
    std::vector<MsgEntry> want{{WM_IME_COMPOSITION, seq::posted}, {WM_CHAR, seq::posted}};
    if (!rich) want.push_back(Command(edit, EN_UPDATE));
    want.push_back({WM_PAINT, seq::sent});
    want.push_back(Command(edit, EN_CHANGE));
    want.push_back({WM_CHAR, seq::posted});
    if (!rich) want.push_back(Command(edit, EN_UPDATE));
    want.push_back({WM_PAINT, seq::sent});
    want.push_back(Command(edit, EN_CHANGE));
    want.push_back({WM_IME_ENDCOMPOSITION, seq::posted});
    want.push_back({WM_PAINT, seq::posted});
    EXPECT_EQ(log_.Compare(edit, want), "") << rich;
    EXPECT_EQ(Text(edit), L"件名：日本");
    DestroyWindow(edit);
  }
}

// Text being composed is laid out with the text, as the same text typed
// would be: it wraps where that text wraps and the view follows its end, so
// committing it moves neither the caret nor the view, and the screen differs
// only by the composition's underline.
TEST_F(Edits, CompositionIsLaidOutAsTheTypedTextWouldBe) {
  struct Case {
    const char* name;
    const wchar_t* cls;
    DWORD style;
    RECT r;
    std::wstring text;
    std::wstring composed;
  };
  const Case cases[] = {
      {"a field full to its right edge", WC_EDIT, ES_AUTOHSCROLL, {10, 10, 310, 60}, L"明日の会議は十時から", L"か"},
      {"a field scrolled past its right edge", WC_EDIT, ES_AUTOHSCROLL, {10, 10, 310, 60},
       L"明日の会議は十時からです、よろしく", L"おねがい"},
      {"a rich edit at its last line's end", RICHEDIT_CLASSW, ES_MULTILINE, {10, 10, 310, 100},
       L"本日は晴天なり。明日の会議は十時からです、よろしくお願いします。", L"しりょうはきょうゆうふぉるだーに"},
      {"a multi-line edit at its last line's end", WC_EDIT, ES_MULTILINE, {10, 10, 310, 100},
       L"本日は晴天なり。明日の会議は十時からです、よろしくお願いします。", L"しりょうはきょうゆうふぉるだーに"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND edit = Field(c.cls, c.style, c.r, c.text.c_str());
    const LONG width = c.r.right - c.r.left;
    const LONG height = c.r.bottom - c.r.top;
    const DWORD end = static_cast<DWORD>(c.text.size());
    SendMessageW(edit, EM_SETSEL, end, end);
    UpdateWindow(edit);
    HDC screen = GetDC(edit);
    HDC measure = CreateCompatibleDC(screen);
    SelectObject(measure, font_);
    TEXTMETRICW tm{};
    GetTextMetricsW(measure, &tm);
    DeleteDC(measure);
    RECT view{};
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
    auto shot = [&] {
      std::vector<COLORREF> px;
      for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) px.push_back(GetPixel(screen, x, y));
      }
      return px;
    };

    qv::ui::InjectInputMessage(WM_IME_STARTCOMPOSITION, 0, 0);
    qv::ui::InjectInputMessage(WM_IME_COMPOSITION, c.composed.back(), GCS_COMPSTR | GCS_CURSORPOS, c.composed.c_str());
    Pump();
    POINT composing{};
    GetCaretPos(&composing);
    const LRESULT firstComposing = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_EQ(Text(edit), c.text) << "not yet text";
    EXPECT_GE(composing.x, view.left);
    EXPECT_LE(composing.x + 2, view.right) << "the composition's end is in view";
    EXPECT_GE(composing.y, view.top);
    EXPECT_LE(composing.y + tm.tmHeight, view.bottom) << "the composition's line is in view";
    const std::vector<COLORREF> whileComposing = shot();
    {
      // What the screen shows is what painting the whole field shows.
      HDC whole = CreateCompatibleDC(screen);
      HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
      SelectObject(whole, bitmap);
      SendMessageW(edit, WM_PAINT, reinterpret_cast<WPARAM>(whole), 0);
      int differing = 0;
      for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) differing += whileComposing[y * width + x] != GetPixel(whole, x, y);
      }
      EXPECT_EQ(differing, 0);
      DeleteDC(whole);
      DeleteObject(bitmap);
    }

    qv::ui::InjectInputMessage(WM_IME_COMPOSITION, c.composed.back(), GCS_RESULTSTR, c.composed.c_str());
    Type(c.composed);
    qv::ui::InjectInputMessage(WM_IME_ENDCOMPOSITION, 0, 0);
    Pump();
    EXPECT_EQ(Text(edit), c.text + c.composed);
    POINT typed{};
    GetCaretPos(&typed);
    EXPECT_EQ(typed.x, composing.x);
    EXPECT_EQ(typed.y, composing.y);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), firstComposing);
    // The same glyphs in the same places; only the underline's two rows at
    // the foot of a line differ.
    const std::vector<COLORREF> afterTyping = shot();
    int underline = 0;
    int elsewhere = 0;
    for (LONG y = 0; y < height; ++y) {
      const bool foot = y >= view.top && (y - view.top) % tm.tmHeight >= tm.tmHeight - 2;
      for (LONG x = 0; x < width; ++x) {
        if (whileComposing[y * width + x] == afterTyping[y * width + x]) continue;
        (foot ? underline : elsewhere) += 1;
      }
    }
    EXPECT_EQ(elsewhere, 0);
    EXPECT_GT(underline, 2 * 20) << "the composition was underlined";
    ReleaseDC(edit, screen);
    DestroyWindow(edit);
  }
}

// Keeps a picture of both fields with Japanese text in the build folder.
TEST_F(Edits, PictureOfAnEditAndARichEdit) {
  HWND edit = Field(WC_EDIT, ES_MULTILINE | WS_BORDER | WS_VSCROLL, {10, 10, 470, 250},
                    L"件名：明日の打ち合わせについて\r\n本日は晴天なり。明日の会議は十時からです、よろしくお願いします。");
  HWND rich = Field(RICHEDIT_CLASSW, ES_MULTILINE | WS_BORDER, {10, 270, 470, 560},
                    L"リッチエディット：資料は共有フォルダーにあります。\r\n「添付」を確認してください。");
  SendMessageW(edit, EM_SETSEL, 0, 2);
  SetFocus(rich);
  const CHARRANGE word{6, 8};
  SendMessageW(rich, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&word));
  Pump();
  const char* dir = getenv("QV_BINARY_DIR");
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/edit-controls.png"));
  RECT r{};
  GetClientRect(rich, &r);
  EXPECT_GT(SendMessageW(rich, EM_GETLINECOUNT, 0, 0), 2);
  EXPECT_GT(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 2);
}

}  // namespace
}  // namespace qv::test
