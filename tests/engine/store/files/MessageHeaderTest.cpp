// The ".fdb" header cache: its bytes, slots through append, overwrite,
// delete, compaction and rebuild, the 1000-slot limit and the dates.
#include <map>
#include <vector>

#include "HeaderRecords.h"
#include "StoreFixture.h"

namespace {

class MessageHeaderTest : public StoreFixture {
 protected:
  const std::wstring fdb_ = L"\\f.fdb";
  void SetUp() override {
    StoreFixture::SetUp();
    WriteBytes(fdb_, EmptyHeaderFile());
  }
  std::vector<QvMessageHeader::Record> LoadAll(QvMessageHeader& h, uint32_t n) {
    std::vector<QvMessageHeader::Record> out(n);
    EXPECT_TRUE(h.LoadAll(out.data(), n)) << std::hex << GetQvMiddleError();
    return out;
  }
  static uint32_t U32At(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
  }
  static std::u16string Units(const std::string& s, size_t at, size_t count) {
    std::u16string u;
    for (size_t i = 0; i < count; ++i) {
      u.push_back(
          static_cast<char16_t>(static_cast<uint8_t>(s[at + 2 * i]) | static_cast<uint8_t>(s[at + 2 * i + 1]) << 8));
    }
    return u;
  }
};

TEST_F(MessageHeaderTest, NewFolderFileOpensEmpty) {
  EXPECT_EQ(EmptyHeaderFile(), std::string(4000, '\xFF'));
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  EXPECT_EQ(h.Used(), 0u);
  EXPECT_EQ(h.Deleted(), 0u);
  std::vector<QvMessageHeader::Record> none(1);
  EXPECT_TRUE(h.LoadAll(none.data(), 0));
}

TEST_F(MessageHeaderTest, RecordBytesLieAtTheirOffsets) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  QvMessageHeader::Record r{};
  r.id = 0x0102;
  QvMessageHeader::FillLongText(r.toAddress, std::wstring(300, L't'));
  QvMessageHeader::FillLongText(r.fromAddress, L"a\U0001F600b");  // a surrogate pair on disk
  QvMessageHeader::FillShortText(r.fromName, std::wstring(30, L'名'));
  QvMessageHeader::FillShortText(r.subject, std::wstring(31, L's'));
  r.date = SYSTEMTIME{2023, 12, 5, 29, 23, 59, 58, 999};
  ASSERT_TRUE(h.Append(r));
  std::string f = ReadBytes(fdb_);
  ASSERT_EQ(f.size(), 4000u + 1180u);
  EXPECT_EQ(U32At(f, 0), 0x0102u);
  EXPECT_EQ(U32At(f, 4), 0xFFFFFFFFu);
  const size_t rec = 4000;
  EXPECT_EQ(U32At(f, rec), 0x0102u);
  EXPECT_EQ(Units(f, rec + 4, 257), std::u16string(256, u't') + u'\0');
  EXPECT_EQ(Units(f, rec + 518, 5), std::u16string(u"a\xD83D\xDE00"
                                                   u"b\0",
                                                   5));
  EXPECT_EQ(Units(f, rec + 1032, 32), std::u16string(30, u'名') + std::u16string(2, u'\0'));
  EXPECT_EQ(Units(f, rec + 1096, 32), std::u16string(30, u's') + u"\x2026" + u'\0');
  EXPECT_EQ(Units(f, rec + 1160, 8), (std::u16string{2023, 12, 5, 29, 23, 59, 58, 999}));
  EXPECT_EQ(U32At(f, rec + 1176), 0u);
  // Unused bytes of each text are zero.
  EXPECT_EQ(Units(f, rec + 518 + 10, 252), std::u16string(252, u'\0'));
}

TEST_F(MessageHeaderTest, DeletedSlotsAreSkippedAndCountsMustMatch) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  for (uint32_t id : {10u, 11u, 12u}) ASSERT_TRUE(h.Append(MakeRecord(id)));
  ASSERT_TRUE(h.MarkDeleted(11));
  EXPECT_EQ(U32At(ReadBytes(fdb_), 4), 0x8000FFFFu);  // the mark is on disk at once
  auto live = LoadAll(h, 2);
  EXPECT_TRUE(SameTexts(live[0], MakeRecord(10)));
  EXPECT_TRUE(SameTexts(live[1], MakeRecord(12)));
  std::vector<QvMessageHeader::Record> out(4);
  EXPECT_FALSE(h.LoadAll(out.data(), 4));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_FDB);
  EXPECT_FALSE(h.LoadAll(out.data(), 3));  // the bulk path is not taken over a deleted slot
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_FDB);
  EXPECT_FALSE(h.LoadAll(out.data(), 1));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_TOO_MANY);
  EXPECT_FALSE(h.LoadAll(nullptr, 2));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
  EXPECT_TRUE(h.CheckCount({10, 12}));
  EXPECT_FALSE(h.CheckCount({10, 11, 12}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_OUT_OF_STEP);
  EXPECT_FALSE(h.MarkDeleted(11));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_NOT_FOUND);
}

