// Numbers in the store's binary files (message files, the header file, the
// entry table) and the UTF-16 units of profile files are little-endian on
// every host; they are read and written a byte at a time so that neither the
// host's byte order nor alignment matters.
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"

struct QvLittleEndian {
  static uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
  static uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
  }
  static void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }

  // A SYSTEMTIME is stored as its eight words in field order: 16 bytes.
  static SYSTEMTIME GetTime(const uint8_t* p) {
    WORD w[8];
    for (int i = 0; i < 8; ++i) w[i] = Get16(p + 2 * i);
    return SYSTEMTIME{w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]};
  }
  static void PutTime(uint8_t* p, const SYSTEMTIME& t) {
    const WORD w[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    for (int i = 0; i < 8; ++i) Put16(p + 2 * i, w[i]);
  }
};
