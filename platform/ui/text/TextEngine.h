// The text engine under the "Edit" and "RICHEDIT50W" classes: the buffer,
// its line layout over the window's font, the selection and caret, undo,
// scrolling, the clipboard, painting and the input method's composition
// (the undo history and the composition are classes of their own).
// One engine lives in each such window and answers the messages the two
// classes share; each class adds the few of its own.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "platform/ui/text/ImeComposition.h"
#include "platform/ui/text/LineLayout.h"
#include "platform/ui/text/TextBuffer.h"
#include "platform/ui/window/Window.h"

namespace qv::ui::text {

class TextEngine {
 public:
  TextEngine(HWND hwnd, bool rich, const CREATESTRUCTW* cs);
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // The engine of an "Edit" or "RICHEDIT50W" window; null before WM_CREATE.
  static TextEngine* Of(HWND hwnd);
  // Makes the window's engine on WM_CREATE and frees it on WM_NCDESTROY;
  // answers the messages both classes share; empty for any other.
  static std::optional<LRESULT> Dispatch(HWND hwnd, bool rich, UINT message, WPARAM wParam, LPARAM lParam);

  std::optional<LRESULT> Handle(UINT message, WPARAM wParam, LPARAM lParam);

  // Positions count UTF-16 units of the stored text.
  size_t Length() const { return buf_.Length(); }
  size_t SelStart() const { return std::min(anchor_, caret_); }
  size_t SelEnd() const { return std::max(anchor_, caret_); }
  // start < 0 removes the selection; end < 0 (or past the text) is its end.
  void SetSel(long long start, long long end);
  size_t LineFromChar(long long pos) const;
  size_t LineCount() const { return layout_.Count(); }
  size_t FirstVisibleLine() const { return top_; }
  RECT FormatRect() const { return format_; }
  // Client position of the character at `pos` (its top left).
  POINT PosFromChar(size_t pos) const;
  // The character nearest a client point, and its line.
  size_t CharFromPos(POINT p, size_t* line) const;

  void SetLimit(size_t limit) { limit_ = limit; }
  size_t Limit() const { return limit_; }
  // Rich edits send EN_CHANGE and EN_UPDATE only when the mask asks.
  void SetEventMask(DWORD mask) { eventMask_ = mask; }
  DWORD EventMask() const { return eventMask_; }
  void SetWrap(bool wrap);
  // A rich edit's TM_ flags; only an empty control changes them.
  int TextMode() const { return textMode_; }
  bool SetTextMode(int mode);
  // Replaces the selection with `text` (line ends as the caller wrote them).
  void ReplaceSel(std::wstring_view text, bool undoable);
  bool Paste();
  bool Undo();
  bool Redo();
  bool CanRedo() const { return buf_.CanRedo(); }
  void SetUndoDepth(size_t depth) { buf_.SetUndoDepth(depth); }
  void SetBackground(COLORREF color, bool system);
  void SetHideSelection(bool hide);
  // Stored text of [from, to) as the caller reads it (rich edits' CR as CR LF
  // when `crlf`).
  std::wstring TextOf(size_t from, size_t to, bool crlf) const;

 private:
  enum class Cause { Typing, User, Program, SetText };

  DWORD Style() const;
  bool Multiline() const;
  bool ReadOnly() const;
  bool Password() const;
  bool Focused() const;
  bool ShowsSelection() const;

  // Measuring with the window's font.
  void FontChanged();
  int Advance(char32_t c, int x);
  void Relayout();
  void PlaceFormatRect();
  int VisibleLines() const;