TEST_F(MessageHeaderTest, OverwriteFindsTheSlotAndRefusesAnUnknownId) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  ASSERT_TRUE(h.Append(MakeRecord(1)));
  ASSERT_TRUE(h.Append(MakeRecord(2)));
  ASSERT_TRUE(h.WriteRecord(MakeRecord(2, L"changed")));
  std::string before = ReadBytes(fdb_);
  EXPECT_FALSE(h.WriteRecord(MakeRecord(3)));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_NOT_FOUND);
  EXPECT_EQ(ReadBytes(fdb_), before);
  QvMessageHeader::Record r{};
  r.id = 2;
  ASSERT_TRUE(h.ReadRecord(&r));
  EXPECT_TRUE(SameTexts(r, MakeRecord(2, L"changed")));
  EXPECT_EQ(r.date.wYear, 2024);  // a single record keeps its stored time
  r.id = 3;
  EXPECT_FALSE(h.ReadRecord(&r));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_NOT_FOUND);
}

TEST_F(MessageHeaderTest, AppendWritesAtItsSlotPastATornRecord) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  ASSERT_TRUE(h.Append(MakeRecord(1)));
  // An append that died after part of its record: the index never named it.
  WriteBytes(fdb_, ReadBytes(fdb_) + std::string(700, '\x5A'));
  QvMessageHeader other;
  ASSERT_EQ(other.Open(fdb_), QVMDL_SUCCESS);
  auto one = LoadAll(other, 1);
  EXPECT_TRUE(SameTexts(one[0], MakeRecord(1)));
  ASSERT_TRUE(other.Append(MakeRecord(2)));
  EXPECT_EQ(ReadBytes(fdb_).size(), 4000u + 2 * 1180u);
  auto both = LoadAll(h, 2);
  EXPECT_TRUE(SameTexts(both[1], MakeRecord(2)));
}

TEST_F(MessageHeaderTest, ThousandSlotsThenCompactionMakesRoom) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  for (uint32_t id = 0; id < 1000; ++id) ASSERT_TRUE(h.Append(MakeRecord(id))) << id;
  EXPECT_FALSE(h.Append(MakeRecord(1000)));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_HEADER_FULL);
  for (uint32_t id = 0; id < 1000; id += 3) ASSERT_TRUE(h.MarkDeleted(id));
  // Every slot is taken but some only by deleted records: the append compacts first.
  ASSERT_TRUE(h.Append(MakeRecord(1000)));
  EXPECT_EQ(h.Deleted(), 0u);
  EXPECT_EQ(h.Used(), 666u + 1u);  // 334 of the ids are multiples of 3
  auto all = LoadAll(h, 667);
  uint32_t n = 0;
  for (uint32_t id = 0; id < 1000; ++id) {
    if (id % 3 == 0) continue;
    ASSERT_TRUE(SameTexts(all[n++], MakeRecord(id))) << id;
  }
  EXPECT_TRUE(SameTexts(all[n], MakeRecord(1000)));
  EXPECT_EQ(ReadBytes(fdb_).size(), 4000u + 667u * 1180u);
}

TEST_F(MessageHeaderTest, CompactKeepsLiveRecordsInOrder) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  for (uint32_t id = 1; id <= 6; ++id) ASSERT_TRUE(h.Append(MakeRecord(id)));
  ASSERT_TRUE(h.MarkDeleted(2));
  ASSERT_TRUE(h.MarkDeleted(5));
  ASSERT_TRUE(h.Compact());
  std::string f = ReadBytes(fdb_);
  ASSERT_EQ(f.size(), 4000u + 4u * 1180u);
  EXPECT_EQ(U32At(f, 0), 1u);
  EXPECT_EQ(U32At(f, 4), 3u);
  EXPECT_EQ(U32At(f, 8), 4u);
  EXPECT_EQ(U32At(f, 12), 6u);
  EXPECT_EQ(U32At(f, 16), 0xFFFFFFFFu);
  QvMessageHeader::Record r{};
  r.id = 6;
  ASSERT_TRUE(h.ReadRecord(&r));
  EXPECT_TRUE(SameTexts(r, MakeRecord(6)));
  EXPECT_FALSE(Exists(fdb_ + L"_tmp"));
  EXPECT_FALSE(Exists(fdb_ + L"_bak"));
}

