#include "platform/ui/MessageBox.h"

#include <string>

#include "platform/ui/MessageBoxSeam.h"

// With no one to see the screen, a question is answered by the question seam
// (No by default) and any other box is acknowledged at once.
int MessageBoxW(HWND /*owner*/, LPCWSTR text, LPCWSTR caption, UINT type) {
  switch (type & 0x0Fu) {
    case MB_OKCANCEL: {
      // A Yes/No answer given to an OK/Cancel box means OK/Cancel.
      const int answer = qv::msgbox_seam::Ask(text ? text : L"", caption ? caption : L"");
      return answer == IDYES ? IDOK : answer == IDNO ? IDCANCEL : answer;
    }
    case MB_YESNOCANCEL:
    case MB_YESNO:
      return qv::msgbox_seam::Ask(text ? text : L"", caption ? caption : L"");
    default:
      return IDOK;
  }
}
