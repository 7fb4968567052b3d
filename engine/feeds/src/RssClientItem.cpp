// One feed item as one raw message: its texts from the parsed document, its
// picture and contents downloaded when the session allows, thumbnails, the
// UID, and the message itself; and the rebuilding of a stored item kept in part.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/content/ImageCreater.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/feeds/RssClient.h"
#include "engine/feeds/src/RssClientCodes.h"
#include "engine/feeds/src/RssText.h"
#include "engine/feeds/src/mfd_rssdocument.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/inet/WinInet.h"
#include "platform/kernel/Debug.h"

namespace {

using namespace feeds;

constexpr size_t kPictureMemory = 0x300000;
constexpr size_t kShortestUrl = 11;
constexpr wchar_t kNoBody[] = L"本文はありません";


// A read that fails for another reason than an absent field.
bool Failed(int rc) { return rc != MFD_OK && rc != MFD_ERR_ABSENT; }

struct PictureNames {
  const wchar_t* full;
  const wchar_t* small;
  const wchar_t* large;
};

PictureNames PicturesOf(int kind) {
  if (kind == ExpandInfo::kWeather) return {L"weather.gif", L"weather_small.jpg", L"weather_large.jpg"};
  return {L"image.jpg", L"image_small.jpg", L"image_large.jpg"};
}

constexpr wchar_t kContentsFile[] = L"contents.eml";

}  // namespace

std::wstring RssClient::convertParserResultStr(const wchar_t* value) {
  if (value == nullptr || *value == L'\0') return {};
  return content::WidenSjis(content::NarrowSjis(value));
}

std::wstring RssClient::convertParserResultUrlStr(const wchar_t* value) {
  const std::wstring plain = convertParserResultStr(value);
  if (plain.empty()) return {};
  // Decoding only shrinks the text.
  std::vector<wchar_t> out(plain.size() + 1);
  DWORD length = static_cast<DWORD>(out.size());
  bool done = InternetCanonicalizeUrlW(plain.c_str(), out.data(), &length, ICU_DECODE | ICU_NO_ENCODE);
  if (!done && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    out.resize(length + 1);
    length = static_cast<DWORD>(out.size());
    done = InternetCanonicalizeUrlW(plain.c_str(), out.data(), &length, ICU_DECODE | ICU_NO_ENCODE);
  }
  if (!done) {
    const DWORD error = GetLastError();
    // Titles and descriptions are no URLs: their escapes are decoded all the same.
    if (error == 12005) return PercentDecoded(plain);
    NKDbgPrintfW(L"**RssClient InternetCanonicalizeUrl() Error:[%x]\r\n", error);
    switch (error) {
      case 87: NKDbgPrintfW(L" -- Error Code is ERROR_INVALID_PARAMETER\r\n"); break;
      case 122: NKDbgPrintfW(L" -- Error Code is ERROR_INSUFFICIENT_BUFFER\r\n"); break;
      case 161: NKDbgPrintfW(L" -- Error Code is ERROR_BAD_PATHNAME\r\n"); break;
      case 12005: NKDbgPrintfW(L" -- Error Code is ERROR_INTERNET_INVALID_URL\r\n"); break;
      default: NKDbgPrintfW(L" -- Error Code is Another Error\r\n"); break;
    }
    return {};
  }
  return std::wstring(out.data(), std::min<size_t>(length, out.size() - 1));
}