TEST_F(MessageHeaderTest, CompactionWithoutRoomOnlyKeepsTheMarks) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  for (uint32_t id = 1; id <= 3; ++id) ASSERT_TRUE(h.Append(MakeRecord(id)));
  ASSERT_TRUE(h.MarkDeleted(1));
  qv::seams::SetFreeSpace(100000);
  ASSERT_TRUE(h.Compact());
  EXPECT_EQ(ReadBytes(fdb_).size(), 4000u + 3u * 1180u);
  EXPECT_EQ(h.Deleted(), 1u);
  EXPECT_FALSE(h.EnsureSpace(1000));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFreeSpace();
  ASSERT_TRUE(h.EnsureSpace(1000));
  EXPECT_EQ(h.Deleted(), 0u);
  EXPECT_EQ(h.Used(), 2u);
}

TEST_F(MessageHeaderTest, FailedCompactionLeavesTheFileAsItWas) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  for (uint32_t id = 1; id <= 3; ++id) ASSERT_TRUE(h.Append(MakeRecord(id)));
  ASSERT_TRUE(h.MarkDeleted(2));
  std::string before = ReadBytes(fdb_);
  qv::seams::InjectFileFault(fdb_ + L"_tmp", ERROR_DISK_FULL, 1);
  EXPECT_FALSE(h.Compact());
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(ReadBytes(fdb_), before);
  EXPECT_FALSE(Exists(fdb_ + L"_tmp"));
  auto live = LoadAll(h, 2);
  EXPECT_TRUE(SameTexts(live[1], MakeRecord(3)));
}

TEST_F(MessageHeaderTest, LoadedDatesAreLocalAndChecked) {
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  auto dated = [](uint32_t id, SYSTEMTIME t) {
    QvMessageHeader::Record r = MakeRecord(id);
    r.date = t;
    return r;
  };
  ASSERT_TRUE(h.Append(dated(1, {2020, 1, 3, 1, 0, 0, 0, 5})));
  ASSERT_TRUE(h.Append(dated(2, {2100, 1, 5, 1, 0, 0, 0, 7})));
  ASSERT_TRUE(h.Append(dated(3, {2020, 1, 3, 1, 24, 0, 0, 9})));
  ASSERT_TRUE(h.Append(dated(4, {2020, 1, 3, 1, 10, 60, 0, 1})));
  ASSERT_TRUE(h.Append(dated(5, {0, 0, 0, 0, 0, 0, 0, 0})));
  qv::seams::SetTimeZoneBias(-540);
  auto all = LoadAll(h, 5);
  EXPECT_EQ(all[0].date.wYear, 2020);
  EXPECT_EQ(all[0].date.wHour, 9);  // UTC midnight is 9 in the morning in Japan
  EXPECT_EQ(all[0].date.wMilliseconds, 5);
  for (int i : {1, 2, 3}) {
    EXPECT_EQ(all[i].date.wYear, 0) << i;
    EXPECT_EQ(all[i].date.wHour, 0) << i;
    EXPECT_EQ(all[i].date.wMinute, 0) << i;
  }
  EXPECT_EQ(all[1].date.wMilliseconds, 7);
  EXPECT_EQ(all[4].date.wYear, 0);
}

// Stands for a folder whose stored messages decode to these header fields.
class FakeStoredMail : public QvMailHeaderSource {
 public:
  std::map<uint32_t, QvMailHeaderFields> mails;
  uint32_t failOn = 0xFFFFFFFF;
  std::vector<uint32_t> asked;
  bool ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) override {
    asked.push_back(id);
    if (id == failOn || mails.count(id) == 0) {
      SetQvMiddleError(0x2000801);
      return false;
    }
    *out = mails[id];
    return true;
  }
};

