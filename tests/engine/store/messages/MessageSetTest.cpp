// The message set: the entry table byte for byte, message files made and
// removed with their slots, shared message objects, the rebuild from the
// older per-directory lists, recovery from damaged files, a torn table, free
// space and a full disk.
#include <gtest/gtest.h>

#include <functional>

#include "MessageStoreFixture.h"
#include "platform/base/WinFormat.h"

namespace {

const std::wstring kData = L"\\Acc\\DATA";
const std::wstring kTable = L"\\Acc\\DATA\\Entry.dat";

class MessageSetTest : public MessageStoreFixture {
 protected:
  // The fixture's own set keeps the table open; the file is taken away
  // underneath it, as after a crash.
  void DropTable() { std::filesystem::remove(HostOf(kTable)); }
  // Opens the storage's message set afresh, as the next run of the program would.
  uint32_t Reopen(QvMessageSet* set) { return set->OpenEntryFile(kRoot, folders_.get()); }
};

TEST_F(MessageSetTest, NewTableIsAllFree) {
  QvMessageSet fresh;
  MakeDir(L"\\New");
  ASSERT_EQ(fresh.CreateEntryFile(L"\\New"), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(L"\\New\\DATA\\Entry.dat"), std::string(262144, '\xFF'));
  EXPECT_EQ(ReadBytes(L"\\New\\DATA\\Status.txt"), "0000\t0");
  EXPECT_FALSE(Exists(L"\\New\\DATA\\Entry.dat_tmp"));
  // A second creation finds the directory there.
  EXPECT_EQ(fresh.CreateEntryFile(L"\\New"), QVMDL_ERR_STG_DIR_EXISTS_DATA);
}

TEST_F(MessageSetTest, MessagesAreMadeAndRemovedWithTheirSlots) {
  uint32_t a = 0, b = 0, c = 0;
  ASSERT_TRUE(messages_->CreateMessageFile(&a, inbox_));
  ASSERT_TRUE(messages_->CreateMessageFile(&b, inbox_));
  ASSERT_TRUE(messages_->CreateMessageFile(&c, 0x1234));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 1u);
  EXPECT_EQ(c, 2u);
  EXPECT_TRUE(Exists(L"\\Acc\\DATA\\01\\00.eml"));
  EXPECT_EQ(ReadBytes(L"\\Acc\\DATA\\02\\00.eml").size(), 256u);
  std::string table = TableBytes();
  ASSERT_EQ(table.size(), 262144u);
  EXPECT_EQ(SlotOf(table, a), inbox_);
  EXPECT_EQ(table.substr(8, 4), std::string("\x34\x12\0\0", 4));
  EXPECT_EQ(SlotOf(table, 3), 0xFFFFFFFFu);
  EXPECT_EQ(ReadBytes(kData + L"\\Status.txt"), "0003\t3");
  uint32_t folder = 0;
  ASSERT_TRUE(messages_->GetMessageFolder(c, &folder));
  EXPECT_EQ(folder, 0x1234u);

  ASSERT_TRUE(messages_->RemoveMessageFile(b));
  EXPECT_FALSE(Exists(L"\\Acc\\DATA\\01\\00.eml"));
  EXPECT_TRUE(Exists(L"\\Acc\\DATA\\01"));  // kept, empty, for the next id it holds
  EXPECT_EQ(SlotOf(TableBytes(), b), 0xFFFFFFFFu);
  EXPECT_EQ(ReadBytes(kData + L"\\Status.txt").substr(5), "2");
  EXPECT_FALSE(messages_->GetMessageFolder(b, &folder));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);

  // Removing several drops their header records too.
  uint32_t d = NewMessage(inbox_), e = NewMessage(inbox_);
  auto* node = static_cast<ListFolder*>(folders_->GetFolder(inbox_));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Header().Live(), 2u);
  ASSERT_TRUE(messages_->RemoveMessageFiles({d, e}, &node->Header()));
  EXPECT_EQ(node->Header().Live(), 0u);
  folders_->CloseFolder(node);
  EXPECT_FALSE(Exists(EmlPath(d)));
  EXPECT_EQ(ReadBytes(kData + L"\\Status.txt").substr(5), "2");
  EXPECT_TRUE(messages_->RemoveMessageFiles({}, nullptr));
}

