#include "platform/ui/text/TextEngine.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/input/Caret.h"
#include "platform/ui/input/Clipboard.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Ime.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/WindowTable.h"

namespace qv::ui::text {
namespace {

constexpr size_t kDefaultLimit = 32767;
constexpr size_t kMostText = 0x7FFFFFFE;
constexpr size_t kRichZeroLimit = 0x10000;  // EM_EXLIMITTEXT 0: 64K
constexpr size_t kRichUndoSteps = 100;
constexpr int kWheelLines = 3;

bool IsHighHalf(WPARAM c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowHalf(WPARAM c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Cuts text to `room` units, never inside a pair or a CR LF.
std::u16string CutTo(std::u16string s, size_t room) {
  if (s.size() <= room) return s;
  size_t n = room;
  if (n > 0 && IsHighHalf(s[n - 1])) --n;
  if (n > 0 && s[n - 1] == u'\r' && s[n] == u'\n') --n;
  s.resize(n);
  return s;
}

int CharClass(char32_t c) {
  if (c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == 0x3000) return 0;
  if (std::iswalnum(static_cast<wint_t>(c)) || c == U'_' || c >= 0x3040) return 1;
  return 2;
}

}  // namespace

TextEngine::TextEngine(HWND hwnd, bool rich, const CREATESTRUCTW* cs)
    : hwnd_(hwnd), rich_(rich), buf_(!rich), limit_(kDefaultLimit) {
  buf_.SetUndoDepth(rich ? kRichUndoSteps : 1);
  if (rich) textMode_ = TM_RICHTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE;
  const DWORD style = cs ? static_cast<DWORD>(cs->style) : Style();
  wantV_ = (style & WS_VSCROLL) != 0;
  wantH_ = (style & WS_HSCROLL) != 0;
  measureDc_ = CreateCompatibleDC(nullptr);
  FontChanged();
  PlaceFormatRect();
  if (cs && cs->lpszName) buf_.Replace(0, 0, Stored(cs->lpszName), false);
  Relayout();
}

TextEngine::~TextEngine() {
  if (measureDc_) DeleteDC(measureDc_);
}

TextEngine* TextEngine::Of(HWND hwnd) { return reinterpret_cast<TextEngine*>(GetWindowLongW(hwnd, kStateSlot)); }

std::optional<LRESULT> TextEngine::Dispatch(HWND hwnd, bool rich, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    delete Of(hwnd);
    SetWindowLongW(hwnd, kStateSlot,
                   reinterpret_cast<LONG_PTR>(new TextEngine(hwnd, rich, reinterpret_cast<const CREATESTRUCTW*>(lParam))));
    return 0;
  }
  TextEngine* e = Of(hwnd);
  if (message == WM_NCDESTROY) {
    SetWindowLongW(hwnd, kStateSlot, 0);
    delete e;
    return std::nullopt;
  }
  if (!e) return std::nullopt;
  return e->Handle(message, wParam, lParam);
}

DWORD TextEngine::Style() const { return static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)); }
bool TextEngine::Multiline() const { return (Style() & ES_MULTILINE) != 0; }
bool TextEngine::ReadOnly() const { return (Style() & ES_READONLY) != 0; }
bool TextEngine::Password() const { return (Style() & ES_PASSWORD) != 0 && passwordChar_ != 0; }
bool TextEngine::Focused() const { return GetFocus() == hwnd_; }
bool TextEngine::ShowsSelection() const {
  return !hideSelection_ && (Focused() || (Style() & ES_NOHIDESEL));
}

