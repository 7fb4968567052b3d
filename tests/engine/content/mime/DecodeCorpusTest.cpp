// The received-mail corpus (corpus/*.eml, written by corpus/make_corpus.py):
// each mail decoded to the Email fields it must give.
#include "tests/engine/content/mime/MimeTestSupport.h"

using namespace mimetest;

namespace {

class DecodeCorpus : public MimeTest {
 protected:
  Email Decoded(const std::string& name) {
    raw_ = Corpus(name);
    Email mail;
    EXPECT_TRUE(eml_.Decode(&mail, &raw_)) << name;
    EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_SUCCESS);
    return mail;
  }
  // Writes one part through GetEnclosure into a fresh folder and reads it back.
  std::string PartBytes(const Enclosure& part) {
    Enclosure e = part;
    e.folder = DeviceFolder(L"Parts");
    e.name = e.displayName;
    EXPECT_TRUE(eml_.GetEnclosure(raw_, e)) << std::hex << eml_.GetErrorInfo();
    return ReadDeviceFile(e.folder + e.name);
  }
  static void ExpectDate(const SYSTEMTIME& d, int y, int mo, int da, int h, int mi, int s) {
    EXPECT_EQ(d.wYear, y);
    EXPECT_EQ(d.wMonth, mo);
    EXPECT_EQ(d.wDay, da);
    EXPECT_EQ(d.wHour, h);
    EXPECT_EQ(d.wMinute, mi);
    EXPECT_EQ(d.wSecond, s);
  }
  std::string raw_;
};

TEST_F(DecodeCorpus, Iso2022JpHeaderWordsAddressListsAndIds) {
  Email m = Decoded("iso2022jp_plain.eml");
  EXPECT_EQ(m.fromName, L"山田太郎");
  EXPECT_EQ(m.fromAddress, L"taro@example.jp");
  EXPECT_EQ(m.to, (std::list<std::wstring>{L"hanako@example.jp", L"jiro@example.jp"}));
  EXPECT_EQ(m.cc, (std::list<std::wstring>{L"boss@example.jp"}));
  EXPECT_EQ(m.subject, L"会議のお知らせ");
  EXPECT_EQ(m.dateText, L"Wed, 5 Aug 2026 10:20:30 +0900 (JST)");
  EXPECT_EQ(m.timeZone, L"+0900 (JST)");
  ExpectDate(m.date, 2026, 8, 5, 10, 20, 30);
  EXPECT_EQ(m.messageId, L"20260805102030.abc@example.jp");
  EXPECT_EQ(m.inReplyTo, L"r2@example.jp");
  EXPECT_EQ(m.references, L"r1@example.jp> <r2@example.jp");  // every id kept
  EXPECT_EQ(m.replyTo, L"reply@example.jp");
  EXPECT_EQ(m.body, L"明日の会議は十時からです。\r\nよろしくお願いします。");
  EXPECT_TRUE(m.htmlBody.empty());
  EXPECT_TRUE(m.attachments.empty());
  EXPECT_TRUE(m.generatedDateLine.empty());
}

TEST_F(DecodeCorpus, RawShiftJisAndEucJpHeaders) {
  Email s = Decoded("sjis_raw_header.eml");
  EXPECT_EQ(s.fromName, L"佐藤花子");
  EXPECT_EQ(s.subject, L"見積もりの件");
  EXPECT_EQ(s.body, L"お見積もりを添付します。");
  ExpectDate(s.date, 2026, 8, 6, 17, 0, 0);  // two-digit year, UTC read on a JST device

  Email e = Decoded("eucjp_raw_header.eml");
  EXPECT_EQ(e.fromAddress, L"eucsender@example.jp");
  EXPECT_TRUE(e.fromName.empty());
  EXPECT_EQ(e.subject, L"日本語の件名");
  EXPECT_EQ(e.body, L"本文は日本語です。");
  EXPECT_EQ(e.timeZone, L"-0500");
  ExpectDate(e.date, 2026, 8, 8, 13, 59, 59);
}

TEST_F(DecodeCorpus, Utf8PlainAndHtmlAlternatives) {
  Email m = Decoded("utf8_html_alternative.eml");
  EXPECT_EQ(m.subject, L"ニュース");
  EXPECT_EQ(m.body, L"こんにちは、世界。\r\n");  // the line end inside the base64 stays
  EXPECT_EQ(m.htmlBody, L"<html><body><p>こんにちは、<b>世界</b>。</p></body></html>");
  EXPECT_TRUE(m.attachments.empty());
}

