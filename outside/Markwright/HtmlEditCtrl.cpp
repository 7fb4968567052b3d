// The "HtmlEditCtrl" window: the document model, its layout, caret,
// selection and link focus by character index, and the messages of the
// program's body controls. Pictures are asked of the parent (notification 2)
// and otherwise come only from the message's own file lists: the control
// opens no other file and no connection.
#include "outside/Markwright/HtmlEditCtrl.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "outside/Markwright/HtmlDocument.h"
#include "outside/Markwright/HtmlLayout.h"
#include "outside/Markwright/HtmlPainter.h"
#include "outside/Markwright/QvHtmlFileList.h"
#include "platform/base/ScopedHandle.h"
#include "platform/imaging/Imaging.h"
#include "platform/kernel/Files.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/input/Caret.h"
#include "platform/ui/input/Clipboard.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace markwright {

namespace {

constexpr size_t kDefaultLimit = 0x10000;
constexpr int kMaxPictureSide = 2048;

struct Picture {
  bool resolved = false;
  std::wstring path;
  SIZE size{0, 0};
  bool decoded = false;
  qv::ScopedGdiObject<HBITMAP> bitmap;
};

struct Link {
  size_t from, to;
};

class Control {
 public:
  explicit Control(HWND hwnd) : hwnd_(hwnd) {
    layout_.objectSize = [this](uint32_t id) { return PictureOf(id).size; };
    doc_.set_limit(kDefaultLimit);
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Created(DWORD style) { wantsBar_ = (style & WS_VSCROLL) != 0; }

 private:
  bool ReadOnly() const { return reading_ || (static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)) & ES_READONLY); }
  size_t SelFrom() const { return std::min(anchor_, caret_); }
  size_t SelTo() const { return std::max(anchor_, caret_); }
  HWND Parent() const { return GetParent(hwnd_); }
  int Id() const { return GetDlgCtrlID(hwnd_); }