int RssClient::getItemNormalData(MFD_RssChannelItem* item, RssItemData* out) {
  const wchar_t* value = nullptr;
  if (Failed(MFD_RssChannelItem_GetLink(item, &value))) return kErrField;
  out->link = HeaderSafe(convertParserResultUrlStr(value));

  value = nullptr;
  MFD_RssChannelItem_GetDescription(item, &value);
  std::wstring description = convertParserResultUrlStr(value);
  for (size_t at = 0; (at = description.find(L"\\r\\n", at)) != std::wstring::npos; at += 4)
    description.replace(at, 4, L"<br>");
  std::erase(description, L'\0');
  out->description = description.empty() ? kNoBody : description;

  value = nullptr;
  MFD_RssChannelItem_GetTitle(item, &value);
  out->title = HeaderSafe(convertParserResultUrlStr(value));

  // RSS 1.0 carries the date and the subject in Dublin Core.
  MFD_RssDublinCore* dc = nullptr;
  MFD_RssChannelItem_GetDublinCore(item, &dc);
  value = nullptr;
  MFD_RssChannelItem_GetPubDate(item, &value);
  if ((value == nullptr || *value == L'\0') && dc != nullptr) MFD_RssDublinCore_GetDate(dc, &value);
  out->pubDate = HeaderSafe(convertParserResultUrlStr(value));

  value = nullptr;
  if (Failed(MFD_RssChannelItem_GetCategory(item, &value))) return kErrField;
  if ((value == nullptr || *value == L'\0') && dc != nullptr) MFD_RssDublinCore_GetSubject(dc, &value);
  out->category = HeaderSafe(convertParserResultUrlStr(value));
  return 0;
}

int RssClient::getItemExpandData(MFD_RssChannelItem* item, RssItemData* out) {
  MFD_RssChannelImage* image = nullptr;
  if (MFD_RssChannelItem_GetImage(item, &image) == MFD_OK && image != nullptr) {
    struct {
      int (*read)(MFD_RssChannelImage*, const wchar_t**);
      std::wstring* to;
    } const fields[] = {
        {MFD_RssChannelImage_GetTitle, &out->imageTitle},   {MFD_RssChannelImage_GetLink, &out->imageLink},
        {MFD_RssChannelImage_GetDescription, &out->imageDescription}, {MFD_RssChannelImage_GetUrl, &out->imageUrl},
        {MFD_RssChannelImage_GetWidth, &out->imageWidth},   {MFD_RssChannelImage_GetHeight, &out->imageHeight},
    };
    for (const auto& f : fields) {
      const wchar_t* value = nullptr;
      if (Failed(f.read(image, &value))) return kErrField;
      *f.to = HeaderSafe(convertParserResultUrlStr(value));
    }
  }
  struct {
    int (*read)(MFD_RssChannelItem*, const wchar_t**);
    std::wstring* to;
  } const fields[] = {
      {MFD_RssChannelItem_GetEnclosureUrl, &out->enclosureUrl},
      {MFD_RssChannelItem_GetEnclosureLength, &out->enclosureLength},
      {MFD_RssChannelItem_GetEnclosureType, &out->enclosureType},
  };
  for (const auto& f : fields) {
    const wchar_t* value = nullptr;
    if (Failed(f.read(item, &value))) return kErrField;
    *f.to = HeaderSafe(convertParserResultUrlStr(value));
  }
  if (!out->enclosureUrl.empty()) {
    const wchar_t* value = nullptr;
    if (Failed(MFD_RssChannelItem_GetCinst(item, &value))) return kErrField;
    out->cinst = HeaderSafe(convertParserResultUrlStr(value));
  }
  return 0;
}

int RssClient::getItemData(MFD_RssChannelItem* item, RssItemData* out) {
  const int code = getItemNormalData(item, out);
  return code != 0 ? code : getItemExpandData(item, out);
}

void RssClient::checkExpandInfo(const RssItemData& item, ExpandInfo* expand) {
  if (item.imageUrl.size() >= kShortestUrl) {
    expand->imageUrl = item.imageUrl;
    expand->imageState = ExpandInfo::kWanted;
  }
  if (item.enclosureUrl.size() >= kShortestUrl) {
    expand->contentsUrl = item.enclosureUrl;
    expand->contentsState = ExpandInfo::kWanted;
  }
  expand->kind = item.category == L"weather"   ? ExpandInfo::kWeather
                 : item.category == L"tellaro" ? ExpandInfo::kCarrier
                                               : ExpandInfo::kNormal;
}

