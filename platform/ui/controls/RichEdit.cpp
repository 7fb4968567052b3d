// The "RICHEDIT50W" class over the text engine: the messages only the rich
// edit answers. Its provider library is this platform itself.
#include "platform/ui/controls/RichEdit.h"

#include <algorithm>

#include "platform/kernel/Library.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/input/Clipboard.h"
#include "platform/ui/text/TextEngine.h"
#include "platform/ui/window/WindowTable.h"

namespace qv::ui {
namespace {

// LoadLibraryW(L"riched20.dll") finds the class's provider here.
const bool kProvided = [] {
  qv::RegisterLibraryAlias(RICHEDIT_LIBRARY, "");
  return true;
}();

constexpr size_t kZeroLimit = 0x10000;  // EM_EXLIMITTEXT 0: 64K

// Copies text and its zero into a caller's buffer sized for it.
LRESULT CopyWhole(const std::wstring& text, LPARAM out) {
  if (!out) return 0;
  auto* p = reinterpret_cast<LPWSTR>(out);
  std::copy(text.begin(), text.end(), p);
  p[text.size()] = L'\0';
  return static_cast<LRESULT>(text.size());
}

std::optional<LRESULT> RichOnly(text::TextEngine& e, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case EM_EXGETSEL:
      if (auto* r = reinterpret_cast<CHARRANGE*>(lParam)) {
        r->cpMin = static_cast<LONG>(e.SelStart());
        r->cpMax = static_cast<LONG>(e.SelEnd());
      }
      return 0;
    case EM_EXSETSEL: {
      const auto* r = reinterpret_cast<const CHARRANGE*>(lParam);
      if (!r) return static_cast<LRESULT>(e.SelEnd());
      e.SetSel(r->cpMin, r->cpMax);
      e.Handle(EM_SCROLLCARET, 0, 0);
      return static_cast<LRESULT>(e.SelEnd());
    }
    case EM_EXLINEFROMCHAR:
      return static_cast<LRESULT>(e.LineFromChar(static_cast<long long>(lParam)));
    case EM_EXLIMITTEXT:
      e.SetLimit(lParam > 0 ? static_cast<size_t>(lParam) : kZeroLimit);
      return 0;
    case EM_GETEVENTMASK:
      return static_cast<LRESULT>(e.EventMask());
    case EM_SETEVENTMASK: {
      const DWORD old = e.EventMask();
      e.SetEventMask(static_cast<DWORD>(lParam));
      return static_cast<LRESULT>(old);
    }
    case EM_GETTEXTMODE:
      return e.TextMode();
    case EM_SETTEXTMODE:
      return e.SetTextMode(static_cast<int>(wParam)) ? 0 : 1;
    case EM_PASTESPECIAL:
      e.Paste();
      return 0;
    case EM_CANPASTE:
      return IsClipboardFormatAvailable(CF_UNICODETEXT);
    case EM_REDO:
      return e.Redo() ? TRUE : FALSE;
    case EM_CANREDO:
      return e.CanRedo() ? TRUE : FALSE;
    case EM_POSFROMCHAR: {
      // A first argument too small to point anywhere is the older form: the index.
      if (wParam < 0x10000) {
        const POINT p = e.PosFromChar(static_cast<size_t>(wParam));
        return MAKELONG(p.x, p.y);
      }
      const POINT p = e.PosFromChar(static_cast<size_t>(std::max<LPARAM>(0, lParam)));
      *reinterpret_cast<POINTL*>(wParam) = POINTL{p.x, p.y};
      return 0;
    }
    case EM_CHARFROMPOS: {
      const auto* p = reinterpret_cast<const POINTL*>(lParam);
      return p ? static_cast<LRESULT>(e.CharFromPos(POINT{p->x, p->y}, nullptr)) : 0;
    }
    case EM_SETTARGETDEVICE:
      e.SetWrap(lParam != 1);  // 0 wraps at the window's width, 1 not at all
      return TRUE;
    case EM_GETTEXTRANGE: {
      auto* r = reinterpret_cast<TEXTRANGEW*>(lParam);
      if (!r || !r->lpstrText) return 0;
      const size_t to = r->chrg.cpMax < 0 ? e.Length() : static_cast<size_t>(r->chrg.cpMax);
      return CopyWhole(e.TextOf(static_cast<size_t>(std::max<LONG>(0, r->chrg.cpMin)), to, false),
                       reinterpret_cast<LPARAM>(r->lpstrText));
    }
    case EM_GETSELTEXT:
      return CopyWhole(e.TextOf(e.SelStart(), e.SelEnd(), false), lParam);
    case EM_HIDESELECTION:
      e.SetHideSelection(wParam != 0);
      return 0;
    case EM_SETBKGNDCOLOR:
      e.SetBackground(static_cast<COLORREF>(lParam), wParam != 0);
      return 0;
    case EM_GETTEXTLENGTHEX: {
      const auto* g = reinterpret_cast<const GETTEXTLENGTHEX*>(wParam);
      const bool crlf = g && (g->flags & GTL_USECRLF);
      const size_t units = crlf ? static_cast<size_t>(e.Handle(WM_GETTEXTLENGTH, 0, 0).value_or(0)) : e.Length();
      return static_cast<LRESULT>(g && (g->flags & GTL_NUMBYTES) ? units * 2 : units);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

LRESULT RichEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (text::TextEngine* e = text::TextEngine::Of(hwnd)) {
    if (auto done = RichOnly(*e, message, wParam, lParam)) return *done;
  }
  if (auto done = text::TextEngine::Dispatch(hwnd, true, message, wParam, lParam)) return *done;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace qv::ui
