// The stored message file: its 256-byte header byte for byte, the raw mail
// behind it, attributes in the header and in the folder's lists, older
// versions, torn and damaged files, interrupted saves, free space and a full
// disk.
#include <gtest/gtest.h>

#include "MessageStoreFixture.h"
#include "engine/public/content/Email.h"
#include "platform/base/WinFormat.h"

namespace {

using A = QvMessageInterface;

constexpr SYSTEMTIME kClock{2025, 3, 5, 14, 9, 30, 15, 250};  // a Friday

uint32_t U32At(const std::string& b, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data()) + at;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16At(const std::string& b, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data()) + at;
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
bool AllZero(const std::string& b, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (b[i] != 0) return false;
  }
  return true;
}
bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) { return memcmp(&a, &b, sizeof a) == 0; }

// A header of the given version written by hand, as older releases left it.
std::string OldHeader(uint32_t version, uint8_t unread) {
  std::string h(256, '\0');
  memcpy(h.data(), "QVMAILEMLFMT", 12);
  for (int i = 0; i < 4; ++i) h[12 + i] = static_cast<char>(version >> (8 * i));
  h[16] = static_cast<char>(unread);
  h[20] = static_cast<char>(0xE8);  // 2024
  h[21] = 0x07;
  return h;
}

const std::string kRaw = "From: a@example.jp\r\nSubject: test\r\n\r\nbody line\r\n";

class MessageFileTest : public MessageStoreFixture {
 protected:
  void SetUp() override {
    MessageStoreFixture::SetUp();
    qv::seams::SetClock(kClock);
    id_ = NewMessage(inbox_);
    message_ = messages_->OpenMessage(id_);
    ASSERT_NE(message_, nullptr);
  }
  void TearDown() override {
    messages_->CloseMessage(message_);
    MessageStoreFixture::TearDown();
  }
  std::string Eml() { return ReadBytes(EmlPath(id_)); }

  uint32_t id_ = 0;
  QvMessage* message_ = nullptr;
};

