// Feed items as the feed client turns them into messages: every text of every
// item is percent-decoded and cleaned as the client does, put where the client
// puts it, and the message built. Whatever the document holds, the header of
// the message has no line break but its own CR LF pairs and no line that an
// item's text began.
#include <cstdint>
#include <string>

#include "engine/public/content/EmlCompose.h"
#include "engine/content/MimeSupport.h"
#include "engine/feeds/src/RssText.h"
#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_rssparser.h"

namespace {

std::wstring Text(const wchar_t* parsed) {
  if (parsed == nullptr) return {};
  return feeds::HeaderSafe(feeds::PercentDecoded(content::WidenSjis(content::NarrowSjis(parsed))));
}

void Check(const std::string& raw) {
  const size_t end = raw.find("\r\n\r\n");
  const std::string head = raw.substr(0, end == std::string::npos ? raw.size() : end + 2);
  for (size_t at = 0; (at = head.find_first_of("\r\n", at)) != std::string::npos; at += 2)
    if (head.compare(at, 2, "\r\n") != 0) __builtin_trap();
  if (head.find("\r\nX-Injected") != std::string::npos) __builtin_trap();
}

void Build(MFD_RssChannel* ch, MFD_RssChannelItem* item) {
  Email mail;
  mail.fromName = Text(ch->title);
  mail.references = Text(ch->link);
  mail.messageId = Text(ch->description);
  mail.subject = Text(item->title);
  mail.replyTo = Text(item->link);
  mail.dateText = Text(item->pubDate);
  mail.mailingList = Text(item->category);
  mail.feedDownload = Text(item->cinst);
  mail.body = content::WidenSjis(content::NarrowSjis(item->description != nullptr ? item->description : L""));
  Enclosure contents, picture;
  contents.fileName = Text(item->enclosureUrl);
  if (item->image != nullptr) picture.folder = Text(item->image->url);
  mail.attachments = {contents, picture};
  std::string raw;
  if (EmlCompose().RssEncode(&mail, &raw)) Check(raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MFD_RssDocument* doc = nullptr;
  if (MFD_RssDocument_Create(&doc) != MFD_OK) return 0;
  MFD_RssDocument_ParseBytes(doc, data, size);
  if (doc->channels != nullptr) {
    for (MFD_ListNode* n = doc->channels->first; n != nullptr; n = n->next) {
      MFD_RssChannel* ch = *static_cast<MFD_RssChannel**>(n->data);
      if (ch->items == nullptr) continue;
      for (MFD_ListNode* i = ch->items->first; i != nullptr; i = i->next)
        Build(ch, *static_cast<MFD_RssChannelItem**>(i->data));
    }
  }
  MFD_RssDocument_Free(&doc);
  MFD_RssChannel_FreeTemplate();
  return 0;
}