void TextEngine::FontChanged() {
  widths_.clear();
  SelectObject(measureDc_, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW tm{};
  GetTextMetricsW(measureDc_, &tm);
  lineHeight_ = std::max<int>(1, tm.tmHeight);
  aveWidth_ = std::max<int>(1, tm.tmAveCharWidth);
}

int TextEngine::Advance(char32_t c, int x) {
  if (masked_) c = passwordChar_;
  if (c == U'\t' && tabs_) {
    const int stop = 8 * aveWidth_;  // a tab stop every eight average characters
    return stop - x % stop;
  }
  if (c < 0x20) c = U' ';
  auto it = widths_.find(c);
  if (it != widths_.end()) return it->second;
  int w = 0;
  GetCharWidth32W(measureDc_, static_cast<UINT>(c), static_cast<UINT>(c), &w);
  widths_.emplace(c, w);
  return w;
}

void TextEngine::PlaceFormatRect() {
  if (customRect_) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  // A little air between the frame and the text.
  const LONG left = std::min<LONG>(leftMargin_ < 0 ? StylePainter::kTextMargin : leftMargin_, client.right / 4);
  const LONG right = std::min<LONG>(rightMargin_ < 0 ? StylePainter::kTextMargin : rightMargin_, client.right / 4);
  const LONG my = std::min<LONG>(StylePainter::kTextMargin / 2, client.bottom / 4);
  format_ = RECT{client.left + left, client.top + my, std::max(client.left + left, client.right - right),
                 std::max(client.top + my, client.bottom - my)};
}

int TextEngine::VisibleLines() const { return std::max<int>(1, (format_.bottom - format_.top) / lineHeight_); }

void TextEngine::Relayout() {
  // Measuring asks these for every character: read the style once here
  // (every change of it comes through WM_STYLECHANGED).
  masked_ = Password();
  tabs_ = Multiline();
  const bool wraps = Multiline() && (rich_ ? !wrapOff_ : !((Style() & ES_AUTOHSCROLL) || wantH_));
  const int wrapWidth = wraps ? std::max<int>(1, format_.right - format_.left) : 0;
  layout_.Configure(Multiline(), wrapWidth, [this](char32_t c, int x) { return Advance(c, x); });
  layout_.Rebuild(Shown());
  if (wraps) xScroll_ = 0;
  ScrollTo(static_cast<long long>(top_), xScroll_);
  UpdateScrollBars();
  PlaceCaret();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TextEngine::SetWrap(bool wrap) {
  wrapOff_ = !wrap;
  Relayout();
}

bool TextEngine::SetTextMode(int mode) {
  if (buf_.Length() > 0) return false;
  int now = textMode_;
  for (int group : {TM_PLAINTEXT | TM_RICHTEXT, TM_SINGLELEVELUNDO | TM_MULTILEVELUNDO,
                    TM_SINGLECODEPAGE | TM_MULTICODEPAGE}) {
    if ((mode & group) == group) return false;  // both of a pair
    if (mode & group) now = (now & ~group) | (mode & group);
  }
  textMode_ = now;
  buf_.SetUndoDepth(now & TM_SINGLELEVELUNDO ? 1 : kRichUndoSteps);
  buf_.ClearUndo();
  return true;
}

std::u16string TextEngine::Stored(std::wstring_view text) const {
  std::u16string s = WideToUtf16(text);
  if (!rich_) return s;
  // One CR ends a paragraph, whatever line ends the caller used.
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
    out.push_back(s[i] == u'\n' ? u'\r' : s[i]);
  }
  return out;
}

std::wstring TextEngine::TextOf(size_t from, size_t to, bool crlf) const {
  to = std::min(to, buf_.Length());
  from = std::min(from, to);
  std::u16string part = buf_.Text().substr(from, to - from);
  if (rich_ && crlf) {
    std::u16string out;
    out.reserve(part.size());
    for (char16_t c : part) {
      out.push_back(c);
      if (c == u'\r') out.push_back(u'\n');
    }
    part.swap(out);
  }
  return Utf16ToWide(part);
}

void TextEngine::Notify(WORD code) const { NotifyParent(hwnd_, code); }

// EN_UPDATE once the new text is laid out, the repaint, then EN_CHANGE. Last
// in every change: the parent may destroy the window from either.
void TextEngine::Changed(bool setText, const RECT* area) {
  HWND hwnd = hwnd_;
  const bool update = rich_ ? (eventMask_ & ENM_UPDATE) != 0 : true;
  const bool change = rich_ ? (eventMask_ & ENM_CHANGE) != 0 : !(setText && Multiline());
  HWND parent = GetParent(hwnd);
  if (update && parent) SendCommandNotify(parent, hwnd, EN_UPDATE);
  if (!IsWindow(hwnd)) return;
  InvalidateRect(hwnd, area, FALSE);
  UpdateWindow(hwnd);
  if (change && parent && IsWindow(hwnd)) {
    SendCommandNotify(parent, hwnd, EN_CHANGE);
  }
}

bool TextEngine::Change(size_t pos, size_t count, std::u16string with, Cause cause, bool undoable) {
  if (cause != Cause::SetText) {
    const size_t kept = buf_.Length() - count;
    if (kept + with.size() > limit_) {
      with = CutTo(std::move(with), limit_ > kept ? limit_ - kept : 0);
      HWND hwnd = hwnd_;
      Notify(EN_MAXTEXT);
      if (Of(hwnd) != this) return false;  // the parent closed it
      if (with.empty() && count == 0) return false;
    }
  }
  if (count == 0 && with.empty()) return false;
  // A composition in the way moves to where the caret lands.
  std::u16string held = ime_.Text();
  LayOutComposition(u"");
  const size_t inserted = with.size();
  const size_t linesBefore = layout_.Count();
  const size_t topBefore = top_;
  const int xBefore = xScroll_;
  const size_t hadSel = SelEnd() - SelStart();
  // A change can re-wrap the line before it (a mark that may not start a line).
  const size_t first = layout_.LineOf(pos) > 0 ? layout_.LineOf(pos) - 1 : 0;
  buf_.Replace(pos, count, with, undoable && cause != Cause::SetText, cause == Cause::Typing);
  layout_.Update(buf_.Text(), pos, count, inserted);
  anchor_ = caret_ = pos + inserted;
  desiredX_ = -1;
  atLineEnd_ = false;
  modified_ = true;
  LayOutComposition(std::move(held));
  ScrollToCaret();
  UpdateScrollBars();
  PlaceCaret();
  // Only the lines that moved are drawn again while nothing scrolled.
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (ime_.Empty() && top_ == topBefore && xScroll_ == xBefore && hadSel == 0 && first >= top_) {
    client.top = std::max<LONG>(client.top, format_.top + static_cast<LONG>(first - top_) * lineHeight_);
    if (layout_.Count() == linesBefore) {
      // The rest of the caret's paragraph may have re-wrapped; what follows it has not moved.
      size_t last = layout_.LineOf(caret_);
      while (last + 1 < layout_.Count() && !layout_.Lines()[last].hard) ++last;
      client.bottom = std::min<LONG>(client.bottom, format_.top + static_cast<LONG>(last + 1 - top_) * lineHeight_);
    }
  }
  Changed(false, &client);
  return true;
}

void TextEngine::SetText(std::wstring_view text) {
  ime_.Drop();  // what it was composed into is gone
  buf_.Replace(0, buf_.Length(), Stored(text), false);
  buf_.ClearUndo();
  layout_.Rebuild(buf_.Text());
  anchor_ = caret_ = 0;
  atLineEnd_ = false;
  top_ = 0;
  xScroll_ = 0;
  desiredX_ = -1;
  modified_ = false;
  pendingHigh_ = 0;
  UpdateScrollBars();
  PlaceCaret();
  Changed(true);
}

void TextEngine::ReplaceSel(std::wstring_view text, bool undoable) {
  Change(SelStart(), SelEnd() - SelStart(), Stored(text), Cause::Program, undoable);
}

void TextEngine::SetSel(long long start, long long end) {
  const long long length = static_cast<long long>(buf_.Length());
  if (start < 0) {
    anchor_ = caret_;
  } else {
    anchor_ = buf_.Snap(static_cast<size_t>(std::min(start, length)));
    caret_ = buf_.Snap(static_cast<size_t>(end < 0 || end > length ? length : end));
  }
  desiredX_ = -1;
  atLineEnd_ = false;
  buf_.BreakTyping();
  PlaceCaret();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TextEngine::MoveCaret(size_t pos, bool extend, bool lineEnd) {
  caret_ = buf_.Snap(pos);
  atLineEnd_ = lineEnd;
  if (!extend) anchor_ = caret_;
  buf_.BreakTyping();
  ScrollToCaret();
  PlaceCaret();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

size_t TextEngine::LineFromChar(long long pos) const {
  return LineOfPos(pos < 0 ? SelStart() : static_cast<size_t>(pos));
}

size_t TextEngine::LineEnd(size_t line) const { return FromShown(layout_.Lines()[line].end); }

void TextEngine::LayOutComposition(std::u16string text) {
  if (auto change = ime_.Set(std::move(text), caret_, buf_.Text())) {
    layout_.Update(Shown(), change->at, change->removed, change->inserted);
  }
}

int TextEngine::LineOffset(size_t line) const {
  const DWORD align = Style() & (ES_CENTER | ES_RIGHT);
  if (rich_ || align == ES_LEFT || line >= layout_.Count()) return 0;
  // A line wider than the view starts at its left, to scroll from there.
  const int room = (format_.right - format_.left) - layout_.Lines()[line].width;
  if (room <= 0) return 0;
  return align == ES_RIGHT ? room : room / 2;
}

POINT TextEngine::PointIn(size_t line, size_t pos) const { return ShownPoint(line, ToShown(pos)); }

POINT TextEngine::ShownPoint(size_t line, size_t shown) const {
  const long long row = static_cast<long long>(line) - static_cast<long long>(top_);
  return POINT{format_.left - xScroll_ + LineOffset(line) + layout_.XOf(Shown(), line, shown),
               static_cast<LONG>(format_.top + row * lineHeight_)};
}

POINT TextEngine::PosFromChar(size_t pos) const {
  pos = std::min(pos, buf_.Length());
  return PointIn(LineOfPos(pos), pos);
}

bool TextEngine::EndsSoftLine(size_t line, size_t pos) const {
  const Line& l = layout_.Lines()[line];
  return !l.hard && ToShown(pos) == l.end && l.end == l.next && line + 1 < layout_.Count();
}

size_t TextEngine::CaretLine() const {
  const size_t line = LineOfPos(caret_);
  return atLineEnd_ && line > 0 && EndsSoftLine(line - 1, caret_) ? line - 1 : line;
}

size_t TextEngine::CharFromPos(POINT p, size_t* line) const {
  long long row = p.y >= format_.top ? (p.y - format_.top) / lineHeight_ : -1 - (format_.top - p.y - 1) / lineHeight_;
  row += static_cast<long long>(top_);
  const size_t l = static_cast<size_t>(std::clamp<long long>(row, 0, static_cast<long long>(layout_.Count()) - 1));
  if (line) *line = l;
  return PosNear(l, p.x - format_.left + xScroll_ - LineOffset(l));
}

size_t TextEngine::WordEdge(size_t pos, bool forward) const {
  const std::u16string& t = buf_.Text();
  size_t units = 1;
  auto classAt = [&](size_t i) { return CharClass(LineLayout::CodeAt(t, i, &units)); };
  if (forward) {
    if (pos >= t.size()) return t.size();
    const int c = classAt(pos);
    while (pos < t.size() && classAt(pos) == c && c != 0) pos = buf_.Next(pos);
    while (pos < t.size() && classAt(pos) == 0) pos = buf_.Next(pos);
    return pos;
  }
  while (pos > 0 && classAt(buf_.Prev(pos)) == 0) pos = buf_.Prev(pos);
  if (pos == 0) return 0;
  const int c = classAt(buf_.Prev(pos));
  while (pos > 0 && classAt(buf_.Prev(pos)) == c) pos = buf_.Prev(pos);
  return pos;
}

void TextEngine::ScrollToCaret() {
  const size_t line = CaretLine();
  long long top = static_cast<long long>(top_);
  const long long vis = VisibleLines();
  if (static_cast<long long>(line) < top) top = static_cast<long long>(line);
  else if (static_cast<long long>(line) >= top + vis) top = static_cast<long long>(line) - vis + 1;
  int x = xScroll_;
  const int width = format_.right - format_.left;
  const int at = XAt(line, caret_);  // past the composition, if any
  if (at < x) x = std::max(0, at - width / 4);
  else if (at >= x + width) x = at - width + width / 4;
  ScrollTo(top, x);
}

void TextEngine::ScrollTo(long long line, int x) {
  const long long most = std::max<long long>(0, static_cast<long long>(layout_.Count()) - VisibleLines());
  const size_t top = static_cast<size_t>(std::clamp<long long>(line, 0, most));
  const int width = format_.right - format_.left;
  const int mostX = std::max(0, layout_.MaxWidth() + aveWidth_ - width);
  x = std::clamp(x, 0, std::max(mostX, xScroll_));
  if (top == top_ && x == xScroll_) return;
  top_ = top;
  xScroll_ = x;
  UpdateScrollBars();
  PlaceCaret();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TextEngine::UpdateScrollBars() {
  if (wantV_) {
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                  static_cast<int>(layout_.Count()) - 1, static_cast<UINT>(VisibleLines()), static_cast<int>(top_), 0};
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  }
  if (wantH_) {
    const int width = std::max<int>(1, format_.right - format_.left);
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                  std::max(width, layout_.MaxWidth() + aveWidth_) - 1, static_cast<UINT>(width), xScroll_, 0};
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
  }
}

void TextEngine::PlaceCaret() {
  if (!Focused()) return;
  const POINT p = PointIn(CaretLine(), caret_);  // after the composition
  SetCaretPos(p.x, p.y);
  // The candidate list goes below the line, leaving the composition seen.
  const POINT from = ime_.Empty() ? p : ShownPoint(layout_.LineOf(ime_.At()), ime_.At());
  if (HIMC context = ImmGetContext(hwnd_)) {
    CANDIDATEFORM form{0, CFS_EXCLUDE, {from.x, p.y + lineHeight_},
                       {std::min(from.x, p.x), from.y, std::max(from.x, p.x) + 1, p.y + lineHeight_}};
    ImmSetCandidateWindow(context, &form);
    ImmReleaseContext(hwnd_, context);
  }
}

bool TextEngine::Copy() const {
  if (Password() || SelStart() == SelEnd()) return false;
  const std::wstring text = TextOf(SelStart(), SelEnd(), true);
  if (!OpenClipboard(hwnd_)) return false;
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(const_cast<wchar_t*>(text.c_str())));
  CloseClipboard();
  return true;
}

bool TextEngine::Clear() {
  if (ReadOnly() || SelStart() == SelEnd()) return false;
  return Change(SelStart(), SelEnd() - SelStart(), u"", Cause::User);
}

bool TextEngine::Cut() {
  if (Password() || ReadOnly() || !Copy()) return false;
  return Clear();
}

bool TextEngine::Paste() {
  if (ReadOnly() || !OpenClipboard(hwnd_)) return false;
  std::wstring text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) text = static_cast<const wchar_t*>(h);
  CloseClipboard();
  if (!Multiline()) {
    text = text.substr(0, text.find_first_of(L"\r\n"));  // a field takes the first line
  } else if (!rich_) {
    std::wstring lines;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      if (text[i] == L'\r' || text[i] == L'\n') lines += L"\r\n";
      else lines.push_back(text[i]);
    }
    text.swap(lines);
  }
  if (text.empty()) return false;
  return Change(SelStart(), SelEnd() - SelStart(), Stored(text), Cause::User);
}

