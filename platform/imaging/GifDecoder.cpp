#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/imaging/ImageCodecs.h"

namespace qv::imaging {

namespace {

struct GifSource {
  const BYTE* data;
  size_t size;
  size_t pos;
};

int ReadBytes(GifFileType* gif, GifByteType* out, int count) {
  auto* src = static_cast<GifSource*>(gif->UserData);
  size_t take = std::min(static_cast<size_t>(count < 0 ? 0 : count), src->size - src->pos);
  std::memcpy(out, src->data + src->pos, take);
  src->pos += take;
  return static_cast<int>(take);
}

struct GifCloser {
  GifFileType* gif;
  ~GifCloser() {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// Rows of an interlaced frame arrive in four passes.
std::vector<UINT> RowOrder(UINT height, bool interlaced) {
  std::vector<UINT> order;
  order.reserve(height);
  if (!interlaced) {
    for (UINT y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static const UINT kStart[4] = {0, 4, 2, 1};
  static const UINT kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (UINT y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  return order;
}

// Draws the frame just described onto the canvas (the logical screen);
// parts outside it are clipped, transparent pixels stay transparent.
bool DrawFrame(GifFileType* gif, int transparent, Bitmap* canvas) {
  const GifImageDesc& desc = gif->Image;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (map == nullptr || map->Colors == nullptr || desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 ||
      desc.Top < 0)
    return Fail(ERROR_INVALID_DATA);
  if (static_cast<UINT>(desc.Width) > kMaxImageSide || static_cast<UINT>(desc.Height) > kMaxImageSide)
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
  for (UINT row : RowOrder(static_cast<UINT>(desc.Height), desc.Interlace)) {
    if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return Fail(ERROR_INVALID_DATA);
    UINT y = static_cast<UINT>(desc.Top) + row;
    if (y >= canvas->Height()) continue;
    BYTE* out = canvas->Row(y);
    for (int i = 0; i < desc.Width; ++i) {
      UINT x = static_cast<UINT>(desc.Left) + static_cast<UINT>(i);
      if (x >= canvas->Width()) break;
      int index = line[static_cast<size_t>(i)];
      if (index == transparent) continue;
      BYTE* p = out + static_cast<size_t>(x) * 4;
      if (index < map->ColorCount) {
        const GifColorType& c = map->Colors[index];
        p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red;
      } else {
        p[0] = p[1] = p[2] = 0;  // index beyond the map: black
      }
      p[3] = 255;
    }
  }
  return true;
}

// The first frame only: later frames of an animation are not shown.
bool RunGif(const BYTE* data, size_t size, ImageInfo* info, Bitmap* out) {
  GifSource src{data, size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&src, ReadBytes, &error);
  if (gif == nullptr) return Fail(error == D_GIF_ERR_NOT_ENOUGH_MEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_DATA);
  GifCloser closer{gif};
  if (gif->SWidth <= 0 || gif->SHeight <= 0) return Fail(ERROR_INVALID_DATA);
  if (info) {
    info->width = static_cast<UINT>(gif->SWidth);
    info->height = static_cast<UINT>(gif->SHeight);
    info->format = ImageFormat::Gif;
  }
  if (out == nullptr) return true;
  if (!out->Create(static_cast<UINT>(gif->SWidth), static_cast<UINT>(gif->SHeight))) return false;

  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) break;
      // Graphic control: flags, delay (2 bytes), transparent index.
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4)
        transparent = (block[1] & 0x01) ? block[4] : -1;
      bool ok = true;
      while (ok && block != nullptr) ok = DGifGetExtensionNext(gif, &block) != GIF_ERROR;
      if (!ok) break;
    } else if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) == GIF_ERROR) break;
      if (!DrawFrame(gif, transparent, out)) {
        out->Clear();
        return false;
      }
      return true;
    } else {
      break;  // the end, or a record giflib does not know, before any picture
    }
  }
  out->Clear();
  return Fail(ERROR_INVALID_DATA);
}

}  // namespace

bool ReadGifInfo(const BYTE* data, size_t size, ImageInfo* info) { return RunGif(data, size, info, nullptr); }

bool DecodeGif(const BYTE* data, size_t size, Bitmap* out) { return RunGif(data, size, nullptr, out); }

}  // namespace qv::imaging
