#include "platform/testing/MessageLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>

#include "platform/ui/CommCtrl.h"
#include "platform/ui/commctrl/CommCtrlTree.h"
#include "platform/ui/window/Window.h"

namespace qv::seams {
namespace {

struct Named {
  UINT message;
  const char* name;
};

constexpr Named kNames[] = {
    {WM_NULL, "WM_NULL"}, {WM_CREATE, "WM_CREATE"}, {WM_DESTROY, "WM_DESTROY"}, {WM_MOVE, "WM_MOVE"},
    {WM_SIZE, "WM_SIZE"}, {WM_ACTIVATE, "WM_ACTIVATE"}, {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_KILLFOCUS, "WM_KILLFOCUS"}, {WM_ENABLE, "WM_ENABLE"}, {WM_SETREDRAW, "WM_SETREDRAW"},
    {WM_SETTEXT, "WM_SETTEXT"}, {WM_GETTEXT, "WM_GETTEXT"}, {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
    {WM_PAINT, "WM_PAINT"}, {WM_CLOSE, "WM_CLOSE"}, {WM_QUIT, "WM_QUIT"}, {WM_ERASEBKGND, "WM_ERASEBKGND"},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW"}, {WM_SETTINGCHANGE, "WM_SETTINGCHANGE"}, {WM_CANCELMODE, "WM_CANCELMODE"},
    {WM_SETFONT, "WM_SETFONT"}, {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
    {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"}, {WM_NOTIFY, "WM_NOTIFY"}, {WM_STYLECHANGING, "WM_STYLECHANGING"},
    {WM_STYLECHANGED, "WM_STYLECHANGED"}, {WM_NCDESTROY, "WM_NCDESTROY"}, {WM_GETDLGCODE, "WM_GETDLGCODE"},
    {WM_KEYDOWN, "WM_KEYDOWN"}, {WM_KEYUP, "WM_KEYUP"}, {WM_CHAR, "WM_CHAR"}, {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
    {WM_SYSKEYUP, "WM_SYSKEYUP"}, {WM_SYSCHAR, "WM_SYSCHAR"}, {WM_INITDIALOG, "WM_INITDIALOG"},
    {WM_COMMAND, "WM_COMMAND"}, {WM_TIMER, "WM_TIMER"}, {WM_HSCROLL, "WM_HSCROLL"}, {WM_VSCROLL, "WM_VSCROLL"},
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"}, {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
    {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"}, {WM_RBUTTONUP, "WM_RBUTTONUP"},
    {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"}, {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"}, {WM_COPY, "WM_COPY"},
    {WM_PASTE, "WM_PASTE"}, {WM_USER, "WM_USER"}, {WM_APP, "WM_APP"},
    {WM_INITMENU, "WM_INITMENU"}, {WM_INITMENUPOPUP, "WM_INITMENUPOPUP"}, {WM_MENUSELECT, "WM_MENUSELECT"},
    {WM_ENTERIDLE, "WM_ENTERIDLE"}, {WM_ENTERMENULOOP, "WM_ENTERMENULOOP"}, {WM_EXITMENULOOP, "WM_EXITMENULOOP"},
};

constexpr Named kNotifications[] = {
    {NM_CLICK, "NM_CLICK"}, {NM_DBLCLK, "NM_DBLCLK"}, {NM_RETURN, "NM_RETURN"}, {NM_RCLICK, "NM_RCLICK"},
    {NM_SETFOCUS, "NM_SETFOCUS"}, {NM_KILLFOCUS, "NM_KILLFOCUS"}, {NM_CUSTOMDRAW, "NM_CUSTOMDRAW"},
    {NM_HOVER, "NM_HOVER"}, {LVN_ITEMCHANGING, "LVN_ITEMCHANGING"}, {LVN_ITEMCHANGED, "LVN_ITEMCHANGED"},
    {LVN_INSERTITEM, "LVN_INSERTITEM"}, {LVN_DELETEITEM, "LVN_DELETEITEM"},
    {LVN_DELETEALLITEMS, "LVN_DELETEALLITEMS"}, {LVN_COLUMNCLICK, "LVN_COLUMNCLICK"},
    {LVN_BEGINDRAG, "LVN_BEGINDRAG"}, {LVN_ODCACHEHINT, "LVN_ODCACHEHINT"}, {LVN_ITEMACTIVATE, "LVN_ITEMACTIVATE"},
    {LVN_KEYDOWN, "LVN_KEYDOWN"}, {LVN_GETDISPINFOW, "LVN_GETDISPINFO"}, {LVN_ODFINDITEMW, "LVN_ODFINDITEM"},
    {HDN_ITEMCHANGINGW, "HDN_ITEMCHANGING"}, {HDN_ITEMCHANGEDW, "HDN_ITEMCHANGED"},
    {HDN_ITEMCLICKW, "HDN_ITEMCLICK"}, {HDN_ITEMDBLCLICKW, "HDN_ITEMDBLCLICK"},
    {HDN_DIVIDERDBLCLICKW, "HDN_DIVIDERDBLCLICK"}, {HDN_BEGINTRACKW, "HDN_BEGINTRACK"},
    {HDN_ENDTRACKW, "HDN_ENDTRACK"}, {HDN_TRACKW, "HDN_TRACK"}, {TCN_KEYDOWN, "TCN_KEYDOWN"},
    {TCN_SELCHANGE, "TCN_SELCHANGE"}, {TCN_SELCHANGING, "TCN_SELCHANGING"},
    {TVN_SELCHANGINGW, "TVN_SELCHANGING"}, {TVN_SELCHANGEDW, "TVN_SELCHANGED"},
    {TVN_ITEMEXPANDINGW, "TVN_ITEMEXPANDING"}, {TVN_ITEMEXPANDEDW, "TVN_ITEMEXPANDED"},
    {TVN_DELETEITEMW, "TVN_DELETEITEM"}, {TVN_KEYDOWN, "TVN_KEYDOWN"},
};

constexpr Named kStages[] = {
    {CDDS_PREPAINT, "CDDS_PREPAINT"}, {CDDS_POSTPAINT, "CDDS_POSTPAINT"}, {CDDS_PREERASE, "CDDS_PREERASE"},
    {CDDS_POSTERASE, "CDDS_POSTERASE"}, {CDDS_ITEMPREPAINT, "CDDS_ITEMPREPAINT"},
    {CDDS_ITEMPOSTPAINT, "CDDS_ITEMPOSTPAINT"}, {CDDS_ITEMPREPAINT | CDDS_SUBITEM, "CDDS_SUBITEMPREPAINT"},
    {CDDS_ITEMPOSTPAINT | CDDS_SUBITEM, "CDDS_SUBITEMPOSTPAINT"},
};

// The program's own names, added by its tests.
std::mutex& AddedLock() {
  static std::mutex lock;
  return lock;
}
std::map<UINT, std::string>& Added() {
  static std::map<UINT, std::string> names;
  return names;
}
std::map<UINT, std::string>& AddedCommands() {
  static std::map<UINT, std::string> names;
  return names;
}

void AddName(std::map<UINT, std::string>& table, UINT number, const std::string& name) {
  std::lock_guard<std::mutex> g(AddedLock());
  std::string& names = table[number];
  if (names.empty()) {
    names = name;
  } else if (("|" + names + "|").find("|" + name + "|") == std::string::npos) {
    names += "|" + name;
  }
}

std::string Hex(uint64_t v) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(v));
  return b;
}

constexpr DWORD_PTR kNoItem = static_cast<DWORD_PTR>(-1);

// A row or column as a number; a tree item's handle in hex.
std::string ItemText(DWORD_PTR item) {
  const auto n = static_cast<intptr_t>(item);
  return n >= -1 && n < 0x10000 ? std::to_string(n) : Hex(item);
}

bool IsClass(HWND hwnd, const wchar_t* name) {
  wchar_t got[64] = {};
  return hwnd && GetClassNameW(hwnd, got, 64) > 0 && std::wcscmp(got, name) == 0;
}

// What a notification names, read while its structure lives. The code tells
// the structure, and for a click the sender's class: a list view's click
// carries its row, a tree view's only the header.
MsgEntry ReadNote(const NMHDR* head) {
  MsgEntry n{WM_NOTIFY, 0};
  n.code = head->code;
  n.item = kNoItem;
  const UINT c = head->code;
  if (c == NM_CUSTOMDRAW) {
    const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(head);
    n.stage = draw->dwDrawStage;
    n.item = draw->dwItemSpec;
  } else if (c == LVN_ITEMCHANGING || c == LVN_ITEMCHANGED || c == LVN_INSERTITEM || c == LVN_DELETEITEM) {
    const auto* lv = reinterpret_cast<const NMLISTVIEW*>(head);
    n.item = static_cast<DWORD_PTR>(static_cast<intptr_t>(lv->iItem));
    n.oldState = lv->uOldState;
    n.newState = lv->uNewState;
  } else if (c == LVN_COLUMNCLICK) {
    n.item = static_cast<DWORD_PTR>(static_cast<intptr_t>(reinterpret_cast<const NMLISTVIEW*>(head)->iSubItem));
  } else if (c == LVN_ITEMACTIVATE ||
             ((c == NM_CLICK || c == NM_DBLCLK || c == NM_RCLICK) && IsClass(head->hwndFrom, WC_LISTVIEW))) {
    n.item = static_cast<DWORD_PTR>(static_cast<intptr_t>(reinterpret_cast<const NMITEMACTIVATE*>(head)->iItem));
  } else if (c == LVN_GETDISPINFOW) {
    n.item = static_cast<DWORD_PTR>(static_cast<intptr_t>(reinterpret_cast<const NMLVDISPINFOW*>(head)->item.iItem));
  } else if (c == HDN_ITEMCHANGINGW || c == HDN_ITEMCHANGEDW || c == HDN_ITEMCLICKW || c == HDN_ITEMDBLCLICKW ||
             c == HDN_DIVIDERDBLCLICKW || c == HDN_BEGINTRACKW || c == HDN_ENDTRACKW || c == HDN_TRACKW) {
    n.item = static_cast<DWORD_PTR>(static_cast<intptr_t>(reinterpret_cast<const NMHEADERW*>(head)->iItem));
  } else if (c == TVN_SELCHANGINGW || c == TVN_SELCHANGEDW || c == TVN_ITEMEXPANDINGW || c == TVN_ITEMEXPANDEDW ||
             c == TVN_DELETEITEMW) {
    const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(head);
    n.item = reinterpret_cast<DWORD_PTR>(c == TVN_DELETEITEMW ? tv->itemOld.hItem : tv->itemNew.hItem);
    n.action = tv->action;
  }
  return n;
}

std::string Describe(const MsgEntry& e, bool showParams) {
  const unsigned flags = e.flags;
  std::string s = MessageName(e.message);
  if (e.message == WM_NOTIFY && (showParams || (flags & seq::code))) s += " " + NotificationName(e.code);
  if (e.message == WM_COMMAND) {
    std::lock_guard<std::mutex> g(AddedLock());
    auto it = AddedCommands().find(LOWORD(e.wParam));
    if (it != AddedCommands().end()) s += " " + it->second;
  }
  if (e.code == NM_CUSTOMDRAW && (showParams || (flags & seq::stage))) {
    const Named* stage = std::find_if(std::begin(kStages), std::end(kStages),
                                      [&](const Named& n) { return n.message == e.stage; });
    s += " " + (stage != std::end(kStages) ? std::string(stage->name) : Hex(e.stage));
    if (e.stage & CDDS_ITEM) s += " item " + std::to_string(e.item);
  } else if (e.message == WM_NOTIFY) {
    if ((flags & seq::item) || (showParams && e.item != kNoItem)) s += " item " + ItemText(e.item);
    if ((flags & seq::states) || (showParams && (e.oldState || e.newState))) {
      s += " states " + Hex(e.oldState) + "->" + Hex(e.newState);
    }
    if ((flags & seq::action) || (showParams && e.action)) s += " action " + std::to_string(e.action);
  }
  const std::pair<unsigned, const char*> parts[] = {{seq::sent, "sent"},       {seq::posted, "posted"},
                                                    {seq::parent, "parent"},   {seq::other, "other"},
                                                    {seq::defwinproc, "defwinproc"}, {seq::optional, "optional"}};
  for (auto [bit, name] : parts) {
    if (flags & bit) s += std::string(" ") + name;
  }
  if (showParams || (flags & seq::wparam)) s += " wParam=" + Hex(e.wParam);
  if (showParams || (flags & seq::lparam)) s += " lParam=" + Hex(static_cast<uint64_t>(e.lParam));
  return s;
}

}  // namespace

std::string MessageName(UINT message) {
  for (const Named& n : kNames) {
    if (n.message == message) return n.name;
  }
  {
    std::lock_guard<std::mutex> g(AddedLock());
    auto it = Added().find(message);
    if (it != Added().end()) return it->second;
  }
  if (message > WM_USER && message < WM_APP) return "WM_USER+" + std::to_string(message - WM_USER);
  if (message > WM_APP && message < 0xC000u) return "WM_APP+" + std::to_string(message - WM_APP);
  return Hex(message);
}

std::string NotificationName(UINT code) {
  for (const Named& n : kNotifications) {
    if (n.message == code) return n.name;
  }
  return std::to_string(static_cast<int>(code));
}

void AddMessageName(UINT message, const std::string& name) { AddName(Added(), message, name); }

void AddCommandName(UINT id, const std::string& name) { AddName(AddedCommands(), id, name); }

MessageLog::MessageLog() {
  id_ = qv::ui_seam::AddObserver([this](const qv::ui_seam::Observed& o) {
    HWND parent = GetAncestor(o.hwnd, GA_PARENT);
    // The notification's structure lives only during the call: read it now.
    MsgEntry note{o.message, 0};
    if (o.message == WM_NOTIFY && o.lParam != 0) note = ReadNote(reinterpret_cast<const NMHDR*>(o.lParam));
    std::lock_guard<std::mutex> g(lock_);
    if (std::find(ignored_.begin(), ignored_.end(), o.message) != ignored_.end()) return;
    if (!kept_.empty() && std::find(kept_.begin(), kept_.end(), o.message) == kept_.end()) return;
    if (o.message == WM_NOTIFY && !keptCodes_.empty() &&
        std::find(keptCodes_.begin(), keptCodes_.end(), note.code) == keptCodes_.end()) {
      return;
    }
    seen_.push_back({o, parent, note});
  });
}

MessageLog::~MessageLog() { qv::ui_seam::RemoveObserver(id_); }

void MessageLog::Ignore(std::vector<UINT> messages) {
  std::lock_guard<std::mutex> g(lock_);
  ignored_ = std::move(messages);
}

void MessageLog::Keep(std::vector<UINT> messages) {
  std::lock_guard<std::mutex> g(lock_);
  kept_ = std::move(messages);
}

void MessageLog::KeepCodes(std::vector<UINT> codes) {
  std::lock_guard<std::mutex> g(lock_);
  keptCodes_ = std::move(codes);
}

void MessageLog::Clear() {
  std::lock_guard<std::mutex> g(lock_);
  seen_.clear();
}

std::vector<UINT> MessageLog::MessagesOf(HWND hwnd) const {
  std::lock_guard<std::mutex> g(lock_);
  std::vector<UINT> out;
  for (const Seen& s : seen_) {
    if (s.what.hwnd == hwnd) out.push_back(s.what.message);
  }
  return out;
}

std::vector<UINT> MessageLog::NotificationsTo(HWND hwnd) const {
  std::lock_guard<std::mutex> g(lock_);
  std::vector<UINT> out;
  for (const Seen& s : seen_) {
    if (s.what.hwnd == hwnd && s.what.message == WM_NOTIFY) out.push_back(s.note.code);
  }
  return out;
}

std::vector<MsgEntry> MessageLog::NotesTo(HWND hwnd) const {
  std::lock_guard<std::mutex> g(lock_);
  std::vector<MsgEntry> out;
  for (const Seen& s : seen_) {
    if (s.what.hwnd == hwnd && s.what.message == WM_NOTIFY) out.push_back(s.note);
  }
  return out;
}

std::string MessageLog::Compare(HWND subject, const std::vector<MsgEntry>& expected) const {
  std::lock_guard<std::mutex> g(lock_);
  // The subject's parent as it was seen, or as it is when the subject itself
  // received nothing that was kept.
  HWND subjectParent = nullptr;
  for (const Seen& s : seen_) {
    if (s.what.hwnd == subject) subjectParent = s.parent;
  }
  if (subjectParent == nullptr && IsWindow(subject)) subjectParent = GetAncestor(subject, GA_PARENT);
  // Each recorded message as the flags a table would give it.
  std::vector<MsgEntry> actual;
  for (const Seen& s : seen_) {
    unsigned flags = 0;
    if (s.what.how & qv::ui_seam::kObservedSent) flags |= seq::sent;
    if (s.what.how & qv::ui_seam::kObservedPosted) flags |= seq::posted;
    if (s.what.how & qv::ui_seam::kObservedDefWinProc) flags |= seq::defwinproc;
    if (s.what.hwnd != subject) flags |= s.what.hwnd == subjectParent && subjectParent ? seq::parent : seq::other;
    MsgEntry got = s.note;
    got.message = s.what.message;
    got.flags = flags;
    got.wParam = s.what.wParam;
    got.lParam = s.what.lParam;
    actual.push_back(got);
  }
  constexpr unsigned kKind = seq::sent | seq::posted | seq::parent | seq::other | seq::defwinproc;
  auto matches = [](const MsgEntry& want, const MsgEntry& got) {
    return want.message == got.message && (want.flags & kKind) == (got.flags & kKind) &&
           (!(want.flags & seq::wparam) || want.wParam == got.wParam) &&
           (!(want.flags & seq::lparam) || want.lParam == got.lParam) &&
           (!(want.flags & seq::code) || want.code == got.code) &&
           (!(want.flags & seq::stage) || (want.stage == got.stage && want.item == got.item)) &&
           (!(want.flags & seq::item) || want.item == got.item) &&
           (!(want.flags & seq::states) || (want.oldState == got.oldState && want.newState == got.newState)) &&
           (!(want.flags & seq::action) || want.action == got.action);
  };
  size_t a = 0;
  size_t e = 0;
  bool ok = true;
  while (ok && (a < actual.size() || e < expected.size())) {
    if (e < expected.size() && a < actual.size() && matches(expected[e], actual[a])) {
      ++a;
      ++e;
    } else if (e < expected.size() && (expected[e].flags & seq::optional)) {
      ++e;
    } else {
      ok = false;
    }
  }
  if (ok) return "";
  std::string out = "expected:\n";
  for (size_t i = 0; i < expected.size(); ++i) {
    out += (i == e ? "  > " : "    ") +
           Describe(expected[i], false) + "\n";
  }
  out += "received:\n";
  for (size_t i = 0; i < actual.size(); ++i) {
    out += (i == a ? "  > " : "    ") +
           Describe(actual[i], true) + "\n";
  }
  return out;
}

}  // namespace qv::seams
