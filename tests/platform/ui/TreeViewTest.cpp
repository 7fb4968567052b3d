// The tree view: what its parent hears for expansions, selections, taps,
// keys and deletions (and what it may refuse), walking the items, hit tests,
// items' data, and a picture of a folder tree beside an open combo box.
#include <cstring>
#include <map>

#include "platform/gdi/Surface.h"
#include "platform/ui/commctrl/CommCtrlTree.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"
#include "tests/platform/ui/InputSteps.h"

namespace qv::test {
namespace {

using TreeView = UiTest;

constexpr int kTreeId = 31;

// What the parent hears: a tree notification with its action and item, or
// a plain one.
MsgEntry Told(UINT code, UINT action, HTREEITEM item) {
  MsgEntry e{WM_NOTIFY, seq::sent | seq::parent | seq::code | seq::item | seq::action, 0, 0, code};
  e.item = reinterpret_cast<DWORD_PTR>(item);
  e.action = action;
  return e;
}
MsgEntry Told(UINT code) { return {WM_NOTIFY, seq::sent | seq::parent | seq::code, 0, 0, code}; }

// A tree of named items whose parent may refuse the changing notifications
// (the log records what it hears).
struct Tree {
  HWND parent = nullptr;
  HWND hwnd = nullptr;
  std::map<std::wstring, HTREEITEM> items;
  std::map<HTREEITEM, std::wstring> names;
  bool refuseSelection = false;
  bool refuseExpansion = false;
  bool deleteAgainWhenTold = false;  // a parent that asks to delete while being told of a deletion

  HTREEITEM Add(const std::wstring& name, HTREEITEM under = TVI_ROOT, int image = 0, HTREEITEM after = TVI_LAST) {
    TVINSERTSTRUCTW in{};
    in.hParent = under;
    in.hInsertAfter = after;
    in.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    in.item.pszText = const_cast<LPWSTR>(name.c_str());
    in.item.iImage = image;
    in.item.iSelectedImage = image;
    in.item.lParam = static_cast<LPARAM>(items.size() + 100);
    auto h = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
    items[name] = h;
    names[h] = name;
    return h;
  }
  HTREEITEM operator[](const std::wstring& name) { return items.at(name); }
  LRESULT Send(UINT m, WPARAM w, HTREEITEM item) { return SendMessageW(hwnd, m, w, reinterpret_cast<LPARAM>(item)); }
  HTREEITEM Next(UINT code, HTREEITEM from = nullptr) { return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, code, from)); }
  RECT ItemRect(HTREEITEM item, bool textOnly) {
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    SendMessageW(hwnd, TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(&r));
    return r;
  }
  POINT Screen(POINT p) {
    ClientToScreen(hwnd, &p);
    return p;
  }
  POINT LabelOf(const std::wstring& name) {
    const RECT r = ItemRect(items.at(name), true);
    return Screen({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  POINT ButtonOf(const std::wstring& name) {
    const RECT r = ItemRect(items.at(name), false);
    const RECT label = ItemRect(items.at(name), true);
    const LONG indent = static_cast<LONG>(SendMessageW(hwnd, TVM_GETINDENT, 0, 0));
    int w = 0, h = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(hwnd, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)), &w, &h);
    return Screen({label.left - (w ? w + 4 : 0) - indent / 2, (r.top + r.bottom) / 2});
  }
};

Tree MakeTree(DWORD style, RECT r = {0, 0, 480, 400}) {
  Tree t;
  t.parent = CreateWindowExW(0, kTestClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
  t.hwnd = CreateWindowExW(0, WC_TREEVIEW, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, t.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)), nullptr, nullptr);
  return t;
}

