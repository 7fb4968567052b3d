// The base of the message window's rich text views ("RICHEDIT50W").
#pragma once

#include "platform/framework/CEdit.h"

#ifndef REPASTESPECIAL_DEFINED
#define REPASTESPECIAL_DEFINED
struct REPASTESPECIAL {
  DWORD dwAspect;
  DWORD_PTR dwParam;
};
#endif

class QvRichEditCtrl : public CWnd {
 public:
  void SetSel(long start, long end) {
    CHARRANGE r{static_cast<LONG>(start), static_cast<LONG>(end)};
    SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  }
  void GetSel(long& start, long& end) const {
    CHARRANGE r{};
    SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    start = r.cpMin;
    end = r.cpMax;
  }
  void PasteSpecial(UINT format, DWORD aspect = 0, LPARAM param = 0) {
    REPASTESPECIAL special{aspect, static_cast<DWORD_PTR>(param)};
    SendMessage(EM_PASTESPECIAL, format, aspect ? reinterpret_cast<LPARAM>(&special) : 0);
  }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly)); }
};
