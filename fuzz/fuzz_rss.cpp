// Feed documents through the whole feed parser: detection, the version
// handlers and the model. Whatever the bytes, the parse ends, every field it
// fills is a terminated text no longer than the element limit, the error
// queue stays within its bound and every allocation is released.
#include <cstdint>
#include <cstdlib>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_rssparser.h"

namespace {

void Check(const wchar_t* text) {
  if (text != nullptr && MFD_WStr_Length(text) > kMfdMaxElementText) __builtin_trap();
}

void Walk(MFD_RssDocument* doc) {
  if (doc->channels == nullptr) return;
  for (MFD_ListNode* n = doc->channels->first; n != nullptr; n = n->next) {
    MFD_RssChannel* ch = *static_cast<MFD_RssChannel**>(n->data);
#define MFD_FUZZ_CHECK(Name, member) Check(ch->member);
    MFD_RSSCHANNEL_TEXTS(MFD_FUZZ_CHECK)
    if (ch->items == nullptr) continue;
    for (MFD_ListNode* i = ch->items->first; i != nullptr; i = i->next) {
      MFD_RssChannelItem* item = *static_cast<MFD_RssChannelItem**>(i->data);
#undef MFD_FUZZ_CHECK
#define MFD_FUZZ_CHECK(Name, member) Check(item->member);
      MFD_RSSCHANNELITEM_TEXTS(MFD_FUZZ_CHECK)
#undef MFD_FUZZ_CHECK
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  long before = MFD_MallocCount() - MFD_FreeCount();
  MFD_RssDocument* doc = nullptr;
  if (MFD_RssDocument_Create(&doc) != MFD_OK) __builtin_trap();
  MFD_RssDocument_ParseBytes(doc, data, size);
  Walk(doc);
  int errors = 0;
  MFD_RssError* e = nullptr;
  while (MFD_RssDocument_PopError(doc, &e) == MFD_OK) {
    ++errors;
    MFD_RssError_Free(&e);
  }
  if (errors > kMfdMaxReports) __builtin_trap();
  MFD_RssDocument_Free(&doc);
  MFD_RssChannel_FreeTemplate();
  if (MFD_MallocCount() - MFD_FreeCount() != before) __builtin_trap();
  return 0;
}