void Listen(Tree& t) {
  CurrentHandler() = [&t](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (h != t.parent || m != WM_NOTIFY) return std::nullopt;
    const auto* hdr = reinterpret_cast<const NMHDR*>(l);
    if (hdr->idFrom != kTreeId) return std::nullopt;
    const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(l);
    if (hdr->code == TVN_DELETEITEMW && t.deleteAgainWhenTold) {
      EXPECT_FALSE(SendMessageW(t.hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
      EXPECT_FALSE(SendMessageW(t.hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(nm->itemOld.hItem)));
    }
    if (hdr->code == TVN_SELCHANGINGW) return t.refuseSelection ? TRUE : FALSE;
    if (hdr->code == TVN_ITEMEXPANDINGW) return t.refuseExpansion ? TRUE : FALSE;
    return 0;
  };
}

TEST_F(TreeView, ExpansionSelectionAndDeletionAreToldInOrderAndMayBeRefused) {
  Tree t = MakeTree(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
  HTREEITEM in = t.Add(L"受信ボックス");
  t.Add(L"仕事", in);
  t.Add(L"家族", in);
  HTREEITEM out = t.Add(L"送信ボックス");
  t.Add(L"下書き", out);
  SetFocus(t.hwnd);
  Pump();
  Listen(t);
  constexpr UINT E = TVE_EXPAND, C = TVE_COLLAPSE, U = TVC_UNKNOWN, M = TVC_BYMOUSE, K = TVC_BYKEYBOARD;
  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<MsgEntry> heard;
    const wchar_t* caret;
  };
  const Case cases[] = {
      {"first TVM_EXPAND", [&] { EXPECT_TRUE(t.Send(TVM_EXPAND, TVE_EXPAND, in)); },
       {Told(TVN_ITEMEXPANDINGW, E, t[L"受信ボックス"]), Told(TVN_ITEMEXPANDEDW, E, t[L"受信ボックス"])}, nullptr},
      {"later TVM_EXPANDs", [&] {
         EXPECT_TRUE(t.Send(TVM_EXPAND, TVE_COLLAPSE, in));
         EXPECT_FALSE(t.Send(TVM_EXPAND, TVE_COLLAPSE, in));  // already collapsed
         EXPECT_TRUE(t.Send(TVM_EXPAND, TVE_EXPAND, in));
         EXPECT_TRUE(t.Send(TVM_EXPAND, TVE_EXPAND, in));  // already expanded
         EXPECT_FALSE(t.Send(TVM_EXPAND, TVE_EXPAND, t[L"仕事"]));  // no children
       }, {}, nullptr},
      {"tap on a button", [&] { Tap(t.ButtonOf(L"受信ボックス")); },
       {Told(TVN_ITEMEXPANDINGW, C, t[L"受信ボックス"]), Told(TVN_ITEMEXPANDEDW, C, t[L"受信ボックス"])}, nullptr},
      {"refused expansion", [&] { t.refuseExpansion = true; qv::seams::AdvanceUiClock(1000); Tap(t.ButtonOf(L"受信ボックス")); t.refuseExpansion = false; },
       {Told(TVN_ITEMEXPANDINGW, E, t[L"受信ボックス"])}, nullptr},
      {"TVM_SELECTITEM under a collapsed item", [&] { EXPECT_TRUE(t.Send(TVM_SELECTITEM, TVGN_CARET, t[L"仕事"])); },
       {Told(TVN_SELCHANGINGW, U, t[L"仕事"]), Told(TVN_SELCHANGEDW, U, t[L"仕事"])}, L"仕事"},
      {"refused selection", [&] { t.refuseSelection = true; EXPECT_FALSE(t.Send(TVM_SELECTITEM, TVGN_CARET, t[L"家族"])); t.refuseSelection = false; },
       {Told(TVN_SELCHANGINGW, U, t[L"家族"])}, L"仕事"},
      {"tap on a label", [&] { qv::seams::AdvanceUiClock(1000); Tap(t.LabelOf(L"家族")); },
       {Told(NM_CLICK), Told(TVN_SELCHANGINGW, M, t[L"家族"]), Told(TVN_SELCHANGEDW, M, t[L"家族"])}, L"家族"},
      {"Down", [&] { Key(VK_DOWN); },
       {Told(TVN_KEYDOWN), Told(TVN_SELCHANGINGW, K, t[L"送信ボックス"]), Told(TVN_SELCHANGEDW, K, t[L"送信ボックス"])}, L"送信ボックス"},
      {"Right on a collapsed item", [&] { Key(VK_RIGHT); },
       {Told(TVN_KEYDOWN), Told(TVN_ITEMEXPANDINGW, E, t[L"送信ボックス"]), Told(TVN_ITEMEXPANDEDW, E, t[L"送信ボックス"])}, L"送信ボックス"},
      {"double tap on a label", [&] { qv::seams::AdvanceUiClock(1000); Tap(t.LabelOf(L"受信ボックス")); Tap(t.LabelOf(L"受信ボックス")); },
       {Told(NM_CLICK), Told(TVN_SELCHANGINGW, M, t[L"受信ボックス"]), Told(TVN_SELCHANGEDW, M, t[L"受信ボックス"]), Told(NM_DBLCLK),
        Told(TVN_ITEMEXPANDINGW, C, t[L"受信ボックス"]), Told(TVN_ITEMEXPANDEDW, C, t[L"受信ボックス"])}, L"受信ボックス"},
      {"Enter", [&] { Key(VK_RETURN); }, {Told(TVN_KEYDOWN), Told(NM_RETURN)}, L"受信ボックス"},
      {"deleting the selected item", [&] { t.deleteAgainWhenTold = true; EXPECT_TRUE(t.Send(TVM_DELETEITEM, 0, in)); t.deleteAgainWhenTold = false; },
       {Told(TVN_SELCHANGINGW, U, t[L"送信ボックス"]), Told(TVN_SELCHANGEDW, U, t[L"送信ボックス"]), Told(TVN_DELETEITEMW, 0, t[L"受信ボックス"]),
        Told(TVN_DELETEITEMW, 0, t[L"仕事"]), Told(TVN_DELETEITEMW, 0, t[L"家族"])}, L"送信ボックス"},
  };
  log_.Keep({WM_NOTIFY});
  log_.KeepCodes({TVN_SELCHANGINGW, TVN_SELCHANGEDW, TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW, TVN_DELETEITEMW,
                  TVN_KEYDOWN, NM_CLICK, NM_DBLCLK, NM_RETURN});
  for (const Case& c : cases) {
    log_.Clear();
    c.act();
    EXPECT_EQ(log_.Compare(t.hwnd, c.heard), "") << c.name;
    HTREEITEM caret = t.Next(TVGN_CARET);
    EXPECT_EQ(caret ? t.names[caret] : L"", c.caret ? c.caret : L"") << c.name;
  }
  EXPECT_EQ(t.Send(TVM_GETCOUNT, 0, nullptr), 2);
  // A handle that is gone finds nothing.
  EXPECT_EQ(t.Next(TVGN_CHILD, in), nullptr);
  EXPECT_FALSE(t.Send(TVM_SELECTITEM, TVGN_CARET, in));
}

TEST_F(TreeView, WalkingHitTestsItemDataAndScrolling) {
  Tree t = MakeTree(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, {0, 0, 480, 200});
  HTREEITEM a = t.Add(L"b-フォルダ");
  t.Add(L"a-先頭", TVI_ROOT, 0, TVI_FIRST);
  t.Add(L"c-最後");
  t.Add(L"bb", TVI_ROOT, 0, TVI_SORT);  // between b and c
  t.Add(L"子1", a);
  t.Add(L"子0", a, 0, TVI_FIRST);
  t.Send(TVM_EXPAND, TVE_EXPAND, a);
  struct Walk {
    UINT code;
    const wchar_t* from;
    const wchar_t* to;
  };
  const Walk walks[] = {
      {TVGN_ROOT, nullptr, L"a-先頭"},       {TVGN_NEXT, L"a-先頭", L"b-フォルダ"}, {TVGN_NEXT, L"b-フォルダ", L"bb"},
      {TVGN_PREVIOUS, L"c-最後", L"bb"},     {TVGN_CHILD, L"b-フォルダ", L"子0"},  {TVGN_PARENT, L"子1", L"b-フォルダ"},
      {TVGN_PARENT, L"a-先頭", nullptr},     {TVGN_NEXTVISIBLE, L"b-フォルダ", L"子0"}, {TVGN_NEXTVISIBLE, L"子1", L"bb"},
      {TVGN_PREVIOUSVISIBLE, L"bb", L"子1"}, {TVGN_FIRSTVISIBLE, nullptr, L"a-先頭"}, {TVGN_NEXT, L"c-最後", nullptr},
  };
  for (const Walk& w : walks) {
    HTREEITEM got = t.Next(w.code, w.from ? t[w.from] : nullptr);
    EXPECT_EQ(got ? t.names[got] : L"(none)", w.to ? w.to : L"(none)") << "code " << w.code;
  }
  // Hit tests on the parts of a row.
  const RECT label = t.ItemRect(t[L"b-フォルダ"], true);
  const RECT row = t.ItemRect(t[L"b-フォルダ"], false);
  const LONG mid = (row.top + row.bottom) / 2;
  struct Hit {
    POINT at;
    UINT flags;
    const wchar_t* item;
  };
  const LONG indent = static_cast<LONG>(t.Send(TVM_GETINDENT, 0, nullptr));
  const Hit hits[] = {{{label.left + 2, mid}, TVHT_ONITEMLABEL, L"b-フォルダ"},
                      {{label.left - indent / 2, mid}, TVHT_ONITEMBUTTON, L"b-フォルダ"},
                      {{label.right + 5, mid}, TVHT_ONITEMRIGHT, L"b-フォルダ"},
                      {{10, 199}, TVHT_ONITEMINDENT, nullptr},
                      {{10, 300}, TVHT_BELOW, nullptr}};
  for (const Hit& h : hits) {
    TVHITTESTINFO info{h.at, 0, nullptr};
    SendMessageW(t.hwnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.flags, h.flags) << h.at.x << "," << h.at.y;
    if (h.item) {
      EXPECT_EQ(t.names[info.hItem], h.item);
    }
  }
  // Items' data round trip through TVM_SETITEM and TVM_GETITEM.
  wchar_t name[] = L"改名";
  TVITEMW set{TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE, a, 0, 0, name, 0, 3, 4, 0, LPARAM{-7}};
  EXPECT_TRUE(SendMessageW(t.hwnd, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&set)));
  wchar_t back[3]{};
  TVITEMW get{TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_CHILDREN, a, 0, 0xFFFF, back, 3, 0, 0, 0, 0};
  EXPECT_TRUE(SendMessageW(t.hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&get)));
  EXPECT_STREQ(back, L"改名");
  EXPECT_EQ(get.lParam, -7);
  EXPECT_EQ(get.iImage, 3);
  EXPECT_EQ(get.iSelectedImage, 4);
  EXPECT_EQ(get.cChildren, 1);
  EXPECT_EQ(get.state & TVIS_EXPANDED, TVIS_EXPANDED);
  back[0] = L'?';
  get.cchTextMax = 2;  // cut to fit, never past the buffer
  SendMessageW(t.hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&get));
  EXPECT_STREQ(back, L"改");
  // Scrolling: the last item brought into view moves the first visible one.
  for (int i = 0; i < 20; ++i) t.Add(L"追加" + std::to_wstring(i));
  EXPECT_TRUE(t.Send(TVM_ENSUREVISIBLE, 0, t[L"追加19"]));
  const LRESULT page = t.Send(TVM_GETVISIBLECOUNT, 0, nullptr);
  HTREEITEM first = t.Next(TVGN_FIRSTVISIBLE);
  EXPECT_EQ(t.names[first], L"追加" + std::to_wstring(20 - page));
  SendMessageW(t.hwnd, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(t.names[t.Next(TVGN_FIRSTVISIBLE)], L"a-先頭");
  SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(t.hwnd, SB_VERT, &si));
  EXPECT_EQ(si.nMax, 6 + 20 - 1);
  EXPECT_EQ(si.nPage, static_cast<UINT>(page));
}