int RssClient::parseItemData(MFD_RssChannelItem* item, int number) {
  NKDbgPrintfW(L"**RssClient::parseItemData() %d\r\n", number);
  RssItemData item_{};
  int code = getItemData(item, &item_);
  if (code != 0) return code;
  ExpandInfo expand;
  checkExpandInfo(item_, &expand);
  const bool wanted = expand.imageState == ExpandInfo::kWanted || expand.contentsState == ExpandInfo::kWanted;
  if (wanted && connected) {
    sendNotify(MSG_RssFetchingParts);
    code = recvExpandInfoData(&expand);
    if (code != 0) return code;
  }
  if (expand.contentsState == ExpandInfo::kDownloaded) {
    code = setContentsToMessage(item_.link, item_.cinst);
    if (code != 0) return code;
  } else {
    Email mail;
    setRssToEmail(item_, &mail, expand);
    if (!compose->RssEncode(&mail, &raw)) return kErrBuild;
  }
  uid = getNewUidl();
  sendNotify(wanted && !connected ? MSG_RssNewPartMessage : MSG_RssNewMessage);
  lastUid = uid;
  return 0;
}

int RssClient::recvExpandInfoData(ExpandInfo* expand) {
  if (expand->contentsState == ExpandInfo::kWanted) {
    text.clear();
    const int code = recvHttp(expand->contentsUrl, tmpFile(kContentsFile), false);
    if (feeds::EndsSession(code)) return code;
    expand->contentsState = ExpandInfo::kNone;
    std::string subject;
    if (code == 0 && compose->GetHeaderField(text, "subject", &subject))
      expand->contentsState = ExpandInfo::kDownloaded;
  }
  if (expand->imageState == ExpandInfo::kWanted) {
    if (!content::PhysicalMemoryAbove(kPictureMemory - 1)) return kErrParserMemory;
    const int code = recvHttp(expand->imageUrl, tmpFile(PicturesOf(expand->kind).full), true);
    if (feeds::EndsSession(code)) return code;
    expand->imageState = code == 0 && makeSmallImage(*expand) == 0 ? ExpandInfo::kDownloaded : ExpandInfo::kNone;
  }
  return 0;
}

int RssClient::makeSmallImage(const ExpandInfo& expand) {
  const PictureNames names = PicturesOf(expand.kind);
  std::wstring source = tmpFile(names.full);
  std::wstring small = tmpFile(names.small);
  std::wstring large = tmpFile(names.large);
  if (!images->ConvertImageTo1Line(source.data(), small.data()) ||
      !images->ConvertImageTo3Line(source.data(), large.data()))
    return kErrScale;
  return 0;
}

std::string RssClient::getNewUidl() {
  uint32_t number = 0;
  for (char c : lastUid) {
    const int digit = feeds::HexDigit(c);
    if (digit < 0) {
      number = 0;
      break;
    }
    number = number * 16 + static_cast<uint32_t>(digit);
  }
  char next[16];
  snprintf(next, sizeof next, "00%08X", number + 1);
  return next;
}

// The first two parts are read by RssEncode as the "X-Feed-Contents" (its
// file name) and "X-Feed-Image" (its folder) lines: the addresses of what is
// still to be fetched. The parts after them are the files of the message.
void RssClient::setRssToEmail(const RssItemData& item, Email* mail, const ExpandInfo& expand) {
  mail->isFeed = 1;
  mail->fromName = HeaderSafe(channelTitle);
  mail->references = HeaderSafe(channelLink);
  mail->messageId = HeaderSafe(channelDescription);
  mail->dateText = item.pubDate;
  mail->subject = item.title;
  mail->body = item.description;
  mail->replyTo = item.link;
  mail->mailingList = item.category.empty() ? L"news" : item.category;
  Enclosure contents, picture;
  if (expand.contentsState == ExpandInfo::kWanted) {
    contents.fileName = expand.contentsUrl;
    mail->feedDownload = item.cinst;
  }
  if (expand.imageState == ExpandInfo::kWanted) picture.folder = expand.imageUrl;
  if (expand.contentsState == ExpandInfo::kWanted || expand.imageState == ExpandInfo::kWanted) {
    mail->attachments.push_back(contents);
    if (expand.imageState == ExpandInfo::kWanted) mail->attachments.push_back(picture);
  }
  setFilesToEmail(mail, expand);
}