bool TextEngine::Undo() { return !ReadOnly() && StepHistory(true); }

bool TextEngine::Redo() { return !ReadOnly() && StepHistory(false); }

bool TextEngine::StepHistory(bool back) {
  size_t a = 0;
  size_t b = 0;
  std::u16string held = ime_.Text();
  LayOutComposition(u"");
  if (!(back ? buf_.Undo(&a, &b) : buf_.Redo(&a, &b))) {
    LayOutComposition(std::move(held));
    return false;
  }
  layout_.Rebuild(buf_.Text());
  // What an undo put back is selected; a redo leaves the caret after it.
  caret_ = std::min(b, buf_.Length());
  anchor_ = back ? std::min(a, buf_.Length()) : caret_;
  atLineEnd_ = false;
  modified_ = true;
  LayOutComposition(std::move(held));
  ScrollToCaret();
  UpdateScrollBars();
  PlaceCaret();
  Changed(false);
  return true;
}

void TextEngine::SetBackground(COLORREF color, bool system) {
  background_ = color;
  systemBackground_ = system;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TextEngine::SetHideSelection(bool hide) {
  hideSelection_ = hide;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT TextEngine::Char(WPARAM ch) {
  std::u16string s;
  if (IsHighHalf(ch)) {
    pendingHigh_ = static_cast<char16_t>(ch);  // the other half follows
    return 0;
  }
  if (IsLowHalf(ch)) {
    if (!pendingHigh_) return 0;
    s = {pendingHigh_, static_cast<char16_t>(ch)};
  } else if (ch > 0x10FFFF) {
    return 0;
  } else if (ch > 0xFFFF) {
    s = WideToUtf16(std::wstring(1, static_cast<wchar_t>(ch)));
  }
  pendingHigh_ = 0;
  switch (ch) {
    case 0x01: SetSel(0, -1); return 0;  // Ctrl+A
    case 0x03: Copy(); return 0;         // Ctrl+C
    case 0x16: Paste(); return 0;        // Ctrl+V
    case 0x18: Cut(); return 0;          // Ctrl+X
    case 0x1A: Undo(); return 0;         // Ctrl+Z
    case 0x08:
      if (ReadOnly()) return 0;
      if (SelStart() != SelEnd()) Clear();
      else if (caret_ > 0) Change(buf_.Prev(caret_), caret_ - buf_.Prev(caret_), u"", Cause::User);
      return 0;
    case L'\r':
    case L'\n':
      if (!Multiline()) return 0;
      s = rich_ ? u"\r" : u"\r\n";
      break;
    case L'\t':
      if (!Multiline()) return 0;
      break;
    default:
      if (ch < 0x20 || ch == 0x7F) return 0;
      break;
  }
  if (ReadOnly()) return 0;
  const DWORD style = Style();
  if ((style & ES_NUMBER) && !(ch >= L'0' && ch <= L'9')) return 0;
  if (s.empty()) {
    wchar_t c = static_cast<wchar_t>(ch);
    if (style & ES_UPPERCASE) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    if (style & ES_LOWERCASE) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    s = std::u16string(1, static_cast<char16_t>(c));
  }
  Change(SelStart(), SelEnd() - SelStart(), std::move(s), Cause::Typing);
  return 0;
}

LRESULT TextEngine::KeyDown(WPARAM key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const std::u16string& t = buf_.Text();
  const size_t line = CaretLine();
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
      const bool right = key == VK_RIGHT;
      if (!shift && SelStart() != SelEnd()) MoveCaret(right ? SelEnd() : SelStart(), false);
      else if (ctrl) MoveCaret(WordEdge(caret_, right), shift);
      else MoveCaret(right ? buf_.Next(caret_) : buf_.Prev(caret_), shift);
      desiredX_ = -1;
      return 0;
    }
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
      if (!Multiline()) return key == VK_UP || key == VK_DOWN ? KeyDown(key == VK_UP ? VK_LEFT : VK_RIGHT) : 0;
      const long long step = key == VK_UP ? -1 : key == VK_DOWN ? 1 : key == VK_PRIOR ? -VisibleLines() : VisibleLines();
      const long long to = std::clamp<long long>(static_cast<long long>(line) + step, 0,
                                                 static_cast<long long>(layout_.Count()) - 1);
      const int x = desiredX_ >= 0 ? desiredX_ : XAt(line, caret_);
      if (key == VK_PRIOR || key == VK_NEXT) ScrollTo(static_cast<long long>(top_) + step, xScroll_);
      const size_t pos = PosNear(static_cast<size_t>(to), x);
      MoveCaret(pos, shift, EndsSoftLine(static_cast<size_t>(to), pos));
      desiredX_ = x;
      return 0;
    }
    case VK_HOME:
      MoveCaret(ctrl ? 0 : LineStart(line), shift);
      desiredX_ = -1;
      return 0;
    case VK_END:
      MoveCaret(ctrl ? t.size() : LineEnd(line), shift, !ctrl);
      desiredX_ = -1;
      return 0;
    case VK_DELETE:
      if (shift) {
        Cut();
      } else if (!ReadOnly()) {
        if (SelStart() != SelEnd()) Clear();
        else if (caret_ < t.size()) Change(caret_, buf_.Next(caret_) - caret_, u"", Cause::User);
      }
      return 0;
    case VK_INSERT:
      if (shift) Paste();
      else if (ctrl) Copy();
      return 0;
    default:
      break;
  }
  if (!ctrl) return 0;
  switch (key) {
    case 'A': SetSel(0, -1); break;
    case 'C': Copy(); break;
    case 'X': Cut(); break;
    case 'V': Paste(); break;
    case 'Z': Undo(); break;
    case 'Y': if (rich_) Redo(); break;
    default: break;
  }
  return 0;
}

