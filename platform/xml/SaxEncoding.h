// The Japanese encodings the reader knows beyond expat's own: Shift_JIS (read
// as CP932, the device's code page) and EUC-JP, given to expat as table-driven
// multi-byte encodings.
#pragma once

// The system expat is built with DTD support; its guard against entity
// amplification is declared only under this name.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>

namespace qv::xml {

enum class JapaneseEncoding { None, ShiftJis, EucJp };

// The encoding an XML declaration's name stands for (names compared without
// regard to case).
JapaneseEncoding JapaneseEncodingByName(const char* name);

// expat's unknown-encoding handler: fills `info` for the names above, refuses
// any other name (expat then reports the encoding as unknown).
int XMLCALL UnknownEncodingHandler(void* data, const XML_Char* name, XML_Encoding* info);

// One character of each encoding; -1 for a sequence that is not well formed.
// A well-formed sequence without a mapping reads as U+30FB, as the code page
// conversions do.
int ShiftJisChar(const unsigned char* bytes);
int EucJpChar(const unsigned char* bytes);

}  // namespace qv::xml
