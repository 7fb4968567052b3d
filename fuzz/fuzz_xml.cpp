// Feed documents through the XML reader glue and the platform's SAX2 reader.
// Any bytes: the first byte picks how they are handed over (as they are, or
// behind a Shift_JIS or EUC-JP declaration, or as wide text). Every text the
// callbacks get is terminated at its length, elements stay balanced and
// never nest beyond the reader's bound, and entity expansion stays small.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_xmlhandler.h"

namespace {

struct State {
  int depth = 0;
  size_t text = 0;
};

State& Of(void* user) { return *static_cast<State*>(user); }

void CheckText(const wchar_t* text, int length) {
  if (length < 0 || text[length] != L'\0') __builtin_trap();
}

int OnCharacters(const wchar_t* text, int, int length, void* user) {
  CheckText(text, length);
  Of(user).text += static_cast<size_t>(length);
  return 0;
}

int OnStart(const wchar_t* uri, int un, const wchar_t* local, int ln, const wchar_t* q, int qn,
            MFD_XmlAttributesCell* attributes, void* user) {
  CheckText(uri, un);
  CheckText(local, ln);
  CheckText(q, qn);
  if (++Of(user).depth > 256) __builtin_trap();
  int count = 0;
  if (MFD_XmlAttributes_GetLength(attributes, &count) != MFD_OK) __builtin_trap();
  for (int i = 0; i < count; ++i) {
    const wchar_t* text = nullptr;
    int length = 0;
    if (MFD_XmlAttributes_GetQName(attributes, i, &text, &length) != MFD_OK || length < 0) __builtin_trap();
    if (MFD_XmlAttributes_GetValue(attributes, i, &text, &length) != MFD_OK || length < 0) __builtin_trap();
    Of(user).text += static_cast<size_t>(length);
  }
  return 0;
}

int OnEnd(const wchar_t* uri, int un, const wchar_t* local, int ln, const wchar_t* q, int qn, void* user) {
  CheckText(uri, un);
  CheckText(local, ln);
  CheckText(q, qn);
  if (--Of(user).depth < 0) __builtin_trap();
  return 0;
}

int OnError(const wchar_t* message, MFD_XmlLocatorCell* cell, void*) {
  int line = 0, column = 0;
  if (message == nullptr || MFD_XmlLocator_GetLine(cell, &line) != MFD_OK ||
      MFD_XmlLocator_GetColumn(cell, &column) != MFD_OK || line < 0 || column < 0)
    __builtin_trap();
  return 0;
}

const MFD_XmlContentTable kContent = {OnCharacters, OnStart, OnEnd, nullptr, nullptr, nullptr, nullptr};
const MFD_XmlErrorTable kErrors = {OnError, OnError, OnError};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string doc;
  switch (data[0] % 4) {
    case 1:
      doc = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
      break;
    case 2:
      doc = "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>";
      break;
    default:
      break;
  }
  doc.append(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<char> bytes(doc.begin(), doc.end());
  if (data[0] % 4 == 3 && bytes.size() % 2 != 0) bytes.pop_back();  // wide text: whole units

  MFD_XmlReader* reader = nullptr;
  if (MFD_XmlReader_Create(&reader) != MFD_OK) __builtin_trap();
  State state;
  MFD_XmlReader_SetUserData(reader, &state);
  MFD_XmlReader_SetContentHandler(reader, &kContent);
  MFD_XmlReader_SetErrorHandler(reader, &kErrors);
  int r = MFD_XmlReader_ParseBytes(reader, bytes.data(), bytes.size());
  if (r != MFD_OK && r != MFD_ERR_PARAM && r != MFD_ERR_ABORTED) __builtin_trap();
  if (r == MFD_OK && state.depth != 0) __builtin_trap();
  // Expansion is bounded by a small factor of the input past a 1 MiB start.
  if (state.text > (size + 64) * 8 + (2u << 20)) __builtin_trap();
  MFD_XmlReader_SetContentHandler(reader, nullptr);
  MFD_XmlReader_SetErrorHandler(reader, nullptr);
  MFD_XmlReader_Free(&reader);
  return 0;
}