LRESULT TextEngine::Pointer(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_LBUTTONDOWN: {
      HWND hwnd = hwnd_;
      if (GetFocus() != hwnd) SetFocus(hwnd);
      if (Of(hwnd) != this) return 0;
      size_t line = 0;
      const size_t at = CharFromPos(p, &line);
      MoveCaret(at, (wParam & MK_SHIFT) != 0, EndsSoftLine(line, at));
      desiredX_ = -1;
      dragging_ = true;
      SetCapture(hwnd_);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const size_t at = CharFromPos(p, nullptr);
      anchor_ = WordEdge(std::min(buf_.Length(), buf_.Next(at)), false);
      caret_ = WordEdge(anchor_, true);
      atLineEnd_ = false;
      PlaceCaret();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_ && GetCapture() == hwnd_) {
        size_t line = 0;
        const size_t at = CharFromPos(p, &line);
        MoveCaret(at, true, EndsSoftLine(line, at));
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragging_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
      }
      return 0;
    default:
      dragging_ = false;  // WM_CAPTURECHANGED
      return 0;
  }
}

LRESULT TextEngine::Scroll(bool vertical, WORD code) {
  const long long before = static_cast<long long>(top_);
  const long long line = vertical ? 1 : aveWidth_;
  const long long page = vertical ? VisibleLines() : std::max<long long>(1, format_.right - format_.left);
  long long to = vertical ? before : xScroll_;
  switch (code) {
    case SB_LINEUP: to -= line; break;
    case SB_LINEDOWN: to += line; break;
    case SB_PAGEUP: to -= page; break;
    case SB_PAGEDOWN: to += page; break;
    case SB_TOP: to = 0; break;
    case SB_BOTTOM: to = vertical ? static_cast<long long>(layout_.Count()) : layout_.MaxWidth(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      if (GetScrollInfo(hwnd_, vertical ? SB_VERT : SB_HORZ, &si)) to = si.nTrackPos;
      break;
    }
    default: return 0;
  }
  if (vertical) ScrollTo(to, xScroll_);
  else ScrollTo(before, static_cast<int>(std::clamp<long long>(to, 0, INT32_MAX)));
  const LRESULT moved = static_cast<LRESULT>(static_cast<long long>(top_) - before);
  if (!rich_ || (eventMask_ & ENM_SCROLL)) Notify(vertical ? EN_VSCROLL : EN_HSCROLL);
  return moved;
}