  LRESULT Notify(int code, NMHTMLEDIT* n) {
    n->hdr.hwndFrom = hwnd_;
    n->hdr.idFrom = static_cast<UINT_PTR>(Id());
    n->hdr.code = static_cast<UINT>(code);
    HWND parent = Parent();
    return parent ? SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(Id()), reinterpret_cast<LPARAM>(n)) : 0;
  }
  void Command(int code) {
    if (HWND parent = Parent())
      SendMessageW(parent, WM_COMMAND, MAKEWPARAM(Id(), code), reinterpret_cast<LPARAM>(hwnd_));
  }

  Picture& PictureOf(uint32_t id);
  void DrawPicture(HDC dc, uint32_t id, const RECT& r);

  void Relayout() {
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    layout_.Configure(base_, rc.right - rc.left);
    // Pictures are asked for before the layout runs, so that the parent's
    // answer to a notification never finds a layout half built.
    for (uint32_t id = 0; id < doc_.ObjectCount(); ++id) PictureOf(id);
    layout_.Build(doc_);
    AfterLayout();
  }
  void AfterLayout(const int* top = nullptr, const int* bottom = nullptr) {
    // A whole layout looks for blinking text; an edit only starts the timer
    // when blinking text came in (ApplyCharFormat, ReplaceSelection).
    if (!top) UpdateBlinking();
    const int height = layout_.ContentHeight();
    if (record_) {
      record_[0] = layout_.Width();
      record_[1] = height;
    }
    ClampScroll();
    UpdateScrollBar();
    if (height != contentHeight_) {
      contentHeight_ = height;
      Command(HEN_HEIGHTCHANGED);
    }
    if (top && bottom) {
      RECT rc{};
      GetClientRect(hwnd_, &rc);
      rc.top = std::max(rc.top, static_cast<LONG>(*top));
      rc.bottom = std::min(rc.bottom, static_cast<LONG>(*bottom));
      if (rc.top < rc.bottom) InvalidateRect(hwnd_, &rc, FALSE);
      return;
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  // Blinking runs show and hide on a timer while the document has any.
  void UpdateBlinking() {
    bool any = false;
    for (size_t i = 0; i < doc_.Length() && !any; ++i) {
      const wchar_t c = doc_.At(i);
      any = c != kParagraphEnd && c != kObject && (doc_.FormatOf(doc_.Tag(i)).attrs & kBlink);
    }
    if (any && !blinking_) SetTimer(hwnd_, kBlinkTimer, kBlinkMs, nullptr);
    if (!any && blinking_) KillTimer(hwnd_, kBlinkTimer);
    if (!any) blinkHidden_ = false;
    blinking_ = any;
    UpdateMoving();
  }
  // The two moving paragraph kinds move only where nobody edits them.
  void UpdateMoving() {
    bool any = false;
    if (ReadOnly()) {
      for (size_t i = doc_.ParagraphEnd(0);; i = doc_.ParagraphEnd(i + 1)) {
        const ParagraphStyle& st = doc_.StyleOf(doc_.Tag(i));
        if (st.scroll || st.swing) any = true;
        if (any || i + 1 >= doc_.Chars().size()) break;
      }
    }
    if (any && !moving_) SetTimer(hwnd_, kMarqueeTimer, kMarqueeMs, nullptr);
    if (!any && moving_) KillTimer(hwnd_, kMarqueeTimer);
    if (!any) marqueeStep_ = -1;
    else if (marqueeStep_ < 0) marqueeStep_ = 0;
    moving_ = any;
  }
  void StartBlinking() {
    if (!blinking_) SetTimer(hwnd_, kBlinkTimer, kBlinkMs, nullptr);
    blinking_ = true;
  }
  // One line of the default format: the step of EM_LINESCROLL and the arrows.
  int LineStep() { return std::max(8, layout_.FontFor(Format{}).height); }
  int ClientHeight() const {
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    return rc.bottom - rc.top;
  }
  void ClampScroll() { scrollY_ = std::clamp(scrollY_, 0, std::max(0, layout_.ContentHeight() - ClientHeight())); }
  void UpdateScrollBar() {
    // The style made with, not the current one: a bar that was not needed
    // took WS_VSCROLL away with it.
    if (!wantsBar_) return;
    SCROLLINFO si{sizeof(si), SIF_ALL, 0, layout_.ContentHeight() - 1, static_cast<UINT>(ClientHeight()), scrollY_, 0};
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  }
  void ScrollTo(int y) {
    const int old = scrollY_;
    scrollY_ = y;
    ClampScroll();
    if (old != scrollY_) {
      UpdateScrollBar();
      InvalidateRect(hwnd_, nullptr, FALSE);
    }
  }
  void ScrollToCaret() {
    int h = 0, top = 0;
    layout_.PointOf(caret_, &h, &top);
    if (top < scrollY_) ScrollTo(top);
    else if (top + h > scrollY_ + ClientHeight()) ScrollTo(top + h - ClientHeight());
  }

  // After any edit: layout of the touched paragraphs, caret, notifications.
  void Edited(size_t pos, size_t removed, size_t inserted) {
    const int oldHeight = layout_.ContentHeight();
    const size_t paras = layout_.Paras().size();
    layout_.Update(doc_, pos, removed, inserted);
    links_.clear();
    linksValid_ = false;
    // Only the touched paragraph is painted again while nothing below moved.
    const bool inPlace = layout_.ContentHeight() == oldHeight && layout_.Paras().size() == paras;
    const ParaBox& box = layout_.Paras()[layout_.ParaIndexOf(pos)];
    const int top = box.y - scrollY_;
    const int bottom = box.y + box.height - scrollY_;
    AfterLayout(inPlace ? &top : nullptr, inPlace ? &bottom : nullptr);
    ScrollToCaret();
    PlaceCaret();
    if (eventMask_ & ENM_CHANGE) Command(EN_CHANGE);
    ReportDroppedParts();
  }

  void SetCaret(size_t pos, bool extend) {
    caret_ = std::min(pos, doc_.Length());
    if (!extend) anchor_ = caret_;
    typingSet_ = false;
    ScrollToCaret();
    PlaceCaret();
    InvalidateRect(hwnd_, nullptr, FALSE);
    ReportFormat();
  }
  void PlaceCaret() {
    if (GetFocus() != hwnd_) return;
    int h = 0, top = 0;
    const POINT p = layout_.PointOf(caret_, &h, &top);
    SetCaretPos(p.x, top - scrollY_);
  }

  uint32_t TypingFormat() {
    if (typingSet_) return typingFormat_;
    const size_t at = caret_ > 0 && doc_.At(caret_ - 1) != kParagraphEnd ? caret_ - 1 : caret_;
    return doc_.Intern(doc_.FormatAt(at));
  }
  void ReportFormat() {
    if (!decoration_ || ReadOnly()) return;
    NMHTMLEDIT n{};
    const Format& f = doc_.FormatOf(TypingFormat());
    n.format.SetFontSize(f.size);
    n.format.SetAttribute(f.attrs);
    n.format.SetColorRef(f.color == kNoColor ? 0 : f.color);
    reportLink_ = f.link;
    n.format.SetHyperLink(reportLink_.c_str());
    const ParagraphStyle& s = doc_.ParagraphAt(caret_);
    n.paragraph = s.scroll ? 4 : s.swing ? 5 : s.align;
    Notify(HEN_FORMAT, &n);
  }

  void ReplaceSelection(std::wstring_view text) {
    const size_t from = SelFrom(), to = SelTo();
    const uint32_t format = TypingFormat();
    doc_.Erase(from, to);
    const size_t n = doc_.InsertText(from, text, format);
    if (doc_.FormatOf(format).attrs & kBlink) StartBlinking();
    caret_ = anchor_ = from + n;
    Edited(from, to - from, n);
    typingSet_ = false;
  }
  void DeleteRange(size_t from, size_t to) {
    if (from >= to) return;
    doc_.Erase(from, to);
    caret_ = anchor_ = from;
    Edited(from, to - from, 0);
  }

  void Load(const std::wstring& html) {
    doc_.LoadHtml(html);
    pictures_.clear();
    caret_ = anchor_ = 0;
    scrollY_ = 0;
    linksValid_ = false;
    focusedLink_ = -1;
    typingSet_ = false;
    Relayout();
    shownParts_ = ReferencedParts();
    PlaceCaret();
  }
  // The inline-list indexes the document refers to.
  std::vector<bool> ReferencedParts() const;
  void ReportDroppedParts();

  const std::vector<Link>& Links();
  int LinkAt(size_t pos);
  void FocusLink(int index) {
    focusedLink_ = index;
    if (index >= 0) {
      const Link& l = Links()[static_cast<size_t>(index)];
      caret_ = anchor_ = l.from;
      ScrollToCaret();
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  RECT LinkRect(int index);
  bool MoveLinkFocus(bool previous, const RECT* within);

  void OnKeyDown(WPARAM key);
  void OnChar(wchar_t c);
  void Paint();
  void ApplyCharFormat(uint32_t mask, const Format& value) {
    if (SelFrom() == SelTo()) {
      typingFormat_ = doc_.Intern(Document::Merge(doc_.FormatOf(TypingFormat()), mask, value));
      typingSet_ = true;
      ReportFormat();
      return;
    }
    doc_.ApplyFormat(SelFrom(), SelTo(), mask, value);
    Edited(SelFrom(), SelTo() - SelFrom(), SelTo() - SelFrom());
    if (value.attrs & mask & kBlink) StartBlinking();
    ReportFormat();
  }
  void InsertImage(const wchar_t* path);
  void SetParagraph(WPARAM wParam, LPARAM lParam, bool on) {
    int kind = static_cast<int>(static_cast<intptr_t>(wParam));
    if (kind == -1) kind = static_cast<int>(lParam);
    if (kind < 1 || kind > 5) return;
    doc_.SetParagraphKind(SelFrom(), SelTo(), kind, on);
    const size_t from = doc_.ParagraphStart(SelFrom());
    const size_t to = doc_.ParagraphEnd(SelTo());
    Edited(from, to - from, to - from);
    ReportFormat();
  }

  HWND hwnd_;
  Document doc_;
  Layout layout_;
  LOGFONTW base_{};
  HFONT font_ = nullptr;
  size_t anchor_ = 0, caret_ = 0;
  bool reading_ = false;
  bool selectionMode_ = false;
  bool decoration_ = true;
  bool typingSet_ = false;
  uint32_t typingFormat_ = 0;
  int scrollY_ = 0;
  int contentHeight_ = -1;
  DWORD eventMask_ = ENM_CHANGE;
  int textMode_ = TM_RICHTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE;
  bool dragging_ = false;
  bool wantsBar_ = false;
  bool blinking_ = false;
  bool blinkHidden_ = false;
  static constexpr UINT_PTR kBlinkTimer = 0x4D57;
  static constexpr UINT kBlinkMs = 500;
  bool moving_ = false;
  int marqueeStep_ = -1;
  static constexpr UINT_PTR kMarqueeTimer = 0x4D58;
  static constexpr UINT kMarqueeMs = 100;
  int* record_ = nullptr;
  QvHtmlFileList inlineFiles_, extraFiles_;
  std::vector<bool> shownParts_;
  std::vector<std::unique_ptr<Picture>> pictures_;
  std::vector<Link> links_;
  bool linksValid_ = false;
  int focusedLink_ = -1;
  int goalX_ = -1;
  std::wstring reportLink_;
  std::wstring insertedPath_;
};

// Device folder of a path: everything before its last "\".
std::wstring FolderOf(const std::wstring& path) {
  const size_t at = path.find_last_of(L'\\');
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

bool IEqual(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x + 32);
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

Picture& Control::PictureOf(uint32_t id) {
  if (pictures_.size() < doc_.ObjectCount()) pictures_.resize(doc_.ObjectCount());
  std::unique_ptr<Picture>& slot = pictures_[id];
  if (!slot) slot = std::make_unique<Picture>();
  Picture& pic = *slot;
  if (pic.resolved) return pic;
  pic.resolved = true;
  const Object& o = doc_.ObjectOf(id);
  if (o.kind != Object::kImage) return pic;
  std::wstring path;
  if (o.source.find(L'\\') != std::wstring::npos && o.source.rfind(L"cid:", 0) != 0) {
    path = o.source;  // a picture the user inserted from the device
  } else {
    // The parent first (the program's own lists and rules), then the lists it gave.
    wchar_t buffer[HTMLEDIT_MAXPATH + 1] = {};
    NMHTMLEDIT n{};
    n.text = o.source.c_str();
    n.buffer = buffer;
    n.bufferChars = HTMLEDIT_MAXPATH + 1;
    Notify(HEN_RESOLVE, &n);
    buffer[HTMLEDIT_MAXPATH] = 0;
    path = buffer;
    if (path.empty()) {
      if (o.source.size() > 4 && IEqual(o.source.substr(0, 4), L"cid:")) {
        if (const QvHtmlFile* f = inlineFiles_.FindByContentId(o.source)) path = f->GetPath();
        if (path.empty()) {
          if (const QvHtmlFile* f = inlineFiles_.FindByContentId(o.source.substr(4))) path = f->GetPath();
        }
      } else if (IsLocalImageSource(o.source)) {
        // A bare name: only a file of the message's own folder.
        for (size_t i = 0; i < inlineFiles_.GetCount() && path.empty(); ++i) {
          const QvHtmlFile* f = inlineFiles_.GetAt(i);
          if (IEqual(f->GetName(), o.source)) path = f->GetPath();
        }
        if (path.empty() && inlineFiles_.GetCount() > 0) {
          const std::wstring folder = FolderOf(inlineFiles_.GetAt(0)->GetPath());
          if (!folder.empty()) path = folder + L"\\" + o.source;
        }
      }
    }
  }
  if (path.empty() || path.find(L"://") != std::wstring::npos) return pic;
  qv::ImageInfo info;
  if (!qv::GetImageInfo(path.c_str(), &info) || info.width == 0 || info.height == 0) return pic;
  pic.path = path;
  long w = o.width > 0 ? o.width : static_cast<long>(info.width);
  long h = o.height > 0 ? o.height : static_cast<long>(info.height);
  if (o.width > 0 && o.height == 0) h = static_cast<long>(info.height) * w / static_cast<long>(info.width);
  if (o.height > 0 && o.width == 0) w = static_cast<long>(info.width) * h / static_cast<long>(info.height);
  const long avail = std::max(8, layout_.Width() - 2 * Layout::kMargin);
  if (w > avail) {
    h = h * avail / w;
    w = avail;
  }
  pic.size = SIZE{static_cast<LONG>(std::clamp<long>(w, 1, kMaxPictureSide)), static_cast<LONG>(std::clamp<long>(h, 1, kMaxPictureSide))};
  return pic;
}

void Control::DrawPicture(HDC dc, uint32_t id, const RECT& r) {
  Picture& pic = PictureOf(id);
  if (pic.path.empty()) return;
  if (!pic.decoded) {
    pic.decoded = true;
    qv::Image image;
    qv::Bitmap bits;
    if (image.LoadFile(pic.path.c_str()) &&
        image.Decode(static_cast<UINT>(pic.size.cx), static_cast<UINT>(pic.size.cy), &bits)) {
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
      bi.bmiHeader.biWidth = static_cast<LONG>(bits.Width());
      bi.bmiHeader.biHeight = -static_cast<LONG>(bits.Height());
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      void* pixels = nullptr;
      pic.bitmap.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0));
      if (pic.bitmap.get() && pixels) {
        // Transparent parts show the page's white.
        auto* out = static_cast<BYTE*>(pixels);
        for (UINT y = 0; y < bits.Height(); ++y) {
          const BYTE* row = bits.Row(y);
          for (UINT x = 0; x < bits.Width(); ++x) {
            const BYTE* px = row + x * 4;
            BYTE* o = out + (static_cast<size_t>(y) * bits.Width() + x) * 4;
            const unsigned a = px[3];
            for (int c = 0; c < 3; ++c) o[c] = static_cast<BYTE>((px[c] * a + 255 * (255 - a)) / 255);
            o[3] = 0;
          }
        }
      }
    }
  }
  if (!pic.bitmap.get()) return;
  HDC mem = CreateCompatibleDC(dc);
  {
    qv::ScopedSelectObject select(mem, pic.bitmap.get());
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0, SRCCOPY);
  }
  DeleteDC(mem);
}

std::vector<bool> Control::ReferencedParts() const {
  std::vector<bool> used(inlineFiles_.GetCount(), false);
  for (size_t i = 0; i < doc_.Length(); ++i) {
    if (doc_.At(i) != kObject) continue;
    const Object& o = doc_.ObjectOf(doc_.Tag(i));
    if (o.kind != Object::kImage) continue;
    for (size_t k = 0; k < used.size(); ++k) {
      const QvHtmlFile* f = inlineFiles_.GetAt(k);
      const std::wstring& cid = f->GetContentId();
      if (IEqual(o.source, cid) || IEqual(o.source, L"cid:" + cid) || IEqual(o.source, f->GetName()) ||
          IEqual(o.source, f->GetPath()))
        used[k] = true;
    }
  }
  return used;
}

void Control::ReportDroppedParts() {
  if (shownParts_.empty()) return;
  const std::vector<bool> now = ReferencedParts();
  bool dropped = false;
  HWND parent = Parent();
  for (size_t k = 0; k < now.size() && k < shownParts_.size(); ++k) {
    if (shownParts_[k] && !now[k]) {
      dropped = true;
      if (parent) SendMessageW(parent, HEN_PARTDROPPED, k, 0);
    }
  }
  shownParts_ = now;
  if (dropped && parent) SendMessageW(parent, HEN_PARTSCHANGED, 1, 0);
}

const std::vector<Link>& Control::Links() {
  if (linksValid_) return links_;
  links_.clear();
  const size_t n = doc_.Length();
  size_t i = 0;
  while (i < n) {
    const Format& f = doc_.FormatAt(i);
    if (f.link.empty() || doc_.At(i) == kParagraphEnd || doc_.At(i) == kObject) {
      ++i;
      continue;
    }
    size_t e = i + 1;
    while (e < n && doc_.At(e) != kParagraphEnd && doc_.At(e) != kObject && doc_.FormatAt(e).link == f.link) ++e;
    links_.push_back({i, e});
    i = e;
  }
  linksValid_ = true;
  return links_;
}

int Control::LinkAt(size_t pos) {
  const std::vector<Link>& links = Links();
  for (size_t k = 0; k < links.size(); ++k) {
    if (pos >= links[k].from && pos < links[k].to) return static_cast<int>(k);
  }
  return -1;
}

RECT Control::LinkRect(int index) {
  RECT r{-1, -1, -1, -1};
  if (index < 0 || static_cast<size_t>(index) >= Links().size()) return r;
  const Link& l = Links()[static_cast<size_t>(index)];
  int h = 0, top = 0;
  const POINT a = layout_.PointOf(l.from, &h, &top);
  int h2 = 0, top2 = 0;
  const POINT b = layout_.PointOf(l.to, &h2, &top2);
  r.top = top - scrollY_;
  r.bottom = top2 + h2 - scrollY_;
  if (top == top2) {
    r.left = a.x;
    r.right = b.x;
  } else {
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    r.left = Layout::kMargin;
    r.right = rc.right - Layout::kMargin;
  }
  return r;
}

// Steps through the links in document order; "no move" at either end or
// when the next link lies outside `within`.
bool Control::MoveLinkFocus(bool previous, const RECT* within) {
  const int count = static_cast<int>(Links().size());
  if (count == 0) return false;
  int next;
  if (focusedLink_ < 0) {
    next = previous ? count - 1 : 0;
  } else {
    next = focusedLink_ + (previous ? -1 : 1);
  }
  if (next < 0 || next >= count) return false;
  if (within) {
    const RECT r = LinkRect(next);
    if (r.bottom <= within->top || r.top >= within->bottom) {
      // Off the given area: let the caller scroll instead.
      return false;
    }
  }
  FocusLink(next);
  return true;
}

void Control::InsertImage(const wchar_t* path) {
  if (!path || !*path || ReadOnly()) return;
  NMHTMLEDIT n{};
  insertedPath_ = path;
  n.text = insertedPath_.c_str();
  Notify(HEN_IMAGEINSERTING, &n);
  qv::ImageInfo info;
  DWORD size = 0;
  {
    qv::Image image;
    if (!qv::GetImageInfo(path, &info)) return;
    qv::ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.is_valid()) size = GetFileSize(file.get(), nullptr);
  }
  n.fileSize = size;
  if (Notify(HEN_IMAGECHECK, &n) != 0) return;  // refused
  Object o;
  o.source = path;
  const size_t from = SelFrom(), to = SelTo();
  doc_.Erase(from, to);
  const size_t added = doc_.InsertObject(from, o);
  if (added) PictureOf(static_cast<uint32_t>(doc_.ObjectCount() - 1));
  caret_ = anchor_ = from + added;
  Edited(from, to - from, added);
}

