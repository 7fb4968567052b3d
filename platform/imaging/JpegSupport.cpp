#include "platform/imaging/JpegSupport.h"

#include <jerror.h>

#include "platform/imaging/Imaging.h"

namespace qv::imaging {

namespace {

// Progressive coefficient buffers beyond this fail instead of growing.
constexpr long kJpegMemoryLimit = 128L * 1024 * 1024;
// A damaged or hostile progressive file can repeat scans without end, each
// one a pass over the whole picture.
constexpr int kJpegMaxScans = 500;

[[noreturn]] void Escape(j_common_ptr cinfo, DWORD error) {
  auto* trap = reinterpret_cast<JpegErrorTrap*>(cinfo->err);
  trap->error = error;
  std::longjmp(trap->jump, 1);
}

void OnError(j_common_ptr cinfo) {
  int code = cinfo->err->msg_code;
  bool memory = code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE;
  Escape(cinfo, memory ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_DATA);
}

// Level -1 is a warning. Those about missing or damaged data would otherwise
// yield a grey-filled picture reported as decoded.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
      Escape(cinfo, ERROR_INVALID_DATA);
    default:
      break;
  }
}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kJpegMaxScans)
    Escape(cinfo, ERROR_INVALID_DATA);
}

}  // namespace

jpeg_error_mgr* InstallJpegErrorTrap(JpegErrorTrap* trap) {
  jpeg_error_mgr* mgr = jpeg_std_error(&trap->pub);
  mgr->error_exit = OnError;
  mgr->emit_message = OnMessage;
  trap->error = ERROR_INVALID_DATA;
  return mgr;
}

void LimitJpegDecoder(jpeg_decompress_struct* cinfo, jpeg_progress_mgr* progress) {
  cinfo->mem->max_memory_to_use = kJpegMemoryLimit;
  progress->progress_monitor = OnProgress;
  cinfo->progress = progress;
}

}  // namespace qv::imaging
