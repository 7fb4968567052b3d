// Feed items stored as messages: their own header set, the line shown on the
// today screen, and their pictures.
#include "engine/content/AddressField.h"
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/public/content/ImageCreater.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"

namespace {

constexpr char kMixedBoundary[] = "next_bound_m4345";
constexpr char kAlternativeBoundary[] = "next_bound_a3234";
constexpr char kFeedRelatedBoundary[] = "-----2123=next_bound=8273----";
constexpr size_t kTitleBytes = 30;
constexpr size_t kTextLineBytes = 40;
constexpr size_t kDefaultImageMemory = 0x300000;

std::string Clean(const std::wstring& wide) { return content::WithoutLineBreaks(content::NarrowSjis(wide)); }
std::string Word(const std::wstring& wide) { return content::EncodeHeaderWord(wide, true); }

std::wstring TmpPath(const wchar_t* name) { return std::wstring(content::kFeedTmpFolder) + name; }

// Cuts Shift_JIS text to at most `limit` bytes without splitting a pair.
void CutSjis(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  text.resize(limit);
  bool loneLead = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (content::IsSjisLead(static_cast<uint8_t>(text[i]))) {
      if (i + 1 < text.size()) {
        ++i;
        continue;
      }
      loneLead = true;
    }
  }
  if (loneLead) text.pop_back();
}

}  // namespace