TEST_F(MessageFileTest, NewFileIsAHeaderOfDefaults) {
  std::string b = Eml();
  ASSERT_EQ(b.size(), 256u);
  EXPECT_EQ(b.substr(0, 12), "QVMAILEMLFMT");
  EXPECT_EQ(U32At(b, 12), 4098u);
  EXPECT_TRUE(AllZero(b, 16, 20));
  const uint16_t words[8] = {2025, 3, 5, 14, 9, 30, 15, 250};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(U16At(b, 20 + 2 * i), words[i]) << i;
  EXPECT_TRUE(AllZero(b, 36, 142));
  // The folder it was made in is recorded; no text yet.
  EXPECT_EQ(b[142], 2);
  EXPECT_EQ(U32At(b, 144), inbox_);
  EXPECT_TRUE(AllZero(b, 148, 256));

  A::Attributes a;
  a.mask = A::kHeaderFields;
  a.unread = a.kind = 9;
  ASSERT_TRUE(message_->GetAttributes(&a)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(a.unread, 0);
  EXPECT_EQ(a.kind, 0u);
  EXPECT_EQ(a.size, 0u);
  EXPECT_EQ(a.defaultedMask, 0u);
  EXPECT_TRUE(SameTime(a.date, kClock));
}

TEST_F(MessageFileTest, HeaderFieldsLandAtTheirOffsets) {
  A::Attributes a;
  a.mask = A::kHeaderFields;
  a.unread = 1;
  a.hasAttachments = 2;
  a.state = 1;
  a.isProtected = 4;
  a.date = SYSTEMTIME{2023, 12, 0, 31, 23, 59, 58, 999};
  a.uidl = "UID-0001";
  a.kind = 0x01020304;
  a.attachmentsDeleted = 1;
  a.isHtml = 1;
  ASSERT_TRUE(message_->SetAttributes(a)) << std::hex << GetQvMiddleError();
  ASSERT_TRUE(message_->WriteRaw(kRaw));

  std::string b = Eml();
  ASSERT_EQ(b.size(), 256 + kRaw.size());
  EXPECT_EQ(b.substr(0, 12), "QVMAILEMLFMT");
  EXPECT_EQ(std::string(b.data() + 16, 4), std::string("\x01\x02\x01\x04", 4));
  EXPECT_EQ(U16At(b, 20), 2023);
  EXPECT_EQ(U16At(b, 26), 31);
  EXPECT_EQ(U16At(b, 34), 999);
  EXPECT_EQ(std::string(b.data() + 36, 8), "UID-0001");
  EXPECT_TRUE(AllZero(b, 44, 136));
  EXPECT_EQ(std::string(b.data() + 136, 4), std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(b[140], 1);
  EXPECT_EQ(b[141], 1);
  // Folder and text recorded: the text's length and digest.
  EXPECT_EQ(b[142], 3);
  EXPECT_EQ(U32At(b, 144), inbox_);
  EXPECT_EQ(U32At(b, 148), kRaw.size());
  const uint64_t digest = QvMessage::TextDigest(kRaw.data(), kRaw.size());
  EXPECT_EQ(U32At(b, 152), static_cast<uint32_t>(digest));
  EXPECT_EQ(U32At(b, 156), static_cast<uint32_t>(digest >> 32));
  EXPECT_TRUE(AllZero(b, 160, 256));
  EXPECT_EQ(b.substr(256), kRaw);

  A::Attributes back;
  back.mask = A::kHeaderFields;
  ASSERT_TRUE(message_->GetAttributes(&back));
  EXPECT_EQ(back.size, kRaw.size());
  EXPECT_EQ(back.uidl, "UID-0001");
  EXPECT_EQ(back.kind, 0x01020304u);
  EXPECT_EQ(back.isProtected, 4);
  EXPECT_TRUE(SameTime(back.date, a.date));
  // unread and state went to the folder's list line as well.
  EXPECT_EQ(MsgList(inbox_), qv::FormatA("%04X\t1\t1\r\n", id_));
}

TEST_F(MessageFileTest, LongUidIsCutToOneHundredBytes) {
  A::Attributes a;
  a.mask = A::kUidl;
  for (int i = 0; i < 120; ++i) a.uidl.push_back(static_cast<char>('A' + i % 26));
  // Upgrade rule aside, a 4098 file takes a single field.
  ASSERT_TRUE(message_->SetAttributes(a));
  std::string b = Eml();
  EXPECT_EQ(std::string(b.data() + 36, 100), a.uidl.substr(0, 100));
  EXPECT_EQ(U32At(b, 136), 0u);
  A::Attributes back;
  back.mask = A::kUidl;
  ASSERT_TRUE(message_->GetAttributes(&back));
  EXPECT_EQ(back.uidl, a.uidl.substr(0, 100));
  // A shorter UID afterwards leaves no tail of the longer one.
  a.uidl = "short";
  ASSERT_TRUE(message_->SetAttributes(a));
  EXPECT_TRUE(AllZero(Eml(), 41, 136));
}

TEST_F(MessageFileTest, OlderVersionsReadWithDefaultsAndUpgradeOnlyWhole) {
  for (uint32_t version : {4096u, 4097u}) {
    std::string old = OldHeader(version, 1) + kRaw;
    WriteBytes(EmlPath(id_), old);
    A::Attributes a;
    a.mask = A::kUnread | A::kKind;
    SetQvMiddleError(0);
    EXPECT_FALSE(message_->GetAttributes(&a));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_EML_OLD_VERSION);
    EXPECT_EQ(a.unread, 1);
    EXPECT_EQ(a.kind, 2u);
    EXPECT_EQ(a.attachmentsDeleted, 0);
    EXPECT_EQ(a.defaultedMask, 0x1800u);
    EXPECT_EQ(a.size, kRaw.size());

    A::Attributes w;
    w.mask = A::kUnread;
    EXPECT_FALSE(message_->SetAttributes(w));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_EML_OLD_VERSION);
    EXPECT_EQ(Eml(), old);
    EXPECT_FALSE(Exists(EmlPath(id_) + L"_tmp"));
  }
  A::Attributes w;
  w.mask = A::kUnread | A::kKind | A::kAttachmentsDeleted;
  w.unread = 0;
  w.kind = A::kReceived;
  ASSERT_TRUE(message_->SetAttributes(w)) << std::hex << GetQvMiddleError();
  std::string b = Eml();
  EXPECT_EQ(U32At(b, 12), 4098u);
  EXPECT_EQ(b[16], 0);
  EXPECT_EQ(U32At(b, 136), 1u);
  EXPECT_EQ(b.substr(256), kRaw);
}