TEST_F(MessageSetTest, CountTextStaysExactAsItGrowsAndShrinksADigit) {
  WriteBytes(kData + L"\\Status.txt", "0000\tF");
  uint32_t first = 0, second = 0;
  const struct {
    std::function<bool()> change;
    const char* text;
  } steps[] = {
      {[&] { return messages_->CreateMessageFile(&first, inbox_); }, "0001\t10"},
      {[&] { return messages_->CreateMessageFile(&second, inbox_); }, "0002\t11"},
      {[&] { return messages_->RemoveMessageFile(second); }, "0002\t10"},
      {[&] { return messages_->RemoveMessageFile(first); }, "0002\tF"},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(step.change()) << step.text;
    EXPECT_EQ(ReadBytes(kData + L"\\Status.txt"), step.text);
    EXPECT_FALSE(Exists(kData + L"\\Status.txt_tmp")) << step.text;
    EXPECT_FALSE(Exists(kData + L"\\Status.txt_bak")) << step.text;
  }
}

TEST_F(MessageSetTest, SlotsRefuseWrongChanges) {
  uint32_t id = 0;
  ASSERT_TRUE(messages_->CreateMessageFile(&id, inbox_));
  EXPECT_FALSE(messages_->UpdateEntry(QvMessageSet::kAssign, id, 7));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_ENTRY_IN_USE);
  EXPECT_FALSE(messages_->UpdateEntry(QvMessageSet::kFree, 40, 0));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  EXPECT_FALSE(messages_->UpdateEntry(QvMessageSet::kChange, 0x10000, 1));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_ID_RANGE);
  EXPECT_FALSE(messages_->UpdateEntry(4, id, 1));
  ASSERT_TRUE(messages_->UpdateEntry(QvMessageSet::kChange, id, 0xBEEF));
  EXPECT_EQ(SlotOf(TableBytes(), id), 0xBEEFu);
  EXPECT_TRUE(messages_->IsValidId(0xFFFF));
  EXPECT_FALSE(messages_->IsValidId(0x10000));
}

TEST_F(MessageSetTest, StrayFileOrSlotIsSkipped) {
  MakeDir(L"\\Acc\\DATA\\00");
  WriteBytes(L"\\Acc\\DATA\\00\\00.eml", "stray");
  ASSERT_TRUE(messages_->UpdateEntry(QvMessageSet::kAssign, 1, 9));  // a slot without a file
  uint32_t id = 0;
  ASSERT_TRUE(messages_->CreateMessageFile(&id, inbox_));
  EXPECT_EQ(id, 2u);
  EXPECT_EQ(ReadBytes(L"\\Acc\\DATA\\00\\00.eml"), "stray");
}

TEST_F(MessageSetTest, OneSharedObjectPerOpenMessage) {
  uint32_t id = NewMessage(inbox_);
  QvMessage* first = messages_->OpenMessage(id);
  QvMessage* second = messages_->OpenMessage(id);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->Path(), L"\\Acc\\DATA\\00\\00.eml");
  messages_->CloseMessage(first);
  EXPECT_TRUE(messages_->IsMessageOpen(id));
  messages_->CloseMessage(second);
  EXPECT_FALSE(messages_->IsMessageOpen(id));
  messages_->CloseMessage(second);  // unknown now: nothing happens
  EXPECT_FALSE(messages_->IsMessageOpen(id));
}

TEST_F(MessageSetTest, MissingTableIsRebuiltFromOlderLists) {
  DropTable();
  MakeDir(kData + L"\\00");
  MakeDir(kData + L"\\05");
  MakeDir(kData + L"\\07");  // empty and listless: removed
  WriteBytes(kData + L"\\00\\Entry.txt", "00\t0001\r\n03\t00A2\r\n");
  WriteBytes(kData + L"\\05\\Entry.txt", "FF\tFFFE\r\n");
  QvMessageSet reopened;
  ASSERT_EQ(Reopen(&reopened), QVMDL_SUCCESS);
  std::string table = TableBytes();
  ASSERT_EQ(table.size(), 262144u);
  EXPECT_EQ(SlotOf(table, 0x0000), 1u);
  EXPECT_EQ(SlotOf(table, 0x0300), 0xA2u);
  EXPECT_EQ(SlotOf(table, 0xFF05), 0xFFFEu);
  size_t used = 0;
  for (uint32_t id = 0; id < 65536; ++id) used += SlotOf(table, id) != 0xFFFFFFFFu;
  EXPECT_EQ(used, 3u);
  EXPECT_FALSE(Exists(kData + L"\\00\\Entry.txt"));
  EXPECT_FALSE(Exists(kData + L"\\05\\Entry.txt"));
  EXPECT_FALSE(Exists(kData + L"\\07"));
  uint32_t folder = 0;
  ASSERT_TRUE(reopened.GetMessageFolder(0xFF05, &folder));
  EXPECT_EQ(folder, 0xFFFEu);
}

