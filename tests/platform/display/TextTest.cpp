// SDL's text input as the device's input method gives it to the focus:
// committed text as WM_CHARs, composition as the WM_IME_* sequence.
#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::CurrentHandler;
using qv::test::DisplayTest;
namespace seq = qv::test::seq;
using TextInput = DisplayTest;
using qv::display::kCompositionString;
using qv::display::kCursorPosition;
using qv::display::kResultString;

constexpr unsigned kAll = seq::posted | seq::wparam | seq::lparam;

// A row's events: text committed ("=..."), being composed ("~...") or
// composed beyond SDL's short event ("+...").
struct TextCase {
  const char* name;
  std::vector<std::string> events;
  std::vector<qv::seams::MsgEntry> expected;
};

qv::seams::MsgEntry Char(wchar_t c) { return {WM_CHAR, kAll, static_cast<WPARAM>(c), 1}; }
qv::seams::MsgEntry Start() { return {WM_IME_STARTCOMPOSITION, kAll, 0, 0}; }
qv::seams::MsgEntry Composing(wchar_t last) {
  return {WM_IME_COMPOSITION, kAll, static_cast<WPARAM>(last), kCompositionString | kCursorPosition};
}
qv::seams::MsgEntry Result(wchar_t last) { return {WM_IME_COMPOSITION, kAll, static_cast<WPARAM>(last), kResultString}; }
qv::seams::MsgEntry Dropped() { return {WM_IME_COMPOSITION, kAll, 0, kCompositionString}; }
qv::seams::MsgEntry End() { return {WM_IME_ENDCOMPOSITION, kAll, 0, 0}; }

TEST_F(TextInput, TextAndCompositionReachTheFocus) {
  const TextCase cases[] = {
      {"one letter", {"=a"}, {Char(L'a')}},
      {"a space", {"= "}, {Char(L' ')}},
      {"Japanese", {"=日本語"}, {Char(L'日'), Char(L'本'), Char(L'語')}},
      {"beyond the plane", {"=😀x"}, {Char(L'😀'), Char(L'x')}},
      {"composed and committed",
       {"~に", "~にほ", "=日本", "~"},
       {Start(), Composing(L'に'), Composing(L'ほ'), Result(L'本'), Char(L'日'), Char(L'本'), End()}},
      {"composed and dropped", {"~か", "~"}, {Start(), Composing(L'か'), Dropped(), End()}},
      {"a long composition",
       {"~に", "+にほんごのながいぶんしょうをにゅうりょくする", "=日本語"},
       {Start(), Composing(L'に'), Composing(L'る'), Result(L'語'), Char(L'日'), Char(L'本'), Char(L'語'), End()}},
      {"dropped with nothing composed", {"~"}, {}},
      {"two compositions",
       {"~あ", "=亜", "~い", "=胃"},
       {Start(), Composing(L'あ'), Result(L'亜'), Char(L'亜'), End(), Start(), Composing(L'い'), Result(L'胃'),
        Char(L'胃'), End()}},
  };
  HWND focus = FocusedChild();
  for (const TextCase& c : cases) {
    log_.Clear();
    for (const std::string& e : c.events) {
      if (e[0] == '=') Text(e.c_str() + 1);
      else if (e[0] == '+') EditingLong(e.c_str() + 1);
      else Editing(e.c_str() + 1);
    }
    Pump();
    EXPECT_EQ(log_.Compare(focus, c.expected), "") << c.name;
  }
}

// Text goes where the keys go: the focus as it is when the text is taken.
TEST_F(TextInput, CharactersFollowTheFocusInLineWithKeys) {
  HWND first = FocusedChild();
  HWND second = Make(WS_CHILD | WS_VISIBLE, GetParent(first), {0, 40, 100, 80}, 2);
  Pump();
  log_.Clear();
  CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == first && m == WM_KEYDOWN) SetFocus(second);  // a down key moves on
    return std::nullopt;
  };
  Text("a");
  Key(SDL_KEYDOWN, SDLK_DOWN);
  Text("b");
  Pump();
  EXPECT_EQ(log_.Compare(first, {{WM_CHAR, kAll, L'a', 1},
                                 {WM_KEYDOWN, seq::posted | seq::wparam, VK_DOWN},
                                 {WM_KILLFOCUS, seq::sent},
                                 {WM_SETFOCUS, seq::sent | seq::other},
                                 {WM_CHAR, seq::posted | seq::other | seq::wparam, L'b'}}),
            "");
  Key(SDL_KEYUP, SDLK_DOWN);
  Pump();
}

}  // namespace
