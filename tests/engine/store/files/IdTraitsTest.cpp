// Id allocation and "\Status.txt": the counter file's bytes, wrapping, paths
// and the recovery of an interrupted save.
#include "StoreFixture.h"
#include "engine/store/QvIdTraits.h"

namespace {

class IdTraitsTest : public StoreFixture {
 protected:
  const std::wstring tree_ = L"\\Acc\\TREE";
  void SetUp() override {
    StoreFixture::SetUp();
    MakeDir(L"\\Acc");
  }
};

TEST_F(IdTraitsTest, FreshTreeHoldsZeroZeroAndRefusesASecondInit) {
  QvIdTraits ids;
  ASSERT_EQ(ids.InitStatus(tree_), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(tree_ + L"\\Status.txt"), std::string("0000\t0"));
  EXPECT_EQ(ids.InitStatus(tree_), QVMDL_ERR_STG_TREE_EXISTS);
}

TEST_F(IdTraitsTest, ReadsCountsAllocatesAndSavesInUpperCaseHex) {
  MakeDir(tree_);
  WriteBytes(tree_ + L"\\Status.txt", "00A3\t1F");
  QvIdTraits ids;
  ASSERT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  EXPECT_EQ(ids.GetCount(), 0x1Fu);
  EXPECT_EQ(ids.NextId(), 0xA3u);
  EXPECT_EQ(ids.NextId(), 0xA4u);
  ASSERT_EQ(ids.IncrementCount(), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(tree_ + L"\\Status.txt"), "00A5\t20");
  ASSERT_EQ(ids.AddCount(-0x20), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(tree_ + L"\\Status.txt"), "00A5\t0");
  EXPECT_FALSE(Exists(tree_ + L"\\Status.txt_tmp"));
  EXPECT_FALSE(Exists(tree_ + L"\\Status.txt_bak"));
}

// The counter's text as "%04X\t%X" writes it, at the ends of both fields.
TEST_F(IdTraitsTest, StatusTextIsWrittenAsTheFormatWritesIt) {
  const struct {
    uint32_t next, count;
    const char* text;
  } cases[] = {
      {0, 0, "0000\t0"},           {0xA5, 0x20, "00A5\t20"},     {1, 0xF, "0001\tF"},
      {0x10, 0x10, "0010\t10"},    {0xFFF, 0x100, "0FFF\t100"},  {0xFFFF, 0xFFFFFFFF, "FFFF\tFFFFFFFF"},
      {0x12345, 0xABCDEF, "12345\tABCDEF"},
  };
  for (const auto& c : cases) {
    const std::string text = QvIdTraits::FormatStatus(c.next, c.count);
    EXPECT_EQ(text, c.text);
    uint32_t next = 0, count = 0;
    if (c.next <= 0xFFFF) {
      ASSERT_TRUE(QvIdTraits::ParseStatus(text.data(), text.size(), &next, &count)) << c.text;
      EXPECT_EQ(next, c.next);
      EXPECT_EQ(count, c.count);
    }
  }
}

TEST_F(IdTraitsTest, CursorWrapsToZeroAboveMaxId) {
  MakeDir(tree_);
  WriteBytes(tree_ + L"\\Status.txt", "FFFE\t3");
  QvIdTraits ids;
  ASSERT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  EXPECT_EQ(ids.NextId(), 0xFFFEu);
  EXPECT_EQ(ids.NextId(), 0xFFFFu);
  EXPECT_EQ(ids.NextId(), 0u);
  EXPECT_EQ(ids.NextId(), 1u);

  QvIdTraits small;
  WriteBytes(tree_ + L"\\Status.txt", "0010\t0");
  ASSERT_EQ(small.ReadStatus(tree_, 0x10), QVMDL_SUCCESS);
  EXPECT_EQ(small.NextId(), 0x10u);
  EXPECT_EQ(small.NextId(), 0u);
}

TEST_F(IdTraitsTest, PathsPutTheLowByteFirst) {
  MakeDir(tree_);
  WriteBytes(tree_ + L"\\Status.txt", "0000\t0");
  QvIdTraits ids;
  ASSERT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  EXPECT_EQ(ids.PathOf(0x1234), L"\\Acc\\TREE\\34\\12");
  EXPECT_EQ(ids.DirOf(0x1234), L"\\Acc\\TREE\\34");
  EXPECT_EQ(ids.PathOf(0x0A), L"\\Acc\\TREE\\0A\\00");
  EXPECT_EQ(QvIdTraits::Compose(0x34, 0x12), 0x1234u);
  uint32_t low = 0xFE;
  EXPECT_TRUE(ids.StepByte(&low));
  EXPECT_EQ(low, 0xFFu);
  EXPECT_FALSE(ids.StepByte(&low));
  EXPECT_EQ(low, 0xFFu);
}

TEST_F(IdTraitsTest, MalformedOrMissingStatusIsAReadError) {
  MakeDir(tree_);
  QvIdTraits ids;
  EXPECT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_ERR_SAFESAVE_NOFILE);
  for (const char* text : {"0012", "0012\t", "\t3", "00G2\t3", "0012 3", "0012\tx", ""}) {
    WriteBytes(tree_ + L"\\Status.txt", text);
    EXPECT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_ERR_STG_STATUS_READ) << text;
  }
  EXPECT_TRUE(ids.Root().empty());
}

