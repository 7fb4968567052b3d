#include <cstring>
#include <new>
#include <utility>

#include "platform/imaging/ImageCodecs.h"
#include "platform/kernel/Files.h"

namespace qv {

namespace {

using imaging::Fail;

// Reads up to `limit` bytes of a device file. *whole tells whether that was
// all of it; with refuseLarger a longer file is an error instead.
bool ReadDeviceFile(LPCWSTR path, size_t limit, bool refuseLarger, std::vector<BYTE>* bytes, bool* whole) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    DWORD error = GetLastError();
    CloseHandle(file);
    return Fail(error);
  }
  ULONGLONG size = static_cast<ULONGLONG>(high) << 32 | low;
  if (refuseLarger && size > limit) {
    CloseHandle(file);
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  size_t want = static_cast<size_t>(size < limit ? size : limit);
  try {
    bytes->assign(want, 0);
  } catch (const std::bad_alloc&) {
    CloseHandle(file);
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  size_t got = 0;
  while (got < want) {
    DWORD n = 0;
    if (!ReadFile(file, bytes->data() + got, static_cast<DWORD>(want - got), &n, nullptr)) {
      DWORD error = GetLastError();
      CloseHandle(file);
      return Fail(error);
    }
    if (n == 0) break;  // shrank while reading
    got += n;
  }
  CloseHandle(file);
  bytes->resize(got);
  *whole = got == size;
  return true;
}

bool ReadInfo(const BYTE* data, size_t size, ImageInfo* info) {
  switch (imaging::SniffFormat(data, size)) {
    case ImageFormat::Jpeg: return imaging::ReadJpegInfo(data, size, info);
    case ImageFormat::Png: return imaging::ReadPngInfo(data, size, info);
    case ImageFormat::Gif: return imaging::ReadGifInfo(data, size, info);
    case ImageFormat::Bmp: return imaging::ReadBmpInfo(data, size, info);
    case ImageFormat::Unknown: break;
  }
  return Fail(size == 0 ? ERROR_INVALID_DATA : ERROR_NOT_SUPPORTED);
}

}  // namespace

namespace imaging {

ImageFormat SniffFormat(const BYTE* data, size_t size) {
  static const BYTE kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageFormat::Jpeg;
  if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return ImageFormat::Png;
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
    return ImageFormat::Gif;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageFormat::Bmp;
  return ImageFormat::Unknown;
}

}  // namespace imaging

bool Image::LoadFile(LPCWSTR devicePath) {
  bytes_.clear();
  info_ = ImageInfo{};
  std::vector<BYTE> bytes;
  bool whole = false;
  if (!ReadDeviceFile(devicePath, kMaxImageFileBytes, true, &bytes, &whole)) return false;
  ImageInfo info;
  if (!ReadInfo(bytes.data(), bytes.size(), &info)) return false;
  bytes_ = std::move(bytes);
  info_ = info;
  return true;
}

bool Image::LoadMemory(const void* data, size_t size) {
  bytes_.clear();
  info_ = ImageInfo{};
  if (data == nullptr && size != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (size > kMaxImageFileBytes) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  ImageInfo info;
  if (!ReadInfo(static_cast<const BYTE*>(data), size, &info)) return false;
  try {
    bytes_.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  info_ = info;
  return true;
}

bool Image::Decode(Bitmap* out) const {
  if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  out->Clear();
  const BYTE* data = bytes_.data();
  size_t size = bytes_.size();
  switch (info_.format) {
    case ImageFormat::Jpeg: return imaging::DecodeJpeg(data, size, 0, 0, out);
    case ImageFormat::Png: return imaging::DecodePng(data, size, out);
    case ImageFormat::Gif: return imaging::DecodeGif(data, size, out);
    case ImageFormat::Bmp: return imaging::DecodeBmp(data, size, out);
    case ImageFormat::Unknown: break;
  }
  return Fail(ERROR_INVALID_PARAMETER);  // nothing loaded
}

bool Image::Decode(UINT width, UINT height, Bitmap* out) const {
  if (out == nullptr || width == 0 || height == 0) return Fail(ERROR_INVALID_PARAMETER);
  out->Clear();
  if (!imaging::CheckSize(width, height)) return false;
  Bitmap full;
  bool decoded = info_.format == ImageFormat::Jpeg
                     ? imaging::DecodeJpeg(bytes_.data(), bytes_.size(), width, height, &full)
                     : Decode(&full);
  if (!decoded) return false;
  if (full.Width() == width && full.Height() == height) {
    *out = std::move(full);
    return true;
  }
  return ResizeBitmap(full.Data(), width, height, out);
}

bool GetImageInfo(const void* data, size_t size, ImageInfo* info) {
  if (info == nullptr || (data == nullptr && size != 0)) return Fail(ERROR_INVALID_PARAMETER);
  *info = ImageInfo{};
  return ReadInfo(static_cast<const BYTE*>(data), size, info);
}

bool GetImageInfo(LPCWSTR devicePath, ImageInfo* info) {
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *info = ImageInfo{};
  // The header is near the start; only large metadata ahead of it needs more.
  constexpr size_t kHead = 256 * 1024;
  std::vector<BYTE> bytes;
  bool whole = false;
  if (!ReadDeviceFile(devicePath, kHead, false, &bytes, &whole)) return false;
  if (ReadInfo(bytes.data(), bytes.size(), info)) return true;
  if (whole) return false;
  if (!ReadDeviceFile(devicePath, kMaxImageFileBytes, true, &bytes, &whole)) return false;
  return ReadInfo(bytes.data(), bytes.size(), info);
}

}  // namespace qv
