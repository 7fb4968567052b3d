// Hostile mail (run under ASan and UBSan): broken structure, unbounded
// nesting, header values cut short, dangerous part names, injected header
// lines, and reused records.
#include "engine/content/AddressField.h"
#include "engine/content/HeaderWords.h"
#include "engine/public/content/HtmlCreater.h"
#include "engine/content/MimeSupport.h"
#include "tests/engine/content/mime/MimeTestSupport.h"

using namespace mimetest;

namespace {

class Hostile : public MimeTest {
 protected:
  Email Decoded(std::string raw) {
    raw_ = std::move(raw);
    Email m;
    EXPECT_TRUE(eml_.Decode(&m, &raw_)) << std::hex << eml_.GetErrorInfo();
    return m;
  }
  std::string raw_;
};

TEST_F(Hostile, WalkStepsPastWholeBoundaryLinesAndEnds) {
  // Boundary lines with trailing text, a boundary that is a prefix of a
  // longer one, and a closing delimiter before any part.
  Email m = Decoded(
      "Content-Type: multipart/mixed; boundary=b\n\n--b  trailing junk\n\nfirst\n--bb\nnot a boundary\n"
      "--b\nContent-Type: text/plain; name=x.txt\n\nsecond\n--b--\nepilogue\n");
  EXPECT_EQ(m.body, L"first\r\n--bb\r\nnot a boundary");
  ASSERT_EQ(m.attachments.size(), 1u);
  Email none = Decoded("Content-Type: multipart/mixed; boundary=b\n\n--b--\n--b\n\nlate\n");
  EXPECT_TRUE(none.body.empty());
  // Only boundary lines, no headers, no bodies: the walk ends.
  Email empty = Decoded("Content-Type: multipart/mixed; boundary=b\n\n" + [] {
    std::string s;
    for (int i = 0; i < 2000; ++i) s += "--b\n";
    return s;
  }());
  EXPECT_TRUE(empty.attachments.empty());
}

TEST_F(Hostile, EmptyBoundaryIsNoBoundary) {
  Email m = Decoded("Subject: s\nContent-Type: multipart/mixed; boundary=\"\"\n\n--\n\nbody\n");
  EXPECT_TRUE(m.body.empty());
  EXPECT_EQ(m.subject, L"s");
  Email n = Decoded("Content-Type: multipart/mixed\n\nno boundary at all\n");
  EXPECT_TRUE(n.body.empty());
}

TEST_F(Hostile, DeepNestingIsFiledUnopened) {
  std::string text = "Content-Type: multipart/mixed; boundary=b0\n\n";
  std::string tail;
  for (int i = 0; i < 40; ++i) {
    text += "--b" + std::to_string(i) + "\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i + 1) + "\n\n";
    tail = "--b" + std::to_string(i) + "--\n" + tail;
  }
  text += "--b40\n\ndeep text\n--b40--\n" + tail;
  Email m = Decoded(text);
  EXPECT_TRUE(m.body.empty());  // never reached
  EXPECT_EQ(m.attachments.size(), 1u);

  std::string messages;
  for (int i = 0; i < 60; ++i) messages += "Content-Type: message/rfc822\n\n";
  messages += "Subject: innermost\n\ntext\n";
  Email n = Decoded(messages);
  // Each opened level files the message inside it; the rest stays unopened.
  EXPECT_EQ(n.attachments.size(), 17u);
  EXPECT_EQ(n.body.find(L"text"), std::wstring::npos);
}

TEST_F(Hostile, EndOfTextEndsEveryHeader) {
  for (std::string raw : {std::string("Subject: x"), std::string("Subject: x\n folded"),
                          std::string("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain"),
                          std::string("Content-Type: multipart/mixed; boundary=b\n\n--b"), std::string("\n"),
                          std::string(""), std::string("From:"), std::string("From: <"), std::string("Date:")}) {
    Email m;
    EXPECT_TRUE(eml_.Decode(&m, &raw)) << raw;
    std::string v;
    eml_.GetHeaderField(raw, "Content-Type", &v);
  }
}

TEST_F(Hostile, HeaderValuesAreReadInsideTheirBounds) {
  Email m = Decoded("From: \"=?iso-2022-jp?B?GyRCJCIbKEI=?=\" <open@example.jp\nDate: Mon, 1 Ja\n\n");
  EXPECT_EQ(m.fromAddress, L"open@example.jp");
  EXPECT_EQ(m.fromName, L"あ");
  EXPECT_FALSE(m.generatedDateLine.empty());
  Email year = Decoded("Date: Mon, 1 Jan 99999999999999999999 10:00:00 +0900\n\n");
  EXPECT_FALSE(year.generatedDateLine.empty());  // an absurd year is no date
}

TEST_F(Hostile, EncodedNamesCannotBecomeAddresses) {
  // The display name decodes to "x@evil.example, y@evil.example <z@evil.example>".
  std::string name = content::EncodeHeaderWord(L"あ x@evil.example, y@evil.example <z@evil.example>", true);
  Email m = Decoded("From: " + name + " <real@example.jp>\nTo: " + name +
                    " <to@example.jp>, \"q, r\" <two@example.jp>, three@example.jp (c, d)\n\n");
  EXPECT_EQ(m.fromAddress, L"real@example.jp");
  EXPECT_EQ(m.to, (std::list<std::wstring>{L"to@example.jp", L"two@example.jp", L"three@example.jp"}));
}

TEST_F(Hostile, PartNamesAreMadeSafeAndFilesNeverReplaced) {
  std::wstring folder = DeviceFolder(L"Save");
  WriteDeviceFile(folder + L"keep.txt", "original");
  const std::pair<std::string, std::wstring> names[] = {
      {"../../escape.txt", L"escape.txt"},  // separators dropped, then the leading dots
      {"..", L"NoName"},
      {".hidden", L"hidden"},
      {"a\\b/c:d.txt", L"abcd.txt"},
      {"tab\there.txt", L"tabhere.txt"},
  };
  for (const auto& [raw, want] : names) {
    std::wstring safe = content::SafePartFileName(W(raw), folder.size());
    EXPECT_EQ(safe, want) << raw;
  }
  for (auto [folderLength, kept] : {std::pair<size_t, size_t>{20, 200}, {100, 156}, {250, 6}}) {
    std::wstring longName = content::SafePartFileName(std::wstring(400, L'n') + L".jpg", folderLength);
    EXPECT_EQ(longName.size(), kept) << folderLength;
    EXPECT_EQ(longName.substr(longName.size() - 4), L".jpg");
  }

  std::string mail =
      "Content-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n"
      "--b\nContent-Type: application/octet-stream; name=\"../../keep.txt\"\nContent-Transfer-Encoding: base64\n\n"
      "aGFja2Vk\n--b--\n";
  Email m = Decoded(mail);
  ASSERT_EQ(m.attachments.size(), 1u);
  Enclosure part = m.attachments.front();
  part.folder = folder;
  EXPECT_FALSE(eml_.GetEnclosure(raw_, part));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_FILE_EXISTS);
  EXPECT_EQ(ReadDeviceFile(folder + L"keep.txt"), "original");
  EXPECT_EQ(ReadHost("keep.txt"), "");  // nothing escaped the folder