TEST_F(MessageHeaderTest, RebuildWritesEveryMessageAndKeepsTheOldFileOnFailure) {
  FakeStoredMail source;
  for (uint32_t id : {4u, 9u, 2u}) {
    QvMailHeaderFields f;
    f.toAddress = L"to" + std::to_wstring(id) + L"@example.jp";
    f.fromAddress = L"from@example.jp";
    f.fromName = std::wstring(40, L'名');
    f.subject = L"件名" + std::to_wstring(id);
    f.date = SYSTEMTIME{2022, 6, 3, 15, 18, 30, 0, 0};  // local time
    source.mails[id] = f;
  }
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  ASSERT_TRUE(h.Append(MakeRecord(77)));
  std::string before = ReadBytes(fdb_);
  source.failOn = 9;
  EXPECT_FALSE(h.Rebuild({4, 9, 2}, source));
  EXPECT_EQ(GetQvMiddleError(), 0x2000801u);
  EXPECT_EQ(ReadBytes(fdb_), before);

  source.failOn = 0xFFFFFFFF;
  qv::seams::SetTimeZoneBias(-540);
  ASSERT_TRUE(h.Rebuild({4, 9, 2}, source));
  QvMessageHeader::Record r{};
  r.id = 2;
  ASSERT_TRUE(h.ReadRecord(&r));
  EXPECT_STREQ(r.toAddress, L"to2@example.jp");
  EXPECT_STREQ(r.subject, L"件名2");
  EXPECT_EQ(std::wstring(r.fromName), std::wstring(30, L'名') + L"\x2026");
  EXPECT_EQ(r.date.wHour, 9);  // stored in UTC
  std::string f = ReadBytes(fdb_);
  EXPECT_EQ(f.size(), 4000u + 3u * 1180u);
  EXPECT_EQ(U32At(f, 0), 4u);
  EXPECT_EQ(U32At(f, 4), 9u);
  EXPECT_EQ(U32At(f, 8), 2u);
  EXPECT_EQ(U32At(f, 12), 0xFFFFFFFFu);

  std::vector<uint32_t> tooMany(1001);
  EXPECT_FALSE(h.Rebuild(tooMany, source));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_FULL);
}

TEST_F(MessageHeaderTest, RebuildMakesAMissingFile) {
  ASSERT_TRUE(DeleteFileW(fdb_.c_str()));
  QvMessageHeader h;
  EXPECT_EQ(h.Open(fdb_), QVMDL_ERR_STG_FILEIO_FILE_OPEN_FDB);
  FakeStoredMail source;
  ASSERT_TRUE(h.Rebuild({}, source));
  EXPECT_EQ(ReadBytes(fdb_), EmptyHeaderFile());
  EXPECT_TRUE(source.asked.empty());
}

TEST_F(MessageHeaderTest, TextsWithoutTerminatorOrWithLoneSurrogatesStayInTheirFields) {
  for (char fill : {'\xFF', '\x00', '\xD8'}) {
    std::string file = EmptyHeaderFile();
    file.replace(0, 4, "\x01\x00\x00\x00", 4);
    std::string record(1180, fill);
    record.replace(0, 4, "\x01\x00\x00\x00", 4);
    WriteBytes(fdb_, file + record);
    QvMessageHeader h;
    ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
    QvMessageHeader::Record r{};
    ASSERT_TRUE(h.LoadAll(&r, 1));
    EXPECT_LE(wcslen(r.toAddress), 256u);
    EXPECT_LE(wcslen(r.fromAddress), 256u);
    EXPECT_LE(wcslen(r.fromName), 31u);
    EXPECT_LE(wcslen(r.subject), 31u);
    // Written back, every field keeps its terminator.
    ASSERT_TRUE(h.WriteRecord(r));
    std::string again = ReadBytes(fdb_);
    for (size_t end : {4u + 512u, 518u + 512u, 1032u + 62u, 1096u + 62u}) {
      EXPECT_EQ(again.substr(4000 + end, 2), std::string(2, '\0')) << end;
    }
  }
}

TEST_F(MessageHeaderTest, AnIndexNamingNoIdOfOursIsAFormatError) {
  std::string bad = EmptyHeaderFile();
  bad.replace(0, 4, "\x01\x02\x03\x04", 4);
  WriteBytes(fdb_, bad + std::string(1180, '\0'));
  QvMessageHeader h;
  EXPECT_EQ(h.Open(fdb_), QVMDL_ERR_STG_FILE_FMTILLGL_FDB);
  EXPECT_FALSE(h.Append(MakeRecord(1)));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_FDB);
}

}  // namespace
