// The exported face of a stored message as its callers use it: opened on the
// message set's shared object, called, deleted. Results and codes of raw
// mail, masked attributes, composed mail and attachment removal; the shared
// object's lifetime; hostile and torn files; the two date conversions.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <tuple>
#include <vector>

#include "engine/public/content/EmlCompose.h"
#include "engine/public/content/Email.h"
#include "engine/public/store/QvMessageInterface.h"
#include "platform/base/WinFormat.h"
#include "tests/engine/store/messages/MessageStoreFixture.h"

namespace {

using A = QvMessageInterface;

const std::string kRaw = "From: a@example.jp\r\nSubject: test\r\n\r\nbody line\r\n";

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) { return memcmp(&a, &b, sizeof a) == 0; }

class MessageFacadeTest : public MessageStoreFixture {
 protected:
  void SetUp() override {
    MessageStoreFixture::SetUp();
    qv::seams::SetClock(SYSTEMTIME{2025, 3, 5, 14, 9, 30, 15, 250});
    id_ = NewMessage(inbox_);
  }

  // As the storage and folder facades hand one out.
  std::unique_ptr<QvMessageInterface> Open(uint32_t id) {
    QvMessage* message = messages_->OpenMessage(id);
    EXPECT_NE(message, nullptr);
    return std::make_unique<QvMessageInterface>(message);
  }
  std::string Eml() { return ReadBytes(EmlPath(id_)); }

  uint32_t id_ = 0;
};

TEST_F(MessageFacadeTest, FacadeWithoutMessageAnswersFalseAndKeepsTheErrorWord) {
  SetQvMiddleError(QVMDL_ERR_STG_DISK_FULL);
  {
    QvMessageInterface none(nullptr);
    Email mail;
    std::string text = "kept";
    A::Attributes a;
    a.mask = A::kHeaderFields;
    a.unread = 7;
    EXPECT_FALSE(none.Write(kRaw));
    EXPECT_FALSE(none.Write(&mail));
    EXPECT_FALSE(none.Read(&text));
    EXPECT_FALSE(none.SeekToHead());
    EXPECT_FALSE(none.SetAttributes(a));
    EXPECT_FALSE(none.GetAttributes(&a));
    EXPECT_FALSE(none.DeleteAttachments());
    EXPECT_EQ(none.GetErrorInfo(), static_cast<uint32_t>(QVMDL_SUCCESS));
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(a.unread, 7);
  }
  EXPECT_EQ(GetQvMiddleError(), static_cast<uint32_t>(QVMDL_ERR_STG_DISK_FULL));
}

TEST_F(MessageFacadeTest, RawMailAndHeaderSurviveEitherWritingOrder) {
  A::Attributes flags;
  flags.mask = A::kUnread | A::kUidl;
  flags.unread = 1;
  flags.uidl = "UID-1";
  {
    // Attributes first, then the raw mail.
    auto m = Open(id_);
    ASSERT_TRUE(m->SetAttributes(flags)) << std::hex << m->GetErrorInfo();
    ASSERT_TRUE(m->Write(kRaw)) << std::hex << m->GetErrorInfo();
  }
  const uint32_t second = NewMessage(inbox_);
  {
    // The raw mail first, then the attributes.
    auto m = Open(second);
    ASSERT_TRUE(m->Write(kRaw));
    ASSERT_TRUE(m->SetAttributes(flags));
  }
  for (uint32_t id : {id_, second}) {
    auto m = Open(id);
    std::string text;
    ASSERT_TRUE(m->SeekToHead());
    ASSERT_TRUE(m->Read(&text)) << id;
    EXPECT_EQ(text, kRaw) << id;
    A::Attributes back;
    back.mask = A::kUnread | A::kUidl;
    ASSERT_TRUE(m->GetAttributes(&back)) << id;
    EXPECT_EQ(back.unread, 1) << id;
    EXPECT_EQ(back.uidl, "UID-1") << id;
    EXPECT_EQ(back.size, kRaw.size()) << id;
  }
  // The unread flag reached the folder's list too.
  EXPECT_EQ(MsgList(inbox_), qv::FormatA("%04X\t1\t0\r\n%04X\t1\t0\r\n", id_, second));
}