  part.name = L"new.bin";
  ASSERT_TRUE(eml_.GetEnclosure(raw_, part));
  EXPECT_EQ(ReadDeviceFile(folder + L"new.bin"), "hacked");
  part.folder.clear();
  EXPECT_FALSE(eml_.GetEnclosure(raw_, part));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_BAD_CONTENT);
}

TEST_F(Hostile, FeedPartsAreNeverWrittenOverAnExistingFile) {
  std::string feed =
      "X-Kxr-Rivulet\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n"
      "--b\nContent-Type: image/jpeg; name=\"..\\\\pic.jpg\"\nContent-Transfer-Encoding: base64\n\naGVsbG8=\n--b--\n";
  Email m = Decoded(feed);
  ASSERT_EQ(m.attachments.size(), 1u);
  DeviceFolder(L"Application Data/Rivulet/Tmp");
  ASSERT_TRUE(eml_.GetEnclosure(raw_, m.attachments.front()));  // goes to the feed folder
  EXPECT_EQ(ReadDeviceFile(L"\\Application Data\\Rivulet\\Tmp\\pic.jpg"), "hello");
  EXPECT_FALSE(eml_.RssGetImage(raw_, m.attachments.front()));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_FILE_EXISTS);
  Enclosure zero = m.attachments.front();
  zero.length = 0;
  zero.name = L"zero.jpg";
  EXPECT_TRUE(eml_.RssGetImage(raw_, zero));  // no length - 1 below zero
  EXPECT_EQ(ReadDeviceFile(L"\\Application Data\\Rivulet\\Tmp\\zero.jpg"), "");
  Enclosure outside = zero;
  outside.name = L"far.jpg";
  outside.offset = 1 << 30;
  outside.length = 1 << 30;
  EXPECT_TRUE(eml_.RssGetImage(raw_, outside));  // clamped to the text
}

