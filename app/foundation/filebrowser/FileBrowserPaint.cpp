// The file browser's painting: the small icons of the lists, and the
// thumbnails view drawn over the list view's own items (a frame, the
// picture decoded on the loader's thread, or the file's large icon).
#include <algorithm>

#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "platform/gdi/ImageList.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/shell/ShellFiles.h"
#include "platform/shell/ShellUi.h"

namespace {

constexpr int kFrame = 122;
constexpr int kDrawDrop = 4;

}  // namespace

int QvFileBrowser::SmallIconOf(FileRow& item) {
  if (item.smallIconMade) return item.smallIcon;
  item.smallIconMade = true;
  const std::wstring path = rows_.PathOf(item);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return item.smallIcon = -1;
  const bool volume = (attributes & FILE_ATTRIBUTE_TEMPORARY) != 0;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !volume) return item.smallIcon = 0;
  const std::wstring upper = UpperName(path);
  const size_t dot = upper.rfind(L'.');
  const size_t sep = upper.rfind(L'\\');
  std::wstring key;
  if (volume) key = upper;
  else if (dot == std::wstring::npos || (sep != std::wstring::npos && dot < sep)) key = L"\\\\\\";
  else if (upper.compare(dot, std::wstring::npos, L".EXE") == 0 || upper.compare(dot, std::wstring::npos, L".LNK") == 0)
    key = upper;
  else key = upper.substr(dot);
  for (const auto& [known, index] : iconKeys_) {
    if (known == key) return item.smallIcon = index;
  }
  SHFILEINFO info{};
  if (!SHGetFileInfo(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON) || !info.hIcon) {
    return item.smallIcon = -1;
  }
  const int index = ImageList_AddIcon(smallImages_, info.hIcon);
  DestroyIcon(info.hIcon);
  iconKeys_.emplace_back(key, index);
  return item.smallIcon = index;
}

LRESULT QvFileBrowser::CustomDraw(NMLVCUSTOMDRAW* draw) {
  if (view_ != kThumbnails) return CDRF_DODEFAULT;
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      painting_ = true;
      KillTimer(dialog_, kThumbnailTimer);
      paintRect_ = draw->nmcd.rc;
      return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT: {
      const int index = static_cast<int>(draw->nmcd.dwItemSpec);
      auto* item = reinterpret_cast<FileRow*>(draw->nmcd.lItemlParam);
      RECT overlap{};
      if (item && IntersectRect(&overlap, &draw->nmcd.rc, &paintRect_)) DrawThumbnailItem(draw->nmcd.hdc, index, *item);
      return CDRF_DODEFAULT;
    }
    case CDDS_POSTPAINT:
      SetTimer(dialog_, kThumbnailTimer, kTimerDelay, nullptr);
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

// The picture frame of an item: wider than the list's own icon rectangle,
// so whatever repaints a thumbnail must take this one.
RECT QvFileBrowser::ThumbnailFrame(int index) const {
  RECT icon{};
  icon.left = LVIR_ICON;
  SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&icon));
  const int middle = (icon.left + icon.right) / 2;
  const int top = icon.top + kDrawDrop;
  return RECT{middle - kFrame / 2, top, middle - kFrame / 2 + kFrame, top + kFrame};
}

void QvFileBrowser::DrawThumbnailItem(HDC dc, int index, FileRow& item) {
  const RECT frame = ThumbnailFrame(index);
  const int middle = (frame.left + frame.right) / 2;
  const int top = frame.top;
  {
    const qv::ScopedSelectObject pen(dc, GetStockObject(BLACK_PEN));
    const qv::ScopedSelectObject brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
  }
  const auto drawIcon = [&](HICON handle) {
    DrawIconEx(dc, middle - iconWidth_ / 2, top + (kFrame - iconWidth_) / 2, handle, iconWidth_, iconWidth_, 0, nullptr,
               DI_NORMAL);
  };
  if (item.kind == FileRow::kFolder) {
    if (largeFolderIcon_) drawIcon(largeFolderIcon_);
    return;
  }
  const std::wstring path = rows_.PathOf(item);
  if (!item.iconKeyMade) {
    item.iconKeyMade = true;
    const std::wstring upper = UpperName(item.name);
    const size_t dot = upper.rfind(L'.');
    const std::wstring ext = dot == std::wstring::npos ? std::wstring() : upper.substr(dot);
    if (ext == L".EXE" || ext == L".LNK") item.iconKey = UpperName(path);
    else if (ext.empty()) item.iconKey = L"\\\\\\";
    else item.iconKey = ext;
    item.picture = ext == L".JPG" || ext == L".JPEG" || ext == L".GIF" || ext == L".PNG" || ext == L".BMP";
  }
  if (item.picture && loaderRunning_) {
    Thumb thumb{};
    if (thumbnailCache_.Get(path, &thumb)) {
      // Centred inside the frame's lines, never over them.
      const int inside = kFrame - 2;
      const int w = std::min(thumb.width, inside), h = std::min(thumb.height, inside);
      const int left = middle - kFrame / 2 + 1, inTop = top + 1;
      HDC memory = CreateCompatibleDC(dc);
      {
        const qv::ScopedSelectObject picture(memory, thumb.bitmap);
        BitBlt(dc, left + (inside - w) / 2, inTop + (inside - h) / 2, w, h, memory, (thumb.width - w) / 2,
               (thumb.height - h) / 2, SRCCOPY);
      }
      DeleteDC(memory);
      return;
    }
    loader_.Request(index, path);
  }
  HICON handle = nullptr;
  if (!iconCache_.Get(item.iconKey, &handle)) {
    SHFILEINFO info{};
    if (!SHGetFileInfo(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_LARGEICON) || !info.hIcon) return;
    handle = info.hIcon;
    iconCache_.Put(item.iconKey, handle);
  }
  drawIcon(handle);
}

void QvFileBrowser::TakeThumbnail() {
  ThumbnailEntry e;
  if (loaderRunning_ && loader_.TakeDone(&e)) PlaceThumbnail(e);
}

// A thumbnail goes to the item of its path; one whose path is no longer
// listed (the folder changed while it was decoded) is dropped.
void QvFileBrowser::PlaceThumbnail(ThumbnailEntry& entry) {
  int index = -1;
  const FileRow* byId = ItemAt(entry.itemId);
  if (byId && rows_.PathOf(*byId) == entry.path) {
    index = entry.itemId;
  } else {
    const int count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count && index < 0; ++i) {
      const FileRow* item = ItemAt(i);
      if (item && rows_.PathOf(*item) == entry.path) index = i;
    }
  }
  if (index < 0) {
    FreeThumbnail(entry);
    return;
  }
  if (entry.bitmap) thumbnailCache_.Put(entry.path, {entry.width, entry.height, entry.bitmap});
  else ItemAt(index)->picture = false;
  const RECT frame = ThumbnailFrame(index);
  InvalidateRect(list_, &frame, FALSE);
}