TEST_F(MessageSetTest, MalformedOlderListFailsTheRebuild) {
  const char* lists[] = {"00\t0001\r\n03\t00A", "00\t0001\r\nZZ\t0001\r\n", "00 0001\r\n", "00\t0001\n\n"};
  for (const char* list : lists) {
    DropTable();
    CreateDirectoryW((kData + L"\\00").c_str(), nullptr);
    WriteBytes(kData + L"\\00\\Entry.txt", list);
    QvMessageSet reopened;
    EXPECT_EQ(Reopen(&reopened), QVMDL_ERR_STG_FILE_FMTILLGL_ENTRY) << list;
    EXPECT_FALSE(Exists(kTable)) << list;
    EXPECT_TRUE(Exists(kData + L"\\00\\Entry.txt")) << list;
  }
  // The next rebuild deletes the copy left behind and succeeds.
  EXPECT_TRUE(Exists(kTable + L"_tmp"));
  WriteBytes(kData + L"\\00\\Entry.txt", "00\t0001\r\n");
  QvMessageSet reopened;
  ASSERT_EQ(Reopen(&reopened), QVMDL_SUCCESS);
  EXPECT_FALSE(Exists(kTable + L"_tmp"));
}

TEST_F(MessageSetTest, TornTableIsRefusedNotGrown) {
  uint32_t id = 0;
  ASSERT_TRUE(messages_->CreateMessageFile(&id, inbox_));
  const std::string whole = TableBytes();
  std::vector<size_t> cuts;
  for (size_t cut = 0; cut < 520; ++cut) cuts.push_back(cut);
  for (size_t cut = 520; cut < whole.size(); cut += 4093) cuts.push_back(cut);
  cuts.push_back(whole.size() - 1);
  QvMessageSet reopened;
  for (size_t cut : cuts) {
    WriteBytes(kTable, whole.substr(0, cut));
    EXPECT_EQ(Reopen(&reopened), QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY) << cut;
    EXPECT_EQ(std::filesystem::file_size(HostOf(kTable)), cut) << cut;
    uint32_t folder = 0;
    EXPECT_FALSE(reopened.GetMessageFolder(id, &folder)) << cut;
    uint32_t made = 0;
    if (cut % 64 == 0) {
      EXPECT_FALSE(reopened.CreateMessageFile(&made, inbox_)) << cut;
    }
  }
  WriteBytes(kTable, whole + "x");
  QvMessageSet longer;
  EXPECT_EQ(Reopen(&longer), QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY);
  WriteBytes(kTable, whole);
  QvMessageSet intact;
  ASSERT_EQ(Reopen(&intact), QVMDL_SUCCESS);
  uint32_t folder = 0;
  ASSERT_TRUE(intact.GetMessageFolder(id, &folder));
  EXPECT_EQ(folder, inbox_);
}

