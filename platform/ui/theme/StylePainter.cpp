#include "platform/ui/theme/StylePainter.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

namespace qv::ui {
namespace {

void Fill(HDC dc, const RECT& r, int color) { FillRect(dc, &r, GetSysColorBrush(color)); }

// A frame `width` pixels deep inside r.
void Frame(HDC dc, const RECT& r, int width, int color) {
  const LONG w = width;
  Fill(dc, {r.left, r.top, r.right, r.top + w}, color);
  Fill(dc, {r.left, r.bottom - w, r.right, r.bottom}, color);
  Fill(dc, {r.left, r.top + w, r.left + w, r.bottom - w}, color);
  Fill(dc, {r.right - w, r.top + w, r.right, r.bottom - w}, color);
}

RECT Inset(const RECT& r, int by) { return {r.left + by, r.top + by, r.right - by, r.bottom - by}; }

void Text(HDC dc, RECT r, LPCWSTR text, UINT format, int color) {
  if (!text || !*text) return;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = SetTextColor(dc, GetSysColor(color));
  DrawTextW(dc, text, -1, &r, format);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

// A filled ellipse with a 2-px outline.
void Disc(HDC dc, const RECT& r, int outline, int fill) {
  const qv::ScopedGdiObject<HPEN> pen(CreatePen(PS_INSIDEFRAME, StylePainter::kFrame, GetSysColor(outline)));
  const qv::ScopedSelectObject withPen(dc, outline < 0 ? GetStockObject(NULL_PEN) : pen.get());
  const qv::ScopedSelectObject withBrush(dc, GetSysColorBrush(fill));
  Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

// A solid triangle pointing `dir` (0 up, 1 down, 2 left, 3 right) centred in r.
void Arrow(HDC dc, const RECT& r, int dir, int color) {
  const LONG size = std::max<LONG>(2, std::min(r.right - r.left, r.bottom - r.top) / 4);
  const LONG cx = (r.left + r.right) / 2;
  const LONG cy = (r.top + r.bottom) / 2;
  for (LONG i = 0; i < size; ++i) {
    const LONG half = dir % 2 == 0 ? i : size - 1 - i;  // widening from the tip
    if (dir <= 1) Fill(dc, {cx - half - 1, cy - size / 2 + i, cx + half + 1, cy - size / 2 + i + 1}, color);
    else Fill(dc, {cx - size / 2 + i, cy - half - 1, cx - size / 2 + i + 1, cy + half + 1}, color);
  }
}

int LabelColor(const ControlState& s) { return s.disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT; }

}  // namespace

void StylePainter::PaintFrame(HDC dc, const RECT& r, FrameKind kind) {
  switch (kind) {
    case FrameKind::Thin: Frame(dc, r, 1, COLOR_WINDOWFRAME); break;
    case FrameKind::Window: Frame(dc, r, kFrame, COLOR_WINDOWFRAME); break;
    case FrameKind::Sunken: Frame(dc, r, kFrame, COLOR_BTNSHADOW); break;
  }
}

void StylePainter::PaintFocusRect(HDC dc, const RECT& r) { Frame(dc, r, kFrame, COLOR_HIGHLIGHT); }

void StylePainter::PaintPushButton(HDC dc, const RECT& r, LPCWSTR text, UINT format, const ControlState& s) {
  Fill(dc, Inset(r, kFrame), s.pressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  Frame(dc, r, kFrame, s.isDefault && !s.disabled ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW);
  if (s.focused && !s.pressed) PaintFocusRect(dc, Inset(r, kFocusInset));
  Text(dc, Inset(r, kFocusInset + kFrame), text, format,
       s.disabled ? COLOR_GRAYTEXT : s.pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
}

void StylePainter::PaintCheckMark(HDC dc, const RECT& box, int check, const ControlState& s) {
  Fill(dc, Inset(box, kFrame), s.pressed ? COLOR_BTNFACE : COLOR_WINDOW);
  Frame(dc, box, kFrame, s.disabled ? COLOR_GRAYTEXT : COLOR_WINDOWFRAME);
  if (check == 1) {
    // A tick: down to the bottom third, then up to the right.
    const LONG w = box.right - box.left;
    const POINT tick[] = {{box.left + w * 5 / 26, box.top + w * 13 / 26},
                          {box.left + w * 11 / 26, box.top + w * 18 / 26},
                          {box.left + w * 20 / 26, box.top + w * 8 / 26}};
    const qv::ScopedGdiObject<HPEN> pen(
        CreatePen(PS_SOLID, std::max<int>(2, static_cast<int>(w) / 9), GetSysColor(s.disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT)));
    const qv::ScopedSelectObject withPen(dc, pen.get());
    Polyline(dc, tick, 3);
  }
  if (check == 2) Fill(dc, Inset(box, 3 * kFrame), COLOR_BTNSHADOW);  // indeterminate: a grey square
}

void StylePainter::PaintRadioMark(HDC dc, const RECT& box, bool checked, const ControlState& s) {
  Disc(dc, box, s.disabled ? COLOR_GRAYTEXT : COLOR_WINDOWFRAME, s.pressed ? COLOR_BTNFACE : COLOR_WINDOW);
  if (checked) Disc(dc, Inset(box, 4 * kFrame), -1, s.disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
}

void StylePainter::PaintLabel(HDC dc, const RECT& r, LPCWSTR text, UINT format, const ControlState& s) {
  const RECT area = Inset(r, kFrame);
  Text(dc, area, text, format, LabelColor(s));
  if (!s.focused || !text || !*text) return;
  // A dotted frame round the label's text, as the focus shows on a check
  // box or radio button, kept within the control.
  RECT size = area;
  DrawTextW(dc, text, -1, &size, (format & ~static_cast<UINT>(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
  const LONG w = size.right - size.left, h = size.bottom - size.top;
  const LONG left = (format & DT_CENTER) ? (area.left + area.right - w) / 2 : (format & DT_RIGHT) ? area.right - w : area.left;
  const LONG top = (format & DT_VCENTER) ? (area.top + area.bottom - h) / 2 : (format & DT_BOTTOM) ? area.bottom - h : area.top;
  RECT frame{left - 1, top - 1, left + w + 1, top + h + 1};
  IntersectRect(&frame, &frame, &r);
  const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
  for (LONG x = frame.left; x < frame.right; x += 2) {
    SetPixel(dc, x, frame.top, ink);
    SetPixel(dc, x, frame.bottom - 1, ink);
  }
  for (LONG y = frame.top; y < frame.bottom; y += 2) {
    SetPixel(dc, frame.left, y, ink);
    SetPixel(dc, frame.right - 1, y, ink);
  }
}

void StylePainter::PaintGroupBox(HDC dc, const RECT& r, LPCWSTR text, const ControlState& s) {
  SIZE extent{};
  const bool labelled = text && *text;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (labelled) GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &extent);
  const LONG top = r.top + (labelled ? tm.tmHeight / 2 : 0);
  Frame(dc, {r.left, top, r.right, r.bottom}, kFrame, COLOR_BTNSHADOW);
  if (!labelled) return;
  const RECT label{r.left + kLabelGap, r.top, std::min(r.right - kLabelGap, r.left + 2 * kLabelGap + extent.cx),
                   r.top + tm.tmHeight};
  Fill(dc, label, COLOR_BTNFACE);
  Text(dc, {label.left + kLabelGap / 2, label.top, label.right, label.bottom}, text, DT_LEFT | DT_SINGLELINE,
       LabelColor(s));
}

ScrollLayout StylePainter::LayOutScrollBar(const RECT& bar, bool vertical, const ScrollValues& v) {
  ScrollLayout l;
  const LONG length = vertical ? bar.bottom - bar.top : bar.right - bar.left;
  const LONG thickness = vertical ? bar.right - bar.left : bar.bottom - bar.top;
  const LONG arrow = std::min(thickness, length / 2);
  // Along the bar, then turned into rectangles.
  auto span = [&](LONG from, LONG to) {
    return vertical ? RECT{bar.left, bar.top + from, bar.right, bar.top + to}
                    : RECT{bar.left + from, bar.top, bar.left + to, bar.bottom};
  };
  l.up = span(0, arrow);
  l.down = span(length - arrow, length);
  l.track = span(arrow, length - arrow);
  const LONG track = length - 2 * arrow;
  const long long range = static_cast<long long>(v.max) - v.min + 1;
  const long long page = std::max<long long>(v.page, 1);
  if (range <= page || track <= 0) return l;  // nothing to scroll: no thumb
  LONG thumb = v.page ? static_cast<LONG>(track * static_cast<long long>(v.page) / range) : thickness;
  thumb = std::min(track, std::max<LONG>(thumb, kMinThumb));
  const long long travel = range - page;  // positions past the first
  const LONG at = static_cast<LONG>((track - thumb) * (static_cast<long long>(v.pos) - v.min) / travel);
  l.thumb = span(arrow + at, arrow + at + thumb);
  return l;
}

void StylePainter::PaintScrollBar(HDC dc, const RECT& bar, bool vertical, const ScrollValues& v, bool disabled,
                                  ScrollPart pressed) {
  const ScrollLayout l = LayOutScrollBar(bar, vertical, v);
  Fill(dc, l.track, COLOR_SCROLLBAR);
  const bool canScroll = !disabled && !IsRectEmpty(&l.thumb);
  const int ink = canScroll ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
  const std::pair<const RECT*, ScrollPart> arrows[] = {{&l.up, ScrollPart::LineUp}, {&l.down, ScrollPart::LineDown}};
  for (auto [r, part] : arrows) {
    Fill(dc, Inset(*r, kFrame), pressed == part ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    Frame(dc, *r, kFrame, COLOR_BTNSHADOW);
    const int dir = (part == ScrollPart::LineUp ? 0 : 1) + (vertical ? 0 : 2);
    Arrow(dc, *r, dir, pressed == part ? COLOR_HIGHLIGHTTEXT : ink);
  }
  if (canScroll) Fill(dc, l.thumb, pressed == ScrollPart::Thumb ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW);
}

void StylePainter::PaintCaption(HDC dc, const RECT& r, LPCWSTR text, bool active) {
  Fill(dc, r, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
  Text(dc, {r.left + kLabelGap, r.top, r.right - kLabelGap, r.bottom}, text,
       DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS,
       active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT);
}

RECT StylePainter::CaptionOkButton(const RECT& bar) {
  const LONG depth = bar.bottom - bar.top;
  const LONG width = std::min<LONG>(2 * depth, (bar.right - bar.left) / 3);
  return {bar.right - width, bar.top, bar.right, bar.bottom};
}

void StylePainter::PaintCaptionOkButton(HDC dc, const RECT& bar, bool pressed) {
  const RECT r = Inset(CaptionOkButton(bar), kFrame);
  Fill(dc, r, pressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  Frame(dc, r, kFrame, COLOR_WINDOWFRAME);
  Text(dc, r, L"OK", DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
       pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
}

void StylePainter::PaintListItem(HDC dc, const RECT& r, LPCWSTR text, bool selected, bool caret,
                                 const ControlState& s, bool inactive) {
  if (selected) Fill(dc, r, s.disabled || inactive ? COLOR_BTNFACE : COLOR_HIGHLIGHT);
  Text(dc, {r.left + kLabelGap / 2, r.top, r.right - kLabelGap / 2, r.bottom}, text,
       DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
       s.disabled ? COLOR_GRAYTEXT : selected ? (inactive ? COLOR_BTNTEXT : COLOR_HIGHLIGHTTEXT) : COLOR_WINDOWTEXT);
  if (caret && s.focused) Frame(dc, r, 1, selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWFRAME);
}

RECT StylePainter::ComboButton(const RECT& field) {
  const LONG depth = field.bottom - field.top;
  return {std::max(field.left, field.right - depth), field.top, field.right, field.bottom};
}

RECT StylePainter::ComboLine(const RECT& field) {
  return Inset({field.left, field.top, ComboButton(field).left, field.bottom}, kFrame + 1);
}

void StylePainter::PaintComboField(HDC dc, const RECT& field, LPCWSTR text, bool dropped, const ControlState& s,
                                   HBRUSH back, COLORREF ink) {
  const RECT button = ComboButton(field);
  const RECT inside = Inset({field.left, field.top, button.left, field.bottom}, kFrame);
  if (back) FillRect(dc, &inside, back);
  else Fill(dc, inside, s.disabled ? COLOR_BTNFACE : COLOR_WINDOW);
  const RECT line = ComboLine(field);
  const bool chosen = s.focused && !dropped;
  if (text && back && !chosen && !s.disabled) {
    // In the parent's colour.
    const COLORREF oldColor = SetTextColor(dc, ink);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT r{line.left + kLabelGap / 2, line.top, line.right - kLabelGap / 2, line.bottom};
    DrawTextW(dc, text, -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColor);
  } else if (text) {
    PaintListItem(dc, line, text, chosen, chosen, {false, false, s.disabled, false});
  }
  Fill(dc, Inset(button, kFrame), dropped ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  Arrow(dc, button, 1, dropped ? COLOR_HIGHLIGHTTEXT : s.disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  Frame(dc, button, kFrame, COLOR_BTNSHADOW);
  Frame(dc, field, kFrame, s.disabled ? COLOR_BTNSHADOW : COLOR_WINDOWFRAME);
}

void StylePainter::PaintTreeButton(HDC dc, POINT centre, bool expanded) {
  const LONG h = kTreeButton / 2;
  const RECT box{centre.x - h, centre.y - h, centre.x + h, centre.y + h};
  Fill(dc, Inset(box, 1), COLOR_WINDOW);
  Frame(dc, box, 1, COLOR_BTNSHADOW);
  Fill(dc, {box.left + 4, centre.y - 1, box.right - 4, centre.y + 1}, COLOR_WINDOWTEXT);
  if (!expanded) Fill(dc, {centre.x - 1, box.top + 4, centre.x + 1, box.bottom - 4}, COLOR_WINDOWTEXT);
}

void StylePainter::PaintTreeLine(HDC dc, POINT from, POINT to) {
  Fill(dc, {std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1, std::max(from.y, to.y) + 1},
       COLOR_BTNSHADOW);
}

void StylePainter::PaintMessageIcon(HDC dc, const RECT& box, UINT iconBits) {
  // Stop, question, warning and information: a coloured disc with its sign.
  struct Look {
    COLORREF disc;
    COLORREF ink;
    const wchar_t* sign;
  };
  Look look;
  switch (iconBits & 0xF0u) {
    case 0x10u: look = {RGB(200, 30, 30), RGB(255, 255, 255), L"×"}; break;
    case 0x20u: look = {RGB(40, 140, 70), RGB(255, 255, 255), L"?"}; break;
    case 0x30u: look = {RGB(240, 190, 0), RGB(0, 0, 0), L"!"}; break;
    case 0x40u: look = {RGB(30, 90, 200), RGB(255, 255, 255), L"i"}; break;
    default: return;
  }
  {
    const qv::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(look.disc));
    const qv::ScopedSelectObject withBrush(dc, brush.get());
    const qv::ScopedSelectObject withPen(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
  }
  LOGFONTW lf{};
  lf.lfHeight = -(box.bottom - box.top) * 2 / 3;
  lf.lfWeight = FW_BOLD;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wcsncpy(lf.lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE - 1);
  const qv::ScopedGdiObject<HFONT> font(CreateFontIndirectW(&lf));
  const qv::ScopedSelectObject withFont(dc, font.get());
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = SetTextColor(dc, look.ink);
  RECT r = box;
  DrawTextW(dc, look.sign, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

void StylePainter::PaintMenuBackground(HDC dc, const RECT& r) {
  Fill(dc, Inset(r, kFrame), COLOR_MENU);
  Frame(dc, r, kFrame, COLOR_WINDOWFRAME);
}

void StylePainter::PaintMenuItem(HDC dc, const RECT& r, LPCWSTR text, const MenuItemLook& look) {
  if (look.separator) {
    const LONG y = (r.top + r.bottom) / 2 - 1;
    Fill(dc, {r.left + kFrame * 2, y, r.right - kFrame * 2, y + 2}, COLOR_BTNSHADOW);
    return;
  }
  Fill(dc, r, look.selected ? COLOR_HIGHLIGHT : COLOR_MENU);
  const int ink = look.disabled ? COLOR_GRAYTEXT : look.selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
  const RECT check{r.left, r.top, r.left + kMenuCheckColumn, r.bottom};
  if (look.checked && look.radio) {
    const LONG cx = (check.left + check.right) / 2;
    const LONG cy = (check.top + check.bottom) / 2;
    Disc(dc, {cx - 7, cy - 7, cx + 7, cy + 7}, -1, ink);
  } else if (look.checked) {
    // A tick: a short stroke down to the right, then a long one up.
    const LONG x = check.left + 10;
    const LONG cy = (check.top + check.bottom) / 2;
    const POINT tick[] = {{x, cy}, {x + 7, cy + 7}, {x + 21, cy - 8}};
    const qv::ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 4, GetSysColor(ink)));
    const qv::ScopedSelectObject withPen(dc, pen.get());
    Polyline(dc, tick, 3);
  }
  if (look.cascade) Arrow(dc, {r.right - kMenuArrowColumn, r.top, r.right - kFrame, r.bottom}, 3, ink);
  if (!text) return;
  const RECT body{r.left + kMenuCheckColumn, r.top, r.right - kMenuArrowColumn, r.bottom};
  const wchar_t* tab = std::wcschr(text, L'\t');
  const std::wstring left(text, tab ? static_cast<size_t>(tab - text) : std::wcslen(text));
  Text(dc, body, left.c_str(), DT_LEFT | DT_VCENTER | DT_SINGLELINE, ink);
  if (tab) Text(dc, body, tab + 1, DT_RIGHT | DT_VCENTER | DT_SINGLELINE, ink);
}

void StylePainter::PaintCompositionMark(HDC dc, const RECT& run, COLORREF ink) {
  if (run.right <= run.left) return;
  // A 2-px underline marks it as not yet part of the text.
  const qv::ScopedGdiObject<HBRUSH> inkBrush(CreateSolidBrush(ink));
  const RECT line{run.left, run.bottom - kFrame, run.right, run.bottom};
  FillRect(dc, &line, inkBrush.get());
}

void StylePainter::PaintCaretBar(HDC dc, POINT at, int lineHeight, COLORREF ink) {
  const qv::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(ink));
  const RECT bar{at.x, at.y, at.x + kCaretWidth, at.y + lineHeight};
  FillRect(dc, &bar, brush.get());
}

void StylePainter::PaintHeaderItem(HDC dc, const RECT& r, LPCWSTR text, UINT format, int sort, bool pressed) {
  Fill(dc, r, pressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  Fill(dc, {r.right - 1, r.top, r.right, r.bottom}, COLOR_BTNSHADOW);
  Fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, COLOR_BTNSHADOW);
  RECT label{r.left + kItemPadding, r.top, r.right - kItemPadding, r.bottom};
  if (sort != 0) {
    // The arrow keeps the right end; the text gives way to it.
    const LONG side = std::min<LONG>(r.bottom - r.top, 2 * kItemPadding + 12);
    const RECT box{std::max(r.left, label.right - side), r.top, label.right, r.bottom};
    Arrow(dc, box, sort == 1 ? 0 : 1, pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
    label.right = box.left;
  }
  Text(dc, label, text, format, pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
}

void StylePainter::PaintItemText(HDC dc, const RECT& r, LPCWSTR text, UINT format, COLORREF ink, COLORREF back) {
  if (back != CLR_NONE) {
    // An opaque empty text output fills with the back colour without a brush of its own.
    const COLORREF oldBack = SetBkColor(dc, back);
    ExtTextOutW(dc, r.left, r.top, ETO_OPAQUE, &r, L"", 0, nullptr);
    SetBkColor(dc, oldBack);
  }
  if (!text || !*text) return;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldInk = SetTextColor(dc, ink);
  RECT box{r.left + kItemPadding, r.top, r.right - kItemPadding, r.bottom};
  DrawTextW(dc, text, -1, &box, format);
  SetTextColor(dc, oldInk);
  SetBkMode(dc, oldMode);
}

void StylePainter::PaintGridLine(HDC dc, const RECT& r) { Fill(dc, r, COLOR_BTNFACE); }

void StylePainter::PaintTabStrip(HDC dc, const RECT& strip, bool bottom) {
  Fill(dc, strip, COLOR_BTNFACE);
  const RECT edge = bottom ? RECT{strip.left, strip.top, strip.right, strip.top + kFrame}
                           : RECT{strip.left, strip.bottom - kFrame, strip.right, strip.bottom};
  Fill(dc, edge, COLOR_WINDOWFRAME);
}

void StylePainter::PaintTab(HDC dc, const RECT& r, LPCWSTR text, bool selected, bool bottom, const ControlState& s) {
  // A tab not chosen stands back from the pages by a frame's width.
  RECT face = r;
  if (!selected) (bottom ? face.bottom : face.top) += bottom ? -kFrame : kFrame;
  Fill(dc, face, selected ? COLOR_WINDOW : (s.pressed ? COLOR_BTNSHADOW : COLOR_BTNFACE));
  Fill(dc, {face.left, face.top, face.left + kFrame, face.bottom}, COLOR_WINDOWFRAME);
  Fill(dc, {face.right - kFrame, face.top, face.right, face.bottom}, COLOR_WINDOWFRAME);
  const RECT outer = bottom ? RECT{face.left, face.bottom - kFrame, face.right, face.bottom}
                            : RECT{face.left, face.top, face.right, face.top + kFrame};
  Fill(dc, outer, COLOR_WINDOWFRAME);
  if (!selected) {
    const RECT inner = bottom ? RECT{r.left, r.top, r.right, r.top + kFrame}
                              : RECT{r.left, r.bottom - kFrame, r.right, r.bottom};
    Fill(dc, inner, COLOR_WINDOWFRAME);
  }
  Text(dc, face, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, s.disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  if (s.focused) PaintFocusRect(dc, {face.left + kFocusInset, face.top + kFocusInset, face.right - kFocusInset,
                                     face.bottom - kFocusInset});
}

}  // namespace qv::ui
