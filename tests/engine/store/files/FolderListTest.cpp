// The ".fld" and ".msg" lists: their bytes, the reader's refusals of what no
// writer of ours leaves, and changes made through two list objects at once.
#include <string>
#include <vector>

#include "StoreFixture.h"
#include "engine/store/QvFolderEntry.h"
#include "engine/store/QvMessageEntry.h"

namespace {

class FolderListTest : public StoreFixture {
 protected:
  const std::wstring fld_ = L"\\f.fld";
  const std::wstring msg_ = L"\\f.msg";
  void SetUp() override {
    StoreFixture::SetUp();
    WriteBytes(fld_, "");
    WriteBytes(msg_, "");
  }

  // A list's bytes, the reader's answer and how many lines it keeps.
  struct ReadCase {
    std::string bytes;
    uint32_t code;
    size_t kept;
  };
  template <typename List>
  void ExpectReads(const std::wstring& path, const std::vector<ReadCase>& cases) {
    for (const ReadCase& c : cases) {
      WriteBytes(path, c.bytes);
      List list;
      EXPECT_EQ(list.ReadFile(path), c.code) << c.bytes;
      EXPECT_EQ(list.Entries().size(), c.kept) << c.bytes;
    }
  }
};

TEST_F(FolderListTest, FolderLinesAreCp932WithHalfWidthKana) {
  QvFolderEntry list;
  ASSERT_EQ(list.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_EQ(list.Add({0, 1, L"受信ﾌｫﾙﾀﾞ"}), QVMDL_SUCCESS);
  ASSERT_EQ(list.Add({0, 0x2A, L"下書き"}), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(fld_),
            "0001\t\x8E\xF3\x90\x4D\xCC\xAB\xD9\xC0\xDE\r\n"
            "002A\t\x89\xBA\x8F\x91\x82\xAB\r\n");
  QvFolderEntry again;
  ASSERT_EQ(again.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_EQ(again.Entries().size(), 2u);
  EXPECT_EQ(again.Entries()[0].name, L"受信ﾌｫﾙﾀﾞ");
  EXPECT_EQ(again.Entries()[1].id, 0x2Au);
}

TEST_F(FolderListTest, FolderReaderRefusesMalformedLines) {
  ExpectReads<QvFolderEntry>(fld_, {
      {"0012\tname\r\n", QVMDL_SUCCESS, 1},
      {"0012\tname\n", QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 0},
      {"0012\tname\r\n0013 name\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 1},  // fifth byte not a tab
      {"00x2\tname\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 0},
      {"0012\tna\rme\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 0},
      {std::string("0012\tna\0me\r\n", 12), QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 0},
      {"0012\tname", QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 0},
      {"0012\t\r\n", QVMDL_SUCCESS, 1},  // an empty name is a name
      {"0012\t" + std::string(252, 'a') + "\r\n", QVMDL_SUCCESS, 1},
      {"0012\t" + std::string(253, 'a') + "\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_FLD, 0},
      {"", QVMDL_SUCCESS, 0},
  });
}

TEST_F(FolderListTest, FolderWriterRefusesNamesThatWouldNotReadBack) {
  QvFolderEntry list;
  ASSERT_EQ(list.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_EQ(list.Add({0, 1, std::wstring(126, L'漢')}), QVMDL_SUCCESS);  // 252 bytes
  std::string before = ReadBytes(fld_);
  EXPECT_EQ(list.Add({0, 2, std::wstring(127, L'漢')}), QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD);
  EXPECT_EQ(list.Add({0, 3, L"a\r\nb"}), QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD);
  EXPECT_EQ(list.Update(1, {1, 0, std::wstring(L"x\0y", 3)}), QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD);
  EXPECT_EQ(ReadBytes(fld_), before);
  EXPECT_EQ(list.Update(7, {1, 0, L"x"}), QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  EXPECT_EQ(list.Remove(7), QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  ASSERT_EQ(list.Update(1, {1, 0, L"新しい"}), QVMDL_SUCCESS);
  FolderEntryRecord got;
  ASSERT_TRUE(list.Get(1, &got));
  EXPECT_EQ(got.name, L"新しい");
  ASSERT_EQ(list.Remove(1), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(fld_), "");
}

TEST_F(FolderListTest, MessageLinesAndFlags) {
  QvMessageEntry list;
  ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS);
  ASSERT_EQ(list.Add({0, 0x1F, 1, 0}), QVMDL_SUCCESS);
  ASSERT_EQ(list.AddMany({{0, 0x20, 0, 1}, {0, 0xABCD, 1, 1}}), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(msg_), "001F\t1\t0\r\n0020\t0\t1\r\nABCD\t1\t1\r\n");
  EXPECT_EQ(list.GetUnreadCount(), 2u);
  std::vector<uint32_t> ids;
  list.GetPartialIds(&ids);
  EXPECT_EQ(ids, (std::vector<uint32_t>{0x20, 0xABCD}));
  list.GetUnreadIds(&ids);
  EXPECT_EQ(ids, (std::vector<uint32_t>{0x1F, 0xABCD}));
  ASSERT_EQ(list.Update(0x1F, {2, 0, 1, 1}), QVMDL_SUCCESS);  // only the partial flag is given
  MessageEntryRecord e;
  ASSERT_TRUE(list.Get(0x1F, &e));
  EXPECT_EQ(e.unread, 1);
  EXPECT_EQ(e.partial, 1);
  EXPECT_EQ(list.Update(5, {3, 0, 0, 0}), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  std::vector<MessageEntryRecord> picked;
  EXPECT_TRUE(list.Collect({5, 0x20}, &picked));
  ASSERT_EQ(picked.size(), 1u);
  EXPECT_EQ(picked[0].id, 0x20u);
  EXPECT_FALSE(list.Collect({5}, &picked));
}

// A line as "%04X\t%d\t%d\r\n" writes it, any flag set counting as 1; an id
// past four digits has no line.
TEST_F(FolderListTest, MessageLinesAreWrittenAsTheFormatWritesThem) {
  const struct {
    MessageEntryRecord entry;
    const char* line;  // null: refused
  } cases[] = {
      {{0, 0, 0, 0}, "0000\t0\t0\r\n"},      {{0, 0xFFFF, 1, 1}, "FFFF\t1\t1\r\n"},
      {{0, 0x0A0, 2, 0}, "00A0\t1\t0\r\n"},  {{0, 0x1234, 0, 7}, "1234\t0\t1\r\n"},
      {{0, 0x10000, 0, 0}, nullptr},
  };
  for (const auto& c : cases) {
    std::string bytes;
    EXPECT_EQ(QvMessageEntry::Format({c.entry}, &bytes), c.line != nullptr) << c.entry.id;
    if (c.line != nullptr) {
      EXPECT_EQ(bytes, c.line);
    }
  }
  std::string both;
  ASSERT_TRUE(QvMessageEntry::Format({cases[0].entry, cases[1].entry}, &both));
  EXPECT_EQ(both, std::string(cases[0].line) + cases[1].line);
}

// New lines are appended and a flag is changed in its own line; a line in
// another spelling than ours is rewritten with the whole list, and a failed
// append leaves the list as it was.
TEST_F(FolderListTest, MessageChangesKeepTheOtherLinesAsTheyStand) {
  struct Case {
    std::string before;
    MessageEntryRecord change;  // mask 0: an added line, else an update
    std::string after;
  };
  const Case cases[] = {
      {"0001\t1\t0\r\n0002\t1\t0\r\n", {1, 2, 0, 0}, "0001\t1\t0\r\n0002\t0\t0\r\n"},
      {"0001\t1\t0\r\n0002\t1\t0\r\n", {3, 1, 1, 0}, "0001\t1\t0\r\n0002\t1\t0\r\n"},
      {"1\t1\t0\r\n0002\t1\t0\r\n", {1, 2, 0, 0}, "1\t1\t0\r\n0002\t0\t0\r\n"},
      {"1\t1\t0\r\n0002\t1\t0\r\n", {1, 1, 0, 0}, "0001\t0\t0\r\n0002\t1\t0\r\n"},
      {"0001\t+1\t0\r\n0002\t1\t0\r\n", {2, 1, 0, 1}, "0001\t1\t1\r\n0002\t1\t0\r\n"},
      {"0001\t7\t0\r\n", {1, 1, 1, 0}, "0001\t1\t0\r\n"},
      {"", {0, 0xAB, 1, 0}, "00AB\t1\t0\r\n"},
      {"1\t1\t0\r\n", {0, 2, 0, 1}, "1\t1\t0\r\n0002\t0\t1\r\n"},
  };
  for (const Case& c : cases) {
    WriteBytes(msg_, c.before);
    QvMessageEntry list;
    ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS) << c.before;
    EXPECT_EQ(c.change.mask == 0 ? list.Add(c.change) : list.Update(c.change.id, c.change), QVMDL_SUCCESS);
    EXPECT_EQ(ReadBytes(msg_), c.after) << c.before;
  }
  QvMessageEntry list;
  ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS);
  qv::seams::InjectFileFault(msg_, ERROR_DISK_FULL);
  EXPECT_EQ(list.Add({0, 3, 0, 0}), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(ReadBytes(msg_), "1\t1\t0\r\n0002\t0\t1\r\n");
  EXPECT_FALSE(list.Contains(3));
}

TEST_F(FolderListTest, MessageReaderNeverLoopsAndOnlyOneCountsAsSet) {
  ExpectReads<QvMessageEntry>(msg_, {
      {"0001\t2\t0\r\n", QVMDL_SUCCESS, 1},
      {"zz\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_MSG, 0},  // fills no field
      {"0001\t1\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_MSG, 0},
      {"0001\t1\t0\r\n0002\t1\t", QVMDL_ERR_STG_FILE_FMTILLGL_MSG, 1},
      {"0001\t1\t0", QVMDL_ERR_STG_FILE_FMTILLGL_MSG, 0},
      {"0001\t1\t99999999999999\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_MSG, 0},
      {"\r\n", QVMDL_ERR_STG_FILE_FMTILLGL_MSG, 0},
      {"", QVMDL_SUCCESS, 0},
  });
  WriteBytes(msg_, "0001\t2\t0\r\n");
  QvMessageEntry list;
  ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS);
  EXPECT_EQ(list.Entries()[0].unread, 0);
}

TEST_F(FolderListTest, RemoveManyWritesOnceOrReportsNoneFound) {
  QvMessageEntry list;
  ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS);
  ASSERT_EQ(list.AddMany({{0, 1, 0, 0}, {0, 2, 0, 0}, {0, 3, 0, 0}}), QVMDL_SUCCESS);
  EXPECT_EQ(list.RemoveMany({}), QVMDL_SUCCESS);
  EXPECT_EQ(list.RemoveMany({8, 9}), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  EXPECT_EQ(list.GetCount(), 3u);
  ASSERT_EQ(list.RemoveMany({9, 1, 3}), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(msg_), "0002\t0\t0\r\n");
}

TEST_F(FolderListTest, ReplaceAllCommitsThroughTheTempCopy) {
  QvMessageEntry list;
  ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS);
  ASSERT_EQ(list.Add({0, 7, 1, 0}), QVMDL_SUCCESS);
  qv::seams::InjectFileFault(msg_ + L"_tmp", ERROR_DISK_FULL, 1);
  EXPECT_FALSE(list.ReplaceAll({{0, 1, 0, 0}}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(ReadBytes(msg_), "0007\t1\t0\r\n");  // the committed list is whole
  EXPECT_FALSE(Exists(msg_ + L"_tmp"));
  ASSERT_TRUE(list.ReplaceAll({{0, 1, 0, 0}, {0, 2, 1, 1}}));
  EXPECT_EQ(ReadBytes(msg_), "0001\t0\t0\r\n0002\t1\t1\r\n");
  // A repair also puts a list in place where none was left.
  ASSERT_TRUE(DeleteFileW(msg_.c_str()));
  ASSERT_TRUE(list.ReplaceAll({{0, 3, 0, 0}}));
  EXPECT_EQ(ReadBytes(msg_), "0003\t0\t0\r\n");
}

TEST_F(FolderListTest, FailedRewriteLeavesTheCommittedFile) {
  QvFolderEntry list;
  ASSERT_EQ(list.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_EQ(list.Add({0, 1, L"one"}), QVMDL_SUCCESS);
  qv::seams::InjectFileFault(fld_ + L"_tmp", ERROR_DISK_FULL, 1);
  EXPECT_EQ(list.Add({0, 2, L"two"}), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(ReadBytes(fld_), "0001\tone\r\n");
  EXPECT_FALSE(Exists(fld_ + L"_tmp"));
  EXPECT_FALSE(list.Contains(2));  // the next operation reads the file as it stands
}

TEST_F(FolderListTest, TwoListObjectsOnOneFileKeepEachOthersChanges) {
  QvFolderEntry a, b;
  ASSERT_EQ(a.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_EQ(b.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_EQ(a.Add({0, 1, L"A"}), QVMDL_SUCCESS);
  ASSERT_EQ(b.Add({0, 2, L"B"}), QVMDL_SUCCESS);
  ASSERT_EQ(a.Remove(2), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(fld_), "0001\tA\r\n");

  QvMessageEntry m1, m2;
  ASSERT_EQ(m1.ReadFile(msg_), QVMDL_SUCCESS);
  ASSERT_EQ(m2.ReadFile(msg_), QVMDL_SUCCESS);
  ASSERT_EQ(m1.Add({0, 1, 1, 0}), QVMDL_SUCCESS);
  ASSERT_EQ(m2.Add({0, 2, 0, 0}), QVMDL_SUCCESS);
  EXPECT_TRUE(m2.Contains(1));
  EXPECT_EQ(m1.GetCount(), 2u);
}

TEST_F(FolderListTest, RewriteOfAVanishedListReportsIt) {
  QvFolderEntry list;
  ASSERT_EQ(list.ReadFile(fld_), QVMDL_SUCCESS);
  ASSERT_TRUE(DeleteFileW(fld_.c_str()));
  EXPECT_EQ(list.WriteFile(), QVMDL_ERR_STG_SAFESAVE_NOFILE_FLD);
  EXPECT_FALSE(Exists(fld_));
  EXPECT_FALSE(Exists(fld_ + L"_tmp"));
}

TEST_F(FolderListTest, MissingListIsAnOpenFailure) {
  QvFolderEntry list;
  EXPECT_EQ(list.ReadFile(L"\\none.fld"), QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD);
  QvMessageEntry messages;
  EXPECT_EQ(messages.ReadFile(L"\\none.msg"), QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG);
  EXPECT_EQ(messages.Add({0, 1, 0, 0}), QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG);
}

}  // namespace
