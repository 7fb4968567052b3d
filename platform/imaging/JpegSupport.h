// Error handling shared by the JPEG reader and writer: the library's fatal
// errors, and its warnings about damaged data, end the call through longjmp.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "platform/base/WinTypes.h"

namespace qv::imaging {

struct JpegErrorTrap {
  jpeg_error_mgr pub;
  jmp_buf jump;
  DWORD error;  // what the failed call reports through GetLastError
};

// Installs the trap as cinfo->err (call before jpeg_create_*).
jpeg_error_mgr* InstallJpegErrorTrap(JpegErrorTrap* trap);
// Bounds the decoder's memory (progressive pictures keep every coefficient)
// and the number of scans it will read.
void LimitJpegDecoder(jpeg_decompress_struct* cinfo, jpeg_progress_mgr* progress);

}  // namespace qv::imaging