TEST_F(MessageFacadeTest, MaskedCallsTouchOnlyTheirFields) {
  auto m = Open(id_);
  A::Attributes w;
  w.mask = A::kIsProtected | A::kListShort2;
  w.isProtected = 1;
  w.unread = 1;  // not in the mask: not written
  w.listShort2 = L"件名";
  ASSERT_TRUE(m->SetAttributes(w));
  EXPECT_EQ(Eml()[16], 0);
  EXPECT_EQ(Eml()[19], 1);

  A::Attributes r;
  r.mask = A::kIsProtected | A::kListShort2;
  r.unread = 9;
  r.uidl = "caller's";
  r.listShort1 = L"caller's";
  ASSERT_TRUE(m->GetAttributes(&r));
  EXPECT_EQ(r.isProtected, 1);
  EXPECT_EQ(r.listShort2, L"件名");
  EXPECT_EQ(r.unread, 9);
  EXPECT_EQ(r.uidl, "caller's");
  EXPECT_EQ(r.listShort1, L"caller's");

  // List fields alone leave the file as it is.
  const std::string before = Eml();
  A::Attributes list;
  list.mask = A::kListText1;
  list.listText1 = std::wstring(300, L'a');
  ASSERT_TRUE(m->SetAttributes(list));
  EXPECT_EQ(Eml(), before);
  list.listText1.clear();
  ASSERT_TRUE(m->GetAttributes(&list));
  EXPECT_EQ(list.listText1, std::wstring(256, L'a'));

  EXPECT_FALSE(m->GetAttributes(nullptr));
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_NULL_ARGUMENT));
  EXPECT_FALSE(m->Read(nullptr));
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_NULL_ARGUMENT));
}

TEST_F(MessageFacadeTest, OlderFileFillsEveryFieldAndSaysSo) {
  std::string old(256, '\0');
  memcpy(old.data(), "QVMAILEMLFMT", 12);
  old[12] = 0x00;  // 4096
  old[13] = 0x10;
  old[16] = 1;
  WriteBytes(EmlPath(id_), old + kRaw);
  auto m = Open(id_);
  A::Attributes a;
  a.mask = A::kUnread | A::kKind;
  EXPECT_FALSE(m->GetAttributes(&a));
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_EML_OLD_VERSION));
  EXPECT_EQ(a.unread, 1);
  EXPECT_EQ(a.kind, static_cast<uint32_t>(A::kOlderFile));
  EXPECT_EQ(a.defaultedMask, static_cast<uint32_t>(A::kKind | A::kAttachmentsDeleted));

  // Upgrading needs the newer versions' fields.
  a.mask = A::kUnread;
  a.unread = 0;
  EXPECT_FALSE(m->SetAttributes(a));
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_EML_OLD_VERSION));
  a.mask = A::kUnread | A::kKind | A::kAttachmentsDeleted;
  a.kind = A::kReceived;
  a.attachmentsDeleted = 0;
  ASSERT_TRUE(m->SetAttributes(a));
  a.mask = A::kKind;
  ASSERT_TRUE(m->GetAttributes(&a));
  EXPECT_EQ(a.kind, static_cast<uint32_t>(A::kReceived));
  EXPECT_EQ(a.defaultedMask, 0u);
}