TEST_F(MessageFileTest, ForeignMagicIsRefusedBothWays) {
  std::string foreign = OldHeader(4098, 0) + kRaw;
  foreign[0] = 'X';
  WriteBytes(EmlPath(id_), foreign);
  A::Attributes a;
  a.mask = A::kUnread;
  EXPECT_FALSE(message_->GetAttributes(&a));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_VERSION_EML);
  EXPECT_FALSE(message_->SetAttributes(a));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_EML);
  std::string wrongVersion = OldHeader(4099, 0);
  WriteBytes(EmlPath(id_), wrongVersion);
  EXPECT_FALSE(message_->GetAttributes(&a));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_VERSION_EML);
  EXPECT_EQ(Eml(), wrongVersion);
}

TEST_F(MessageFileTest, RawMailReadsOnceUntilSeekToHead) {
  A::Attributes a;
  a.mask = A::kUnread;
  a.unread = 1;
  ASSERT_TRUE(message_->SetAttributes(a));
  ASSERT_TRUE(message_->WriteRaw(kRaw + std::string("\0tail", 5)));
  EXPECT_EQ(Eml().substr(256), kRaw);  // up to the first zero byte
  EXPECT_EQ(Eml()[16], 1);             // the header was kept

  std::string text = "stale";
  ASSERT_TRUE(message_->Read(&text));
  EXPECT_EQ(text, kRaw);
  ASSERT_TRUE(message_->Read(&text));
  EXPECT_EQ(text, "");
  ASSERT_TRUE(message_->SeekToHead());
  ASSERT_TRUE(message_->Read(&text));
  EXPECT_EQ(text, kRaw);
  EXPECT_FALSE(message_->Read(nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
}

TEST_F(MessageFileTest, ListFieldsLiveInTheFolderRecord) {
  A::Attributes a;
  a.mask = A::kListFields;
  a.listText1 = L"宛先";
  a.listText2 = L"from@example.jp";
  a.listShort1 = L"差出人";
  a.listShort2 = std::wstring(31, L'件');
  a.listTime = SYSTEMTIME{2024, 1, 2, 3, 4, 5, 6, 7};
  const std::string before = Eml();
  ASSERT_TRUE(message_->SetAttributes(a)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Eml(), before);  // the file is not touched for list fields

  QvFolderInterface::FolderMsgHeader record{};
  record.id = id_;
  ASSERT_TRUE(messages_->ReadHeaderRecord(&record));
  EXPECT_EQ(std::wstring(record.subject), std::wstring(30, L'件') + L"\u2026");
  EXPECT_EQ(std::wstring(record.toAddress), L"宛先");

  A::Attributes back;
  back.mask = A::kListFields;
  ASSERT_TRUE(message_->GetAttributes(&back));
  EXPECT_EQ(back.listText2, L"from@example.jp");
  EXPECT_EQ(back.listShort1, L"差出人");
  EXPECT_EQ(back.listShort2, std::wstring(30, L'件') + L"\u2026");
  EXPECT_EQ(back.listTime.wDay, 3);
}

TEST_F(MessageFileTest, ComposedMailIsStoredWithCrLfAndItsRecord) {
  Email mail;
  mail.fromAddress = L"taro@example.jp";
  mail.fromName = L"太郎";
  mail.to.push_back(L"花子 <hanako@example.jp>");
  mail.subject = L"会議の件";
  mail.body = L"明日の会議について\r\nよろしく\r\n";
  mail.date = SYSTEMTIME{2025, 3, 6, 14, 18, 0, 0, 0};
  ASSERT_TRUE(message_->WriteEmail(&mail)) << std::hex << GetQvMiddleError();

  std::string b = Eml();
  ASSERT_GT(b.size(), 256u);
  EXPECT_EQ(b[16], 0);
  EXPECT_EQ(b[17], 0);
  EXPECT_EQ(U32At(b, 136), 3u);
  EXPECT_EQ(b[141], 0);
  // The device is on JST: 18:00 local is 09:00 UTC.
  EXPECT_EQ(U16At(b, 28), 9);
  std::string raw = b.substr(256);
  EXPECT_NE(raw.find("\r\n\r\n"), std::string::npos);
  for (size_t at = raw.find('\n'); at != std::string::npos; at = raw.find('\n', at + 1)) {
    ASSERT_GT(at, 0u);
    EXPECT_EQ(raw[at - 1], '\r') << "bare LF at " << at;
  }
  QvFolderInterface::FolderMsgHeader record{};
  record.id = id_;
  ASSERT_TRUE(messages_->ReadHeaderRecord(&record));
  EXPECT_EQ(std::wstring(record.toAddress), L"花子");
  EXPECT_EQ(std::wstring(record.fromAddress), L"taro@example.jp");
  EXPECT_EQ(std::wstring(record.fromName), L"太郎");
  EXPECT_EQ(std::wstring(record.subject), L"会議の件");
  EXPECT_EQ(record.date.wHour, 9);
  EXPECT_FALSE(message_->WriteEmail(nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
}

TEST_F(MessageFileTest, DatesConvertWithTheOffsetInForce) {
  const SYSTEMTIME local{2024, 12, 2, 31, 23, 30, 0, 5};
  SYSTEMTIME utc = QvMessageInterface::LocalTimeToSystemTime(local);
  EXPECT_EQ(utc.wYear, 2024);
  EXPECT_EQ(utc.wDay, 31);
  EXPECT_EQ(utc.wHour, 14);
  EXPECT_EQ(utc.wMilliseconds, 5);
  EXPECT_TRUE(SameTime(QvMessageInterface::SystemTimeToLocalTime(utc), local));
  qv::seams::SetTimeZoneBias(300);  // five hours behind UTC
  utc = QvMessageInterface::LocalTimeToSystemTime(SYSTEMTIME{2025, 1, 3, 1, 22, 0, 0, 0});
  EXPECT_EQ(utc.wDay, 2);
  EXPECT_EQ(utc.wHour, 3);
}

TEST_F(MessageFileTest, AttachmentsAreStrippedOnlyWhenThereAreSome) {
  const std::string multipart =
      "From: a@example.jp\r\nSubject: files\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"BB\"\r\n\r\n"
      "--BB\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nsee attached\r\n"
      "--BB\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
      "Content-Disposition: attachment; filename=\"a.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "QUJDREVGR0g=\r\n--BB--\r\n";
  ASSERT_TRUE(message_->WriteRaw(multipart));
  EXPECT_FALSE(message_->DeleteAttachments());
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NO_ATTACHMENT);

  A::Attributes a;
  a.mask = A::kHasAttachments | A::kState;
  a.hasAttachments = 1;
  a.state = 1;  // partially received: the rest is still on the server
  ASSERT_TRUE(message_->SetAttributes(a));
  EXPECT_FALSE(message_->DeleteAttachments());
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NO_ATTACHMENT);

  a.mask = A::kState;
  a.state = 0;
  ASSERT_TRUE(message_->SetAttributes(a));
  // A reader that has already reached the end does not cut the mail short.
  std::string seen;
  ASSERT_TRUE(message_->Read(&seen));
  ASSERT_TRUE(message_->DeleteAttachments()) << std::hex << GetQvMiddleError();
  std::string raw = Eml().substr(256);
  EXPECT_EQ(raw.find("a.bin"), std::string::npos);
  EXPECT_NE(raw.find("see attached"), std::string::npos);
  EXPECT_EQ(Eml()[17], 0);
  EXPECT_EQ(Eml()[140], 1);
}

TEST_F(MessageFileTest, TornFileFailsCleanlyAtEveryLength) {
  A::Attributes full;
  full.mask = A::kUnread | A::kUidl;
  full.unread = 1;
  full.uidl = "u1";
  ASSERT_TRUE(message_->SetAttributes(full));
  ASSERT_TRUE(message_->WriteRaw(kRaw));
  const std::string whole = Eml();
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    const std::string torn = whole.substr(0, cut);
    WriteBytes(EmlPath(id_), torn);
    std::string text;
    ASSERT_TRUE(message_->SeekToHead());
    bool read = message_->Read(&text);
    A::Attributes a;
    a.mask = A::kUnread | A::kUidl;
    bool got = message_->GetAttributes(&a);
    A::Attributes w;
    w.mask = A::kIsProtected;
    w.isProtected = 1;
    if (cut < 256) {
      EXPECT_FALSE(read) << cut;
      EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_EML) << cut;
      EXPECT_FALSE(got) << cut;
      EXPECT_FALSE(message_->SetAttributes(w)) << cut;
      EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_EML) << cut;
      EXPECT_EQ(Eml(), torn) << cut;
    } else {
      EXPECT_TRUE(read) << cut;
      EXPECT_EQ(text, kRaw.substr(0, cut - 256)) << cut;
      EXPECT_TRUE(got) << cut;
      EXPECT_EQ(a.uidl, "u1");
    }
    EXPECT_FALSE(Exists(EmlPath(id_) + L"_tmp")) << cut;
  }
}