TEST_F(DecodeCorpus, RelatedImagesBecomeInlinePartsWithAMadeUpName) {
  Email m = Decoded("related_cid.eml");
  EXPECT_EQ(m.body, L"Sale now.");
  EXPECT_EQ(m.htmlBody, L"<html><img src=\"cid:img1@x\"><img src=\"cid:img2@x\"></html>");
  ASSERT_EQ(m.inlineParts.size(), 2u);
  EXPECT_TRUE(m.attachments.empty());
  const Enclosure& jpeg = m.inlineParts.front();
  EXPECT_EQ(jpeg.contentId, L"img1@x");
  // Month, day, hour, minute, second of the device clock, the tick count in hex.
  ASSERT_EQ(jpeg.fileName.size(), 22u);
  EXPECT_EQ(jpeg.fileName.substr(0, 10), L"1208191112");
  EXPECT_EQ(jpeg.fileName.substr(18), L".jpg");
  EXPECT_EQ(jpeg.fileName.find_first_not_of(L"0123456789abcdef", 10), 18u);
  EXPECT_EQ(jpeg.mediaType + L"/" + jpeg.mediaSubtype, L"image/jpeg");
  const Enclosure& gif = m.inlineParts.back();
  EXPECT_EQ(gif.name, L"logo.gif");
  EXPECT_EQ(gif.displayName, L"logo.gif");
  EXPECT_EQ(gif.contentLocation, L"img2@x");
  EXPECT_EQ(PartBytes(gif), "GIF89a fake gif");
  EXPECT_EQ(PartBytes(jpeg), std::string("\xFF\xD8\xFF\xE0""fake jpeg bytes\xFF\xD9"));
}

TEST_F(DecodeCorpus, ForwardedMessageJoinsTheBodyAndKeepsLaterParts) {
  Email m = Decoded("forwarded_rfc822.eml");
  EXPECT_EQ(m.body, L"see below\r\n\r\n----------------\r\ninner text");
  ASSERT_EQ(m.attachments.size(), 3u);
  auto it = m.attachments.begin();
  EXPECT_EQ(it->displayName, L"plan.pdf");
  EXPECT_EQ(it->index, 0);
  EXPECT_EQ(PartBytes(*it), "%PDF-1.4 inner");  // offset moved into the outer text
  ++it;
  EXPECT_EQ(it->displayName, L"original.eml");
  EXPECT_EQ(it->mediaType + L"/" + it->mediaSubtype, L"message/rfc822");
  EXPECT_EQ(it->index, 1);
  ++it;
  EXPECT_EQ(it->displayName, L"after.csv");  // the part after the message is kept
  EXPECT_EQ(it->index, 2);
}

TEST_F(DecodeCorpus, UuencodedPartWritesItsBytes) {
  Email m = Decoded("uuencode.eml");
  EXPECT_EQ(m.body, L"data attached");
  ASSERT_EQ(m.attachments.size(), 1u);
  std::string want;
  for (int r = 0; r < 2; ++r)
    for (int b = 0; b < 256; ++b) want.push_back(static_cast<char>(b));
  EXPECT_EQ(PartBytes(m.attachments.front()), want);
}

TEST_F(DecodeCorpus, Rfc2231NamesAreJoinedAndConverted) {
  Email m = Decoded("rfc2231.eml");
  ASSERT_EQ(m.attachments.size(), 2u);
  EXPECT_EQ(m.attachments.front().fileName, L"報告書.doc");
  EXPECT_EQ(m.attachments.front().displayName, L"報告書.doc");
  EXPECT_EQ(m.attachments.back().name, L"写真.jpg");
  EXPECT_EQ(PartBytes(m.attachments.back()), "jpg");
}

TEST_F(DecodeCorpus, OversizeMailGetsTheNotice) {
  Email m = Decoded("oversize.eml");
  EXPECT_EQ(m.body,
            L"このメッセージは受信可能な容量を超えているため受信できません。\r\n\r\n注意：\r\n"
            L"サイズが3MBを超える(添付データを含む)メッセージは受信できません。");
  EXPECT_TRUE(m.attachments.empty());
}

TEST_F(DecodeCorpus, PictographsPassThroughAndFromTokens) {
  Email p = Decoded("pictograph_passthrough.eml");
  EXPECT_EQ(p.body, L"晴れ" + W("\xF8\xA0") + L"です");
  Email t = Decoded("pictograph_tokens.eml");
  // A known token becomes its pictograph; "<<" is one "<"; unknown names stay.
  EXPECT_EQ(t.body, L"好き" + W("\xF0\x40") + L"<3 <#heart>");
}

