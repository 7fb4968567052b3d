#include "app/foundation/QvFlatButton.h"

#include <cstdlib>

#include "app/foundation/QvFlexibleEdit.h"
#include "platform/framework/AfxResource.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

LRESULT QvComButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KILLFOCUS) SendMessage(BM_SETSTYLE, GetButtonStyle() & ~BS_DEFPUSHBUTTON, TRUE);
  return CButton::WindowProc(message, wParam, lParam);
}

namespace {

struct Row {
  int fontHeight;
  SIZE size;
  UINT bitmaps[7][2];  // pairs: focused, normal
};

constexpr Row kRows[] = {
    {13, {42, 13}, {{210, 211}, {212, 213}, {214, 215}, {216, 217}, {218, 219}, {220, 221}, {273, 278}}},
    {16, {51, 16}, {{222, 223}, {224, 225}, {226, 227}, {228, 229}, {230, 231}, {232, 233}, {274, 279}}},
    {24, {77, 24}, {{197, 199}, {200, 201}, {202, 203}, {204, 205}, {206, 207}, {208, 209}, {272, 277}}},
    {27, {86, 27}, {{234, 235}, {236, 237}, {238, 239}, {240, 241}, {242, 243}, {244, 245}, {270, 275}}},
    {32, {103, 32}, {{246, 247}, {248, 250}, {249, 251}, {252, 253}, {254, 255}, {256, 257}, {271, 276}}},
};

int PairOf(int id) {
  switch (id) {
    case 1010: return 1;
    case 1011: return 2;
    case 1012: return 3;
    case 1022: case 1147: return 4;
    case 1023: case 1146: return 5;
    case 1118: return 6;
    default: return 0;
  }
}

}  // namespace

QvFlatButton::Look QvFlatButton::LookFor(int fontHeight, int id, bool focused) {
  const Row* row = &kRows[0];
  for (const Row& r : kRows)
    if (r.fontHeight == std::abs(fontHeight)) row = &r;
  return {row->bitmaps[PairOf(id)][focused ? 0 : 1], row->size};
}

void QvFlatButton::SetClickMenu(bool on) {
  clickMenu_ = on;
  tap_ = {};
}

HWND QvFlatButton::FindKeyTarget(UINT key) const {
  auto it = keys_.find(key);
  return it == keys_.end() ? nullptr : it->second;
}

RECT QvFlatButton::GetLowerRect() const {
  RECT r{};
  GetClientRect(&r);
  if (state_ > 0 && r.bottom - r.top > state_) r.top = r.bottom - state_;
  return r;
}

void QvFlatButton::DrawItem(LPDRAWITEMSTRUCT dis) {
  FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  LOGFONTW lf{};
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
  if (!font || !GetObjectW(font, sizeof lf, &lf)) lf.lfHeight = 0;
  const Look look = LookFor(lf.lfHeight, static_cast<int>(dis->CtlID), (dis->itemState & ODS_FOCUS) != 0);
  const qv::ScopedGdiObject<HBITMAP> bitmap(LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(look.bitmap)));
  if (!bitmap) return;
  HDC source = CreateCompatibleDC(dis->hDC);
  {
    const qv::ScopedSelectObject withBitmap(source, bitmap.get());
    BitBlt(dis->hDC, 0, 0, look.size.cx, look.size.cy, source, 0, 0, SRCCOPY);
  }
  DeleteDC(source);
}

bool QvFlatButton::SendCommandOnEnterOrTap(UINT message, WPARAM wParam, LPARAM lParam, UINT command,
                                           LRESULT* result) {
  HWND parent = ::GetParent(m_hWnd);
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    ::SendMessageW(parent, WM_COMMAND, command, 0);
    *result = 0;
    return true;
  }
  if (message == WM_LBUTTONUP && ::GetCapture() == m_hWnd) {
    *result = QvFlatButton::WindowProc(message, wParam, lParam);
    ::SendMessageW(parent, WM_COMMAND, command, 0);
    return true;
  }
  return false;
}

LRESULT QvFlatButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      const LRESULT r = CButton::WindowProc(message, wParam, lParam);
      tap_ = {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      return r;
    }
    case WM_KEYDOWN:
      if (HWND target = FindKeyTarget(static_cast<UINT>(wParam))) {
        ::SetFocus(target);
        return 0;
      }
      break;
    case WM_KILLFOCUS:
      state_ = 0;
      break;
    default:
      break;
  }
  return CButton::WindowProc(message, wParam, lParam);
}

BOOL QvFlatButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && clickMenu_) PostContextMenuMessage(m_hWnd, tap_, false);
  return CButton::OnChildNotify(message, wParam, lParam, result);
}