bool EmlCompose::RssEncode(Email* mail, RawEmail_S* raw) {
  NKDbgPrintfW(L"EmlCompose::RssEncode()\r\n");
  if (mail == nullptr || raw == nullptr || raw->text == nullptr)
    return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  mail->isFeed = 1;
  std::string text;
  rssEncodeMailHeader(mail, text);
  bool mixed = rssEncodeTINFOHeader(mail, text);
  int code = QVMDL_SUCCESS;
  if (!mail->htmlBody.empty()) {
    addMimeHeader(text, kAlternativeBoundary, "alternative", !mixed);
    code = makeBodyField(mail, text);
    if (code == static_cast<int>(QVMDL_SUCCESS)) {
      addBoundary(text, kAlternativeBoundary, true);
      makeHtmlField(mail, text);
      addBoundary(text, kAlternativeBoundary, false);
    }
  } else {
    code = makeBodyField(mail, text);
  }
  if (code == static_cast<int>(QVMDL_SUCCESS) && mixed) {
    code = encodeMimeFiles(text, kMixedBoundary, mail->attachments);
    if (code == static_cast<int>(QVMDL_SUCCESS)) addBoundary(text, kMixedBoundary, false);
  }
  if (code != static_cast<int>(QVMDL_SUCCESS)) return setQvMiddleEmlError(static_cast<uint32_t>(code));
  if (!finishText(text, raw->text)) return false;
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::RssEncode(Email* mail, std::string* out) {
  if (out == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string text;
  RawEmail_S scratch;
  scratch.text = &text;
  bool ok = RssEncode(mail, &scratch);
  if (ok) out->swap(text);
  else out->clear();
  return ok;
}

void EmlCompose::rssEncodeMailHeader(Email* mail, std::string& out) {
  out += "X-Kxr-Rivulet\n";
  out += "From: " + content::MakeAddressField(mail->fromAddress, mail->fromName, true);
  out += "\nDate: " + Clean(mail->dateText);
  out += "\nSubject: " + Word(mail->subject) + "\n";
  out += "x-ml-name: " + Word(mail->mailingList) + "\n";
  if (!mail->feedDownload.empty()) out += "X-Feed-Download: " + Word(mail->feedDownload) + "\n";
  if (!mail->replyTo.empty()) out += "Reply-To: " + Word(mail->replyTo) + "\n";
  if (!mail->messageId.empty()) out += "Message-Id: " + Clean(mail->messageId) + "\n";
  if (!mail->references.empty()) out += "In-Reply-To: " + Clean(mail->references) + "\n";
  out += "Mime-Version: 1.0\n";
}

bool EmlCompose::rssEncodeTINFOHeader(Email* mail, std::string& out) {
  if (mail->attachments.empty()) return false;
  out += "X-Feed-Contents: " + Clean(mail->attachments.front().fileName) + "\n";
  mail->attachments.pop_front();
  // The picture line only when there is a picture.
  if (!mail->attachments.empty()) {
    out += "X-Feed-Image: " + Clean(mail->attachments.front().folder) + "\n";
    mail->attachments.pop_front();
  }
  if (mail->attachments.empty()) return false;
  addMimeHeader(out, kMixedBoundary, "mixed", true);
  return true;
}

void EmlCompose::makeHtmlField(Email* mail, std::string& out) {
  BoundStr none;
  if (mail->inlineParts.empty()) {
    makeHtmlBodyField(out, mail, none);
    return;
  }
  addMimeHeader(out, kFeedRelatedBoundary, "related", false);
  makeHtmlBodyField(out, mail, none);
  std::list<Enclosure> inlines = mail->inlineParts;
  for (auto& e : inlines) e.isInline = 1;
  if (encodeMimeFiles(out, kFeedRelatedBoundary, inlines) == static_cast<int>(QVMDL_SUCCESS))
    addBoundary(out, kFeedRelatedBoundary, false);
}

bool EmlCompose::RssGetLineInfo(const std::string* raw, std::string* title, std::string* link) {
  if (raw == nullptr || title == nullptr || link == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  title->clear();
  link->clear();
  if (!GetHeaderField(*raw, "Subject", title)) return false;
  if (title->empty()) {
    size_t end = raw->find("\r\n\r\n");
    std::string body = end == std::string::npos ? std::string() : raw->substr(end + 4);
    toSJIS(body, L"iso-2022-jp");
    CutSjis(body, kTitleBytes);
    *title = body;
  }
  GetHeaderField(*raw, "Reply-To", link);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::RssGetLineInfo(const std::string* raw, TInfoData* info) {
  if (raw == nullptr || info == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  info->title.clear();
  info->link.clear();
  info->textLine.clear();
  info->dateText.clear();
  if (!GetHeaderField(*raw, "Subject", &info->title)) return false;
  size_t end = raw->find("\r\n\r\n");
  std::string line;
  if (end != std::string::npos) {
    if (raw->size() - (end + 4) > 1) line = raw->substr(end + 4);
  } else if (raw->size() > 3) {
    line = raw->substr(3);
  }
  std::string list;
  GetHeaderField(*raw, "x-ml-name", &list);
  if (list == "tellaro") {
    Email mail;
    if (DecodeSimple(&mail, raw, 100)) ConvertWtoS(mail.body, line);
    else line.clear();
  } else {
    GetHeaderField(*raw, "Date", &info->dateText);
    size_t type = line.find("Content-Type");
    size_t first = type == std::string::npos ? std::string::npos : line.find("\r\n\r\n", type);
    size_t second = first == std::string::npos ? std::string::npos : line.find("\r\n\r\n", first + 4);
    if (second != std::string::npos) {
      size_t count = line.size() - second;
      line = line.substr(first + 4, count);
    }
  }
  toSJIS(line, L"iso-2022-jp");
  CutSjis(line, kTextLineBytes);
  info->textLine = line;
  if (info->title.empty()) info->title = info->textLine;
  GetHeaderField(*raw, "Reply-To", &info->link);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::RssGetTodayImage(const std::string* raw, std::wstring* path, bool small) {
  if (raw == nullptr || path == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  Email mail;
  if (!Decode(&mail, raw)) return false;
  std::wstring source;
  if (mail.attachments.size() >= 3) {
    auto it = mail.attachments.end();
    --it;
    if (small) --it;
    std::wstring written = content::kFeedTmpFolder +
                           content::PartFileName(*it, std::char_traits<wchar_t>::length(content::kFeedTmpFolder));
    // A picture written by an earlier call is used as it stands.
    if (RssGetImage(*raw, *it) || GetErrorInfo() == QVMDL_ERR_EML_FILE_EXISTS) source = written;
  }
  if (source.empty() && (!RssGetWeatherImage(&source, small) || source.empty())) return false;
  std::wstring today = TmpPath(L"today.jpg");
  if (content::FileExists(today)) DeleteFileW(today.c_str());
  if (!CopyFileW(source.c_str(), today.c_str(), FALSE)) return setQvMiddleEmlError(QVMDL_ERR_EML_FILE_IO);
  *path = today;
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::RssGetWeatherImage(std::wstring* path, bool small) {
  if (path == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::wstring weather = TmpPath(small ? L"weather_small.jpg" : L"weather_large.jpg");
  std::wstring fallback = TmpPath(small ? L"default_small.jpg" : L"default_large.jpg");
  for (const auto& candidate : {weather, fallback}) {
    if (content::FileExists(candidate)) {
      *path = candidate;
      return setQvMiddleEmlError(QVMDL_SUCCESS);
    }
  }
  path->clear();
  NKDbgPrintfW(L" - filename:[%s]\r\n", fallback.c_str());
  if (!content::PhysicalMemoryAbove(kDefaultImageMemory - 1)) return setQvMiddleEmlError(QVMDL_SUCCESS);
  std::wstring source;
  RssGetDefaultTodayImage(&source, small);
  ImageCreater images;
  bool ok;
  if (small) {
    NKDbgPrintfW(L" - 1 line def image make\r\n");
    ok = images.ConvertImageTo1Line(source.data(), fallback.data());
  } else {
    NKDbgPrintfW(L" - 3 line def image make\r\n");
    ok = images.ConvertImageTo3Line(source.data(), fallback.data());
  }
  if (ok) *path = fallback;
  return ok;
}

bool EmlCompose::RssGetDefaultTodayImage(std::wstring* path, bool small) {
  (void)small;
  if (path != nullptr) *path = L"\\Windows\\TINFO.jpg";
  return true;
}
