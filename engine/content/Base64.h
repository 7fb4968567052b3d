// The plain base64 codec of short protocol tokens (AUTH LOGIN, CRAM-MD5):
// entries over the one base64 step of TransferCodec.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/content/TransferCodec.h"

namespace content {

// ceil(length / 3) x 4 characters with "=" padding, no line breaks.
void Base64Encode(std::string& out, const uint8_t* in, size_t length);
std::string Base64Encode(std::string_view in);
// Decodes whole groups of four, stopping silently at the first bad character
// or at a NUL; a negative length means 500. Appends to `out`; returns the
// number of bytes written.
int Base64DecodeGroup(std::string& out, const char* in, int length);

// State of the streaming decoder: pending characters of an open group, and
// `finished` once a padded group ended the data.
using Base64StreamState = Base64DecodeState;
// Feeds text (up to its NUL or end) into the state and appends the bytes to
// `out`. Returns the bytes written, or -1 on an invalid character or a group
// whose first or second character is "=" (the state is then reset).
int Base64DecodeStream(Base64StreamState& state, std::string_view text, std::string& out);

}  // namespace content
