#include <png.h>

#include <cstring>
#include <vector>

#include "platform/imaging/ImageCodecs.h"

namespace qv::imaging {

namespace {

// Ancillary chunks (text, ICC profiles) beyond this are refused by libpng
// instead of being held in memory.
constexpr png_alloc_size_t kPngChunkLimit = 8u * 1024 * 1024;
constexpr png_uint_32 kPngChunkCount = 256;

struct PngReadJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const BYTE* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  std::vector<png_bytep> rows;
};

void ReadBytes(png_structp png, png_bytep out, size_t count) {
  auto* job = static_cast<PngReadJob*>(png_get_io_ptr(png));
  if (count > job->size - job->pos) png_error(png, "truncated");
  std::memcpy(out, job->data + job->pos, count);
  job->pos += count;
}

// libpng's default handlers print; failures are reported through the result.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

bool RunPng(PngReadJob* job, bool decode, ImageInfo* info, Bitmap* out) {
  job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, OnError, OnWarning);
  if (job->png == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  job->info = png_create_info_struct(job->png);
  if (job->info == nullptr) {
    png_destroy_read_struct(&job->png, nullptr, nullptr);
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (setjmp(png_jmpbuf(job->png))) {
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    if (out) out->Clear();
    return Fail(ERROR_INVALID_DATA);
  }
  png_set_read_fn(job->png, job, ReadBytes);
  png_set_chunk_malloc_max(job->png, kPngChunkLimit);
  png_set_chunk_cache_max(job->png, kPngChunkCount);
  png_read_info(job->png, job->info);
  png_uint_32 width = png_get_image_width(job->png, job->info);
  png_uint_32 height = png_get_image_height(job->png, job->info);
  if (info) {
    info->width = width;
    info->height = height;
    info->format = ImageFormat::Png;
  }
  if (!decode) {
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    return true;
  }
  if (!out->Create(width, height)) {
    DWORD error = GetLastError();
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    return Fail(error);
  }

  // Every colour type becomes 8-bit B, G, R, A.
  png_set_expand(job->png);  // palette, low-bit grey and tRNS
  png_set_strip_16(job->png);
  png_set_gray_to_rgb(job->png);
  png_set_bgr(job->png);
  png_set_add_alpha(job->png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  if (png_get_rowbytes(job->png, job->info) != out->Stride()) png_error(job->png, "unexpected layout");

  job->rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) job->rows[y] = out->Row(y);
  png_read_image(job->png, job->rows.data());
  // All rows are in; what follows the image data is not needed.
  png_destroy_read_struct(&job->png, &job->info, nullptr);
  return true;
}

}  // namespace

bool ReadPngInfo(const BYTE* data, size_t size, ImageInfo* info) {
  PngReadJob job;
  job.data = data;
  job.size = size;
  return RunPng(&job, false, info, nullptr);
}

bool DecodePng(const BYTE* data, size_t size, Bitmap* out) {
  PngReadJob job;
  job.data = data;
  job.size = size;
  return RunPng(&job, true, nullptr, out);
}

}  // namespace qv::imaging
