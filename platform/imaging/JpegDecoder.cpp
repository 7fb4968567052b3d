#include <cstring>
#include <vector>

#include "platform/imaging/ImageCodecs.h"
#include "platform/imaging/JpegSupport.h"

namespace qv::imaging {

namespace {

// Everything the decoder touches after setjmp lives here, reached through a
// pointer, so nothing is left indeterminate by a longjmp.
struct JpegReadJob {
  jpeg_decompress_struct cinfo;
  JpegErrorTrap trap;
  jpeg_progress_mgr progress;
  std::vector<BYTE> cmykRow;
};

bool IsCmyk(const jpeg_decompress_struct& cinfo) {
  return cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
}

// CMYK as written by most programs (inverted, with an Adobe marker) or plain.
void CmykToBgra(const BYTE* cmyk, UINT width, bool inverted, BYTE* out) {
  for (UINT x = 0; x < width; ++x, cmyk += 4, out += 4) {
    UINT c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    out[0] = static_cast<BYTE>(y * k / 255);
    out[1] = static_cast<BYTE>(m * k / 255);
    out[2] = static_cast<BYTE>(c * k / 255);
    out[3] = 255;
  }
}

// Reads the header into *info, and with `decode` the pixels into *out.
bool RunJpeg(JpegReadJob* job, const BYTE* data, size_t size, UINT minWidth, UINT minHeight, bool decode,
             ImageInfo* info, Bitmap* out) {
  jpeg_decompress_struct* cinfo = &job->cinfo;
  cinfo->err = InstallJpegErrorTrap(&job->trap);
  if (setjmp(job->trap.jump)) {
    jpeg_destroy_decompress(cinfo);
    if (out) out->Clear();
    return Fail(job->trap.error);
  }
  jpeg_create_decompress(cinfo);
  LimitJpegDecoder(cinfo, &job->progress);
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  if (info) {
    info->width = cinfo->image_width;
    info->height = cinfo->image_height;
    info->format = ImageFormat::Jpeg;
  }
  if (!decode) {
    jpeg_destroy_decompress(cinfo);
    return true;
  }

  bool cmyk = IsCmyk(*cinfo);
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  // The smallest scale that still covers the size asked for.
  for (unsigned num = 1; num <= 8; ++num) {
    cinfo->scale_num = num;
    cinfo->scale_denom = 8;
    jpeg_calc_output_dimensions(cinfo);
    if (cinfo->output_width >= minWidth && cinfo->output_height >= minHeight) break;
  }
  if (!CheckSize(cinfo->output_width, cinfo->output_height) ||
      !out->Allocate(cinfo->output_width, cinfo->output_height)) {  // every row is written below
    DWORD error = GetLastError();
    jpeg_destroy_decompress(cinfo);
    return Fail(error);
  }
  if (cmyk) job->cmykRow.resize(static_cast<size_t>(cinfo->output_width) * 4);

  jpeg_start_decompress(cinfo);
  while (cinfo->output_scanline < cinfo->output_height) {
    BYTE* row = out->Row(cinfo->output_scanline);
    JSAMPROW target = cmyk ? job->cmykRow.data() : row;
    if (jpeg_read_scanlines(cinfo, &target, 1) != 1) {
      // Suspension cannot happen with a memory source; treat it as damage.
      jpeg_destroy_decompress(cinfo);
      out->Clear();
      return Fail(ERROR_INVALID_DATA);
    }
    if (cmyk) CmykToBgra(job->cmykRow.data(), cinfo->output_width, cinfo->saw_Adobe_marker, row);
  }
  // Every line is in; a missing end marker after them does not matter.
  jpeg_abort_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

}  // namespace

bool ReadJpegInfo(const BYTE* data, size_t size, ImageInfo* info) {
  JpegReadJob job{};
  return RunJpeg(&job, data, size, 0, 0, false, info, nullptr);
}

bool DecodeJpeg(const BYTE* data, size_t size, UINT minWidth, UINT minHeight, Bitmap* out) {
  JpegReadJob job{};
  if (minWidth == 0 && minHeight == 0) minWidth = minHeight = ~0u;  // full size: scale 8/8
  return RunJpeg(&job, data, size, minWidth, minHeight, true, nullptr, out);
}

}  // namespace qv::imaging