TEST_F(Hostile, BadUuencodeIsAFailureAndLeavesNoFile) {
  std::string mail =
      "Content-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n"
      "--b\nContent-Type: application/octet-stream; name=\"u.bin\"\nContent-Transfer-Encoding: x-uuencode\n\n"
      "garbage only\n--b--\n";
  Email m = Decoded(mail);
  Enclosure part = m.attachments.front();
  part.folder = DeviceFolder(L"Save");
  EXPECT_FALSE(eml_.GetEnclosure(raw_, part));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_BAD_CONTENT);
  EXPECT_FALSE(DeviceFileExists(part.folder + L"u.bin"));
}

TEST_F(Hostile, FeedHtmlEscapesItsText) {
  Email m;
  m.body = L"<script>alert(\"x\")</script> & co\r\nnext";
  m.dateText = L"<b>today</b>";
  Enclosure pic;
  pic.name = L"a\"onerror=\"x.jpg";
  m.attachments.push_back(pic);
  ASSERT_TRUE(HtmlCreater().CreateHtml(m));
  EXPECT_EQ(m.htmlBody,
            L"<html>\r\n<body>\r\n\r\n&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; co<br>\r\nnext\r\n"
            L"<div align=\"right\">&lt;b&gt;today&lt;/b&gt;</div>"
            L"<img src=\"Application Data/Rivulet/Tmp/aonerror=x.jpg\">\r\n\r\n</body>\r\n</html>\r\n");
  Email empty;
  EXPECT_FALSE(HtmlCreater().CreateHtml(empty));
  EXPECT_TRUE(empty.htmlBody.empty());
  Email kept;
  kept.body = L"b";
  kept.htmlBody = L"<p>given</p>";
  EXPECT_TRUE(HtmlCreater().CreateHtml(kept));
  EXPECT_EQ(kept.htmlBody, L"<p>given</p>");
  Email noPicture;
  noPicture.body = L"text";
  HtmlCreater().CreateHtml(noPicture);
  EXPECT_EQ(noPicture.htmlBody.find(L"<img"), std::wstring::npos);
}