TEST_F(DecodeCorpus, PictureMailKeepsItsPictureWhenAttachmentsAreRemoved) {
  Email m = Decoded("picture_mail.eml");
  EXPECT_EQ(m.isPictureMail, 1);
  EXPECT_EQ(m.body, L"look");
  ASSERT_EQ(m.attachments.size(), 2u);

  std::string cut;
  ASSERT_TRUE(eml_.DeleteEnclosureFromRawData(&raw_, &cut));
  // The original header stands as it was.
  size_t header = raw_.find("\r\n\r\n");
  EXPECT_EQ(cut.substr(0, header), raw_.substr(0, header));
  Email after;
  ASSERT_TRUE(eml_.Decode(&after, &cut));
  ASSERT_EQ(after.attachments.size(), 1u);
  EXPECT_EQ(after.attachments.front().displayName, L"draw.jpg");
  EXPECT_EQ(after.body, L"look");
  EXPECT_EQ(cut.find("note.txt"), std::string::npos);
}

TEST_F(DecodeCorpus, RemovingAttachmentsKeepsTheHeaderAndInlineParts) {
  std::string raw =
      "From: \"Sender Name\" <s@example.jp>\r\nMessage-ID: <keep@example.jp>\r\nX-Custom: kept\r\n"
      "Date: Wed, 5 Aug 2026 10:20:30 +0900\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n"
      "--m\r\nContent-Type: multipart/related; boundary=r\r\n\r\n"
      "--r\r\nContent-Type: text/html\r\n\r\n<p>hi</p>\r\n"
      "--r\r\nContent-Type: image/gif; name=in.gif\r\nContent-ID: <in@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "R0lG\r\n--r--\r\n"
      "--m\r\nContent-Type: application/zip; name=a.zip\r\nContent-Transfer-Encoding: base64\r\n\r\nUEsD\r\n"
      "--m\r\nContent-Type: application/zip; name=b.zip\r\nContent-Transfer-Encoding: base64\r\n\r\nUEsE\r\n"
      "--m--\r\n";
  std::string cut;
  ASSERT_TRUE(eml_.DeleteEnclosureFromRawData(&raw, &cut));
  EXPECT_EQ(cut.substr(0, raw.find("--m")), raw.substr(0, raw.find("--m")));
  Email after;
  ASSERT_TRUE(eml_.Decode(&after, &cut));
  EXPECT_TRUE(after.attachments.empty());
  ASSERT_EQ(after.inlineParts.size(), 1u);
  EXPECT_EQ(after.htmlBody, L"<p>hi</p>");
  EXPECT_EQ(after.messageId, L"keep@example.jp");
  EXPECT_EQ(after.fromName, L"Sender Name");
  EXPECT_EQ(cut.find("UEs"), std::string::npos);

  // A picture mail needs its picture and something to remove.
  std::string picture = "X-Qvmail_PictureMail: 1\r\nContent-Type: multipart/mixed; boundary=p\r\n\r\n--p\r\n\r\nt\r\n"
                        "--p\r\nContent-Type: image/jpeg; name=p.jpg\r\n\r\nx\r\n--p--\r\n";
  EXPECT_FALSE(eml_.DeleteEnclosureFromRawData(&picture, &cut));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_PICTURE_PARTS);
}

TEST_F(DecodeCorpus, PartFilesNeedRoomOnTheVolume) {
  Email m = Decoded("uuencode.eml");
  Enclosure part = m.attachments.front();
  part.folder = DeviceFolder(L"Full");
  part.name = L"data.bin";
  qv::seams::SetFreeSpace(100);
  EXPECT_FALSE(eml_.GetEnclosure(raw_, part));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_DISK_SPACE);
  EXPECT_FALSE(DeviceFileExists(part.folder + part.name));
  qv::seams::ClearFreeSpace();
  qv::seams::InjectFileFault(part.folder + part.name, ERROR_DISK_FULL);
  EXPECT_FALSE(eml_.GetEnclosure(raw_, part));
  EXPECT_NE(eml_.GetErrorInfo(), QVMDL_SUCCESS);
  qv::seams::ClearFileFaults();
  EXPECT_FALSE(DeviceFileExists(part.folder + part.name));  // a failed write leaves no file
}

TEST_F(DecodeCorpus, EveryCorpusMailDecodesHeaderOnlyToTheSameFields) {
  for (const char* name : {"iso2022jp_plain.eml", "sjis_raw_header.eml", "eucjp_raw_header.eml",
                           "utf8_html_alternative.eml", "forwarded_rfc822.eml"}) {
    Email whole = Decoded(name), head;
    ASSERT_TRUE(eml_.DecodeHeader(&head, &raw_));
    EXPECT_EQ(head.subject, whole.subject) << name;
    EXPECT_EQ(head.fromAddress, whole.fromAddress) << name;
    EXPECT_EQ(head.to, whole.to) << name;
    EXPECT_EQ(head.dateText, whole.dateText) << name;
    EXPECT_TRUE(head.body.empty()) << name;
  }
}

}  // namespace