LRESULT TextEngine::DlgCode(const MSG* msg) const {
  LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
  if (!Multiline()) return code;
  code |= DLGC_WANTALLKEYS;
  if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR)) {
    // Tab and Escape stay the dialog's; so does Enter unless the field wants it.
    const WPARAM k = msg->wParam;
    const bool enter = msg->message == WM_KEYDOWN ? k == VK_RETURN : k == L'\r';
    if ((msg->message == WM_KEYDOWN ? k == VK_TAB || k == VK_ESCAPE : k == L'\t' || k == 0x1B) ||
        (enter && !(Style() & ES_WANTRETURN))) {
      code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
    }
  }
  return code;
}

void TextEngine::Composition(UINT message, LPARAM lParam) {
  if (message == WM_IME_COMPOSITION && (lParam & GCS_COMPSTR) && !(lParam & GCS_RESULTSTR) && !ReadOnly()) {
    LayOutComposition(ImeComposition::ReadFrom(hwnd_));
  } else {
    LayOutComposition(u"");  // started, ended, or the result is on its way as characters
  }
  // The composition takes room as typed text does: the view follows its end.
  ScrollToCaret();
  UpdateScrollBars();
  PlaceCaret();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TextEngine::PaintLine(HDC dc, size_t line, int x0, int y, COLORREF text, COLORREF back) {
  const Line& l = layout_.Lines()[line];
  const std::u16string& t = Shown();
  const bool selecting = ShowsSelection() && SelStart() != SelEnd();
  const size_t selFrom = ToShown(SelStart());
  const size_t selTo = ToShown(SelEnd());
  const size_t composeAt = ime_.At();
  const size_t composeTo = ime_.End();  // the composition is never selected
  int markFrom = -1;  // where the composition runs on this line
  int markTo = -1;
  std::wstring run;
  std::vector<int> advances;
  int x = 0;
  int runX = 0;
  bool runSelected = false;
  auto flush = [&] {
    if (run.empty()) return;
    int width = 0;
    for (int a : advances) width += a;
    if (runSelected) {
      const RECT r{x0 + runX, y, x0 + runX + width, y + lineHeight_};
      FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    SetTextColor(dc, runSelected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
    ExtTextOutW(dc, x0 + runX, y, 0, nullptr, run.data(), static_cast<UINT>(run.size()), advances.data());
    run.clear();
    advances.clear();
  };
  (void)back;
  for (size_t i = l.start; i < l.end;) {
    size_t units = 1;
    const char32_t c = LineLayout::CodeAt(t, i, &units);
    const bool composed = i >= composeAt && i < composeTo;
    const bool selected = selecting && !composed && i >= selFrom && i < selTo;
    if (selected != runSelected || x0 + x > format_.right) {
      flush();
      if (x0 + x > format_.right) break;  // the rest lies beyond the view
      runSelected = selected;
      runX = x;
    }
    if (run.empty()) runX = x;
    const int w = Advance(c, x);
    if (x0 + x + w >= format_.left) {
      run.push_back(masked_ ? passwordChar_ : (c < 0x20 ? L' ' : static_cast<wchar_t>(c)));
      advances.push_back(w);
    }
    if (composed) {
      if (markFrom < 0) markFrom = x;
      markTo = x + w;
    }
    x += w;
    i += units;
  }
  flush();
  if (markFrom >= 0) StylePainter::PaintCompositionMark(dc, {x0 + markFrom, y, x0 + markTo, y + lineHeight_}, text);
}

void TextEngine::Paint(HDC dc) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool disabled = !IsWindowEnabled(hwnd_);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  HBRUSH brush = nullptr;
  HBRUSH own = nullptr;
  if (rich_) {
    brush = systemBackground_ ? GetSysColorBrush(COLOR_WINDOW) : (own = CreateSolidBrush(background_));
  } else if (HWND parent = GetParent(hwnd_)) {
    // The parent chooses the colours; a read-only or disabled field asks as a label does.
    const UINT ask = ReadOnly() || disabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, ask, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
  }
  if (!brush) brush = GetSysColorBrush(ReadOnly() && !rich_ ? COLOR_BTNFACE : COLOR_WINDOW);
  if (disabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  FillRect(dc, &client, brush);
  if (own) DeleteObject(own);
  const COLORREF text = GetTextColor(dc);
  const COLORREF back = GetBkColor(dc);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, format_.left, format_.top, format_.right, format_.bottom);
  SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  RECT clip{};
  GetClipBox(dc, &clip);
  const size_t last = std::min(layout_.Count(), top_ + static_cast<size_t>(VisibleLines()) + 1);
  for (size_t line = top_; line < last; ++line) {
    const int y = format_.top + static_cast<int>(line - top_) * lineHeight_;
    if (y + lineHeight_ <= clip.top || y >= clip.bottom) continue;
    PaintLine(dc, line, format_.left - xScroll_ + LineOffset(line), y, text, back);
  }
  if (Focused() && qv::ui::CaretShown(hwnd_)) {
    StylePainter::PaintCaretBar(dc, PointIn(CaretLine(), caret_), lineHeight_, text);  // after the composition
  }
  RestoreDC(dc, saved);
}

// Painting, the font and size, focus, keys, the pointer, scrolling and the
// input method's composition.
std::optional<LRESULT> TextEngine::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      if (wParam) {
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
      }
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(hwnd_, &ps)) Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      FontChanged();
      PlaceFormatRect();
      Relayout();
      if (Focused()) {
        CreateCaret(hwnd_, nullptr, StylePainter::kCaretWidth, lineHeight_);
        ShowCaret(hwnd_);
        PlaceCaret();
      }
      if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_GETDLGCODE:
      return DlgCode(reinterpret_cast<const MSG*>(lParam));
    case WM_SIZE:
      PlaceFormatRect();
      Relayout();
      return 0;
    case WM_STYLECHANGED:
      if (static_cast<int>(wParam) == GWL_STYLE && lParam) {
        const DWORD style = reinterpret_cast<const STYLESTRUCT*>(lParam)->styleNew;
        wantV_ = (style & WS_VSCROLL) != 0;
        wantH_ = (style & WS_HSCROLL) != 0;
        Relayout();
      }
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_SETFOCUS: {
      CreateCaret(hwnd_, nullptr, StylePainter::kCaretWidth, lineHeight_);
      PlaceCaret();
      ShowCaret(hwnd_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      Notify(EN_SETFOCUS);
      return 0;
    }
    case WM_KILLFOCUS:
      DestroyCaret();
      LayOutComposition(u"");
      InvalidateRect(hwnd_, nullptr, FALSE);
      Notify(EN_KILLFOCUS);
      return 0;
    case WM_CHAR:
      return Char(wParam);
    case WM_KEYDOWN:
      return KeyDown(wParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      return Pointer(message, wParam, lParam);
    case WM_VSCROLL:
    case WM_HSCROLL:
      Scroll(message == WM_VSCROLL, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      ScrollTo(static_cast<long long>(top_) - GET_WHEEL_DELTA_WPARAM(wParam) * kWheelLines / WHEEL_DELTA, xScroll_);
      return 0;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
      Composition(message, lParam);
      return 0;
    default:
      return std::nullopt;
  }
}

// The text, the selection, the clipboard, undo, the limit and the modified flag.
std::optional<LRESULT> TextEngine::TextMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      SetText(lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
      return TRUE;
    case WM_GETTEXT:
      return CopyText(TextOf(0, buf_.Length(), true), reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(buf_.Length() +
                                  (rich_ ? std::count(buf_.Text().begin(), buf_.Text().end(), u'\r') : 0));
    case WM_COPY:
      return Copy() ? 1 : 0;
    case WM_CUT:
      return Cut() ? 1 : 0;
    case WM_PASTE:
      return Paste() ? 1 : 0;
    case WM_CLEAR:
      return Clear() ? 1 : 0;
    case WM_UNDO:
    case EM_UNDO:
      return Undo() ? TRUE : FALSE;
    case EM_CANUNDO:
      return buf_.CanUndo() ? TRUE : FALSE;
    case EM_EMPTYUNDOBUFFER:
      buf_.ClearUndo();
      return 0;
    case EM_GETSEL: {
      const size_t s = SelStart();
      const size_t e = SelEnd();
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(s);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(e);
      return s > 0xFFFF || e > 0xFFFF ? -1 : MAKELONG(s, e);
    }
    case EM_SETSEL:
      SetSel(static_cast<int>(wParam), static_cast<int>(lParam));
      return 0;
    case EM_REPLACESEL:
      ReplaceSel(lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"", wParam != 0);
      return 0;
    case EM_LIMITTEXT:
      limit_ = wParam ? static_cast<size_t>(wParam) : rich_ ? kRichZeroLimit : kMostText;
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(limit_);
    case EM_GETMODIFY:
      return modified_ ? TRUE : FALSE;
    case EM_SETMODIFY:
      modified_ = wParam != 0;
      return 0;
    default:
      return std::nullopt;
  }
}

// Lines and the view's place in them.
std::optional<LRESULT> TextEngine::LineMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case EM_GETLINECOUNT:
      return static_cast<LRESULT>(layout_.Count());
    case EM_LINEINDEX: {
      const long long l = static_cast<int>(wParam) < 0 ? static_cast<long long>(LineOfPos(caret_))
                                                       : static_cast<long long>(static_cast<int>(wParam));
      if (l >= static_cast<long long>(layout_.Count())) return -1;
      return static_cast<LRESULT>(LineStart(static_cast<size_t>(l)));
    }
    case EM_LINELENGTH: {
      if (static_cast<int>(wParam) < 0) {
        const size_t a = LineStart(LineOfPos(SelStart()));
        const size_t b = LineEnd(LineOfPos(SelEnd()));
        return static_cast<LRESULT>((SelStart() - a) + (b > SelEnd() ? b - SelEnd() : 0));
      }
      const size_t l = LineOfPos(static_cast<size_t>(static_cast<int>(wParam)));
      return static_cast<LRESULT>(LineEnd(l) - LineStart(l));
    }
    case EM_LINEFROMCHAR:
      return static_cast<LRESULT>(LineFromChar(static_cast<int>(wParam)));
    case EM_GETLINE: {
      if (!lParam || wParam >= layout_.Count()) return 0;
      const WORD room = *reinterpret_cast<const WORD*>(lParam);
      const std::wstring text = TextOf(LineStart(wParam), LineEnd(wParam), false);
      const size_t n = std::min<size_t>(room, text.size());
      std::copy_n(text.data(), n, reinterpret_cast<LPWSTR>(lParam));
      return static_cast<LRESULT>(n);
    }
    case EM_GETFIRSTVISIBLELINE:
      return Multiline() ? static_cast<LRESULT>(top_) : static_cast<LRESULT>(PosNear(0, xScroll_));
    case EM_SCROLL:
      return MAKELONG(static_cast<int>(Scroll(true, static_cast<WORD>(wParam))), TRUE);
    case EM_LINESCROLL:
      if (!Multiline()) return FALSE;
      ScrollTo(static_cast<long long>(top_) + static_cast<int>(lParam), xScroll_ + static_cast<int>(wParam) * aveWidth_);
      return TRUE;
    case EM_SCROLLCARET:
      ScrollToCaret();
      return TRUE;
    default:
      return std::nullopt;
  }
}