TEST_F(Hostile, WrittenHeaderValuesCarryNoLineBreaks) {
  Email mail;
  mail.fromAddress = L"a@example.jp\r\nBcc: x@evil.example";
  mail.fromName = L"Name\r\nX-Evil: 1";
  mail.to = {L"to@example.jp\r\nX-Evil: 2"};
  mail.subject = L"Hello\r\nX-Evil: 3";
  mail.replyTo = L"r@example.jp\nX-Evil: 4";
  mail.messageId = L"id@example.jp>\r\nX-Evil: 5";
  mail.references = L"ref\0@example.jp\r\nX-Evil: 6";
  mail.body = L"body";
  std::string out;
  RawEmail_S raw;
  ASSERT_TRUE(eml_.Encode(&mail, &out, &raw));
  EXPECT_EQ(out.find("\nX-Evil"), std::string::npos) << out;
  EXPECT_EQ(out.find("\nBcc"), std::string::npos);
  EXPECT_EQ(raw.sender.find('\n'), std::string::npos);

  Email feed = mail;
  feed.dateText = L"today\r\nX-Evil: 7";
  feed.mailingList = L"list\r\nX-Evil: 8";
  feed.feedDownload = L"http://x\r\nX-Evil: 9";
  std::string rss;
  ASSERT_TRUE(eml_.RssEncode(&feed, &rss));
  EXPECT_EQ(rss.find("\nX-Evil"), std::string::npos) << rss;

  Email link;
  ASSERT_TRUE(eml_.ParseMailto("mailto:a@example.jp?subject=hi%0D%0AX-Evil:%201&cc=b@example.jp%0D%0Ax", &link));
  std::string linked;
  link.fromAddress = L"me@example.jp";
  ASSERT_TRUE(eml_.Encode(&link, &linked));
  EXPECT_EQ(linked.find("\nX-Evil"), std::string::npos);
}

TEST_F(Hostile, TextPartsKeepTheBodyAndNulsCutNothing) {
  Email m = Decoded(
      "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nthe body\n"
      "--b\nContent-Type: text/plain\nContent-Disposition: attachment\n\nattached\n"
      "--b\nContent-Type: text/plain\n\n\n--b--\n");
  EXPECT_EQ(m.body, L"the body");
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments.front().fileName, L"NoName.txt");
  EXPECT_EQ(m.attachments.front().index, 0);

  Email first = Decoded(
      "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n"
      "Content-Disposition: attachment\n\nattached first\n--b\n\nreal body\n--b--\n");
  EXPECT_EQ(first.body, L"real body");

  Email nul = Decoded(std::string("Subject: a\0b\n\nbefore\0after\n", 26));
  EXPECT_EQ(nul.subject, L"ab");
  EXPECT_EQ(nul.body, L"beforeafter");
}

TEST_F(Hostile, ReusedRecordsCarryNothingOver) {
  Email m;
  m.mailingList = L"old list";
  Enclosure old;
  old.name = L"old.gif";
  m.inlineParts.push_back(old);
  m.to = {L"old@example.jp"};
  std::string raw = "Subject: new\n\nnew body\n";
  ASSERT_TRUE(eml_.Decode(&m, &raw));
  EXPECT_TRUE(m.mailingList.empty());
  EXPECT_TRUE(m.inlineParts.empty());
  EXPECT_TRUE(m.to.empty());
  m.mailingList = L"x";
  ASSERT_TRUE(eml_.DecodeHeader(&m, &raw));
  EXPECT_TRUE(m.mailingList.empty());
  EXPECT_FALSE(eml_.Decode(nullptr, &raw));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_NULL_ARGUMENT);
}

TEST_F(Hostile, FeedInformationLinesOnShortText) {
  std::string title, link;
  std::string tiny = "Sub";
  EXPECT_FALSE(eml_.RssGetLineInfo(&tiny, &title, &link));
  TInfoData info;
  std::string shortFeed = "Subject: \r\n\r\nx";
  ASSERT_TRUE(eml_.RssGetLineInfo(&shortFeed, &info));
  EXPECT_TRUE(info.textLine.empty());
  std::string headerOnly = "Subject: t";
  ASSERT_TRUE(eml_.RssGetLineInfo(&headerOnly, &info));
  EXPECT_EQ(info.title, "t");
}

}  // namespace