TEST_F(MessageFacadeTest, ComposedMailIsStoredDecodedBackAndStripped) {
  const std::wstring files = L"\\Acc\\Files\\";
  MakeDir(L"\\Acc\\Files");
  WriteBytes(files + L"memo.bin", "ABCDEFGH");
  Email mail;
  mail.fromAddress = L"taro@example.jp";
  mail.fromName = L"太郎";
  mail.to.push_back(L"花子 <hanako@example.jp>");
  mail.subject = std::wstring(31, L'件');
  mail.body = L"本文です\r\n";
  mail.htmlBody = L"<p>本文です</p>\r\n";
  mail.date = SYSTEMTIME{2025, 3, 6, 14, 18, 0, 0, 0};
  Enclosure file;
  file.name = L"memo.bin";
  file.folder = files;
  mail.attachments.push_back(file);

  auto m = Open(id_);
  ASSERT_TRUE(m->Write(&mail)) << std::hex << m->GetErrorInfo();
  A::Attributes a;
  a.mask = A::kHeaderFields | A::kListFields;
  ASSERT_TRUE(m->GetAttributes(&a)) << std::hex << m->GetErrorInfo();
  EXPECT_EQ(a.kind, static_cast<uint32_t>(A::kComposed));
  EXPECT_EQ(a.unread, 0);
  EXPECT_EQ(a.hasAttachments, 1);
  EXPECT_EQ(a.isHtml, 1);
  EXPECT_EQ(a.date.wHour, 9);  // 18:00 JST
  EXPECT_EQ(a.listText1, L"花子");
  EXPECT_EQ(a.listText2, L"taro@example.jp");
  EXPECT_EQ(a.listShort1, L"太郎");
  EXPECT_EQ(a.listShort2, std::wstring(30, L'件') + L"\u2026");
  EXPECT_TRUE(SameTime(a.listTime, a.date));

  std::string raw;
  ASSERT_TRUE(m->Read(&raw));
  EXPECT_EQ(a.size, raw.size());
  EmlCompose composer;
  Email back;
  ASSERT_TRUE(composer.Decode(&back, &raw));
  EXPECT_EQ(back.subject, mail.subject);
  ASSERT_EQ(back.attachments.size(), 1u);
  EXPECT_EQ(back.attachments.front().displayName, L"memo.bin");

  ASSERT_TRUE(m->DeleteAttachments()) << std::hex << m->GetErrorInfo();
  ASSERT_TRUE(m->SeekToHead());
  ASSERT_TRUE(m->Read(&raw));
  Email stripped;
  ASSERT_TRUE(composer.Decode(&stripped, &raw));
  EXPECT_TRUE(stripped.attachments.empty());
  EXPECT_NE(stripped.body.find(L"本文です"), std::wstring::npos);
  a.mask = A::kHasAttachments | A::kAttachmentsDeleted;
  ASSERT_TRUE(m->GetAttributes(&a));
  EXPECT_EQ(a.hasAttachments, 0);
  EXPECT_EQ(a.attachmentsDeleted, 1);
  // Nothing is left to strip.
  EXPECT_FALSE(m->DeleteAttachments());
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_NO_ATTACHMENT));

  EXPECT_FALSE(m->Write(static_cast<Email*>(nullptr)));
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_NULL_ARGUMENT));
}

TEST_F(MessageFacadeTest, FacadesShareOneMessageUntilTheLastIsDeleted) {
  ASSERT_TRUE(Open(id_)->Write(kRaw));
  EXPECT_FALSE(messages_->IsMessageOpen(id_));  // the temporary facade released it

  auto first = Open(id_);
  auto second = Open(id_);
  EXPECT_TRUE(messages_->IsMessageOpen(id_));
  std::string text;
  ASSERT_TRUE(first->Read(&text));
  EXPECT_EQ(text, kRaw);
  // One read position for both.
  ASSERT_TRUE(second->Read(&text));
  EXPECT_EQ(text, "");

  first.reset();
  EXPECT_TRUE(messages_->IsMessageOpen(id_));
  ASSERT_TRUE(second->SeekToHead());
  ASSERT_TRUE(second->Read(&text));
  EXPECT_EQ(text, kRaw);
  A::Attributes a;
  a.mask = A::kIsProtected;
  a.isProtected = 1;
  EXPECT_TRUE(second->SetAttributes(a));
  second.reset();
  EXPECT_FALSE(messages_->IsMessageOpen(id_));

  // A fresh object starts at the head again.
  auto third = Open(id_);
  ASSERT_TRUE(third->Read(&text));
  EXPECT_EQ(text, kRaw);
}