void Control::OnKeyDown(WPARAM key) {
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0 || selectionMode_;
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (reading_ || (ReadOnly() && key != VK_LEFT && key != VK_RIGHT)) {
    // Reading: the keys scroll.
    const int line = LineStep();
    switch (key) {
      case VK_UP: ScrollTo(scrollY_ - line); return;
      case VK_DOWN: ScrollTo(scrollY_ + line); return;
      case VK_PRIOR: ScrollTo(scrollY_ - ClientHeight()); return;
      case VK_NEXT: ScrollTo(scrollY_ + ClientHeight()); return;
      case VK_HOME: ScrollTo(0); return;
      case VK_END: ScrollTo(layout_.ContentHeight()); return;
      default: return;
    }
  }
  size_t pos = caret_;
  const size_t len = doc_.Length();
  int h = 0, top = 0;
  const POINT now = layout_.PointOf(caret_, &h, &top);
  const int goal = goalX_ >= 0 ? goalX_ : now.x;
  bool keepGoal = false;
  switch (key) {
    case VK_LEFT:
      if (!shift && SelFrom() != SelTo()) pos = SelFrom();
      else if (pos > 0) --pos;
      break;
    case VK_RIGHT:
      if (!shift && SelFrom() != SelTo()) pos = SelTo();
      else if (pos < len) ++pos;
      break;
    case VK_UP: pos = layout_.MoveLines(caret_, -1, goal); keepGoal = true; break;
    case VK_DOWN: pos = layout_.MoveLines(caret_, 1, goal); keepGoal = true; break;
    case VK_HOME: pos = ctrl ? 0 : layout_.LineStart(layout_.LineIndexOf(caret_)); break;
    case VK_END:
      pos = ctrl ? len : layout_.MoveLines(caret_, 0, 1 << 28);
      break;
    case VK_PRIOR: pos = layout_.MoveLines(caret_, -std::max(1, ClientHeight() / std::max(1, h)), goal); keepGoal = true; break;
    case VK_NEXT: pos = layout_.MoveLines(caret_, std::max(1, ClientHeight() / std::max(1, h)), goal); keepGoal = true; break;
    case VK_DELETE:
      if (ReadOnly()) return;
      if (SelFrom() != SelTo()) DeleteRange(SelFrom(), SelTo());
      else if (caret_ < len) DeleteRange(caret_, caret_ + 1);
      ReportFormat();
      return;
    default:
      return;
  }
  goalX_ = keepGoal ? goal : -1;
  SetCaret(pos, shift);
  if (keepGoal) goalX_ = goal;
}