// Two 32-pixel images: a folder and a box, on the mask colour.
HIMAGELIST MakeImages() {
  HIMAGELIST list = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 2, 2);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP strip = CreateCompatibleBitmap(screen, 64, 32);
  HGDIOBJ old = SelectObject(dc, strip);
  auto fill = [&](RECT r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
  };
  fill({0, 0, 64, 32}, RGB(255, 0, 255));
  fill({2, 6, 14, 10}, RGB(200, 150, 20));   // the folder's tab
  fill({2, 10, 30, 28}, RGB(240, 190, 40));  // and its body
  fill({34, 8, 62, 28}, RGB(40, 90, 200));   // a box
  fill({38, 12, 58, 16}, RGB(255, 255, 255));
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  ImageList_AddMasked(list, strip, RGB(255, 0, 255));
  DeleteObject(strip);
  return list;
}

COLORREF ScreenAt(POINT p) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(p.y)[p.x]); }

std::string PngPath() {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/ui-tree-combo.png";
}

TEST_F(TreeView, FolderTreeAndOpenComboBoxAsPeopleSeeThem) {
  Tree t = MakeTree(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_BORDER, {0, 0, 480, 430});
  HIMAGELIST images = MakeImages();
  ASSERT_EQ(ImageList_GetImageCount(images), 2);
  t.Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<HTREEITEM>(images));
  HTREEITEM in = t.Add(L"受信ボックス", TVI_ROOT, 1);
  HTREEITEM work = t.Add(L"仕事", in);
  t.Add(L"プロジェクトA", work);
  t.Add(L"会議の案内", work);
  t.Add(L"家族", in);
  t.Add(L"友人", in);
  HTREEITEM out = t.Add(L"送信ボックス", TVI_ROOT, 1);
  t.Add(L"下書き", out);
  t.Add(L"送信済み", out);
  t.Send(TVM_EXPAND, TVE_EXPAND, in);
  t.Send(TVM_EXPAND, TVE_EXPAND, work);
  t.Send(TVM_SELECTITEM, TVGN_CARET, t[L"会議の案内"]);
  HWND combo = CreateWindowExW(0, WC_COMBOBOX, L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 20, 450, 440, 300, t.parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(32)), nullptr, nullptr);
  for (const wchar_t* name : {L"個人アカウント", L"会社アカウント", L"携帯メール", L"RSS フィード"}) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SetFocus(combo);
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  Pump();
  const bool saved = qv::seams::SaveScreenPng(PngPath());
  EXPECT_TRUE(saved) << PngPath();
  // The selected folder shows in the face colour while the open combo box has
  // the focus (the tree shows its selection without it, as inactive: only the
  // focused control looks chosen); its own picture is drawn beside it; a
  // collapsed box shows its button.
  const RECT label = t.ItemRect(t[L"会議の案内"], true);
  EXPECT_EQ(ScreenAt(t.Screen({label.left + 3, label.top + 3})), GetSysColor(COLOR_BTNFACE));
  const RECT boxLabel = t.ItemRect(in, true);
  EXPECT_EQ(ScreenAt(t.Screen({boxLabel.left - 36 + 4, (boxLabel.top + boxLabel.bottom) / 2})), RGB(40, 90, 200));
  const RECT folderLabel = t.ItemRect(work, true);
  EXPECT_EQ(ScreenAt(t.Screen({folderLabel.left - 4 - 32 + 16, (folderLabel.top + folderLabel.bottom) / 2})),
            RGB(240, 190, 40));
  const POINT button = t.ButtonOf(L"送信ボックス");
  EXPECT_EQ(ScreenAt({button.x, button.y}), GetSysColor(COLOR_WINDOWTEXT));  // the plus's centre
  // The open list lies under the field with the chosen line highlighted.
  HWND list = FindWindowW(WC_COMBOLBOX, nullptr);
  ASSERT_TRUE(IsWindowVisible(list));
  RECT field{}, dropped{};
  GetWindowRect(combo, &field);
  GetWindowRect(list, &dropped);
  EXPECT_EQ(dropped.top, field.bottom);
  const int h = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
  EXPECT_EQ(ScreenAt({dropped.left + 3, dropped.top + 1 + h + 2}), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ScreenAt({dropped.left + 3, dropped.top + 1 + 2}), GetSysColor(COLOR_WINDOW));
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  // With the focus the selection is the highlight again.
  SetFocus(t.hwnd);
  Pump();
  EXPECT_EQ(ScreenAt(t.Screen({label.left + 3, label.top + 3})), GetSysColor(COLOR_HIGHLIGHT));
  DestroyWindow(t.hwnd);
  ImageList_Destroy(images);
}

}  // namespace
}  // namespace qv::test
