#include <new>
#include <string>
#include <vector>

#include "platform/imaging/ImageCodecs.h"
#include "platform/imaging/JpegSupport.h"
#include "platform/kernel/Files.h"

#include <jerror.h>

namespace qv {

namespace {

using imaging::Fail;

// The library's own memory destination keeps buffers of its own that a
// failure in the middle would leave behind; this one writes into a vector.
struct VectorDestination {
  jpeg_destination_mgr pub;
  std::vector<BYTE>* out;
};

constexpr size_t kOutputChunk = 64 * 1024;

// Adds a chunk to the output and hands it to the library (the output so far
// is all used: the library asks only when its buffer is full).
void Grow(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  size_t used = dest->out->size();
  bool grown = true;
  try {
    dest->out->resize(used + kOutputChunk);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  dest->pub.next_output_byte = dest->out->data() + used;
  dest->pub.free_in_buffer = kOutputChunk;
}

void InitDestination(j_compress_ptr cinfo) {
  reinterpret_cast<VectorDestination*>(cinfo->dest)->out->clear();
  Grow(cinfo);
}

boolean EmptyOutput(j_compress_ptr cinfo) {
  Grow(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

struct JpegWriteJob {
  jpeg_compress_struct cinfo;
  imaging::JpegErrorTrap trap;
  VectorDestination dest;
  std::vector<BYTE> rgbRow;
};

// RGB of one row; pixels with alpha are blended over white, the way the
// picture would look drawn on a white page.
void RowToRgb(const BitmapData& source, UINT y, BYTE* rgb) {
  const BYTE* p = imaging::DataRow(source, y);
  bool alpha = imaging::DataHasAlpha(source);
  for (UINT x = 0; x < source.Width; ++x, p += 4, rgb += 3) {
    UINT a = alpha ? p[3] : 255;
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<BYTE>((p[2 - c] * a + 255 * (255 - a) + 127) / 255);
  }
}

bool RunEncode(JpegWriteJob* job, const BitmapData& source, int quality) {
  jpeg_compress_struct* cinfo = &job->cinfo;
  cinfo->err = imaging::InstallJpegErrorTrap(&job->trap);
  if (setjmp(job->trap.jump)) {
    jpeg_destroy_compress(cinfo);
    return Fail(job->trap.error);
  }
  jpeg_create_compress(cinfo);
  job->dest.pub.init_destination = InitDestination;
  job->dest.pub.empty_output_buffer = EmptyOutput;
  job->dest.pub.term_destination = TermDestination;
  cinfo->dest = &job->dest.pub;
  cinfo->image_width = source.Width;
  cinfo->image_height = source.Height;
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    RowToRgb(source, cinfo->next_scanline, job->rgbRow.data());
    JSAMPROW row = job->rgbRow.data();
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

}  // namespace

bool EncodeJpeg(const BitmapData& source, int quality, std::vector<BYTE>* out) {
  if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  out->clear();
  if (quality < 1 || quality > 100) return Fail(ERROR_INVALID_PARAMETER);
  if (!imaging::CheckData(source)) return false;
  JpegWriteJob job{};
  job.dest.out = out;
  try {
    job.rgbRow.resize(static_cast<size_t>(source.Width) * 3);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (RunEncode(&job, source, quality)) return true;
  out->clear();
  return false;
}

bool SaveJpegFile(const BitmapData& source, LPCWSTR devicePath, int quality) {
  if (devicePath == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::vector<BYTE> bytes;
  if (!EncodeJpeg(source, quality, &bytes)) return false;
  // Written beside the target and put in its place in one step, so a failed
  // save leaves an existing picture as it was.
  const std::wstring temp = std::wstring(devicePath) + L".jpgtmp";
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  DWORD error = NO_ERROR;
  while (done < bytes.size()) {
    DWORD n = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr) || n == 0) {
      error = GetLastError();
      if (error == NO_ERROR) error = ERROR_WRITE_FAULT;
      break;
    }
    done += n;
  }
  if (!CloseHandle(file) && error == NO_ERROR) error = GetLastError();
  if (error == NO_ERROR && !DeleteAndRenameFile(devicePath, temp.c_str())) error = GetLastError();
  if (error != NO_ERROR) {
    DeleteFileW(temp.c_str());
    return Fail(error);
  }
  return true;
}

}  // namespace qv