  // Changes the text; false when nothing changed (refused or over the limit).
  bool Change(size_t pos, size_t count, std::u16string with, Cause cause, bool undoable = true);
  void Notify(WORD code) const;
  // `area`: what to draw again (null: all of it).
  void Changed(bool setText, const RECT* area = nullptr);
  std::u16string Stored(std::wstring_view text) const;
  // Undoes (back) or redoes the last step of the history.
  bool StepHistory(bool back);
  // `lineEnd`: a caret where a wrapped line ends stays on that line rather
  // than at the start of the next one.
  void MoveCaret(size_t pos, bool extend, bool lineEnd = false);
  size_t CaretLine() const;
  POINT PointIn(size_t line, size_t pos) const;
  // The same for a position of the shown text (composition included).
  POINT ShownPoint(size_t line, size_t shown) const;
  bool EndsSoftLine(size_t line, size_t pos) const;
  // The layout's positions count the shown text (the composition in it).
  const std::u16string& Shown() const { return ime_.Shown(buf_.Text()); }
  size_t ToShown(size_t pos) const { return ime_.ToShown(pos); }
  size_t FromShown(size_t shown) const { return ime_.FromShown(shown); }
  size_t LineOfPos(size_t pos) const { return layout_.LineOf(ToShown(pos)); }
  int XAt(size_t line, size_t pos) const { return layout_.XOf(Shown(), line, ToShown(pos)); }
  size_t PosNear(size_t line, int x) const { return FromShown(layout_.PosAt(Shown(), line, x)); }
  size_t LineStart(size_t line) const { return FromShown(layout_.Lines()[line].start); }
  // Puts `text` in the layout as the composition (empty: none), at the caret
  // when none was there.
  void LayOutComposition(std::u16string text);
  void ScrollToCaret();
  void ScrollTo(long long line, int x);
  void UpdateScrollBars();
  void Redraw();
  void PlaceCaret();
  size_t LineEnd(size_t line) const;
  // Pixels a line starts right of the view's left (ES_CENTER, ES_RIGHT).
  int LineOffset(size_t line) const;
  size_t WordEdge(size_t pos, bool forward) const;

  // Messages, by what they work on (each group leaves the others' empty).
  std::optional<LRESULT> WindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> TextMessage(UINT message, WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> LineMessage(UINT message, WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> LookMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Char(WPARAM ch);
  LRESULT KeyDown(WPARAM key);
  LRESULT Pointer(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Scroll(bool vertical, WORD code);
  LRESULT DlgCode(const MSG* msg) const;
  bool Copy() const;
  bool Cut();
  bool Clear();
  void SetText(std::wstring_view text);
  void Paint(HDC dc);
  void PaintLine(HDC dc, size_t line, int x0, int y, COLORREF text, COLORREF back);
  void Composition(UINT message, LPARAM lParam);

  HWND hwnd_;
  bool rich_;
  TextBuffer buf_;
  LineLayout layout_;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  int desiredX_ = -1;  // where up and down keep the caret
  bool atLineEnd_ = false;
  size_t top_ = 0;     // first line shown
  int xScroll_ = 0;    // pixels scrolled sideways
  RECT format_{};
  bool customRect_ = false;
  int leftMargin_ = -1;  // pixels between the frame and the text; -1: the look's own
  int rightMargin_ = -1;
  size_t limit_;
  DWORD eventMask_ = 0;
  int textMode_ = 0;
  bool modified_ = false;
  wchar_t passwordChar_ = L'*';
  bool wantH_ = false;
  bool wantV_ = false;
  bool wrapOff_ = false;  // a rich edit told to lay out without wrapping
  bool hideSelection_ = false;
  bool masked_ = false;  // as of the last layout: the password mask stands in
  bool tabs_ = false;    // as of the last layout: tabs go to tab stops
  bool dragging_ = false;
  char16_t pendingHigh_ = 0;  // the first half of a character typed in two
  ImeComposition ime_;
  COLORREF background_ = 0;
  bool systemBackground_ = true;

  HFONT font_ = nullptr;
  HDC measureDc_ = nullptr;
  int lineHeight_ = 1;
  int aveWidth_ = 1;
  std::unordered_map<char32_t, int> widths_;
};

}  // namespace qv::ui::text