TEST_F(MessageFileTest, InterruptedSavesAreSettledBeforeUse) {
  ASSERT_TRUE(message_->WriteRaw(kRaw));
  const std::string committed = Eml();
  // Cut off while writing the copy: the stored file holds.
  WriteBytes(EmlPath(id_) + L"_tmp", committed.substr(0, 300));
  std::string text;
  ASSERT_TRUE(message_->Read(&text));
  EXPECT_EQ(text, kRaw);
  EXPECT_FALSE(Exists(EmlPath(id_) + L"_tmp"));
  // Cut off between the two moves of the commit: the whole copy wins.
  std::string newer = committed.substr(0, 256) + "Subject: newer\r\n\r\n";
  ASSERT_TRUE(MoveFileW(EmlPath(id_).c_str(), (EmlPath(id_) + L"_bak").c_str()));
  WriteBytes(EmlPath(id_) + L"_tmp", newer);
  ASSERT_TRUE(message_->SeekToHead());
  ASSERT_TRUE(message_->Read(&text));
  EXPECT_EQ(text, "Subject: newer\r\n\r\n");
  EXPECT_FALSE(Exists(EmlPath(id_) + L"_bak"));
  // Gone altogether: the settling code says so.
  DeleteFileW(EmlPath(id_).c_str());
  EXPECT_FALSE(message_->Read(&text));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_SAFESAVE_NOFILE_EML);
}

