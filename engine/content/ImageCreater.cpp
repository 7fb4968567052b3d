#include "engine/public/content/ImageCreater.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Files.h"

namespace {

constexpr int kOneLineWidth = 48, kOneLineHeight = 36;
constexpr int kThreeLineWidth = 104, kThreeLineHeight = 78;
constexpr long kSaved = 0;        // S_OK
constexpr long kSaveFailed = -1;  // the JPEG could not be made or written

}  // namespace

ImageCreater::ImageCreater() = default;
ImageCreater::~ImageCreater() = default;

bool ImageCreater::ConvertImageTo1Line(wchar_t* source, wchar_t* target) {
  return ConvertImage(source, target, kOneLineWidth, kOneLineHeight);
}

bool ImageCreater::ConvertImageTo3Line(wchar_t* source, wchar_t* target) {
  return ConvertImage(source, target, kThreeLineWidth, kThreeLineHeight);
}

bool ImageCreater::ConvertImage(wchar_t* source, wchar_t* target, int width, int height) {
  if (source == nullptr || GetFileAttributesW(source) == INVALID_FILE_ATTRIBUTES) {
    SetQvMiddleError(QVMDL_ERR_EML_FILE_MISSING);
    return false;
  }
  return ConvertImageData(source, target, width, height);
}

bool ImageCreater::ConvertImageData(wchar_t* source, wchar_t* target, int width, int height) {
  if (target == nullptr || width <= 0 || height <= 0) {
    SetQvMiddleError(QVMDL_ERR_EML_IMAGE_LOAD);
    return false;
  }
  // The picture is untrusted: the platform checks its size from the header
  // before taking pixel memory and decodes large JPEGs at a reduced scale.
  qv::Image image;
  qv::Bitmap resized;
  if (!image.LoadFile(source) || !image.Decode(static_cast<UINT>(width), static_cast<UINT>(height), &resized)) {
    SetQvMiddleError(QVMDL_ERR_EML_IMAGE_LOAD);
    return false;
  }
  MakeResizeBmp(resized);
  long result = SaveBmpToJpegFile(target);
  data_ = BitmapData{};
  if (result != kSaved) {
    SetQvMiddleError(QVMDL_ERR_EML_FILE_IO);
    return false;
  }
  SetQvMiddleError(QVMDL_SUCCESS);
  return true;
}

void ImageCreater::MakeResizeBmp(const qv::Bitmap& resized) {
  data_ = resized.Data();
  data_.PixelFormat = PixelFormat32bppRGB;
}

long ImageCreater::SaveBmpToJpegFile(const wchar_t* target) {
  if (data_.Scan0 == nullptr) return kSaveFailed;
  return qv::SaveJpegFile(data_, target) ? kSaved : kSaveFailed;
}
