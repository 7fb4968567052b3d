// JPEG thumbnails of a fixed size for the one-line (48 x 36) and three-line
// (104 x 78) today screen, through the platform's imaging services.
#pragma once

#include "engine/public/QvMiddleExport.h"
#include "platform/imaging/Imaging.h"

class QVMIDDLE_API ImageCreater {
 public:
  ImageCreater();
  ~ImageCreater();

  bool ConvertImageTo1Line(wchar_t* source, wchar_t* target);
  bool ConvertImageTo3Line(wchar_t* source, wchar_t* target);
  // The picture stretched to exactly width x height (the aspect ratio is not
  // kept) and written as a baseline JPEG.
  bool ConvertImage(wchar_t* source, wchar_t* target, int width, int height);

 private:
  bool ConvertImageData(wchar_t* source, wchar_t* target, int width, int height);
  void MakeResizeBmp(const qv::Bitmap& resized);
  long SaveBmpToJpegFile(const wchar_t* target);

  BitmapData data_{};
};
