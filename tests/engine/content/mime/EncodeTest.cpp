// Encoding: byte-exact output against golden files under the fixed clock,
// Encode then Decode over a table of records, line breaking, file parts,
// and the raw text prepared for sending.
#include "engine/content/AddressField.h"
#include "engine/content/HeaderText.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "tests/engine/content/mime/MimeTestSupport.h"

using namespace mimetest;

namespace {

class Encode : public MimeTest {
 protected:
  void SetUp() override {
    MimeTest::SetUp();
    files_ = DeviceFolder(L"Files");
    std::string bin;
    for (int i = 0; i < 300; ++i) bin.push_back(static_cast<char>(i * 7 + 3));
    WriteDeviceFile(files_ + L"table.bin", bin);
    WriteDeviceFile(files_ + L"写真.jpg", std::string("\xFF\xD8\xFF\xE0 picture \xFF\xD9", 15));
    WriteDeviceFile(files_ + L"logo.gif", "GIF89a logo");
  }
  Enclosure File(const std::wstring& name, const std::wstring& cid = L"") {
    Enclosure e;
    e.folder = files_;
    e.name = name;
    e.contentId = cid;
    return e;
  }
  // The records of the golden files and the round trip.
  std::vector<std::pair<std::string, Email>> Records() {
    std::vector<std::pair<std::string, Email>> r;
    Email plain;
    plain.fromAddress = L"taro@example.jp";
    plain.fromName = L"Taro";
    plain.to = {L"hanako@example.jp"};
    plain.subject = L"Hello";
    plain.body = L"Hi,\r\nsee you at ten.\r\n";
    r.emplace_back("plain_ascii", plain);

    Email jp;
    jp.fromAddress = L"taro@example.jp";
    jp.fromName = L"山田太郎";
    jp.to = {L"hanako@example.jp", L"\"Jiro\" <jiro@example.jp>"};
    jp.cc = {L"boss@example.jp"};
    jp.bcc = {L"secret@example.jp"};
    jp.replyTo = L"reply@example.jp";
    jp.subject = L"会議の資料について";
    jp.body = L"資料を添付します。\r\nご確認ください。";
    jp.attachments = {File(L"table.bin"), File(L"写真.jpg")};
    r.emplace_back("japanese_attachments", jp);

    Email html;
    html.fromAddress = L"shop@example.jp";
    html.to = {L"taro@example.jp"};
    html.subject = L"お知らせ";
    html.body = L"セールです。";
    html.htmlBody = L"<html><body><p>セールです。</p>\r\n<img src=\"cid:logo@x\"></body></html>";
    html.inlineParts = {File(L"logo.gif", L"logo@x")};
    html.attachments = {File(L"table.bin")};
    r.emplace_back("html_inline_attachment", html);

    Email reply;
    reply.fromAddress = L"taro@example.jp";
    reply.to = {L"hanako@example.jp"};
    reply.subject = L"Re: plan";
    reply.body = L">plan\r\nok";
    reply.messageId = L"parent@example.jp";
    reply.inReplyTo = L"grand@example.jp";
    reply.references = L"root@example.jp> <grand@example.jp";
    r.emplace_back("reply_references", reply);

    Email picto;
    picto.fromAddress = L"phone@example.ne.jp";
    picto.to = {L"taro@example.jp"};
    picto.subject = L"heart";
    picto.body = L"好き" + W("\xF0\x40") + L" <3";
    picto.isPictureMail = 1;
    r.emplace_back("pictograph_tokens", picto);

    Email longLines;
    longLines.fromAddress = L"taro@example.jp";
    longLines.to = {L"hanako@example.jp"};
    longLines.subject = L"long";
    longLines.body = std::wstring(310, L'a') + L"\r\n" + std::wstring(305, L'漢');
    r.emplace_back("long_lines", longLines);
    return r;
  }
  std::string EncodeText(Email mail, RawEmail_S* raw = nullptr) {
    std::string out;
    RawEmail_S scratch;
    EXPECT_TRUE(eml_.Encode(&mail, &out, raw != nullptr ? raw : &scratch)) << std::hex << eml_.GetErrorInfo();
    return out;
  }
  std::wstring files_;
};

TEST_F(Encode, OutputMatchesTheGoldenFiles) {
  bool update = std::getenv("QV_UPDATE_GOLDEN") != nullptr;
  for (auto& [name, mail] : Records()) {
    std::string out = EncodeText(mail);
    auto path = SourceDir() / "golden" / (name + ".eml");
    if (update) std::ofstream(path, std::ios::binary) << out;
    EXPECT_EQ(out, ReadHostFile(path)) << name;
  }
}

TEST_F(Encode, StructureFollowsTheParts) {
  auto records = Records();
  std::string plain = EncodeText(records[0].second);
  EXPECT_EQ(plain.find("multipart"), std::string::npos);
  EXPECT_NE(plain.find("Content-Type: text/plain; charset=us-ascii\r\n\r\nHi,"), std::string::npos);
  EXPECT_NE(plain.find("\r\nDate: Tue, 08 Dec 2026 19:11:12 +0900\r\n"), std::string::npos);

  std::string html = EncodeText(records[2].second);
  // An HTML mail's files travel in the related group: no mixed group.
  EXPECT_EQ(html.find("multipart/mixed"), std::string::npos);
  size_t related = html.find("Content-Type: multipart/related;\r\n boundary=\"next_bound_r2123\"");
  size_t alternative = html.find("Content-Type: multipart/alternative;\r\n boundary=\"next_bound_a3234\"");
  ASSERT_NE(related, std::string::npos);
  ASSERT_NE(alternative, std::string::npos);
  EXPECT_LT(related, alternative);
  EXPECT_NE(html.find("charset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: 7bit") , std::string::npos);
  EXPECT_NE(html.find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
  EXPECT_NE(html.find("Content-Disposition: inline;\r\n filename=\"logo.gif\"\r\nContent-ID: <logo@x>"),
            std::string::npos);

  Email asciiHtml = records[0].second;
  asciiHtml.htmlBody = L"<p>Hi</p>";
  std::string both = EncodeText(asciiHtml);
  EXPECT_NE(both.find("Content-Type: text/plain; charset=iso-2022-jp\r\nContent-Transfer-Encoding: 7bit\r\n\r\nHi,"),
            std::string::npos);
  // The first group written carries the preamble.
  EXPECT_NE(both.find("boundary=\"next_bound_a3234\"\r\n\r\nThis is a multipart message in Mime 1.0 format\r\n"),
            std::string::npos);

  std::string picto = EncodeText(records[4].second);
  EXPECT_NE(picto.find("Content-Type: text/x-vmemodx; charset=\"iso-2022-jp\""), std::string::npos);
  EXPECT_NE(picto.find("<#HEART> <<3"), std::string::npos);
  EXPECT_NE(picto.find("X-Mailer: norvale QvMail/2.1 (TELLARO 03) [PictureMail]"), std::string::npos);

  std::string reply = EncodeText(records[3].second);
  EXPECT_NE(reply.find("In-Reply-To: <parent@example.jp>\r\n"
                       "References: <root@example.jp> <grand@example.jp> <parent@example.jp>\r\n"),
            std::string::npos);
}

TEST_F(Encode, ThenDecodeGivesTheRecordBack) {
  for (auto& [name, mail] : Records()) {
    Email sent = mail;
    std::string out = EncodeText(sent);
    Email back;
    ASSERT_TRUE(eml_.Decode(&back, &out)) << name;
    EXPECT_EQ(back.fromAddress, mail.fromAddress) << name;
    EXPECT_EQ(back.fromName, mail.fromName) << name;
    std::list<std::wstring> to;
    for (const auto& t : mail.to) to.push_back(content::AddressOfW(t));
    EXPECT_EQ(back.to, to) << name;
    EXPECT_EQ(back.cc, mail.cc) << name;
    EXPECT_EQ(back.bcc, mail.bcc) << name;
    EXPECT_EQ(back.replyTo, mail.replyTo) << name;
    EXPECT_EQ(back.subject, mail.subject) << name;
    std::wstring body = mail.body;
    if (name == "long_lines") {
      content::ReplaceAllW(body, L"\r\n", L"\n");
      EmlCompose().checkSendBodyReturnCode(body);
      std::wstring crlf;
      eml_.replace0Ato0D0A(body, crlf);
      body = crlf;
    }
    EXPECT_EQ(back.body, body) << name;
    EXPECT_EQ(back.htmlBody, mail.htmlBody) << name;
    EXPECT_EQ(back.isPictureMail, mail.isPictureMail) << name;
    EXPECT_EQ(back.inReplyTo, mail.messageId) << name;
    EXPECT_EQ(back.timeZone, L"+0900");
    EXPECT_EQ(back.date.wHour, 19);
    ASSERT_EQ(back.attachments.size(), mail.attachments.size()) << name;
    auto a = mail.attachments.begin();
    for (const auto& b : back.attachments) {
      EXPECT_EQ(b.displayName, a->name) << name;
      Enclosure out_part = b;
      out_part.folder = DeviceFolder(L"Out");
      out_part.name = W(name) + L"-" + b.displayName;
      ASSERT_TRUE(eml_.GetEnclosure(out, out_part)) << name;
      EXPECT_EQ(ReadDeviceFile(out_part.folder + out_part.name), ReadDeviceFile(a->folder + a->name)) << name;
      ++a;
    }
    ASSERT_EQ(back.inlineParts.size(), mail.inlineParts.size()) << name;
    if (!mail.inlineParts.empty()) {
      EXPECT_EQ(back.inlineParts.front().contentId, mail.inlineParts.front().contentId);
    }
  }
}

TEST_F(Encode, WideLinesBreakAtThreeHundredColumns) {
  std::wstring first = std::wstring(310, L'x');
  eml_.checkSendBodyReturnCode(first);
  EXPECT_EQ(first, std::wstring(300, L'x') + L"\n" + std::wstring(10, L'x'));
  // After an LF of the body the line holds 299.
  std::wstring second = L"a\n" + std::wstring(310, L'x');
  eml_.checkSendBodyReturnCode(second);
  EXPECT_EQ(second, L"a\n" + std::wstring(299, L'x') + L"\n" + std::wstring(11, L'x'));
  // A "<" 13 places before the break point moves the LF one place ahead of it.
  std::wstring token = std::wstring(287, L'x') + L"<#HEART>" + std::wstring(20, L'y');
  eml_.checkSendBodyReturnCode(token);
  EXPECT_EQ(token.find(L'\n'), 286u);
  // A line of exactly 300 does not break.
  std::wstring exact = std::wstring(300, L'x') + L"\n" + L"z";
  eml_.checkSendBodyReturnCode(exact);
  EXPECT_EQ(exact, std::wstring(300, L'x') + L"\nz");
}

TEST_F(Encode, JisLinesBreakBetweenCharactersAndKeepTheirEscapes) {
  std::string jis;
  content::SjisToJis(S(std::wstring(200, L'漢')), jis);
  eml_.checkSendBodyReturnCode_S(jis);
  std::string back = jis;
  content::JisToSjis(back);
  std::wstring wide = W(back);
  size_t lf = wide.find(L'\n');
  ASSERT_NE(lf, std::wstring::npos);
  // The text survives whole: only a line end was added, between two characters.
  wide.erase(lf, 1);
  EXPECT_EQ(wide, std::wstring(200, L'漢'));
  size_t byteLf = jis.find('\n');
  EXPECT_EQ(jis.substr(byteLf - 3, 3), "\x1B(B");  // kanji mode closed before the line end
  EXPECT_EQ(jis.substr(byteLf + 1, 3), "\x1B$B");
  for (size_t at = 0, next; at < jis.size(); at = next + 1) {
    next = jis.find('\n', at);
    if (next == std::string::npos) next = jis.size();
    EXPECT_LE(next - at, 310u);
  }
}

TEST_F(Encode, FilePartsAreBase64AtSeventySixColumns) {
  WriteDeviceFile(files_ + L"57.bin", std::string(57, 'a'));
  WriteDeviceFile(files_ + L"58.bin", std::string(58, 'a'));
  std::string out57, out58;
  ASSERT_EQ(eml_.encodeFile(files_ + L"57.bin", &out57), static_cast<int>(QVMDL_SUCCESS));
  ASSERT_EQ(eml_.encodeFile(files_ + L"58.bin", &out58), static_cast<int>(QVMDL_SUCCESS));
  EXPECT_EQ(out57.size(), 76u);
  EXPECT_EQ(out57.find('\n'), std::string::npos);
  EXPECT_EQ(out58.size(), 81u);
  EXPECT_EQ(out58.find('\n'), 76u);
  EXPECT_EQ(out58.substr(77), "YQ==");
  std::string none;
  EXPECT_EQ(eml_.encodeFile(files_ + L"missing.bin", &none), static_cast<int>(QVMDL_ERR_EML_ATTACH_OPEN));

  Email mail = Records()[1].second;
  mail.attachments.push_back(File(L"missing.bin"));
  std::string out = "left";
  RawEmail_S raw;
  EXPECT_FALSE(eml_.Encode(&mail, &out, &raw));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_ATTACH_NOT_FOUND);
}

TEST_F(Encode, EnvelopeAndRawTextForSendingDropBccOnly) {
  Email mail = Records()[1].second;
  RawEmail_S envelope;
  std::string stored = EncodeText(mail, &envelope);
  EXPECT_EQ(envelope.sender, "taro@example.jp");
  EXPECT_EQ(envelope.recipients, (std::list<std::string>{"hanako@example.jp", "jiro@example.jp", "boss@example.jp",
                                                         "secret@example.jp"}));
  ASSERT_NE(stored.find("\r\nBcc: secret@example.jp\r\n"), std::string::npos);

  qv::seams::AdvanceClock(61000);
  std::string text;
  RawEmail_S raw;
  raw.text = &text;
  eml_.EmlToRawEmailS(&stored, &raw);
  EXPECT_EQ(raw.sender, "taro@example.jp");
  EXPECT_EQ(raw.recipients, envelope.recipients);
  EXPECT_EQ(text.find("Bcc:"), std::string::npos);
  EXPECT_NE(text.find("\r\nDate: Tue, 08 Dec 2026 19:12:13 +0900\r\n"
                      "Message-Id: <20261208191213.z0345.taro@example.jp>\r\n"),
            std::string::npos);
  // Everything else is kept as it stood: remove the changed lines and compare.
  std::string expected = stored;
  size_t bcc = expected.find("Bcc: ");
  expected.erase(bcc, expected.find("\r\n", bcc) + 2 - bcc);
  size_t date = expected.find("Date: ");
  expected.erase(date, expected.find("\r\n", date) + 2 - date);
  std::string got = text;
  size_t gdate = got.find("Date: ");
  got.erase(gdate, got.find("\r\n", got.find("Message-Id: ")) + 2 - gdate);
  EXPECT_EQ(got, expected);  // multipart: no footer either
}

TEST_F(Encode, RawTextOfASinglePartMailGetsTheFooterUnlessParanoid) {
  std::string stored = EncodeText(Records()[0].second);
  std::string text;
  RawEmail_S raw;
  raw.text = &text;
  eml_.EmlToRawEmailS(&stored, &raw);
  const std::string footer = "\r\n\r\n--------------------\r\nsent from TELLARO 03\r\n";
  ASSERT_GE(text.size(), footer.size());
  EXPECT_EQ(text.substr(text.size() - footer.size()), footer);

  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, L"Software\\NORVALE\\QvMail", L"paranoia", 0));
  std::string quiet;
  RawEmail_S raw2;
  raw2.text = &quiet;
  eml_.EmlToRawEmailS(&stored, &raw2);
  EXPECT_EQ(quiet.find("sent from"), std::string::npos);
}