TEST_F(MessageFileTest, ChangesNeedTheReserveOfFreeSpace) {
  const std::string raw(10000, 'x');  // rounds up to 16384
  qv::seams::SetFreeSpace(512000 + 16384 - 1);
  EXPECT_FALSE(message_->WriteRaw(raw));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(Eml().size(), 256u);
  qv::seams::SetFreeSpace(512000 + 16384);
  ASSERT_TRUE(message_->WriteRaw(raw));

  A::Attributes a;
  a.mask = A::kIsProtected;
  a.isProtected = 1;
  qv::seams::SetFreeSpace(512000 + 256 + 10000 - 1);
  EXPECT_FALSE(message_->SetAttributes(a));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(Eml()[19], 0);
  qv::seams::SetFreeSpace(512000 + 256 + 10000);
  EXPECT_TRUE(message_->SetAttributes(a));
  EXPECT_EQ(Eml()[19], 1);
}

// The state and UID mark goes where it stands on a volume with no room at
// all, and changes nothing but its bytes; the same fields as an ordinary
// change still ask for the reserve.
TEST_F(MessageFileTest, TheMarkInPlaceNeedsNoReserve) {
  ASSERT_TRUE(message_->WriteRaw(kRaw));
  const std::string before = Eml();
  qv::seams::SetFreeSpace(0);
  A::Attributes a;
  a.mask = A::kState | A::kUidl;
  a.state = 2;
  a.uidl = "sent-copy:7";
  EXPECT_FALSE(message_->SetAttributes(a));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(Eml(), before);
  ASSERT_TRUE(message_->MarkInPlace(2, "sent-copy:7")) << std::hex << GetQvMiddleError();
  A::Attributes back;
  back.mask = A::kState | A::kUidl;
  ASSERT_TRUE(message_->GetAttributes(&back));
  EXPECT_EQ(back.state, 2);
  EXPECT_EQ(back.uidl, "sent-copy:7");
  const std::string after = Eml();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(256), before.substr(256));
}

// A full disk leaves the file as it was: a message without text (whose first
// text goes in place) as well as a stored one (replaced through a copy).
TEST_F(MessageFileTest, FullDiskLeavesTheFileAsItWas) {
  for (bool stored : {false, true}) {
    if (stored) {
      ASSERT_TRUE(message_->WriteRaw(kRaw));
    }
    const std::string before = Eml();
    qv::seams::InjectFileFault(EmlPath(id_) + L"_tmp", ERROR_DISK_FULL);
    qv::seams::InjectFileFault(EmlPath(id_), ERROR_DISK_FULL);
    EXPECT_FALSE(message_->WriteRaw("Subject: lost\r\n\r\n"));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
    A::Attributes a;
    a.mask = A::kUnread;
    a.unread = 1;
    EXPECT_FALSE(message_->SetAttributes(a));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
    qv::seams::ClearFileFaults();
    EXPECT_EQ(Eml(), before) << stored;
    EXPECT_FALSE(Exists(EmlPath(id_) + L"_tmp"));
    EXPECT_EQ(MsgList(inbox_), qv::FormatA("%04X\t0\t0\r\n", id_));
  }
}

}  // namespace