TEST_F(MessageSetTest, RecoveryDropsMissingAndShortFiles) {
  uint32_t good = NewMessage(inbox_), missing = NewMessage(inbox_), shortFile = NewMessage(inbox_),
           old = NewMessage(inbox_), foreign = NewMessage(inbox_), cut = NewMessage(inbox_);
  QvMessage* m = messages_->OpenMessage(good);
  QvMessageInterface::Attributes a;
  a.mask = QvMessageInterface::kUnread | QvMessageInterface::kState;
  a.unread = 1;
  a.state = 1;
  ASSERT_TRUE(m->SetAttributes(a));
  messages_->CloseMessage(m);
  DeleteFileW(EmlPath(missing).c_str());
  WriteBytes(EmlPath(shortFile), std::string(100, 'Q'));
  std::string oldHeader(256, '\0');
  memcpy(oldHeader.data(), "QVMAILEMLFMT\x00\x10\0\0\x01", 17);  // version 4096, unread
  WriteBytes(EmlPath(old), oldHeader);
  // A first write killed before its header was put back: magic cleared, text behind.
  WriteBytes(EmlPath(cut), std::string(1, '\0') + ReadBytes(EmlPath(cut)).substr(1) + "Subject: half");
  DeleteFileW(EmlPath(foreign).c_str());
  WriteBytes(L"\\Acc\\Status.txt", "");  // unrelated file
  ASSERT_TRUE(messages_->RemoveMessageFile(foreign));
  WriteBytes(kData + L"\\Status.txt", qv::FormatA("%04X\t%X", 5, 9));  // a count out of step

  std::map<uint32_t, QvMessageSet::RecoveredEntry> out;
  ASSERT_TRUE(messages_->RecoverEntries(&out)) << std::hex << GetQvMiddleError();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[good].folderId, inbox_);
  EXPECT_EQ(out[good].unread, 1);
  EXPECT_EQ(out[good].state, 1);
  EXPECT_EQ(out[old].unread, 1);
  EXPECT_FALSE(Exists(EmlPath(shortFile)));
  EXPECT_FALSE(Exists(EmlPath(cut)));
  std::string table = TableBytes();
  EXPECT_EQ(SlotOf(table, missing), 0xFFFFFFFFu);
  EXPECT_EQ(SlotOf(table, shortFile), 0xFFFFFFFFu);
  EXPECT_EQ(SlotOf(table, cut), 0xFFFFFFFFu);
  EXPECT_EQ(ReadBytes(kData + L"\\Status.txt").substr(5), "2");

  // A file without the store's magic (a header a power cut tore, or no file
  // of ours) leaves the store but is set aside, and the walk goes on.
  const std::string foreignBytes(300, 'Z');
  WriteBytes(EmlPath(good), foreignBytes);
  ASSERT_TRUE(messages_->RecoverEntries(&out)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(out.size(), 1u);
  EXPECT_EQ(out.count(old), 1u);
  EXPECT_FALSE(Exists(EmlPath(good)));
  EXPECT_EQ(ReadBytes(EmlPath(good) + L"_torn"), foreignBytes);
  EXPECT_EQ(SlotOf(TableBytes(), good), 0xFFFFFFFFu);
  // A version of ours that this reader does not know still stops the walk.
  std::string newer = oldHeader;
  newer[13] = 0x20;  // 8192
  WriteBytes(EmlPath(old), newer);
  EXPECT_FALSE(messages_->RecoverEntries(&out));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_VERSION_EML);
}

TEST_F(MessageSetTest, FullDiskUndoesACreation) {
  const std::wstring next = L"\\Acc\\DATA\\00\\00.eml";
  qv::seams::InjectFileFault(next, ERROR_DISK_FULL);
  uint32_t id = 99;
  EXPECT_FALSE(messages_->CreateMessageFile(&id, inbox_));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(id, 99u);
  EXPECT_FALSE(Exists(next));
  EXPECT_FALSE(Exists(L"\\Acc\\DATA\\00"));
  EXPECT_EQ(TableBytes(), std::string(262144, '\xFF'));
  EXPECT_EQ(ReadBytes(kData + L"\\Status.txt"), "0000\t0");

  qv::seams::ClearFileFaults();
  // The message directory's count is rewritten in place.
  qv::seams::InjectFileFault(kData + L"\\Status.txt", ERROR_DISK_FULL);
  EXPECT_FALSE(messages_->CreateMessageFile(&id, inbox_));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(TableBytes(), std::string(262144, '\xFF'));
  EXPECT_EQ(ReadBytes(kData + L"\\Status.txt").substr(5), "0");
  qv::seams::ClearFileFaults();

  // A rebuild needs the reserve too.
  DropTable();
  qv::seams::SetFreeSpace(511999);
  QvMessageSet reopened;
  EXPECT_EQ(Reopen(&reopened), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::SetFreeSpace(512000);
  EXPECT_EQ(Reopen(&reopened), QVMDL_SUCCESS);
}

}  // namespace
