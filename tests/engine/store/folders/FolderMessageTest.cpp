// Messages of a real folder: creation within the 1000-message limit, flags,
// removal, moves with their header records, and the checks that leave
// everything as it was when a message is open or unknown.
#include <gtest/gtest.h>

#include <optional>

#include "FolderFixture.h"
#include "engine/public/store/QvStoreBatch.h"
#include "tests/engine/store/files/HeaderRecords.h"

namespace {

using FolderMessageTest = FolderFixture;

// A list of `n` messages with ids from `first`, as another process left it.
std::string ListOf(uint32_t first, uint32_t n) {
  std::string bytes;
  for (uint32_t i = 0; i < n; ++i) bytes += qv::FormatA("%04X\t0\t0\r\n", first + i);
  return bytes;
}

TEST_F(FolderMessageTest, CreateMessageWritesEveryFileAndThenTellsObservers) {
  auto inbox = Open(inbox_);
  struct Checking : RecordingObserver {
    QvFolderInterface* folder;
    bool whole = false;
    void MessageChanged(uint32_t id) override {
      RecordingObserver::MessageChanged(id);
      std::vector<unsigned long> ids;
      whole = folder->GetMessageIds(&ids) && ids.size() == 1;  // list and header cache agree already
    }
  } observer;
  observer.folder = inbox.get();
  ASSERT_TRUE(inbox->RegisterNotify(&observer));
  unsigned long id = 77;
  ASSERT_TRUE(inbox->CreateMessage(&id)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), MsgLine(id, 0, 0));
  const std::string fdb = Fdb(inbox_);
  ASSERT_EQ(fdb.size(), 4000u + 1180u);
  EXPECT_EQ(IndexSlot(fdb, 0), id);
  EXPECT_EQ(IndexSlot(fdb, 1), 0xFFFFFFFFu);
  std::string record(1180, '\0');
  record[0] = static_cast<char>(id);
  EXPECT_EQ(fdb.substr(4000), record);
  EXPECT_EQ(FolderOf(id), inbox_);
  const std::string eml = ReadBytes(EmlPath(id));
  ASSERT_EQ(eml.size(), 256u);
  EXPECT_EQ(eml.substr(0, 12), "QVMAILEMLFMT");
  EXPECT_EQ(observer.heard, (std::vector<std::pair<char, uint32_t>>{{'M', id}}));
  EXPECT_TRUE(observer.whole);
  EXPECT_EQ(inbox->GetRemainMessageCount(), 999u);
}

TEST_F(FolderMessageTest, AThousandMessagesFillAFolder) {
  WriteBytes(Base(inbox_) + L".msg", ListOf(0x100, 1000));
  auto inbox = Open(inbox_);
  EXPECT_EQ(inbox->GetRemainMessageCount(), 0u);
  unsigned long id = 0;
  EXPECT_FALSE(inbox->CreateMessage(&id));
  EXPECT_EQ(inbox->GetErrorInfo(), QVMDL_ERR_STG_FOLDER_FULL);
  EXPECT_FALSE(inbox->CreateMessage(&id, 100));
  EXPECT_EQ(inbox->GetErrorInfo(), QVMDL_ERR_STG_FOLDER_FULL);
  EXPECT_FALSE(Exists(EmlPath(0)));
  EXPECT_EQ(Msg(inbox_), ListOf(0x100, 1000));
}

TEST_F(FolderMessageTest, CreateOfSizeNeedsRoomForTheMessage) {
  auto inbox = Open(inbox_);
  unsigned long id = 0;
  // Header file 1 block + message (1 MiB + 256 bytes) 129 blocks, plus 536576.
  qv::seams::SetFreeSpace(130 * 8192 + 536576);
  EXPECT_FALSE(inbox->CreateMessage(&id, 1 << 20));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(Msg(inbox_), "");
  qv::seams::SetFreeSpace(130 * 8192 + 536577);
  EXPECT_TRUE(inbox->CreateMessage(&id, 1 << 20)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), MsgLine(id, 0, 0));
}

