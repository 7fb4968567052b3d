// The look of every control, painted in one place: push buttons, check
// boxes, radio buttons, group boxes, frames, focus marks, scroll bars and
// captions. The look is flat and plain for a 192-dpi handheld: system
// colours, 2-px frames, no bevels. Controls decide what state they are in;
// the painter decides how that looks, drawing through gdi only.
#pragma once

#include "platform/gdi/GdiTypes.h"

namespace qv::ui {

struct ControlState {
  bool pressed = false;
  bool focused = false;
  bool disabled = false;
  bool isDefault = false;  // the push button Enter presses
};

enum class FrameKind {
  Thin,    // 1 px, the window frame colour (WS_BORDER)
  Window,  // 2 px, the window frame colour (dialog frames)
  Sunken,  // 2 px, the shadow colour (client edges)
};

// One item of an open menu as the menu window sees it.
struct MenuItemLook {
  bool selected = false;
  bool disabled = false;
  bool checked = false;
  bool radio = false;    // a checked item shows a dot, not a tick
  bool cascade = false;  // opens a popup of its own
  bool separator = false;
};

enum class ScrollPart { None, LineUp, PageUp, Thumb, PageDown, LineDown };

// Values of one scroll bar as its owner keeps them.
struct ScrollValues {
  int min = 0;
  int max = 0;
  UINT page = 0;
  int pos = 0;
};

// Where the parts of a scroll bar lie: an arrow box at each end as deep as
// the bar is thick, the track between them and the thumb on it.
struct ScrollLayout {
  RECT up{};     // left arrow for a horizontal bar
  RECT track{};  // between the arrows
  RECT thumb{};  // empty when there is nothing to scroll
  RECT down{};
};

class QV_PLATFORM_API StylePainter {
 public:
  // Sizes of the look, in device pixels.
  static constexpr int kFrame = 2;
  static constexpr int kFocusInset = 4;  // from a push button's edge to its focus mark
  static constexpr int kCheckBox = 26;   // a check box's or radio button's mark
  static constexpr int kLabelGap = 8;    // between the mark and its label
  static constexpr int kMinThumb = 16;
  static constexpr int kTextMargin = 6;  // from a text field's edge to its text
  static constexpr int kCaretWidth = 2;

  static void PaintFrame(HDC dc, const RECT& r, FrameKind kind);
  static void PaintFocusRect(HDC dc, const RECT& r);
  // Face, frame and centred label of a push button (DrawText format `format`
  // for the label; the DC's font is used).
  static void PaintPushButton(HDC dc, const RECT& r, LPCWSTR text, UINT format, const ControlState& s);
  // The mark of a check box (check: 0 clear, 1 checked, 2 indeterminate) or
  // a radio button, in `box`.
  static void PaintCheckMark(HDC dc, const RECT& box, int check, const ControlState& s);
  static void PaintRadioMark(HDC dc, const RECT& box, bool checked, const ControlState& s);
  // A label beside a mark; the focus mark goes round it when focused.
  static void PaintLabel(HDC dc, const RECT& r, LPCWSTR text, UINT format, const ControlState& s);
  static void PaintGroupBox(HDC dc, const RECT& r, LPCWSTR text, const ControlState& s);
  static ScrollLayout LayOutScrollBar(const RECT& bar, bool vertical, const ScrollValues& v);
  static void PaintScrollBar(HDC dc, const RECT& bar, bool vertical, const ScrollValues& v, bool disabled,
                             ScrollPart pressed);
  static void PaintCaption(HDC dc, const RECT& r, LPCWSTR text, bool active);
  // The OK button a caption carries at its right end (WS_EX_CAPTIONOKBTN),
  // as deep as the caption bar `bar`.
  static RECT CaptionOkButton(const RECT& bar);
  static void PaintCaptionOkButton(HDC dc, const RECT& bar, bool pressed);
  // One line of a list (list box, combo box, tree label): the highlight
  // under a selected line, its text, and the focus mark round the caret line.
  // An inactive selection (a control that shows it without the focus) is
  // drawn in the face colour, so that only the focused control looks chosen.
  static void PaintListItem(HDC dc, const RECT& r, LPCWSTR text, bool selected, bool caret, const ControlState& s,
                            bool inactive = false);
  // The field of a drop-down list combo box: its frame, the chosen line and
  // the drop button at the right end, as wide as the field is deep.
  // `back` and `ink`: the parent's colours for the field (WM_CTLCOLOREDIT),
  // null for the look's own; `text` null leaves the line to its owner, in
  // ComboLine.
  static RECT ComboButton(const RECT& field);
  static RECT ComboLine(const RECT& field);
  static void PaintComboField(HDC dc, const RECT& field, LPCWSTR text, bool dropped, const ControlState& s,
                              HBRUSH back = nullptr, COLORREF ink = 0);
  // A tree's expand button (a boxed plus or minus) centred on `centre`, and
  // its connecting lines, 1 px in the shadow colour.
  static constexpr int kTreeButton = 18;
  static void PaintTreeButton(HDC dc, POINT centre, bool expanded);
  static void PaintTreeLine(HDC dc, POINT from, POINT to);
  // A message box's picture for its MB_ICON* bits (MB_ICONMASK), in `box`.
  static void PaintMessageIcon(HDC dc, const RECT& box, UINT iconBits);

  // Menus: a column for the check mark, the text (what follows a tab is
  // set flush right), a column for a cascade's arrow.
  static constexpr int kMenuCheckColumn = 40;
  static constexpr int kMenuArrowColumn = 36;
  static constexpr int kMenuTextGap = 24;   // between the text and its right-hand part
  static constexpr int kMenuSeparator = 14; // a separator's height
  static void PaintMenuBackground(HDC dc, const RECT& r);
  static void PaintMenuItem(HDC dc, const RECT& r, LPCWSTR text, const MenuItemLook& look);

  // The mark under a run of text being composed (`run`: the run's cell on its
  // line; the field lays the text out and draws it); and the caret's bar.
  static void PaintCompositionMark(HDC dc, const RECT& run, COLORREF ink);
  static void PaintCaretBar(HDC dc, POINT at, int lineHeight, COLORREF ink);

  // Lists and their headers.
  static constexpr int kItemPadding = 6;  // between an item's text and its cell's edge
  // A header title: face, a divider at its right edge, the text (DrawText
  // format `format`) and the sort arrow (sort: 0 none, 1 up, 2 down).
  static void PaintHeaderItem(HDC dc, const RECT& r, LPCWSTR text, UINT format, int sort, bool pressed);
  // A list item's text in `ink`, on `back` unless it is CLR_NONE.
  static void PaintItemText(HDC dc, const RECT& r, LPCWSTR text, UINT format, COLORREF ink, COLORREF back);
  // A list's grid line: a rectangle one pixel deep or wide.
  static void PaintGridLine(HDC dc, const RECT& r);

  // Tab controls: the strip the tabs stand on (a line along the edge that
  // meets the pages) and one tab. The chosen tab is open towards the pages
  // and drawn in the window colour; the others are set back in the face colour.
  static constexpr int kTabPadding = 12;  // round a tab's text
  static constexpr int kTabMinWidth = 48;
  static void PaintTabStrip(HDC dc, const RECT& strip, bool bottom);
  static void PaintTab(HDC dc, const RECT& r, LPCWSTR text, bool selected, bool bottom, const ControlState& s);
};

}  // namespace qv::ui