void Control::OnChar(wchar_t c) {
  if (ReadOnly()) return;
  goalX_ = -1;
  if (c == VK_BACK) {
    if (SelFrom() != SelTo()) DeleteRange(SelFrom(), SelTo());
    else if (caret_ > 0) DeleteRange(caret_ - 1, caret_);
    ReportFormat();
    return;
  }
  if (c == L'\r' || c == L'\n') {
    if (GetKeyState(VK_SHIFT) & 0x8000) {
      const size_t from = SelFrom(), to = SelTo();
      doc_.Erase(from, to);
      const size_t n = doc_.InsertLineBreak(from);
      caret_ = anchor_ = from + n;
      Edited(from, to - from, n);
    } else {
      ReplaceSelection(L"\r");
    }
    return;
  }
  if (c < 0x20 || c == 0x7F) return;
  const wchar_t text[1] = {c};
  ReplaceSelection(std::wstring_view(text, 1));
}

void Control::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  Layout::PaintState s;
  s.selFrom = SelFrom();
  s.selTo = SelTo();
  if (focusedLink_ >= 0 && static_cast<size_t>(focusedLink_) < Links().size() && GetFocus() == hwnd_) {
    s.linkFrom = Links()[static_cast<size_t>(focusedLink_)].from;
    s.linkTo = Links()[static_cast<size_t>(focusedLink_)].to;
  }
  s.caret = !ReadOnly() && qv::ui::CaretShown(hwnd_);
  s.caretPos = caret_;
  s.scrollY = scrollY_;
  s.background = doc_.background();
  s.blinkHidden = blinkHidden_;
  s.marqueeStep = marqueeStep_;
  s.drawObject = [this](HDC d, uint32_t id, const RECT& r) { DrawPicture(d, id, r); };
  layout_.Paint(dc, doc_, rc, ps.rcPaint, s);
  EndPaint(hwnd_, &ps);
}