TEST_F(FolderMessageTest, FlagsAreWrittenAndOnlyChangesAreTold) {
  const uint32_t id = NewMessage(inbox_);
  auto inbox = Open(inbox_);
  auto unreadTray = Open(QvFolderSet::kUnreadTray);
  auto partialTray = Open(QvFolderSet::kPartialTray);
  RecordingObserver folder, unread, partial;
  ASSERT_TRUE(inbox->RegisterNotify(&folder));
  ASSERT_TRUE(unreadTray->RegisterNotify(&unread));
  ASSERT_TRUE(partialTray->RegisterNotify(&partial));
  Held node = Node(inbox_);
  ASSERT_TRUE(node->SetMessageFlags(id, true, false));
  EXPECT_EQ(Msg(inbox_), MsgLine(id, 1, 0));
  EXPECT_EQ(folder.heard.size(), 1u);
  EXPECT_EQ(unread.heard, (std::vector<std::pair<char, uint32_t>>{{'M', id}}));
  EXPECT_TRUE(partial.heard.empty());
  // The same values again: no one is told.
  ASSERT_TRUE(node->SetMessageFlags(id, true, false));
  EXPECT_EQ(folder.heard.size(), 1u);
  EXPECT_EQ(unread.heard.size(), 1u);
  ASSERT_TRUE(node->SetMessageFlags(id, true, true));
  EXPECT_EQ(Msg(inbox_), MsgLine(id, 1, 1));
  EXPECT_EQ(partial.heard, (std::vector<std::pair<char, uint32_t>>{{'M', id}}));
  EXPECT_EQ(unread.heard.size(), 1u);
  EXPECT_EQ(inbox->GetUnreadCount(), 1u);
  EXPECT_FALSE(node->SetMessageFlags(0x4321, true, true));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
}

TEST_F(FolderMessageTest, RemoveMessagesChangesNothingWhileOneIsOpen) {
  const uint32_t a = NewMessage(inbox_), b = NewMessage(inbox_);
  auto inbox = Open(inbox_);
  const std::string msg = Msg(inbox_), fdb = Fdb(inbox_);
  QvMessage* open = messages_->OpenMessage(b);
  std::vector<unsigned long> ids{a, b};
  EXPECT_FALSE(inbox->RemoveMessage(ids));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_OPEN);
  EXPECT_EQ(Msg(inbox_), msg);
  EXPECT_EQ(Fdb(inbox_), fdb);
  EXPECT_TRUE(Exists(EmlPath(a)));
  messages_->CloseMessage(open);
  std::vector<unsigned long> stranger{a, 0x999};
  EXPECT_FALSE(inbox->RemoveMessage(stranger));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  EXPECT_TRUE(Exists(EmlPath(a)));

  ASSERT_TRUE(inbox->RemoveMessage(ids)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), "");
  EXPECT_EQ(Fdb(inbox_), std::string(4000, '\xFF'));  // compacted
  EXPECT_FALSE(Exists(EmlPath(a)));
  EXPECT_FALSE(Exists(EmlPath(b)));
  EXPECT_EQ(FolderOf(a), 0xFFFFFFFFu);
  std::vector<unsigned long> none;
  EXPECT_TRUE(inbox->RemoveMessage(none));
}

// A feed run removes as many messages as it files. File calls of removing 16
// less those of removing 8 in one call: the folder's index stays open over the
// call and each id's directory stays (reopening or removing costs 8 more).
TEST_F(FolderMessageTest, RemovingMessagesCostsAFewFileCallsEach) {
  for (const auto& [batched, most] : {std::pair{false, 52}, std::pair{true, 24}}) {
    int calls[2] = {};
    for (int round = 0; round < 2; ++round) {
      NewMessage(inbox_);  // one stays
      std::vector<unsigned long> ids;
      for (int i = 0; i < 8 * (round + 1); ++i) ids.push_back(NewMessage(inbox_));
      std::optional<QvStoreBatch> batch;  // as the retriever files
      if (batched) batch.emplace();
      qv::seams::CountFileCalls();
      ASSERT_TRUE(Open(inbox_)->RemoveMessage(ids)) << std::hex << GetQvMiddleError();
      calls[round] = qv::seams::FileCalls();
      qv::seams::DisarmCrashPoint();
      for (unsigned long id : ids) EXPECT_FALSE(Exists(EmlPath(id)));
    }
    EXPECT_LE(calls[1] - calls[0], most) << "batched " << batched;
  }
}