// The counter is read as "%04X\t%X" is scanned: the id takes one to four
// digits (a file written without the padding is as good), the count one to
// eight; garbage and values longer than their field stay refused.
TEST_F(IdTraitsTest, StatusTextIsReadAsTheScannedFormat) {
  struct Case {
    const char* text;
    bool ok;
    uint32_t next;
    uint32_t count;
  };
  const Case cases[] = {
      {"00A3\t1F", true, 0xA3, 0x1F},
      {"A3\t1F", true, 0xA3, 0x1F},
      {"a3\t1f", true, 0xA3, 0x1F},
      {"0\t0", true, 0, 0},
      {"F\tF", true, 0xF, 0xF},
      {"123\t4", true, 0x123, 4},
      {"FFFF\t10000", true, 0xFFFF, 0x10000},
      {"1\tFFFFFFFF", true, 1, 0xFFFFFFFFu},
      {"A3\t1F\r\n", true, 0xA3, 0x1F},
      {"00A3\t1F\n", true, 0xA3, 0x1F},
      {"000A3\t1F", false, 0, 0},
      {"12345\t6", false, 0, 0},
      {"A3\t123456789", false, 0, 0},
      {"\t1F", false, 0, 0},
      {"A3\t", false, 0, 0},
      {"A3 1F", false, 0, 0},
      {"A3\t\t1F", false, 0, 0},
      {" A3\t1F", false, 0, 0},
      {"-3\t1F", false, 0, 0},
      {"0xA3\t1F", false, 0, 0},
      {"A3\tx1F", false, 0, 0},
      {"G3\t1F", false, 0, 0},
      {"A3", false, 0, 0},
  };
  MakeDir(tree_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t next = 0xDEAD, count = 0xBEEF;
    const std::string text(c.text);
    EXPECT_EQ(QvIdTraits::ParseStatus(text.data(), text.size(), &next, &count), c.ok);
    if (c.ok) {
      EXPECT_EQ(next, c.next);
      EXPECT_EQ(count, c.count);
    }
    WriteBytes(tree_ + L"\\Status.txt", text);
    QvIdTraits ids;
    EXPECT_EQ(ids.ReadStatus(tree_, 65535), c.ok ? QVMDL_SUCCESS : QVMDL_ERR_STG_STATUS_READ);
    if (c.ok) {
      EXPECT_EQ(ids.PeekNextId(), c.next);
      EXPECT_EQ(ids.GetCount(), c.count);
    }
  }
}

TEST_F(IdTraitsTest, AnUnpaddedCounterIsRewrittenPadded) {
  MakeDir(tree_);
  WriteBytes(tree_ + L"\\Status.txt", "A3\t1F");
  QvIdTraits ids;
  ASSERT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  EXPECT_EQ(ids.NextId(), 0xA3u);
  ASSERT_EQ(ids.IncrementCount(), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(tree_ + L"\\Status.txt"), "00A4\t20");
  QvIdTraits again;
  ASSERT_EQ(again.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  EXPECT_EQ(again.PeekNextId(), 0xA4u);
  EXPECT_EQ(again.GetCount(), 0x20u);
}

TEST_F(IdTraitsTest, OnlyTheTempCopyLeftIsMovedIntoPlaceFirst) {
  MakeDir(tree_);
  WriteBytes(tree_ + L"\\Status.txt_tmp", "0042\t7");
  QvIdTraits ids;
  ASSERT_EQ(ids.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  EXPECT_EQ(ids.NextId(), 0x42u);
  EXPECT_EQ(ReadBytes(tree_ + L"\\Status.txt"), "0042\t7");
  EXPECT_FALSE(Exists(tree_ + L"\\Status.txt_tmp"));
}

TEST_F(IdTraitsTest, FullDiskLeavesNoHalfMadeTree) {
  qv::seams::InjectFileFault(tree_ + L"\\Status.txt", ERROR_DISK_FULL, 1);
  QvIdTraits ids;
  EXPECT_EQ(ids.InitStatus(tree_), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_FALSE(Exists(tree_));
  EXPECT_EQ(ids.InitStatus(tree_), QVMDL_SUCCESS);
}

TEST_F(IdTraitsTest, CountChangesOfTwoOwnersAreBothKept) {
  QvIdTraits init;
  ASSERT_EQ(init.InitStatus(tree_), QVMDL_SUCCESS);
  QvIdTraits a, b;
  ASSERT_EQ(a.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  ASSERT_EQ(b.ReadStatus(tree_, 65535), QVMDL_SUCCESS);
  ASSERT_EQ(a.IncrementCount(), QVMDL_SUCCESS);
  ASSERT_EQ(b.IncrementCount(), QVMDL_SUCCESS);
  ASSERT_EQ(a.IncrementCount(), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(tree_ + L"\\Status.txt"), "0000\t3");
  EXPECT_EQ(a.GetCount(), 3u);
}

}  // namespace