TEST_F(MessageFacadeTest, HostileFilesFailCleanlyWithTheirCodes) {
  auto m = Open(id_);
  ASSERT_TRUE(m->Write(kRaw));
  const std::string whole = Eml();
  A::Attributes a;
  a.mask = A::kUnread;
  std::string text;

  struct Case {
    const char* what;
    std::string bytes;
    uint32_t readCode;   // Read
    uint32_t getCode;    // GetAttributes
    uint32_t setCode;    // SetAttributes
  };
  std::string foreign = whole;
  foreign[3] = 'X';
  std::string future = whole;
  future[12] = 0x03;  // 4099
  const Case cases[] = {
      {"empty", "", QVMDL_ERR_STG_FILE_FMTILLGL_EML, QVMDL_ERR_STG_FILE_FMTILLGL_EML, QVMDL_ERR_STG_FILE_FMTILLGL_EML},
      {"torn header", whole.substr(0, 255), QVMDL_ERR_STG_FILE_FMTILLGL_EML, QVMDL_ERR_STG_FILE_FMTILLGL_EML,
       QVMDL_ERR_STG_FILE_FMTILLGL_EML},
      {"foreign magic", foreign, QVMDL_SUCCESS, QVMDL_ERR_STG_FILE_VERSION_EML, QVMDL_ERR_STG_FILE_FMTILLGL_EML},
      {"unknown version", future, QVMDL_SUCCESS, QVMDL_ERR_STG_FILE_VERSION_EML, QVMDL_ERR_STG_FILE_FMTILLGL_EML},
  };
  for (const Case& c : cases) {
    WriteBytes(EmlPath(id_), c.bytes);
    ASSERT_TRUE(m->SeekToHead());
    EXPECT_EQ(m->Read(&text), c.readCode == QVMDL_SUCCESS) << c.what;
    if (c.readCode != QVMDL_SUCCESS) {
      EXPECT_EQ(m->GetErrorInfo(), c.readCode) << c.what;
    }
    EXPECT_FALSE(m->GetAttributes(&a)) << c.what;
    EXPECT_EQ(m->GetErrorInfo(), c.getCode) << c.what;
    a.unread = 1;
    EXPECT_FALSE(m->SetAttributes(a)) << c.what;
    EXPECT_EQ(m->GetErrorInfo(), c.setCode) << c.what;
    EXPECT_FALSE(m->DeleteAttachments()) << c.what;
    EXPECT_EQ(Eml(), c.bytes) << c.what;
    EXPECT_FALSE(Exists(EmlPath(id_) + L"_tmp")) << c.what;
  }

  // A zero byte inside the stored text ends what a reader gets.
  WriteBytes(EmlPath(id_), whole + std::string("\0hidden", 7));
  ASSERT_TRUE(m->SeekToHead());
  ASSERT_TRUE(m->Read(&text));
  EXPECT_EQ(text, kRaw);

  // Gone altogether, or a folder in its place.
  DeleteFileW(EmlPath(id_).c_str());
  EXPECT_FALSE(m->Read(&text));
  EXPECT_EQ(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_STG_SAFESAVE_NOFILE_EML));
  EXPECT_FALSE(m->Write(kRaw));
  EXPECT_FALSE(Exists(EmlPath(id_)));
  MakeDir(EmlPath(id_));
  EXPECT_FALSE(m->Read(&text));
  EXPECT_FALSE(m->GetAttributes(&a));
  EXPECT_FALSE(m->Write(kRaw));
  EXPECT_NE(m->GetErrorInfo(), static_cast<uint32_t>(QVMDL_SUCCESS));
  EXPECT_TRUE(std::filesystem::is_directory(HostOf(EmlPath(id_))));
}