// How the text shows: read-only, the password mask, the format rectangle, margins.
std::optional<LRESULT> TextEngine::LookMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case EM_SETREADONLY: {
      const LONG_PTR style = GetWindowLongW(hwnd_, GWL_STYLE);
      SetWindowLongW(hwnd_, GWL_STYLE, wParam ? style | ES_READONLY : style & ~static_cast<LONG_PTR>(ES_READONLY));
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    }
    case EM_SETPASSWORDCHAR: {
      passwordChar_ = static_cast<wchar_t>(wParam);
      const LONG_PTR style = GetWindowLongW(hwnd_, GWL_STYLE);
      SetWindowLongW(hwnd_, GWL_STYLE, wParam ? style | ES_PASSWORD : style & ~static_cast<LONG_PTR>(ES_PASSWORD));
      Relayout();
      return 0;
    }
    case EM_GETPASSWORDCHAR:
      return Password() ? static_cast<LRESULT>(passwordChar_) : 0;
    case EM_GETRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = format_;
      return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
      customRect_ = lParam != 0;
      if (lParam) format_ = *reinterpret_cast<const RECT*>(lParam);
      PlaceFormatRect();
      Relayout();
      return 0;
    case EM_SETMARGINS: {
      // EC_USEFONTINFO: a margin of half an average character.
      auto margin = [&](WORD value) { return value == EC_USEFONTINFO ? aveWidth_ / 2 : static_cast<int>(value); };
      if (wParam & EC_LEFTMARGIN) leftMargin_ = margin(LOWORD(lParam));
      if (wParam & EC_RIGHTMARGIN) rightMargin_ = margin(HIWORD(lParam));
      PlaceFormatRect();
      Relayout();
      return 0;
    }
    case EM_GETMARGINS: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      return MAKELONG(format_.left - client.left, std::max<LONG>(0, client.right - format_.right));
    }
    default:
      return std::nullopt;
  }
}

std::optional<LRESULT> TextEngine::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  using Group = std::optional<LRESULT> (TextEngine::*)(UINT, WPARAM, LPARAM);
  static constexpr Group kGroups[] = {&TextEngine::WindowMessage, &TextEngine::TextMessage, &TextEngine::LineMessage,
                                      &TextEngine::LookMessage};
  for (Group group : kGroups) {
    // A group that answers may have let the window (and this engine) go.
    if (std::optional<LRESULT> answer = (this->*group)(message, wParam, lParam)) return answer;
  }
  return std::nullopt;
}

}  // namespace qv::ui::text
