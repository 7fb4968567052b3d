#include "app/message/deco/QvSetImageRotationDlg.h"

#include <memory>

#include "app/protocol/WindowMessages.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

QvSetImageRotationDlg::QvSetImageRotationDlg(CWnd* parent) : QvUnFullScreenDlg(kTemplateId, parent) {
  SetSize(kWidth, kHeight);
  SetCaption(true);
}

BOOL QvSetImageRotationDlg::OnInitDialog() {
  QvUnFullScreenDlg::OnInitDialog();
  LayOut();
  CheckRadioButton(kRadio90, kRadio0, kRadio0);
  return TRUE;
}

// Stacked from the top: the question, the four angles indented, the button.
void QvSetImageRotationDlg::LayOut() {
  RECT client{};
  GetClientRect(&client);
  const int width = client.right - client.left;
  HDC dc = ::GetDC(m_hWnd);
  auto font = std::make_unique<qv::ScopedSelectObject>(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  const auto textHeight = [&](int id, int boxWidth) {
    CString text;
    GetDlgItemText(id, text);
    RECT r{0, 0, boxWidth, 0};
    ::DrawTextW(dc, text.GetString(), -1, &r, DT_CALCRECT | DT_WORDBREAK);
    return static_cast<int>(r.bottom - r.top);
  };
  const auto place = [&](int id, int x, int y, int w, int h) {
    if (CWnd* c = GetDlgItem(id)) c->SetWindowPos(nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  int y = 5;
  const int textH = textHeight(kText, width - 10);
  place(kText, 5, y, width - 10, textH);
  y += textH;
  for (int id : {kRadio90, kRadio270, kRadio180, kRadio0}) {
    const int h = textHeight(id, width - 30) + 15;
    place(id, 30, y, width - 30, h);
    y += h;
  }
  y += 5;
  place(kButton, 90, y, 75, textHeight(kButton, 75) + 15);
  font.reset();
  ::ReleaseDC(m_hWnd, dc);
}

float QvSetImageRotationDlg::ReadAngle() const {
  switch (GetCheckedRadioButton(kRadio90, kRadio0)) {
    case kRadio90:
      return 90.0f;
    case kRadio270:
      return 270.0f;
    case kRadio180:
      return 180.0f;
    default:
      return 0.0f;
  }
}

void QvSetImageRotationDlg::OnOK() {
  angle_ = ReadAngle();
  EndDialog(IDOK);
}

BOOL QvSetImageRotationDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == kButton && HIWORD(wParam) == BN_CLICKED) {
    OnOK();
    return TRUE;
  }
  return QvUnFullScreenDlg::OnCommand(wParam, lParam);
}

LRESULT QvSetImageRotationDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessage(WM_COMMAND, IDCANCEL);
    return 0;
  }
  return QvUnFullScreenDlg::WindowProc(message, wParam, lParam);
}