void RssClient::setFilesToEmail(Email* mail, const ExpandInfo& expand) {
  if (expand.imageState != ExpandInfo::kDownloaded) return;
  // No addresses left to fetch: both header parts stay empty.
  while (mail->attachments.size() < 2) mail->attachments.emplace_back();
  const PictureNames names = PicturesOf(expand.kind);
  for (const wchar_t* name : {names.full, names.small, names.large}) {
    Enclosure part;
    part.folder = sessionFolder;
    part.name = name;
    mail->attachments.push_back(part);
  }
}

int RssClient::setContentsToMessage(const std::wstring& link, const std::wstring& download) {
  std::string file;
  if (!content::ReadWholeFile(tmpFile(kContentsFile), &file)) return static_cast<int>(QVMDL_ERR_EML_FILE_IO);
  file.resize(strnlen(file.data(), file.size()));
  raw = "X-Kxr-Rivulet: contents\r\nx-ml-name: tellaro\r\nReply-To: " + content::NarrowSjis(HeaderSafe(link)) +
        "\r\n";
  if (!download.empty()) raw += "X-Feed-Download: " + content::NarrowSjis(HeaderSafe(download)) + "\r\n";
  raw += file;
  return 0;
}

int RssClient::rssReGet(const std::string& stored, const std::string& storedUid) {
  std::string image, contents, list;
  const bool hasImage = compose->GetHeaderField(stored, "X-Feed-Image", &image);
  const bool hasContents = compose->GetHeaderField(stored, "X-Feed-Contents", &contents);
  if (!hasImage && !hasContents) return kErrNoFeedHeader;
  compose->GetHeaderField(stored, "x-ml-name", &list);
  Email mail;
  if (!compose->Decode(&mail, &stored)) return kErrBuild;
  ExpandInfo expand;
  expand.kind = list.find("weather") != std::string::npos ? ExpandInfo::kWeather : ExpandInfo::kNormal;
  expand.imageUrl = HeaderSafe(content::WidenSjis(image));
  expand.contentsUrl = HeaderSafe(content::WidenSjis(contents));
  if (expand.imageUrl.size() >= kShortestUrl) expand.imageState = ExpandInfo::kWanted;
  if (expand.contentsUrl.size() >= kShortestUrl) expand.contentsState = ExpandInfo::kWanted;
  const bool wantImage = expand.imageState == ExpandInfo::kWanted;
  const bool wantContents = expand.contentsState == ExpandInfo::kWanted;
  const int code = wantImage || wantContents ? recvExpandInfoData(&expand) : kErrRefetch;
  if (code == kErrCancelled) return code;
  // A part that did not arrive keeps the stored message as it is: rebuilding
  // it would drop the address it is fetched from.
  if (code != 0 || (wantImage && expand.imageState != ExpandInfo::kDownloaded) ||
      (wantContents && expand.contentsState != ExpandInfo::kDownloaded))
    return kErrRefetch;
  if (expand.contentsState == ExpandInfo::kDownloaded) {
    const int built = setContentsToMessage(mail.replyTo, mail.feedDownload);
    if (built != 0) return built;
  } else {
    mail.attachments.clear();
    mail.inlineParts.clear();
    mail.feedDownload.clear();
    setFilesToEmail(&mail, expand);
    std::string rebuilt;
    if (!compose->RssEncode(&mail, &rebuilt)) return kErrBuild;
    raw.swap(rebuilt);
  }
  uid = storedUid;
  sendNotify(MSG_RssNewMessage);
  return 0;
}