TEST_F(FolderMessageTest, RemoveOneMessageTellsTheFolderAndTheTrays) {
  const uint32_t keep = NewMessage(inbox_), gone = NewMessage(inbox_);
  SetFlags(inbox_, gone, true, true);
  auto inbox = Open(inbox_);
  auto tray = Open(QvFolderSet::kUnreadTray);
  RecordingObserver folder, unread;
  ASSERT_TRUE(inbox->RegisterNotify(&folder));
  ASSERT_TRUE(tray->RegisterNotify(&unread));
  Held node = Node(inbox_);
  ASSERT_TRUE(node->RemoveOneMessage(gone)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), MsgLine(keep, 0, 0));
  EXPECT_FALSE(Exists(EmlPath(gone)));
  EXPECT_EQ(IndexSlot(Fdb(inbox_), 1), QvMessageHeader::kDeletedSlot);
  EXPECT_EQ(folder.heard, (std::vector<std::pair<char, uint32_t>>{{'M', gone}}));
  EXPECT_EQ(unread.heard, (std::vector<std::pair<char, uint32_t>>{{'M', gone}}));
  EXPECT_FALSE(node->RemoveOneMessage(gone));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
}

TEST_F(FolderMessageTest, MoveMessagesCarriesEntriesFlagsAndHeaderRecords) {
  const uint32_t a = NewMessage(inbox_), b = NewMessage(inbox_), c = NewMessage(inbox_);
  SetFlags(inbox_, b, true, false);
  {
    Held node = Node(inbox_);
    ASSERT_TRUE(node->WriteHeaderRecord(MakeRecord(b, L"件名です")));
  }
  const uint32_t sent = builtIn_[2];
  auto inbox = Open(inbox_);
  auto box = Open(sent);
  std::vector<unsigned long> ids{b, c};
  ASSERT_TRUE(inbox->MoveMessage(ids, box.get())) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), MsgLine(a, 0, 0));
  EXPECT_EQ(Msg(sent), MsgLine(b, 1, 0) + MsgLine(c, 0, 0));
  EXPECT_EQ(FolderOf(b), sent);
  EXPECT_EQ(FolderOf(c), sent);
  EXPECT_EQ(FolderOf(a), inbox_);
  EXPECT_EQ(Fdb(inbox_).size(), 4000u + 1180u);
  QvMessageHeader::Record record{};
  record.id = b;
  ASSERT_TRUE(messages_->ReadHeaderRecord(&record));
  EXPECT_TRUE(SameTexts(record, MakeRecord(b, L"件名です")));
  std::vector<unsigned long> left, moved;
  EXPECT_TRUE(inbox->GetMessageIds(&left));
  EXPECT_TRUE(box->GetMessageIds(&moved));
  EXPECT_EQ(left, (std::vector<unsigned long>{a}));
  EXPECT_EQ(moved, (std::vector<unsigned long>{b, c}));
}