TEST_F(Encode, RawTextLooksOnlyAtHeaderLines) {
  // "date:" and "bcc:" in the body or inside another header stay untouched;
  // the header names match without regard to case.
  std::string stored =
      "From: a@example.jp\r\nTo: b@example.jp\r\nBCC: hidden@example.jp,\r\n other@example.jp\r\n"
      "X-Note: date: never\r\ndate: Mon, 1 Jan 2001 00:00:00 +0000\r\nSubject: s\r\n\r\n"
      "Bcc: in the body\r\nDate: in the body\r\n";
  std::string text;
  RawEmail_S raw;
  raw.text = &text;
  eml_.EmlToRawEmailS(&stored, &raw);
  EXPECT_EQ(raw.recipients,
            (std::list<std::string>{"b@example.jp", "hidden@example.jp", "other@example.jp"}));
  EXPECT_EQ(text.find("hidden"), std::string::npos);
  EXPECT_EQ(text.find("other@example.jp"), std::string::npos);
  EXPECT_NE(text.find("X-Note: date: never\r\nDate: Tue, 08 Dec 2026 19:11:12 +0900\r\nMessage-Id: "),
            std::string::npos);
  EXPECT_NE(text.find("\r\n\r\nBcc: in the body\r\nDate: in the body\r\n"), std::string::npos);
}

}  // namespace