// A folder's header fields read in one call give, message by message, what
// each message's own read gives: fields, older-file defaults and codes, an
// interrupted replace settled first.
TEST_F(MessageFacadeTest, OneReadOfManyHeadersAnswersAsEachOwnRead) {
  ASSERT_TRUE(Open(id_)->Write(kRaw));
  const std::string whole = Eml();
  std::string flagged = whole, older = whole, foreign = whole;
  flagged[16] = flagged[19] = flagged[141] = 1;  // unread, protected, HTML
  older[12] = 0x00, older[13] = 0x10, older[17] = 1;  // 4096, with attachments
  foreign[3] = 'X';
  struct Case {
    const char* what;
    std::string bytes;  // the file; empty: none
    std::string moved;  // left as "_tmp" by a replace cut short
  };
  const Case cases[] = {{"whole", whole, ""},        {"flags", flagged, ""},
                        {"older", older, ""},        {"foreign", foreign, ""},
                        {"torn", whole.substr(0, 200), ""}, {"interrupted", "", flagged},
                        {"debris beside", whole, flagged}, {"gone", "", ""}};
  std::vector<uint32_t> ids;
  for (const Case& c : cases) {
    const uint32_t id = NewMessage(inbox_);
    ids.push_back(id);
    DeleteFileW(EmlPath(id).c_str());
    if (!c.bytes.empty()) WriteBytes(EmlPath(id), c.bytes);
    if (!c.moved.empty()) WriteBytes(EmlPath(id) + L"_tmp", c.moved);
  }
  ids.push_back(QvMessageSet::kMaxId + 1);
  const uint32_t mask = A::kUnread | A::kHasAttachments | A::kIsProtected | A::kKind | A::kIsHtml | A::kListShort2;
  std::vector<A::Attributes> batch;
  std::vector<uint32_t> codes;
  messages_->ReadHeaderFields(ids, mask, &batch, &codes);
  ASSERT_EQ(batch.size(), ids.size());
  ASSERT_EQ(codes.size(), ids.size());
  EXPECT_EQ(codes.back(), static_cast<uint32_t>(QVMDL_ERR_STG_MESSAGE_ID_RANGE));
  for (size_t i = 0; i < std::size(cases); ++i) {
    A::Attributes own;
    own.mask = mask & A::kHeaderFields;
    auto m = Open(ids[i]);
    const bool read = m->GetAttributes(&own);
    EXPECT_EQ(codes[i], read ? static_cast<uint32_t>(QVMDL_SUCCESS) : m->GetErrorInfo()) << cases[i].what;
    if (!read && codes[i] != static_cast<uint32_t>(QVMDL_ERR_STG_EML_OLD_VERSION)) continue;
    const A::Attributes& got = batch[i];
    EXPECT_EQ(got.mask, own.mask) << cases[i].what;
    EXPECT_EQ(std::make_tuple(got.unread, got.hasAttachments, got.isProtected, got.kind, got.isHtml, got.size,
                              got.defaultedMask),
              std::make_tuple(own.unread, own.hasAttachments, own.isProtected, own.kind, own.isHtml, own.size,
                              own.defaultedMask))
        << cases[i].what;
  }
  EXPECT_EQ(batch[1].unread + batch[1].isProtected + batch[1].isHtml, 3) << "flags";
  EXPECT_EQ(batch[5].unread, 1) << "interrupted";
  EXPECT_EQ(Eml(), whole);
}

TEST_F(MessageFacadeTest, DatesTakeTodaysOffsetAndOddDatesComeBackAsGiven) {
  // A summer date of a zone that keeps daylight time elsewhere in the year
  // still gets the offset in force now.
  qv::seams::SetTimeZoneBias(-600);
  SYSTEMTIME utc = A::LocalTimeToSystemTime(SYSTEMTIME{1990, 7, 0, 1, 8, 0, 0, 0});
  EXPECT_EQ(utc.wMonth, 6);
  EXPECT_EQ(utc.wDay, 30);
  EXPECT_EQ(utc.wHour, 22);
  const SYSTEMTIME back = A::SystemTimeToLocalTime(utc);
  EXPECT_EQ(back.wDay, 1);
  EXPECT_EQ(back.wHour, 8);

  // A date the conversion cannot hold is handed back as it came.
  const SYSTEMTIME unset{};
  EXPECT_TRUE(SameTime(A::LocalTimeToSystemTime(unset), unset));
  EXPECT_TRUE(SameTime(A::SystemTimeToLocalTime(unset), unset));
  const SYSTEMTIME earliest{1601, 1, 1, 1, 0, 0, 0, 0};
  EXPECT_TRUE(SameTime(A::LocalTimeToSystemTime(earliest), earliest));
  const SYSTEMTIME badMonth{2025, 13, 0, 1, 0, 0, 0, 0};
  EXPECT_TRUE(SameTime(A::SystemTimeToLocalTime(badMonth), badMonth));
}

TEST_F(MessageFacadeTest, RoundTripHoldsOnTheRunningClock) {
  // With the clock running, the offset must come from one reading of it:
  // otherwise a millisecond that passes inside the call leaks into the date.
  qv::seams::ClearClock();
  const SYSTEMTIME local{2025, 6, 0, 15, 12, 0, 0, 500};
  for (int i = 0; i < 20000; ++i) {
    const SYSTEMTIME utc = A::LocalTimeToSystemTime(local);
    ASSERT_EQ(utc.wHour, 3) << i;
    ASSERT_EQ(utc.wMilliseconds, 500) << i;
    ASSERT_TRUE(SameTime(A::SystemTimeToLocalTime(utc), local)) << i;
  }
}

}  // namespace
