// Property sheets. The sheet is a "Dialog"-class window run by the dialog
// manager; its own dialog procedure keeps the pages, the tab control and the
// order of the page notifications. Pages are child dialogs (DS_CONTROL, so
// Tab walks into them) made when first shown.
#include "platform/ui/dialog/PropertySheet.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/kernel/Resource.h"
#include "platform/ui/commctrl/Tab.h"
#include "platform/ui/dialog/DialogManager.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/window/CommandIds.h"
#include "platform/ui/metrics/Metrics.h"

struct PropSheetPage {
  PROPSHEETPAGEW psp{};
  qv::ui::DialogTemplate layout;  // read when the page was created, so the caller's units may go
  std::wstring title;
  HWND hwnd = nullptr;
  bool changed = false;
};

namespace qv::ui {
namespace {

constexpr DWORD kPageDropped = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_BORDER | WS_VISIBLE |
                               WS_DISABLED | DS_MODALFRAME | DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN;

std::wstring TextOf(HINSTANCE instance, LPCWSTR text) {
  if (!text) return {};
  if (!IS_INTRESOURCE(text)) return text;
  WCHAR buffer[PROPSHEET_TITLE_CHARS] = {};
  LoadStringW(instance, static_cast<UINT>(reinterpret_cast<UINT_PTR>(text)), buffer, PROPSHEET_TITLE_CHARS);
  return buffer;
}

struct Sheet {
  PROPSHEETHEADERW header{};
  std::vector<HPROPSHEETPAGE> pages;
  HWND tab = nullptr;
  int current = -1;
  bool* adopted = nullptr;  // set once the sheet's window owns this
};

Sheet* SheetOf(HWND hwnd) { return reinterpret_cast<Sheet*>(GetWindowLongW(hwnd, DWLP_USER)); }

LRESULT NotifyPage(HWND sheet, const PropSheetPage& page, UINT code, LPARAM lParam = 0) {
  if (!page.hwnd) return 0;
  PSHNOTIFY nm{{sheet, 0, code}, lParam};
  return SendMessageW(page.hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
}

int IndexOf(const Sheet& s, HPROPSHEETPAGE page) {
  auto it = std::find(s.pages.begin(), s.pages.end(), page);
  return it == s.pages.end() ? -1 : static_cast<int>(it - s.pages.begin());
}

// Pages take the client above the tab row, or all of it while the row is hidden.
void LayOut(HWND hwnd, Sheet& s) {
  RECT client{};
  GetClientRect(hwnd, &client);
  RECT probe{0, 0, client.right, client.bottom};
  SendMessageW(s.tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&probe));
  const LONG row = std::min(client.bottom, client.bottom - probe.bottom);
  MoveWindow(s.tab, 0, client.bottom - row, client.right, row, TRUE);
  const bool shown = (GetWindowLongW(s.tab, GWL_STYLE) & WS_VISIBLE) != 0;
  const LONG bottom = shown ? client.bottom - row : client.bottom;
  for (HPROPSHEETPAGE p : s.pages) {
    if (p->hwnd) MoveWindow(p->hwnd, 0, 0, client.right, bottom, TRUE);
  }
}

bool MakePage(HWND sheet, Sheet& s, PropSheetPage& page) {
  if ((page.psp.dwFlags & PSP_USECALLBACK) && page.psp.pfnCallback &&
      !page.psp.pfnCallback(nullptr, PSPCB_CREATE, &page.psp)) {
    return false;
  }
  DialogTemplate t = page.layout;
  t.style = (t.style & ~kPageDropped) | WS_CHILD | DS_CONTROL;
  t.caption.clear();
  page.hwnd = MakeDialog(page.psp.hInstance, t, sheet, page.psp.pfnDlgProc, reinterpret_cast<LPARAM>(&page.psp));
  if (page.hwnd) LayOut(sheet, s);
  return page.hwnd != nullptr;
}

bool LeaveCurrent(HWND sheet, const Sheet& s) {
  if (s.current < 0) return true;
  return NotifyPage(sheet, *s.pages[static_cast<size_t>(s.current)], PSN_KILLACTIVE) == 0;
}

// Shows page `index`; `leave` asks the page shown now whether it may go first.
bool Activate(HWND sheet, Sheet& s, int index, bool leave) {
  if (index < 0 || index >= static_cast<int>(s.pages.size())) return false;
  if (index == s.current) return true;
  if (leave && !LeaveCurrent(sheet, s)) return false;
  PropSheetPage& page = *s.pages[static_cast<size_t>(index)];
  if (!page.hwnd && !MakePage(sheet, s, page)) return false;
  NotifyPage(sheet, page, PSN_SETACTIVE);
  if (s.current >= 0) {
    if (HWND old = s.pages[static_cast<size_t>(s.current)]->hwnd) ShowWindow(old, SW_HIDE);
  }
  s.current = index;
  SendMessageW(s.tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  ShowWindow(page.hwnd, SW_SHOW);
  HWND first = GetNextDlgTabItem(page.hwnd, nullptr, FALSE);
  if (first && IsChild(page.hwnd, first)) FocusControl(page.hwnd, first);
  return true;
}

void AddTab(const Sheet& s, int index, const PropSheetPage& page) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<LPWSTR>(page.title.c_str());
  SendMessageW(s.tab, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

bool AddPage(HWND sheet, Sheet& s, HPROPSHEETPAGE page) {
  if (!page || IndexOf(s, page) >= 0) return false;
  s.pages.push_back(page);
  AddTab(s, static_cast<int>(s.pages.size()) - 1, *page);
  if (s.current < 0) Activate(sheet, s, 0, false);
  return true;
}

void RemovePage(HWND sheet, Sheet& s, int index, HPROPSHEETPAGE page) {
  if (page) index = IndexOf(s, page);
  if (index < 0 || index >= static_cast<int>(s.pages.size())) return;
  HPROPSHEETPAGE gone = s.pages[static_cast<size_t>(index)];
  if (index == s.current) {
    // Its neighbour takes its place: the one before, else the one after.
    const int next = index > 0 ? index - 1 : 1;
    s.current = -1;
    if (next < static_cast<int>(s.pages.size())) Activate(sheet, s, next, false);
  }
  s.pages.erase(s.pages.begin() + index);
  SendMessageW(s.tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
  if (s.current > index) --s.current;
  if (s.current >= 0) SendMessageW(s.tab, TCM_SETCURSEL, static_cast<WPARAM>(s.current), 0);
  DestroyPropertySheetPage(gone);
}

// PSN_APPLY to every page made so far; false when one refuses (and is shown
// unless it asked to stay where the sheet is).
bool Apply(HWND sheet, Sheet& s, bool closing) {
  if (!LeaveCurrent(sheet, s)) return false;
  for (int i = 0; i < static_cast<int>(s.pages.size()); ++i) {
    const LRESULT r = NotifyPage(sheet, *s.pages[static_cast<size_t>(i)], PSN_APPLY, closing ? TRUE : FALSE);
    if (r == PSNRET_INVALID) Activate(sheet, s, i, false);
    if (r == PSNRET_INVALID || r == PSNRET_INVALID_NOCHANGEPAGE) return false;
  }
  for (HPROPSHEETPAGE p : s.pages) p->changed = false;
  return true;
}

void PressOk(HWND sheet, Sheet& s) {
  if (Apply(sheet, s, true)) EndDialog(sheet, 1);
}

void PressCancel(HWND sheet, Sheet& s) {
  if (s.current >= 0 && NotifyPage(sheet, *s.pages[static_cast<size_t>(s.current)], PSN_QUERYCANCEL)) return;
  for (HPROPSHEETPAGE p : s.pages) NotifyPage(sheet, *p, PSN_RESET, TRUE);
  EndDialog(sheet, 0);
}

void ShowTitle(HWND sheet, const Sheet& s) {
  WCHAR title[PROPSHEET_TITLE_CHARS] = {};
  const std::wstring caption = TextOf(s.header.hInstance, s.header.pszCaption);
  std::wcsncpy(title, caption.c_str(), PROPSHEET_TITLE_CHARS - 1);
  if ((s.header.dwFlags & PSH_USECALLBACK) && s.header.pfnCallback) {
    s.header.pfnCallback(sheet, PSCB_GETTITLE, reinterpret_cast<LPARAM>(title));
    title[PROPSHEET_TITLE_CHARS - 1] = L'\0';  // whatever the callback wrote
  }
  SetWindowTextW(sheet, title);
}

BOOL Answer(HWND sheet, LRESULT result) {
  SetWindowLongW(sheet, DWLP_MSGRESULT, result);
  return TRUE;
}

void InitSheet(HWND sheet, Sheet& s) {
  SetWindowLongW(sheet, DWLP_USER, reinterpret_cast<LONG_PTR>(&s));
  *s.adopted = true;
  const DeviceProfile p = CurrentProfile();
  SetWindowPos(sheet, nullptr, 0, 0, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE);
  s.tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | TCS_BOTTOM | TCS_FOCUSNEVER, 0, 0, 0, 0,
                          sheet, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDD_PROPSHEET_TABCTRL)),
                          s.header.hInstance, nullptr);
  SendMessageW(s.tab, WM_SETFONT, SendMessageW(sheet, WM_GETFONT, 0, 0), FALSE);
  for (int i = 0; i < static_cast<int>(s.pages.size()); ++i) AddTab(s, i, *s.pages[static_cast<size_t>(i)]);
  LayOut(sheet, s);
  ShowTitle(sheet, s);
  int start = 0;
  if (s.header.dwFlags & PSH_USEPSTARTPAGE) {
    for (int i = 0; i < static_cast<int>(s.pages.size()); ++i) {
      if (s.pages[static_cast<size_t>(i)]->title == TextOf(s.header.hInstance, s.header.pStartPage)) start = i;
    }
  } else if (s.header.nStartPage < s.pages.size()) {
    start = static_cast<int>(s.header.nStartPage);
  }
  if (!Activate(sheet, s, start, false)) Activate(sheet, s, 0, false);
  if ((s.header.dwFlags & PSH_USECALLBACK) && s.header.pfnCallback) s.header.pfnCallback(sheet, PSCB_INITIALIZED, 0);
}

INT_PTR SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    InitSheet(sheet, *reinterpret_cast<Sheet*>(lParam));
    return FALSE;  // the page shown has the focus
  }
  Sheet* s = SheetOf(sheet);
  if (!s) return FALSE;
  switch (message) {
    case WM_NOTIFY: {
      const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
      if (nm->hwndFrom != s->tab) return FALSE;
      if (nm->code == TCN_SELCHANGING) return Answer(sheet, LeaveCurrent(sheet, *s) ? FALSE : TRUE);
      if (nm->code == TCN_SELCHANGE) {
        const int chosen = static_cast<int>(SendMessageW(s->tab, TCM_GETCURSEL, 0, 0));
        // Left already; a page that cannot be made leaves the tab on the one shown.
        if (!Activate(sheet, *s, chosen, false)) SendMessageW(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(s->current), 0);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) PressOk(sheet, *s);
      else if (LOWORD(wParam) == IDCANCEL) PressCancel(sheet, *s);
      else return FALSE;
      return TRUE;
    case PSM_SETCURSEL: {
      const int index = lParam ? IndexOf(*s, reinterpret_cast<HPROPSHEETPAGE>(lParam)) : static_cast<int>(wParam);
      return Answer(sheet, Activate(sheet, *s, index, true) ? TRUE : FALSE);
    }
    case PSM_ADDPAGE:
      return Answer(sheet, AddPage(sheet, *s, reinterpret_cast<HPROPSHEETPAGE>(lParam)) ? TRUE : FALSE);
    case PSM_REMOVEPAGE:
      RemovePage(sheet, *s, static_cast<int>(wParam), reinterpret_cast<HPROPSHEETPAGE>(lParam));
      return Answer(sheet, 0);
    case PSM_CHANGED:
    case PSM_UNCHANGED:
      for (HPROPSHEETPAGE p : s->pages) {
        if (p->hwnd == reinterpret_cast<HWND>(wParam)) p->changed = message == PSM_CHANGED;
      }
      return Answer(sheet, 0);
    case PSM_APPLY:
      return Answer(sheet, Apply(sheet, *s, false) ? TRUE : FALSE);
    case PSM_PRESSBUTTON:
      if (wParam == PSBTN_OK) PressOk(sheet, *s);
      else if (wParam == PSBTN_APPLYNOW) Apply(sheet, *s, false);
      else if (wParam == PSBTN_CANCEL) PressCancel(sheet, *s);
      return Answer(sheet, 0);
    case PSM_GETTABCONTROL:
      return Answer(sheet, reinterpret_cast<LRESULT>(s->tab));
    case PSM_GETCURRENTPAGEHWND: {
      // None once the sheet has ended: a modeless owner's cue to destroy it.
      DialogData* data = DataOf(sheet);
      const bool ended = !data || data->ended;
      return Answer(sheet, ended || s->current < 0 ? 0 : reinterpret_cast<LRESULT>(s->pages[static_cast<size_t>(s->current)]->hwnd));
    }
    case PSM_GETRESULT: {
      DialogData* data = DataOf(sheet);
      return Answer(sheet, data && data->ended ? data->result : -1);
    }
    case PSM_SETTITLEW:
      SetWindowTextW(sheet, TextOf(s->header.hInstance, reinterpret_cast<LPCWSTR>(lParam)).c_str());
      return Answer(sheet, 0);
    case kTabRowShown:
    case WM_SIZE:
      LayOut(sheet, *s);
      return TRUE;
    case WM_NCDESTROY:
      for (HPROPSHEETPAGE p : s->pages) DestroyPropertySheetPage(p);
      SetWindowLongW(sheet, DWLP_USER, 0);
      delete s;
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace
}  // namespace qv::ui

using namespace qv::ui;

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
  if (!page) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::optional<DialogTemplate> t = (page->dwFlags & PSP_DLGINDIRECT) ? DialogTemplate::Parse(page->pResource)
                                                                      : LoadDialogTemplate(page->hInstance, page->pszTemplate);
  if (!t) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  auto made = std::make_unique<PropSheetPage>();
  // A caller's longer record (its own fields after ours) keeps only ours here.
  made->psp = *page;
  made->psp.dwSize = sizeof(PROPSHEETPAGEW);
  made->layout = std::move(*t);
  made->title = (page->dwFlags & PSP_USETITLE) ? TextOf(page->hInstance, page->pszTitle) : made->layout.caption;
  if (page->pcRefParent && (page->dwFlags & PSP_USEREFPARENT)) ++*page->pcRefParent;
  return made.release();
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  if (!page) return FALSE;
  if (page->hwnd && IsWindow(page->hwnd)) DestroyWindow(page->hwnd);
  if ((page->psp.dwFlags & PSP_USECALLBACK) && page->psp.pfnCallback) {
    page->psp.pfnCallback(nullptr, PSPCB_RELEASE, &page->psp);
  }
  if (page->psp.pcRefParent && (page->psp.dwFlags & PSP_USEREFPARENT)) --*page->psp.pcRefParent;
  delete page;
  return TRUE;
}

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header) {
  if (!header) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto s = std::make_unique<Sheet>();
  s->header = *header;
  // Records may be longer than ours (the caller's own fields follow), never shorter.
  const size_t stride = (header->dwFlags & PSH_PROPSHEETPAGE) && header->ppsp
                            ? std::max<size_t>(header->ppsp->dwSize, sizeof(PROPSHEETPAGEW))
                            : 0;
  for (UINT i = 0; i < header->nPages && (stride || header->phpage); ++i) {
    HPROPSHEETPAGE page =
        stride ? CreatePropertySheetPageW(reinterpret_cast<LPCPROPSHEETPAGEW>(
                     reinterpret_cast<const BYTE*>(header->ppsp) + i * stride))
               : header->phpage[i];
    if (page) s->pages.push_back(page);
  }
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | DS_SETFONT | ((header->dwFlags & PSH_MODELESS) ? WS_VISIBLE : 0u);
  t.exStyle = WS_EX_CAPTIONOKBTN | WS_EX_CONTROLPARENT;
  std::vector<DWORD> units = t.Build();
  if ((header->dwFlags & PSH_USECALLBACK) && header->pfnCallback) {
    header->pfnCallback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(units.data()));
  }
  auto changed = DialogTemplate::Parse(units.data(), units.size() * sizeof(DWORD));
  if (changed) t = std::move(*changed);
  HWND owner = header->hwndParent ? GetAncestor(header->hwndParent, GA_ROOT) : nullptr;
  bool adopted = false;
  s->adopted = &adopted;
  HWND sheet = MakeDialog(header->hInstance, t, owner, SheetProc, reinterpret_cast<LPARAM>(s.get()));
  if (adopted) s.release();  // the sheet's window frees it
  if (!sheet) {
    if (s) {
      for (HPROPSHEETPAGE p : s->pages) DestroyPropertySheetPage(p);
    }
    return -1;
  }
  if (header->dwFlags & PSH_MODELESS) {
    if (t.style & WS_VISIBLE) ShowWindow(sheet, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(sheet);
  }
  return RunModal(sheet, owner);
}
