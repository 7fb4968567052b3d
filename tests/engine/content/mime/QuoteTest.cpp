// Replies and forwards in modes 1 to 6.
#include "engine/public/content/QuoteEmail.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "tests/engine/content/mime/MimeTestSupport.h"

using namespace mimetest;

namespace {

class Quote : public MimeTest {
 protected:
  Email Received() {
    Email m;
    m.fromAddress = L"sender@example.jp";
    m.fromName = L"Sender";
    m.to = {L"a@example.jp", L"b@example.jp"};
    m.cc = {L"c@example.jp"};
    m.bcc = {L"d@example.jp"};
    m.subject = L"plan";
    m.body = L"line one\r\nline two\r\n";
    m.messageId = L"mid@example.jp";
    m.inReplyTo = L"irt@example.jp";
    m.references = L"ref@example.jp";
    Enclosure one, two, three;
    one.name = L"1.jpg";
    two.name = L"2.jpg";
    three.name = L"3.jpg";
    m.attachments = {one, two, three};
    return m;
  }
  Email Converted(int mode, Email m) {
    QuoteEmail().Convertmaildata(mode, L"me@example.jp", &m);
    return m;
  }
};

TEST_F(Quote, SubjectsPerMode) {
  for (int mode : {1, 2, 4, 5}) EXPECT_EQ(Converted(mode, Received()).subject, L"Re: plan") << mode;
  for (int mode : {3, 6}) EXPECT_EQ(Converted(mode, Received()).subject, L"Fw: plan") << mode;
  Email re = Received();
  re.subject = L"RE: plan";
  EXPECT_EQ(Converted(1, re).subject, L"RE: plan");
  Email fw = Received();
  fw.subject = L"Fw: plan";
  EXPECT_EQ(Converted(3, fw).subject, L"Fw: Fw: plan");
}

TEST_F(Quote, AddressesPerMode) {
  Email one = Converted(1, Received());
  EXPECT_EQ(one.fromAddress, L"me@example.jp");
  EXPECT_EQ(one.to, (std::list<std::wstring>{L"sender@example.jp"}));
  EXPECT_TRUE(one.cc.empty());
  EXPECT_TRUE(one.bcc.empty());
  EXPECT_EQ(one.messageId, L"mid@example.jp");  // kept for the reply's references

  Email withReplyTo = Received();
  withReplyTo.replyTo = L"list@example.jp";
  EXPECT_EQ(Converted(1, withReplyTo).to, (std::list<std::wstring>{L"list@example.jp"}));

  Email all = Converted(2, Received());
  EXPECT_EQ(all.to, (std::list<std::wstring>{L"sender@example.jp"}));
  EXPECT_EQ(all.cc, (std::list<std::wstring>{L"a@example.jp", L"b@example.jp", L"c@example.jp"}));

  for (int mode : {4, 5}) {
    Email kept = Converted(mode, Received());
    EXPECT_EQ(kept.to, Received().to) << mode;
    EXPECT_EQ(kept.cc, Received().cc) << mode;
    EXPECT_EQ(kept.bcc, Received().bcc) << mode;
  }
  for (int mode : {3, 6}) {
    Email fw = Converted(mode, Received());
    EXPECT_TRUE(fw.to.empty() && fw.cc.empty() && fw.bcc.empty() && fw.replyTo.empty()) << mode;
    EXPECT_TRUE(fw.messageId.empty() && fw.inReplyTo.empty() && fw.references.empty()) << mode;
  }
}

TEST_F(Quote, BodiesAndAttachments) {
  Email reply = Converted(1, Received());
  EXPECT_EQ(reply.body, L">line one\r\n>line two\r\n");
  EXPECT_TRUE(reply.attachments.empty());
  Email empty = Received();
  empty.body.clear();
  EXPECT_EQ(Converted(2, empty).body, L">");

  Email forward = Converted(3, Received());
  EXPECT_EQ(forward.body, Received().body);
  EXPECT_EQ(forward.attachments.size(), 3u);

  Email picture = Received();
  picture.isPictureMail = 1;
  Email pictureReply = Converted(5, picture);
  ASSERT_EQ(pictureReply.attachments.size(), 1u);
  EXPECT_EQ(pictureReply.attachments.front().name, L"1.jpg");
}

TEST_F(Quote, FilesIdMovesAttachmentsToTheInlineList) {
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"FilesID", L"2:0,2"));
  Email fw = Converted(6, Received());
  ASSERT_EQ(fw.inlineParts.size(), 2u);
  EXPECT_EQ(fw.inlineParts.front().name, L"1.jpg");
  EXPECT_EQ(fw.inlineParts.back().name, L"3.jpg");
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"FilesID", L"1;2"));
  EXPECT_TRUE(Converted(3, Received()).inlineParts.empty());
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"FilesID", L":1"));
  EXPECT_TRUE(Converted(3, Received()).inlineParts.empty());
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"FilesID", L"0:1"));
  EXPECT_TRUE(Converted(3, Received()).inlineParts.empty());
}

}  // namespace