LRESULT CopyText(const std::wstring& text, WPARAM size, LPARAM buffer) {
  if (!buffer || size == 0) return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  auto* out = reinterpret_cast<wchar_t*>(buffer);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

LRESULT Control::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      RECT rc{};
      GetClientRect(hwnd_, &rc);
      if (rc.right - rc.left != layout_.Width()) {
        pictures_.clear();  // picture sizes follow the width
        Relayout();
      } else {
        ClampScroll();
        UpdateScrollBar();
      }
      return 0;
    }
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_TIMER:
      if (wParam == kBlinkTimer) {
        blinkHidden_ = !blinkHidden_;
      } else if (wParam == kMarqueeTimer) {
        marqueeStep_ = (marqueeStep_ + 1) % 100000;
      } else {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
      }
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_SETFONT: {
      font_ = reinterpret_cast<HFONT>(wParam);
      LOGFONTW lf{};
      if (font_ && GetObjectW(font_, sizeof(lf), &lf) == static_cast<int>(sizeof(lf))) base_ = lf;
      Relayout();
      if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    }
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      const auto* text = reinterpret_cast<const wchar_t*>(lParam);
      doc_.LoadText(text ? text : L"");
      pictures_.clear();
      caret_ = anchor_ = 0;
      scrollY_ = 0;
      linksValid_ = false;
      focusedLink_ = -1;
      Relayout();
      if (eventMask_ & ENM_CHANGE) Command(EN_CHANGE);
      return TRUE;
    }
    case WM_GETTEXTLENGTH:
    case HEM_GETTEXTLENGTH: return static_cast<LRESULT>(doc_.PlainText().size());
    case WM_GETTEXT: return CopyText(doc_.PlainText(), wParam, lParam);
    case HEM_GETTEXT: return CopyText(doc_.PlainText(), wParam, lParam);
    case HEM_GETHTML: {
      const std::wstring html = doc_.ToHtml();
      return wParam == 0 ? static_cast<LRESULT>(html.size()) : CopyText(html, wParam, lParam);
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
    case WM_SETFOCUS:
      CreateCaret(hwnd_, nullptr, 2, 16);
      PlaceCaret();
      if (!ReadOnly()) ShowCaret(hwnd_);
      decoration_ = true;
      Command(EN_SETFOCUS);
      InvalidateRect(hwnd_, nullptr, FALSE);
      ReportFormat();
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      Command(EN_KILLFOCUS);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN: OnKeyDown(wParam); return 0;
    case WM_CHAR: OnChar(static_cast<wchar_t>(wParam)); return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd_);
      const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) + scrollY_};
      const size_t pos = layout_.PosAt(p);
      if (ReadOnly()) {
        const int link = LinkAt(pos);
        if (link >= 0) FocusLink(link);
        anchor_ = caret_ = pos;
      } else {
        SetCaret(pos, (GetKeyState(VK_SHIFT) & 0x8000) != 0 || selectionMode_);
      }
      SetCapture(hwnd_);
      dragging_ = true;
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_) {
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) + scrollY_};
        caret_ = layout_.PosAt(p);
        PlaceCaret();
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragging_ = false;
        ReleaseCapture();
      }
      return 0;
    case WM_VSCROLL: {
      const int line = LineStep();
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollTo(scrollY_ - line); break;
        case SB_LINEDOWN: ScrollTo(scrollY_ + line); break;
        case SB_PAGEUP: ScrollTo(scrollY_ - ClientHeight()); break;
        case SB_PAGEDOWN: ScrollTo(scrollY_ + ClientHeight()); break;
        case SB_THUMBTRACK: case SB_THUMBPOSITION: ScrollTo(static_cast<short>(HIWORD(wParam))); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(layout_.ContentHeight()); break;
        default: break;
      }
      return 0;
    }
    // The rich-edit calls.
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(SelFrom());
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(SelTo());
      return MAKELONG(std::min<size_t>(SelFrom(), 0xFFFF), std::min<size_t>(SelTo(), 0xFFFF));
    case EM_SETSEL: {
      const long a = static_cast<long>(static_cast<intptr_t>(wParam));
      const long b = static_cast<long>(lParam);
      const size_t len = doc_.Length();
      if (a < 0) {
        anchor_ = caret_;
      } else {
        anchor_ = std::min<size_t>(static_cast<size_t>(a), len);
        caret_ = b < 0 ? len : std::min<size_t>(static_cast<size_t>(b), len);
      }
      SetCaret(caret_, true);
      return 0;
    }
    case EM_EXGETSEL:
    case HEM_GETSELECTION:
      if (auto* r = reinterpret_cast<CHARRANGE*>(lParam)) {
        r->cpMin = static_cast<LONG>(SelFrom());
        r->cpMax = static_cast<LONG>(SelTo());
      }
      return static_cast<LRESULT>(SelTo());
    case EM_EXSETSEL: {
      const auto* r = reinterpret_cast<const CHARRANGE*>(lParam);
      if (!r) return static_cast<LRESULT>(SelTo());
      const size_t len = doc_.Length();
      if (r->cpMin == 0 && r->cpMax == -1) {
        anchor_ = 0;
        caret_ = len;
      } else if (r->cpMin < 0) {
        anchor_ = caret_;
      } else {
        anchor_ = std::min<size_t>(static_cast<size_t>(r->cpMin), len);
        caret_ = r->cpMax < 0 ? len : std::min<size_t>(static_cast<size_t>(r->cpMax), len);
      }
      SetCaret(caret_, true);
      return static_cast<LRESULT>(SelTo());
    }
    case EM_EXLINEFROMCHAR:
      return static_cast<LRESULT>(layout_.LineIndexOf(std::min<size_t>(static_cast<size_t>(std::max<LPARAM>(0, lParam)), doc_.Length())));
    case EM_LINEFROMCHAR:
      return static_cast<LRESULT>(layout_.LineIndexOf(static_cast<intptr_t>(wParam) < 0 ? caret_ : std::min<size_t>(wParam, doc_.Length())));
    case EM_GETLINECOUNT: return static_cast<LRESULT>(layout_.LineCount());
    case EM_LINEINDEX: {
      const size_t line = static_cast<intptr_t>(wParam) < 0 ? layout_.LineIndexOf(caret_) : wParam;
      return line >= layout_.LineCount() ? -1 : static_cast<LRESULT>(layout_.LineStart(line));
    }
    case EM_CHARFROMPOS: {
      const auto* p = reinterpret_cast<const POINTL*>(lParam);
      if (!p) return 0;
      return static_cast<LRESULT>(layout_.PosAt(POINT{p->x, p->y + scrollY_}));
    }
    case EM_POSFROMCHAR: {
      const size_t index = wParam < 0x10000 ? wParam : static_cast<size_t>(std::max<LPARAM>(0, lParam));
      const POINT p = layout_.PointOf(std::min(index, doc_.Length()));
      if (wParam < 0x10000) return MAKELONG(p.x, p.y - scrollY_);
      *reinterpret_cast<POINTL*>(wParam) = POINTL{p.x, p.y - scrollY_};
      return 0;
    }
    case EM_LINESCROLL: {
      const int line = LineStep();
      ScrollTo(scrollY_ + static_cast<int>(lParam) * line);
      return TRUE;
    }
    case EM_SCROLLCARET: ScrollToCaret(); return 0;
    case EM_EXLIMITTEXT:
    case EM_LIMITTEXT:
      doc_.set_limit(lParam > 0 || (message == EM_LIMITTEXT && wParam > 0)
                         ? static_cast<size_t>(message == EM_LIMITTEXT ? wParam : static_cast<WPARAM>(lParam))
                         : kDefaultLimit);
      return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(doc_.limit());
    case EM_SETEVENTMASK: {
      const DWORD old = eventMask_;
      eventMask_ = static_cast<DWORD>(lParam);
      return static_cast<LRESULT>(old);
    }
    case EM_GETEVENTMASK: return static_cast<LRESULT>(eventMask_);
    case EM_SETTEXTMODE: textMode_ = static_cast<int>(wParam); return 0;
    case EM_GETTEXTMODE: return textMode_;
    case EM_SETREADONLY: {
      const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
      SetWindowLongW(hwnd_, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~static_cast<LONG>(ES_READONLY)));
      UpdateMoving();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    }
    case EM_GETMODIFY: return 0;
    case EM_CANUNDO: return FALSE;  // no undo: the compose pages never ask for one
    case EM_REPLACESEL: {
      const auto* text = reinterpret_cast<const wchar_t*>(lParam);
      if (!text || ReadOnly()) return 0;
      ReplaceSelection(text);
      return 0;
    }
    case WM_COPY:
    case WM_CUT: {
      if (SelFrom() == SelTo()) return 0;
      const std::wstring text = doc_.PlainText(SelFrom(), SelTo());
      if (OpenClipboard(hwnd_)) {
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, const_cast<wchar_t*>(text.c_str()));
        CloseClipboard();
      }
      if (message == WM_CUT && !ReadOnly()) DeleteRange(SelFrom(), SelTo());
      return 0;
    }
    case WM_PASTE: {
      if (ReadOnly() || !OpenClipboard(hwnd_)) return 0;
      const auto* text = static_cast<const wchar_t*>(GetClipboardData(CF_UNICODETEXT));
      const std::wstring copy = text ? text : L"";
      CloseClipboard();
      if (!copy.empty()) ReplaceSelection(copy);
      return 0;
    }
    case WM_CLEAR:
      if (!ReadOnly()) DeleteRange(SelFrom(), SelTo());
      return 0;
    // The private messages.
    case HEM_SETCHARFORMAT: {
      const auto* cf = reinterpret_cast<const QvCharFormat*>(lParam);
      if (!cf) return 0;
      Format value;
      value.size = std::clamp(cf->GetFontSize(), 1, 7);
      value.attrs = static_cast<uint32_t>(cf->GetAttribute()) & kAttrMask;
      value.color = static_cast<uint32_t>(cf->GetColorRef());
      if (cf->GetHyperLink()) value.link = std::wstring(cf->GetHyperLink()).substr(0, HTMLEDIT_MAXLINK - 1);
      ApplyCharFormat(static_cast<uint32_t>(wParam), value);
      return TRUE;
    }
    case HEM_SETCOLOR: {
      Format value;
      value.color = static_cast<uint32_t>(wParam) & 0xFFFFFF;
      ApplyCharFormat(0x100u, value);
      return TRUE;
    }
    case HEM_SETBKCOLOR:
      doc_.SetBackground(static_cast<uint32_t>(wParam) & 0xFFFFFF);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    case HEM_INSERTIMAGE:
      InsertImage(lParam ? reinterpret_cast<const wchar_t*>(lParam) : reinterpret_cast<const wchar_t*>(wParam));
      return 0;
    case HEM_INSERTRULE: {
      if (ReadOnly()) return 0;
      const size_t from = doc_.ParagraphStart(caret_);
      const size_t before = doc_.Length();
      const size_t after = doc_.InsertRule(doc_.ParagraphEnd(caret_) + 1 <= doc_.Length() ? doc_.ParagraphEnd(caret_) + 1 : doc_.Length());
      const size_t added = doc_.Length() - before;
      caret_ = anchor_ = std::min(after, doc_.Length());
      Edited(from, 0, added);
      return TRUE;
    }
    case HEM_APPENDTEXT: {
      const auto* text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : reinterpret_cast<const wchar_t*>(wParam);
      if (!text) return 0;
      const size_t at = doc_.Length();
      const size_t n = doc_.InsertText(at, text, 0);
      Edited(at, 0, n);
      return static_cast<LRESULT>(n);
    }
    case HEM_PARAGRAPHON: SetParagraph(wParam, lParam, true); return TRUE;
    case HEM_PARAGRAPHOFF: SetParagraph(wParam, lParam, false); return TRUE;
    case HEM_SETFILELISTS:
      inlineFiles_ = wParam ? *reinterpret_cast<const QvHtmlFileList*>(wParam) : QvHtmlFileList();
      extraFiles_ = lParam ? *reinterpret_cast<const QvHtmlFileList*>(lParam) : QvHtmlFileList();
      pictures_.clear();
      return TRUE;
    case HEM_LOADHTML: {
      const auto* html = wParam ? reinterpret_cast<const wchar_t*>(wParam) : reinterpret_cast<const wchar_t*>(lParam);
      const std::wstring text = html ? html : L"";
      Load(text);
      if (text.size() > 16u * 1024 * 1024 || doc_.Length() >= kMaxChars - 2) {
        if (HWND parent = Parent()) SendMessageW(parent, HEN_DOCUMENTERROR, 0, 0);
      }
      return TRUE;
    }
    case HEM_SETRECORD:
      record_ = reinterpret_cast<int*>(wParam);
      if (record_) {
        record_[0] = layout_.Width();
        record_[1] = layout_.ContentHeight();
      }
      return TRUE;
    case HEM_READINGMODE:
      reading_ = true;
      UpdateMoving();
      HideCaret(hwnd_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    case HEM_SELECTIONMODE: selectionMode_ = wParam != 0; return TRUE;
    case HEM_LEAVEDECORATION: decoration_ = false; return TRUE;
    case HEM_GETCARETSIZE: {
      int h = 0;
      layout_.PointOf(caret_, &h);
      return MAKELONG(2, h);
    }
    case HEM_GETCARETPOS: {
      int h = 0, top = 0;
      const POINT p = layout_.PointOf(caret_, &h, &top);
      if (auto* out = reinterpret_cast<POINT*>(lParam)) *out = POINT{p.x, top - scrollY_};
      return MAKELONG(p.x, top - scrollY_);
    }
    case HEM_CARETTOTOP: SetCaret(layout_.PosAt(POINT{0, scrollY_ + 1}), false); return TRUE;
    case HEM_CARETTOEND: SetCaret(doc_.Length(), false); return TRUE;
    case HEM_SELECTLINK:
      if (wParam >= Links().size()) return FALSE;
      FocusLink(static_cast<int>(wParam));
      return TRUE;
    case HEM_FOCUSLASTLINK:
      if (Links().empty()) return FALSE;
      FocusLink(static_cast<int>(Links().size() - 1));
      return TRUE;
    case HEM_GETLINKLENGTH:
      if (focusedLink_ < 0 || static_cast<size_t>(focusedLink_) >= Links().size()) return 0;
      return static_cast<LRESULT>(doc_.FormatAt(Links()[static_cast<size_t>(focusedLink_)].from).link.size());
    case HEM_GETLINKTEXT:
      if (focusedLink_ < 0 || static_cast<size_t>(focusedLink_) >= Links().size()) return CopyText(L"", wParam, lParam);
      return CopyText(doc_.FormatAt(Links()[static_cast<size_t>(focusedLink_)].from).link, wParam, lParam);
    case HEM_MOVELINKFOCUS: return MoveLinkFocus(wParam != 0, reinterpret_cast<const RECT*>(lParam)) ? TRUE : FALSE;
    case HEM_GETLINKRECT: {
      const RECT r = LinkRect(focusedLink_);
      if (auto* out = reinterpret_cast<RECT*>(lParam)) *out = r;
      return focusedLink_ >= 0;
    }
    case HEM_LINKATCHAR: {
      if (wParam >= doc_.Length()) return 0;
      const std::wstring& link = doc_.FormatAt(wParam).link;
      if (doc_.At(wParam) == kParagraphEnd || doc_.At(wParam) == kObject || link.empty()) return 0;
      CopyText(link, HTMLEDIT_MAXLINK, lParam);
      return LinkKind(link);
    }
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

LRESULT HtmlEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<Control*>(GetWindowLongW(hwnd, 0));
  if (message == WM_NCDESTROY) {
    SetWindowLongW(hwnd, 0, 0);
    delete control;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  if (!control) {
    control = new Control(hwnd);
    SetWindowLongW(hwnd, 0, reinterpret_cast<LONG_PTR>(control));
  }
  if (message == WM_CREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (cs) control->Created(static_cast<DWORD>(cs->style));
    if (cs && cs->lpszName && *cs->lpszName) control->Handle(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cs->lpszName));
    control->Handle(WM_SIZE, 0, 0);
    return 0;
  }
  return control->Handle(message, wParam, lParam);
}

}  // namespace

}  // namespace markwright

extern "C" {

MARKWRIGHT_API BOOL InitializeHtmlEditCtrl(HINSTANCE instance, DWORD) {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = markwright::HtmlEditProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.lpszClassName = HTMLEDIT_CLASS;
  RegisterClassW(&wc);  // a second call finds it there
  return TRUE;
}

MARKWRIGHT_API void TerminateHtmlEditCtrl() { UnregisterClassW(HTMLEDIT_CLASS, nullptr); }

MARKWRIGHT_API void SetHtmlEditTextPainter(const HtmlEditTextPainter* painter) { markwright::SetPainter(painter); }

}  // extern "C"
