#include "app/shell/maillist/MailListText.h"

#include "app/foundation/PictureText.h"

void DrawMailListText(HDC dc, const std::wstring& text, const RECT& box, int fontHeight) {
  if (box.right <= box.left || text.empty()) return;
  DrawPictureTextInBox(dc, box, text.c_str(), static_cast<int>(text.size()), PT_LEFT | PT_VCENTER | PT_END_ELLIPSIS,
                       fontHeight);
}