TEST_F(FolderMessageTest, MoveIntoAFolderWith998MovesTwoThenReportsItFull) {
  std::vector<unsigned long> ids;
  for (int i = 0; i < 5; ++i) ids.push_back(NewMessage(inbox_));
  const uint32_t box = builtIn_[3];
  WriteBytes(Base(box) + L".msg", ListOf(0x1000, 998));
  auto inbox = Open(inbox_);
  auto dest = Open(box);
  EXPECT_FALSE(inbox->MoveMessage(ids, dest.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_FULL);
  EXPECT_EQ(Msg(inbox_), MsgLine(ids[2], 0, 0) + MsgLine(ids[3], 0, 0) + MsgLine(ids[4], 0, 0));
  EXPECT_EQ(Msg(box), ListOf(0x1000, 998) + MsgLine(ids[0], 0, 0) + MsgLine(ids[1], 0, 0));
  EXPECT_EQ(FolderOf(ids[0]), box);
  EXPECT_EQ(FolderOf(ids[2]), inbox_);
  EXPECT_EQ(dest->GetRemainMessageCount(), 0u);
}

TEST_F(FolderMessageTest, MoveChecksEveryIdBeforeChangingAnything) {
  const uint32_t a = NewMessage(inbox_), b = NewMessage(inbox_);
  auto inbox = Open(inbox_);
  auto dest = Open(builtIn_[1]);
  const std::string msg = Msg(inbox_);
  QvMessage* open = messages_->OpenMessage(b);
  std::vector<unsigned long> ids{a, b};
  EXPECT_FALSE(inbox->MoveMessage(ids, dest.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_OPEN);
  messages_->CloseMessage(open);
  std::vector<unsigned long> unknown{a, 0x10000};
  EXPECT_FALSE(inbox->MoveMessage(unknown, dest.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_ID_RANGE);
  EXPECT_EQ(Msg(inbox_), msg);
  EXPECT_EQ(Msg(builtIn_[1]), "");
  // A tray keeps no list: a message moved there would be in none.
  auto tray = Open(QvFolderSet::kUnreadTray);
  EXPECT_FALSE(inbox->MoveMessage(a, tray.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_ID_RANGE);
  EXPECT_EQ(Msg(inbox_), msg);
  EXPECT_EQ(FolderOf(a), inbox_);
}

TEST_F(FolderMessageTest, MoveOneMessageTellsBothFolders) {
  const uint32_t a = NewMessage(inbox_);
  const uint32_t box = builtIn_[1];
  auto inbox = Open(inbox_);
  auto dest = Open(box);
  RecordingObserver from, to;
  ASSERT_TRUE(inbox->RegisterNotify(&from));
  ASSERT_TRUE(dest->RegisterNotify(&to));
  Held source = Node(inbox_);
  Held target = Node(box);
  ASSERT_TRUE(source->MoveOneMessage(a, target.node)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), "");
  EXPECT_EQ(Msg(box), MsgLine(a, 0, 0));
  EXPECT_EQ(FolderOf(a), box);
  EXPECT_EQ(IndexSlot(Fdb(box), 0), a);
  EXPECT_EQ(from.heard, (std::vector<std::pair<char, uint32_t>>{{'M', a}}));
  EXPECT_EQ(to.heard, (std::vector<std::pair<char, uint32_t>>{{'M', a}}));
}

TEST_F(FolderMessageTest, MessageIdsNeedTheHeaderCacheInStep) {
  NewMessage(inbox_);
  const uint32_t b = NewMessage(inbox_);
  auto inbox = Open(inbox_);
  {
    Held node = Node(inbox_);
    ASSERT_TRUE(node->AddMessageEntry({0, b + 1, 0, 0}) == QVMDL_SUCCESS);  // a line without a record
  }
  std::vector<unsigned long> ids;
  EXPECT_FALSE(inbox->GetMessageIds(&ids));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_OUT_OF_STEP);
  EXPECT_FALSE(inbox->GetMessageIds(nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
}

TEST_F(FolderMessageTest, HeaderRecordsLoadThroughTheFacade) {
  const uint32_t a = NewMessage(inbox_), b = NewMessage(inbox_);
  {
    Held node = Node(inbox_);
    ASSERT_TRUE(node->WriteHeaderRecord(MakeRecord(a, L"一通目")));
    ASSERT_TRUE(node->WriteHeaderRecord(MakeRecord(b, L"二通目")));
  }
  auto inbox = Open(inbox_);
  QvFolderInterface::FolderMsgHeader records[2];
  ASSERT_TRUE(inbox->LoadMessageHeader(records, 2)) << std::hex << GetQvMiddleError();
  EXPECT_TRUE(SameTexts(records[0], MakeRecord(a, L"一通目")));
  EXPECT_TRUE(SameTexts(records[1], MakeRecord(b, L"二通目")));
  EXPECT_EQ(records[0].date.wHour, 1 + 9);  // JST
  EXPECT_FALSE(inbox->LoadMessageHeader(records, 3));
}

TEST_F(FolderMessageTest, RebuildReadsEachStoredMessageThroughTheFolder) {
  const uint32_t a = NewMessage(inbox_);
  QvMessage* message = messages_->OpenMessage(a);
  ASSERT_TRUE(message->WriteRaw("From: Taro <taro@example.jp>\r\nTo: hanako@example.jp\r\nSubject: hello\r\n"
                                "Date: Fri, 17 May 2024 10:01:02 +0900\r\n\r\nbody\r\n"));
  messages_->CloseMessage(message);
  ASSERT_TRUE(folders_->RebuildFolderHeader(inbox_)) << std::hex << GetQvMiddleError();
  QvMessageHeader::Record record{};
  record.id = a;
  ASSERT_TRUE(messages_->ReadHeaderRecord(&record));
  EXPECT_STREQ(record.subject, L"hello");
  EXPECT_STREQ(record.fromAddress, L"taro@example.jp");
  EXPECT_STREQ(record.fromName, L"Taro");
  EXPECT_STREQ(record.toAddress, L"hanako@example.jp");
  EXPECT_EQ(record.date.wHour, 1);  // UTC in the file
  // A listed message whose file is gone fails the rebuild and keeps the cache.
  const uint32_t b = NewMessage(inbox_);
  const std::string fdb = Fdb(inbox_);
  ASSERT_TRUE(DeleteFileW(EmlPath(b).c_str()));
  EXPECT_FALSE(folders_->RebuildFolderHeader(inbox_));
  EXPECT_EQ(Fdb(inbox_), fdb);
}

TEST_F(FolderMessageTest, RemoveAttachmentsNeedsOneMessageWithAttachments) {
  const uint32_t a = NewMessage(inbox_);
  auto inbox = Open(inbox_);
  std::vector<unsigned long> ids{a}, failed{123};
  EXPECT_FALSE(inbox->RemoveAttachments(ids, &failed));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NO_ATTACHMENT);
  EXPECT_TRUE(failed.empty());
  QvMessage* open = messages_->OpenMessage(a);
  EXPECT_FALSE(inbox->RemoveAttachments(ids, &failed));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_OPEN);
  messages_->CloseMessage(open);
  std::vector<unsigned long> none;
  EXPECT_TRUE(inbox->RemoveAttachments(none, &failed));

  // One with an attachment among them is enough; the other is passed over.
  const uint32_t b = NewMessage(inbox_);
  QvMessage* message = messages_->OpenMessage(b);
  ASSERT_TRUE(message->WriteRaw(
      "From: taro@example.jp\r\nTo: hanako@example.jp\r\nSubject: file\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\n--XYZ\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n\r\nsee the file\r\n--XYZ\r\n"
      "Content-Type: application/octet-stream; name=\"a.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"a.bin\"\r\n\r\nQVRUQUNITUVOVA==\r\n--XYZ--\r\n"));
  QvMessage::Attributes flags;
  flags.mask = QvMessageInterface::kHasAttachments;
  flags.hasAttachments = 1;
  ASSERT_TRUE(message->SetAttributes(flags));
  messages_->CloseMessage(message);
  std::vector<unsigned long> both{a, b};
  ASSERT_TRUE(inbox->RemoveAttachments(both, &failed)) << std::hex << GetQvMiddleError();
  EXPECT_TRUE(failed.empty());
  const std::string stored = ReadBytes(EmlPath(b));
  EXPECT_EQ(stored.find("QVRUQUNITUVOVA=="), std::string::npos);
  EXPECT_NE(stored.find("see the file"), std::string::npos);
  EXPECT_EQ(stored[17], 0);  // has attachments
  EXPECT_EQ(stored[140], 1);  // attachments deleted
}

}  // namespace
